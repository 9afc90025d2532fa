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

QString WriteResultRecord(SharedState &state, const Clock &clock, const ResultsFile &file)
{
    const AppendOutcome outcome = WriteResultRecord(state, clock, file, AppendWait{});
    return outcome.status == AppendOutcome::Written ? QString() : outcome.message;
}

} // namespace tobrel
