// Files that survive a crash and a share that others can write: the one place that
// says how this program makes a file durable and how it touches the data folder.
//
// Durable: bytes are written whole (interrupted writes go on, a write that makes no
// progress counts as a full disk) and flushed to the disk, and so is the folder entry of
// a file made or renamed. A file replaced as a whole is written under a temporary name
// in the same folder, flushed, and renamed over its name in one step: a crash before the
// rename leaves the original untouched, a refused rename (a share where another PC holds
// the file) removes the temporary file and leaves the original as it was.
#pragma once
#include <QByteArray>
#include <QString>

#include <cstdint>
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

// Writes all the bytes to an open file, going on after interrupted writes: at `offset`,
// or at the file's position when offset is -1. False with errno set when it cannot; a
// write that makes no progress counts as a full disk (ENOSPC).
bool writeFully(int fd, const char *data, size_t size, off_t offset = -1);
inline bool writeWhole(int fd, const QByteArray &bytes)
{
    return writeFully(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
}
// Reads up to size bytes at offset; returns the number read (short only at the end of
// the file), or -1 with errno set.
ssize_t readFully(int fd, char *data, size_t size, off_t offset);
// Copies `size` bytes of the open file `from` at fromOffset into the open file `to` at
// toOffset, in the kernel where the file system can (no pass through this process's
// memory), else read and written a chunk at a time. False with errno set when it cannot,
// or when `from` ends before `size` bytes (EIO).
bool copyRange(int from, off_t fromOffset, int to, off_t toOffset, size_t size);
// The length of an open file, or -1.
int64_t lengthOf(int fd);

// Flushes a folder's entries to the disk, so that a file made or renamed in it stays.
void syncFolder(int folderFd);
// The same for the folder that holds `path`.
void syncFolderOf(const QString &path);

// Copies the open file `from`, from its start, into the open, empty file `to` and
// flushes it to the disk. Returns the bytes copied, or -1 with errno set and
// *readFailed telling whether reading `from` (true) or writing `to` (false) failed.
int64_t copyFlushed(int from, int to, bool *readFailed = nullptr);

// Removes a file (or an empty folder) by its name when the scope ends, unless kept:
// the undoing of a step that made it. Neither removal follows a link at the name.
class RemoveOnExit {
public:
    explicit RemoveOnExit(QByteArray path = {}, bool folder = false) : m_path(std::move(path)), m_folder(folder) {}
    ~RemoveOnExit();
    RemoveOnExit(const RemoveOnExit &) = delete;
    RemoveOnExit &operator=(const RemoveOnExit &) = delete;
    void keep() { m_path.clear(); }

private:
    QByteArray m_path;
    bool m_folder;
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
// temporary name in the same folder (made fresh, never through a link) and renamed over
// the name in one step, so a link standing at `path` is replaced, never written
// through, and a failure leaves no partial file. Removed again unless it replaced the
// target.
class NewFileBeside {
public:
    struct Options {
        // The temporary file's name in the target's folder; empty: a hidden name of
        // its own (".<name>.new<pid>-<n>"). A file left under a given name by a program
        // that stopped halfway is removed first.
        QString temporaryName;
        // The permissions the file gets whatever the umask (the mode of the file it
        // replaces, or a fixed one); -1: those of any new file.
        int mode = -1;
    };
    // The replacing rename, from the temporary path to the target: "" or the reason it
    // failed. Tests refuse it to stand for a share that keeps the file open.
    using Rename = std::function<QString(const QString &from, const QString &to)>;

    explicit NewFileBeside(QString path);
    NewFileBeside(QString path, Options options);
    ~NewFileBeside();
    NewFileBeside(const NewFileBeside &) = delete;
    NewFileBeside &operator=(const NewFileBeside &) = delete;

    // Creates the temporary file; false with *error naming the file, and error() set.
    bool open(QString *error = nullptr);
    int fd() const { return m_fd.get(); }
    const QString &path() const { return m_path; }
    QString temporaryPath() const;
    // The error number of the step that failed last.
    int error() const { return m_error; }
    // Flushes the file to the disk and closes it; false with error() set.
    bool flush();
    // Renames the flushed file over the target and flushes the folder: "" or the reason
    // the rename failed (the temporary file is then removed as the object goes).
    QString replaceTarget(const Rename &rename = {});
    // flush() and replaceTarget(); false with *error naming the file.
    bool commit(QString *error);

private:
    QString m_path;
    Options m_options;
    Fd m_folder;
    Fd m_fd;
    QString m_temporaryName;
    int m_error = 0;
    bool m_committed = false;
};

} // namespace tobrel
