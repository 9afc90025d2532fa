// "repair": damaged records and a torn tail out, every sound record kept byte for byte.
#include "datatool/DataRepair.h"
#include "datatool/DataToolFixture.h"
#include "results/CorrectionLog.h"
#include "results/ResultsFile.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <sys/wait.h>
#include <unistd.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Sound records of every kind, with damaged ones among them.
struct Mixed {
    std::vector<ResultRecord> all;
    QByteArray sound; // the sound records' bytes, in order
    std::vector<int64_t> damaged; // record numbers of the damaged ones
    Mixed()
    {
        auto damage = [](ResultRecord r) { return r; };
        ResultRecord nanDate = run.on(QDate(2024, 2, 1))(3, 2, 40);
        nanDate.ResultRecDate = std::numeric_limits<double>::quiet_NaN();
        ResultRecord farDate = run.on(QDate(2024, 2, 1))(3, 2, 40);
        farDate.ResultRecDate = 1e300;
        ResultRecord deleted = run.on(QDate(2024, 2, 1))(1, 0, 30);
        ResultRecord reserved = run.on(QDate(2024, 2, 2))(2, 1, 33);
        reserved.Reserved3 = QByteArray("\x01\x02\x03\x04\x05", 5); // odd bytes kept as they are
        const std::vector<std::pair<ResultRecord, bool>> records{
            {run.on(QDate(2024, 2, 1))(1, 1, 25), false},
            {damage(run.on(QDate(2024, 2, 1))(1, 40, 25)), true},
            {run.on(QDate(2024, 2, 7))(2, 3, 99999), false},
            {run.on(QDate(2024, 2, 3))(77, 1, 30), false}, // not in the roster
            {run.on(QDate(2024, 2, 3)).ofSchool(QStringLiteral("55555"))(1, 1, 30), false}, // another school
            {damage(run.on(QDate(2024, 2, 3))(6000, 1, 30)), true},
            {nanDate, true},
            {deleted, false},
            {reserved, false},
            {damage(run.on(QDate(2024, 2, 3))(1, -1, 30)), true},
            {farDate, true},
            {run.on(QDate(2024, 2, 6))(6, 6, 200), false},
        };
        for (const auto &[r, bad] : records) {
            all.push_back(r);
            if (bad)
                damaged.push_back(static_cast<int64_t>(all.size()));
            else
                sound += recordsBytes({r});
        }
    }
};

} // namespace

TEST(Repair, KeepsEverySoundRecordAndRemovesExactlyTheDamagedOnesAndTheTornTail)
{
    School school;
    const Mixed mixed;
    const QByteArray original = recordsBytes(mixed.all) + QByteArray("\x10\x20\x30\x40\x50\x60\x70", 7);
    writeFile(school.resultsPath(), original);
    school.clock.seconds = 9 * 3600 + 8 * 60 + 7;

    // Asked first: "no" and no answer at all change nothing.
    for (const QStringList &answers : {QStringList{QStringLiteral("いいえ")}, QStringList{}}) {
        const auto o = school.tool({QStringLiteral("repair")}, answers);
        EXPECT_EQ(o.status, ToolProblems);
        EXPECT_TRUE(o.all().contains(QStringLiteral("壊れた記録 5件")));
        EXPECT_TRUE(o.all().contains(QStringLiteral("最後の途中で切れた記録（7バイト）")));
        EXPECT_TRUE(o.all().contains(QStringLiteral("何も変えていません")));
        EXPECT_EQ(bytesOf(school.resultsPath()), original);
    }

    const auto o = school.tool({QStringLiteral("repair")}, {QStringLiteral("はい")});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(
        o.all().contains(QStringLiteral("記録 12件 → 7件（壊れた記録 5件と途中で切れた末尾 7バイトを取り除きました）")))
        << o.all().toStdString();
    EXPECT_EQ(bytesOf(school.resultsPath()), mixed.sound);

    // The previous file, byte for byte, in the backup folder.
    const QString backup = school.dataFolder() + QStringLiteral("バックアップ/成績累積データ_20240207_090807.dat");
    EXPECT_EQ(bytesOf(backup), original);

    // One log line per record taken out, with its number and fields, and one for the tail.
    const QStringList log = fromCp932(bytesOf(school.dataFolder() + correctionLogFileName()))
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), static_cast<qsizetype>(mixed.damaged.size()) + 1);
    for (size_t i = 0; i < mixed.damaged.size(); ++i) {
        EXPECT_TRUE(log[static_cast<qsizetype>(i)].startsWith(QStringLiteral("2024/02/07 09:08:07,")));
        EXPECT_TRUE(log[static_cast<qsizetype>(i)].contains(
            QStringLiteral(",修復（壊れた記録を消去）,記録%1,変更前 ").arg(mixed.damaged[i])))
            << log[static_cast<qsizetype>(i)].toStdString();
        EXPECT_TRUE(log[static_cast<qsizetype>(i)].endsWith(QStringLiteral(",変更後 なし")));
    }
    EXPECT_TRUE(log[1].contains(QStringLiteral("生徒番号=6000")));
    EXPECT_TRUE(log.last().contains(QStringLiteral("修復（途中で切れた末尾 7バイトを消去）,記録13")));

    // Run again: nothing left to do, nothing written.
    const auto again = school.tool({QStringLiteral("repair"), QStringLiteral("--yes")});
    EXPECT_EQ(again.status, ToolOk);
    EXPECT_TRUE(again.all().contains(QStringLiteral("直すところはありません（記録 7件）")));
    EXPECT_EQ(QDir(school.dataFolder() + QStringLiteral("バックアップ")).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(bytesOf(school.dataFolder() + correctionLogFileName()).count("\r\n"), log.size());
}

TEST(Repair, RunsAppendedByAnotherProcessMeanwhileAreKept)
{
    School school;
    const Mixed mixed;
    std::vector<ResultRecord> many;
    for (int i = 0; i < 400; ++i)
        many.push_back(mixed.all[static_cast<size_t>(i) % mixed.all.size()]);
    school.writeResults(many);
    QByteArray soundBefore;
    for (const ResultRecord &r : many)
        if (!isDamagedRecord(ResultRecord::decodeNumbers(recordsBytes({r}).constData())))
            soundBefore += recordsBytes({r});

    constexpr int kAppends = 150;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ResultsFile file(school.resultsPath());
        for (int i = 0; i < kAppends; ++i) {
            QString err;
            if (file.append(run.on(QDate(2024, 2, 7))(1, 1, 1000 + i), &err) == 0)
                _exit(2);
        }
        _exit(0);
    }
    const auto o = school.tool({QStringLiteral("repair"), QStringLiteral("--yes")});
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // The sound records first, in order; every appended run after them, once each and in
    // the order appended.
    const QByteArray after = school.resultsBytes();
    ASSERT_TRUE(after.startsWith(soundBefore));
    const QByteArray appended = after.mid(soundBefore.size());
    ASSERT_EQ(appended.size(), kAppends * kRecordSize);
    for (int i = 0; i < kAppends; ++i)
        EXPECT_EQ(ResultRecord::decodeNumbers(appended.constData() + i * kRecordSize).time, 1000 + i);
}

TEST(Repair, ARefusedReplacementLeavesTheFileAsItWasAndLogsThatItWasNotMade)
{
    School school;
    const Mixed mixed;
    school.writeResults(mixed.all);
    const QByteArray original = school.resultsBytes();
    // A share that keeps the file open refuses the rename.
    ResultsFile results(school.resultsPath());
    results.setReplaceFunction([](const QByteArray &, const QByteArray &, int *err) {
        *err = EBUSY;
        return false;
    });
    const RepairResult r = repairResults(results, school.dataFolder(), QDateTime(QDate(2024, 2, 7), QTime(9, 0)));
    EXPECT_FALSE(r.outcome.ok());
    EXPECT_TRUE(r.outcome.message.contains(school.resultsPath())) << r.outcome.message.toStdString();
    EXPECT_EQ(school.resultsBytes(), original);
    // Each removal was logged before the rename, then once more as not made.
    const QStringList lines = fromCp932(bytesOf(school.dataFolder() + correctionLogFileName()))
                                  .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2 * static_cast<qsizetype>(mixed.damaged.size()));
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].contains(QStringLiteral("行われていません")), i >= lines.size() / 2)
            << lines[i].toStdString();
}

TEST(Repair, RefusedOnAFullDiskOrALinkedLogLeavesEveryFileAsItWas)
{
    // A disk too full for the new file: refused before anything is logged, and no log
    // is made for it.
    {
        School school;
        const Mixed mixed;
        school.writeResults(mixed.all);
        const QByteArray original = school.resultsBytes();
        RepairResult r;
        {
            FileSizeLimit full(100);
            r = repairResults(ResultsFile(school.resultsPath()), school.dataFolder(),
                              QDateTime(QDate(2024, 2, 7), QTime(9, 0)));
        }
        EXPECT_FALSE(r.outcome.ok());
        EXPECT_EQ(school.resultsBytes(), original);
        EXPECT_FALSE(QFileInfo::exists(school.dataFolder() + correctionLogFileName()));
    }
    // The log planted as a link to a file elsewhere: the link is not followed, so the
    // lines cannot be kept and the repair is not made; the file it points at is untouched.
    {
        School school;
        const Mixed mixed;
        school.writeResults(mixed.all);
        const QByteArray original = school.resultsBytes();
        const QString outside = school.root() + QStringLiteral("/someones.txt");
        writeFile(outside, "private\n");
        ASSERT_TRUE(QFile::link(outside, school.dataFolder() + correctionLogFileName()));
        const RepairResult r = repairResults(ResultsFile(school.resultsPath()), school.dataFolder(),
                                             QDateTime(QDate(2024, 2, 7), QTime(9, 0)));
        EXPECT_FALSE(r.outcome.ok());
        EXPECT_TRUE(r.outcome.message.contains(QStringLiteral("リンク"))) << r.outcome.message.toStdString();
        EXPECT_EQ(school.resultsBytes(), original);
        EXPECT_EQ(bytesOf(outside), QByteArray("private\n"));
        // Nothing made for the refused repair: not even the backup folder.
        EXPECT_FALSE(QFileInfo::exists(school.dataFolder() + backupFolderName()));

        // A backup folder that was there before the refused repair stays, with what it holds.
        const QString earlier =
            school.dataFolder() + backupFolderName() + QStringLiteral("/成績累積データ_20240101_080000.dat");
        ASSERT_TRUE(QDir().mkpath(school.dataFolder() + backupFolderName()));
        ASSERT_TRUE(writeFile(earlier, original));
        EXPECT_FALSE(repairResults(ResultsFile(school.resultsPath()), school.dataFolder(),
                                   QDateTime(QDate(2024, 2, 7), QTime(9, 5)))
                         .outcome.ok());
        EXPECT_EQ(QDir(school.dataFolder() + backupFolderName()).entryList(QDir::Files),
                  QStringList{QFileInfo(earlier).fileName()});
        EXPECT_EQ(school.resultsBytes(), original);
    }
}
