// The teachers' correction log "成績訂正記録.txt" in the data folder: one line per
// change or deletion of a stored run, so that what was corrected, where and when can be
// traced and undone by hand. CP932, CR LF, fields joined by ",":
//
//   2024/02/07 10:15:30,PC-3,変更,記録12,変更前 日付=... タイム=45 ...,変更後 日付=... タイム=40 ...
//
// Several PCs may write at once: lines are appended under a lock and flushed to disk.
// The results file itself is never touched here.
#pragma once
#include "results/ResultsFile.h"
#include "state/ResultRecord.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tobrel {

inline QString correctionLogFileName() { return QStringLiteral("成績訂正記録.txt"); }

struct Correction {
    QDateTime when;
    QString computer; // the computer's name (computerName())
    QString action; // "変更", "消去", ...
    int64_t recordNumber = 0; // the record's number before the action
    std::optional<ResultRecord> before;
    std::optional<ResultRecord> after; // none for a deletion
};

// The name of this computer on the network.
QString computerName();
// One line of the log, without the line end.
QString correctionLine(const Correction &correction);
// The log in a data folder. Nothing is opened or created until lines are appended.
class CorrectionLogFile {
public:
    // dataFolder ends in a separator.
    explicit CorrectionLogFile(const QString &dataFolder);
    const QString &path() const { return m_path; }
    // Appends the lines under the file's lock and flushes them to disk. The log is
    // opened without following a link (anyone may write the data folder) and created
    // when missing. When the lines cannot be written whole, what was written of them is
    // cut off again and a log this call created is removed, so a refusal leaves the
    // folder as it was. Returns an error text that names the file, or "".
    QString append(const std::vector<Correction> &corrections) const;

private:
    QString m_folder;
    QString m_path;
};

// Opens the log in dataFolder and appends the lines; an error text or "".
QString appendCorrections(const QString &dataFolder, const std::vector<Correction> &corrections);

// A correction of the results file whose log lines are secured before anything is
// changed. `change` makes the change and calls the function it is given once nothing
// but the write itself is left (under the results file's lock): the lines `lines`
// gives for what is planned are then appended and flushed, and when they cannot be, the change is not
// made and says why. A change that fails after its lines were written gets one more
// line for each, saying that it was not made. A change keeps no backup, so its old
// value may live only in the log: no change is made without its line.
RewriteOutcome correctWithLog(const CorrectionLogFile &log,
                              const std::function<std::vector<Correction>(const RewriteOutcome &planned)> &lines,
                              const std::function<RewriteOutcome(const ResultsFile::BeforeChange &)> &change);

} // namespace tobrel
