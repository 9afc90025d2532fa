#include "text/DurableFile.h"

#include "text/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tobrel {
namespace {

QString reason(int err) { return systemErrorText(err); }

QByteArray native(const QString &path) { return QFile::encodeName(path); }

// The whole contents of a plain file, read to keep as its backup: a link planted at its
// name is not followed (ELOOP), so no file from elsewhere is copied into the share.
// False with errno set when it cannot be read.
bool readWhole(const QString &path, QByteArray *bytes)
{
    Fd fd(openPlainFile(path, O_RDONLY));
    if (fd.get() < 0)
        return false;
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = readFully(fd.get(), buffer, sizeof buffer, at);
        if (n < 0) {
            const int err = errno;
            fd = Fd();
            errno = err;
            return false;
        }
        if (n == 0)
            return true;
        bytes->append(buffer, n);
        at += n;
    }
}

} // namespace

bool writeFully(int fd, const char *data, size_t size, off_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = offset < 0 ? ::write(fd, data + done, size - done)
                                     : ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

ssize_t readFully(int fd, char *data, size_t size, off_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool copyRange(int from, off_t fromOffset, int to, off_t toOffset, size_t size)
{
    size_t done = 0;
    bool inKernel = true;
    std::vector<char> buffer;
    while (done < size) {
        const size_t want = size - done;
        if (inKernel) {
            off_t in = fromOffset + static_cast<off_t>(done), out = toOffset + static_cast<off_t>(done);
            const ssize_t n = ::copy_file_range(from, &in, to, &out, want, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n == 0) {
                errno = EIO; // the file ended early
                return false;
            }
            // A kernel or a file system (a share) that cannot copy between these two
            // files: the bytes go through this process instead.
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EBADF)
                return false;
            inKernel = false;
        }
        if (buffer.empty())
            buffer.resize(1 << 20);
        const size_t chunk = std::min(want, buffer.size());
        const ssize_t got = readFully(from, buffer.data(), chunk, fromOffset + static_cast<off_t>(done));
        if (got < 0)
            return false;
        if (got == 0) {
            errno = EIO;
            return false;
        }
        if (!writeFully(to, buffer.data(), static_cast<size_t>(got), toOffset + static_cast<off_t>(done)))
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

int64_t lengthOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

void syncFolder(int folderFd)
{
    if (folderFd >= 0)
        ::fsync(folderFd);
}

void syncFolderOf(const QString &path)
{
    const Fd folder(openFolder(QFileInfo(path).absolutePath()));
    syncFolder(folder.get());
}

int64_t copyFlushed(int from, int to, bool *readFailed)
{
    auto failed = [&](bool reading) {
        if (readFailed)
            *readFailed = reading;
        return int64_t(-1);
    };
    std::vector<char> buffer(1 << 20);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = readFully(from, buffer.data(), buffer.size(), offset);
        if (got < 0)
            return failed(true);
        if (got == 0)
            break;
        if (!writeFully(to, buffer.data(), static_cast<size_t>(got)))
            return failed(false);
        offset += got;
    }
    if (::fsync(to) != 0)
        return failed(false);
    return offset;
}

RemoveOnExit::~RemoveOnExit()
{
    if (!m_path.isEmpty())
        m_folder ? ::rmdir(m_path.constData()) : ::unlink(m_path.constData());
}

QString replaceFile(const QString &path, const QByteArray &bytes, const QString &backupPath,
                    const FileReplaceSteps &steps)
{
    auto failed = [&](const QString &what, const QString &why) {
        return QStringLiteral("%1（%2）。\n%3 は元のままです。").arg(what, why, path);
    };
    // The new file and its backup take the permissions of the file they replace.
    NewFileBeside::Options options;
    if (struct stat model{}; ::stat(native(path).constData(), &model) == 0)
        options.mode = static_cast<int>(model.st_mode & 07777);
    // Writes one file beside its target and flushes it: "" or what failed, with *why.
    auto write = [&](NewFileBeside &file, const QByteArray &contents, QString *why) {
        if (!file.open()) {
            *why = reason(file.error());
            return QStringLiteral("%1 のそばに新しいファイルを作れません").arg(file.path());
        }
        if (!writeWhole(file.fd(), contents)) {
            *why = reason(errno);
            return QStringLiteral("%1 を書けません").arg(file.temporaryPath());
        }
        if (!file.flush()) {
            *why = reason(file.error());
            return QStringLiteral("%1 を書けません").arg(file.temporaryPath());
        }
        return QString();
    };

    NewFileBeside temporary(path, options);
    QString why;
    if (const QString what = write(temporary, bytes, &why); !what.isEmpty())
        return failed(what, why);

    if (steps.beforeReplace)
        steps.beforeReplace(temporary.temporaryPath());

    // The backup is replaced the same way, so that a failure (a full disk) leaves the
    // previous backup whole instead of half-copied.
    QByteArray previous;
    if (!backupPath.isEmpty() && readWhole(path, &previous)) {
        auto backupFailed = [&](const QString &reasonText) {
            return failed(QStringLiteral("控えのファイル %1 を作れません").arg(backupPath), reasonText);
        };
        NewFileBeside backup(backupPath, options);
        if (!write(backup, previous, &why).isEmpty())
            return backupFailed(why);
        if (const QString refused = backup.replaceTarget(); !refused.isEmpty())
            return backupFailed(refused);
    } else if (!backupPath.isEmpty() && errno != ENOENT) {
        return failed(QStringLiteral("%1 を読めないので控えを作れません").arg(path), reason(errno));
    }

    if (const QString refused = temporary.replaceTarget(steps.rename); !refused.isEmpty())
        return failed(QStringLiteral("%1 を置き換えられません").arg(path), refused);
    return {};
}

// ---- Files on a share that others can write ----

namespace {

// Folders nested deeper than this are not removed: no folder the program makes is.
constexpr int kDeepestTree = 32;

bool removeTreeAt(int folderFd, const QByteArray &name, int depth)
{
    if (depth > kDeepestTree) {
        errno = ELOOP;
        return false;
    }
    Fd folder(::openat(folderFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) {
        if (errno == ELOOP)
            errno = ENOTDIR;
        return false;
    }
    // The names first, then the removals: the listing is not disturbed by them.
    std::vector<QByteArray> names;
    {
        const int listed = ::dup(folder.get());
        DIR *dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
        if (!dir) {
            if (listed >= 0)
                ::close(listed);
            return false;
        }
        while (const dirent *e = ::readdir(dir)) {
            const QByteArray entry(e->d_name);
            if (entry != "." && entry != "..")
                names.push_back(entry);
        }
        ::closedir(dir);
    }
    bool removedAll = true;
    int firstError = 0;
    for (const QByteArray &entry : names) {
        struct stat st {};
        if (::fstatat(folder.get(), entry.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        const bool removed = S_ISDIR(st.st_mode) ? removeTreeAt(folder.get(), entry, depth + 1)
                                                 : ::unlinkat(folder.get(), entry.constData(), 0) == 0;
        if (!removed && removedAll) {
            removedAll = false;
            firstError = errno;
        }
    }
    if (!removedAll) {
        errno = firstError;
        return false;
    }
    // A link put at the name meanwhile is not a folder: this fails instead of removing it.
    return ::unlinkat(folderFd, name.constData(), AT_REMOVEDIR) == 0;
}

std::atomic<unsigned> besideCounter{0};

} // namespace

int openFolder(const QString &path) { return ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

int openPlainFileAt(int folderFd, const QString &name, int flags, mode_t mode)
{
    // Without blocking, so that a pipe planted under the name cannot hold the program.
    const int fd = ::openat(folderFd, native(name).constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0)
        return -1;
    struct stat st {};
    const int err = ::fstat(fd, &st) != 0 ? errno : (S_ISREG(st.st_mode) ? 0 : kErrnoNotPlainFile);
    if (err != 0) {
        ::close(fd);
        errno = err;
        return -1;
    }
    if (!(flags & O_NONBLOCK))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int openPlainFile(const QString &path, int flags, mode_t mode)
{
    const QFileInfo info(path);
    Fd folder(openFolder(info.absolutePath()));
    if (folder.get() < 0)
        return -1;
    return openPlainFileAt(folder.get(), info.fileName(), flags, mode);
}

int makeFreshFolderAt(int folderFd, const QString &name, mode_t mode)
{
    if (::mkdirat(folderFd, native(name).constData(), mode) != 0)
        return -1;
    return openSubfolderAt(folderFd, name);
}

int openSubfolderAt(int folderFd, const QString &name)
{
    return ::openat(folderFd, native(name).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool isRealFolderAt(int folderFd, const QString &name)
{
    struct stat st {};
    return ::fstatat(folderFd, native(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool removeFolderTreeAt(int folderFd, const QString &name) { return removeTreeAt(folderFd, native(name), 0); }

bool renameFreshAt(int folderFd, const QString &from, const QString &to)
{
    const QByteArray f = native(from), t = native(to);
    if (::renameat2(folderFd, f.constData(), folderFd, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A share that cannot refuse to replace: look first, then rename. A folder renamed
    // over a link or a file fails anyway; over an empty folder it would replace it.
    struct stat st {};
    if (::fstatat(folderFd, t.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(folderFd, f.constData(), folderFd, t.constData()) == 0;
}

void removeIfStillAt(int folderFd, const QString &name, int fd)
{
    struct stat open {
    }, named{};
    const QByteArray n = native(name);
    if (::fstat(fd, &open) == 0 && ::fstatat(folderFd, n.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        open.st_dev == named.st_dev && open.st_ino == named.st_ino)
        ::unlinkat(folderFd, n.constData(), 0);
}

QString resolvedPath(const QString &path)
{
    QString p = QFileInfo(path).absoluteFilePath();
    for (int hops = 0;; ++hops) {
        const QFileInfo info(p);
        // The folder with every link in it followed (".." taken after the link, as the
        // system takes it); a folder that is not there is cleaned up as written.
        const QString canonical = QFileInfo(info.path()).canonicalFilePath();
        const QString folder = canonical.isEmpty() ? QDir::cleanPath(info.path()) : canonical;
        p = (folder.endsWith(u'/') ? folder : folder + u'/') + info.fileName();
        if (hops >= 40)
            return p;
        char target[4096];
        const ssize_t n = ::readlink(native(p).constData(), target, sizeof target - 1);
        if (n < 0)
            return p; // no link (or nothing) at the name: this is where it leads
        const QString to = QFile::decodeName(QByteArray(target, static_cast<qsizetype>(n)));
        p = to.startsWith(u'/') ? to : folder + u'/' + to;
    }
}

bool sameFileOrFolder(const QString &a, const QString &b)
{
    struct stat x {
    }, y{};
    return !a.isEmpty() && !b.isEmpty() && ::stat(native(a).constData(), &x) == 0 &&
           ::stat(native(b).constData(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool liesWithin(const QString &resolved, const QString &resolvedFolder)
{
    if (resolvedFolder.isEmpty())
        return false;
    if (resolvedFolder == u"/")
        return true;
    const QString folder = resolvedFolder.endsWith(u'/') ? resolvedFolder.chopped(1) : resolvedFolder;
    return resolved == folder || resolved.startsWith(folder + u'/');
}

NewFileBeside::NewFileBeside(QString path) : NewFileBeside(std::move(path), Options()) {}

NewFileBeside::NewFileBeside(QString path, Options options) : m_path(std::move(path)), m_options(std::move(options)) {}

NewFileBeside::~NewFileBeside()
{
    m_fd = Fd();
    if (!m_committed && !m_temporaryName.isEmpty() && m_folder.get() >= 0)
        ::unlinkat(m_folder.get(), native(m_temporaryName).constData(), 0);
}

QString NewFileBeside::temporaryPath() const
{
    return QFileInfo(m_path).absolutePath() + u'/' +
           (m_temporaryName.isEmpty() ? m_options.temporaryName : m_temporaryName);
}

bool NewFileBeside::open(QString *error)
{
    const QFileInfo info(m_path);
    auto failed = [&](int err) {
        m_error = err;
        if (error)
            *error =
                QStringLiteral("%1 のそばに新しいファイルを作れません（%2）").arg(m_path, fileFailureText(err, m_path));
        return false;
    };
    m_folder = Fd(openFolder(info.absolutePath()));
    if (m_folder.get() < 0)
        return failed(errno);
    const bool named = !m_options.temporaryName.isEmpty();
    if (named) // left by a program that stopped halfway under the same name
        ::unlinkat(m_folder.get(), native(m_options.temporaryName).constData(), 0);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporaryName = named ? m_options.temporaryName
                                : QStringLiteral(".") + info.fileName() +
                                      QStringLiteral(".new%1-%2").arg(::getpid()).arg(besideCounter++);
        m_fd = Fd(::openat(m_folder.get(), native(m_temporaryName).constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (m_fd.get() >= 0) {
            if (m_options.mode >= 0)
                ::fchmod(m_fd.get(), static_cast<mode_t>(m_options.mode));
            return true;
        }
        if (errno != EEXIST || named)
            break;
    }
    const int err = errno;
    m_temporaryName.clear();
    return failed(err);
}

bool NewFileBeside::flush()
{
    if (m_fd.get() < 0) {
        m_error = EBADF;
        return false;
    }
    const bool flushed = ::fsync(m_fd.get()) == 0;
    const int err = errno;
    if (::close(m_fd.release()) != 0 || !flushed) {
        m_error = flushed ? errno : err;
        return false;
    }
    return true;
}

QString NewFileBeside::replaceTarget(const Rename &rename)
{
    if (m_temporaryName.isEmpty())
        return reason(EBADF);
    if (rename) {
        if (QString refused = rename(temporaryPath(), m_path); !refused.isEmpty())
            return refused;
    } else if (::renameat(m_folder.get(), native(m_temporaryName).constData(), m_folder.get(),
                          native(QFileInfo(m_path).fileName()).constData()) != 0) {
        m_error = errno;
        return reason(m_error);
    }
    m_committed = true;
    syncFolder(m_folder.get());
    return {};
}

bool NewFileBeside::commit(QString *error)
{
    const bool flushed = flush();
    const QString refused = flushed ? replaceTarget() : QString();
    if (flushed && refused.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("%1 を書けません（%2）").arg(m_path, fileFailureText(m_error, m_path));
    return false;
}

} // namespace tobrel
