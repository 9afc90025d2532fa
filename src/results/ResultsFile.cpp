#include "results/ResultsFile.h"

#include <QFile>

#include <algorithm>
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
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

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

int ResultsFile::openLockedForReading(QString *error) const
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
                    return -1;
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
            return -1;
        }
        if (!lockWhole(fd.get(), F_RDLCK, false)) {
            // Another copy of the program is appending; try again shortly.
            if (m_wait)
                m_wait(1.0);
            continue;
        }
        return fd.release();
    }
}

namespace {

// Length of an open file, or -1 with error set.
int64_t fileLength(int fd, const QString &path, QString *error)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        if (error)
            *error = QStringLiteral("成績ランダムファイル表示 2 %1 %2\n%3")
                         .arg(err)
                         .arg(errnoText(err), path);
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

// Reads up to length bytes at offset; returns the bytes read (fewer at the end of a
// file shortened meanwhile).
int64_t readAt(int fd, char *out, int64_t length, int64_t offset)
{
    int64_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, out + done, static_cast<size_t>(length - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

} // namespace

bool ResultsFile::readTail(int64_t maxRecords, Range *out, QString *error) const
{
    Fd fd(openLockedForReading(error));
    if (fd.get() < 0)
        return false;
    const int64_t length = fileLength(fd.get(), m_path, error);
    if (length < 0) {
        unlockWhole(fd.get());
        return false;
    }
    const int64_t n = length / kRecordSize;
    const int64_t first = n > maxRecords ? n - maxRecords + 1 : 1;
    const int64_t count = n - first + 1;
    out->recordCount = n;
    out->first = first;
    out->bytes.resize(static_cast<qsizetype>(count * kRecordSize));
    const int64_t done =
        readAt(fd.get(), out->bytes.data(), count * kRecordSize, (first - 1) * kRecordSize);
    unlockWhole(fd.get());
    // A file shortened meanwhile by another program: keep the whole records read.
    const int64_t wholeRead = done / kRecordSize;
    out->bytes.truncate(static_cast<qsizetype>(wholeRead * kRecordSize));
    return true;
}

bool ResultsFile::scan(const ChunkVisitor &visit, ScanInfo *info, QString *error,
                       int64_t chunkRecords) const
{
    Fd fd(openLockedForReading(error));
    if (fd.get() < 0)
        return false;
    const int64_t length = fileLength(fd.get(), m_path, error);
    unlockWhole(fd.get());
    if (length < 0)
        return false;
    const int64_t n = length / kRecordSize;
    if (info) {
        info->recordCount = n;
        info->tailBytes = length % kRecordSize;
    }
    chunkRecords = std::max<int64_t>(chunkRecords, 1);
    std::vector<char> buffer(static_cast<size_t>(std::min(n, chunkRecords) * kRecordSize));
    for (int64_t first = 1; first <= n;) {
        const int64_t count = std::min(chunkRecords, n - first + 1);
        if (!lockWhole(fd.get(), F_RDLCK, true)) {
            const int err = errno;
            if (error)
                *error = QStringLiteral("成績ランダムファイル表示 3 %1 %2\n%3")
                             .arg(err)
                             .arg(errnoText(err), m_path);
            return false;
        }
        const int64_t done =
            readAt(fd.get(), buffer.data(), count * kRecordSize, (first - 1) * kRecordSize);
        unlockWhole(fd.get());
        const int64_t whole = done / kRecordSize;
        if (whole > 0 && !visit(first, buffer.data(), whole))
            return true;
        if (whole < count) {
            // The file was shortened in place meanwhile; what is left is not there.
            if (info)
                info->recordCount = first - 1 + whole;
            return true;
        }
        first += count;
    }
    return true;
}

} // namespace tobrel
