// Many program copies on one results file at once, and copies killed in the middle of
// their work: nothing appended is lost, torn or doubled, and an earlier record never
// changes. The copies are the results_stress program (see its top for what it does).
#include "results/ResultsFile.h"
#include "StressRecords.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

// A started results_stress with its stdout.
struct Copy {
    pid_t pid = -1;
    int out = -1;
};

Copy start(const QStringList &args)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    std::vector<QByteArray> texts{QByteArray(TOBREL_RESULTS_STRESS)};
    for (const QString &a : args)
        texts.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

// Everything the copy said until it ended, and its exit status (-1 when killed).
struct Finished {
    QList<QByteArray> lines;
    int status = -1;
};

Finished finish(const Copy &c)
{
    QByteArray all;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(c.out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        all.append(buffer, n);
    }
    ::close(c.out);
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    Finished f;
    // A line cut off by a kill was not acknowledged.
    if (!all.endsWith('\n'))
        all.truncate(all.lastIndexOf('\n') + 1);
    for (const QByteArray &l : all.split('\n'))
        if (!l.isEmpty())
            f.lines << l;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return f;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray wholeRecords(const QByteArray &bytes) { return bytes.left(bytes.size() / kRecordSize * kRecordSize); }

// The records of a file, each with how often it occurs.
std::map<QByteArray, int> recordCounts(const QByteArray &bytes)
{
    std::map<QByteArray, int> counts;
    for (qsizetype k = 0; k + kRecordSize <= bytes.size(); k += kRecordSize)
        ++counts[bytes.mid(k, kRecordSize)];
    return counts;
}

// Memory-backed where the machine has it: thousands of flushes to a disk would take
// minutes, and the locks work the same.
std::unique_ptr<QTemporaryDir> scratch()
{
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        return std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/tobrel-stress-XXXXXX"));
    return std::make_unique<QTemporaryDir>();
}

} // namespace

TEST(ResultsStress, SixteenWritersWithReadersLoseTearAndDoubleNothing)
{
    const auto dir = scratch();
    const QString path = dir->path() + u'/' + resultsFileName();
    constexpr int kWriters = 16;
    constexpr int kEach = 1000;
    std::vector<Copy> writers, readers;
    for (int w = 1; w <= kWriters; ++w)
        writers.push_back(
            start({QStringLiteral("append"), path, QString::number(w), QStringLiteral("0"), QString::number(kEach)}));
    for (int r = 0; r < 2; ++r)
        readers.push_back(start({QStringLiteral("read"), path, QStringLiteral("1500")}));
    std::map<int64_t, QByteArray> acknowledged;
    for (const Copy &c : writers) {
        const Finished f = finish(c);
        ASSERT_EQ(f.status, 0);
        ASSERT_EQ(f.lines.size(), kEach);
        for (const QByteArray &l : f.lines) {
            const QList<QByteArray> parts = l.split(' ');
            ASSERT_EQ(parts.size(), 3);
            acknowledged[parts[1].toLongLong()] = QByteArray::fromHex(parts[2]);
        }
    }
    for (const Copy &c : readers) {
        const Finished f = finish(c);
        EXPECT_EQ(f.status, 0) << "a reader saw a torn or foreign record";
    }
    const QByteArray bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), kWriters * kEach * kRecordSize);
    // Every record sits at the number its writer was told, and no number was given twice.
    ASSERT_EQ(acknowledged.size(), static_cast<size_t>(kWriters * kEach));
    for (const auto &[number, record] : acknowledged)
        ASSERT_EQ(bytes.mid((number - 1) * kRecordSize, kRecordSize), record) << number;
}

TEST(ResultsStress, WritersKilledAtRandomMomentsChangeNoEarlierRecordAndLoseNoAcknowledgedOne)
{
    const auto dir = scratch();
    const QString path = dir->path() + u'/' + resultsFileName();
    const QString pending = dir->path() + QStringLiteral("/") + pendingFileName();
    std::mt19937 random(20240207);
    constexpr int kKills = 150;
    std::set<QByteArray> everPending;
    for (int i = 0; i < kKills; ++i) {
        const QByteArray before = wholeRecords(fileBytes(path));
        // Every third copy starts with runs kept on this PC to send first.
        const bool withPending = i % 3 == 0;
        if (withPending) {
            QByteArray kept;
            for (int k = 0; k < 5; ++k) {
                const auto b = stressRecord(64, 10000 + i * 10 + k).encode();
                kept.append(b.data(), kRecordSize);
                everPending.insert(QByteArray(b.data(), kRecordSize));
            }
            QFile f(pending);
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(kept);
        }
        // Writer and steps of its own, so that every record of the file is different.
        QStringList args{QStringLiteral("append"), path, QString::number(1 + i % 60), QString::number(i / 60 * 200000),
                         QStringLiteral("100000")};
        if (withPending)
            args << pending;
        const Copy c = start(args);
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 8000)(random)));
        ::kill(c.pid, SIGKILL);
        const Finished f = finish(c);

        const QByteArray after = fileBytes(path);
        ASSERT_EQ(after.left(before.size()), before) << "an earlier record changed, kill " << i;
        for (qsizetype k = 0; k + kRecordSize <= after.size(); k += kRecordSize)
            ASSERT_TRUE(isStressRecord(after.constData() + k)) << "record " << k / kRecordSize + 1 << ", kill " << i;
        for (const QByteArray &l : f.lines) {
            const QList<QByteArray> parts = l.split(' ');
            ASSERT_EQ(parts.size(), 3);
            const int64_t number = parts[1].toLongLong();
            ASSERT_GT(number, 0);
            ASSERT_EQ(after.mid((number - 1) * kRecordSize, kRecordSize), QByteArray::fromHex(parts[2]))
                << "acknowledged record " << number << " is not there, kill " << i;
        }
        ResultsFile::Range range;
        QString error;
        ASSERT_TRUE(ResultsFile(path).readAll(&range, &error)) << error.toStdString();
    }
    // The runs once kept on this PC are all in the file exactly once after a last send.
    const Finished sent = finish(start({QStringLiteral("send"), path, pending}));
    ASSERT_EQ(sent.status, 0);
    EXPECT_EQ(fileBytes(pending).size(), 0);
    const std::map<QByteArray, int> counts = recordCounts(fileBytes(path));
    for (const QByteArray &r : everPending) {
        const auto it = counts.find(r);
        ASSERT_NE(it, counts.end()) << "a run kept on this PC was lost";
        EXPECT_EQ(it->second, 1) << "a run kept on this PC was sent twice";
    }
    for (const auto &[record, n] : counts)
        EXPECT_EQ(n, 1);
}

TEST(ResultsStress, AppendsTogetherWithDeletionsAndChanges)
{
    const auto dir = scratch();
    const QString path = dir->path() + u'/' + resultsFileName();
    constexpr int kWriters = 6;
    constexpr int kEach = 300;
    std::vector<Copy> writers;
    for (int w = 1; w <= kWriters; ++w)
        writers.push_back(
            start({QStringLiteral("append"), path, QString::number(w), QStringLiteral("0"), QString::number(kEach)}));
    const Copy editor = start({QStringLiteral("edit"), path, QStringLiteral("1500"), QStringLiteral("7")});
    const Copy reader = start({QStringLiteral("read"), path, QStringLiteral("1500")});

    std::set<QByteArray> expected;
    for (const Copy &c : writers) {
        const Finished f = finish(c);
        ASSERT_EQ(f.status, 0);
        for (const QByteArray &l : f.lines)
            expected.insert(QByteArray::fromHex(l.split(' ')[2]));
    }
    const Finished edits = finish(editor);
    ASSERT_EQ(edits.status, 0);
    int deleted = 0, changed = 0;
    for (const QByteArray &l : edits.lines) {
        const QList<QByteArray> parts = l.split(' ');
        if (parts[0] == "D") {
            ASSERT_EQ(expected.erase(QByteArray::fromHex(parts[1])), 1u);
            ++deleted;
        } else {
            ASSERT_EQ(expected.erase(QByteArray::fromHex(parts[1])), 1u);
            expected.insert(QByteArray::fromHex(parts[2]));
            ++changed;
        }
    }
    EXPECT_EQ(finish(reader).status, 0) << "a reader saw a torn or foreign record";
    EXPECT_GT(deleted, 0);
    EXPECT_GT(changed, 0);

    const QByteArray bytes = fileBytes(path);
    ASSERT_EQ(bytes.size() % kRecordSize, 0);
    const std::map<QByteArray, int> counts = recordCounts(bytes);
    EXPECT_EQ(counts.size(), expected.size());
    for (const QByteArray &r : expected) {
        const auto it = counts.find(r);
        ASSERT_NE(it, counts.end()) << "a record was lost";
        EXPECT_EQ(it->second, 1) << "a record was doubled";
    }
}

TEST(ResultsStress, CorrectionsKilledAtRandomMomentsLoseNothingAndLeaveNothingBehind)
{
    // A teacher's PC switched off in the middle of a deletion or a change: the file holds
    // every record it held, less at most the one correction that was under way, and the
    // next correction clears what the stopped one left behind.
    const auto dir = scratch();
    const QString path = dir->path() + u'/' + resultsFileName();
    std::set<QByteArray> expected;
    {
        QByteArray all;
        for (int seq = 0; seq < 3000; ++seq) {
            const auto b = stressRecord(1, seq).encode();
            all.append(b.data(), kRecordSize);
            expected.insert(QByteArray(b.data(), kRecordSize));
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(all), all.size());
    }
    std::mt19937 random(20240208);
    for (int i = 0; i < 60; ++i) {
        const Copy editor = start({QStringLiteral("edit"), path, QStringLiteral("1000"), QString::number(i)});
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 30000)(random)));
        ::kill(editor.pid, SIGKILL);
        const Finished f = finish(editor);
        for (const QByteArray &l : f.lines) {
            const QList<QByteArray> parts = l.split(' ');
            ASSERT_EQ(expected.erase(QByteArray::fromHex(parts[1])), 1u) << "kill " << i;
            if (parts[0] == "C")
                expected.insert(QByteArray::fromHex(parts[2]));
        }
        const QByteArray bytes = fileBytes(path);
        ASSERT_EQ(bytes.size() % kRecordSize, 0) << "kill " << i;
        const std::map<QByteArray, int> counts = recordCounts(bytes);
        std::vector<QByteArray> missing, extra;
        for (const QByteArray &r : expected)
            if (!counts.count(r))
                missing.push_back(r);
        for (const auto &[r, n] : counts) {
            ASSERT_EQ(n, 1) << "a record was doubled, kill " << i;
            if (!expected.count(r))
                extra.push_back(r);
        }
        // The correction under way when the editor was killed either happened whole or not
        // at all; it may have happened without being acknowledged.
        ASSERT_LE(missing.size(), 1u) << "records were lost, kill " << i;
        ASSERT_LE(extra.size(), missing.size()) << "a foreign record appeared, kill " << i;
        if (!extra.empty()) {
            const auto changed = changedStressRecord(missing[0].constData()).encode();
            ASSERT_EQ(extra[0], QByteArray(changed.data(), kRecordSize)) << "kill " << i;
        }
        expected.clear();
        for (const auto &[r, n] : counts)
            expected.insert(r);
    }

    // The next deletion clears every temporary file and every backup that is still a
    // second name of the live file.
    ResultsFile::Range range;
    QString error;
    ASSERT_TRUE(ResultsFile(path).readAll(&range, &error)) << error.toStdString();
    ASSERT_GT(range.recordCount, 0);
    const ExpectedRecord first{1, range.bytes.left(kRecordSize)};
    ASSERT_TRUE(ResultsFile(path).deleteRecord(first, QDateTime::currentDateTime()).ok());
    for (const QString &name : QDir(dir->path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_EQ(name, resultsFileName()) << "left behind beside the results file";
    const QDir backups(ResultsFile(path).backupFolder());
    for (const QString &name : backups.entryList(QDir::Files))
        EXPECT_FALSE(name.endsWith(QStringLiteral(".tmp"))) << name.toStdString();
    EXPECT_LE(backups.entryList(QDir::Files).size(), kBackupsKept);
    EXPECT_EQ(QFileInfo(path).size(), range.bytes.size() - kRecordSize);
    struct stat live {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &live), 0);
    EXPECT_EQ(live.st_nlink, 1u) << "a backup is still a second name of the live file";
}
