// The criteria editor FrmTimeData apart from any widget: the grid of criteria texts
// with its marks, the cell editor laid over the current cell, the keys, saving and
// reloading the criteria file, and the histograms of the current level.
//
//   Form_Activate: reload the grid, level 1 column 1 current, histograms of level 1
//   every key in the cell editor (Gridinputtext_KeyDown, then Gridinputtext_KeyPress for
//   a typed character): move or fill down, refresh the histograms, put the cell's text
//   back into the editor; a typed character then lands at the end of the cell's text
//   "元に戻す" reloads the grid, "更新記録" saves it, "戻る" leaves for a fresh hub
#pragma once
#include "admin/TimeHistogram.h"
#include "criteria/CriteriaFile.h"
#include "state/Platform.h"
#include "text/DurableFile.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace tobrel {

struct SharedState;

// Key codes of the cell editor's keys.
enum EditorKey : int {
    KeyBackspace = 8,
    KeyEnter = 13,
    KeyEscape = 27,
    KeySpace = 32,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
};

// What the editor's controls show besides the grid.
struct CriteriaEditorView {
    QString Label3; // explanation of the current column, lines joined by CR LF
    QString Gridinputtext; // the cell editor's text
    int caret = 0; // caret position in the cell editor
    bool GridinputtextVisible = false;
    QStringList List3, List4; // the histograms: all results, best times
    bool Picture1Visible = false; // the main panel
    bool Picture3Visible = true; // the histogram panel
    bool Picture6Visible = false; // "Just a moment,please."
    int Option1 = 0; // 0 "度数表示", 1 "度数非表示"
};

// What the editor needs from its screen.
class CriteriaEditorHost {
public:
    virtual ~CriteriaEditorHost() = default;
    // Writes the view and the grid into the controls.
    virtual void refresh() = 0;
    // Writes them and paints at once (the wait overlay before a save).
    virtual void repaintNow() = 0;
    // Lays the cell editor exactly over the current cell and gives it the focus.
    virtual void placeEditBox() = 0;
    // Yes/No question; true for Yes.
    virtual bool question(const QString &title, const QString &text) = 0;
    virtual void tell(const QString &title, const QString &text) = 0;
    // Shows a freshly built hub screen and closes the editor.
    virtual void showHubAndClose() = 0;
};

class CriteriaEditorLogic {
public:
    static constexpr int kCols = 13; // column 0 the level, 1..12 the fields
    static constexpr int kLastCol = 12;

    CriteriaEditorLogic(SharedState &state, WaitFunction wait, CriteriaEditorHost &host);

    CriteriaEditorView view;
    int DataChanged = 0; // 1 once a typed edit changed a cell; 0 after a save
    int LevelRowCount = 0; // level rows of the last reload
    int HistogramLevel = 0; // the level the histograms were last built for
    // How the save replaces the file (tests play a crash or a refused rename).
    FileReplaceSteps saveSteps;

    // The grid: row 0 the header, rows 1..N the levels; column 0 the level number.
    int Rows() const { return static_cast<int>(m_cells.size()); }
    const QString &TextMatrix(int row, int col) const { return m_cells[row][col]; }
    bool marked(int row, int col) const { return m_marks[row][col]; }
    int Row() const { return m_row; }
    int Col() const { return m_col; }
    int RowSel() const { return m_rowSel; }
    // The level rows as the save writes them (twelve texts each).
    QList<QStringList> levelRows() const;

    void Form_Activate();
    void Command2_Click(); // "元に戻す": reload the grid from the criteria file
    void Command3_Click(); // "更新記録": save
    void Command4_Click(); // "戻る": leave
    void Command7_Click(); // histograms of the current row
    void Option1_Click(int index); // 0 "度数表示", 1 "度数非表示": the histograms' counts
    void MSFlexGrid1_Click(int row, int col);
    void Gridinputtext_Change(const QString &text);
    void Gridinputtext_KeyDown(int keyCode, bool shiftCtrlOrAlt);
    // A typed character, after its key went down; 8 is Backspace.
    void Gridinputtext_KeyPress(QChar key);

    void TextToGrid転送();
    void GridToText転送();
    void PlaceEditBox();

    // The header texts of the thirteen columns.
    static QStringList headerTexts();
    // What Label3 shows while a column is current.
    static QString columnExplanation(int col);

    const TimeHistogram &histogram() const { return m_histogram; }
    QString criteriaPath() const;
    // True while the histograms wait for the results file (another PC holds its lock):
    // the wait lets screen events run, and every key and click that arrives meanwhile is
    // dropped, so nothing moves, types or closes under the read.
    bool busy() const { return m_busy; }

private:
    bool reloadGrid();
    bool save();
    // Asked just before a save writes: true to go on. When the file is no longer what the
    // grid was loaded from, the teacher chooses between overwriting it and keeping it.
    bool mayOverwrite();
    bool hasLevelRows() const { return m_cells.size() > 1; }
    void editorText(const QString &text);

    SharedState &m_state;
    WaitFunction m_wait;
    CriteriaEditorHost &m_host;
    TimeHistogram m_histogram;
    // The criteria file as the grid last read or wrote it.
    CriteriaFileStamp m_loaded;
    std::vector<std::array<QString, kCols>> m_cells;
    std::vector<std::array<bool, kCols>> m_marks;
    int m_row = 0, m_col = 1, m_rowSel = 0;
    bool m_busy = false;
};

} // namespace tobrel
