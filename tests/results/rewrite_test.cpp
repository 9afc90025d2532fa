// Teachers' corrections of the results file: a change in place, a rewrite that drops
// records, the backups and the correction log, and what happens when other PCs append,
// change and delete at the same time.
#include "results/CorrectionLog.h"
#include "results/ResultsFile.h"
#include "support/TestSupport.h"
#include "text/SystemError.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <set>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const TestRun rec = TestRun{}.at(0.25).ofSchool(QStringLiteral("01234"));

struct Folder {
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/成績累積データ.dat");
    ResultsFile file{path};
    QDateTime now{QDate(2024, 2, 7), QTime(10, 15, 30)};

    void write(const QByteArray &bytes) { ASSERT_TRUE(writeFile(path, bytes)); }
    ExpectedRecord expected(int64_t n) const { return {n, readFileBytes(path).mid((n - 1) * 44, 44)}; }
    QStringList entries(const QString &sub = {}) const
    {
        return QDir(dir.path() + sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
};

// Three records whose every field differs, with unusual bytes in the reserved fields
// so that a rewrite that re-encodes instead of copying would show.
std::vector<ResultRecord> threeRecords()
{
    std::vector<ResultRecord> r{rec.on(45001)(11, 1, 30), rec.on(45002)(12, 2, 40), rec.on(45003)(13, 3, 50)};
    r[1].Reserved3 = QByteArray("\x01\x02\x03\x04\x05", 5);
    r[2].ResultRecSchool = QByteArray("\x89\xa9 ab", 5);
    return r;
}

} // namespace

TEST(ResultsRewrite, ChangeWritesOnlyTheOneRecordAndKeepsEveryOtherByte)
{
    Folder f;
    const std::vector<ResultRecord> records = threeRecords();
    f.write(recordBytes(records) + QByteArray("torn", 4));
    const QByteArray before = readFileBytes(f.path);

    ResultRecord changed = ResultRecord::decode(before.constData() + 44);
    changed.ResultRecTime = 41;
    changed.ResultRecStudentNo = 77;
    const RewriteOutcome out = f.file.changeRecord(f.expected(2), changed);
    ASSERT_TRUE(out.ok()) << out.message.toStdString();

    QByteArray want = before;
    want.replace(44 + 16, 2, QByteArray("\x4d\x00", 2)); // student 77
    want.replace(44 + 20, 4, QByteArray("\x29\x00\x00\x00", 4)); // time 41
    EXPECT_EQ(readFileBytes(f.path), want);
    EXPECT_EQ(f.entries(), QStringList{QStringLiteral("成績累積データ.dat")}); // no backup for a change
}

TEST(ResultsRewrite, RecordChangedBehindTheTeachersBackIsNotOverwritten)
{
    Folder f;
    f.write(recordBytes(threeRecords()));
    const ExpectedRecord opened = f.expected(2);
    ResultRecord mine = ResultRecord::decode(opened.bytes.constData());
    mine.ResultRecTime = 1;

    // Meanwhile another PC deleted record 1: record 2 now holds what was record 3.
    std::vector<ResultRecord> after = threeRecords();
    after.erase(after.begin());
    f.write(recordBytes(after));
    const QByteArray onDisk = readFileBytes(f.path);

    RewriteOutcome out = f.file.changeRecord(opened, mine);
    EXPECT_EQ(out.status, RewriteOutcome::RecordChanged);
    EXPECT_TRUE(out.message.contains(f.path));
    EXPECT_EQ(readFileBytes(f.path), onDisk);

    // The same for a deletion, and for a record that is no longer there at all.
    out = f.file.deleteRecord(opened, f.now);
    EXPECT_EQ(out.status, RewriteOutcome::RecordChanged);
    EXPECT_EQ(readFileBytes(f.path), onDisk);
    out = f.file.deleteRecord({3, opened.bytes}, f.now);
    EXPECT_EQ(out.status, RewriteOutcome::RecordChanged);
    EXPECT_EQ(readFileBytes(f.path), onDisk);
    EXPECT_EQ(f.entries(), QStringList{QStringLiteral("成績累積データ.dat")});
}

TEST(ResultsRewrite, DeletingFirstMiddleAndLastRecordKeepsTheOthersInOrderWithABackup)
{
    const std::vector<ResultRecord> records = threeRecords();
    for (int gone = 1; gone <= 3; ++gone) {
        Folder f;
        f.write(recordBytes(records));
        const QByteArray before = readFileBytes(f.path);
        std::vector<std::pair<int64_t, int64_t>> progress;
        const RewriteOutcome out = f.file.deleteRecord(
            f.expected(gone), f.now, [&](int64_t done, int64_t total) { progress.emplace_back(done, total); });
        ASSERT_TRUE(out.ok()) << out.message.toStdString();
        QByteArray want = before;
        want.remove((gone - 1) * 44, 44);
        EXPECT_EQ(readFileBytes(f.path), want) << "deleting record " << gone;
        EXPECT_EQ(out.recordsBefore, 3);
        EXPECT_EQ(out.recordsAfter, 2);
        EXPECT_EQ(progress.back(), std::make_pair(int64_t(3), int64_t(3)));

        const QString backup = f.dir.path() + QStringLiteral("/バックアップ/成績累積データ_20240207_101530.dat");
        EXPECT_EQ(out.backupPath, backup);
        EXPECT_EQ(readFileBytes(backup), before);
        // Only the results file and the backup folder: no temporary file left behind.
        EXPECT_EQ(f.entries(), (QStringList{QStringLiteral("バックアップ"), QStringLiteral("成績累積データ.dat")}));
    }
}

TEST(ResultsRewrite, RefusedRenameLeavesTheOriginalByteIdentical)
{
    Folder f;
    f.write(recordBytes(threeRecords()) + QByteArray("xy", 2));
    const QByteArray before = readFileBytes(f.path);
    f.file.setReplaceFunction([](const QByteArray &, const QByteArray &, int *err) {
        *err = EBUSY; // a share where another PC holds the file open
        return false;
    });
    const RewriteOutcome out = f.file.deleteRecord(f.expected(2), f.now);
    EXPECT_EQ(out.status, RewriteOutcome::Failed);
    EXPECT_TRUE(out.message.contains(f.path)) << out.message.toStdString();
    EXPECT_TRUE(out.message.contains(QStringLiteral("元のファイルはそのままです")));
    EXPECT_EQ(readFileBytes(f.path), before);
    // Nothing made for the refused deletion: neither a backup nor the folder for it.
    EXPECT_EQ(f.entries(), (QStringList{QStringLiteral("成績累積データ.dat")}));
}

TEST(ResultsRewrite, ABackupFolderPlantedAsALinkIsNotWrittenThroughAndNothingChanges)
{
    // The backup folder's name a link to a folder elsewhere holding a file of a backup's name.
    Folder f;
    f.write(recordBytes(threeRecords()));
    const QByteArray before = readFileBytes(f.path);
    QTemporaryDir elsewhere;
    const QString theirs = elsewhere.path() + QStringLiteral("/成績累積データ_20000101_000000.dat");
    ASSERT_TRUE(writeFile(theirs, "theirs"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), f.dir.path() + QStringLiteral("/バックアップ")));

    const RewriteOutcome deleted = f.file.deleteRecord(f.expected(2), f.now);
    EXPECT_EQ(deleted.status, RewriteOutcome::Failed);
    EXPECT_TRUE(deleted.message.contains(QStringLiteral("リンク"))) << deleted.message.toStdString();
    EXPECT_EQ(readFileBytes(f.path), before);
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{QFileInfo(theirs).fileName()});
    EXPECT_EQ(readFileBytes(theirs), QByteArray("theirs"));
    // A change in place needs no backup and still goes through.
    EXPECT_EQ(f.file.changeRecord(f.expected(2), rec(12, 2, 41)).status, RewriteOutcome::Done);
    EXPECT_EQ(readFileBytes(theirs), QByteArray("theirs"));
}

TEST(ResultsRewrite, KeepOrDropLeavesOutATornTail)
{
    Folder f;
    std::vector<ResultRecord> records;
    for (int i = 1; i <= 20000; ++i)
        records.push_back(rec(i % 5000, 1 + i % 6, i));
    f.write(recordBytes(records) + QByteArray(30, 'z'));
    ResultsFile::RewriteOptions options;
    options.now = f.now;
    int64_t calls = 0;
    options.progress = [&](int64_t, int64_t) { ++calls; };
    // Drop every record whose time is a multiple of 7.
    const RewriteOutcome out = f.file.rewrite(
        [](int64_t n, const char *bytes) { return ResultRecord::decodeNumbers(bytes).time % 7 != 0 && n > 0; },
        options);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(out.tornBytes, 30);
    EXPECT_EQ(out.recordsBefore, 20000);
    std::vector<ResultRecord> kept;
    for (const ResultRecord &r : records)
        if (r.ResultRecTime % 7 != 0)
            kept.push_back(r);
    EXPECT_EQ(out.recordsAfter, static_cast<int64_t>(kept.size()));
    EXPECT_EQ(readFileBytes(f.path), recordBytes(kept));
    EXPECT_GT(calls, 1); // progress while it works, not only at the end
}

TEST(ResultsRewrite, NewestTenBackupsAreKept)
{
    Folder f;
    std::vector<ResultRecord> records;
    for (int i = 1; i <= 14; ++i)
        records.push_back(rec(i, 1, i));
    f.write(recordBytes(records));
    // Twelve deletions a minute apart, then two more in the very same second.
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(f.file.deleteRecord(f.expected(1), f.now.addSecs(60 * i)).ok());
    const QDateTime last = f.now.addSecs(3600);
    ASSERT_TRUE(f.file.deleteRecord(f.expected(1), last).ok());
    ASSERT_TRUE(f.file.deleteRecord(f.expected(1), last).ok());
    writeFile(f.file.backupFolder() + QStringLiteral("/先生のメモ.txt"), "keep me");

    ResultsFile::pruneBackups(f.file.backupFolder());
    const QStringList kept = f.entries(QStringLiteral("/バックアップ"));
    ASSERT_EQ(kept.size(), 11);
    EXPECT_TRUE(kept.contains(QStringLiteral("先生のメモ.txt")));
    EXPECT_FALSE(kept.contains(QStringLiteral("成績累積データ_20240207_101530.dat"))); // the oldest went
    EXPECT_FALSE(kept.contains(QStringLiteral("成績累積データ_20240207_101830.dat")));
    EXPECT_TRUE(kept.contains(QStringLiteral("成績累積データ_20240207_101930.dat")));
    EXPECT_TRUE(kept.contains(QStringLiteral("成績累積データ_20240207_111530.dat")));
    EXPECT_TRUE(kept.contains(QStringLiteral("成績累積データ_20240207_111530_2.dat")));
    // The second backup of that second holds the file as the last deletion found it.
    EXPECT_EQ(readFileBytes(f.file.backupFolder() + QStringLiteral("/成績累積データ_20240207_111530_2.dat")),
              recordBytes(std::vector<ResultRecord>(records.begin() + 13, records.end())));
}

// The results manager leaves the oldest backup's removal until its list is painted
// again: the deletion itself then keeps every backup, and the removal, when it comes,
// keeps the newest ten with the one just made among them.
TEST(ResultsRewrite, ADeletionThatLeavesThePruningForLaterKeepsEveryBackupUntilThen)
{
    Folder f;
    std::vector<ResultRecord> records;
    for (int i = 1; i <= 12; ++i)
        records.push_back(rec(i, 1, i));
    f.write(recordBytes(records));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(f.file.deleteRecord(f.expected(1), f.now.addSecs(60 * i)).ok());
    const RewriteOutcome later = f.file.deleteRecord(f.expected(1), f.now.addSecs(3600), {}, {}, false);
    ASSERT_TRUE(later.ok());
    EXPECT_EQ(readFileBytes(f.path), recordBytes(std::vector<ResultRecord>(records.begin() + 11, records.end())));
    ASSERT_EQ(f.entries(QStringLiteral("/バックアップ")).size(), 11);

    ResultsFile::pruneBackups(f.file.backupFolder(), kBackupsKept, QFileInfo(later.backupPath).fileName());
    const QStringList kept = f.entries(QStringLiteral("/バックアップ"));
    ASSERT_EQ(kept.size(), 10);
    EXPECT_TRUE(kept.contains(QFileInfo(later.backupPath).fileName()));
    EXPECT_FALSE(kept.contains(QStringLiteral("成績累積データ_20240207_101530.dat"))); // the oldest went
}

TEST(ResultsRewrite, BackupJustMadeOutlivesBackupsOfAClockRunningAhead)
{
    // Another PC whose clock is years ahead made the ten newest backups by name.
    Folder f;
    f.write(recordBytes(threeRecords()));
    ASSERT_TRUE(QDir().mkpath(f.file.backupFolder()));
    for (int i = 0; i < kBackupsKept; ++i)
        ASSERT_TRUE(writeFile(f.file.backupFolder() + u'/' +
                                  ResultsFile::backupFileName(QDateTime(QDate(2031, 1, 1), QTime(8, i))),
                              "ahead"));
    const QByteArray before = readFileBytes(f.path);
    const RewriteOutcome out = f.file.deleteRecord(f.expected(2), f.now);
    ASSERT_TRUE(out.ok()) << out.message.toStdString();
    EXPECT_EQ(readFileBytes(out.backupPath), before);
    EXPECT_EQ(f.entries(QStringLiteral("/バックアップ")).size(), kBackupsKept);
}

TEST(ResultsRewrite, DeletionStoppedAtItsRenameLeavesNothingThatLaterCorrectionsReach)
{
    Folder f;
    f.write(recordBytes(threeRecords()));
    // The program dies at the rename (killed, or the PC switched off): its temporary
    // file and its backup, a second name of the live file, stay behind.
    auto dieAtRename = [&] {
        const QByteArray before = readFileBytes(f.path);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ResultsFile file(f.path);
            file.setReplaceFunction([](const QByteArray &, const QByteArray &, int *) -> bool { _exit(0); });
            file.deleteRecord(f.expected(2), f.now.addSecs(-3600));
            _exit(1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(readFileBytes(f.path), before);
        ASSERT_EQ(f.entries().size(), 3) << f.entries().join(u' ').toStdString();
    };
    const QStringList cleanFolder{QStringLiteral("バックアップ"), QStringLiteral("成績累積データ.dat")};

    // A change afterwards must not change a "backup" along with the file.
    dieAtRename();
    ResultRecord changed = threeRecords()[0];
    changed.ResultRecTime = 31;
    ASSERT_TRUE(f.file.changeRecord(f.expected(1), changed).ok());
    EXPECT_EQ(f.entries(), cleanFolder);
    EXPECT_TRUE(f.entries(QStringLiteral("/バックアップ")).isEmpty());

    // A deletion afterwards keeps its own backup and only that.
    dieAtRename();
    const QByteArray before = readFileBytes(f.path);
    const RewriteOutcome out = f.file.deleteRecord(f.expected(3), f.now);
    ASSERT_TRUE(out.ok()) << out.message.toStdString();
    EXPECT_EQ(f.entries(), cleanFolder);
    EXPECT_EQ(f.entries(QStringLiteral("/バックアップ")), QStringList{QFileInfo(out.backupPath).fileName()});
    EXPECT_EQ(readFileBytes(out.backupPath), before);
    EXPECT_EQ(readFileBytes(f.path), before.left(88));
}

TEST(ResultsRewrite, BackupCopiedWhereTheFileSystemHasNoSecondNamesAndCopiesCutShortRemoved)
{
    // The backup folder a mount point of another file system, as on a share without hard
    // links: the backup is a copy. A killed deletion left a copy cut short. Played in a
    // mount namespace of a child process of its own.
    Folder f;
    f.write(recordBytes(threeRecords()));
    const QByteArray before = readFileBytes(f.path);
    ASSERT_TRUE(QDir().mkpath(f.file.backupFolder()));
    const int status = inOwnMountNamespace([&] {
        const QByteArray folder = QFile::encodeName(f.file.backupFolder());
        struct stat here {
        }, there{};
        if (::mount("tmpfs", folder.constData(), "tmpfs", 0, nullptr) != 0 ||
            ::stat(QFile::encodeName(f.dir.path()).constData(), &here) != 0 ||
            ::stat(folder.constData(), &there) != 0 || here.st_dev == there.st_dev ||
            !writeFile(f.file.backupFolder() + QStringLiteral("/成績累積データ_20240207_090000.dat.tmp"), "half"))
            return kNoMountNamespace;
        const RewriteOutcome out = f.file.deleteRecord(f.expected(2), f.now);
        if (!out.ok())
            return 1;
        if (readFileBytes(out.backupPath) != before)
            return 2;
        if (QDir(f.file.backupFolder()).entryList(QDir::Files) !=
            QStringList{QStringLiteral("成績累積データ_20240207_101530.dat")})
            return 3;
        return 0;
    });
    if (status < 0)
        GTEST_SKIP() << "no mount namespace for a second file system here";
    EXPECT_EQ(status, 0) << "1: the deletion failed, 2: the backup differs, 3: other files in the folder";
}

TEST(ResultsRewrite, AppendThatWaitedForARewriteWritesIntoTheNewFile)
{
    Folder f;
    f.write(recordBytes(threeRecords()));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Holds the lock on the file, lets the parent start its append, then replaces
        // the file by rename as a deletion does and lets go of the lock.
        const int fd = ::open(QFile::encodeName(f.path).constData(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        if (fd < 0 || fcntl(fd, F_SETLKW, &lock) != 0)
            _exit(2);
        if (write(ready[1], "x", 1) != 1)
            _exit(3);
        usleep(300 * 1000);
        const QByteArray replacement = recordBytes(std::vector<ResultRecord>{rec(99, 6, 99)});
        const QString temp = f.path + QStringLiteral(".new");
        if (!writeFile(temp, replacement) ||
            ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(f.path).constData()) != 0)
            _exit(4);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    QString error;
    EXPECT_EQ(f.file.append(rec(55, 5, 55), &error), 2) << error.toStdString();
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFileBytes(f.path), recordBytes(std::vector<ResultRecord>{rec(99, 6, 99), rec(55, 5, 55)}));
}

TEST(ResultsRewrite, AppendsChangesAndDeletionsFromSeveralProcessesLoseNothing)
{
    Folder f;
    // Seed records carry their marker in the time field (100000 + i); appended records
    // carry writer * 1000 + i.
    constexpr int kSeeds = 120, kWriters = 3, kEach = 120;
    std::vector<ResultRecord> seeds;
    for (int i = 0; i < kSeeds; ++i)
        seeds.push_back(rec(1, 1, 100000 + i));
    f.write(recordBytes(seeds));

    // Seeds with i % 4 == 0 or 1 are deleted (one process each), i % 4 == 2 are
    // changed to student 4999, the rest stay as they are.
    auto finds = [&](const ResultsFile &file, int32_t marker, ExpectedRecord *out) {
        ResultsFile::Range range;
        QString err;
        if (!file.readAll(&range, &err))
            _exit(5);
        for (int64_t k = 0; k * 44 < range.bytes.size(); ++k)
            if (ResultRecord::decodeNumbers(range.bytes.constData() + k * 44).time == marker) {
                *out = {k + 1, range.bytes.mid(k * 44, 44)};
                return true;
            }
        return false;
    };
    std::vector<pid_t> children;
    auto spawn = [&](const std::function<void()> &work) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            work();
            _exit(0);
        }
        children.push_back(pid);
    };
    for (int w = 1; w <= kWriters; ++w)
        spawn([&, w] {
            ResultsFile file(f.path);
            for (int i = 0; i < kEach; ++i) {
                QString err;
                if (file.append(rec(w, 2, w * 1000 + i), &err) == 0)
                    _exit(2);
            }
        });
    for (int kind = 0; kind < 3; ++kind)
        spawn([&, kind] {
            ResultsFile file(f.path);
            for (int i = kind; i < kSeeds; i += 4) {
                for (;;) {
                    ExpectedRecord e;
                    if (!finds(file, 100000 + i, &e))
                        _exit(6);
                    RewriteOutcome out;
                    if (kind < 2) {
                        out = file.deleteRecord(e, QDateTime::currentDateTime());
                    } else {
                        ResultRecord r = ResultRecord::decode(e.bytes.constData());
                        r.ResultRecStudentNo = 4999;
                        out = file.changeRecord(e, r);
                    }
                    if (out.status == RewriteOutcome::Done)
                        break;
                    if (out.status == RewriteOutcome::Failed)
                        _exit(7);
                    // RecordChanged: the record moved; find it again.
                }
            }
        });
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }

    const QByteArray bytes = readFileBytes(f.path);
    ASSERT_EQ(bytes.size() % 44, 0);
    std::map<int32_t, int> seen;
    for (qsizetype k = 0; k < bytes.size(); k += 44) {
        const ResultRecord r = ResultRecord::decode(bytes.constData() + k);
        ++seen[r.ResultRecTime];
        if (r.ResultRecTime >= 100000) {
            const int i = r.ResultRecTime - 100000;
            EXPECT_GE(i % 4, 2) << "deleted seed " << i << " is still there";
            EXPECT_EQ(r.ResultRecStudentNo, i % 4 == 2 ? 4999 : 1);
        } else {
            EXPECT_EQ(r, rec(r.ResultRecTime / 1000, 2, r.ResultRecTime));
        }
    }
    for (int w = 1; w <= kWriters; ++w)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(seen[w * 1000 + i], 1) << "appended record " << w * 1000 + i;
    for (int i = 0; i < kSeeds; ++i)
        EXPECT_EQ(seen[100000 + i], i % 4 >= 2 ? 1 : 0) << "seed " << i;
    EXPECT_EQ(bytes.size(), (kWriters * kEach + kSeeds / 2) * 44);
    EXPECT_LE(f.entries(QStringLiteral("/バックアップ")).size(), kBackupsKept);
    EXPECT_EQ(f.entries().size(), 2); // no temporary file left
}

TEST(CorrectionLog, OneCp932LinePerActionWithTheFieldsBeforeAndAfter)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    ResultRecord before = rec(12, 3, 45);
    before.ResultRecClock = (9 * 3600 + 5 * 60 + 3) / 86400.0;
    ResultRecord after = before;
    after.ResultRecTime = 40;
    const QDateTime when(QDate(2024, 2, 7), QTime(10, 15, 30));
    ASSERT_EQ(appendCorrections(folder, {{when, QStringLiteral("PC-3"), QStringLiteral("変更"), 12, before, after}}),
              QString());
    ASSERT_EQ(appendCorrections(folder, {{when, QStringLiteral("PC,4"), QStringLiteral("消去"), 7, before, {}}}),
              QString());
    const QByteArray bytes = readFileBytes(folder + QStringLiteral("成績訂正記録.txt"));
    EXPECT_EQ(fromCp932(bytes),
              QStringLiteral("2024/02/07 10:15:30,PC-3,変更,記録12,"
                             "変更前 日付=2023/03/15 時刻=9:05:03 生徒番号=12 レベル=3 タイム=45 学校=01234,"
                             "変更後 日付=2023/03/15 時刻=9:05:03 生徒番号=12 レベル=3 タイム=40 学校=01234\r\n"
                             "2024/02/07 10:15:30,PC 4,消去,記録7,"
                             "変更前 日付=2023/03/15 時刻=9:05:03 生徒番号=12 レベル=3 タイム=45 学校=01234,"
                             "変更後 なし\r\n"));

    // A damaged record's school field with a line end, a comma and a zero byte: still
    // one line of six fields, the bytes readable.
    ResultRecord damaged = before;
    damaged.ResultRecSchool = QByteArray("\r\n,\0A", 5);
    ASSERT_EQ(appendCorrections(folder, {{when, QStringLiteral("PC-3"), QStringLiteral("消去"), 9, damaged, {}}}),
              QString());
    const QString last =
        fromCp932(readFileBytes(folder + QStringLiteral("成績訂正記録.txt"))).split(QStringLiteral("\r\n"))[2];
    EXPECT_EQ(last, QStringLiteral(
                        "2024/02/07 10:15:30,PC-3,消去,記録9,"
                        "変更前 日付=2023/03/15 時刻=9:05:03 生徒番号=12 レベル=3 タイム=45 学校=\\x0D\\x0A\\x2C\\x00A,"
                        "変更後 なし"));

    const QString error = appendCorrections(dir.path() + QStringLiteral("/なし/"),
                                            {{when, QStringLiteral("PC-3"), QStringLiteral("消去"), 1, before, {}}});
    EXPECT_TRUE(error.contains(QStringLiteral("成績訂正記録.txt"))) << error.toStdString();
    EXPECT_TRUE(error.contains(systemErrorText(ENOENT))) << error.toStdString(); // the program's own words
}
