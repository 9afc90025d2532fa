// The hub's level columns: one element of each column control array per level, index =
// level, element 0 the template whose size and position the others copy. Top to bottom a
// column reads: number badge and name; start button (the notice box "やりすぎ禁止" over
// it, the hidden practice and explanation buttons on its row); today's and so-far
// headings side by side; their values; the pass-window line; the result list; the
// criteria line.
//
// Everything is placed in twips of the stage, where the ColumnLayout says; scrolling
// moves the columns sideways by whole column widths and parks the ones scrolled out of
// view beyond the stage's right edge.
#pragma once
#include "hub/Availability.h"
#include "hub/ColumnLayout.h"

#include <QString>

#include <functional>
#include <vector>

class QLabel;
class QListView;
class QPushButton;
class QWidget;

namespace tobrel {

class FormScale;
class LineListModel;

class LevelColumns {
public:
    // Rows of a column in twips from the top of the form: the view title Label5 stands
    // above them and the column scroll bar below.
    static constexpr double kLabel5Top = 1620, kLabel5Height = 390;
    static constexpr double kScrollTop = 10640, kScrollHeight = 330;

    // Builds the template and the columns of levels 1..LevelCount on the stage, laid out
    // as `layout` says; a start button's click calls startLevel with its level.
    LevelColumns(QWidget *stage, const FormScale &scale, const ColumnLayout &layout, const SharedState &state,
                 std::function<void(int level)> startLevel);

    int levelCount() const { return m_levelCount; }
    // The column width W in twips.
    double columnWidth() const { return m_layout.width; }
    const ColumnLayout &layout() const { return m_layout; }
    // Places column i at the template's left + (i - scroll) x W; a column whose left would
    // be negative, or that the layout keeps out of view, is parked at the stage's right
    // edge, out of sight.
    void place(int columnScroll);
    // The start buttons and "やりすぎ禁止" notices of an availability pass.
    void showAvailability(const Availability &availability);
    void showLists(bool visible);
    // Gives every list the largest font (up to the designed one) in which the widest
    // line of any list fits beside a vertical scroll bar: no line is ever cut short.
    void fitListFonts();

    // The line of the list of a level that is the student's own (their ranking line, the
    // newest of their runs), or -1. Shown selected and scrolled into view by showOwnLines.
    void setOwnLine(int level, int row);
    void showOwnLines();

    std::vector<QLabel *> Label1, Label3, Text1, Label9, Label10, Label14, Label15, Label8, Label7;
    std::vector<QPushButton *> Command4, Command28, Command30, Command3, Command2;
    std::vector<QListView *> List5;
    std::vector<LineListModel *> List5Lines; // the lines of List5(i)

private:
    void placeColumn(int level, double left); // left edge in twips
    const FormScale &m_scale;
    ColumnLayout m_layout;
    int m_levelCount = 0;
    std::vector<int> m_ownLine;
};

} // namespace tobrel
