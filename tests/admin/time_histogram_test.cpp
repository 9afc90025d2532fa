#include "admin/TimeHistogram.h"
#include "results/ResultsFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct Run {
    int level, student, time;
};

QByteArray records(std::initializer_list<Run> runs)
{
    QByteArray bytes;
    for (const Run &r : runs) {
        ResultRecord rec;
        rec.ResultRecDate = 45000;
        rec.ResultRecLevel = static_cast<int16_t>(r.level);
        rec.ResultRecStudentNo = static_cast<int16_t>(r.student);
        rec.ResultRecTime = r.time;
        const auto b = rec.encode();
        bytes.append(b.data(), b.size());
    }
    return bytes;
}

// The line of bucket i: lower bound right-aligned in 4, "～", the stars.
QString bucketLine(int i, int stars) { return QStringLiteral("%1～").arg(i * 10, 4) + QString(stars, u'★'); }

} // namespace

TEST(TimeHistogram, AllResultsAndBestTimesOfALevel)
{
    TimeHistogram h;
    // One student ran level 2 in 57, 63 and 64 s, another in 120 s; level 1 is elsewhere.
    h.build(records({{2, 1, 57}, {2, 1, 63}, {2, 1, 64}, {2, 2, 120}, {1, 1, 30}}));
    const QStringList all = h.allResultsLines(2);
    ASSERT_EQ(all.size(), 102);
    EXPECT_EQ(all[0], QStringLiteral("レベル2 今まで4回  （★=1）"));
    EXPECT_EQ(all[1 + 0], QStringLiteral("   0～"));
    EXPECT_EQ(all[1 + 5], bucketLine(5, 1));
    EXPECT_EQ(all[1 + 6], bucketLine(6, 2));
    EXPECT_EQ(all[1 + 12], bucketLine(12, 1));
    EXPECT_EQ(all[1 + 100], QStringLiteral("1000～"));
    const QStringList best = h.bestTimeLines(2);
    ASSERT_EQ(best.size(), 102);
    EXPECT_EQ(best[0], QStringLiteral("レベル2 （★=1）"));
    EXPECT_EQ(best[1 + 5], bucketLine(5, 1));
    EXPECT_EQ(best[1 + 6], bucketLine(6, 0));
    EXPECT_EQ(best[1 + 12], bucketLine(12, 1));
    int stars = 0;
    for (const QString &line : best)
        stars += static_cast<int>(line.count(u'★'));
    EXPECT_EQ(stars, 2 + 1); // two students, and the "★" of the heading
}

TEST(TimeHistogram, SlowAndTimedOutRunsFallIntoTheLastBuckets)
{
    TimeHistogram h;
    // Student 1: 1234 s. Student 2: only timed-out runs. Student 3: a timed-out run and
    // one completed run of 45 s, which is the best time.
    h.build(records({{3, 1, 1234}, {3, 2, 99999}, {3, 2, 99999}, {3, 3, 99999}, {3, 3, 45}}));
    EXPECT_EQ(h.allResults(3, 100), 4);
    EXPECT_EQ(h.allResults(3, 4), 1);
    EXPECT_EQ(h.bestTimes(3, 30), 2); // 1234 and the timed-out student
    EXPECT_EQ(h.bestTimes(3, 4), 1);
    EXPECT_EQ(h.allResultsLines(3)[1 + 100], bucketLine(100, 4));
    EXPECT_EQ(h.bestTimeLines(3)[1 + 30], bucketLine(30, 2));
    EXPECT_EQ(h.bestTimeLines(3)[1 + 100], QStringLiteral("1000～"));
}

TEST(TimeHistogram, TheScaleKeepsTheFullestBucketNearTenStars)
{
    TimeHistogram h;
    QByteArray bytes;
    for (int i = 0; i < 25; ++i)
        bytes += records({{1, 100 + i, 35}}); // 25 results in bucket 3
    for (int i = 0; i < 5; ++i)
        bytes += records({{1, 200 + i, 71}}); // 5 in bucket 7
    bytes += records({{1, 300, 88}}); // 1 in bucket 8: 1 ÷ 2 + 0.5 rounds to 1
    h.build(bytes);
    const QStringList all = h.allResultsLines(1);
    EXPECT_EQ(all[0], QStringLiteral("レベル1 今まで31回  （★=2）"));
    EXPECT_EQ(all[1 + 3], bucketLine(3, 13));
    EXPECT_EQ(all[1 + 7], bucketLine(7, 3));
    EXPECT_EQ(all[1 + 8], bucketLine(8, 1));
}

TEST(TimeHistogram, DeletedDamagedAndOutOfTableRecordsAreSkipped)
{
    TimeHistogram h;
    h.build(records(
        {{0, 1, 50}, {-3, 1, 50}, {51, 1, 50}, {60, 1, 50}, {2, 6000, 50}, {2, -1, 50}, {2, 1, -20}, {2, 1, 70}}));
    EXPECT_EQ(h.runCount(2), 1);
    EXPECT_EQ(h.allResults(2, 0), 0); // a negative time is a damaged record, no best
    EXPECT_EQ(h.allResults(2, 7), 1);
    EXPECT_EQ(h.bestTimes(2, 0), 0);
    EXPECT_EQ(h.bestTimes(2, 7), 1);
    EXPECT_EQ(h.allResultsLines(60)[0], QStringLiteral("レベル60 今まで0回  （★=1）"));
    EXPECT_EQ(h.allResultsLines(60).size(), 102);
}

TEST(TimeHistogram, RunsOfStudentNumberZeroAreNobodysAndLeftOut)
{
    // The reader keeps no record of student 0, so no other screen counts them either.
    TimeHistogram h;
    h.build(records({{2, 0, 40}, {2, 0, 41}, {2, 1, 70}}));
    EXPECT_EQ(h.runCount(2), 1);
    EXPECT_EQ(h.allResults(2, 4), 0);
    EXPECT_EQ(h.bestTimes(2, 4), 0);
    EXPECT_EQ(h.bestTimes(2, 7), 1);
}

TEST(TimeHistogram, TheFileIsReadAgainOnlyWhenItChanges)
{
    QTemporaryDir dir;
    const QString path = dir.path() + u'/' + resultsFileName();
    TimeHistogram h;
    // No results file yet: no results, and the file is not created by looking.
    EXPECT_EQ(h.update(ResultsFile(path)), QString());
    EXPECT_EQ(h.runCount(1), 0);
    EXPECT_FALSE(QFile::exists(path));

    ASSERT_TRUE(writeFile(path, records({{1, 1, 40}, {1, 2, 50}})));
    EXPECT_EQ(h.update(ResultsFile(path)), QString());
    EXPECT_EQ(h.runCount(1), 2);
    EXPECT_EQ(h.update(ResultsFile(path)), QString());
    EXPECT_EQ(h.fileReads(), 1);

    // Another PC appends a run: the tables follow at the next look.
    const ResultsFile file(path);
    ResultRecord rec;
    rec.ResultRecDate = 45000;
    rec.ResultRecLevel = 1;
    rec.ResultRecStudentNo = 3;
    rec.ResultRecTime = 60;
    QString error;
    ASSERT_EQ(file.append(rec, &error), 3);
    EXPECT_EQ(h.update(ResultsFile(path)), QString());
    EXPECT_EQ(h.fileReads(), 2);
    EXPECT_EQ(h.runCount(1), 3);
    EXPECT_EQ(h.allResults(1, 6), 1);
}

TEST(TimeHistogram, AMissingDataFolderIsNamed)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/gone/") + resultsFileName();
    TimeHistogram h;
    const QString error = h.update(ResultsFile(path));
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_EQ(h.runCount(1), 0);
}
