// The class overview on paper: the overview's table laid out on A4 landscape pages of a
// drawing surface (the printer's paper, a PDF, a recording in tests), as many pages as
// the class needs.
//
//   OverviewPrintout (texts the overview screen already shows)
//     -> column widths in half-width cells (a full-width character takes two)
//     -> one font size for the whole document: the largest up to 9 pt at which the
//        columns fit the page's width; when all levels do not fit at 7 pt, the levels
//        are split over page groups, each repeating the student's own columns
//     -> pages: for each run of rows that fits a page, one page per page group, so the
//        pages of the same students lie together; every page carries the title, the
//        heading lines, the column headings (levels over their columns), the rows, the
//        mark's note and "n / m" at its foot.
//
// Texts are laid out in cells of the fixed-pitch list font (IPAGothic), so figures
// right-aligned in a column line up under each other on paper as in the lists.
#pragma once
#include "state/DrawingSurface.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace tobrel {

struct OverviewColumn {
    QString heading; // "回数", "最高", "最終日"
    // The level over this column ("レベル1"); consecutive columns of the same group stand
    // under one heading. Columns without a group are the student's own (grade, name):
    // they come first and are repeated on every page group.
    QString group;
    bool alignRight = true; // figures right-aligned, names left-aligned
    // The narrowest width in half-width cells; a column widens to its heading and to
    // its longest text (up to kOverviewMaxColumnCells, longer texts are cut).
    int widthChars = 4;
};

struct OverviewPrintout {
    QString title; // "クラス一覧"
    QStringList headingLines; // school, grade filter, period, a note on the figures
    std::vector<OverviewColumn> columns;
    std::vector<QStringList> rows; // one text per column (missing texts are empty)
    std::vector<bool> marked; // rows drawn marked (no run for N days); may be shorter than rows
    QString markNote; // what the mark means, printed under the table
};

// The smallest font the table is printed in before levels are split over page groups,
// and the largest it is printed in when there is room.
constexpr double kOverviewMinFontPoints = 7;
constexpr double kOverviewMaxFontPoints = 9;
// A column never widens past this many cells for its texts.
constexpr int kOverviewMaxColumnCells = 30;
// The mark drawn before a marked row (and before the mark's note).
inline const QString kOverviewMark = QStringLiteral("※");

// Draws the printout on a fresh paper surface (A4 landscape): as many pages as the rows
// and the page groups need, at least one; the surface's newPage() between pages. The
// screen prints and saves it through ui/PaperOutput, as pages of
// QPageLayout::Landscape whose draw function calls this.
void drawOverviewPages(DrawingSurface &surface, const OverviewPrintout &printout);

} // namespace tobrel
