#include "admin/OverviewPrintout.h"

#include "text/FixedWidth.h"

#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

using namespace tobrel;

namespace {

// The printable area of A4 landscape with 10 mm margins, in twips.
constexpr double kPageWidth = 277 / 25.4 * 1440;
constexpr double kPageHeight = 190 / 25.4 * 1440;

struct ColumnSpec {
    const char *heading;
    int width;
};

// A class as the overview lists it: grade and name, then per level the columns given.
OverviewPrintout classOf(int students, const std::vector<ColumnSpec> &perLevel, int levels = 6)
{
    OverviewPrintout p;
    p.title = QStringLiteral("クラス一覧");
    p.headingLines = {QStringLiteral("さくら塾"), QStringLiteral("学年: 全学年"),
                      QStringLiteral("期間: 2024/01/08 ～ 2024/02/07"), QStringLiteral("回数は期間内 / 全期間")};
    p.columns.push_back({QStringLiteral("学年"), {}, false, 6});
    p.columns.push_back({QStringLiteral("名前"), {}, false, 16});
    for (int L = 1; L <= levels; ++L)
        for (const ColumnSpec &c : perLevel)
            p.columns.push_back({QString::fromUtf8(c.heading), QStringLiteral("レベル%1").arg(L), true, c.width});
    for (int s = 0; s < students; ++s) {
        QStringList row{QStringLiteral("中%1").arg(s % 3 + 1), QStringLiteral("生徒%1　名前").arg(s + 1, 2, 10, QChar(u'0'))};
        for (int L = 1; L <= levels; ++L)
            for (size_t c = 0; c < perLevel.size(); ++c)
                row << QString::number((s * 37 + L * 11 + static_cast<int>(c) * 101) % (c == 0 ? 10 : 1000));
        p.rows.push_back(row);
        p.marked.push_back(s % 7 == 3);
    }
    p.markNote = QStringLiteral("7日を超えて練習していない生徒");
    return p;
}

const std::vector<ColumnSpec> kSixColumns = {{"回数", 4}, {"全回数", 5}, {"最高", 4}, {"点", 5}, {"合格", 2},
                                             {"最終日", 5}};
const std::vector<ColumnSpec> kThreeColumns = {{"回数", 4}, {"最高", 4}, {"点", 5}};

struct Text {
    double x, y, points;
    QString text;
    uint32_t colour;
};

// The texts of each page, with the font size each was drawn in.
std::vector<std::vector<Text>> pagesOf(const RecordingSurface &s)
{
    std::vector<std::vector<Text>> pages(1);
    double points = 0;
    for (const RecordingSurface::Op &op : s.ops()) {
        if (op.kind == RecordingSurface::Kind::NewPage)
            pages.emplace_back();
        else if (op.kind == RecordingSurface::Kind::FontSize)
            points = op.size;
        else if (op.kind == RecordingSurface::Kind::Text)
            pages.back().push_back({op.x1, op.y1, points, op.text, op.colour});
    }
    return pages;
}

bool has(const std::vector<Text> &page, const QString &text)
{
    return std::any_of(page.begin(), page.end(), [&](const Text &t) { return t.text == text; });
}

std::vector<std::vector<Text>> drawn(const OverviewPrintout &p, double width = kPageWidth, double height = kPageHeight)
{
    RecordingSurface paper(width, height);
    drawOverviewPages(paper, p);
    return pagesOf(paper);
}

// Every text lies on the page: its cells (half a point's em each) end inside the
// width, its line inside the height.
void expectOnPage(const std::vector<std::vector<Text>> &pages, double width = kPageWidth,
                  double height = kPageHeight)
{
    for (size_t n = 0; n < pages.size(); ++n)
        for (const Text &t : pages[n]) {
            EXPECT_GE(t.x, 0) << n << ' ' << t.text.toStdString();
            EXPECT_LE(t.x + displayCells(t.text) * t.points * 10, width + 0.5) << n << ' ' << t.text.toStdString();
            EXPECT_GE(t.y, 0);
            EXPECT_LE(t.y + t.points * 20, height) << n << ' ' << t.text.toStdString();
        }
}

} // namespace

TEST(OverviewPrintout, SixtyStudentsWithSixWideLevelsSplitTheLevelsOverPageGroups)
{
    // Six levels of six columns need more than a page's width at 7 pt: levels 1-3 and
    // 4-6 go on pages of their own, each with the students' names, the pages of the
    // same students next to each other.
    const OverviewPrintout p = classOf(60, kSixColumns);
    const auto pages = drawn(p);
    ASSERT_EQ(pages.size(), 4u);
    expectOnPage(pages);
    QMap<QString, int> pagesWithName;
    for (size_t n = 0; n < pages.size(); ++n) {
        const auto &page = pages[n];
        SCOPED_TRACE(n);
        EXPECT_TRUE(has(page, QStringLiteral("クラス一覧")));
        for (const QString &line : p.headingLines)
            EXPECT_TRUE(has(page, line));
        EXPECT_TRUE(has(page, QStringLiteral("%1 / 4").arg(n + 1)));
        EXPECT_TRUE(has(page, QStringLiteral("名前")));
        EXPECT_TRUE(has(page, QStringLiteral("最終日")));
        const bool first = n % 2 == 0;
        EXPECT_EQ(has(page, QStringLiteral("レベル1")), first);
        EXPECT_EQ(has(page, QStringLiteral("レベル3")), first);
        EXPECT_EQ(has(page, QStringLiteral("レベル4")), !first);
        EXPECT_EQ(has(page, QStringLiteral("レベル6")), !first);
        for (const Text &t : page) {
            if (t.text.startsWith(QStringLiteral("生徒")))
                ++pagesWithName[t.text];
            EXPECT_GE(t.points, kOverviewMinFontPoints) << t.text.toStdString();
        }
    }
    // Rows 1-33 on pages 1 and 2, the rest on pages 3 and 4: every name twice.
    EXPECT_EQ(pagesWithName.size(), 60);
    for (auto it = pagesWithName.begin(); it != pagesWithName.end(); ++it)
        EXPECT_EQ(it.value(), 2) << it.key().toStdString();
    EXPECT_TRUE(has(pages[1], QStringLiteral("生徒01　名前")));
    EXPECT_TRUE(has(pages[3], QStringLiteral("生徒60　名前")));
    EXPECT_FALSE(has(pages[3], QStringLiteral("生徒01　名前")));
}

TEST(OverviewPrintout, LevelsThatFitStandSideBySideOnEveryPage)
{
    // Rows a page takes, and pages, for classes of several sizes, with six narrow levels.
    struct Case {
        int students;
        size_t pages;
    };
    for (const Case c : {Case{60, 2}, Case{1, 1}, Case{0, 1}}) {
        SCOPED_TRACE(c.students);
        const auto pages = drawn(classOf(c.students, kThreeColumns));
        ASSERT_EQ(pages.size(), c.pages);
        expectOnPage(pages);
        for (const auto &page : pages) {
            EXPECT_TRUE(has(page, QStringLiteral("レベル1")));
            EXPECT_TRUE(has(page, QStringLiteral("レベル6")));
            EXPECT_TRUE(has(page, QStringLiteral("%1 / %2").arg(&page - &pages[0] + 1).arg(c.pages)));
        }
        EXPECT_EQ(has(pages[0], QStringLiteral("該当する生徒はいません。")), c.students == 0);
    }
}

TEST(OverviewPrintout, FiguresLineUpOnTheRightAndMarkedRowsCarryTheMark)
{
    OverviewPrintout p = classOf(12, kThreeColumns, 1);
    p.rows[0][3] = QStringLiteral("7"); // best time of row 1
    p.rows[1][3] = QStringLiteral("1234");
    p.rows[2][3] = QString(); // no run: nothing drawn
    const auto pages = drawn(p);
    ASSERT_EQ(pages.size(), 1u);
    const auto &page = pages[0];

    // The right edges of the best times of rows 1 and 2 meet.
    const auto rowY = [&](int row) {
        for (const Text &t : page)
            if (t.text == p.rows[row][1])
                return t.y;
        return -1.0;
    };
    const auto rightEdge = [&](int row, const QString &text) {
        for (const Text &t : page)
            if (t.text == text && t.y == rowY(row))
                return t.x + displayCells(t.text) * t.points * 10;
        return -1.0;
    };
    EXPECT_GT(rightEdge(0, QStringLiteral("7")), 0);
    EXPECT_DOUBLE_EQ(rightEdge(0, QStringLiteral("7")), rightEdge(1, QStringLiteral("1234")));
    // Names are left-aligned: their left edges meet.
    double nameX = -1;
    for (const Text &t : page)
        if (t.text.startsWith(QStringLiteral("生徒"))) {
            if (nameX < 0)
                nameX = t.x;
            EXPECT_EQ(t.x, nameX) << t.text.toStdString();
        }

    // The mark stands on exactly the marked rows (4 and 11), and what it means below.
    QSet<double> markedYs;
    for (const Text &t : page)
        if (t.text == kOverviewMark)
            markedYs.insert(t.y);
    EXPECT_EQ(markedYs, (QSet<double>{rowY(3), rowY(10)}));
    for (const Text &t : page) {
        if (t.y == rowY(3) || t.y == rowY(0)) {
            EXPECT_EQ(t.colour != 0, t.y == rowY(3)) << t.text.toStdString();
        }
    }
    EXPECT_TRUE(has(page, kOverviewMark + QLatin1Char(' ') + p.markNote));
}

TEST(OverviewPrintout, LongTextsAreCutAtThePageAndColumnEdges)
{
    // A name far longer than any column, a heading line longer than the page, and a
    // page so narrow that even one level is wider than it at 7 pt: everything stays
    // on the page, a cut text ends in "…".
    OverviewPrintout p = classOf(3, kSixColumns, 2);
    p.rows[1][1] = QString(60, QChar(u'長'));
    p.headingLines << QString(300, QChar(u'x'));
    for (const double width : {kPageWidth, 4000.0}) {
        SCOPED_TRACE(width);
        const auto pages = drawn(p, width);
        expectOnPage(pages, width);
        EXPECT_TRUE(std::any_of(pages[0].begin(), pages[0].end(), [](const Text &t) {
            return t.text.startsWith(QStringLiteral("長長")) && t.text.endsWith(QStringLiteral("…"));
        }));
    }
}
