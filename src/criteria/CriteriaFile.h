// The criteria file as the criteria editor sees it: one row of twelve field texts per
// level, read and written exactly as they stand, and a save that can never leave a file
// the program cannot start with.
#pragma once
#include "criteria/CriteriaTable.h"
#include "text/DurableFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tobrel {

// The previous criteria file is kept under this name beside it at every save.
inline QString criteriaBackupFileName() { return QStringLiteral("タイム回数データ_前回.txt"); }

// What a criteria file held when it was read: whether it was there and could be read,
// and the size and a hash of its bytes. The editor keeps the one it loaded, so that a
// save can tell whether another PC (or another program) has written the file since.
struct CriteriaFileStamp {
    enum Kind { Missing, Unreadable, Read };
    Kind kind = Missing;
    qint64 size = 0;
    QByteArray hash;
    bool operator==(const CriteriaFileStamp &) const = default;
};

// The stamp of these bytes as the file's contents.
CriteriaFileStamp criteriaStampOf(const QByteArray &bytes);
// Reads the file now (as far as the loader would read it) and stamps what it holds.
CriteriaFileStamp criteriaFileStamp(const QString &path);

struct CriteriaTexts {
    QList<QStringList> levelRows; // level 1 first, twelve texts each
    bool opened = false; // the file could be opened and read
    QString problem; // why the file could not be read whole ("" when it was)
    CriteriaFileStamp stamp; // the very bytes the rows were read from
};

// Reads the file as consecutive groups of twelve fields and drops the first group (the
// header line). A last group cut short keeps the fields it has, the rest empty.
CriteriaTexts ReadCriteriaTexts(const QString &path);

// The bytes of a criteria file: the fixed header line, then the rows as given.
QByteArray criteriaFileBytes(const QList<QStringList> &levelRows);

// Writes the header line and the given level rows (level 1 first), fields as given,
// CR LF, without checking them. Returns an error text or "".
QString WriteCriteriaFile(const QString &path, const QList<QStringList> &levelRows);

struct CriteriaSaveResult {
    bool saved = false;
    // Why nothing was written, naming the level and column or the file; after a save, a
    // warning when the file could not be read back.
    QString message;
    int badLevel = 0; // the level and column of the first cell that stops the save
    int badColumn = 0; // (0 when no single cell is to blame)
    CriteriaTable table; // the criteria as the program's loader reads the rows
    bool declined = false; // the caller chose not to replace the file (nothing written)
    CriteriaFileStamp written; // after a save: the stamp of the bytes written
};

// Checks that the rows load with the program's own loader, each cell as one field of
// its own line, without writing anything.
CriteriaSaveResult CheckCriteriaTexts(const QList<QStringList> &levelRows, const CriteriaTable &current);

// Checks the rows, then replaces the criteria file with them (temporary file, flushed,
// the previous file kept as the backup beside it, renamed over) and reads the saved file
// back with the loader into `table`. Nothing is written when the check fails, and a
// refused replacement leaves the old file as it was. `mayReplace` (when given) is asked
// once the rows have passed the check, just before the file is written; false writes
// nothing and sets `declined`.
CriteriaSaveResult SaveCriteriaTexts(const QString &path, const QList<QStringList> &levelRows,
                                     const CriteriaTable &current, const FileReplaceSteps &steps = {},
                                     const std::function<bool()> &mayReplace = {});

} // namespace tobrel
