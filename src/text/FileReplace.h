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

#include <sys/types.h>
#include <unistd.h>

namespace tobrel {

// An open descriptor that closes itself. Closing any descriptor of a file drops this
// process's record locks on that file, so each file is open once at a time.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : m_fd(other.release()) {}
    Fd &operator=(Fd &&other) noexcept
    {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = other.release();
        }
        return *this;
    }
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

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

// ---- Files on a share that others can write ----
//
// The data folder, the data root and the program folder may be written by anyone with
// an account on the share: a name there may have been replaced by a link to a file or
// folder elsewhere, or by a folder, a pipe or a device. Every file the program writes,
// deletes or reads to act on is therefore opened without following a link at its last
// step and accepted only as a plain file; new files and folders are made fresh (the
// call fails when the name is taken); and what is removed is removed through the
// folder that holds it, links as links, never what they point at. The folders
// themselves are used as named (the data root is a configured place, perhaps a mount).

// Opens a folder as named; -1 with errno set when it cannot.
int openFolder(const QString &path);
// Opens the plain file `name` of an open folder without following a link at that name
// (flags as for open(); O_CREAT makes a missing file). -1 with errno set: ELOOP for a
// link, kErrnoNotPlainFile for anything that is no plain file. A pipe planted under
// the name never blocks the open.
int openPlainFileAt(int folderFd, const QString &name, int flags, mode_t mode = 0666);
// The same for a path: its folder as named, its last step never a link.
int openPlainFile(const QString &path, int flags, mode_t mode = 0666);
// Makes the folder `name` in an open folder and opens it; fails with EEXIST when the
// name is taken, whatever stands there. -1 with errno set.
int makeFreshFolderAt(int folderFd, const QString &name, mode_t mode = 0777);
// Opens the folder `name` of an open folder, unless the name is a link; -1 with errno
// set (ELOOP or ENOTDIR for a link, ENOTDIR for a file).
int openSubfolderAt(int folderFd, const QString &name);
// True when `name` in the open folder is a real folder, not a link to one.
bool isRealFolderAt(int folderFd, const QString &name);
// Removes the folder `name` of an open folder with everything in it. Links inside are
// removed as links; a link at `name` itself is left alone (false, errno ENOTDIR).
// False with errno set when something could not be removed.
bool removeFolderTreeAt(int folderFd, const QString &name);
// Renames `from` to `to` within an open folder, failing (EEXIST) when `to` is taken,
// whatever stands there. False with errno set.
bool renameFreshAt(int folderFd, const QString &from, const QString &to);
// Removes `name` from an open folder only while it still names the open file fd:
// cleaning up a file this program made, never one put there since.
void removeIfStillAt(int folderFd, const QString &name, int fd);

// The path a name leads to once every link on the way is followed, the last one too,
// also when it leads to a file that is not there yet. Relative paths are taken from the
// current folder.
QString resolvedPath(const QString &path);
// True when both names lead (links followed) to the same file or folder as the file
// system knows it (device and inode): a second mount or another spelling of a name on a
// share that ignores letter case included. False when either is not there.
bool sameFileOrFolder(const QString &a, const QString &b);
// True when the resolved path lies inside the resolved folder, or is that folder.
bool liesWithin(const QString &resolved, const QString &resolvedFolder);

// A new file that takes the place of `path` when it is complete: it is written under a
// temporary name in the same folder and renamed over the name in one step, so a link
// standing at `path` is replaced, never written through, and a failure leaves no
// partial file. Removed again unless committed.
class NewFileBeside {
public:
    explicit NewFileBeside(QString path);
    ~NewFileBeside();
    NewFileBeside(const NewFileBeside &) = delete;
    NewFileBeside &operator=(const NewFileBeside &) = delete;

    // Creates the temporary file; false with *error naming the file.
    bool open(QString *error);
    int fd() const { return m_fd.get(); }
    // Flushes the file, closes it and renames it over the path; false with *error.
    bool commit(QString *error);

private:
    QString m_path;
    Fd m_folder;
    Fd m_fd;
    QString m_temporaryName;
    bool m_committed = false;
};

} // namespace tobrel
