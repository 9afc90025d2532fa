#include "results/ResultsFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrel {
namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool lockWhole(int fd, short type, bool wait)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    int rc;
    do {
        rc = ::fcntl(fd, wait ? F_SETLKW : F_SETLK, &fl);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

void unlockWhole(int fd)
{
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    ::fcntl(fd, F_SETLK, &fl);
}

// Readers create a missing file empty; a read-only share is still read.
int openForReading(const QByteArray &native)
{
    int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    return fd;
}

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

} // namespace

ResultsFile::ResultsFile(QString path, WaitFunction wait)
    : m_path(std::move(path)), m_wait(std::move(wait))
{
}

QString ResultsFile::OpenResultsFile() const
{
    const QByteArray native = QFile::encodeName(m_path);
    Fd fd(::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return QStringLiteral("成績ファイル %1 を開けません (%2)").arg(m_path, errnoText(errno));
    return {};
}

int64_t ResultsFile::append(const ResultRecord &record, QString *error) const
{
    const QByteArray native = QFile::encodeName(m_path);
    Fd fd(::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    auto fail = [&](const QString &what) {
        if (error)
            *error = QStringLiteral("成績ファイル %1 に記録できません: %2 (%3)")
                         .arg(m_path, what, errnoText(errno));
        return int64_t(0);
    };
    if (fd.get() < 0)
        return fail(QStringLiteral("開けません"));
    if (!lockWhole(fd.get(), F_WRLCK, true))
        return fail(QStringLiteral("ロックできません"));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        unlockWhole(fd.get());
        return fail(QStringLiteral("長さを調べられません"));
    }
    const int64_t whole = static_cast<int64_t>(st.st_size) / kRecordSize;
    const auto bytes = record.encode();
    const off_t offset = static_cast<off_t>(whole * kRecordSize);
    ssize_t written;
    do {
        written = ::pwrite(fd.get(), bytes.data(), bytes.size(), offset);
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(bytes.size())) {
        // Cut off what a short write left, so no torn record stays in the file.
        if (written > 0 && ::ftruncate(fd.get(), offset) != 0) {
        }
        unlockWhole(fd.get());
        return fail(QStringLiteral("書き込めません"));
    }
    if (::fsync(fd.get()) != 0) {
        unlockWhole(fd.get());
        return fail(QStringLiteral("ディスクに書き出せません"));
    }
    unlockWhole(fd.get());
    return whole + 1;
}

bool ResultsFile::readTail(int64_t maxRecords, Range *out, QString *error) const
{
    const QByteArray native = QFile::encodeName(m_path);
    int missing = 0;
    for (;;) {
        Fd fd(openForReading(native));
        if (fd.get() < 0) {
            const int err = errno;
            if (err == ENOENT || err == ENOTDIR) {
                // The folder may be a network share that is not there yet.
                if (++missing >= 4) {
                    if (error)
                        *error = QStringLiteral("ファイルがありません 1 %1 53\n%2")
                                     .arg(errnoText(err), m_path);
                    return false;
                }
                if (m_wait)
                    m_wait(5.0);
                continue;
            }
            if (err == EBUSY || err == ETXTBSY || err == EAGAIN) {
                if (m_wait)
                    m_wait(1.0);
                continue;
            }
            if (error)
                *error = QStringLiteral("成績ランダムファイル表示 1 %1 %2\n%3")
                             .arg(err)
                             .arg(errnoText(err), m_path);
            return false;
        }
        if (!lockWhole(fd.get(), F_RDLCK, false)) {
            // Another copy of the program is appending; try again shortly.
            if (m_wait)
                m_wait(1.0);
            continue;
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            const int err = errno;
            unlockWhole(fd.get());
            if (error)
                *error = QStringLiteral("成績ランダムファイル表示 2 %1 %2\n%3")
                             .arg(err)
                             .arg(errnoText(err), m_path);
            return false;
        }
        const int64_t n = static_cast<int64_t>(st.st_size) / kRecordSize;
        const int64_t first = n > maxRecords ? n - maxRecords + 1 : 1;
        const int64_t count = n - first + 1;
        out->recordCount = n;
        out->first = first;
        out->bytes.resize(static_cast<qsizetype>(count * kRecordSize));
        int64_t done = 0;
        const int64_t total = count * kRecordSize;
        while (done < total) {
            const ssize_t got = ::pread(fd.get(), out->bytes.data() + done,
                                        static_cast<size_t>(total - done),
                                        static_cast<off_t>((first - 1) * kRecordSize + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += got;
        }
        unlockWhole(fd.get());
        // A file shortened meanwhile by another program: keep the whole records read.
        const int64_t wholeRead = done / kRecordSize;
        out->bytes.truncate(static_cast<qsizetype>(wholeRead * kRecordSize));
        return true;
    }
}

} // namespace tobrel
