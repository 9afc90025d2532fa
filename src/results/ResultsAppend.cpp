// The end of a run's append, which never loses its run, and the pending file that keeps
// runs on this PC until the results file can take them.
#include "results/ResultsFile.h"

#include "results/PosixFile.h"
#include "results/Tally.h"
#include "text/SystemError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>

namespace tobrel {
namespace {

// Takes a whole-file lock without blocking, trying again for up to `seconds`. False
// when the lock stayed taken (or the file system takes no locks).
bool lockWithin(int fd, short type, double seconds, const std::function<void(double)> &pause)
{
    QElapsedTimer timer;
    timer.start();
    double step = 0.005;
    for (;;) {
        if (lockWhole(fd, type, false))
            return true;
        if ((errno != EAGAIN && errno != EACCES) || timer.elapsed() >= seconds * 1000)
            return false;
        pause(step);
        step = std::min(step * 2, 0.1);
    }
}

// Whether the pending file holds anything worth a look (records, or something that is
// no plain file): the common case, nothing, costs one look at the name.
bool holdsRecords(const QString &path)
{
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           (!S_ISREG(st.st_mode) || st.st_size > 0);
}

// Runs a PC keeps while the share is away: years of a classroom's runs fit far below
// this; a larger file is not the program's and is not read.
constexpr int64_t kPendingMaxBytes = 4 * 1024 * 1024;

QString pendingTooLarge(int64_t length)
{
    return length > kPendingMaxBytes ? QStringLiteral("大きすぎます（%1バイト。未送信の成績は%2バイトまでです）")
                                           .arg(length)
                                           .arg(kPendingMaxBytes)
                                     : QString();
}

// Why the kept records are no runs this program wrote, or "".
QString keptRecordsProblem(const QByteArray &kept)
{
    if (kept.size() % kRecordSize != 0)
        return QStringLiteral("長さ %1バイトが記録（%2バイト）の数になりません").arg(kept.size()).arg(kRecordSize);
    for (qsizetype at = 0; at < kept.size(); at += kRecordSize) {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(kept.constData() + at);
        if (isDamagedRecord(r) || r.level < 1)
            return QStringLiteral("このプログラムが書いた成績ではない記録があります（%1）")
                .arg(describeRecord(at / kRecordSize + 1, r));
    }
    return {};
}

} // namespace

void ResultsFile::pause(double seconds) const
{
    if (m_wait)
        m_wait(seconds, QString());
    else
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(seconds * 1e6)));
}

AppendOutcome ResultsFile::appendRun(const ResultRecord &record, const AppendWait &wait) const
{
    AppendOutcome out;
    if (wait.giveUpAfter < 0) {
        QString error;
        out.recordNumber = append(record, &error);
        out.status = out.recordNumber > 0 ? AppendOutcome::Written : AppendOutcome::Failed;
        out.message = error;
        return out;
    }
    // Runs kept earlier go first, so the file keeps the order in which runs ended.
    sendPendingRuns();
    const QByteArray native = QFile::encodeName(m_path);
    const auto bytes = record.encode();
    QElapsedTimer timer;
    timer.start();
    double waited = 0; // seconds asked of pause(); tests pause without sleeping
    double step = 0.005; // short at first, so a lock held for a moment costs little
    int reported = 0;
    bool pendingRetried = false;
    for (;;) {
        bool locked = false;
        int err = 0;
        Fd fd(openRecordsFile(native, O_RDWR | O_CREAT));
        if (fd.get() < 0) {
            err = errno;
            // A link or something else planted at the file's name is not waited out:
            // the run is kept on this PC at once, and nothing is written through it.
            if (err == ELOOP || err == kErrnoNotPlainFile)
                return keepPending(record,
                                   QStringLiteral("成績ファイル %1 を開けません (%2)").arg(m_path, errnoText(err)));
        } else if (!lockWhole(fd.get(), F_WRLCK, false)) {
            err = errno;
            if (err != EAGAIN && err != EACCES)
                return keepPending(
                    record, QStringLiteral("成績ファイル %1 をロックできません (%2)").arg(m_path, errnoText(err)));
            locked = true;
        } else if (!stillNamedBy(fd.get(), native)) {
            continue; // a rewrite replaced the file since it was opened: open the new one
        } else if (!pendingRetried && holdsRecords(m_pendingPath)) {
            // The kept runs could not be sent when this append began (the file was held):
            // now that it is free they go first, so the file keeps the order of the runs.
            unlockWhole(fd.get());
            pendingRetried = true;
            sendPendingRuns();
            continue;
        } else {
            QString what;
            out.recordNumber = appendRecords(fd.get(), bytes.data(), bytes.size(), &err, &what);
            unlockWhole(fd.get());
            if (out.recordNumber > 0) {
                out.status = AppendOutcome::Written;
                return out;
            }
            return keepPending(
                record,
                QStringLiteral("成績ファイル %1 に記録できません: %2 (%3)").arg(m_path, what, writeErrorText(err)));
        }
        const double seconds = std::max(waited, timer.elapsed() / 1000.0);
        if (seconds >= wait.giveUpAfter)
            return keepPending(record, locked ? QStringLiteral("成績ファイル %1 はほかのパソコンが%2秒以上使っています")
                                                    .arg(m_path)
                                                    .arg(static_cast<int>(seconds))
                                              : QStringLiteral("成績ファイル %1 に%2秒以上届きません (%3)")
                                                    .arg(m_path)
                                                    .arg(static_cast<int>(seconds))
                                                    .arg(errnoText(err)));
        if (wait.waiting && static_cast<int>(seconds) > reported) {
            reported = static_cast<int>(seconds);
            wait.waiting(reported, locked);
        }
        pause(step);
        waited += step;
        step = std::min(step * 2, 0.25);
    }
}

AppendOutcome ResultsFile::keepPending(const ResultRecord &record, const QString &why) const
{
    AppendOutcome out;
    out.message = why;
    if (m_pendingPath.isEmpty())
        return out;
    Fd fd(openPlainFile(m_pendingPath, O_RDWR | O_CREAT));
    int err = 0;
    QString what = QStringLiteral("開けません");
    if (fd.get() >= 0 && lockWhole(fd.get(), F_WRLCK, true)) {
        const auto bytes = record.encode();
        const int64_t number = appendRecords(fd.get(), bytes.data(), bytes.size(), &err, &what);
        unlockWhole(fd.get());
        if (number > 0) {
            out.status = AppendOutcome::KeptPending;
            return out;
        }
    } else {
        err = errno;
    }
    out.message =
        why +
        QStringLiteral("\nこのパソコンの %1 にも記録できません: %2 (%3)").arg(m_pendingPath, what, writeErrorText(err));
    return out;
}

namespace {

QString pendingRefusal(const QString &path, const QString &why)
{
    return QStringLiteral("このパソコンに残っている未送信の成績 %1 は成績ファイルに送りません: %2。\n"
                          "ファイルはそのままにしてあります。先生が中身を確かめてください。")
        .arg(path, why);
}

} // namespace

QString ResultsFile::pendingFileProblem() const
{
    if (!holdsRecords(m_pendingPath))
        return {};
    Fd pending(openPlainFile(m_pendingPath, O_RDONLY));
    if (pending.get() < 0)
        return pendingRefusal(m_pendingPath, errnoText(errno));
    const int64_t length = lengthOf(pending.get());
    if (const QString tooLarge = pendingTooLarge(length); !tooLarge.isEmpty())
        return pendingRefusal(m_pendingPath, tooLarge);
    QByteArray kept(static_cast<qsizetype>(std::max<int64_t>(length, 0)), Qt::Uninitialized);
    if (length < 0 || readFully(pending.get(), kept.data(), static_cast<size_t>(kept.size()), 0) != kept.size())
        return pendingRefusal(m_pendingPath, QStringLiteral("読めません"));
    const QString problem = keptRecordsProblem(kept);
    return problem.isEmpty() ? QString() : pendingRefusal(m_pendingPath, problem);
}

int64_t ResultsFile::sendPendingRuns(QString *error) const
{
    if (!holdsRecords(m_pendingPath))
        return 0;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return int64_t(0);
    };
    const auto pauseFor = [this](double s) { pause(s); };
    // The pending file's lock makes the sending happen once even when two copies of the
    // program on this PC start together: the second finds the file emptied.
    Fd pending(openPlainFile(m_pendingPath, O_RDWR));
    if (pending.get() < 0 || !lockWithin(pending.get(), F_WRLCK, 5.0, pauseFor))
        return fail(pendingRefusal(m_pendingPath, errnoText(errno)));
    const int64_t pendingLength = lengthOf(pending.get());
    if (pendingLength <= 0) {
        unlockWhole(pending.get());
        return 0;
    }
    if (const QString tooLarge = pendingTooLarge(pendingLength); !tooLarge.isEmpty()) {
        unlockWhole(pending.get());
        return fail(pendingRefusal(m_pendingPath, tooLarge));
    }
    QByteArray kept(static_cast<qsizetype>(pendingLength), Qt::Uninitialized);
    if (readFully(pending.get(), kept.data(), static_cast<size_t>(kept.size()), 0) != kept.size()) {
        unlockWhole(pending.get());
        return fail(pendingRefusal(m_pendingPath, QStringLiteral("読めません")));
    }
    if (const QString problem = keptRecordsProblem(kept); !problem.isEmpty()) {
        unlockWhole(pending.get());
        return fail(pendingRefusal(m_pendingPath, problem));
    }
    const int64_t count = pendingLength / kRecordSize;

    const QByteArray native = QFile::encodeName(m_path);
    int opened = -1;
    for (int tries = 0; tries < 10; ++tries) {
        Fd fd(openRecordsFile(native, O_RDWR | O_CREAT));
        if (fd.get() < 0 || !lockWithin(fd.get(), F_WRLCK, 1.0, pauseFor))
            break;
        if (stillNamedBy(fd.get(), native)) {
            opened = fd.release();
            break;
        }
    }
    Fd results(opened);
    if (results.get() < 0) {
        const int err = errno;
        unlockWhole(pending.get());
        return fail(QStringLiteral("成績ファイル %1 に送れません (%2)").arg(m_path, errnoText(err)));
    }

    // A copy that stopped after sending but before emptying the pending file left its
    // records in the results file already: those are not sent twice.
    QSet<QByteArray> toFind;
    for (int64_t k = 0; k < count; ++k)
        toFind.insert(kept.mid(static_cast<qsizetype>(k * kRecordSize), kRecordSize));
    QSet<QByteArray> found;
    const int64_t whole = std::max<int64_t>(lengthOf(results.get()), 0) / kRecordSize;
    constexpr int64_t kChunk = 8192;
    std::vector<char> chunk(static_cast<size_t>(kChunk * kRecordSize));
    for (int64_t first = 0; first < whole && found.size() < toFind.size(); first += kChunk) {
        const int64_t n = std::min(kChunk, whole - first);
        const ssize_t got = readFully(results.get(), chunk.data(), static_cast<size_t>(n * kRecordSize),
                                      static_cast<off_t>(first * kRecordSize));
        for (int64_t k = 0; k + 1 <= got / kRecordSize; ++k) {
            const QByteArray rec = QByteArray::fromRawData(chunk.data() + k * kRecordSize, kRecordSize);
            if (toFind.contains(rec))
                found.insert(QByteArray(rec.constData(), kRecordSize));
        }
    }
    QByteArray unsent;
    for (int64_t k = 0; k < count; ++k) {
        const QByteArray rec = kept.mid(static_cast<qsizetype>(k * kRecordSize), kRecordSize);
        if (!found.contains(rec))
            unsent += rec;
    }
    int err = 0;
    QString what;
    if (!unsent.isEmpty() &&
        appendRecords(results.get(), unsent.constData(), static_cast<size_t>(unsent.size()), &err, &what) == 0) {
        unlockWhole(results.get());
        unlockWhole(pending.get());
        return fail(QStringLiteral("成績ファイル %1 に送れません: %2 (%3)").arg(m_path, what, writeErrorText(err)));
    }
    unlockWhole(results.get());
    // Sent and flushed: only now is the pending file emptied.
    if (::ftruncate(pending.get(), 0) == 0)
        ::fsync(pending.get());
    unlockWhole(pending.get());
    return unsent.size() / kRecordSize;
}

} // namespace tobrel
