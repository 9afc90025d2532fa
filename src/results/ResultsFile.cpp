#include "results/ResultsFile.h"

#include "text/SystemError.h"
#include "results/PosixFile.h"
#include "results/ResultsBackups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrel {
namespace {

// Readers create a missing file empty; a read-only share is still read.
int openForReading(const QByteArray &native)
{
    int fd = openRecordsFile(native, O_RDWR | O_CREAT);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = openRecordsFile(native, O_RDONLY);
    return fd;
}

void setError(QString *error, int *errorNumber, const QString &text, int number)
{
    if (error)
        *error = text;
    if (errorNumber)
        *errorNumber = number;
}

// Opens the file and takes the lock, waiting for it. Whoever waited may find that a
// rewrite replaced the file meanwhile; then the file is opened again. Returns the open,
// locked descriptor, or -1 with *err set (0 when the lock itself failed).
int openCurrentLocked(const QByteArray &native, int flags, short lockType, int *err)
{
    for (;;) {
        int fd = openRecordsFile(native, flags);
        if (fd < 0) {
            *err = errno;
            return -1;
        }
        if (!lockWhole(fd, lockType, true)) {
            *err = errno;
            ::close(fd);
            return -1;
        }
        if (stillNamedBy(fd, native))
            return fd;
        ::close(fd);
    }
}

QString recordChangedMessage(const QString &path, int64_t recordNumber)
{
    return QStringLiteral("成績ファイル %1 の %2 番目の記録は、開いた後でほかのコンピュータから"
                          "変更または消去されました。何も書き込んでいません。")
        .arg(path)
        .arg(recordNumber);
}

// Compares the records the teacher opened with what the file holds now.
bool expectedStillThere(int fd, int64_t wholeRecords, const std::vector<ExpectedRecord> &expected, const QString &path,
                        RewriteOutcome *out)
{
    for (const ExpectedRecord &e : expected) {
        char now[kRecordSize];
        const bool there =
            e.recordNumber >= 1 && e.recordNumber <= wholeRecords &&
            readFully(fd, now, kRecordSize, static_cast<off_t>((e.recordNumber - 1) * kRecordSize)) == kRecordSize &&
            e.bytes == QByteArray::fromRawData(now, kRecordSize);
        if (!there) {
            out->status = RewriteOutcome::RecordChanged;
            out->message = recordChangedMessage(path, e.recordNumber);
            return false;
        }
    }
    return true;
}

// The last word before a change or a rewrite writes (the correction log secured): false,
// with out saying that nothing was written, when it is refused.
bool changeAllowed(const ResultsFile::BeforeChange &beforeChange, const QString &path, RewriteOutcome *out)
{
    if (!beforeChange)
        return true;
    const QString refused = beforeChange(*out);
    if (refused.isEmpty())
        return true;
    out->status = RewriteOutcome::Failed;
    out->message = refused + QStringLiteral("\n成績ファイル %1 には何も書き込んでいません。").arg(path);
    return false;
}

// Opens the file for a change or a rewrite: under the exclusive lock, what a stopped
// rewrite left removed, its length taken. The open, locked descriptor, or -1 with
// *step naming what failed and *err its error number.
int openForCorrection(const QString &path, int flags, const QString &backupFolder, struct stat *st, QString *step,
                      int *err)
{
    Fd fd(openCurrentLocked(QFile::encodeName(path), flags, F_WRLCK, err));
    if (fd.get() < 0) {
        *step = *err == 0 ? QStringLiteral("ロックできません") : QStringLiteral("開けません");
        return -1;
    }
    removeLeftovers(fd.get(), path, backupFolder);
    if (::fstat(fd.get(), st) != 0) {
        *err = errno;
        *step = QStringLiteral("長さを調べられません");
        return -1;
    }
    return fd.release();
}

} // namespace

ResultsFile::ResultsFile(QString path, WaitFunction wait) : m_path(std::move(path)), m_wait(std::move(wait)) {}

QString ResultsFile::OpenResultsFile() const
{
    Fd fd(openRecordsFile(QFile::encodeName(m_path), O_RDWR | O_CREAT));
    if (fd.get() < 0)
        return QStringLiteral("成績ファイル %1 を開けません (%2)").arg(m_path, errnoText(errno));
    return {};
}

int64_t ResultsFile::append(const ResultRecord &record, QString *error) const
{
    sendPendingRuns();
    const QByteArray native = QFile::encodeName(m_path);
    auto fail = [&](const QString &what, int err) {
        if (error)
            *error = QStringLiteral("成績ファイル %1 に記録できません: %2 (%3)").arg(m_path, what, writeErrorText(err));
        return int64_t(0);
    };
    int err = 0;
    Fd fd(openCurrentLocked(native, O_RDWR | O_CREAT, F_WRLCK, &err));
    if (fd.get() < 0)
        return fail(err == 0 ? QStringLiteral("ロックできません") : QStringLiteral("開けません"), err);
    const auto bytes = record.encode();
    QString what;
    const int64_t number = appendRecords(fd.get(), bytes.data(), bytes.size(), &err, &what);
    unlockWhole(fd.get());
    return number > 0 ? number : fail(what, err);
}

int ResultsFile::openLockedForReading(QString *error, int *errorNumber, bool waitForLock) const
{
    const QByteArray native = QFile::encodeName(m_path);
    int missing = 0;
    for (;;) {
        Fd fd(openForReading(native));
        if (fd.get() < 0) {
            const int err = errno;
            if (err == ENOENT || err == ENOTDIR) {
                // A missing file is created, so its folder is not there: perhaps a
                // network share that is not connected yet. The fourth failure ends it.
                if (++missing >= kReaderTries) {
                    setError(error, errorNumber,
                             QStringLiteral("成績ファイルのフォルダに届きません（%1回読み直しました）\n%2")
                                 .arg(kReaderTries - 1)
                                 .arg(m_path),
                             kErrorFolderNotFound);
                    return -1;
                }
                if (m_wait)
                    m_wait(5.0, QStringLiteral("成績ファイルのフォルダに届きません。\n"
                                               "5秒後にもう一度読みます（%1回目／%2回）。\n%3")
                                    .arg(missing + 1)
                                    .arg(kReaderTries)
                                    .arg(m_path));
                continue;
            }
            if (err == EBUSY || err == ETXTBSY || err == EAGAIN) {
                if (m_wait)
                    m_wait(1.0,
                           QStringLiteral("成績ファイルをほかのパソコンが使っています。少し待ってもう一度読みます。"));
                continue;
            }
            setError(error, errorNumber,
                     QStringLiteral("成績ファイルを開けません（%1）\n%2").arg(errnoText(err), m_path),
                     errorNumberOfErrno(err));
            return -1;
        }
        if (!lockWhole(fd.get(), F_RDLCK, waitForLock)) {
            const int err = errno;
            if (err != EAGAIN && err != EACCES) {
                // The file system takes no locks at all (a share mounted without them):
                // waiting would never end.
                setError(error, errorNumber,
                         QStringLiteral("成績ファイルをロックできません（%1）\n%2").arg(errnoText(err), m_path),
                         errorNumberOfErrno(err));
                return -1;
            }
            // Another copy of the program is appending; try again shortly.
            if (m_wait)
                m_wait(1.0, QStringLiteral("成績ファイルをほかのパソコンが使っています。少し待ってもう一度読みます。"));
            continue;
        }
        if (!stillNamedBy(fd.get(), native))
            continue; // replaced by a rewrite since it was opened: read the new file
        return fd.release();
    }
}

namespace {

// Length of an open file, or -1 with error set.
int64_t fileLength(int fd, const QString &path, QString *error, int *errorNumber = nullptr,
                   struct stat *status = nullptr)
{
    struct stat own {};
    struct stat &st = status ? *status : own;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        setError(error, errorNumber,
                 QStringLiteral("成績ファイルの長さを調べられません（%1）\n%2").arg(errnoText(err), path),
                 errorNumberOfErrno(err));
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

// Reads up to length bytes at offset; returns the bytes read (fewer at the end of a
// file shortened meanwhile, none after a read error).
int64_t readAt(int fd, char *out, int64_t length, int64_t offset)
{
    return std::max<int64_t>(readFully(fd, out, static_cast<size_t>(length), static_cast<off_t>(offset)), 0);
}

} // namespace

bool ResultsFile::readTail(int64_t maxRecords, Range *out, QString *error, int *errorNumber) const
{
    sendPendingRuns();
    Fd fd(openLockedForReading(error, errorNumber));
    if (fd.get() < 0)
        return false;
    const int64_t length = fileLength(fd.get(), m_path, error, errorNumber);
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
    const int64_t done = readAt(fd.get(), out->bytes.data(), count * kRecordSize, (first - 1) * kRecordSize);
    unlockWhole(fd.get());
    // A file shortened meanwhile by another program: keep the whole records read.
    const int64_t wholeRead = done / kRecordSize;
    out->bytes.truncate(static_cast<qsizetype>(wholeRead * kRecordSize));
    return true;
}

bool ResultsFile::scan(const ChunkVisitor &visit, ScanInfo *info, QString *error, int64_t chunkRecords,
                       int64_t firstRecord) const
{
    sendPendingRuns();
    Fd fd(openLockedForReading(error));
    if (fd.get() < 0)
        return false;
    struct stat st {};
    const int64_t length = fileLength(fd.get(), m_path, error, nullptr, &st);
    unlockWhole(fd.get());
    if (length < 0)
        return false;
    const int64_t n = length / kRecordSize;
    if (info) {
        info->recordCount = n;
        info->tailBytes = length % kRecordSize;
        info->mark = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), length,
                      static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }
    chunkRecords = std::max<int64_t>(chunkRecords, 1);
    firstRecord = std::max<int64_t>(firstRecord, 1);
    std::vector<char> buffer(static_cast<size_t>(std::clamp<int64_t>(n - firstRecord + 1, 0, chunkRecords) * kRecordSize));
    for (int64_t first = firstRecord; first <= n;) {
        const int64_t count = std::min(chunkRecords, n - first + 1);
        if (!lockWhole(fd.get(), F_RDLCK, true)) {
            const int err = errno;
            if (error)
                *error = QStringLiteral("成績ファイルをロックできません（%1）\n%2").arg(errnoText(err), m_path);
            return false;
        }
        const int64_t done = readAt(fd.get(), buffer.data(), count * kRecordSize, (first - 1) * kRecordSize);
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

bool ResultsFile::readRecord(int64_t recordNumber, QByteArray *bytes, QString *error) const
{
    bytes->clear();
    Fd fd(openLockedForReading(error));
    if (fd.get() < 0)
        return false;
    const int64_t length = fileLength(fd.get(), m_path, error);
    if (length >= 0 && recordNumber >= 1 && recordNumber <= length / kRecordSize) {
        bytes->resize(kRecordSize);
        if (readAt(fd.get(), bytes->data(), kRecordSize, (recordNumber - 1) * kRecordSize) != kRecordSize)
            bytes->clear();
    }
    unlockWhole(fd.get());
    return length >= 0;
}

bool ResultsFile::readRecords(int64_t first, int64_t count, QByteArray *bytes, QString *error) const
{
    bytes->clear();
    Fd fd(openLockedForReading(error, nullptr, true));
    if (fd.get() < 0)
        return false;
    const int64_t length = fileLength(fd.get(), m_path, error);
    const int64_t there = length < 0 || first < 1 ? 0 : std::clamp<int64_t>(length / kRecordSize - first + 1, 0, count);
    if (there > 0) {
        bytes->resize(static_cast<qsizetype>(there * kRecordSize));
        const int64_t done = readAt(fd.get(), bytes->data(), there * kRecordSize, (first - 1) * kRecordSize);
        bytes->truncate(static_cast<qsizetype>(done / kRecordSize * kRecordSize));
    }
    unlockWhole(fd.get());
    return length >= 0;
}

RewriteOutcome ResultsFile::changeRecord(const ExpectedRecord &expected, const ResultRecord &replacement,
                                         const BeforeChange &beforeChange) const
{
    sendPendingRuns();
    RewriteOutcome out;
    auto fail = [&](const QString &what, int err) {
        out.status = RewriteOutcome::Failed;
        out.message = QStringLiteral("成績ファイル %1 の %2 番目の記録を変更できません: %3 (%4)")
                          .arg(m_path)
                          .arg(expected.recordNumber)
                          .arg(what, errnoText(err));
        return out;
    };
    int err = 0;
    QString step;
    struct stat st {};
    Fd fd(openForCorrection(m_path, O_RDWR, backupFolder(), &st, &step, &err));
    if (fd.get() < 0)
        return fail(step, err);
    out.recordsBefore = out.recordsAfter = static_cast<int64_t>(st.st_size) / kRecordSize;
    if (!expectedStillThere(fd.get(), out.recordsBefore, {expected}, m_path, &out))
        return out;
    if (!changeAllowed(beforeChange, m_path, &out))
        return out;
    const auto bytes = replacement.encode();
    const off_t offset = static_cast<off_t>((expected.recordNumber - 1) * kRecordSize);
    const bool written = writeFully(fd.get(), bytes.data(), bytes.size(), offset);
    if (!written || ::fsync(fd.get()) != 0) {
        const int writeErr = errno;
        // Put the record back as it was rather than leave it half written, or changed
        // where the teacher is told it is not.
        if (writeFully(fd.get(), expected.bytes.constData(), kRecordSize, offset))
            ::fsync(fd.get());
        return fail(written ? QStringLiteral("ディスクに書き出せません") : QStringLiteral("書き込めません"), writeErr);
    }
    out.status = RewriteOutcome::Done;
    return out;
}

RewriteOutcome ResultsFile::rewrite(const KeepRecord &keep, const RewriteOptions &options) const
{
    sendPendingRuns();
    RewriteOutcome out;
    const QByteArray native = QFile::encodeName(m_path);
    auto fail = [&](const QString &what, int err) {
        out.status = RewriteOutcome::Failed;
        out.message = QStringLiteral("成績ファイル %1 を書き換えられません: %2 (%3)\n元のファイルはそのままです。")
                          .arg(m_path, what, errnoText(err));
        return out;
    };
    int err = 0;
    QString step;
    struct stat st {};
    Fd fd(openForCorrection(m_path, O_RDWR | O_CREAT, backupFolder(), &st, &step, &err));
    if (fd.get() < 0)
        return fail(step, err);
    const int64_t whole = static_cast<int64_t>(st.st_size) / kRecordSize;
    out.recordsBefore = whole;
    out.tornBytes = static_cast<int64_t>(st.st_size) % kRecordSize;
    if (!expectedStillThere(fd.get(), whole, options.expected, m_path, &out))
        return out;

    // The new contents go to a temporary file in the same folder, so that the rename
    // below replaces the results file in one step.
    NewFileBeside::Options tempOptions;
    tempOptions.temporaryName =
        QFileInfo(m_path).fileName() + u'.' + QString::number(::getpid()) + QStringLiteral(".tmp");
    tempOptions.mode = static_cast<int>(st.st_mode & 07777);
    NewFileBeside tmp(m_path, tempOptions);
    if (!tmp.open())
        return fail(QStringLiteral("一時ファイル %1 を作れません").arg(tmp.temporaryPath()), tmp.error());

    int64_t written = 0;
    if (!options.dropOnly.empty()) {
        // The records between the dropped ones, copied a piece at a time for the progress.
        constexpr int64_t kPiece = 1 << 16;
        int64_t first = 1;
        for (size_t d = 0; d <= options.dropOnly.size(); ++d) {
            const int64_t last = d < options.dropOnly.size() ? std::min(options.dropOnly[d] - 1, whole) : whole;
            for (int64_t at = first; at <= last; at += kPiece) {
                const int64_t count = std::min(kPiece, last - at + 1);
                if (!copyRange(fd.get(), static_cast<off_t>((at - 1) * kRecordSize), tmp.fd(),
                               static_cast<off_t>(written), static_cast<size_t>(count * kRecordSize)))
                    return fail(QStringLiteral("一時ファイルに書き写せません"), errno == 0 ? EIO : errno);
                written += count * kRecordSize;
                if (options.progress)
                    options.progress(at + count - 1, whole);
            }
            if (d < options.dropOnly.size())
                first = std::max(first, options.dropOnly[d] + 1);
        }
        if (options.progress)
            options.progress(whole, whole);
    }
    constexpr int64_t kChunk = 8192; // records read and written at a time
    std::vector<char> in(options.dropOnly.empty() ? static_cast<size_t>(kChunk * kRecordSize) : 0);
    for (int64_t first = 1; options.dropOnly.empty() && first <= whole; first += kChunk) {
        const int64_t count = std::min(kChunk, whole - first + 1);
        const size_t bytes = static_cast<size_t>(count * kRecordSize);
        if (readFully(fd.get(), in.data(), bytes, static_cast<off_t>((first - 1) * kRecordSize)) !=
            static_cast<ssize_t>(bytes))
            return fail(QStringLiteral("読めません"), errno == 0 ? EIO : errno);
        // The kept records close up behind the dropped ones, in place.
        size_t keptBytes = 0;
        for (int64_t k = 0; k < count; ++k) {
            const char *record = in.data() + k * kRecordSize;
            if (!keep(first + k, record))
                continue;
            if (keptBytes != static_cast<size_t>(k * kRecordSize))
                std::memmove(in.data() + keptBytes, record, kRecordSize);
            keptBytes += kRecordSize;
        }
        if (!writeFully(tmp.fd(), in.data(), keptBytes, static_cast<off_t>(written)))
            return fail(QStringLiteral("一時ファイルに書き込めません"), errno);
        written += static_cast<int64_t>(keptBytes);
        if (options.progress)
            options.progress(first + count - 1, whole);
    }
    if (!tmp.flush())
        return fail(QStringLiteral("一時ファイルをディスクに書き出せません"), tmp.error());

    // The file as it was, before it is replaced.
    const QString folder = backupFolder();
    // The folder is made fresh beside the results file, or opened as the folder that is
    // there; never through a link planted at its name (the results would be copied out
    // of the share), which the open refuses.
    const Fd dataFolder(openFolder(QFileInfo(m_path).absolutePath()));
    if (dataFolder.get() < 0)
        return fail(QStringLiteral("バックアップのフォルダ %1 を作れません").arg(folder), errno);
    Fd backupFolderFd(makeFreshFolderAt(dataFolder.get(), backupFolderName()));
    const bool makesFolder = backupFolderFd.get() >= 0;
    if (!makesFolder && errno != EEXIST)
        return fail(QStringLiteral("バックアップのフォルダ %1 を作れません").arg(folder), errno);
    if (!makesFolder) {
        backupFolderFd = Fd(openSubfolderAt(dataFolder.get(), backupFolderName()));
        if (backupFolderFd.get() < 0) {
            int why = errno;
            struct stat there {};
            if (::fstatat(dataFolder.get(), QFile::encodeName(backupFolderName()).constData(), &there,
                          AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(there.st_mode))
                why = ELOOP; // say it is a link, not merely no folder
            return fail(QStringLiteral("バックアップのフォルダ %1 を使えません").arg(folder), why);
        }
    }
    // A rewrite that is refused or fails leaves no backup folder it made itself behind
    // (an empty one; the backup in it is gone by then).
    RemoveOnExit removeFolder(makesFolder ? QFile::encodeName(folder) : QByteArray(), true);
    const QDateTime when = options.now.isValid() ? options.now : QDateTime::currentDateTime();
    const QString base = backupFileName(when);
    QByteArray backup;
    for (int n = 1;; ++n) {
        QString name = base;
        if (n > 1)
            name.insert(name.size() - 4, QStringLiteral("_%1").arg(n));
        backup = QFile::encodeName(folder + u'/' + name);
        if (keepBackup(fd.get(), native, backup, &err))
            break;
        if (err != EEXIST || n >= 1000)
            return fail(QStringLiteral("バックアップ %1 を作れません").arg(QFile::decodeName(backup)), err);
    }
    RemoveOnExit removeBackup(backup);

    out.recordsAfter = written / kRecordSize;
    if (!changeAllowed(options.beforeChange, m_path, &out))
        return out;
    // A refusing replace put in by a test stands for the share; otherwise the rename.
    NewFileBeside::Rename replace;
    if (m_replace)
        replace = [&](const QString &from, const QString &to) {
            int refused = 0;
            return m_replace(QFile::encodeName(from), QFile::encodeName(to), &refused) ? QString() : errnoText(refused);
        };
    if (const QString refused = tmp.replaceTarget(replace); !refused.isEmpty()) {
        out.status = RewriteOutcome::Failed;
        out.message = QStringLiteral("成績ファイル %1 を書き換えられません: %2 (%3)\n元のファイルはそのままです。")
                          .arg(m_path,
                               QStringLiteral("新しい内容で置き換えられません。"
                                              "ほかのコンピュータがファイルを開いていないか確かめてください"),
                               refused);
        return out;
    }
    removeBackup.keep();
    removeFolder.keep();
    if (options.pruneNow)
        pruneBackups(folder, kBackupsKept, QFileInfo(QFile::decodeName(backup)).fileName());

    out.status = RewriteOutcome::Done;
    out.recordsAfter = written / kRecordSize;
    out.backupPath = QFile::decodeName(backup);
    return out;
}

RewriteOutcome ResultsFile::deleteRecord(const ExpectedRecord &expected, const QDateTime &now, const Progress &progress,
                                         const BeforeChange &beforeChange, bool pruneNow) const
{
    RewriteOptions options;
    options.expected = {expected};
    options.now = now;
    options.progress = progress;
    options.beforeChange = beforeChange;
    const int64_t gone = expected.recordNumber;
    options.dropOnly = {gone};
    options.pruneNow = pruneNow;
    return rewrite([gone](int64_t n, const char *) { return n != gone; }, options);
}

int64_t ResultsFile::copyTo(int destFd, const QString &dest, QString *error) const
{
    // Queued behind an append rather than polling: the copy starts as soon as the
    // writer lets go, even while drills append one after another.
    Fd from(openLockedForReading(error, nullptr, true));
    if (from.get() < 0)
        return -1;
    bool readFailed = false;
    const int64_t copied = copyFlushed(from.get(), destFd, &readFailed);
    if (copied < 0) {
        const int err = errno;
        unlockWhole(from.get());
        if (error)
            *error = QStringLiteral("%1 を写せません (%2)").arg(readFailed ? m_path : dest, errnoText(err));
        return -1;
    }
    unlockWhole(from.get());
    return copied;
}

} // namespace tobrel
