#include "state/SharedState.h"
#include "results/Tally.h"
#include "roster/NameList.h"
#include "roster/Roster.h"
#include "support/TestSupport.h"
#include "text/DataFileError.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

TEST(Grades, SchoolYearTurnsAtTheStartMonth)
{
    EXPECT_EQ(ComputeSchoolYear(QDate(2004, 3, 31), 4), 2003);
    EXPECT_EQ(ComputeSchoolYear(QDate(2004, 4, 1), 4), 2004);
    EXPECT_EQ(ComputeSchoolYear(QDate(2004, 1, 5), 1), 2004);
    // Born (school year) 1996: 小1 on 31 March 2004, 小2 the next day.
    EXPECT_EQ(ListGradeLabel(GradeIndexOf(2003, 1996)).label, QStringLiteral("小1"));
    EXPECT_EQ(ListGradeLabel(GradeIndexOf(2004, 1996)).label, QStringLiteral("小2"));
}

TEST(Grades, LabelsAcrossTheWholeTable)
{
    const struct {
        int g;
        const char16_t *list;
        int number;
        const char16_t *full; // empty: none
    } rows[] = {
        {-5, u"幼-", -11, u""},   {-3, u"幼-", -9, u""},    {-2, u"幼1", -8, u""},   {-1, u"幼2", -7, u""},
        {0, u"幼3", -6, u"幼３"}, {1, u"小1", 1, u"小１"},  {6, u"小6", 6, u"小６"}, {7, u"中1", 1, u"中１"},
        {9, u"中3", 3, u"中３"},  {10, u"高1", 1, u"高１"}, {11, u"高2", 2, u""},    {12, u"高3", 3, u""},
        {13, u"大+", 4, u""},     {40, u"大+", 31, u""},
    };
    for (const auto &r : rows) {
        const ListGrade lg = ListGradeLabel(r.g);
        EXPECT_EQ(lg.label, QString::fromUtf16(r.list)) << r.g;
        EXPECT_EQ(lg.gradeNumber, r.number) << r.g;
        const auto full = FullWidthGradeLabel(r.g);
        EXPECT_EQ(full.value_or(QString()), QString::fromUtf16(r.full)) << r.g;
    }
}

TEST(Grades, Filters)
{
    const struct {
        const char16_t *filter;
        int g;
        bool match;
    } rows[] = {
        {u"全学年", -5, true},    {u"全学年", 20, true},      {u"家族", -5, true},       {u"小学生全体", 1, true},
        {u"小学生全体", 6, true}, {u"小学生全体", 7, false},  {u"小学生全体", 0, false}, {u"中学生全体", 7, true},
        {u"中学生全体", 9, true}, {u"中学生全体", 10, false}, {u"小３", 3, true},        {u"小３", 4, false},
        {u"中２", 8, true},       {u"中２", 2, false},        {u"高１", 10, false},      {u"小学生", 3, false},
        {u"", 3, false},
    };
    for (const auto &r : rows)
        EXPECT_EQ(GradeFilterMatches(QString::fromUtf16(r.filter), r.g), r.match)
            << QString::fromUtf16(r.filter).toStdString() << " " << r.g;
    EXPECT_EQ(gradeFilterTexts().size(), 12);
}

namespace {

struct RosterFixture {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    std::vector<double> waits;
    QStringList reasons;
    RosterFixture()
    {
        state.config.DataRoot = dir.path() + u'/';
        state.config.DataFolder = dir.path() + QStringLiteral("/prog/");
        QDir().mkpath(state.config.DataFolder);
        state.config.SchoolYearStartMonth = 4;
        state.config.CommonValue3 = 1;
        clock.date = QDate(2004, 2, 7); // school year 2003
        state.roster.SchoolYear = 2003;
    }
    void roster(const QString &text) { writeCp932(state.config.DataRoot + rosterFileName(), text); }
    NameListResult list(int mode, const QString &filter = QStringLiteral("全学年"))
    {
        return 名簿表示(
            state, clock,
            [this](double s, const QString &why) {
                waits.push_back(s);
                reasons << why;
            },
            mode, filter);
    }
};

} // namespace

TEST(RosterLoad, StatusRulesNamesAndLabels)
{
    RosterFixture f;
    f.state.roster.StudentGradeLabels[6] = QStringLiteral("前");
    f.roster(QStringLiteral("1,1996,0,0,あいうえおかきくけこさしすせそたちつてとなにぬねの,0,x,y\r\n"
                            "2,1996,0,0,\"山田, 花\",1,,\r\n"
                            "3,1995,0,0,林,2,,\r\n"
                            "4,1994,0,0,森,9,,\r\n"
                            "6,1986,0,0,高二,0,,\r\n"));
    const auto listed = LoadRosterTables(f.state, f.state.config.DataRoot + rosterFileName());
    const RosterTables &t = f.state.roster;
    EXPECT_EQ(t.RosterCount, 3); // 1, 3 (status 2 with CommonValue3 1), 6
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(t.RosterNumbers[1], 1);
    EXPECT_EQ(t.RosterNumbers[2], 3);
    EXPECT_EQ(t.RosterNumbers[3], 6);
    EXPECT_EQ(t.StudentNames[1], QStringLiteral("あいうえおかきくけこさしすせそたちつてと"));
    EXPECT_EQ(t.StudentNames[3], QStringLiteral("林") + QString(19, u' '));
    EXPECT_EQ(t.StudentNames[2], QStringLiteral("山田, 花") + QString(15, u' '));
    EXPECT_EQ(t.StudentBirthYears[4], 1994); // unlisted students are still entered
    EXPECT_EQ(t.StudentGradeLabels[4], QStringLiteral("小３"));
    EXPECT_EQ(t.StudentGradeLabels[6], QStringLiteral("前")); // 高2 has no full-width label
    EXPECT_EQ(t.RosterRecords[1].SpareText1, QStringLiteral("x") + QString(19, u' '));

    f.state.config.CommonValue3 = 0;
    LoadRosterTables(f.state, f.state.config.DataRoot + rosterFileName());
    EXPECT_EQ(f.state.roster.RosterCount, 2);

    f.roster(QString());
    LoadRosterTables(f.state, f.state.config.DataRoot + rosterFileName());
    EXPECT_EQ(f.state.roster.RosterCount, 0);

    f.roster(QStringLiteral("5001,1996,0,0,x,0,,\r\n"));
    EXPECT_THROW(LoadRosterTables(f.state, f.state.config.DataRoot + rosterFileName()), DataFileError);
}

TEST(RosterLoad, NumbersThatDoNotFitAndOtherEncodingsNameTheFileLineAndField)
{
    RosterFixture f;
    const QString good = QStringLiteral("1,1996,0,0,山田,0,,\r\n");
    const struct {
        QByteArray bytes;
        int line;
        QString says;
    } cases[] = {
        {toCp932(good + QStringLiteral("nan,1996,0,0,林,0,,\r\n")), 2, QStringLiteral("1番目の項目（生徒番号）")},
        {toCp932(good + QStringLiteral("5001,1996,0,0,林,0,,\r\n")), 2, QStringLiteral("生徒番号")},
        {toCp932(good + QStringLiteral("-1,1996,0,0,林,0,,\r\n")), 2, QStringLiteral("生徒番号")},
        {toCp932(good + QStringLiteral("2,1e10,0,0,林,0,,\r\n")), 2, QStringLiteral("2番目の項目")},
        {toCp932(good + QStringLiteral("2,1996,inf,0,林,0,,\r\n")), 2, QStringLiteral("3番目の項目")},
        {toCp932(good + QStringLiteral("2,1996,0,0,林,70000,,\r\n")), 2, QStringLiteral("6番目の項目")},
        {(good + QStringLiteral("2,1996,0,0,林,0,,\r\n")).toUtf8(), 1, QStringLiteral("Shift-JIS")},
        {QByteArray("\xEF\xBB\xBF") + toCp932(good), 1, QStringLiteral("Shift-JIS")},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(writeFile(f.state.config.DataRoot + rosterFileName(), c.bytes));
        try {
            LoadRosterTables(f.state, f.state.config.DataRoot + rosterFileName());
            FAIL() << "no error: " << c.bytes.toStdString();
        } catch (const DataFileError &e) {
            EXPECT_TRUE(e.file().endsWith(rosterFileName()));
            EXPECT_EQ(e.line(), c.line) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.says)) << e.message().toStdString();
        }
    }
}

TEST(NameList, EntriesInEveryMode)
{
    RosterRecord r;
    r.StudentNumber = 12;
    r.BirthYear = 1996; // 小1 in school year 2003
    r.Name = fixedRosterText(QStringLiteral("山田"));
    EXPECT_EQ(displayEntry(r, 2003, 0, 0, 0, 0, 0), QStringLiteral("1996小1 山田　　　　     /     　*12"));
    EXPECT_EQ(displayEntry(r, 2003, 0, 3, 0, 45, 0), QStringLiteral("1996小1 山田　　　　  3回/   45回*12"));
    EXPECT_EQ(displayEntry(r, 2003, 1, 0, 7, 0, 1234), QStringLiteral("1996小1 山田　　　　   7/   1234*12"));
    EXPECT_EQ(displayEntry(r, 2003, 2, 1234, 0, 0, 0), QStringLiteral("1996小1 山田　　　　  　/234回*12"));
    EXPECT_EQ(displayEntry(r, 2003, 3, 0, 0, 2, 99), QStringLiteral("1996小1 山田　　　　     99/    2回*12"));
    EXPECT_EQ(displayEntry(r, 2003, 4, 0, 0, 0, 0), QString());
    // A kindergarten child: the name column is 11 wide, but 9 in mode 1.
    r.BirthYear = 1999; // g = -2: 幼1
    EXPECT_EQ(displayEntry(r, 2003, 0, 0, 0, 0, 0), QStringLiteral("1999幼1 山田　　　　　　     /     　*12"));
    EXPECT_EQ(displayEntry(r, 2003, 1, 0, 0, 0, 0), QStringLiteral("1999幼1 山田　　　　  　/       *12"));
    // A name too long for its column is never cut: no filler, the totals move right.
    r.BirthYear = 1996;
    r.Name = fixedRosterText(QStringLiteral("寿限無寿限無五劫"));
    EXPECT_EQ(displayEntry(r, 2003, 0, 0, 0, 0, 0), QStringLiteral("1996小1 寿限無寿限無五劫     /     　*12"));
    // Only blanks are trimmed: a full-width blank belongs to the name.
    r.Name = fixedRosterText(QStringLiteral(" 　全角 "));
    EXPECT_EQ(displayEntry(r, 2003, 1, 0, 0, 0, 0), QStringLiteral("1996小1 　全角　　　  　/       *12"));
}

TEST(NameList, EveryNameShowsWholeAndLogsInItsOwnStudent)
{
    // Names with "*" once logged in the wrong student; long names were cut until two
    // students looked the same.
    RosterFixture f;
    const struct {
        int number;
        const char16_t *name;
        const char16_t *shown; // the name as the list shows it, before its filler
    } rows[] = {
        {7, u"A*12", u"小5 A*12"},
        {8, u"*田中", u"小5 *田中"},
        {9, u"ケン*", u"小5 ケン*"},
        {10, u"長谷川　由紀子", u"小5 長谷川　由紀子"},
        {11, u"長谷川　由紀恵", u"小5 長谷川　由紀恵"},
        {12, u"ﾊｾｶﾞﾜ ﾕｷｺ", u"小5 ﾊｾｶﾞﾜ ﾕｷｺ"},
        {13, u"ﾊｾｶﾞﾜ ﾕｷｴ", u"小5 ﾊｾｶﾞﾜ ﾕｷｴ"},
        {14, u"　全角前空白", u"小5 　全角前空白"},
    };
    QString roster;
    for (const auto &r : rows)
        roster += QStringLiteral("%1,1992,0,0,%2,0,,\r\n").arg(r.number).arg(QString::fromUtf16(r.name));
    f.roster(roster);
    const NameListResult list = f.list(0);
    ASSERT_TRUE(list.fatalMessage.isEmpty());
    ASSERT_EQ(list.List1.size(), 1 + static_cast<qsizetype>(std::size(rows)));
    const QString totals = QStringLiteral("     /     　");
    for (const auto &r : rows) {
        const QString shown = QString::fromUtf16(r.shown);
        // The whole name, then blanks up to the totals' column: 16 cells of the
        // fixed-pitch list for half-width names too; longer names get no filler.
        qsizetype i = 0;
        while (i < list.List1.size() && !(list.List1[i].startsWith(shown) && list.List1[i].endsWith(totals) &&
                                          list.List1[i].mid(shown.size()).chopped(totals.size()).trimmed().isEmpty()))
            ++i;
        ASSERT_LT(i, list.List1.size()) << shown.toStdString();
        const QString line = list.List1[i];
        EXPECT_EQ(displayCells(line.chopped(totals.size())), std::max(16, displayCells(shown))) << line.toStdString();
        EXPECT_EQ(studentNumberOfEntry(list.List3[i - 1]), r.number) << line.toStdString();
        EXPECT_EQ(shownStudentName(f.state, r.number), shown);
    }
}

TEST(NameList, FilteredListInTextOrderWithTotals)
{
    RosterFixture f;
    f.roster(QStringLiteral("1,1996,0,0,さとう,0,,\r\n" // 小1
                            "2,1990,0,0,いとう,0,,\r\n" // 中1
                            "3,1996,0,0,あべ,0,,\r\n" // 小1
                            "4,1999,0,0,うえだ,0,,\r\n" // 幼1
                            "5,1986,0,0,えのもと,0,,\r\n" // 高2
                            "6,1995,0,0,おおた,1,,\r\n"));
    ResultRecord rec;
    rec.ResultRecDate = dayNumber(f.clock.date);
    rec.ResultRecStudentNo = 3;
    rec.ResultRecLevel = 1;
    rec.ResultRecTime = 30;
    f.state.criteria.CritTargetTime[1] = 60;
    f.state.criteria.CritPointRate[1] = 1;
    QString err;
    ResultsFile(resultsFilePath(f.state)).append(rec, &err);

    NameListResult all = f.list(0);
    ASSERT_TRUE(all.fatalMessage.isEmpty());
    EXPECT_EQ(all.List1.value(0), namePlaceholder());
    ASSERT_EQ(all.List1.size(), 6);
    EXPECT_TRUE(all.List1[1].startsWith(QStringLiteral("高2 えのもと"))); // born 1986 first
    EXPECT_TRUE(all.List1[2].startsWith(QStringLiteral("中1 いとう")));
    EXPECT_TRUE(all.List1[3].startsWith(QStringLiteral("小1 あべ"))); // same year: name order
    EXPECT_TRUE(all.List1[4].startsWith(QStringLiteral("小1 さとう")));
    EXPECT_TRUE(all.List1[5].startsWith(QStringLiteral("幼1 うえだ")));
    EXPECT_EQ(all.List1[3], QStringLiteral("小1 あべ　　　　  1回/    1回"));
    EXPECT_EQ(all.List3[2], QStringLiteral("小1 あべ　　　　  1回/    1回*3"));
    EXPECT_EQ(studentNumberOfEntry(all.List3[2]), 3);

    const NameListResult primary = f.list(0, QStringLiteral("小学生全体"));
    EXPECT_EQ(primary.List1.size(), 3);
    EXPECT_EQ(f.list(0, QStringLiteral("家族")).List1.size(), 1); // not offered here: nobody
    EXPECT_EQ(f.list(0, QStringLiteral("中１")).List1.size(), 2);
}

TEST(NameList, FailuresAreRetriedWithANoticeThenReportedWithTheirOwnNumbers)
{
    // Each failure: the message names the file, says what to do, and carries the
    // progress number of the step that failed and an error number of its own. A results
    // file the reader already retried is not retried again.
    const struct {
        const char *name;
        const char16_t *roster; // nullptr: no roster file
        bool resultsFolderMissing;
        const char16_t *problem;
        const char16_t *numbers;
        int waits;
    } cases[] = {
        {"roster missing", nullptr, false, u"ファイルがありません", u"（名簿表示 2　エラー番号 53）", 5},
        {"student number 5001", u"5001,1996,0,0,x,0,,\r\n", false, u"1番目の項目（生徒番号）",
         u"（名簿表示 3　エラー番号 6）", 5},
        {"short last student", u"1,1996,0,0,x\r\n", false, u"項目が足りません", u"（名簿表示 3　エラー番号 62）", 5},
        {"results folder missing", u"1,1996,0,0,x,0,,\r\n", true, u"成績ファイルのフォルダに届きません",
         u"（名簿表示 1.5　エラー番号 76）", 3},
    };
    for (const auto &c : cases) {
        RosterFixture f;
        if (c.roster)
            f.roster(QString::fromUtf16(c.roster));
        if (c.resultsFolderMissing)
            f.state.config.DataFolder = f.dir.path() + QStringLiteral("/not-there/");
        const NameListResult r = f.list(0);
        const QString file =
            c.resultsFolderMissing ? resultsFilePath(f.state) : f.state.config.DataRoot + rosterFileName();
        EXPECT_TRUE(r.fatalMessage.startsWith(QStringLiteral("名簿を表示できません。\n\n"))) << c.name;
        EXPECT_TRUE(r.fatalMessage.contains(QString::fromUtf16(c.problem))) << c.name;
        EXPECT_TRUE(r.fatalMessage.contains(file)) << c.name;
        EXPECT_TRUE(r.fatalMessage.contains(QStringLiteral("先生を呼びなさい。"))) << c.name;
        EXPECT_TRUE(r.fatalMessage.endsWith(QString::fromUtf16(c.numbers)))
            << c.name << " " << r.fatalMessage.toStdString();
        EXPECT_EQ(f.waits, std::vector<double>(c.waits, 5.0)) << c.name;
        for (int i = 0; i < f.reasons.size(); ++i) {
            EXPECT_TRUE(f.reasons[i].contains(file)) << c.name;
            const int tries = c.resultsFolderMissing ? 4 : 6;
            EXPECT_TRUE(f.reasons[i].contains(QStringLiteral("%1回目／%2回").arg(i + 2).arg(tries))) << c.name;
        }
    }
}

TEST(Login, SetsTheCurrentStudentOrNobody)
{
    RosterFixture f;
    f.state.roster.StudentNames[7] = fixedRosterText(QStringLiteral("森"));
    f.state.roster.StudentGradeLabels[7] = QStringLiteral("小３");
    f.clock.seconds = 3600.6;
    EXPECT_FALSE(LogIn(f.state, f.clock, chooseYourName(), QStringLiteral("7")));
    EXPECT_FALSE(LogIn(f.state, f.clock, QString(), QStringLiteral("7")));
    EXPECT_EQ(f.state.student.CurrentStudent, 0);
    EXPECT_TRUE(LogIn(f.state, f.clock, QStringLiteral("森"), QStringLiteral("7")));
    EXPECT_EQ(f.state.student.CurrentStudent, 7);
    EXPECT_EQ(f.state.student.CurrentStudentGroup, QStringLiteral("小３"));
    EXPECT_EQ(f.state.student.LoginTime, 3601);
}

TEST(ProgramMenu, CommandLine)
{
    const ProgramMenuCommand c = programMenuCommand(QStringLiteral("/suite/squares/"));
    EXPECT_EQ(c.commandLine, QStringLiteral("/suite/squares/../起動/プログラムメニューc.exe 001"));
    EXPECT_EQ(c.program, QStringLiteral("/suite/squares/../起動/プログラムメニューc.exe"));
    EXPECT_EQ(c.arguments, QStringList{QStringLiteral("001")});
    EXPECT_EQ(programMenuCommand(QStringLiteral("D:\\drill\\squares\\"), u'\\').commandLine,
              QStringLiteral("D:\\drill\\squares\\..\\起動\\プログラムメニューc.exe 001"));
}
