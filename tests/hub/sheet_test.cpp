#include "hub/SheetLogic.h"
#include "hub/PointsRanking.h"
#include "hub/SheetRankings.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace tobrel;
using namespace tobrel::test;

// Readable texts in failure messages.
void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using Op = RecordingSurface::Op;
using Kind = RecordingSurface::Kind;

// The on-screen canvas: 8355 x 8715 twips.
constexpr double kW = 8355, kH = 8715, kX = kW / 2, kU = kH / 3;
// The screen's canvas, and a page of A4 paper within 10 mm margins.
struct SurfaceSize {
    bool paper;
    double w, h;
};
constexpr SurfaceSize kSurfaces[] = {{false, kW, kH}, {true, 10772, 15704}};

struct Sheet {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    KeptRankings kept;
    QByteArray file;
    Sheet()
    {
        ApplyProgramProfileTables(state);
        SetProgramTitle(state);
        state.config.DataFolder = dir.path() + u'/';
        state.roster.SchoolYear = 2023;
        clock.date = QDate(2024, 2, 7);
        for (int L = 1; L <= 6; ++L) {
            state.criteria.CritTargetTime[L] = 45;
            state.criteria.CritPassTime[L] = 60;
            state.criteria.CritPointRate[L] = 1;
        }
    }
    void student(int s, const QString &name, int g = 3)
    {
        const int k = ++state.roster.RosterCount;
        state.roster.RosterNumbers[k] = static_cast<int16_t>(s);
        state.roster.StudentNames[s] = fixedRosterText(name);
        state.roster.StudentBirthYears[s] = static_cast<int16_t>(2023 - g - 6);
    }
    void run(int s, int level, int time, QDate date = {})
    {
        ResultRecord r;
        r.ResultRecDate = dayNumber(date.isValid() ? date : clock.date);
        r.ResultRecClock = 0.5;
        r.ResultRecStudentNo = static_cast<int16_t>(s);
        r.ResultRecLevel = static_cast<int16_t>(level);
        r.ResultRecTime = time;
        const auto bytes = r.encode();
        file.append(bytes.data(), bytes.size());
    }
    // The runs of student s at a level that the sheet plots: all of them, or none when
    // not one is counted (under 1800), as there is then no scale to plot against.
    int runsOf(int s, int level) const
    {
        int n = 0;
        bool counted = false;
        for (qsizetype at = 0; at + kRecordSize <= file.size(); at += kRecordSize) {
            const auto r = ResultRecord::decode(file.constData() + at);
            if (r.ResultRecStudentNo == s && r.ResultRecLevel == level) {
                ++n;
                counted = counted || r.ResultRecTime < 1800;
            }
        }
        return counted ? n : 0;
    }
    ResultsFile results()
    {
        writeFile(resultsFilePath(state), file);
        return ResultsFile(resultsFilePath(state));
    }
    void tally() { ASSERT_TRUE(TallyResults(state, clock, results()).ok()); }
    SheetReading read(int student)
    {
        SheetReading reading;
        QString error;
        EXPECT_TRUE(readSheetResults(state, clock, results(), student, &reading, &error)) << error.toStdString();
        return reading;
    }
    // One sheet run on a recording surface.
    std::vector<Op> draw(int student, std::vector<int> lines, bool printing = false,
                         const QString &filter = QStringLiteral("全学年"), double w = kW, double h = kH)
    {
        const SheetReading reading = read(student);
        RecordingSurface surface(w, h);
        SheetOptions options;
        options.printing = printing;
        options.gradeFilter = filter;
        drawSheet(state, kept, reading, lines, options, surface, figures);
        return surface.ops();
    }
    SheetFiguresTable figures;
};

std::vector<Op> only(const std::vector<Op> &ops, Kind kind)
{
    std::vector<Op> out;
    for (const Op &op : ops)
        if (op.kind == kind)
            out.push_back(op);
    return out;
}

QStringList texts(const std::vector<Op> &ops)
{
    QStringList out;
    for (const Op &op : only(ops, Kind::Text))
        out << op.text;
    return out;
}

const Op *textOp(const std::vector<Op> &ops, const QString &text)
{
    for (const Op &op : ops)
        if (op.kind == Kind::Text && op.text == text)
            return &op;
    return nullptr;
}

} // namespace

TEST(SheetBlock, RunsMakeRedBestsJoinedAndBlueOthers)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤　翔太"));
    f.student(2, QStringLiteral("鈴木"));
    for (int t : {80, 70, 75, 60, 60, 65})
        f.run(1, 1, t);
    f.run(2, 1, 58);
    f.tally();
    const auto ops = f.draw(1, {1});

    const double T = 0.05 * kH;
    const auto points = only(ops, Kind::Point);
    ASSERT_EQ(points.size(), 6u);
    const uint32_t red = 0x0000FF, blue = 0xFF0000;
    const uint32_t colours[] = {red, red, blue, red, blue, blue};
    const int times[] = {80, 70, 75, 60, 60, 65};
    for (int k = 1; k <= 6; ++k) {
        const Op &p = points[static_cast<size_t>(k - 1)];
        EXPECT_NEAR(p.x1, kX * (0.2 + 0.7 * k / 6), 1e-6) << k;
        EXPECT_NEAR(p.y1, T + kU * (0.8 - 0.7 * times[k - 1] / 90.0), 1e-6) << k; // the scale is 90
        EXPECT_EQ(p.colour, colours[k - 1]) << k;
        EXPECT_EQ(p.size, 5);
    }
    // The best points 1-2-3 (80, 70, 60) joined in black.
    std::vector<Op> joins;
    for (const Op &op : only(ops, Kind::Line))
        if (op.size == 3)
            joins.push_back(op);
    ASSERT_EQ(joins.size(), 2u);
    EXPECT_EQ(joins[0].x1, points[0].x1);
    EXPECT_EQ(joins[0].x2, points[1].x1);
    EXPECT_EQ(joins[1].x2, points[3].x1);
    EXPECT_EQ(joins[1].y2, points[3].y1);
    EXPECT_EQ(joins[0].colour, 0u);

    // The text panel: line 4 shows the last best (60) against the school's best (58).
    const QStringList t = texts(ops);
    EXPECT_TRUE(t.contains(QStringLiteral("回数　　　　　　　  6回")));
    EXPECT_TRUE(t.contains(QStringLiteral("　　最高　　　　   60秒 /   58秒")));
    EXPECT_TRUE(t.contains(QStringLiteral("　　順位　　　　    2位")));
    // Average: the student's 410 / 6 cut to 68, the school's 468 / 7 rounded to 67.
    EXPECT_TRUE(t.contains(QStringLiteral("　　平均　　　　   68秒 /   67秒")));
    const Op *line4 = textOp(ops, QStringLiteral("　　最高　　　　   60秒 /   58秒"));
    EXPECT_NEAR(line4->y1, T + 0.05 * kU + 4 * 0.08 * kU, 1e-6);
    EXPECT_NEAR(line4->x1, 1.05 * kX, 1e-6);
    // Heading, name and axis labels: the scale at the top of the vertical axis, 0 at its
    // foot and the first best at its height, each left of the axis.
    EXPECT_TRUE(t.contains(QStringLiteral("Tobrel レベル１")));
    EXPECT_NE(textOp(ops, QStringLiteral("佐藤　翔太")), nullptr);
    const struct {
        const char *text;
        double y;
    } onTheAxis[] = {{"90秒", T + 0.1 * kU}, {"0秒", T + 0.79 * kU}, {"80秒", points[0].y1 - 0.01 * kU}};
    for (const auto &a : onTheAxis) {
        const Op *op = textOp(ops, QString::fromUtf8(a.text));
        ASSERT_NE(op, nullptr) << a.text;
        EXPECT_NEAR(op->y1, a.y, 0.02 * kU) << a.text;
        EXPECT_LT(sheetTextBox(op->x1, op->y1, op->text, 6).right, 0.2 * kX) << a.text;
    }
}

TEST(SheetBlock, ThePageHeadingKeepsTheNamesFullWidthSpaces)
{
    // Only blanks are trimmed from a name, as on the hub's lines: a leading full-width
    // space is part of it.
    Sheet f;
    f.student(1, QStringLiteral("　全角前空白"));
    f.run(1, 1, 50);
    f.tally();
    EXPECT_NE(textOp(f.draw(1, {1}), QStringLiteral("　全角前空白")), nullptr);
}

TEST(SheetBlock, TargetAndPassLinesWithTheirValues)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.run(1, 1, 80);
    f.run(1, 2, 50); // scale 60: the pass line (60) at the top, the target (45) below
    f.run(1, 3, 40); // scale 50: the pass line lies off the graph and is left out
    f.tally();
    const auto ops = f.draw(1, {1, 2, 3});
    const double T[] = {0.05 * kH, 0.35 * kH, 0.65 * kH};
    const double scales[] = {90, 60, 50};
    struct Seen {
        int level;
        uint32_t colour;
        int time;
    };
    const Seen expected[] = {
        {1, 0x0080E0, 60}, {1, 0x308A00, 45}, {2, 0x0080E0, 60}, {2, 0x308A00, 45}, {3, 0x308A00, 45}};
    std::vector<Op> marks;
    for (const Op &op : only(ops, Kind::Line))
        if (op.colour == 0x0080E0 || op.colour == 0x308A00)
            marks.push_back(op);
    ASSERT_EQ(marks.size(), std::size(expected));
    for (size_t i = 0; i < marks.size(); ++i) {
        const Seen &e = expected[i];
        const double y = T[e.level - 1] + kU * (0.8 - 0.7 * e.time / scales[e.level - 1]);
        EXPECT_EQ(marks[i].colour, e.colour) << i;
        EXPECT_NEAR(marks[i].y1, y, 1e-6) << i;
        EXPECT_NEAR(marks[i].x1, 0.2 * kX, 1e-6);
        EXPECT_NEAR(marks[i].x2, 0.9 * kX, 1e-6);
    }
    EXPECT_EQ(texts(ops).count(QStringLiteral("目標45秒")), 3);
    EXPECT_EQ(texts(ops).count(QStringLiteral("合格60秒")), 2);
    EXPECT_EQ(textOp(ops, QStringLiteral("目標45秒"))->colour, 0x308A00u);
}

TEST(SheetBlock, ThePointLabelsMakeWayForTheTargetAndPassValues)
{
    // The last best (70) ends near the pass line (60), at the line's end where its value
    // stands: the value keeps to its line and the best's labels stand elsewhere beside it.
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    for (int t : {90, 80, 70})
        f.run(1, 1, t);
    f.tally();
    const auto ops = f.draw(1, {1});
    const Op *pass = textOp(ops, QStringLiteral("合格60秒"));
    const Op *time = textOp(ops, QStringLiteral("70秒"));
    ASSERT_TRUE(pass && time) << texts(ops).join(u'|').toStdString();
    const double passLine = 0.05 * kH + kU * (0.8 - 0.7 * 60 / 100.0);
    EXPECT_LT(std::abs(pass->y1 + 60 - passLine), 0.07 * kU); // beside its line
    EXPECT_GE(pass->x1, 0.9 * kX); // at its end
    EXPECT_FALSE(
        sheetTextBox(pass->x1, pass->y1, pass->text, 6).meets(sheetTextBox(time->x1, time->y1, time->text, 6)));
    const auto points = only(ops, Kind::Point);
    EXPECT_LT(std::abs(time->y1 - points[2].y1), 0.15 * kU);
}

TEST(SheetBlock, AValueOnTheGraphsTopEdgeStaysUnderTheBlockHeading)
{
    // Largest time 55: the scale is 60, the pass line's time, so its line runs along the
    // graph's top edge just under the heading's rule; its value goes under the line.
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.run(1, 1, 55);
    f.tally();
    for (const SurfaceSize &s : kSurfaces) {
        const auto ops = f.draw(1, {1}, s.paper, QStringLiteral("全学年"), s.w, s.h);
        const Op *pass = textOp(ops, QStringLiteral("合格60秒"));
        ASSERT_NE(pass, nullptr);
        const double T = 0.05 * s.h, U = s.h / 3;
        EXPECT_GE(pass->y1, T + 0.1 * U) << (s.paper ? "paper" : "screen");
    }
}

TEST(SheetBlock, TenBestPointsAreLabelledAtOneThreeSixAndTen)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    for (int i = 0; i < 10; ++i)
        f.run(1, 1, 100 - 5 * i, QDate(2023, 5, 1).addDays(i)); // 100, 95, ... 55
    f.tally();
    const QStringList t = texts(f.draw(1, {1}));
    for (const char *labelled : {"100秒", "90秒", "75秒", "55秒", "05/03", "05/06", "05/10", "2023/05/01"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(labelled))) << labelled;
    for (const char *skipped : {"95秒", "85秒", "80秒", "70秒", "65秒", "60秒", "05/09", "05/02"})
        EXPECT_FALSE(t.contains(QString::fromUtf8(skipped))) << skipped;
}

TEST(SheetBlock, DateUnderTheSecondBestIsShortWithinOneYear)
{
    const struct {
        QDate second;
        const char *label;
    } rows[] = {{QDate(2023, 11, 2), "11/02"}, {QDate(2024, 1, 9), "2024/01/09"}};
    for (const auto &r : rows) {
        Sheet f;
        f.student(1, QStringLiteral("佐藤"));
        f.run(1, 1, 80, QDate(2023, 5, 10));
        f.run(1, 1, 70, r.second);
        f.tally();
        const auto ops = f.draw(1, {1});
        const auto points = only(ops, Kind::Point);
        // Beside the point, below its time (the pass line runs just under the point).
        const Op *date = textOp(ops, QString::fromUtf8(r.label));
        const Op *time = textOp(ops, QStringLiteral("70秒"));
        ASSERT_TRUE(date && time) << r.label;
        EXPECT_GT(date->y1, time->y1);
        EXPECT_EQ(date->x1, time->x1);
        EXPECT_LT(std::abs(date->y1 - points[1].y1), 0.15 * kU);
        EXPECT_LT(std::abs(date->x1 - points[1].x1), 0.1 * kX);
        // Best point 1's date, under the time axis, is always written in full.
        ASSERT_NE(textOp(ops, QStringLiteral("2023/05/10")), nullptr);
        EXPECT_GT(textOp(ops, QStringLiteral("2023/05/10"))->y1, 0.05 * kH + 0.8 * kU);
    }
}

TEST(SheetBlock, NothingToSpreadRunsOverDrawsTheBlockWithoutPoints)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.run(1, 1, kTimedOut);
    f.run(1, 1, 1900);
    f.tally();
    const auto ops = f.draw(1, {1});
    EXPECT_TRUE(only(ops, Kind::Point).empty());
    const QStringList t = texts(ops);
    EXPECT_TRUE(t.contains(QStringLiteral("回数　　　　　　　  0回")));
    EXPECT_TRUE(t.contains(QStringLiteral("　　最高　　　　       / 1900秒")));
    for (const QString &line : t)
        EXPECT_FALSE(line.startsWith(QStringLiteral("　　平均"))) << line.toStdString();
    EXPECT_GE(only(ops, Kind::Line).size(), 4u); // rules and axes
}

TEST(SheetBlock, NoCountedRunAmongTheLast20000RecordsDrawsNoPoints)
{
    // The student's runs lie before the last 20000 records: the panel counts none and the
    // scale would be 10 seconds, so nothing is plotted (no points pinned to the top edge).
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.student(2, QStringLiteral("鈴木"));
    for (int t : {90, 80, 70})
        f.run(1, 1, t, QDate(2023, 4, 1));
    for (int i = 0; i < kMaxRecordsInMemory; ++i)
        f.run(2, 2, 50);
    f.tally();
    const auto ops = f.draw(1, {1});
    EXPECT_TRUE(only(ops, Kind::Point).empty());
    EXPECT_TRUE(texts(ops).contains(QStringLiteral("回数　　　　　　　  0回")));
    EXPECT_EQ(textOp(ops, QStringLiteral("90秒")), nullptr);
    EXPECT_EQ(textOp(ops, QStringLiteral("10秒")), nullptr);
}

TEST(SheetBlock, TimesOffTheScaleStayOnTheGraphsTopEdge)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.run(1, 1, 50);
    f.run(1, 1, 1200); // under 1800, so the scale is 1000
    f.run(1, 1, kTimedOut);
    f.run(1, 1, 40);
    f.tally();
    const auto points = only(f.draw(1, {1}, false, QStringLiteral("全学年")), Kind::Point);
    ASSERT_EQ(points.size(), 4u);
    const double T = 0.05 * kH;
    EXPECT_NEAR(points[1].y1, T + 0.1 * kU, 1e-6);
    EXPECT_NEAR(points[2].y1, T + 0.1 * kU, 1e-6);
    EXPECT_EQ(points[3].colour, 0x0000FFu); // 40 is still a new best
    for (const Op &p : points) {
        EXPECT_GE(p.x1, 0.2 * kX - 1e-6);
        EXPECT_LE(p.x1, 0.9 * kX + 1e-6);
    }
}

TEST(SheetBlock, OldRunsBeyondTheLast20000RecordsStayInsideTheGraph)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.student(2, QStringLiteral("鈴木"));
    for (int t : {90, 80, 70})
        f.run(1, 1, t, QDate(2023, 4, 1));
    for (int i = 0; i < kMaxRecordsInMemory; ++i)
        f.run(2, 2, 50);
    f.run(1, 1, 60);
    f.run(1, 1, 65);
    f.tally();
    const auto ops = f.draw(1, {1});
    const auto points = only(ops, Kind::Point);
    ASSERT_EQ(points.size(), 5u);
    for (int k = 1; k <= 5; ++k)
        EXPECT_NEAR(points[static_cast<size_t>(k - 1)].x1, kX * (0.2 + 0.7 * k / 5), 1e-6);
    // The count and the scale come from the last 20000 records, as the personal times.
    EXPECT_TRUE(texts(ops).contains(QStringLiteral("回数　　　　　　　  2回")));
    EXPECT_NE(textOp(ops, QStringLiteral("70秒")), nullptr);
}

TEST(SheetBlock, GradeFilterHidesThePointsButNotThePanel)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"), 3);
    f.run(1, 1, 60);
    f.tally();
    const auto ops = f.draw(1, {1}, false, QStringLiteral("中学生全体"));
    EXPECT_TRUE(only(ops, Kind::Point).empty());
    EXPECT_TRUE(texts(ops).contains(QStringLiteral("回数　　　　　　　  1回")));
    // Out of the filtered ranking: no rank and no points.
    EXPECT_TRUE(texts(ops).contains(QStringLiteral("　　順位　　　　     位")));
}

TEST(SheetBlock, NoPointsGiveABlankPointsField)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.student(2, QStringLiteral("鈴木"));
    f.run(1, 1, 900); // ten times the target: no points
    f.run(2, 1, 30);
    f.tally();
    const QStringList t = texts(f.draw(1, {1}));
    EXPECT_TRUE(t.contains(QStringLiteral("　　獲得ポイント     点")));
    EXPECT_TRUE(t.contains(QStringLiteral("　　　　　　　　　　　　/    6点"))); // only 鈴木 counts
    // "(塾平均)" follows the school's average on its line.
    const auto ops = f.draw(1, {1});
    const Op *average = textOp(ops, QStringLiteral("　　　　　　　　　　　　/    6点"));
    const Op *note = textOp(ops, QStringLiteral("(塾平均)"));
    ASSERT_TRUE(average && note);
    EXPECT_EQ(note->y1, average->y1);
    EXPECT_GT(note->x1, sheetTextBox(average->x1, average->y1, average->text, 9).right);
}

TEST(SheetBlock, ATimedOutRunIsNeverABest)
{
    // Runs 99999, 130, 1900, 120: the timed-out run and the one off the scale are plain
    // marks on the graph's top edge, without a label; the first best is 130.
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    for (int t : {kTimedOut, 130, 1900, 120})
        f.run(1, 1, t);
    f.tally();
    const auto ops = f.draw(1, {1});
    const auto points = only(ops, Kind::Point);
    ASSERT_EQ(points.size(), 4u);
    const uint32_t red = 0x0000FF, blue = 0xFF0000;
    const double top = 0.05 * kH + 0.1 * kU;
    EXPECT_EQ(points[0].colour, blue);
    EXPECT_NEAR(points[0].y1, top, 1e-6);
    EXPECT_EQ(points[1].colour, red);
    EXPECT_EQ(points[2].colour, blue);
    EXPECT_NEAR(points[2].y1, top, 1e-6);
    EXPECT_EQ(points[3].colour, red);
    const QStringList t = texts(ops);
    EXPECT_FALSE(t.contains(QStringLiteral("99999秒")));
    EXPECT_FALSE(t.contains(QStringLiteral("1900秒")));
    EXPECT_TRUE(t.contains(QStringLiteral("130秒")));
    EXPECT_TRUE(t.contains(QStringLiteral("　　最高　　　　  120秒 /  120秒")));
    // The best line starts at 130.
    for (const Op &op : only(ops, Kind::Line)) {
        if (op.size == 3) {
            EXPECT_GT(op.y1, top + 1);
        }
    }
}

namespace {

// What meets what on the pages a sheet run drew (on the screen, what remains): every
// text against every other, against the rules, axes and target and pass-line lines, the
// plotted runs and the line joining the bests; and any text that runs off the surface.
// "" when nothing does.
QString overlapsOn(const std::vector<Op> &ops, bool paper, double w, double h)
{
    const double dot = paper ? kPaperDotTwips : kScreenDotTwips;
    struct Page {
        std::vector<std::pair<SheetBox, QString>> texts;
        std::vector<std::pair<SheetBox, QString>> marks; // lines and points
        std::vector<Op> joins; // the line joining the bests
    };
    std::vector<Page> pages(1);
    double size = 9;
    for (const Op &op : ops) {
        switch (op.kind) {
        case Kind::FontSize:
            size = op.size;
            break;
        case Kind::Text:
            pages.back().texts.push_back({sheetTextBox(op.x1, op.y1, op.text, size), op.text});
            break;
        case Kind::Line: {
            if (op.size == 3) {
                pages.back().joins.push_back(op);
                break;
            }
            const double half = op.size * dot / 2;
            pages.back().marks.push_back({{std::min(op.x1, op.x2) - half, std::min(op.y1, op.y2) - half,
                                           std::max(op.x1, op.x2) + half, std::max(op.y1, op.y2) + half},
                                          QStringLiteral("line")});
            break;
        }
        case Kind::Point: {
            const double r = op.size * dot / 2;
            pages.back().marks.push_back({{op.x1 - r, op.y1 - r, op.x1 + r, op.y1 + r}, QStringLiteral("point")});
            break;
        }
        case Kind::NewPage:
            pages.emplace_back();
            break;
        }
    }
    const SheetBox surface{0, 0, w, h};
    for (size_t p = 0; p < pages.size(); ++p) {
        const Page &page = pages[p];
        for (size_t i = 0; i < page.texts.size(); ++i) {
            const auto &[box, text] = page.texts[i];
            if (!box.inside(surface))
                return QStringLiteral("page %1: 「%2」 runs off the surface").arg(p).arg(text);
            // Two texts side by side stand nearly half a blank of the smaller apart (a
            // blank is half as wide as a line is high), so that two labels never read as
            // one ("73秒59秒").
            for (size_t j = i + 1; j < page.texts.size(); ++j) {
                const SheetBox &other = page.texts[j].first;
                const double air = 0.9 * std::min(box.bottom - box.top, other.bottom - other.top) / 4;
                if (SheetBox{box.left - air, box.top, box.right + air, box.bottom}.meets(other))
                    return QStringLiteral("page %1: 「%2」 meets 「%3」").arg(p).arg(text, page.texts[j].second);
            }
            for (const auto &[mark, kind] : page.marks)
                if (box.meets(mark))
                    return QStringLiteral("page %1: 「%2」 meets a %3").arg(p).arg(text, kind);
            // The best line, looked at every few twips along it.
            for (const Op &j : page.joins) {
                const double half = j.size * dot / 2;
                const SheetBox wide{box.left - half, box.top - half, box.right + half, box.bottom + half};
                const int steps = 1 + static_cast<int>(std::hypot(j.x2 - j.x1, j.y2 - j.y1) / 2);
                for (int k = 0; k <= steps; ++k) {
                    const double x = j.x1 + (j.x2 - j.x1) * k / steps, y = j.y1 + (j.y2 - j.y1) * k / steps;
                    if (x > wide.left && x < wide.right && y > wide.top && y < wide.bottom)
                        return QStringLiteral("page %1: 「%2」 meets the best line").arg(p).arg(text);
                }
            }
        }
    }
    return {};
}

// What is wrong with the graph of the first block drawn ("" when nothing): it must hold
// a point for each of the student's `runs` (placing the labels moves or leaves out no
// point), the bests red and each lower than the one before, and the best line must join
// the red points in order, from the first to the last.
QString plotBrokenOn(const std::vector<Op> &ops, int runs)
{
    std::vector<Op> points, joins;
    for (const Op &op : ops) {
        if (op.kind == Kind::NewPage ||
            (op.kind == Kind::Line && op.size == 2 && op.y1 == op.y2 && op.x1 == 0 && !points.empty()))
            break; // the next page, or the next block's top rule
        if (op.kind == Kind::Point)
            points.push_back(op);
        if (op.kind == Kind::Line && op.size == 3)
            joins.push_back(op);
    }
    if (static_cast<int>(points.size()) != runs)
        return QStringLiteral("%1 points for %2 runs").arg(points.size()).arg(runs);
    std::vector<const Op *> reds;
    for (const Op &p : points)
        if (p.colour == kSheetBestColour)
            reds.push_back(&p);
    for (size_t i = 1; i < reds.size(); ++i)
        if (!(reds[i]->y1 > reds[i - 1]->y1 && reds[i]->x1 >= reds[i - 1]->x1))
            return QStringLiteral("best %1 is not below and right of the one before").arg(i + 1);
    if (joins.size() + 1 != std::max<size_t>(reds.size(), 1))
        return QStringLiteral("%1 best-line pieces for %2 bests").arg(joins.size()).arg(reds.size());
    for (size_t i = 0; i < joins.size(); ++i)
        if (joins[i].x1 != reds[i]->x1 || joins[i].y1 != reds[i]->y1 || joins[i].x2 != reds[i + 1]->x1 ||
            joins[i].y2 != reds[i + 1]->y1)
            return QStringLiteral("best-line piece %1 does not join bests %1 and %2").arg(i + 1).arg(i + 2);
    return {};
}

} // namespace

TEST(SheetLayout, NoTextMeetsAnotherOnTheScreenOrOnPaper)
{
    struct Case {
        const char *name;
        std::function<void(Sheet &)> runs;
    };
    const Case cases[] = {
        {"one counted run", [](Sheet &f) { f.run(1, 1, 50); }},
        {"one run today, the school's newest another day's",
         [](Sheet &f) {
             f.run(1, 1, 50, QDate(2024, 2, 1));
             f.run(2, 2, 40);
         }},
        {"a timed-out run first",
         [](Sheet &f) {
             for (int t : {kTimedOut, 130, 1900, 120})
                 f.run(1, 1, t);
         }},
        {"the first best just under the scale",
         [](Sheet &f) {
             for (int t : {59, 58, 57})
                 f.run(1, 1, t);
         }},
        {"bests down to no time at all",
         [](Sheet &f) {
             for (int t : {9, 3, 1, 0})
                 f.run(1, 1, t);
         }},
        {"ten bests over a year",
         [](Sheet &f) {
             for (int i = 0; i < 10; ++i)
                 f.run(1, 1, 100 - 5 * i, QDate(2023, 5, 1).addDays(40 * i));
         }},
        {"a crowded graph",
         [](Sheet &f) {
             for (int i = 0; i < 300; ++i)
                 f.run(1, 1, i % 3 == 0 ? 200 - i / 2 : 250 - (i * 7) % 90, QDate(2023, 3, 1).addDays(i));
         }},
        {"a crowded graph up to today, its target low",
         [](Sheet &f) {
             f.clock.date = QDate(2026, 12, 11);
             f.state.criteria.CritTargetTime[1] = 5;
             f.state.criteria.CritPassTime[1] = 72;
             for (int i = 0; i < 300; ++i)
                 f.run(1, 1, i % 3 == 0 ? 200 - i / 2 : 250 - (i * 7) % 90, f.clock.date.addDays(i - 360));
         }},
        {"the target value near the newest date",
         [](Sheet &f) {
             f.state.criteria.CritTargetTime[1] = 4;
             f.state.criteria.CritPassTime[1] = 6;
             for (int i = 0; i < 40; ++i)
                 f.run(1, 1, 60 - i);
         }},
        {"long names and headings",
         [](Sheet &f) {
             f.state.roster.StudentNames[1] = fixedRosterText(QString(24, QChar(u'髙')));
             f.state.profile.ProgramTitle = QString(30, QChar(u'二'));
             f.state.profile.LevelNames[1] = QString(30, QChar(u'段'));
             for (int t : {80, 70, 60})
                 f.run(1, 1, t);
         }},
        {"99999 runs only",
         [](Sheet &f) {
             for (int i = 0; i < 5; ++i)
                 f.run(1, 1, kTimedOut);
         }},
        {"times off the scale",
         [](Sheet &f) {
             for (int t : {1500, 1700, 999, 1799, 20})
                 f.run(1, 1, t);
         }},
    };
    for (const Case &c : cases) {
        Sheet f;
        f.student(1, QStringLiteral("佐藤　翔太"));
        f.student(2, QStringLiteral("鈴木"));
        c.runs(f);
        for (int L = 1; L <= 4; ++L)
            f.run(2, L, 44); // the school's average points on every block
        f.tally();
        const int runs = f.runsOf(1, 1);
        for (const SurfaceSize &on : kSurfaces) {
            SCOPED_TRACE(std::string(c.name) + (on.paper ? " on paper" : " on the screen"));
            // The screen keeps the last three blocks it drew: three levels keep the one
            // with the runs; paper turns to a second page for the fourth.
            const std::vector<int> lines = on.paper ? std::vector<int>{1, 2, 3, 4} : std::vector<int>{1, 2, 3};
            const auto ops = f.draw(1, lines, on.paper, QStringLiteral("全学年"), on.w, on.h);
            EXPECT_EQ(overlapsOn(ops, on.paper, on.w, on.h).toStdString(), "");
            EXPECT_EQ(plotBrokenOn(ops, runs).toStdString(), "");
            EXPECT_EQ(texts(ops).count(QStringLiteral("(塾平均)")), static_cast<qsizetype>(lines.size()));
        }
    }
}

TEST(SheetRun, FourLevelsMakeTwoPagesOnPaperAndOneBlockOnScreen)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤　翔太"));
    for (int L = 1; L <= 4; ++L)
        f.run(1, L, 50 + L);
    f.tally();
    const double pw = 10772, ph = 15704; // A4 within 10 mm margins
    const auto paper = f.draw(1, {1, 2, 3, 4}, true, QStringLiteral("全学年"), pw, ph);
    std::vector<double> headings;
    int page = 0;
    std::vector<int> namePages;
    for (const Op &op : paper) {
        if (op.kind == Kind::NewPage)
            ++page;
        if (op.kind == Kind::Text && op.text == QStringLiteral("佐藤　翔太"))
            namePages.push_back(page);
        if (op.kind == Kind::Text && op.text.startsWith(QStringLiteral("Tobrel ")))
            headings.push_back(op.y1);
    }
    EXPECT_EQ(page, 1);
    EXPECT_EQ(namePages, (std::vector<int>{0, 1}));
    ASSERT_EQ(headings.size(), 4u);
    const double tops[] = {0.05, 0.35, 0.65, 0.05};
    // Each between its block's two rules.
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_GT(headings[i], tops[i] * ph) << i;
        EXPECT_LT(headings[i] + 20 * 18, tops[i] * ph + 0.09 * ph / 3) << i;
    }
    // Paper: thick points, the text panel at a pitch of 0.06 U.
    EXPECT_EQ(only(paper, Kind::Point)[0].size, 30);
    EXPECT_NEAR(textOp(paper, QStringLiteral("回数　　　　　　　  1回"))->y1, 0.05 * ph + (0.05 + 0.06) * ph / 3, 1e-6);

    const auto screen = f.draw(1, {1, 2, 3, 4});
    EXPECT_EQ(texts(screen).filter(QStringLiteral("Tobrel ")), QStringList{QStringLiteral("Tobrel レベル４")});
    EXPECT_NE(textOp(screen, QStringLiteral("佐藤　翔太")), nullptr);
}

TEST(SheetRun, ALevelBeyondTheProgramsLevelsEndsTheRun)
{
    Sheet f;
    f.student(1, QStringLiteral("佐藤"));
    f.state.profile.LevelCount = 2;
    f.run(1, 1, 50);
    f.tally();
    const auto ops = f.draw(1, {1, 3, 2}, true);
    EXPECT_EQ(texts(ops).filter(QStringLiteral("Tobrel ")), QStringList{QStringLiteral("Tobrel レベル１")});
    EXPECT_TRUE(only(ops, Kind::NewPage).empty());
}

TEST(SheetText, NumberFormat)
{
    EXPECT_EQ(hashFormat(0.0), QString());
    EXPECT_EQ(hashFormat(64.5), QStringLiteral("65"));
    EXPECT_EQ(hashFormat(64.49), QStringLiteral("64"));
    EXPECT_EQ(hashFormat(QStringLiteral("  1")), QStringLiteral("1"));
    EXPECT_EQ(hashFormat(QStringLiteral("---")), QStringLiteral("---"));
    EXPECT_EQ(hashFormat(QString()), QString());
}

// ---- rankings ----

namespace {

QStringList timeLines(Sheet &f, int level, const QString &filter = QStringLiteral("全学年"))
{
    QStringList time, points;
    sheetFigures(f.state, f.kept, level, 1, 1, filter, &time, &points);
    return time;
}

} // namespace

TEST(SheetRankings, TimeRankingWithTiesFailuresAndNoRecord)
{
    Sheet f;
    const char16_t *names[] = {u"あ", u"い", u"う", u"え", u"お", u"か"};
    for (int s = 1; s <= 6; ++s)
        f.student(s, QString::fromUtf16(names[s - 1]));
    f.run(1, 1, 48);
    f.run(3, 1, 50);
    f.run(2, 1, 50);
    f.run(4, 1, 55);
    f.run(5, 1, 99998);
    f.tally();
    f.state.student.CurrentStudent = 2;
    EXPECT_EQ(timeLines(f, 1),
              (QStringList{QStringLiteral("  1③あ　　　　    48 　"), QStringLiteral("  2●い　　　　    50 ●"),
                           QStringLiteral("  2③う　　　　    50 　"), QStringLiteral("  4③え　　　　    55 　"),
                           QStringLiteral("  5③お　　　　*失敗* 　"), QStringLiteral("---③か　　　　------ 　")}));
    EXPECT_EQ(sheetFigures(f.state, f.kept, 1, 6, 1, QStringLiteral("全学年")).TimeRank, QStringLiteral("---"));
    EXPECT_EQ(sheetFigures(f.state, f.kept, 1, 5, 1, QStringLiteral("全学年")).TimeRank, QStringLiteral("5"));
}

TEST(SheetRankings, GradeFilterHidesLinesButKeepsTheRankCount)
{
    Sheet f;
    f.student(1, QStringLiteral("あ"), 2);
    f.student(2, QStringLiteral("い"), 5);
    f.student(3, QStringLiteral("う"), 8); // junior high
    f.student(4, QStringLiteral("え"), 6);
    for (int s = 1; s <= 4; ++s)
        f.run(s, 1, 40 + s);
    f.tally();
    EXPECT_EQ(timeLines(f, 1, QStringLiteral("小学生全体")),
              (QStringList{QStringLiteral("  1②あ　　　　    41 　"), QStringLiteral("  2⑤い　　　　    42 　"),
                           QStringLiteral("  4⑥え　　　　    44 　")}));
    EXPECT_EQ(sheetFigures(f.state, f.kept, 1, 3, 1, QStringLiteral("小学生全体")).TimeRank, QString());
}

TEST(SheetRankings, PointsRankingsAndTheSchoolAverage)
{
    Sheet f;
    f.student(1, QStringLiteral("あ"));
    f.student(2, QStringLiteral("い"));
    f.student(3, QStringLiteral("う"));
    f.student(4, QStringLiteral("え"));
    f.tally();
    Tallies &t = f.state.tallies;
    t.cells(1, 1).AllPoints = 30;
    t.cells(1, 2).AllPoints = 30;
    t.cells(1, 2).TodayPoints = 5;
    t.cells(1, 3).AllPoints = 12; // no points today
    f.state.student.CurrentStudent = 3;

    QStringList time, points;
    SheetRankFigures cumulative = sheetFigures(f.state, f.kept, 1, 1, 1, QStringLiteral("全学年"), &time, &points);
    EXPECT_EQ(points,
              (QStringList{QStringLiteral("  1③い　　　　  5/   30"), QStringLiteral("  1③あ　　　　  0/   30"),
                           QStringLiteral("  3●う　　　　  0/   12"), QStringLiteral("  4③え　　　　  0/    0")}));
    EXPECT_EQ(cumulative.PointsRank, QStringLiteral("1"));
    EXPECT_EQ(cumulative.PointsEarned, 30);
    EXPECT_EQ(cumulative.SchoolPointsCount, 3);
    EXPECT_EQ(cumulative.SchoolPointsSum, 72);
    // The own line carries one mark in the points ranking, two in the time ranking.
    EXPECT_TRUE(time.contains(QStringLiteral("---●う　　　　------ ●")));

    // Today's order: only students with points today are listed and averaged.
    SheetRankFigures today = sheetFigures(f.state, f.kept, 1, 1, 2, QStringLiteral("全学年"), &time, &points);
    EXPECT_EQ(points, QStringList{QStringLiteral("  1③い　　　　  5/   30")});
    EXPECT_EQ(today.PointsRank, QString());
    EXPECT_FALSE(today.PointsEarned.has_value());
    EXPECT_EQ(today.SchoolPointsCount, 1);
    EXPECT_EQ(today.SchoolPointsSum, 30);
}

TEST(SheetRankings, FiguresAreFoundByStudentNumberNotByName)
{
    Sheet f;
    f.student(1, QStringLiteral("田中一郎"));
    f.student(2, QStringLiteral("田中"));
    f.student(3, QStringLiteral("長谷川由紀子様")); // 7 characters: cut to 5 in the lines
    f.run(1, 1, 40);
    f.run(3, 1, 45);
    f.run(2, 1, 50);
    f.tally();
    f.state.tallies.cells(1, 1).AllPoints = 90;
    f.state.tallies.cells(1, 3).AllPoints = 50;
    f.state.tallies.cells(1, 2).AllPoints = 7;

    const SheetRankFigures tanaka = sheetFigures(f.state, f.kept, 1, 2, 1, QStringLiteral("全学年"));
    EXPECT_EQ(tanaka.TimeRank, QStringLiteral("3"));
    EXPECT_EQ(tanaka.PointsRank, QStringLiteral("3"));
    EXPECT_EQ(tanaka.PointsEarned, 7);
    const SheetRankFigures hasegawa = sheetFigures(f.state, f.kept, 1, 3, 1, QStringLiteral("全学年"));
    EXPECT_EQ(hasegawa.TimeRank, QStringLiteral("2"));
    EXPECT_EQ(hasegawa.PointsRank, QStringLiteral("2"));
    EXPECT_EQ(hasegawa.PointsEarned, 50);
}

TEST(SheetRankings, TheWholeRosterIsRanked)
{
    Sheet f;
    for (int s = 1; s <= 2600; ++s)
        f.student(s, QStringLiteral("生徒%1").arg(s));
    f.run(2500, 1, 30);
    f.run(7, 1, 31);
    f.tally();
    EXPECT_EQ(sheetFigures(f.state, f.kept, 1, 2500, 1, QStringLiteral("全学年")).TimeRank, QStringLiteral("1"));
    EXPECT_EQ(sheetFigures(f.state, f.kept, 1, 7, 1, QStringLiteral("全学年")).TimeRank, QStringLiteral("2"));
}
