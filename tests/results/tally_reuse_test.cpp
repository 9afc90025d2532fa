// The tally keeps tables, a read buffer and points between calls: what one tally leaves
// must never show through in the next, and its figures must be those of the plain rules.
#include "state/SharedState.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "drill/EndOfRun.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const TestRun rec = TestRun{}.at(0.25);

struct School {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    School()
    {
        state.config.DataFolder = dir.path() + u'/';
        clock.date = QDate(2025, 6, 11);
        for (int L = 1; L <= kMaxLevel; ++L)
            setCriteria(L, 40 + L, 1.5f, 7, 1);
    }
    void setCriteria(int L, int target, float rate, double passDays, double overDays)
    {
        auto &c = state.criteria;
        c.CritTargetTime[L] = target;
        c.CritPointRate[L] = rate;
        c.CritPassDays[L] = Variant(passDays);
        c.CritOverDays[L] = Variant(overDays);
    }
    double today() const { return dayNumber(clock.date); }
    void write(const std::vector<ResultRecord> &records)
    {
        QByteArray bytes;
        for (const ResultRecord &r : records) {
            const auto b = r.encode();
            bytes.append(b.data(), b.size());
        }
        ASSERT_TRUE(writeFile(resultsFilePath(state), bytes));
    }
    ReadReport tally() { return TallyResults(state, clock, ResultsFile(resultsFilePath(state))); }
};

// The ten tables of one level and student, summed by the rules written out plainly.
struct Expected {
    int allRuns = 0, allPoints = 0, allTimeSum = 0, passRuns = 0, passPoints = 0;
    int overRuns = 0, overPoints = 0, todayPoints = 0;
    float todayRuns = 0, todayTimeSum = 0;
};

std::map<std::pair<int, int>, Expected> expectedTallies(const School &sc, const std::vector<ResultRecord> &records)
{
    std::map<std::pair<int, int>, Expected> out;
    const auto &c = sc.state.criteria;
    const double today = sc.today();
    for (const ResultRecord &r : records) {
        const int L = r.ResultRecLevel, s = r.ResultRecStudentNo, t = r.ResultRecTime;
        const double d = r.ResultRecDate;
        if (isDamagedRecord({d, r.ResultRecClock, r.ResultRecStudentNo, r.ResultRecLevel, t}) || L < 1 || s < 1 ||
            d < 0)
            continue;
        QString digits = QString::number(t).left(3);
        const int st = digits.toInt();
        const int points = ratedPoints(basePoints(t, st, c.CritTargetTime[L]), c.CritPointRate[L]);
        const int completed = t < 6000;
        Expected &e = out[{L, s}];
        e.allRuns += completed;
        e.allPoints += points;
        e.allTimeSum += st;
        if (d > today - c.CritPassDays[L].toNumber()) {
            e.passRuns += completed;
            e.passPoints += points;
        }
        if (d > today - c.CritOverDays[L].toNumber()) {
            e.overRuns += completed;
            e.overPoints += points;
        }
        if (d == today) {
            e.todayRuns += static_cast<float>(completed);
            e.todayTimeSum += static_cast<float>(st);
            e.todayPoints += points;
        }
    }
    return out;
}

void expectTallies(const School &sc, const std::vector<ResultRecord> &records)
{
    const auto expected = expectedTallies(sc, records);
    const Tallies &t = sc.state.tallies;
    for (int L = 1; L <= kMaxLevel; ++L) {
        for (int s = 1; s <= kMaxStudent; ++s) {
            const auto it = expected.find({L, s});
            const Expected e = it == expected.end() ? Expected() : it->second;
            ASSERT_EQ(t.AllRunCount(L, s), e.allRuns) << L << "/" << s;
            ASSERT_EQ(t.AllPoints(L, s), e.allPoints) << L << "/" << s;
            ASSERT_EQ(t.AllTimeSum(L, s), e.allTimeSum) << L << "/" << s;
            ASSERT_EQ(t.PassRunCount(L, s), e.passRuns) << L << "/" << s;
            ASSERT_EQ(t.PassPoints(L, s), e.passPoints) << L << "/" << s;
            ASSERT_EQ(t.OverRunCount(L, s), e.overRuns) << L << "/" << s;
            ASSERT_EQ(t.OverPoints(L, s), e.overPoints) << L << "/" << s;
            ASSERT_EQ(t.TodayRunCount(L, s), e.todayRuns) << L << "/" << s;
            ASSERT_EQ(t.TodayTimeSum(L, s), e.todayTimeSum) << L << "/" << s;
            ASSERT_EQ(t.TodayPoints(L, s), e.todayPoints) << L << "/" << s;
        }
    }
}

} // namespace

// Every kind of time and date the file may hold, against the rules written out plainly:
// times under 1000, 1000 and more (short time of three digits), negative ones, timed
// out; dates in and out of each window, today, in the future, NaN.
TEST(TallyReuse, FiguresFollowThePlainRules)
{
    School sc;
    sc.setCriteria(2, 60, 1.0f, 0, 0); // windows that hold nothing
    sc.setCriteria(3, 2000, 0.7f, 30, 3); // long target: short times of long runs score
    sc.setCriteria(4, 0, 1.5f, -2, 7); // no target; a pass window reaching into the future
    std::mt19937 gen(5);
    const int32_t times[] = {0, 1, 41, 42, 43, 84, 420, 999, 1000, 1234, 5999, 6000, 99998, kTimedOut, -7, -123};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<ResultRecord> records;
    for (int i = 0; i < 3000; ++i) {
        const double days[] = {0, 0, 1, 2, 6, 7, 8, 29, 30, 400, -1, -3};
        double d = sc.today() - days[gen() % std::size(days)];
        if (i % 500 == 7)
            d = nan;
        records.push_back(rec.on(d)(1 + static_cast<int>(gen() % 40), 1 + static_cast<int>(gen() % 5),
                                    times[gen() % std::size(times)]));
    }
    sc.write(records);
    ASSERT_TRUE(sc.tally().ok());
    expectTallies(sc, records);
}

// The edges of what is tallied: the first and last level and student, the first and
// last day a record may carry, against the numbers just outside (damaged, reported)
// and level 0 or student 0 (dropped, not reported).
TEST(TallyReuse, FirstAndLastLevelStudentAndDayAreTallied)
{
    School sc;
    const double t = sc.today();
    const std::vector<ResultRecord> records = {
        rec.on(t)(1, 1, 30),
        rec.on(t)(kMaxStudent, kMaxLevel, 30),
        rec.on(t)(kMaxStudent, 1, 50),
        rec.on(t)(1, kMaxLevel, 60),
        rec.on(kFirstRecordDay)(17, 2, 40),
        rec.on(kLastRecordDay)(18, 3, 40),
        rec.on(t)(kMaxStudent + 1, 1, 30),
        rec.on(t)(-1, 1, 30),
        rec.on(t)(5, kMaxLevel + 1, 30),
        rec.on(t)(5, -1, 30),
        rec.on(kFirstRecordDay - 1)(19, 2, 40),
        rec.on(kLastRecordDay + 1)(20, 3, 40),
        rec.on(t)(0, 1, 30),
        rec.on(t)(6, 0, 30),
        rec.on(t)(21, 2, -4),
    };
    sc.write(records);
    const ReadReport report = sc.tally();
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report.corrupt.size(), 7u);
    // A negative time is no run: no best time, no points, reported like the others.
    EXPECT_EQ(sc.state.results.PersonalBest(2, 21), kTimedOut);
    EXPECT_EQ(sc.state.tallies.AllPoints(2, 21), 0);
    EXPECT_EQ(sc.state.results.RecordCount, 6);
    EXPECT_EQ(sc.state.tallies.AllRunCount(kMaxLevel, kMaxStudent), 1);
    EXPECT_EQ(sc.state.tallies.AllRunCount(1, kMaxStudent), 1);
    EXPECT_EQ(sc.state.tallies.AllRunCount(3, 18), 1);
    expectTallies(sc, records);
}

// A second tally of another file, with other criteria, shows nothing of the first: not
// in the tables of levels the second file lacks, not in the points of changed criteria,
// not in the best times, not in the records held.
TEST(TallyReuse, NothingOfTheLastTallyRemains)
{
    School sc;
    const double t = sc.today();
    std::vector<ResultRecord> first = {rec.on(t)(5, 1, 30), rec.on(t)(6, 3, 50), rec.on(t - 2)(4999, 30, 80),
                                       rec.on(t)(7, 35, kTimedOut), rec.on(t)(8, 2, 1500)};
    sc.write(first);
    ASSERT_TRUE(sc.tally().ok());
    ASSERT_EQ(sc.state.tallies.AllRunCount(30, 4999), 1);
    ASSERT_EQ(sc.state.results.PersonalBest(30, 4999), 80);
    // A best time set from outside (as the end of a run does) is forgotten too.
    sc.state.results.PersonalBest(12, 100) = 5;

    sc.setCriteria(1, 90, 2.0f, 7, 1);
    sc.setCriteria(35, 10, 3.0f, 7, 1);
    std::vector<ResultRecord> second = {rec.on(t)(5, 1, 30), rec.on(t)(7, 35, kTimedOut)};
    sc.write(second);
    ASSERT_TRUE(sc.tally().ok());
    expectTallies(sc, second);
    const ResultsInMemory &m = sc.state.results;
    EXPECT_EQ(m.RecordCount, 2);
    EXPECT_EQ(m.PersonalBest(30, 4999), kTimedOut);
    EXPECT_EQ(m.PersonalBest(3, 6), kTimedOut);
    EXPECT_EQ(m.PersonalBest(12, 100), kTimedOut);
    EXPECT_EQ(m.PersonalBest(1, 5), 30);
    EXPECT_EQ(m.LevelBest[30], kTimedOut);
    EXPECT_EQ(m.LevelBest[1], 30);
    // With target 90 and rate 2, 30 s gives 2 x 19 points.
    EXPECT_EQ(sc.state.tallies.AllPoints(1, 5), 38);

    // A file that cannot be read leaves empty tables and no best times.
    sc.state.config.DataFolder = sc.dir.path() + QStringLiteral("/gone/");
    ASSERT_FALSE(TallyResults(sc.state, sc.clock, ResultsFile(resultsFilePath(sc.state))).ok());
    EXPECT_EQ(sc.state.tallies.AllRunCount(1, 5), 0);
    EXPECT_EQ(sc.state.results.RecordCount, 0);
    EXPECT_EQ(sc.state.results.PersonalBest(1, 5), kTimedOut);
}

// Records dropped from memory (deleted ones, student 0) leave no gap: every entry
// holds its own record.
TEST(TallyReuse, RecordsHeldInOrderAroundDroppedOnes)
{
    School sc;
    const double t = sc.today();
    sc.write({rec.on(t)(0, 1, 3), rec.on(t)(10, 1, 40), rec.on(t)(11, 0, 4), rec.on(t)(12, 0, 5),
              rec.on(t - 1)(13, 2, 41), rec.on(t)(14, 36, 6), rec.on(t)(15, 3, 42)});
    const ReadReport report = sc.tally();
    ASSERT_TRUE(report.ok());
    const ResultsInMemory &m = sc.state.results;
    ASSERT_EQ(m.RecordCount, 3);
    const struct {
        int student, level, time;
        double date;
    } held[] = {{10, 1, 40, t}, {13, 2, 41, t - 1}, {15, 3, 42, t}};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(m.RecStudent[i], held[i - 1].student);
        EXPECT_EQ(m.RecLevel[i], held[i - 1].level);
        EXPECT_EQ(m.RecTime[i], held[i - 1].time);
        EXPECT_EQ(m.RecDate[i], held[i - 1].date);
        EXPECT_EQ(m.RecClock[i], 0.25);
    }
    EXPECT_EQ(m.PersonalBest(2, 13), 41);
    EXPECT_EQ(m.LevelBest[2], 41);
    ASSERT_EQ(report.corrupt.size(), 1u);
    EXPECT_EQ(report.corrupt[0].recordNumber, 6);
}

// Damaged records are reported once each, also when more turn up among them later.
TEST(TallyReuse, ManyDamagedRecordsReportedOnceEach)
{
    School sc;
    const double t = sc.today();
    std::vector<ResultRecord> records;
    for (int i = 0; i < 20000; ++i)
        records.push_back(i % 2 ? rec.on(t)(1 + i % 3000, 1, 60) : rec.on(t)(1 + i % 3000, 40 + i % 9, 60));
    sc.write(records);
    ReadReport report = sc.tally();
    ASSERT_EQ(report.corrupt.size(), 10000u);
    QString message = takeCorruptRecordMessage(sc.state, report);
    EXPECT_TRUE(message.contains(QStringLiteral("1番目の記録")));
    EXPECT_TRUE(message.contains(QStringLiteral("19番目の記録")));
    EXPECT_FALSE(message.contains(QStringLiteral("21番目の記録"))); // ten lines at most
    EXPECT_EQ(takeCorruptRecordMessage(sc.state, sc.tally()), QString());

    // Two records turn damaged in the middle of the file: only they are new.
    records[99] = rec.on(t)(5001, 1, 60);
    records[19999] = rec.on(t)(1, -1, 60);
    sc.write(records);
    report = sc.tally();
    ASSERT_EQ(report.corrupt.size(), 10002u);
    message = takeCorruptRecordMessage(sc.state, report);
    EXPECT_TRUE(message.contains(QStringLiteral("100番目の記録")));
    EXPECT_TRUE(message.contains(QStringLiteral("20000番目の記録")));
    EXPECT_EQ(message.count(QStringLiteral("番目の記録")), 2);
    EXPECT_EQ(takeCorruptRecordMessage(sc.state, sc.tally()), QString());
}

TEST(TallyReuse, WindowFiguresOfTheLastTallyAndOfARunKeptHereAreCleared)
{
    // A tally clears only the window cells it wrote last time, unless something else
    // wrote in a level's row (as a run kept on this PC does): then the whole row.
    School sc;
    const double t = sc.today();
    sc.write({rec.on(t)(5, 1, 30), rec.on(t - 3)(4999, 35, 30), rec.on(t)(5000, 2, 80), rec.on(t)(1, 6, 1500)});
    // Read through a constant view: a writable one would mark the rows it reads.
    const Tallies &tt = sc.state.tallies;
    ASSERT_TRUE(sc.tally().ok());
    ASSERT_GT(tt.PassPoints(1, 5), 0);
    ASSERT_EQ(tt.TodayRunCount(2, 5000), 1);
    ASSERT_EQ(tt.OverRunCount(6, 1), 1);
    sc.state.tallies.windows(4, 77).OverPoints = 9; // as the end of a run adds it
    sc.write({rec.on(t - 30)(5, 1, 30)});
    ASSERT_TRUE(sc.tally().ok());
    for (int L = 0; L <= kMaxLevel; ++L)
        for (int s = 0; s <= kMaxStudent; ++s) {
            const TallyWindowCell &w = tt.windows(L, s);
            ASSERT_TRUE(w.PassPoints == 0 && w.OverPoints == 0 && w.TodayTimeSum == 0 && w.OverRunCount == 0 &&
                        w.TodayRuns == 0)
                << "level " << L << ", student " << s;
        }
    EXPECT_EQ(tt.AllRunCount(1, 5), 1);

    // A reset of some rows only leaves the cells listed elsewhere for a later one.
    LevelStudentTable<int32_t> table;
    table.resetWrittenRows(0, kMaxLevel, 0, 0);
    table.dataToWrite()[3 * kStudentSlots + 10] = 4;
    table.dataToWrite()[1 * kStudentSlots + 2] = 5;
    uint32_t *const listed = table.cellListToWrite(2);
    listed[0] = 3 * kStudentSlots + 10;
    listed[1] = 1 * kStudentSlots + 2;
    table.markCellsWritten(2);
    table.resetWrittenRows(1, 2, 1, -1);
    EXPECT_EQ(table(1, 2), -1);
    EXPECT_EQ(table(3, 10), 4);
    table.resetWrittenRows(0, kMaxLevel, 0, 0);
    EXPECT_EQ(table(3, 10), 0);
}

// The fast path's table of what a run adds holds what the one rule gives, for every
// time it holds and the odd criteria: no target, a fractional rate, a NaN rate.
TEST(TallyRule, TheFastTableIsTheRule)
{
    School sc;
    sc.setCriteria(1, 60, 1.0f, 7, 1);
    sc.setCriteria(2, 0, 1.5f, 7, 1);
    sc.setCriteria(3, 999, 0.7f, 7, 1);
    sc.setCriteria(4, 1, std::numeric_limits<float>::quiet_NaN(), 7, 1);
    sc.write({rec.on(sc.today())(1, 1, 30)});
    ASSERT_TRUE(sc.tally().ok());
    for (int L = 1; L <= 4; ++L) {
        const auto &table = sc.state.tallyWork.points[static_cast<size_t>(L)].byTime;
        const auto &c = sc.state.criteria;
        auto same = [](const TallyWorkspace::RunAdds &a, const TallyWorkspace::RunAdds &b) {
            return a.points == b.points && a.shortTime == b.shortTime && a.completed == b.completed && a.none == b.none;
        };
        for (int32_t t = 0; t < 1000; ++t)
            ASSERT_TRUE(same(table[static_cast<size_t>(t)], runAdds(t, c.CritTargetTime[L], c.CritPointRate[L])))
                << L << "/" << t;
        EXPECT_TRUE(same(table[1000], runAdds(kTimedOut, c.CritTargetTime[L], c.CritPointRate[L]))) << L;
    }
}

// The whole tally, fast path and unusual runs alike, against the one rule applied to
// each record in turn; and a run kept on this PC adds what the next read of it adds.
TEST(TallyRule, TheTallyAddsWhatTheRuleAdds)
{
    School sc;
    sc.setCriteria(2, 60, 1.0f, 0, 0);
    sc.setCriteria(3, 2000, 0.7f, 30, 3);
    std::mt19937 gen(11);
    const int32_t times[] = {0, 7, 59, 60, 61, 999, 1000, 4321, 5999, 6000, 99998, kTimedOut};
    std::vector<ResultRecord> records;
    for (int i = 0; i < 2000; ++i) {
        const double days[] = {0, 0, 1, 2, 3, 29, 30, 31, 500};
        records.push_back(rec.on(sc.today() - days[gen() % std::size(days)])(
            1 + static_cast<int>(gen() % 30), 1 + static_cast<int>(gen() % 4), times[gen() % std::size(times)]));
    }
    sc.write(records);
    ASSERT_TRUE(sc.tally().ok());

    Tallies expected;
    expected.clear();
    const auto &c = sc.state.criteria;
    for (const ResultRecord &r : records) {
        const int L = r.ResultRecLevel, s = r.ResultRecStudentNo;
        addRun(expected.cells(L, s), expected.windows(L, s), r.ResultRecDate,
               runAdds(r.ResultRecTime, c.CritTargetTime[L], c.CritPointRate[L]), tallyWindows(c, L, sc.today()));
    }
    auto sameTallies = [&](const Tallies &t) {
        for (int L = 1; L <= 4; ++L)
            for (int s = 1; s <= 30; ++s)
                if (std::memcmp(&t.cells(L, s), &expected.cells(L, s), sizeof(TallyCell)) != 0 ||
                    std::memcmp(&t.windows(L, s), &expected.windows(L, s), sizeof(TallyWindowCell)) != 0)
                    return ::testing::AssertionFailure() << "level " << L << " student " << s;
        return ::testing::AssertionSuccess();
    };
    EXPECT_TRUE(sameTallies(sc.state.tallies));

    // A run of today kept on this PC, counted in memory, then read back from the file.
    sc.state.run.CurrentLevel = 3;
    sc.state.student.CurrentStudent = 5;
    sc.state.run.RunTime = 1234;
    countRunKeptOnThisPc(sc.state);
    records.push_back(rec.on(sc.today())(5, 3, 1234));
    addRun(expected.cells(3, 5), expected.windows(3, 5), sc.today(),
           runAdds(1234, c.CritTargetTime[3], c.CritPointRate[3]), tallyWindows(c, 3, sc.today()));
    EXPECT_TRUE(sameTallies(sc.state.tallies));
    sc.write(records);
    ASSERT_TRUE(sc.tally().ok());
    EXPECT_TRUE(sameTallies(sc.state.tallies));
}
