#include "text/FileReplace.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tobrel {
namespace {

QString reason(int err)
{
    if (err == ENOSPC || err == EDQUOT)
        return QStringLiteral("ディスクがいっぱいです");
    return QString::fromLocal8Bit(std::strerror(err));
}

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// The temporary file: removed again unless the rename has taken it over.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString &path) : m_path(path) {}
    ~TemporaryFile()
    {
        if (!m_kept)
            ::unlink(QFile::encodeName(m_path).constData());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

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
    return ec ? QString::fromLocal8Bit(ec.message().c_str()) : QString();
}

QString replaceFile(const QString &path, const QByteArray &bytes, const QString &backupPath,
                    const FileReplaceSteps &steps)
{
    auto failed = [&](const QString &what, const QString &why) {
        return QStringLiteral("%1（%2）。\n%3 は元のままです。").arg(what, why, path);
    };

    QString temporaryPath;
    const int fd = createBeside(path, &temporaryPath);
    if (fd < 0)
        return failed(QStringLiteral("%1 のそばに新しいファイルを作れません").arg(path), reason(errno));
    TemporaryFile temporary(temporaryPath);
    struct stat previous {};
    const bool hadPrevious = ::stat(QFile::encodeName(path).constData(), &previous) == 0;
    if (hadPrevious)
        ::fchmod(fd, previous.st_mode & 07777);
    const bool written = writeWhole(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written)
        return failed(QStringLiteral("%1 を書けません").arg(temporaryPath), reason(written ? errno : writeError));

    if (steps.beforeReplace)
        steps.beforeReplace(temporaryPath);

    if (hadPrevious && !backupPath.isEmpty()) {
        std::error_code ec;
        std::filesystem::copy_file(nativePath(path), nativePath(backupPath),
                                   std::filesystem::copy_options::overwrite_existing, ec);
        if (ec)
            return failed(QStringLiteral("控えのファイル %1 を作れません").arg(backupPath),
                          QString::fromLocal8Bit(ec.message().c_str()));
    }

    const QString refused = steps.rename ? steps.rename(temporaryPath, path) : renameOver(temporaryPath, path);
    if (!refused.isEmpty())
        return failed(QStringLiteral("%1 を置き換えられません").arg(path), refused);
    temporary.keep();
    syncFolder(path);
    return {};
}

} // namespace tobrel
