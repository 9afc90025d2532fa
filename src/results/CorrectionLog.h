// The teachers' correction log "成績訂正記録.txt" in the data folder: one line per
// change or deletion of a stored run, so that what was corrected, where and when can be
// traced and undone by hand. CP932, CR LF, fields joined by ",":
//
//   2024/02/07 10:15:30,PC-3,変更,記録12,変更前 日付=... タイム=45 ...,変更後 日付=... タイム=40 ...
//
// Several PCs may write at once: lines are appended under a lock and flushed to disk.
// The results file itself is never touched here.
#pragma once
#include "state/ResultRecord.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tobrel {

inline QString correctionLogFileName() { return QStringLiteral("成績訂正記録.txt"); }

struct Correction {
    QDateTime when;
    QString computer;                  // the computer's name (computerName())
    QString action;                    // "変更", "消去", ...
    int64_t recordNumber = 0;          // the record's number before the action
    std::optional<ResultRecord> before;
    std::optional<ResultRecord> after; // none for a deletion
};

// The name of this computer on the network.
QString computerName();
// One line of the log, without the line end.
QString correctionLine(const Correction &correction);
// The log opened for appending. A correction opens it before the results file is
// touched, so that a correction whose line could not be kept is not made at all (a
// change keeps no backup: its old value lives only in the log).
class CorrectionLogFile {
public:
    // dataFolder ends in a separator. The file is created when it is missing.
    explicit CorrectionLogFile(const QString &dataFolder);
    ~CorrectionLogFile();
    CorrectionLogFile(const CorrectionLogFile &) = delete;
    CorrectionLogFile &operator=(const CorrectionLogFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Why it could not be opened, naming the file; "" when open.
    const QString &error() const { return m_error; }
    // Appends the lines under the file's lock, flushed to disk. Returns an error text
    // that names the file, or "".
    QString append(const std::vector<Correction> &corrections);

private:
    QString m_path;
    int m_fd = -1;
    QString m_error;
};

// Opens the log in dataFolder and appends the lines; an error text or "".
QString appendCorrections(const QString &dataFolder, const std::vector<Correction> &corrections);

} // namespace tobrel
