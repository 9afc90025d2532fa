// The class overview's figures, checked against the hub's own tallies of the same file,
// its order, its marks, the setting kept on this PC, the workbook, and who may use it.
#include "admin/ClassOverview.h"
#include "results/Tally.h"
#include "state/SharedState.h"
#include "support/TestSupport.h"
#include "support/WorkbookReader.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <map>
#include <tuple>

#include <unistd.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct Host final : ClassOverviewHost {
    void refresh() override { ++refreshes; }
    void rowsChanged() override { ++rebuilds; }
    void tell(const QString &text) override { told << text; }
    void showSheet(int student) override { sheets.push_back(student); }
    int refreshes = 0, rebuilds = 0;
    QStringList told;
    std::vector<int> sheets;
};

constexpr int kLevels = 2;

struct Overview {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    Host host;
    ClassOverviewLogic logic{state, clock, {}, host, dir.path() + QStringLiteral("/config/tobrel/class-overview.conf")};

    Overview()
    {
        state.config.DataRoot = dir.path() + u'/';
        state.config.DataFolder = dir.path() + QStringLiteral("/squares/");
        QDir().mkpath(state.config.DataFolder);
        state.config.SchoolYearStartMonth = 4;
        state.config.SchoolName = QStringLiteral("みなと塾");
        state.profile.LevelCount = kLevels;
        for (int L = 1; L <= kLevels; ++L) {
            state.profile.LevelNames[L] = QStringLiteral("二乗%1").arg(L);
            state.criteria.CritTargetTime[L] = 60;
            state.criteria.CritPointRate[L] = L == 1 ? 1.0f : 1.5f;
            state.criteria.CritClearPoints[L] = 30;
            state.criteria.CritClearCount[L] = 3;
            state.criteria.CritPassDays[L] = Variant(7.0);
            state.criteria.CritOverDays[L] = Variant(0.0);
        }
        // School year 2023: students 1 and 2 in primary years 2 and 3, 3 in junior high
        // year 1, 4 the teacher (an adult), listed last.
        state.roster.SchoolYear = 2023;
        const std::vector<std::tuple<int, int, QString>> roster = {
            {1, 2015, QStringLiteral("佐藤　翔太")},
            {2, 2014, QStringLiteral("髙橋　健一")},
            {3, 2010, QStringLiteral("安藤　結衣")},
            {4, 1980, QStringLiteral("佐藤先生")},
        };
        for (const auto &[s, born, name] : roster) {
            ++state.roster.RosterCount;
            state.roster.RosterNumbers[static_cast<size_t>(state.roster.RosterCount)] = static_cast<int16_t>(s);
            state.roster.StudentBirthYears[static_cast<size_t>(s)] = static_cast<int16_t>(born);
            state.roster.StudentNames[static_cast<size_t>(s)] = name;
        }
        state.student.CurrentStudent = 4;
        state.student.CurrentStudentName = QStringLiteral("佐藤先生");
    }
    void write(const std::vector<ResultRecord> &records)
    {
        ASSERT_TRUE(writeFile(resultsFilePath(state), recordBytes(records)));
    }
    ResultsFile file() const { return sharedResultsFile(state); }
    int column(int level, int within) const
    {
        return ClassOverviewLogic::kOwnColumns + (level - 1) * ClassOverviewLogic::kPerLevel + within;
    }
    std::vector<int> students() const
    {
        std::vector<int> s;
        for (int line = 0; line < logic.rowCount(); ++line)
            s.push_back(logic.studentOfLine(line));
        return s;
    }
};

// Runs of every kind on each day from `first` to `last`: completed runs of several
// points, a timed-out run, a run too slow for points and one of an unusual length.
std::vector<ResultRecord> runsEveryDay(const QDate &first, const QDate &last)
{
    std::vector<ResultRecord> runs;
    int k = 0;
    for (QDate d = first; d <= last; d = d.addDays(1), ++k) {
        const TestRun on = TestRun{}.on(d);
        runs.push_back(on(1, 1, 20 + k % 30)); // points from the formula
        runs.push_back(on(1, 2, 61)); // 4 points
        runs.push_back(on(2, 1, 99999)); // timed out: no run, no points
        if (k % 3 == 0)
            runs.push_back(on(2, 2, 1500 + k)); // completed, no points, outside the table
        if (k % 4 == 1)
            runs.push_back(on(3, 1, 45));
    }
    return runs;
}

// The hub's figures inside the last `days` days (today included): its pass window set
// to that many days.
struct HubWindow {
    std::map<std::pair<int, int>, std::pair<int, int>> runsAndPoints; // (level, student)
};
HubWindow hubWindow(Overview &o, int days)
{
    const CriteriaTable kept = o.state.criteria;
    for (int L = 1; L <= kLevels; ++L)
        o.state.criteria.CritPassDays[L] = Variant(static_cast<double>(days));
    EXPECT_TRUE(TallyResults(o.state, o.clock, o.file()).ok());
    o.state.criteria = kept;
    HubWindow w;
    for (int L = 1; L <= kLevels; ++L)
        for (int s = 1; s <= 4; ++s)
            w.runsAndPoints[{L, s}] = {o.state.tallies.PassRunCount(L, s), o.state.tallies.PassPoints(L, s)};
    return w;
}

} // namespace

// Each period at its limits: the overview's runs and points of the period are the hub's
// own tally over the same days, its runs in all the hub's AllRunCount, its clears the
// hub's LevelCleared.
TEST(ClassOverview, FiguresAreTheHubsTalliesForTheSamePeriod)
{
    struct Case {
        const char *what;
        QDate today;
        OverviewPeriod period;
        QDate first, last; // the period's days as the overview must take them
        QDate from{}, to{};
    };
    const std::vector<Case> cases = {
        {"today", QDate(2024, 2, 7), OverviewPeriod::Today, QDate(2024, 2, 7), QDate(2024, 2, 7)},
        {"week on its Monday", QDate(2024, 2, 5), OverviewPeriod::ThisWeek, QDate(2024, 2, 5), QDate(2024, 2, 5)},
        {"week on its Sunday", QDate(2024, 2, 11), OverviewPeriod::ThisWeek, QDate(2024, 2, 5), QDate(2024, 2, 11)},
        {"month on its first day", QDate(2024, 3, 1), OverviewPeriod::ThisMonth, QDate(2024, 3, 1), QDate(2024, 3, 1)},
        {"month on its last day", QDate(2024, 2, 29), OverviewPeriod::ThisMonth, QDate(2024, 2, 1), QDate(2024, 2, 29)},
        {"school year on its first day", QDate(2024, 4, 1), OverviewPeriod::SchoolYear, QDate(2024, 4, 1),
         QDate(2024, 4, 1)},
        {"school year on its last day", QDate(2024, 3, 31), OverviewPeriod::SchoolYear, QDate(2023, 4, 1),
         QDate(2024, 3, 31)},
        {"two dates the wrong way round", QDate(2024, 2, 7), OverviewPeriod::Between, QDate(2024, 1, 30),
         QDate(2024, 2, 2), QDate(2024, 2, 2), QDate(2024, 1, 30)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Overview o;
        o.clock.date = c.today;
        // From two days before the period's first day to today.
        o.write(runsEveryDay(c.first.addDays(-2), c.today));

        const DaySpan span = overviewPeriodSpan(c.period, c.today, 4, c.from, c.to);
        EXPECT_EQ(dateFromDayNumber(span.first), c.first);
        EXPECT_EQ(dateFromDayNumber(span.last), c.last);
        OverviewCounts counts;
        QString error;
        ASSERT_TRUE(countOverview(o.state, o.file(), c.today, span, &counts, &error)) << error.toStdString();

        // The hub's days up to today from the first day, less those after the last day.
        const HubWindow upTo = hubWindow(o, static_cast<int>(c.first.daysTo(c.today)) + 1);
        const HubWindow after = hubWindow(o, static_cast<int>(c.last.daysTo(c.today)));
        // The hub's own tally of the file, with the criteria as they are.
        ASSERT_TRUE(TallyResults(o.state, o.clock, o.file()).ok());
        const SharedState &hub = o.state;
        int periodRuns = 0;
        for (size_t row = 0; row < counts.students.size(); ++row) {
            const int s = counts.students[row];
            for (int L = 1; L <= kLevels; ++L) {
                SCOPED_TRACE(testing::Message() << "student " << s << " level " << L);
                const OverviewFigures &f = counts.at(row, L);
                const auto [runsUpTo, pointsUpTo] = upTo.runsAndPoints.at({L, s});
                const auto [runsAfter, pointsAfter] = after.runsAndPoints.at({L, s});
                EXPECT_EQ(f.periodRuns, runsUpTo - runsAfter);
                EXPECT_EQ(f.periodPoints, pointsUpTo - pointsAfter);
                EXPECT_EQ(f.allRuns, hub.tallies.AllRunCount(L, s));
                EXPECT_EQ(levelClearedBy(o.state.criteria, L, f.passPoints, f.passRuns), LevelCleared(hub, L, s));
                periodRuns += f.periodRuns;
            }
        }
        EXPECT_GT(periodRuns, 0); // the period is not empty
        // "すべて" takes every run: the hub's points so far.
        ASSERT_TRUE(countOverview(o.state, o.file(), c.today, overviewPeriodSpan(OverviewPeriod::All, c.today, 4),
                                  &counts, &error));
        for (size_t row = 0; row < counts.students.size(); ++row)
            for (int L = 1; L <= kLevels; ++L)
                EXPECT_EQ(counts.at(row, L).periodPoints, hub.tallies.AllPoints(L, counts.students[row]));
    }
}

// The best time is the fastest completed run of the period; the last run is the latest
// day of any run, a timed-out one too; damaged records are counted apart and deleted
// ones not at all.
TEST(ClassOverview, BestTimeLastRunAndDamagedRecords)
{
    Overview o;
    const TestRun mon = TestRun{}.on(QDate(2024, 2, 5)), tue = TestRun{}.on(QDate(2024, 2, 6)),
                  wed = TestRun{}.on(QDate(2024, 2, 7)), lastWeek = TestRun{}.on(QDate(2024, 2, 1));
    ResultRecord damaged = wed(1, 1, 10);
    damaged.ResultRecLevel = 99;
    ResultRecord deleted = wed(1, 1, 10);
    deleted.ResultRecLevel = 0;
    o.write({lastWeek(1, 1, 20), mon(1, 1, 50), tue(1, 1, 40), wed(1, 1, 99999), damaged, deleted, tue(2, 2, 70),
             wed(9, 1, 5)}); // 9 is not listed
    o.logic.Form_Load(); // this week: Monday 5th to today, Wednesday 7th
    const OverviewCounts &c = o.logic.counts();
    EXPECT_EQ(c.records, 8);
    EXPECT_EQ(c.damaged, 1);
    ASSERT_EQ(c.students, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(c.at(0, 1).periodBest, 40); // 20 was last week
    EXPECT_EQ(c.at(0, 1).periodRuns, 2);
    EXPECT_EQ(c.at(0, 1).allRuns, 3);
    EXPECT_EQ(dateFromDayNumber(c.at(0, 1).lastRun), QDate(2024, 2, 7));
    EXPECT_EQ(c.at(2, 1).periodBest, -1);
    EXPECT_EQ(o.logic.text(0, o.column(1, 2)), QStringLiteral("40秒"));
    EXPECT_EQ(o.logic.text(2, o.column(1, 2)), QString());
    EXPECT_TRUE(o.logic.view.DamagedLabel.contains(QStringLiteral("1 件")));
    EXPECT_EQ(o.logic.view.PeriodLabel, QStringLiteral("期間: 2024/02/05〜2024/02/07"));

    // A file that cannot be read says so and shows no figures.
    QFile::remove(resultsFilePath(o.state));
    QDir().mkpath(resultsFilePath(o.state)); // a folder where the file should be
    o.logic.PeriodCombo_Click(static_cast<int>(OverviewPeriod::All));
    ASSERT_EQ(o.host.told.size(), 1);
    EXPECT_TRUE(o.host.told[0].contains(QStringLiteral("成績ファイルを読めない")));
    EXPECT_TRUE(o.logic.counts().students.empty());
    // No lines, which would read as students who never ran (and be marked), and nothing
    // handed on until a read succeeds.
    EXPECT_TRUE(o.logic.view.ReadFailed);
    EXPECT_EQ(o.logic.rowCount(), 0);
    EXPECT_EQ(o.logic.view.CountLabel, QStringLiteral("成績ファイルを読めません"));
    QString error;
    EXPECT_FALSE(o.logic.writeWorkbook(o.dir.path() + QStringLiteral("/out.xlsx"), &error));
    EXPECT_EQ(error, ClassOverviewLogic::readFailedRefusal());
    EXPECT_FALSE(QFile::exists(o.dir.path() + QStringLiteral("/out.xlsx")));
    // Once the file reads again, so do the figures.
    QDir(resultsFilePath(o.state)).removeRecursively();
    o.write({mon(1, 1, 50)});
    o.logic.PeriodCombo_Click(static_cast<int>(OverviewPeriod::All));
    EXPECT_FALSE(o.logic.view.ReadFailed);
    EXPECT_EQ(o.logic.rowCount(), 4);
}

// A header sorts by its column; the same header again reverses. Students without the
// figure stand last either way; ties keep the roster order.
TEST(ClassOverview, SortsByAnyColumnAndReverses)
{
    Overview o;
    const TestRun wed = TestRun{}.on(QDate(2024, 2, 7));
    o.write({wed(1, 1, 50), wed(2, 1, 30), wed(2, 1, 31), wed(3, 1, 30)});
    o.logic.Form_Load();
    const int best = o.column(1, 2), runs = o.column(1, 0);
    o.logic.Header_Click(best);
    EXPECT_EQ(o.students(), (std::vector<int>{2, 3, 1, 4}));
    o.logic.Header_Click(best);
    EXPECT_TRUE(o.logic.view.SortDescending);
    EXPECT_EQ(o.students(), (std::vector<int>{1, 2, 3, 4})); // 4 has no best time: last
    o.logic.Header_Click(runs);
    EXPECT_FALSE(o.logic.view.SortDescending);
    EXPECT_EQ(o.students(), (std::vector<int>{4, 1, 3, 2}));
    o.logic.Header_Click(3); // the name
    EXPECT_EQ(o.students().size(), 4u);
    // The grade filter narrows the lines and keeps the order.
    o.logic.Header_Click(runs);
    o.logic.FilterCombo_Click(QStringLiteral("小学生全体"));
    EXPECT_EQ(o.students(), (std::vector<int>{1, 2}));
    o.logic.FilterCombo_Click(QStringLiteral("中１"));
    EXPECT_EQ(o.students(), (std::vector<int>{3}));

    // "逆順" before any sort turns the roster order round, and back.
    Overview r;
    r.write({wed(1, 1, 50)});
    r.logic.Form_Load();
    r.logic.Reverse_Click();
    EXPECT_EQ(r.students(), (std::vector<int>{4, 3, 2, 1}));
    r.logic.Reverse_Click();
    EXPECT_EQ(r.students(), (std::vector<int>{1, 2, 3, 4}));
}

// A student is marked after more than N days without a run; N is kept on this PC, and a
// missing, garbled or linked setting gives 7.
TEST(ClassOverview, MarksStudentsWithoutRecentRuns)
{
    Overview o;
    const QDate today(2024, 2, 7);
    o.write({TestRun{}.on(today.addDays(-7))(1, 1, 50), TestRun{}.on(today.addDays(-8))(2, 2, 99999),
             TestRun{}.on(today)(3, 1, 40), TestRun{}.on(today.addDays(1))(4, 1, 40)});
    o.logic.Form_Load();
    EXPECT_EQ(o.logic.view.InactiveDays, 7);
    auto marks = [&] {
        std::vector<bool> m;
        for (int line = 0; line < o.logic.rowCount(); ++line)
            m.push_back(o.logic.marked(line));
        return m;
    };
    // 1: seven days ago; 2: eight (a timed-out run is a visit all the same); 3: today;
    // 4: tomorrow (a PC whose clock runs ahead): a run of today, not "never".
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, false, false}));
    EXPECT_EQ(o.logic.text(1, 0), overviewMark());
    EXPECT_EQ(o.logic.text(1, 5), QStringLiteral("8"));
    EXPECT_EQ(o.logic.text(3, 5), QStringLiteral("0"));

    o.logic.Days_Change(8);
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false, false}));
    const QString path = o.dir.path() + QStringLiteral("/config/tobrel/class-overview.conf");
    EXPECT_EQ(readInactiveDays(path), 8);
    EXPECT_TRUE(o.host.told.isEmpty());

    // The next overview starts with it.
    ClassOverviewLogic again(o.state, o.clock, {}, o.host, path);
    again.Form_Load();
    EXPECT_EQ(again.view.InactiveDays, 8);

    for (const QByteArray &garbled : {QByteArray("inactive-days = x\n"), QByteArray("inactive-days = 0\n"),
                                      QByteArray("inactive-days = 5000\n"), QByteArray("\xff\xfe")}) {
        ASSERT_TRUE(writeFile(path, garbled));
        EXPECT_EQ(readInactiveDays(path), 7) << garbled.toStdString();
    }
    EXPECT_EQ(readInactiveDays(o.dir.path() + QStringLiteral("/none.conf")), 7);
    // A link is not followed, and writing replaces it rather than what it points at.
    const QString elsewhere = o.dir.path() + QStringLiteral("/elsewhere.conf");
    ASSERT_TRUE(writeFile(elsewhere, "inactive-days = 3\n"));
    QFile::remove(path);
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_EQ(readInactiveDays(path), 7);
    EXPECT_EQ(writeInactiveDays(path, 9), QString());
    EXPECT_EQ(readInactiveDays(path), 9);
    EXPECT_EQ(readFileBytes(elsewhere), QByteArray("inactive-days = 3\n"));
}

// The workbook holds the lines as shown: numbers as numbers, dates as dates, names and
// grades as text.
TEST(ClassOverview, WorkbookHoldsTheLinesTyped)
{
    Overview o;
    o.write({TestRun{}.on(QDate(2024, 2, 6))(2, 1, 42), TestRun{}.on(QDate(2024, 2, 7))(1, 2, 35)});
    o.logic.Form_Load();
    o.logic.Header_Click(o.column(1, 2)); // by the best time at level 1: student 2 first
    const QString path = o.dir.path() + QStringLiteral("/class.xlsx");
    QString error;
    ASSERT_TRUE(o.logic.writeWorkbook(path, &error)) << error.toStdString();
    const auto rows = sheetRows(zipEntries(path), QStringLiteral("xl/worksheets/sheet1.xml"));
    ASSERT_EQ(rows.size(), 5u); // the heading and four students
    auto cell = [&](size_t row, const QString &ref) {
        for (const StoredCell &c : rows[row])
            if (c.ref == ref)
                return c;
        return StoredCell{};
    };
    EXPECT_EQ(cell(1, QStringLiteral("B2")).type, QStringLiteral("n")); // the number
    EXPECT_EQ(cell(1, QStringLiteral("B2")).value, QStringLiteral("2"));
    EXPECT_NE(cell(1, QStringLiteral("D2")).type, QStringLiteral("n")); // the name
    EXPECT_NE(cell(1, QStringLiteral("C2")).type, QStringLiteral("n")); // the grade "小3"
    const StoredCell last = cell(1, QStringLiteral("E2"));
    EXPECT_EQ(last.type, QStringLiteral("n"));
    EXPECT_EQ(last.format, QStringLiteral("yyyy/mm/dd"));
    EXPECT_EQ(last.value.toDouble(), dayNumber(QDate(2024, 2, 6)));
    const StoredCell best = cell(1, QStringLiteral("I2")); // level 1's best time
    EXPECT_EQ(best.type, QStringLiteral("n"));
    EXPECT_EQ(best.value, QStringLiteral("42"));
    EXPECT_TRUE(cell(4, QStringLiteral("I5")).value.isEmpty()); // no run: an empty cell
    // A second sheet says what the figures count: the school, the grades and the period.
    const auto terms = sheetRows(zipEntries(path), QStringLiteral("xl/worksheets/sheet2.xml"));
    ASSERT_EQ(terms.size(), 1u + o.logic.headingLines().size());
    ASSERT_FALSE(terms[1].empty());
    if (terms[1][0].type == QStringLiteral("inlineStr")) {
        EXPECT_TRUE(terms[1][0].value.contains(QStringLiteral("みなと塾"))) << terms[1][0].value.toStdString();
    }
}

// Paper gets the lines as shown, in their order, without the screen's mark column: the
// marked rows are marked on paper its own way.
TEST(ClassOverview, PrintoutHoldsTheLinesAsShown)
{
    Overview o;
    o.write({TestRun{}.on(QDate(2024, 2, 6))(2, 1, 42), TestRun{}.on(QDate(2024, 2, 7))(1, 2, 35)});
    o.logic.Form_Load();
    o.logic.Header_Click(o.column(1, 2));
    const OverviewPrintout p = o.logic.printout();
    ASSERT_EQ(static_cast<int>(p.columns.size()), o.logic.columnCount() - 1);
    EXPECT_EQ(p.columns[2].heading, QStringLiteral("名前"));
    EXPECT_EQ(p.columns[5].group, QStringLiteral("レベル1"));
    ASSERT_EQ(p.rows.size(), 4u);
    EXPECT_EQ(p.rows[0][2], QStringLiteral("髙橋　健一"));
    EXPECT_EQ(p.rows[0][7], QStringLiteral("42秒"));
    EXPECT_EQ(p.marked, (std::vector<bool>{false, false, true, true})); // 3 and 4 never ran
    EXPECT_TRUE(p.markNote.contains(QStringLiteral("7日")));
    EXPECT_TRUE(p.headingLines.join(u' ').contains(QStringLiteral("みなと塾")));
}

// Only the teacher the overview was opened for, still logged in, gets anything from it.
TEST(ClassOverview, RefusesWhenItsTeacherIsNoLongerLoggedIn)
{
    Overview o;
    o.write({TestRun{}.on(QDate(2024, 2, 7))(1, 1, 42)});
    o.logic.Form_Load();
    // The teacher may: a line opens the sheet, a period reads again.
    o.logic.Row_Open(0);
    EXPECT_EQ(o.host.sheets, (std::vector<int>{1}));
    const int refreshes = o.host.refreshes;
    o.logic.PeriodCombo_Click(static_cast<int>(OverviewPeriod::All));
    EXPECT_GT(o.host.refreshes, refreshes);

    // Another student logged in meanwhile: nothing.
    o.state.student.CurrentStudent = 1;
    o.state.student.CurrentStudentName = QStringLiteral("佐藤　翔太");
    const int before = o.host.refreshes;
    o.logic.PeriodCombo_Click(static_cast<int>(OverviewPeriod::Today));
    o.logic.Header_Click(1);
    o.logic.Days_Change(3);
    o.logic.Row_Open(0);
    EXPECT_EQ(o.host.refreshes, before);
    EXPECT_EQ(o.host.sheets.size(), 1u);
    QString error;
    EXPECT_FALSE(o.logic.writeWorkbook(o.dir.path() + QStringLiteral("/x.xlsx"), &error));
    EXPECT_FALSE(QFile::exists(o.dir.path() + QStringLiteral("/x.xlsx")));
    // A student is no teacher, even with the teacher's number.
    o.state.student.CurrentStudent = 4;
    o.logic.Row_Open(0);
    EXPECT_EQ(o.host.sheets.size(), 1u);
}
