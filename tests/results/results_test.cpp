#include "state/SharedState.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <set>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const QByteArray
    kRecordBytes("\x00\x00\x00\x00\x00\x91\xe2\x40\x00\x00\x00\x00\x00\x00\xe0\x3f\x7b\x00\x03\x00\x2d\x00\x00\x00"
                 "\x30\x31\x32\x33\x34\x20\x20\x20\x20\x20\x30\x20\x20\x20\x20\x00\x00\x00\x00\x00",
                 44);

const TestRun rec = TestRun{};

QByteArray bytesOf(const std::vector<ResultRecord> &records)
{
    QByteArray out;
    for (const ResultRecord &r : records) {
        const auto b = r.encode();
        out.append(b.data(), b.size());
    }
    return out;
}

struct Data {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    std::vector<double> waits;
    QStringList reasons;
    Data()
    {
        state.config.DataFolder = dir.path() + u'/';
        state.config.SchoolCode = QStringLiteral("01234");
        clock.date = QDate(2004, 2, 7);
    }
    ResultsFile file()
    {
        return ResultsFile(resultsFilePath(state), [this](double s, const QString &why) {
            waits.push_back(s);
            reasons << why;
        });
    }
    double today() const { return dayNumber(clock.date); }
    void write(const std::vector<ResultRecord> &records)
    {
        ASSERT_TRUE(writeFile(resultsFilePath(state), bytesOf(records)));
    }
    QByteArray fileBytes()
    {
        QFile f(resultsFilePath(state));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST(ResultRecord, LayoutIsByteExact)
{
    ResultRecord r = rec.on(38024)(123, 3, 45);
    r.setSchool(QStringLiteral("01234"));
    const auto b = r.encode();
    EXPECT_EQ(QByteArray(b.data(), 44), kRecordBytes);
    const ResultRecord back = ResultRecord::decode(kRecordBytes.constData());
    EXPECT_EQ(back, r);
    EXPECT_EQ(back.ResultRecDate, 38024);
    EXPECT_EQ(back.ResultRecStudentNo, 123);
    EXPECT_EQ(back.ResultRecTime, 45);

    ResultRecord shortCode;
    shortCode.setSchool(QStringLiteral("12"));
    EXPECT_EQ(shortCode.ResultRecSchool, QByteArray("12   "));
    shortCode.setSchool(QString());
    EXPECT_EQ(shortCode.ResultRecSchool, QByteArray("     "));
    // A code is cut at a character boundary within its five bytes and filled with blanks.
    const struct {
        const char16_t *code;
        QByteArray bytes;
    } codes[] = {
        {u"12３４５", QByteArray("12\x82\x52 ", 5)},
        {u"１２３", QByteArray("\x82\x50\x82\x51 ", 5)},
        {u"髙橋塾です", QByteArray("\xfb\xfc\x8b\xb4 ", 5)},
        {u"1234５", QByteArray("1234 ", 5)},
        {u"12345６", QByteArray("12345", 5)},
    };
    for (const auto &c : codes) {
        shortCode.setSchool(QString::fromUtf16(c.code));
        EXPECT_EQ(shortCode.ResultRecSchool, c.bytes) << QString::fromUtf16(c.code).toStdString();
    }
}

TEST(ResultsFile, WriteResultRecordAppendsAfterTheLastWholeRecord)
{
    Data d;
    std::vector<ResultRecord> seven(7, rec.on(38000)(1, 1, 30));
    d.write(seven);
    d.state.student.CurrentStudent = 123;
    d.state.run.CurrentLevel = 3;
    d.state.run.RunTime = 45;
    d.clock.seconds = 43200;
    d.clock.date = QDate(2004, 2, 7);
    ASSERT_EQ(WriteResultRecord(d.state, d.clock, d.file()), QString());
    const QByteArray bytes = d.fileBytes();
    ASSERT_EQ(bytes.size(), 352);
    EXPECT_EQ(bytes.mid(308), kRecordBytes);

    // A trailing partial record is overwritten by the next append.
    QFile f(resultsFilePath(d.state));
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("torn");
    f.close();
    ASSERT_EQ(WriteResultRecord(d.state, d.clock, d.file()), QString());
    EXPECT_EQ(d.fileBytes().size(), 396);
    EXPECT_EQ(d.fileBytes().mid(352), kRecordBytes);

    // The time of day is stored in whole seconds, as the suite's other programs do:
    // 05:31:36.229 is stored as 05:31:36.
    d.clock.seconds = 5 * 3600 + 31 * 60 + 36.229;
    ASSERT_EQ(WriteResultRecord(d.state, d.clock, d.file()), QString());
    const ResultRecord last = ResultRecord::decode(d.fileBytes().constData() + 396);
    EXPECT_EQ(last.ResultRecClock, (5 * 3600 + 31 * 60 + 36) / 86400.0);
}

TEST(ResultsFile, EmptyOrMissingFileReadsAsNoRecords)
{
    Data d;
    const ReadReport report = ReadResults(d.state, d.file());
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(d.state.results.RecordCount, 0);
    EXPECT_TRUE(QFile::exists(resultsFilePath(d.state))); // created empty
    EXPECT_EQ(d.state.results.PersonalBest(1, 1), 99999);
    EXPECT_EQ(d.state.results.PersonalBest(35, 5000), 99999);
    EXPECT_EQ(d.state.results.LevelBest[6], 99999);
}

TEST(ResultsFile, ReadsOnlyTheLast20000RecordsAndDropsInvalidOnes)
{
    Data d;
    std::vector<ResultRecord> records;
    for (int i = 1; i <= 25000; ++i)
        records.push_back(rec.on(38000)(1 + i % 900, 1 + i % 6, 100 + i % 50));
    records[5000 - 1] = rec.on(38000)(7, 2, 3); // record 5000: not read, so no best of 3
    records[5001 - 1] = rec.on(38000)(8, 2, 31); // record 5001: the first one read
    records[6000 - 1] = rec.on(38000)(9, 0, 5); // deleted (level 0): dropped
    records[6001 - 1] = rec.on(-1)(10, 2, 6); // a date before 1900: damaged, no best
    records[6002 - 1] = rec.on(38000)(0, 2, 7); // student 0: dropped
    records[25000 - 1] = rec.on(38000)(11, 4, kTimedOut); // last run: timed out
    d.write(records);
    const ReadReport report = ReadResults(d.state, d.file());
    ASSERT_TRUE(report.ok());
    ASSERT_EQ(report.corrupt.size(), 1u);
    EXPECT_EQ(report.corrupt[0].recordNumber, 6001);
    const ResultsInMemory &m = d.state.results;
    EXPECT_EQ(m.RecordCount, 20000 - 3);
    EXPECT_EQ(m.RecStudent[1], 8);
    EXPECT_EQ(m.RecTime[1], 31);
    EXPECT_EQ(m.RecLevel[m.RecordCount], 4);
    EXPECT_EQ(m.RecTime[m.RecordCount], kTimedOut);
    EXPECT_EQ(m.PersonalBest(2, 7), 99999);
    EXPECT_EQ(m.PersonalBest(2, 8), 31);
    EXPECT_EQ(m.PersonalBest(2, 10), 99999);
    EXPECT_EQ(m.LevelBest[2], 31);
}

TEST(ResultsFile, LevelBestLooksAtStudentsUpTo1000Only)
{
    Data d;
    d.write({rec.on(38000)(1001, 1, 10), rec.on(38000)(4000, 1, 11), rec.on(38000)(1000, 1, 12),
             rec.on(38000)(5, 1, kTimedOut)});
    ReadResults(d.state, d.file());
    EXPECT_EQ(d.state.results.PersonalBest(1, 1001), 10);
    EXPECT_EQ(d.state.results.PersonalBest(1, 5), 99999);
    EXPECT_EQ(d.state.results.LevelBest[1], 12);
}

TEST(ResultsFile, DamagedRecordsAreSkippedAndReportedOnce)
{
    Data d;
    d.write({rec.on(38000)(1, 1, 30), rec.on(38000)(2, 36, 30), rec.on(38000)(5001, 1, 30), rec.on(38000)(-4, 1, 30),
             rec.on(38000)(3, 1, 20)});
    ReadReport report = TallyResults(d.state, d.clock, d.file());
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(d.state.results.RecordCount, 2);
    ASSERT_EQ(report.corrupt.size(), 3u);
    EXPECT_EQ(report.corrupt[0].recordNumber, 2);
    const QString msg = takeCorruptRecordMessage(d.state, report);
    EXPECT_TRUE(msg.contains(QStringLiteral("成績累積データ.dat")));
    EXPECT_TRUE(msg.contains(QStringLiteral("2番目の記録")));
    EXPECT_TRUE(msg.contains(QStringLiteral("レベル=36")));
    EXPECT_TRUE(msg.contains(QStringLiteral("生徒番号=5001")));
    EXPECT_TRUE(msg.contains(QStringLiteral("日付=2004/01/14 (38000)")));
    // The next tally finds them again but they are not reported a second time.
    report = TallyResults(d.state, d.clock, d.file());
    EXPECT_EQ(report.corrupt.size(), 3u);
    EXPECT_EQ(takeCorruptRecordMessage(d.state, report), QString());
}

TEST(ResultsFile, RecordsWithoutASensibleDateAreDamaged)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double date;
        int level;
        bool damaged;
    };
    const Case cases[] = {
        {nan, 1, true}, {inf, 1, true},     {-inf, 1, true},   {1e300, 1, true},    {-1e300, 1, true}, {1, 1, true},
        {2, 1, false},  {109939, 1, false}, {109940, 1, true}, {38000.5, 1, false}, {nan, 0, false},   {0, 0, false},
    };
    Data d;
    std::vector<ResultRecord> records;
    for (const Case &c : cases)
        records.push_back(rec.on(c.date)(7, c.level, 30));
    d.write(records);
    const ReadReport report = TallyResults(d.state, d.clock, d.file());
    ASSERT_TRUE(report.ok());
    std::set<int64_t> damaged;
    for (const CorruptRecord &c : report.corrupt)
        damaged.insert(c.recordNumber);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(damaged.count(static_cast<int64_t>(i + 1)), cases[i].damaged ? 1u : 0u)
            << "date " << cases[i].date << " level " << cases[i].level;
    EXPECT_EQ(d.state.results.RecordCount, 3);
    EXPECT_EQ(d.state.tallies.AllRunCount(1, 7), 3);
    // The message names such a date as the number it is.
    const QString msg = takeCorruptRecordMessage(d.state, report);
    EXPECT_TRUE(msg.contains(QStringLiteral("日付=inf"))) << msg.toStdString();
    EXPECT_TRUE(msg.contains(QStringLiteral("日付=1e+300"))) << msg.toStdString();
}

TEST(ResultsFile, MissingFolderIsRetriedThenReported)
{
    Data d;
    d.state.config.DataFolder = d.dir.path() + QStringLiteral("/not-there/");
    const ReadReport report = ReadResults(d.state, d.file());
    EXPECT_FALSE(report.ok());
    // One clean Japanese text naming the file; no system text, no numbers glued to it.
    EXPECT_EQ(report.fatalError,
              QStringLiteral("成績ファイルのフォルダに届きません（3回読み直しました）\n") + resultsFilePath(d.state));
    EXPECT_EQ(report.fatalErrorNumber, 76);
    // The fourth failure ends it; every wait says why and which try comes next.
    EXPECT_EQ(d.waits, (std::vector<double>{5.0, 5.0, 5.0}));
    ASSERT_EQ(d.reasons.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(d.reasons[i].contains(QStringLiteral("成績ファイルのフォルダに届きません"))) << i;
        EXPECT_TRUE(d.reasons[i].contains(QStringLiteral("%1回目／4回").arg(i + 2))) << i;
        EXPECT_TRUE(d.reasons[i].contains(resultsFilePath(d.state))) << i;
    }
}

TEST(ResultsFile, ConcurrentAppendsAreNeverLostOrTorn)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/成績累積データ.dat");
    constexpr int kWriters = 4;
    constexpr int kEach = 250;
    std::vector<pid_t> children;
    for (int w = 1; w <= kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ResultsFile file(path);
            for (int i = 0; i < kEach; ++i) {
                // Writer w, run i: recognisable in every field.
                ResultRecord r = rec.on(40000 + i)(w, 1 + i % 6, w * 1000 + i);
                r.ResultRecClock = (w * 1000 + i) / 100000.0;
                QString err;
                if (file.append(r, &err) == 0)
                    _exit(2);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    // A reader alongside: every record it sees is whole.
    ResultsFile reader(path, [](double, const QString &) { usleep(1000); });
    int reads = 0;
    bool running = true;
    while (running) {
        ResultsFile::Range range;
        QString err;
        ASSERT_TRUE(reader.readAll(&range, &err));
        for (qsizetype k = 0; k + 44 <= range.bytes.size(); k += 44) {
            const ResultRecord r = ResultRecord::decode(range.bytes.constData() + k);
            ASSERT_GE(r.ResultRecStudentNo, 1);
            ASSERT_LE(r.ResultRecStudentNo, kWriters);
            ASSERT_EQ(r.ResultRecTime / 1000, r.ResultRecStudentNo);
            ASSERT_EQ(r.ResultRecDate, 40000 + r.ResultRecTime % 1000);
        }
        ++reads;
        running = false;
        for (pid_t pid : children)
            if (waitpid(pid, nullptr, WNOHANG) == 0)
                running = true;
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    ResultsFile::Range range;
    QString err;
    ASSERT_TRUE(reader.readAll(&range, &err));
    ASSERT_EQ(range.bytes.size(), kWriters * kEach * 44);
    std::set<int> seen;
    for (qsizetype k = 0; k < range.bytes.size(); k += 44) {
        const ResultRecord r = ResultRecord::decode(range.bytes.constData() + k);
        EXPECT_EQ(r.ResultRecClock, r.ResultRecTime / 100000.0);
        seen.insert(r.ResultRecTime);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kWriters * kEach));
    EXPECT_GT(reads, 0);
}

// ---- tallies ----

TEST(Points, FormulaAtItsEdges)
{
    const struct {
        int t, T, base;
    } cases[] = {
        {60, 60, 5},
        {0, 60, 55},
        {30, 60, 11},
        {61, 60, 4},
        {119, 60, 4},
        {120, 60, 1},
        {599, 60, 1},
        {600, 60, 0},
        {99999, 60, 0},
        {5, 0, 0},
        {0, 0, 0},
        {-5, 60, 55},
        {-2147483647 - 1, 1, 55}, // a negative time earns what an instant run earns
    };
    for (const auto &c : cases)
        EXPECT_EQ(basePoints(c.t, c.t, c.T), c.base) << c.t << " " << c.T;
    EXPECT_EQ(shortTime(45), 45);
    EXPECT_EQ(shortTime(1234), 123);
    EXPECT_EQ(shortTime(99999), 999);
    // With T = 2000, a run of 1500 s uses the short time 150 in the formula.
    EXPECT_EQ(basePoints(1500, shortTime(1500), 2000), 44);
    EXPECT_EQ(ratedPoints(11, 1.5f), 16);
    EXPECT_EQ(ratedPoints(10, 0.7f), 7);
    EXPECT_EQ(ratedPoints(23, 1.5f), 34);
}

namespace {

void criteria(SharedState &s, int L, int target, int clearPoints, int clearCount, float rate, double overRuns,
              double overPoints, double passDays, double overDays)
{
    auto &c = s.criteria;
    c.CritTargetTime[L] = target;
    c.CritPassTime[L] = target * 2;
    c.CritClearPoints[L] = clearPoints;
    c.CritClearCount[L] = static_cast<int16_t>(clearCount);
    c.CritPointRate[L] = rate;
    c.CritOverRuns[L] = Variant(overRuns);
    c.CritOverPoints[L] = Variant(overPoints);
    c.CritPassDays[L] = Variant(passDays);
    c.CritOverDays[L] = Variant(overDays);
}

} // namespace

TEST(Tally, TheLargestPointsStillAddUpWithin32Bits)
{
    // 20000 runs of the most points a run can earn (an instant run) at the largest multiplier.
    Data d;
    criteria(d.state, 1, 1, 0, 0, 1000.0f, 0, 0, 1, 1);
    std::vector<ResultRecord> records(20000, rec.on(d.today())(9, 1, 0));
    d.write(records);
    ASSERT_TRUE(TallyResults(d.state, d.clock, d.file()).ok());
    EXPECT_EQ(d.state.tallies.AllPoints(1, 9), 20000 * 55000);
    EXPECT_EQ(d.state.tallies.TodayPoints(1, 9), 20000 * 55000);
}

TEST(Tally, WindowsTodayAndTimedOutRuns)
{
    Data d;
    criteria(d.state, 1, 60, 30, 3, 1.0f, 0, 0, 7, 1);
    const double t = d.today();
    d.write({rec.on(t - 6)(5, 1, 30), rec.on(t - 7)(5, 1, 30), rec.on(t)(5, 1, 30), rec.on(t)(5, 1, kTimedOut),
             rec.on(t)(6, 1, 60)});
    ASSERT_TRUE(TallyResults(d.state, d.clock, d.file()).ok());
    const Tallies &x = d.state.tallies;
    EXPECT_EQ(x.AllRunCount(1, 5), 3);
    EXPECT_EQ(x.AllPoints(1, 5), 33);
    EXPECT_EQ(x.AllTimeSum(1, 5), 30 * 3 + 999);
    EXPECT_EQ(x.PassRunCount(1, 5), 2); // six days ago and today; seven days ago is out
    EXPECT_EQ(x.PassPoints(1, 5), 22);
    EXPECT_EQ(x.OverRunCount(1, 5), 1); // a window of one day holds today only
    EXPECT_EQ(x.TodayRunCount(1, 5), 1.0f);
    EXPECT_EQ(x.TodayTimeSum(1, 5), 30.0f + 999.0f);
    EXPECT_EQ(x.TodayPoints(1, 5), 11);
    EXPECT_EQ(x.TodayPoints(1, 6), 5);
    EXPECT_EQ(x.AllRunCount(1, 7), 0); // no records: zero everywhere
    EXPECT_FALSE(LevelCleared(d.state, 1, 7));
    EXPECT_FALSE(LevelBarred(d.state, 1, 7));

    // A window of 0 days (or an empty field) holds no record.
    criteria(d.state, 1, 60, 30, 3, 1.0f, 0, 0, 0, 0);
    d.state.criteria.CritOverDays[1] = Variant();
    TallyResults(d.state, d.clock, d.file());
    EXPECT_EQ(x.PassRunCount(1, 5), 0);
    EXPECT_EQ(x.OverPoints(1, 5), 0);
}

TEST(Tally, ClearedBarredAndRate)
{
    Data d;
    criteria(d.state, 2, 60, 30, 3, 1.0f, 3, 0, 7, 7);
    criteria(d.state, 3, 60, 30, 3, 1.5f, 0, 25, 7, 7);
    const double t = d.today();
    // Student 1: three runs of 11 points clear level 2; three runs also bar it.
    // Student 2: two runs of 20 points (t = 19 gives 20) do not clear it.
    d.write({rec.on(t)(1, 2, 30), rec.on(t - 1)(1, 2, 30), rec.on(t - 2)(1, 2, 30), rec.on(t)(2, 2, 19),
             rec.on(t)(2, 2, 19), rec.on(t)(3, 3, 30), rec.on(t)(3, 3, 30)});
    TallyResults(d.state, d.clock, d.file());
    EXPECT_EQ(d.state.tallies.PassPoints(2, 2), 40);
    EXPECT_TRUE(LevelCleared(d.state, 2, 1));
    EXPECT_FALSE(LevelCleared(d.state, 2, 2));
    EXPECT_TRUE(ClearedBeforeTest(d.state, 2, 1));
    EXPECT_TRUE(LevelBarred(d.state, 2, 1));
    EXPECT_FALSE(LevelBarred(d.state, 2, 2));
    // Rate 1.5 turns 11 base points into 16; two runs reach the barring points 25.
    EXPECT_EQ(d.state.tallies.AllPoints(3, 3), 32);
    EXPECT_TRUE(LevelBarred(d.state, 3, 3));
    // Barring runs of 0 never bar, whatever the count.
    d.state.criteria.CritOverRuns[2] = Variant(0);
    EXPECT_FALSE(LevelBarred(d.state, 2, 1));
}
