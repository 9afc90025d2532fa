#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "hub/Availability.h"
#include "hub/ColumnTexts.h"
#include "hub/PointsRanking.h"
#include "hub/ResultViews.h"
#include "roster/SheetStudents.h"
#include "hub/ListFields.h"
#include "hub/SheetRankings.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"

#include <algorithm>
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include <limits>

using namespace tobrel;
using namespace tobrel::test;

TEST(ListFields, Formats)
{
    EXPECT_EQ(timeField(5), QStringLiteral("   5秒"));
    EXPECT_EQ(timeField(45), QStringLiteral("  45秒"));
    EXPECT_EQ(timeField(123), QStringLiteral(" 123秒"));
    EXPECT_EQ(timeField(1234), QStringLiteral("1234秒"));
    EXPECT_EQ(rankField(1), QStringLiteral(" 1"));
    EXPECT_EQ(rankField(12), QStringLiteral("12"));
    EXPECT_EQ(rankField(105), QStringLiteral("05"));
    EXPECT_EQ(rankingTimeField(45), QStringLiteral("    45"));
    EXPECT_EQ(todayPointsField(7), QStringLiteral("  7"));
    EXPECT_EQ(totalPointsField(120), QStringLiteral("  120"));
    EXPECT_EQ(runPointsField(11), QStringLiteral("   11"));
    EXPECT_EQ(runNameField(QStringLiteral("  森  ")), QStringLiteral("森　　　　"));
    EXPECT_EQ(runNameField(QStringLiteral("佐々木小次郎")), QStringLiteral("佐々木小次"));
    // Only blanks are trimmed; a full-width blank is part of the name, as on ranking lines.
    EXPECT_EQ(runNameField(QStringLiteral("　全角前空白   ")), QStringLiteral("　全角前空"));
    EXPECT_EQ(rankingNameField(QStringLiteral("　全角前空白   ")), QStringLiteral("　全角前空"));
    EXPECT_EQ(rankingNameField(QStringLiteral("林") + QString(19, u' ')), QStringLiteral("林　　　　"));
    EXPECT_EQ(dateField(dayNumber(QDate(2004, 2, 7))), QStringLiteral("02/07"));
    EXPECT_EQ(clockField(dayFraction(9 * 3600 + 5 * 60 + 3)), QStringLiteral("09:05"));
    EXPECT_EQ(clockField(dayFraction(19 * 3600 + 5 * 60 + 3)), QStringLiteral("19:05"));
    EXPECT_EQ(gradeMark(1), QStringLiteral("①"));
    EXPECT_EQ(gradeMark(9), QStringLiteral("Ⅲ"));
    EXPECT_EQ(gradeMark(10), QStringLiteral("　"));
    EXPECT_EQ(personalTimeLine(dayNumber(QDate(2004, 2, 7)), dayFraction(19 * 3600 + 5 * 60 + 3), 57),
              QStringLiteral("2004/02/07 19:05:03  57秒"));
    EXPECT_EQ(personalTimeLine(dayNumber(QDate(2004, 2, 7)), dayFraction(9 * 3600 + 5 * 60 + 3), 125),
              QStringLiteral("2004/02/07 9:05:03 125秒"));
    EXPECT_EQ(personalTimeLine(dayNumber(QDate(2004, 2, 7)), 0.5, 99999),
              QStringLiteral("2004/02/07 12:00:00 時間切れ"));
    // Four digits and more: whole, and apart from the clock.
    EXPECT_EQ(personalTimeLine(dayNumber(QDate(2004, 2, 7)), dayFraction(13 * 3600 + 37 * 60 + 1), 1234),
              QStringLiteral("2004/02/07 13:37:01 1234秒"));
    EXPECT_EQ(personalTimeLine(dayNumber(QDate(2004, 2, 7)), dayFraction(9 * 3600 + 12 * 60 + 6), 12345),
              QStringLiteral("2004/02/07 9:12:06 12345秒"));
}

// A name takes the room of five full-width characters however it is written, so the
// fields after it line up in every list.
TEST(ListFields, NamesTakeTheRoomOfFiveFullWidthCharacters)
{
    struct Case {
        QString name, run, ranking;
    };
    const Case cases[] = {
        {QStringLiteral("ﾔﾏﾀﾞ ﾊﾅｺ"), QStringLiteral("ﾔﾏﾀﾞ ﾊﾅｺ　"), QStringLiteral("ﾔﾏﾀﾞ ﾊﾅｺ　")},
        {QStringLiteral("ｻﾄｳ 花子さん"), QStringLiteral("ｻﾄｳ 花子さ"), QStringLiteral("ｻﾄｳ 花子さ")},
        // A full-width character that would run past the room is left out.
        {QStringLiteral("ｱ佐々木小次"), QStringLiteral("ｱ佐々木小 "), QStringLiteral("ｱ佐々木小 ")},
        {QStringLiteral(" 石*川,ゆう "), QStringLiteral("石*川,ゆう"), QStringLiteral(" 石*川,ゆ ")},
        {QStringLiteral("ABCDEFGHIJKL"), QStringLiteral("ABCDEFGHIJ"), QStringLiteral("ABCDEFGHIJ")},
        {QString(), QStringLiteral("　　　　　"), QStringLiteral("　　　　　")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(runNameField(c.name), c.run) << c.name.toStdString();
        EXPECT_EQ(rankingNameField(c.name), c.ranking) << c.name.toStdString();
        EXPECT_EQ(displayCells(runNameField(c.name)), 10) << c.name.toStdString();
        EXPECT_EQ(displayCells(rankingNameField(c.name)), 10) << c.name.toStdString();
    }
}

TEST(ListFields, ListPointsAtTheEdges)
{
    const struct {
        int t, T, points;
    } rows[] = {{30, 60, 11}, {60, 60, 5},  {0, 60, 55},  {61, 60, 4},
                {120, 60, 1}, {599, 60, 1}, {600, 60, 0}, {10, 0, 0}};
    for (const auto &r : rows)
        EXPECT_EQ(listPoints(r.t, r.T), r.points) << r.t << " " << r.T;
}

namespace {

struct Hub {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    mutable KeptRankings kept; // the hub's kept rankings, as the program keeps them
    Hub()
    {
        ApplyProgramProfileTables(state);
        state.config.DataFolder = dir.path() + u'/';
        state.roster.SchoolYear = 2023;
        clock.date = QDate(2024, 2, 7); // a Wednesday
        for (int L = 1; L <= 6; ++L) {
            state.criteria.CritTargetTime[L] = 60;
            state.criteria.CritPassTime[L] = 120;
            state.criteria.CritPointRate[L] = 1;
            state.criteria.CritClearPoints[L] = 30;
            state.criteria.CritClearCount[L] = 3;
            state.criteria.CritPassDays[L] = Variant(7);
            state.criteria.CritOverDays[L] = Variant(7);
        }
    }
    // Lists a student on the roster: number, name, grade index.
    void student(int s, const QString &name, int g)
    {
        const int k = ++state.roster.RosterCount;
        state.roster.RosterNumbers[k] = static_cast<int16_t>(s);
        state.roster.StudentNames[s] = fixedRosterText(name);
        state.roster.StudentBirthYears[s] = static_cast<int16_t>(2023 - g - 6);
    }
    ResultsFile file() const { return ResultsFile(resultsFilePath(state)); }
    void run(int s, int level, int time, int daysAgo = 0, double timeOfDay = 0.5)
    {
        ResultRecord r;
        r.ResultRecDate = dayNumber(clock.date) - daysAgo;
        r.ResultRecClock = timeOfDay;
        r.ResultRecStudentNo = static_cast<int16_t>(s);
        r.ResultRecLevel = static_cast<int16_t>(level);
        r.ResultRecTime = time;
        QString err;
        file().append(r, &err);
    }
    void tally() { TallyResults(state, clock, file()); }
};

// The points ranking of `level` by the rules written plainly: the roster in order, sorted
// (stably) on the ordering points, most first, then the other points; ranks judged on the
// ordering points alone; today's order lists only those with points today; the grade
// filter only hides lines. As (student, rank) pairs.
std::vector<std::pair<int, int>> plainPointsRanking(const Hub &h, int level, int order, const QString &filter)
{
    const Tallies &t = h.state.tallies;
    const auto &numbers = h.state.roster.RosterNumbers;
    auto points = [&](int s) { return order == CumulativeOrder ? t.AllPoints(level, s) : t.TodayPoints(level, s); };
    auto others = [&](int s) { return order == CumulativeOrder ? t.TodayPoints(level, s) : t.AllPoints(level, s); };
    std::vector<int> sorted(numbers.begin() + 1, numbers.begin() + 1 + h.state.roster.RosterCount);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int x, int y) {
        return points(x) != points(y) ? points(x) > points(y) : others(x) > others(y);
    });
    const GradeFilter passes(filter);
    std::vector<std::pair<int, int>> want;
    int rank = 0;
    for (size_t k = 0; k < sorted.size(); ++k) {
        if (k == 0 || points(sorted[k]) != points(sorted[k - 1]))
            rank = static_cast<int>(k) + 1;
        if ((order == TodayOrder && points(sorted[k]) == 0) || !passes.matches(gradeIndexOfStudent(h.state, sorted[k])))
            continue;
        want.emplace_back(sorted[k], rank);
    }
    return want;
}

// Student numbers from `first` to at most `last`, each 1..widest after the one before, in
// a random order: a roster with gaps.
std::vector<int> studentsWithGaps(std::mt19937 &gen, int first, int last, int widest)
{
    std::vector<int> listed;
    for (int s = first; s <= last; s += 1 + static_cast<int>(gen() % static_cast<unsigned>(widest)))
        listed.push_back(s);
    std::shuffle(listed.begin(), listed.end(), gen);
    return listed;
}

// The same ranking as the program makes it.
std::vector<std::pair<int, int>> pointsRanking(const Hub &h, int level, int order, const QString &filter)
{
    std::vector<std::pair<int, int>> got;
    for (const RankedStudent &e : rankStudents(h.state, h.kept, level, PointsDisplay, order, filter).shown)
        got.emplace_back(e.student, e.rank);
    return got;
}

} // namespace

TEST(Rankings, TimeRankingWithTiesAndStudentsWithoutTime)
{
    Hub h;
    h.student(1, QStringLiteral("あ"), 3);
    h.student(2, QStringLiteral("い"), 3);
    h.student(3, QStringLiteral("う"), 3);
    h.student(4, QStringLiteral("え"), 3);
    h.student(5, QStringLiteral("お"), 3);
    h.student(6, QStringLiteral("か"), 8);
    h.run(4, 1, 50);
    h.run(2, 1, 45);
    h.run(3, 1, 45);
    h.run(1, 1, 40);
    h.run(6, 1, kTimedOut); // a timed-out run leaves no time
    h.tally();
    h.state.student.CurrentStudent = 3;
    const QStringList lines = rankingLines(h.state, h.kept, 1, TimeDisplay, 0, QStringLiteral("全学年"));
    EXPECT_EQ(lines, (QStringList{
                         QStringLiteral(" 1③あ　　　　    40 　"),
                         QStringLiteral(" 2③い　　　　    45 　"),
                         QStringLiteral(" 2●う　　　　    45 ●"),
                         QStringLiteral(" 4③え　　　　    50 　"),
                         QStringLiteral("--③お　　　　------ 　"),
                         QStringLiteral("--Ⅱか　　　　------ 　"),
                     }));
    // The filter hides lines but keeps the ranks.
    const QStringList junior = rankingLines(h.state, h.kept, 1, TimeDisplay, 0, QStringLiteral("中学生全体"));
    EXPECT_EQ(junior, QStringList{QStringLiteral("--Ⅱか　　　　------ 　")});
    EXPECT_TRUE(rankingLines(h.state, h.kept, 1, TimeDisplay, 0, QStringLiteral("小学生")).isEmpty());
}

TEST(Rankings, StudentNumberZeroShowsAsAStudentWithoutRunsEverywhere)
{
    // A roster line may carry student number 0. The reader keeps no record of it, so he
    // has no runs: he ranks as "い" (who never ran) does, in every ranking, and no view
    // lists a run of his.
    Hub h;
    h.student(1, QStringLiteral("あ"), 3);
    h.student(0, QStringLiteral("ゼロ"), 3);
    h.student(2, QStringLiteral("い"), 3);
    h.run(0, 1, 30);
    h.run(0, 1, 31, 2);
    h.run(1, 1, 50);
    h.tally();
    h.state.student.CurrentStudent = 1;
    const QString all = QStringLiteral("全学年");
    EXPECT_EQ(rankingLines(h.state, h.kept, 1, TimeDisplay, 0, all),
              (QStringList{QStringLiteral(" 1●あ　　　　    50 ●"), QStringLiteral("--③ゼロ　　　------ 　"),
                           QStringLiteral("--③い　　　　------ 　")}));
    EXPECT_EQ(rankingLines(h.state, h.kept, 1, PointsDisplay, CumulativeOrder, all),
              (QStringList{QStringLiteral(" 1●あ　　　　  5/    5"), QStringLiteral(" 2③ゼロ　　　  0/    0"),
                           QStringLiteral(" 2③い　　　　  0/    0")}));
    EXPECT_EQ(rankingLines(h.state, h.kept, 1, PointsDisplay, TodayOrder, all).size(), 1);
    const SheetRankFigures zero = sheetFigures(h.state, h.kept, 1, 0, CumulativeOrder, all);
    EXPECT_EQ(zero.TimeRank, QStringLiteral("---"));
    EXPECT_EQ(zero.PointsEarned, 0);

    LevelLists lists;
    QString err;
    ASSERT_TRUE(todayLines(h.state, h.clock, h.file(), all, lists, &err));
    EXPECT_EQ(lists[1], QStringList{QStringLiteral("  50秒 12:00●あ　　　　●5")});
    ASSERT_TRUE(periodLines(h.state, h.clock, h.file(), all, 30, TimeDisplay, lists, &err));
    EXPECT_EQ(lists[1].size(), 1);
    h.state.student.CurrentStudent = 0;
    ASSERT_TRUE(personalTimesLines(h.state, h.clock, h.file(), all, lists, &err));
    EXPECT_TRUE(lists[1].isEmpty());
}

TEST(Rankings, LinesLineUpWhateverTheNamesAreWrittenIn)
{
    Hub h;
    h.student(1, QStringLiteral("ﾔﾏﾀﾞ ﾊﾅｺ"), 3);
    h.student(2, QStringLiteral("佐々木小次郎"), 3);
    h.student(3, QStringLiteral("ｱ佐々木小次"), 3);
    h.student(4, QStringLiteral("林"), 3);
    for (int s = 1; s <= 4; ++s)
        h.run(s, 1, 40 + s);
    h.tally();
    h.state.student.CurrentStudent = 1;
    for (const int mode : {TimeDisplay, PointsDisplay}) {
        const QStringList lines = rankingLines(h.state, h.kept, 1, mode, CumulativeOrder, QStringLiteral("全学年"));
        ASSERT_EQ(lines.size(), 4);
        for (const QString &line : lines)
            EXPECT_EQ(displayCells(line), displayCells(lines.first())) << line.toStdString();
    }
}

TEST(Rankings, PointsRankingOrdersAndTies)
{
    Hub h;
    h.student(1, QStringLiteral("あ"), 3);
    h.student(2, QStringLiteral("い"), 3);
    h.student(3, QStringLiteral("う"), 3);
    h.student(4, QStringLiteral("え"), 3);
    // Points of a run: t = 0 gives 55; t = 30 gives 11; t = 61 gives 4.
    // あ: 120 so far, 10 today; い: 120 so far, 30 today; う: 90 so far, 0 today.
    auto give = [&](int s, int total, int today) {
        int rest = total - today;
        while (rest >= 55) {
            h.run(s, 2, 0, 3);
            rest -= 55;
        }
        while (rest >= 11) {
            h.run(s, 2, 30, 3);
            rest -= 11;
        }
        while (rest >= 4) {
            h.run(s, 2, 61, 3);
            rest -= 4;
        }
        while (rest >= 1) {
            h.run(s, 2, 120, 3);
            rest -= 1;
        }
        int t = today;
        while (t >= 11) {
            h.run(s, 2, 30);
            t -= 11;
        }
        while (t >= 4) {
            h.run(s, 2, 61);
            t -= 4;
        }
        while (t >= 1) {
            h.run(s, 2, 120);
            t -= 1;
        }
    };
    give(1, 120, 10);
    give(2, 120, 30);
    give(3, 90, 0);
    h.tally();
    ASSERT_EQ(h.state.tallies.AllPoints(2, 1), 120);
    ASSERT_EQ(h.state.tallies.TodayPoints(2, 2), 30);
    const QStringList cumulative =
        rankingLines(h.state, h.kept, 2, PointsDisplay, CumulativeOrder, QStringLiteral("全学年"));
    EXPECT_EQ(cumulative,
              (QStringList{QStringLiteral(" 1③い　　　　 30/  120"), QStringLiteral(" 1③あ　　　　 10/  120"),
                           QStringLiteral(" 3③う　　　　  0/   90"), QStringLiteral(" 4③え　　　　  0/    0")}));
    const QStringList today = rankingLines(h.state, h.kept, 2, PointsDisplay, TodayOrder, QStringLiteral("全学年"));
    EXPECT_EQ(today, (QStringList{QStringLiteral(" 1③い　　　　 30/  120"), QStringLiteral(" 2③あ　　　　 10/  120")}));
}

TEST(Periods, WeekRulesOnMondayAndSunday)
{
    const QDate monday(2024, 2, 5), sunday(2024, 2, 11), wednesday(2024, 2, 7);
    EXPECT_EQ(resultListDaysFor(1, monday), 1);
    EXPECT_EQ(resultListDaysFor(1, sunday), 7);
    EXPECT_EQ(resultListDaysFor(1, wednesday), 3);
    EXPECT_EQ(resultListDaysFor(2, monday), 8);
    EXPECT_EQ(resultListDaysFor(2, sunday), 14);
    EXPECT_EQ(resultListDaysFor(3, monday), 30);
    EXPECT_EQ(resultListDaysFor(4, monday), 365);
    EXPECT_EQ(resultListDaysFor(5, monday), 3650);

    Hub h;
    h.clock.date = monday;
    h.student(1, QStringLiteral("あ"), 3);
    h.run(1, 1, 30, 0);
    h.run(1, 1, 31, 1); // Sunday: last week
    LevelLists lists;
    QString err;
    ASSERT_TRUE(periodLines(h.state, h.clock, h.file(), QStringLiteral("全学年"), resultListDaysFor(1, monday),
                            TimeDisplay, lists, &err));
    ASSERT_EQ(lists[1].size(), 1);
    EXPECT_EQ(lists[1][0], QStringLiteral("  30秒 02/05③あ　　　　③11"));
    ASSERT_TRUE(periodLines(h.state, h.clock, h.file(), QStringLiteral("全学年"), resultListDaysFor(2, monday),
                            PointsDisplay, lists, &err));
    EXPECT_EQ(lists[1], (QStringList{QStringLiteral("   11 02/05③あ　　　　③30秒"),
                                     QStringLiteral("   10 02/04③あ　　　　③31秒")}));
}

TEST(TodayView, LooksAtTheLast1000RecordsOnlyAndMarksTheCurrentStudent)
{
    Hub h;
    h.student(1, QStringLiteral("あ"), 3);
    h.student(2, QStringLiteral("い"), 8);
    h.state.student.CurrentStudent = 2;
    h.run(1, 1, 30, 0, dayFraction(9 * 3600 + 5 * 60)); // record 1: outside the last 1000
    for (int i = 0; i < 499; ++i)
        h.run(1, 1, 30, 1);
    h.run(1, 1, 45, 0, dayFraction(9 * 3600 + 5 * 60)); // record 501: the first one looked at
    for (int i = 0; i < 998; ++i)
        h.run(1, 2, 30, 1);
    h.run(2, 1, kTimedOut, 0, dayFraction(15 * 3600 + 30 * 60));
    LevelLists lists;
    QString err;
    int64_t lastProgress = 0, maximum = 0;
    ASSERT_TRUE(
        todayLines(h.state, h.clock, h.file(), QStringLiteral("全学年"), lists, &err, [&](int64_t v, int64_t m) {
            lastProgress = v;
            maximum = m;
        }));
    EXPECT_EQ(lists[1],
              (QStringList{QStringLiteral("  45秒 09:05③あ　　　　③5"), QStringLiteral("　　× 15:30●い　　　　●")}));
    EXPECT_TRUE(lists[2].isEmpty());
    EXPECT_EQ(lastProgress, 1500);
    EXPECT_EQ(maximum, 1651);
}

TEST(RunViews, RecordsWithImpossibleDatesAreLeftOut)
{
    Hub h;
    h.student(1, QStringLiteral("あ"), 3);
    h.state.student.CurrentStudent = 1;
    h.run(1, 1, 30, 1);
    for (double date : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN(), 1e300, 1e19, 9e15}) {
        ResultRecord r;
        r.ResultRecDate = date;
        r.ResultRecClock = std::numeric_limits<double>::quiet_NaN();
        r.ResultRecStudentNo = 1;
        r.ResultRecLevel = 1;
        r.ResultRecTime = 40;
        QString err;
        ASSERT_GT(h.file().append(r, &err), 0);
    }
    LevelLists lists;
    QString err;
    ASSERT_TRUE(periodLines(h.state, h.clock, h.file(), QStringLiteral("全学年"), resultListDaysFor(5, h.clock.date),
                            TimeDisplay, lists, &err));
    EXPECT_EQ(lists[1].size(), 1);
    ASSERT_TRUE(personalTimesLines(h.state, h.clock, h.file(), QStringLiteral("全学年"), lists, &err));
    EXPECT_EQ(lists[1], QStringList{personalTimeLine(dayNumber(h.clock.date) - 1, 0.5, 30)});
    ASSERT_TRUE(todayLines(h.state, h.clock, h.file(), QStringLiteral("全学年"), lists, &err));
    EXPECT_TRUE(lists[1].isEmpty());
}

TEST(Availability, BarsByRunsButNeverTheLastLevelAndLiftsWhenItIsCleared)
{
    Hub h;
    h.state.student.CurrentStudent = 1;
    h.state.criteria.CritOverRuns[2] = Variant(3);
    h.state.criteria.CritOverRuns[3] = Variant(0);
    h.state.criteria.CritOverRuns[6] = Variant(1);
    for (int i = 0; i < 3; ++i) {
        h.run(1, 2, 70);
        h.run(1, 3, 70);
        h.run(1, 6, 130); // 1 point each: the last level stays uncleared
    }
    h.tally();
    Availability a = availabilityPass(h.state);
    EXPECT_EQ(a.freeStatus, 0);
    EXPECT_FALSE(a.enabled[2]);
    EXPECT_TRUE(a.barred[2]);
    EXPECT_TRUE(a.enabled[3]); // barring runs of 0 never bar
    EXPECT_TRUE(a.enabled[6]); // the last level is never barred
    EXPECT_FALSE(a.barred[6]);
    EXPECT_TRUE(a.enabled[1]);

    for (int i = 0; i < 3; ++i)
        h.run(1, 6, 0); // 55 points each: the last level is cleared
    h.tally();
    a = availabilityPass(h.state);
    EXPECT_EQ(a.freeStatus, 1);
    EXPECT_TRUE(a.enabled[2]);
    EXPECT_FALSE(a.barred[2]);
}

TEST(HubColumns, TextsOfAColumn)
{
    Hub h;
    EXPECT_EQ(columnWidthTwips(6), 3456);
    EXPECT_EQ(columnWidthTwips(3), 4864);
    EXPECT_EQ(startButtonCaption(3), QStringLiteral("ｽﾀｰﾄ(&3)"));
    h.state.criteria.CritTargetTime[1] = 45;
    h.state.criteria.CritClearCount[1] = 5;
    h.state.criteria.CritClearPoints[1] = 100;
    h.state.criteria.CritPointRate[1] = 1.5f;
    EXPECT_EQ(criteriaLine(h.state, 1), QStringLiteral("目標=45秒 5回/100点(×1.5)"));
    h.state.criteria.CritClearPoints[1] = 9999;
    EXPECT_EQ(criteriaLine(h.state, 1), QStringLiteral("目標=45秒 --------"));
    h.state.student.CurrentStudent = 1;
    EXPECT_EQ(todayValue(h.state, 1, 1), QStringLiteral("-----"));
    EXPECT_EQ(soFarValue(h.state, 1, 1), QStringLiteral("------"));
    h.run(1, 1, 30);
    h.run(1, 1, 30, 2);
    h.tally();
    // Target 45 and rate 1.5: a run of 30 s earns 6 base points, 9 points.
    EXPECT_EQ(todayValue(h.state, 1, 1), QStringLiteral("1回/9点"));
    EXPECT_EQ(soFarValue(h.state, 1, 1), QStringLiteral("2回/18点"));
    EXPECT_EQ(passWindowLine(h.state, 1, 1), QStringLiteral("最近7日=2回 / 18点"));
    EXPECT_TRUE(isTeacher(QStringLiteral("佐藤先生")));
    EXPECT_TRUE(isTeacher(QStringLiteral("★田中")));
    EXPECT_FALSE(isTeacher(QStringLiteral("先田")));
}

TEST(Rankings, PointsOrderWeighsTheOrderingPointsFirstWhateverTheOtherPoints)
{
    // 1000 points or more at a level must not outweigh one point of the ordering kind.
    Hub h;
    h.student(1, QStringLiteral("あ"), 3);
    h.student(2, QStringLiteral("い"), 3);
    h.student(3, QStringLiteral("う"), 3);
    h.student(4, QStringLiteral("え"), 3);
    auto set = [&](int s, int today, int all) {
        h.state.tallies.TodayPoints(1, s) = today;
        h.state.tallies.AllPoints(1, s) = all;
    };
    set(1, 5, 1050);
    set(2, 6, 6);
    set(3, 0, 2000);
    set(4, 5, 1049);
    EXPECT_EQ(rankingLines(h.state, h.kept, 1, PointsDisplay, TodayOrder, QStringLiteral("全学年")),
              (QStringList{QStringLiteral(" 1③い　　　　  6/    6"), QStringLiteral(" 2③あ　　　　  5/ 1050"),
                           QStringLiteral(" 2③え　　　　  5/ 1049")}));
    set(2, 1000, 1999);
    EXPECT_EQ(rankingLines(h.state, h.kept, 1, PointsDisplay, CumulativeOrder, QStringLiteral("全学年")),
              (QStringList{QStringLiteral(" 1③う　　　　  0/ 2000"), QStringLiteral(" 2③い　　　　000/ 1999"),
                           QStringLiteral(" 3③あ　　　　  5/ 1050"), QStringLiteral(" 4③え　　　　  5/ 1049")}));
}

TEST(Rankings, OrderIsOrderingPointsThenOtherPointsThenRosterOrder)
{
    // Many students with few distinct points, some far above 1000: the order must be the
    // ordering points, most first, then the other points, then the roster order.
    Hub h;
    std::mt19937 gen(5);
    for (int s = 1; s <= 300; ++s)
        h.student(s, QStringLiteral("生徒%1").arg(s), 1 + static_cast<int>(gen() % 9));
    for (int s = 1; s <= 300; ++s) {
        h.state.tallies.TodayPoints(1, s) = static_cast<int32_t>(gen() % 4);
        h.state.tallies.AllPoints(1, s) = static_cast<int32_t>(gen() % 3) * 1200 + h.state.tallies.TodayPoints(1, s);
    }
    for (int order : {CumulativeOrder, TodayOrder}) {
        const Ranking r = rankStudents(h.state, h.kept, 1, PointsDisplay, order, QStringLiteral("全学年"));
        const Tallies &t = h.state.tallies;
        auto keyOf = [&](int s) {
            const int p = order == CumulativeOrder ? t.AllPoints(1, s) : t.TodayPoints(1, s);
            const int q = order == CumulativeOrder ? t.TodayPoints(1, s) : t.AllPoints(1, s);
            return std::pair(-p, -q);
        };
        std::vector<int> expected;
        for (int k = 1; k <= h.state.roster.RosterCount; ++k)
            expected.push_back(h.state.roster.RosterNumbers[k]);
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) { return keyOf(a) < keyOf(b); });
        std::erase_if(expected, [&](int s) { return order == TodayOrder && t.TodayPoints(1, s) == 0; });
        std::vector<int> got;
        for (const RankedStudent &e : r.shown)
            got.push_back(e.student);
        EXPECT_EQ(got, expected);
        // Ranks are judged on the ordering points alone.
        for (size_t k = 1; k < r.shown.size(); ++k) {
            const bool tied = keyOf(r.shown[k].student).first == keyOf(r.shown[k - 1].student).first;
            EXPECT_EQ(r.shown[k].rank == r.shown[k - 1].rank, tied) << k;
        }
    }
}

TEST(Rankings, OrderHoldsForPointsFarApartAndBelowNone)
{
    // Points spread far wider than the roster, and points below none (a negative rate),
    // where students without points no longer come last.
    struct Case {
        const char *what;
        std::function<int32_t(std::mt19937 &)> points;
    };
    const std::vector<Case> cases{
        {"far apart", [](std::mt19937 &g) { return static_cast<int32_t>(g() % 3) * 900000; }},
        {"below none", [](std::mt19937 &g) { return static_cast<int32_t>(g() % 5) - 2; }},
        {"extremes",
         [](std::mt19937 &g) {
             const int32_t v[] = {INT32_MIN, -1, 0, 0, 1, INT32_MAX};
             return v[g() % 6];
         }},
    };
    for (const Case &c : cases) {
        Hub h;
        std::mt19937 gen(9);
        for (int s = 1; s <= 200; ++s)
            h.student(s, QStringLiteral("生徒%1").arg(s), 3);
        Tallies &t = h.state.tallies;
        for (int s = 1; s <= 200; ++s) {
            t.TodayPoints(1, s) = c.points(gen);
            t.AllPoints(1, s) = c.points(gen);
        }
        for (int order : {CumulativeOrder, TodayOrder}) {
            const QString all = QStringLiteral("全学年");
            EXPECT_EQ(pointsRanking(h, 1, order, all), plainPointsRanking(h, 1, order, all))
                << c.what << ", order " << order;
        }
    }
}

TEST(Rankings, BigSchoolsRankAsTheRulesSayWhateverTheRosterAndPoints)
{
    // A school big enough to be ranked the quick way, against the rules written plainly:
    // students off the roster with points far above the rest, students with points
    // today but none so far, and a roster that lists one student twice.
    struct Case {
        const char *what;
        bool listTwice;
    };
    for (const Case c : {Case{"every student once", false}, Case{"one student listed twice", true}}) {
        Hub h;
        std::mt19937 gen(21);
        std::vector<int> listed;
        for (int s = 3; s <= 4000; s += 1 + static_cast<int>(gen() % 3))
            listed.push_back(s);
        std::shuffle(listed.begin(), listed.end(), gen);
        if (c.listTwice)
            listed.push_back(listed[5]);
        for (const int s : listed)
            h.student(s, QStringLiteral("生徒%1").arg(s), 3);
        Tallies &t = h.state.tallies;
        for (int s = 1; s <= 5000; ++s) {
            const bool onRoster = std::find(listed.begin(), listed.end(), s) != listed.end();
            t.AllPoints(2, s) = onRoster ? static_cast<int32_t>(gen() % 4 == 0 ? 0 : gen() % 300) : 20000;
            t.TodayPoints(2, s) = onRoster && gen() % 5 == 0 ? static_cast<int32_t>(gen() % 4) : 0;
        }
        for (const int order : {CumulativeOrder, TodayOrder}) {
            const QString all = QStringLiteral("全学年");
            EXPECT_EQ(pointsRanking(h, 2, order, all), plainPointsRanking(h, 2, order, all))
                << c.what << ", order " << order;
        }
    }
}

TEST(Rankings, NothingOfOneRosterShowsInTheRankingOfAnother)
{
    // Rankings keep work between calls: a roster changed in place (same count, other
    // numbers or order) and two schools ranked in turn must each rank as the plain rules
    // say, and a grade filter only hides lines.
    Hub a, b;
    std::mt19937 gen(8);
    auto fill = [&](Hub &h, int from) {
        for (int s = from; s < from + 200; ++s)
            h.student(s, QStringLiteral("生徒%1").arg(s), static_cast<int>(gen() % 9) + 1);
        std::shuffle(h.state.roster.RosterNumbers.begin() + 1, h.state.roster.RosterNumbers.begin() + 201, gen);
        for (int s = 1; s <= kMaxStudent; ++s) {
            h.state.tallies.AllPoints(2, s) = static_cast<int32_t>(gen() % 3 == 0 ? 0 : gen() % 50);
            h.state.tallies.TodayPoints(2, s) = static_cast<int32_t>(gen() % 4 == 0 ? gen() % 3 : 0);
        }
    };
    fill(a, 1);
    fill(b, 301);
    auto expectPlain = [&](const Hub &h, const char *what) {
        for (const QString &filter : {QStringLiteral("全学年"), QStringLiteral("小５")})
            for (const int order : {CumulativeOrder, TodayOrder})
                EXPECT_EQ(pointsRanking(h, 2, order, filter), plainPointsRanking(h, 2, order, filter))
                    << what << ", order " << order << ", " << filter.toStdString();
    };
    auto &numbers = a.state.roster.RosterNumbers;
    expectPlain(a, "first school");
    expectPlain(b, "second school");
    expectPlain(a, "first school again");
    std::swap(numbers[1], numbers[200]);
    expectPlain(a, "two students swapped");
    numbers[7] = 250; // a student of the same school not listed before
    expectPlain(a, "a student replaced");
    expectPlain(b, "second school again");
}

TEST(Rankings, RankingsFollowPointsThatChangeBetweenLooks)
{
    // Rankings are kept between looks and only the students whose points changed are
    // moved: after every kind of change, each ranking must be the one the plain rules make.
    Hub h;
    std::mt19937 gen(31);
    const std::vector<int> listed = studentsWithGaps(gen, 2, 1201, 2);
    for (const int s : listed)
        h.student(s, QStringLiteral("生徒%1").arg(s), static_cast<int>(gen() % 9) + 1);
    const int highest = *std::max_element(listed.begin(), listed.end());
    Tallies &t = h.state.tallies;
    for (const int s : listed) {
        t.AllPoints(3, s) = gen() % 2 ? 0 : static_cast<int32_t>(gen() % 40);
        t.TodayPoints(3, s) = gen() % 6 ? 0 : static_cast<int32_t>(gen() % 5);
    }
    auto any = [&] { return listed[gen() % listed.size()]; };
    struct Change {
        const char *what;
        std::function<void()> make;
    };
    const std::vector<Change> changes = {
        {"a run with points", [&] { t.AllPoints(3, any()) += 1 + static_cast<int32_t>(gen() % 30); }},
        {"a run today",
         [&] {
             const int s = any();
             const int32_t p = 1 + static_cast<int32_t>(gen() % 4);
             t.AllPoints(3, s) += p;
             t.TodayPoints(3, s) += p;
         }},
        {"from none to the top",
         [&] {
             const int s = any();
             t.AllPoints(3, s) = 0;
             t.TodayPoints(3, s) = 0;
             EXPECT_EQ(pointsRanking(h, 3, CumulativeOrder, QStringLiteral("全学年")),
                       plainPointsRanking(h, 3, CumulativeOrder, QStringLiteral("全学年")));
             t.AllPoints(3, s) = 1000;
         }},
        {"all points gone",
         [&] {
             const int s = any();
             t.AllPoints(3, s) = 0;
             t.TodayPoints(3, s) = 0;
         }},
        {"today's points gone", [&] { t.TodayPoints(3, any()) = 0; }},
        {"level with another",
         [&] {
             const int s = any(), u = any();
             t.AllPoints(3, s) = t.AllPoints(3, u);
             t.TodayPoints(3, s) = t.TodayPoints(3, u);
         }},
        {"the highest-numbered student", [&] { t.AllPoints(3, highest) = static_cast<int32_t>(gen() % 50); }},
        {"students off the roster",
         [&] {
             t.AllPoints(3, 1) += 7;
             t.TodayPoints(3, highest + 1) += 3;
         }},
        {"many at once",
         [&] {
             for (int i = 0; i < 40; ++i)
                 t.AllPoints(3, any()) = static_cast<int32_t>(gen() % 40);
         }},
        {"points below none, then back",
         [&] {
             const int s = any();
             const int32_t was = t.AllPoints(3, s);
             t.AllPoints(3, s) = -5;
             EXPECT_EQ(pointsRanking(h, 3, CumulativeOrder, QStringLiteral("全学年")),
                       plainPointsRanking(h, 3, CumulativeOrder, QStringLiteral("全学年")));
             t.AllPoints(3, s) = was;
         }},
        {"points above the counted ones", [&] { t.AllPoints(3, any()) = 40000 + static_cast<int32_t>(gen() % 9); }},
        {"back under them",
         [&] {
             for (const int s : listed)
                 if (t.AllPoints(3, s) > 30000)
                     t.AllPoints(3, s) = 33;
         }},
        {"several apart",
         [&] {
             for (int i = 0; i < 5; ++i)
                 t.TodayPoints(3, any()) = static_cast<int32_t>(gen() % 3);
         }},
        {"nothing", [] {}},
    };
    for (int round = 0; round < 300; ++round) {
        const Change &c = changes[gen() % changes.size()];
        c.make();
        for (const QString &filter : {QStringLiteral("全学年"), QStringLiteral("中１")})
            for (const int order : {CumulativeOrder, TodayOrder})
                ASSERT_EQ(pointsRanking(h, 3, order, filter), plainPointsRanking(h, 3, order, filter))
                    << "round " << round << ", after " << c.what << ", order " << order << ", " << filter.toStdString();
    }
}
