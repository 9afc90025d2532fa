#include "results/PosixFile.h"

#include "state/ResultRecord.h"
#include "text/SystemError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace tobrel {

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

QString errnoText(int err) { return systemErrorText(err); }

QString writeErrorText(int err)
{
    switch (err) {
    case ENOSPC:
        return QStringLiteral("ディスクがいっぱいです");
    case EDQUOT:
        return QStringLiteral("ディスクの使用量の上限を超えています");
    case EFBIG:
        return QStringLiteral("ファイルがこれ以上大きくなれません");
    default:
        return errnoText(err);
    }
}

int openRecordsFile(const QByteArray &native, int flags)
{
    return openPlainFileAt(AT_FDCWD, QFile::decodeName(native), flags);
}

bool stillNamedBy(int fd, const QByteArray &native)
{
    struct stat open {
    }, named{};
    if (::fstat(fd, &open) != 0 || ::lstat(native.constData(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

int64_t appendRecords(int fd, const char *data, size_t size, int *err, QString *what)
{
    const int64_t length = lengthOf(fd);
    if (length < 0) {
        *err = errno;
        *what = QStringLiteral("長さを調べられません");
        return 0;
    }
    const int64_t whole = length / kRecordSize;
    const off_t offset = static_cast<off_t>(whole * kRecordSize);
    if (!writeFully(fd, data, size, offset)) {
        *err = errno;
        *what = QStringLiteral("書き込めません");
        if (::ftruncate(fd, offset) != 0) {
            // The torn bytes stay; readers ignore them and the next append writes over them.
        }
        return 0;
    }
    if (::fsync(fd) != 0) {
        *err = errno;
        *what = QStringLiteral("ディスクに書き出せません");
        if (::ftruncate(fd, offset) != 0) {
        }
        return 0;
    }
    return whole + 1;
}

} // namespace tobrel
