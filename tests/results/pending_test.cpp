// The end of a run when the shared results file misbehaves: a lock that another PC
// never lets go, a share that disappears and comes back, a disk that fills up.
#include "drill/EndOfRun.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "state/SharedState.h"
#include "support/LockHolder.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

QByteArray bytesOf(const ResultRecord &r)
{
    const auto b = r.encode();
    return QByteArray(b.data(), kRecordSize);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A run at level 2 whose time of day follows its time, so that every run is told apart.
ResultRecord run(int student, int time) { return TestRun{}.on(45329).at(0.5 + time / 100000.0)(student, 2, time); }

// count runs of one student with times first, first + 1, ...
QByteArray runs(int student, int first, int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += bytesOf(run(student, first + i));
    return out;
}

// A school on this PC: the program folder with its pending file, the data folder of
// the shared results file.
struct School {
    QTemporaryDir dir;
    std::vector<double> pauses;
    QString data() const { return dir.path() + QStringLiteral("/share/tobrel/"); }
    QString results() const { return data() + resultsFileName(); }
    QString pending() const { return dir.path() + QStringLiteral("/program/") + pendingFileName(); }
    School()
    {
        QDir().mkpath(data());
        QDir().mkpath(dir.path() + QStringLiteral("/program"));
    }
    // Waits without sleeping: the append counts the seconds it asked for.
    ResultsFile file()
    {
        ResultsFile f(results(), [this](double s, const QString &) { pauses.push_back(s); });
        f.setPendingFile(pending());
        return f;
    }
};

// Appends a run while another PC holds the results file and lets go in the fourth second
// of the wait.
AppendOutcome appendWhileAnotherPcHoldsTheFileForFourSeconds(School &school, const ResultRecord &record)
{
    LockHolder other(school.results());
    EXPECT_GT(other.pid, 0);
    AppendWait wait;
    wait.giveUpAfter = 30;
    wait.waiting = [&](int s, bool) {
        if (s == 4)
            other.release();
    };
    return school.file().appendRun(record, wait);
}

} // namespace

TEST(AppendRun, AStaleLockIsWaitedForWithTheSecondsCountedThenTheRunIsKeptOnThisPc)
{
    School school;
    ASSERT_TRUE(writeFile(school.results(), bytesOf(run(1, 30))));
    LockHolder other(school.results());
    ASSERT_GT(other.pid, 0);
    AppendWait wait;
    wait.giveUpAfter = 30;
    std::vector<int> seconds;
    std::vector<bool> lockedFlags;
    wait.waiting = [&](int s, bool locked) {
        seconds.push_back(s);
        lockedFlags.push_back(locked);
    };
    const AppendOutcome out = school.file().appendRun(run(2, 40), wait);
    EXPECT_EQ(out.status, AppendOutcome::KeptPending);
    EXPECT_TRUE(out.message.contains(school.results())) << out.message.toStdString();
    EXPECT_TRUE(out.message.contains(QStringLiteral("ほかのパソコン"))) << out.message.toStdString();
    // Every second was counted, each once, always as another PC's lock.
    ASSERT_EQ(seconds.size(), 29u);
    for (size_t i = 0; i < seconds.size(); ++i)
        EXPECT_EQ(seconds[i], static_cast<int>(i) + 1);
    EXPECT_EQ(std::count(lockedFlags.begin(), lockedFlags.end(), true), 29);
    EXPECT_EQ(fileBytes(school.pending()), bytesOf(run(2, 40)));
    EXPECT_EQ(fileBytes(school.results()), bytesOf(run(1, 30)));

    // What the overlay says: nothing for the first seconds, then who holds the file.
    EXPECT_EQ(recordingWaitText(2, true), QString());
    EXPECT_TRUE(recordingWaitText(3, true).contains(QStringLiteral("ほかのパソコンが使っています")));
    EXPECT_TRUE(recordingWaitText(12, true).contains(QStringLiteral("12秒")));
    EXPECT_TRUE(recordingWaitText(5, false).contains(QStringLiteral("届きません")));

    // Once the other PC lets go, the next open sends the kept run first.
    other.release();
    ResultsFile::Range range;
    QString error;
    ASSERT_TRUE(school.file().readAll(&range, &error));
    EXPECT_EQ(range.bytes, bytesOf(run(1, 30)) + bytesOf(run(2, 40)));
    EXPECT_EQ(fileBytes(school.pending()), QByteArray());
}

TEST(AppendRun, ALockLetGoWithinTheWaitIsWrittenNormally)
{
    School school;
    const AppendOutcome out = appendWhileAnotherPcHoldsTheFileForFourSeconds(school, run(2, 40));
    EXPECT_EQ(out.status, AppendOutcome::Written);
    EXPECT_EQ(out.recordNumber, 1);
    EXPECT_FALSE(QFile::exists(school.pending()));
}

TEST(AppendRun, RunsKeptEarlierGoBeforeTheNewOneWhenTheLockIsLetGoDuringTheWait)
{
    // A run was kept on this PC; the next run ends while another PC holds the file.
    School school;
    ASSERT_TRUE(writeFile(school.results(), bytesOf(run(1, 30))));
    ASSERT_TRUE(writeFile(school.pending(), bytesOf(run(7, 100))));
    const AppendOutcome out = appendWhileAnotherPcHoldsTheFileForFourSeconds(school, run(2, 40));
    EXPECT_EQ(out.status, AppendOutcome::Written);
    EXPECT_EQ(out.recordNumber, 3);
    EXPECT_EQ(fileBytes(school.results()), bytesOf(run(1, 30)) + bytesOf(run(7, 100)) + bytesOf(run(2, 40)));
    EXPECT_EQ(fileBytes(school.pending()), QByteArray());
}

TEST(AppendRun, AResultsFolderThatDisappearsAndComesBackLosesNoRun)
{
    School school;
    SharedState state;
    FakeClock clock;
    clock.date = QDate(2024, 2, 7);
    state.config.ProgramFolder = school.dir.path() + QStringLiteral("/program/");
    state.config.DataFolder = school.data();
    state.criteria.CritTargetTime[2] = 60;
    state.criteria.CritPointRate[2] = 1;
    state.criteria.CritPassDays[2] = Variant(7);
    state.student.CurrentStudent = 5;
    state.run.CurrentLevel = 2;
    state.run.RunTime = 30;
    ASSERT_EQ(sharedResultsFile(state).pendingFile(), school.pending());
    std::vector<double> pauses;
    auto file = [&] { return sharedResultsFile(state, [&](double s, const QString &) { pauses.push_back(s); }); };
    ASSERT_TRUE(TallyResults(state, clock, file()).ok()); // creates the file empty
    ASSERT_EQ(RecordRun(state, clock, file(), 2).status, AppendOutcome::Written);
    ASSERT_TRUE(TallyResults(state, clock, file()).ok());

    // The share goes away.
    const QString share = school.dir.path() + QStringLiteral("/share");
    ASSERT_TRUE(QDir().rename(share, share + QStringLiteral("-away")));
    AppendWait wait;
    wait.giveUpAfter = kRecordingGiveUpSeconds;
    bool unreachable = false;
    wait.waiting = [&](int, bool locked) { unreachable = unreachable || !locked; };
    state.run.RunTime = 41;
    AppendOutcome out = RecordRun(state, clock, file(), 2, wait);
    EXPECT_EQ(out.status, AppendOutcome::KeptPending);
    EXPECT_TRUE(unreachable);
    EXPECT_TRUE(out.message.contains(school.results())) << out.message.toStdString();
    EXPECT_TRUE(keptOnThisPcText(out.message).contains(QStringLiteral("このパソコンに保存しました")));
    EXPECT_TRUE(state.outcome.keptOnThisPc);
    // The end screen counts the kept run without reading the share.
    countRunKeptOnThisPc(state);
    EXPECT_EQ(state.tallies.AllRunCount(2, 5), 2);
    EXPECT_EQ(state.tallies.TodayRunCount(2, 5), 2.0f);
    EXPECT_EQ(state.tallies.PassPoints(2, 5), 11 + 6);
    state.run.RunTime = 42;
    EXPECT_EQ(RecordRun(state, clock, file(), 2, wait).status, AppendOutcome::KeptPending);
    EXPECT_EQ(fileBytes(school.pending()).size(), 2 * kRecordSize);

    // The share comes back: the next open sends both runs, in order, once.
    ASSERT_TRUE(QDir().rename(share + QStringLiteral("-away"), share));
    ASSERT_TRUE(TallyResults(state, clock, file()).ok());
    EXPECT_EQ(state.results.RecordCount, 3);
    EXPECT_EQ(state.results.RecTime[2], 41);
    EXPECT_EQ(state.results.RecTime[3], 42);
    EXPECT_EQ(state.tallies.AllRunCount(2, 5), 3);
    EXPECT_EQ(fileBytes(school.pending()), QByteArray());
    ASSERT_TRUE(TallyResults(state, clock, file()).ok());
    EXPECT_EQ(state.results.RecordCount, 3);
    state.run.RunTime = 43;
    EXPECT_EQ(RecordRun(state, clock, file(), 2, wait).status, AppendOutcome::Written);
    EXPECT_EQ(fileBytes(school.results()).size(), 4 * kRecordSize);
}

TEST(AppendRun, AFullDiskIsNamedAndTheRunKeptOnThisPc)
{
    School school;
    AppendWait wait;
    wait.giveUpAfter = 30;
    // A results file that cannot grow by another record: the disk is full for it.
    ASSERT_TRUE(writeFile(school.results(), bytesOf(run(1, 30))));
    AppendOutcome out;
    {
        FileSizeLimit full(kRecordSize);
        out = school.file().appendRun(run(2, 40), wait);
    }
    EXPECT_EQ(out.status, AppendOutcome::KeptPending);
    EXPECT_TRUE(out.message.contains(school.results())) << out.message.toStdString();
    EXPECT_TRUE(out.message.contains(QStringLiteral("ファイルがこれ以上大きくなれません")))
        << out.message.toStdString();
    EXPECT_EQ(fileBytes(school.results()), bytesOf(run(1, 30)));
    EXPECT_EQ(fileBytes(school.pending()), bytesOf(run(2, 40)));
}

TEST(AppendRun, AShortWriteIsAnErrorNamingTheFileAndIsCutBack)
{
    // The file may grow by 20 bytes only: the record's write stops short.
    School school;
    const QByteArray ten = runs(1, 30, 10);
    ASSERT_TRUE(writeFile(school.results(), ten));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(ten.size() + 20);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const int64_t written = ResultsFile(school.results()).append(run(2, 40), &error);
    AppendWait wait;
    wait.giveUpAfter = 30;
    const AppendOutcome out = school.file().appendRun(run(2, 41), wait);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(written, 0);
    EXPECT_TRUE(error.contains(school.results())) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("Success"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("ファイルがこれ以上大きくなれません"))) << error.toStdString();
    EXPECT_EQ(out.status, AppendOutcome::KeptPending);
    EXPECT_EQ(fileBytes(school.results()), ten); // the partial record was cut off again
    EXPECT_EQ(fileBytes(school.pending()), bytesOf(run(2, 41)));
}

TEST(PendingRuns, TwoCopiesStartingTogetherSendEachRecordOnce)
{
    School school;
    const QByteArray kept = runs(7, 100, 40);
    ASSERT_TRUE(writeFile(school.pending(), kept));
    ASSERT_TRUE(writeFile(school.results(), bytesOf(run(1, 30))));
    // Eight copies wait at a gate and then all open the results file at once.
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> copies;
    for (int c = 0; c < 8; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char go;
            ::close(gate[1]);
            if (::read(gate[0], &go, 1) != 0)
                _exit(3);
            ResultsFile file(school.results());
            file.setPendingFile(school.pending());
            ResultsFile::Range range;
            QString error;
            _exit(file.readAll(&range, &error) ? 0 : 2);
        }
        copies.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]); // opens the gate
    for (pid_t pid : copies) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(fileBytes(school.results()), bytesOf(run(1, 30)) + kept);
    EXPECT_EQ(fileBytes(school.pending()), QByteArray());
}

TEST(PendingRuns, RecordsAlreadySentByACopyThatStoppedAreNotSentAgain)
{
    // A copy sent the first two kept runs and stopped before it emptied the pending
    // file; another PC appended after them.
    School school;
    const QByteArray kept = runs(7, 100, 3);
    ASSERT_TRUE(writeFile(school.pending(), kept));
    const QByteArray shared = bytesOf(run(1, 30)) + kept.left(2 * kRecordSize) + bytesOf(run(3, 50));
    ASSERT_TRUE(writeFile(school.results(), shared + QByteArray("torn")));
    EXPECT_EQ(school.file().sendPendingRuns(), 1);
    EXPECT_EQ(fileBytes(school.results()), shared + bytesOf(run(7, 102)));
    EXPECT_EQ(fileBytes(school.pending()), QByteArray());
    EXPECT_EQ(school.file().sendPendingRuns(), 0);
}

TEST(PendingRuns, APendingFileThatIsNoRunsOfThisProgramIsLeftAloneAndNamed)
{
    // What the next start finds under the pending file's name, beside one sound case.
    ResultRecord noLevel = run(7, 40);
    noLevel.ResultRecLevel = 0;
    ResultRecord negative = run(7, 40);
    negative.ResultRecTime = -4;
    const struct {
        const char *what;
        QByteArray bytes;
        const char *said; // in the message; nullptr: sent
    } cases[] = {
        {"two runs", runs(7, 100, 2), nullptr},
        {"a record and a half", runs(7, 100, 1) + QByteArray(22, 'x'), "記録（44バイト）の数になりません"},
        {"a record of no level", bytesOf(run(7, 100)) + bytesOf(noLevel), "2番目の記録"},
        {"a negative time", bytesOf(negative), "このプログラムが書いた成績ではない"},
        {"someone's text", QByteArray(6 * kRecordSize, 'a'), "このプログラムが書いた成績ではない"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        School school;
        ASSERT_TRUE(writeFile(school.pending(), c.bytes));
        ASSERT_TRUE(writeFile(school.results(), bytesOf(run(1, 30))));
        QString error;
        const int64_t sent = school.file().sendPendingRuns(&error);
        const QString problem = school.file().pendingFileProblem();
        if (!c.said) {
            EXPECT_EQ(sent, 2);
            EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
            EXPECT_EQ(fileBytes(school.results()), bytesOf(run(1, 30)) + c.bytes);
            continue;
        }
        EXPECT_EQ(sent, 0);
        EXPECT_EQ(error, problem);
        EXPECT_TRUE(problem.contains(school.pending())) << problem.toStdString();
        EXPECT_TRUE(problem.contains(QString::fromUtf8(c.said))) << problem.toStdString();
        EXPECT_EQ(fileBytes(school.results()), bytesOf(run(1, 30)));
        EXPECT_EQ(fileBytes(school.pending()), c.bytes);
    }
}

TEST(PendingRuns, APendingFileLinkedToAnotherFileIsNeitherReadNorEmptiedNorWritten)
{
    // A user's file of 240 bytes behind a link planted under the pending file's name.
    School school;
    const QString usersFile = school.dir.path() + QStringLiteral("/users.dat");
    const QByteArray users = runs(9, 100, 5) + QByteArray(20, 'u');
    ASSERT_TRUE(writeFile(usersFile, users));
    ASSERT_TRUE(QFile::link(usersFile, school.pending()));
    ASSERT_TRUE(writeFile(school.results(), bytesOf(run(1, 30))));

    ResultsFile::Range range;
    QString error;
    ASSERT_TRUE(school.file().readAll(&range, &error)); // a read sends pending runs first
    EXPECT_EQ(range.recordCount, 1);
    EXPECT_TRUE(school.file().pendingFileProblem().contains(QStringLiteral("リンク")));
    EXPECT_EQ(fileBytes(usersFile), users);

    // A run that must be kept on this PC is not written through the link either.
    ASSERT_TRUE(QFile::remove(school.results()));
    ASSERT_TRUE(QDir().mkpath(school.results())); // the results file cannot be opened
    AppendWait wait;
    wait.giveUpAfter = 0;
    const AppendOutcome out = school.file().appendRun(run(2, 40), wait);
    EXPECT_EQ(out.status, AppendOutcome::Failed);
    EXPECT_TRUE(out.message.contains(school.pending())) << out.message.toStdString();
    EXPECT_EQ(fileBytes(usersFile), users);
}

TEST(ResultsFile, AResultsFileThatIsALinkOrNoPlainFileIsRefusedEverywhereAndTheRunIsKeptOnThisPc)
{
    struct Case {
        const char *what;
        QByteArray outside; // what the link leads to; empty: nothing (the link leads nowhere)
        bool pipe = false; // a pipe at the name instead of a link
    };
    const Case cases[] = {
        {"a link to a user's diary of 41 bytes", QByteArray(41, 'd')},
        {"a link to another school's results", runs(7, 10, 3)},
        {"a link that leads nowhere", {}},
        {"a pipe", {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        School school;
        const QString outside = school.dir.path() + QStringLiteral("/outside.dat");
        if (c.pipe) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(school.results()).constData(), 0666), 0);
        } else {
            if (!c.outside.isEmpty()) {
                ASSERT_TRUE(writeFile(outside, c.outside));
            }
            ASSERT_TRUE(QFile::link(outside, school.results()));
        }
        const ResultsFile file = school.file();
        auto refused = [&](const QString &message) {
            EXPECT_TRUE(message.contains(school.results())) << message.toStdString();
            EXPECT_TRUE(message.contains(QString::fromUtf8(c.pipe ? "ふつうのファイルではありません" : "リンク")))
                << message.toStdString();
        };

        QString error;
        ResultsFile::Range range;
        EXPECT_FALSE(file.readTail(100, &range, &error));
        refused(error);
        error.clear();
        EXPECT_FALSE(file.scan([](int64_t, const char *, int64_t) { return true; }, nullptr, &error));
        refused(error);
        QByteArray one;
        EXPECT_FALSE(file.readRecord(1, &one, &error));
        error.clear();
        EXPECT_EQ(file.append(run(2, 40), &error), 0);
        refused(error);
        const ExpectedRecord first{1, bytesOf(run(7, 10))};
        const RewriteOutcome changed = file.changeRecord(first, run(7, 99));
        EXPECT_EQ(changed.status, RewriteOutcome::Failed);
        refused(changed.message);
        const RewriteOutcome deleted = file.deleteRecord(first, QDateTime(QDate(2024, 2, 7), QTime(9, 0)));
        EXPECT_EQ(deleted.status, RewriteOutcome::Failed);
        refused(deleted.message);

        // The end of a run does not wait for such a name to change: the run is kept.
        AppendWait wait;
        wait.giveUpAfter = 30;
        const AppendOutcome out = file.appendRun(run(2, 41), wait);
        EXPECT_EQ(out.status, AppendOutcome::KeptPending);
        refused(out.message);
        EXPECT_TRUE(school.pauses.empty());
        EXPECT_EQ(fileBytes(school.pending()), bytesOf(run(2, 41)));

        // Nothing written anywhere: the outside file as it was (or still not there), the
        // name as planted, no backup folder.
        if (c.outside.isEmpty())
            EXPECT_FALSE(QFileInfo::exists(outside));
        else
            EXPECT_EQ(fileBytes(outside), c.outside);
        EXPECT_EQ(QFileInfo(school.results()).isSymLink(), !c.pipe);
        EXPECT_FALSE(QFileInfo::exists(file.backupFolder()));
    }
}

TEST(ResultsFile, ADataFolderReachedThroughALinkWorksAsBeforeAndANewResultsFileIsMadeFresh)
{
    // The data folder named through a link (a share mounted elsewhere and linked in).
    School school;
    const QString linked = school.dir.path() + QStringLiteral("/linked");
    ASSERT_TRUE(QFile::link(school.data(), linked));
    ResultsFile file(linked + u'/' + resultsFileName());
    file.setPendingFile(school.pending());

    AppendWait wait;
    wait.giveUpAfter = 30;
    EXPECT_EQ(file.appendRun(run(1, 30), wait).status, AppendOutcome::Written);
    QString error;
    EXPECT_EQ(file.append(run(1, 31), &error), 2) << error.toStdString();
    EXPECT_EQ(file.changeRecord({2, bytesOf(run(1, 31))}, run(1, 32)).status, RewriteOutcome::Done);
    EXPECT_EQ(file.deleteRecord({1, bytesOf(run(1, 30))}, QDateTime(QDate(2024, 2, 7), QTime(9, 0))).status,
              RewriteOutcome::Done);
    ResultsFile::Range range;
    ASSERT_TRUE(file.readAll(&range, &error)) << error.toStdString();
    EXPECT_EQ(range.bytes, bytesOf(run(1, 32)));
    EXPECT_FALSE(QFileInfo(school.results()).isSymLink());
    EXPECT_EQ(fileBytes(school.results()), bytesOf(run(1, 32)));
}
