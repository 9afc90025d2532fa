// Replacing a whole file so that nothing can leave it half-written or empty: the new
// bytes go to a temporary file in the same folder and are flushed to the disk, the
// previous file is copied to a backup, and only then is the temporary file renamed over
// the original in one step. A crash before the rename leaves the original untouched; a
// refused rename (a share where another PC holds the file) removes the temporary file
// and leaves the original as it was.
#pragma once
#include <QByteArray>
#include <QString>

#include <functional>

namespace tobrel {

struct FileReplaceSteps {
    // Runs once the new contents are safely on disk in the temporary file, before the
    // backup and the rename. Tests stop the replacement here to play a crash.
    std::function<void(const QString &temporaryPath)> beforeReplace;
    // The replacing rename; returns an error text or "". Tests refuse it.
    std::function<QString(const QString &from, const QString &to)> rename;
};

// Writes bytes over path as above; backupPath (when not empty) receives a copy of the
// previous file first. Returns "" or an error text that names the file and says that
// the original was kept.
QString replaceFile(const QString &path, const QByteArray &bytes, const QString &backupPath = {},
                    const FileReplaceSteps &steps = {});

// The rename that replaces `to` with `from` in one step; "" or the reason it failed.
QString renameOver(const QString &from, const QString &to);

// Writes all the bytes to an open file, going on after interrupted writes. False with
// errno set when it cannot; a write that makes no progress counts as a full disk.
bool writeWhole(int fd, const QByteArray &bytes);

} // namespace tobrel
