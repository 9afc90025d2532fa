#include "text/FileReplace.h"

#include "text/SystemError.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tobrel {
namespace {

QString reason(int err) { return systemErrorText(err); }

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Opens a new file of a unique name beside path; -1 with errno set when it cannot.
int createBeside(const QString &path, QString *temporaryPath)
{
    static std::atomic<unsigned> counter{0};
    const QFileInfo info(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporaryPath = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                         QStringLiteral(".new%1-%2").arg(::getpid()).arg(counter++);
        const int fd = ::open(QFile::encodeName(*temporaryPath).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The new contents of a file, in a temporary file beside it: removed again unless the
// rename has taken it over.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile()
    {
        if (!m_path.isEmpty() && !m_kept)
            ::unlink(QFile::encodeName(m_path).constData());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    // Writes bytes to a new file beside `path` and flushes them to the disk; the file
    // takes the permissions of `modeOf` when there is such a file. Returns "" or what
    // failed, with *why the reason.
    QString write(const QString &path, const QByteArray &bytes, const QString &modeOf, QString *why)
    {
        const int fd = createBeside(path, &m_path);
        if (fd < 0) {
            *why = reason(errno);
            m_path.clear();
            return QStringLiteral("%1 のそばに新しいファイルを作れません").arg(path);
        }
        struct stat model {};
        if (::stat(QFile::encodeName(modeOf).constData(), &model) == 0)
            ::fchmod(fd, model.st_mode & 07777);
        const bool written = writeWhole(fd, bytes) && ::fsync(fd) == 0;
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            *why = reason(written ? errno : writeError);
            return QStringLiteral("%1 を書けません").arg(m_path);
        }
        return {};
    }
    const QString &path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

// The whole contents of a file; false with errno set when it cannot be read.
bool readWhole(const QString &path, QByteArray *bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            errno = err;
            return false;
        }
        if (n == 0)
            break;
        bytes->append(buffer, n);
    }
    ::close(fd);
    return true;
}

void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool writeWhole(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

QString renameOver(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(nativePath(from), nativePath(to), ec);
    return ec ? reason(ec.value()) : QString();
}

QString replaceFile(const QString &path, const QByteArray &bytes, const QString &backupPath,
                    const FileReplaceSteps &steps)
{
    auto failed = [&](const QString &what, const QString &why) {
        return QStringLiteral("%1（%2）。\n%3 は元のままです。").arg(what, why, path);
    };

    TemporaryFile temporary;
    QString why;
    if (const QString what = temporary.write(path, bytes, path, &why); !what.isEmpty())
        return failed(what, why);

    if (steps.beforeReplace)
        steps.beforeReplace(temporary.path());

    // The backup is replaced the same way, so that a failure (a full disk) leaves the
    // previous backup whole instead of half-copied.
    QByteArray previous;
    if (!backupPath.isEmpty() && readWhole(path, &previous)) {
        auto backupFailed = [&](const QString &reasonText) {
            return failed(QStringLiteral("控えのファイル %1 を作れません").arg(backupPath), reasonText);
        };
        TemporaryFile backup;
        if (!backup.write(backupPath, previous, path, &why).isEmpty())
            return backupFailed(why);
        if (const QString refused = renameOver(backup.path(), backupPath); !refused.isEmpty())
            return backupFailed(refused);
        backup.keep();
    } else if (!backupPath.isEmpty() && errno != ENOENT) {
        return failed(QStringLiteral("%1 を読めないので控えを作れません").arg(path), reason(errno));
    }

    const QString refused = steps.rename ? steps.rename(temporary.path(), path) : renameOver(temporary.path(), path);
    if (!refused.isEmpty())
        return failed(QStringLiteral("%1 を置き換えられません").arg(path), refused);
    temporary.keep();
    syncFolder(path);
    return {};
}

} // namespace tobrel
