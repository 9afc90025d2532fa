// Streaming the results file a chunk at a time.
#include "results/ResultsFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstdio>

using namespace tobrel;
using namespace tobrel::test;

namespace {

QByteArray recordBytes(int student, int level, int time)
{
    ResultRecord r;
    r.ResultRecDate = 45000;
    r.ResultRecStudentNo = static_cast<int16_t>(student);
    r.ResultRecLevel = static_cast<int16_t>(level);
    r.ResultRecTime = time;
    const auto b = r.encode();
    return QByteArray(b.data(), b.size());
}

struct Seen {
    std::vector<int64_t> firsts;
    QByteArray bytes;
};

ResultsFile::ChunkVisitor collect(Seen &seen)
{
    return [&seen](int64_t first, const char *bytes, int64_t count) {
        seen.firsts.push_back(first);
        seen.bytes.append(bytes, static_cast<qsizetype>(count * kRecordSize));
        return true;
    };
}

} // namespace

TEST(ResultsScan, VisitsEveryWholeRecordInOrderAndReportsATornTail)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/成績累積データ.dat");
    QByteArray file;
    for (int i = 1; i <= 7; ++i)
        file += recordBytes(i, 1, 30 + i);
    ASSERT_TRUE(writeFile(path, file + QByteArray(20, 'x')));

    for (const int64_t chunk : {1, 3, 7, 100}) {
        Seen seen;
        ResultsFile::ScanInfo info;
        QString error;
        ASSERT_TRUE(ResultsFile(path).scan(collect(seen), &info, &error, chunk)) << error.toStdString();
        EXPECT_EQ(info.recordCount, 7);
        EXPECT_EQ(info.tailBytes, 20);
        EXPECT_EQ(seen.bytes, file) << "chunk " << chunk;
        EXPECT_EQ(seen.firsts.front(), 1);
        if (chunk == 3) {
            EXPECT_EQ(seen.firsts, (std::vector<int64_t>{1, 4, 7}));
        }
    }
}

TEST(ResultsScan, StopsWhenAskedAndIgnoresWhatIsAppendedOrReplacedMeanwhile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/成績累積データ.dat");
    QByteArray file;
    for (int i = 1; i <= 10; ++i)
        file += recordBytes(i, 2, 40);
    ASSERT_TRUE(writeFile(path, file));

    int chunks = 0;
    ResultsFile::ScanInfo info;
    QString error;
    ResultsFile results(path);
    ASSERT_TRUE(results.scan([&](int64_t, const char *, int64_t) { return ++chunks < 2; }, &info, &error, 2));
    EXPECT_EQ(chunks, 2);

    // An append after the start is not visited; a file renamed over the path after the
    // start does not change what is read.
    Seen seen;
    bool changed = false;
    ASSERT_TRUE(results.scan(
        [&](int64_t first, const char *bytes, int64_t count) {
            if (!changed) {
                changed = true;
                QString err;
                EXPECT_GT(results.append(ResultRecord::decode(recordBytes(99, 3, 50).constData()), &err), 0);
                const QString other = dir.path() + QStringLiteral("/other.dat");
                EXPECT_TRUE(writeFile(other, recordBytes(77, 5, 1)));
                EXPECT_EQ(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
            }
            return collect(seen)(first, bytes, count);
        },
        &info, &error, 4));
    EXPECT_EQ(info.recordCount, 10);
    EXPECT_EQ(seen.bytes, file);
}

TEST(ResultsScan, DamagedRecordsAreThoseOutsideTheTablesOrOfNegativeTime)
{
    // A negative time is damaged in a run; a deleted record (level 0) keeps whatever it held.
    const struct {
        int level, student, time;
        bool damaged;
    } cases[] = {{0, 0, 30, false},   {35, 5000, 30, false}, {36, 1, 30, true},      {-1, 1, 30, true},
                 {1, 5001, 30, true}, {1, -1, 30, true},     {1, 1, -4, true},       {0, 3, -4, false},
                 {1, 1, 0, false},    {1, 1, 99999, false},  {1, 1, INT32_MIN, true}};
    for (const auto &c : cases) {
        const QByteArray b = recordBytes(c.student, c.level, c.time);
        EXPECT_EQ(isDamagedRecord(ResultRecord::decodeNumbers(b.constData())), c.damaged)
            << c.level << " " << c.student << " " << c.time;
    }
}
