#include "admin/OverviewPrintout.h"

#include "text/FixedWidth.h"

#include <algorithm>
#include <cmath>

namespace tobrel {
namespace {

// A half-width cell of the list font is half its size: 10 twips a point.
constexpr double kCellTwipsPerPoint = 10;
// A line of text and its spacing, in twips a point.
constexpr double kEmTwipsPerPoint = 20;
constexpr double kRowPitchEms = 1.35;

constexpr double kTitlePoints = 14;
constexpr double kHeadingPoints = 9;
constexpr double kFootPoints = 9;

// Cells before the first column, where a marked row gets its mark; cells between two
// columns; cells between two levels, with a rule in their middle.
constexpr int kMarkCells = 3;
constexpr int kColumnGapCells = 1;
constexpr int kGroupGapCells = 2;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kMarkedRow = 0x0000A0; // dark red, still dark on a black-and-white printer
constexpr uint32_t kLightRule = 0xB0B0B0;
constexpr double kRuleDots = 2;
constexpr double kLightRuleDots = 1;

// The text cut to at most `cells` cells; a cut text ends in "…" so it is not read as
// whole. Never splits a character made of two code units.
QString fitCells(const QString &text, int cells)
{
    if (displayCells(text) <= cells)
        return text;
    const QString ellipsis = QStringLiteral("…");
    const int room = cells - displayCells(ellipsis);
    if (room < 0)
        return {};
    QString kept;
    int used = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, n);
        const int w = displayCells(one);
        if (used + w > room)
            break;
        kept += one;
        used += w;
        i += n - 1;
    }
    return kept + ellipsis;
}

// Consecutive columns under one level heading.
struct Group {
    QString label;
    std::vector<int> columns; // indices into the printout's columns
    int cells = 0; // its columns and the gaps between them
};

struct Layout {
    std::vector<int> widths; // cells of each column
    std::vector<int> ownColumns; // the student's columns, on every page group
    int ownCells = 0; // the mark's cells and the student's columns
    std::vector<Group> groups;
    std::vector<std::vector<int>> pageGroups; // indices into groups
    double points = kOverviewMaxFontPoints;
};

QString cellText(const OverviewPrintout &p, size_t row, int column)
{
    return p.rows[row].value(column);
}

Layout measure(const OverviewPrintout &p)
{
    Layout l;
    const int count = static_cast<int>(p.columns.size());
    l.widths.resize(count);
    for (int c = 0; c < count; ++c) {
        int longest = 0;
        for (size_t r = 0; r < p.rows.size(); ++r)
            longest = std::max(longest, displayCells(cellText(p, r, c)));
        l.widths[c] = std::max({p.columns[c].widthChars, displayCells(p.columns[c].heading),
                                std::min(longest, kOverviewMaxColumnCells), 1});
    }
    for (int c = 0; c < count; ++c) {
        const QString &label = p.columns[c].group;
        if (label.isEmpty()) {
            l.ownColumns.push_back(c);
            continue;
        }
        if (l.groups.empty() || l.groups.back().label != label || l.groups.back().columns.back() != c - 1)
            l.groups.push_back({label, {}, 0});
        l.groups.back().columns.push_back(c);
    }
    for (Group &g : l.groups) {
        for (const int c : g.columns)
            g.cells += l.widths[c];
        g.cells += kColumnGapCells * static_cast<int>(g.columns.size() - 1);
        // A level's name wider than its columns widens its last column.
        if (const int label = std::min(displayCells(g.label), kOverviewMaxColumnCells); label > g.cells) {
            l.widths[g.columns.back()] += label - g.cells;
            g.cells = label;
        }
    }
    l.ownCells = kMarkCells;
    for (size_t i = 0; i < l.ownColumns.size(); ++i)
        l.ownCells += l.widths[l.ownColumns[i]] + (i > 0 ? kColumnGapCells : 0);
    return l;
}

// Cells of a page group made of the groups from..to-1.
int pageCells(const Layout &l, const std::vector<int> &groups)
{
    int cells = l.ownCells;
    for (const int g : groups)
        cells += kGroupGapCells + l.groups[g].cells;
    return cells;
}

// The groups in order, a new page group whenever the next would pass `capacity` cells.
std::vector<std::vector<int>> packGroups(const Layout &l, int capacity)
{
    std::vector<std::vector<int>> packed(1);
    for (int g = 0; g < static_cast<int>(l.groups.size()); ++g) {
        std::vector<int> tried = packed.back();
        tried.push_back(g);
        if (!packed.back().empty() && pageCells(l, tried) > capacity)
            packed.push_back({g});
        else
            packed.back() = std::move(tried);
    }
    return packed;
}

// All levels on one page width when they fit at the smallest readable size; otherwise
// as few page groups as fit, made as even as the levels allow, all at one font size.
void planPageGroups(Layout &l, double pageWidth)
{
    const auto fitPoints = [&](int cells) { return pageWidth / (cells * kCellTwipsPerPoint); };
    const int readable = static_cast<int>(std::floor(pageWidth / (kOverviewMinFontPoints * kCellTwipsPerPoint)));
    std::vector<std::vector<int>> packed = packGroups(l, readable);
    // Even: the smallest width that still packs into as many page groups.
    int low = l.ownCells, high = std::max(readable, l.ownCells);
    for (const Group &g : l.groups)
        low = std::max(low, l.ownCells + kGroupGapCells + g.cells);
    if (low <= readable) {
        while (low < high) {
            const int mid = (low + high) / 2;
            if (packGroups(l, mid).size() <= packed.size())
                high = mid;
            else
                low = mid + 1;
        }
        packed = packGroups(l, low);
    }
    int widest = 1;
    for (const std::vector<int> &pg : packed)
        widest = std::max(widest, pageCells(l, pg));
    l.pageGroups = std::move(packed);
    // Smaller than readable only when one level with the student's columns is wider
    // than the page: better small than cut off.
    l.points = std::min(kOverviewMaxFontPoints, fitPoints(widest));
}

class PageDrawer {
public:
    PageDrawer(DrawingSurface &surface, const OverviewPrintout &printout, const Layout &layout)
        : s(surface), p(printout), l(layout), cell(layout.points * kCellTwipsPerPoint),
          pitch(layout.points * kEmTwipsPerPoint * kRowPitchEms)
    {
    }

    // Rows that fit under the headings of a page.
    int rowsPerPage() const
    {
        const double room = s.height() - tableTop() - headingRowsHeight() - footHeight();
        return std::max(1, static_cast<int>(std::floor(room / pitch)));
    }

    void drawPage(const std::vector<int> &pageGroup, size_t firstRow, size_t endRow, int page, int pages)
    {
        columnsOf(pageGroup);
        double y = drawHeading();
        y = drawColumnHeadings(y);
        for (size_t r = firstRow; r < endRow; ++r) {
            drawRow(r, y);
            y += pitch;
            if ((r + 1 - firstRow) % 5 == 0 && r + 1 < endRow)
                s.drawLine(0, y, m_right, y, kLightRuleDots, kLightRule);
        }
        if (p.rows.empty()) {
            s.setFontSize(l.points);
            s.drawText(kMarkCells * cell, y, fitText(QStringLiteral("該当する生徒はいません。"), kMarkCells * cell));
            y += pitch;
        }
        s.drawLine(0, y, m_right, y, kRuleDots, kBlack);
        for (const double x : m_groupRules)
            s.drawLine(x, m_headTop, x, y, kLightRuleDots, kLightRule);
        drawFoot(page, pages);
    }

private:
    double tableTop() const
    {
        return kTitlePoints * kEmTwipsPerPoint * 1.5 +
               p.headingLines.size() * kHeadingPoints * kEmTwipsPerPoint * kRowPitchEms + pitch / 2;
    }
    bool hasGroups() const { return !l.groups.empty(); }
    // The level names, the column headings, and the space under their rule.
    double headingRowsHeight() const { return pitch * (hasGroups() ? 2 : 1) + pitch / 4 + pitch / 8; }
    double footHeight() const
    {
        return kFootPoints * kEmTwipsPerPoint * kRowPitchEms * (p.markNote.isEmpty() ? 1.5 : 2.5);
    }

    // A text cut to what is left of the page's width from x.
    QString fitText(const QString &text, double x, double points = 0) const
    {
        const double c = (points > 0 ? points : l.points) * kCellTwipsPerPoint;
        return fitCells(text, static_cast<int>(std::floor((s.width() - x) / c + 1e-6)));
    }

    // The left edge of each column drawn on this page group, and the rules between levels.
    void columnsOf(const std::vector<int> &pageGroup)
    {
        m_left.assign(p.columns.size(), -1);
        m_groupRules.clear();
        m_groupSpans.clear();
        int at = kMarkCells;
        for (size_t i = 0; i < l.ownColumns.size(); ++i) {
            if (i > 0)
                at += kColumnGapCells;
            m_left[l.ownColumns[i]] = at * cell;
            at += l.widths[l.ownColumns[i]];
        }
        for (const int g : pageGroup) {
            m_groupRules.push_back((at + kGroupGapCells / 2.0) * cell);
            at += kGroupGapCells;
            const Group &group = l.groups[g];
            m_groupSpans.push_back({g, at * cell});
            for (size_t i = 0; i < group.columns.size(); ++i) {
                if (i > 0)
                    at += kColumnGapCells;
                m_left[group.columns[i]] = at * cell;
                at += l.widths[group.columns[i]];
            }
        }
        m_right = std::min(s.width(), at * cell);
    }

    double drawHeading()
    {
        double y = 0;
        s.setFontSize(kTitlePoints);
        s.drawText(0, y, fitText(p.title, 0, kTitlePoints));
        y += kTitlePoints * kEmTwipsPerPoint * 1.5;
        s.setFontSize(kHeadingPoints);
        for (const QString &line : p.headingLines) {
            s.drawText(0, y, fitText(line, 0, kHeadingPoints));
            y += kHeadingPoints * kEmTwipsPerPoint * kRowPitchEms;
        }
        return y + pitch / 2;
    }

    // A text in column c, aligned in its width.
    void drawCell(int c, double y, const QString &text, uint32_t colour)
    {
        if (m_left[c] < 0 || text.isEmpty())
            return;
        const QString shown = fitCells(text, l.widths[c]);
        const double x = p.columns[c].alignRight ? m_left[c] + (l.widths[c] - displayCells(shown)) * cell : m_left[c];
        s.drawText(x, y, shown, colour);
    }

    double drawColumnHeadings(double y)
    {
        m_headTop = y;
        s.drawLine(0, y, m_right, y, kRuleDots, kBlack);
        s.setFontSize(l.points);
        const double gap = pitch / 8;
        if (hasGroups()) {
            for (const auto &[g, left] : m_groupSpans) {
                const Group &group = l.groups[g];
                const QString label = fitCells(group.label, group.cells);
                s.drawText(left + (group.cells - displayCells(label)) * cell / 2, y + gap, label);
                s.drawLine(left, y + pitch, left + group.cells * cell, y + pitch, kLightRuleDots, kBlack);
            }
            y += pitch;
        }
        for (int c = 0; c < static_cast<int>(p.columns.size()); ++c)
            drawCell(c, y + gap, p.columns[c].heading, kBlack);
        y += pitch + pitch / 4;
        s.drawLine(0, y, m_right, y, kRuleDots, kBlack);
        return y + gap;
    }

    void drawRow(size_t r, double y)
    {
        const bool marked = r < p.marked.size() && p.marked[r];
        const uint32_t colour = marked ? kMarkedRow : kBlack;
        if (marked)
            s.drawText(0, y, kOverviewMark, colour);
        for (int c = 0; c < static_cast<int>(p.columns.size()); ++c)
            drawCell(c, y, cellText(p, r, c), colour);
    }

    void drawFoot(int page, int pages)
    {
        const double line = kFootPoints * kEmTwipsPerPoint * kRowPitchEms;
        s.setFontSize(kFootPoints);
        const double footCell = kFootPoints * kCellTwipsPerPoint;
        if (!p.markNote.isEmpty()) {
            const QString note = kOverviewMark + QLatin1Char(' ') + p.markNote;
            s.drawText(0, s.height() - 2.2 * line, fitText(note, 0, kFootPoints), kMarkedRow);
        }
        const QString number = QStringLiteral("%1 / %2").arg(page).arg(pages);
        s.drawText(std::max(0.0, (s.width() - displayCells(number) * footCell) / 2), s.height() - line, number);
    }

    DrawingSurface &s;
    const OverviewPrintout &p;
    const Layout &l;
    const double cell;
    const double pitch;
    std::vector<double> m_left; // -1: not on this page group
    std::vector<double> m_groupRules;
    std::vector<std::pair<int, double>> m_groupSpans; // group, left edge
    double m_right = 0;
    double m_headTop = 0;
};

} // namespace

void drawOverviewPages(DrawingSurface &surface, const OverviewPrintout &printout)
{
    Layout layout = measure(printout);
    planPageGroups(layout, surface.width());
    PageDrawer drawer(surface, printout, layout);
    const size_t perPage = static_cast<size_t>(drawer.rowsPerPage());
    const size_t rows = printout.rows.size();
    const size_t chunks = std::max<size_t>(1, (rows + perPage - 1) / perPage);
    const int pages = static_cast<int>(chunks * layout.pageGroups.size());
    int page = 0;
    // The pages of the same students lie together: each run of rows on every page group.
    for (size_t chunk = 0; chunk < chunks; ++chunk) {
        const size_t first = chunk * perPage;
        const size_t end = std::min(rows, first + perPage);
        for (const std::vector<int> &pageGroup : layout.pageGroups) {
            if (page > 0)
                surface.newPage();
            drawer.drawPage(pageGroup, first, end, ++page, pages);
        }
    }
}

} // namespace tobrel
