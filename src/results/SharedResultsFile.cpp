#include "results/Tally.h"

#include "state/SharedState.h"

namespace tobrel {

QString pendingFilePath(const SharedState &state) { return state.config.localFolder() + pendingFileName(); }

ResultsFile sharedResultsFile(const SharedState &state, WaitFunction wait)
{
    ResultsFile file(resultsFilePath(state), std::move(wait));
    if (!state.config.localFolder().isEmpty())
        file.setPendingFile(pendingFilePath(state));
    return file;
}

} // namespace tobrel
