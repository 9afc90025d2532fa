// "repair": the results file without its damaged records and without a torn last
// record. The file is rewritten under its exclusive lock (every record decided as it
// stands then, so runs appended by other PCs meanwhile are kept), the previous file is
// kept in the backup folder and every record taken out is written to the correction
// log, as the results manager does for a deletion. A log that cannot be opened stops
// the repair before anything is written.
#pragma once
#include "results/ResultsFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tobrel {

// What a repair would take out, from a read of the file that changes nothing.
struct RepairSurvey {
    int64_t records = 0;
    int64_t damaged = 0;
    int64_t tailBytes = 0;
    QStringList listed; // the first damaged records, described
    bool needed() const { return damaged > 0 || tailBytes > 0; }
};
bool surveyRepair(const ResultsFile &results, RepairSurvey *survey, QString *error);

struct RepairResult {
    RewriteOutcome outcome;
    int64_t removed = 0; // damaged records taken out
};
// Takes the damaged records and a torn tail out of the results file; each record taken
// out is a line of the correction log, written before the file is replaced (a repair
// whose lines cannot be written is not made, and leaves no log behind).
RepairResult repairResults(const ResultsFile &results, const QString &dataFolder, const QDateTime &now);

} // namespace tobrel
