// The hub screen seisekitime1: one column per level with its start button, the
// student's counts and points, the pass-window line, the level's result list and its
// criteria; the view selectors above them; the way back to the roster screen.
//
// Every activation tallies the results file afresh, shows the cumulative points
// ranking and decides which levels may be started (the over-practice bar).
#pragma once
#include "hub/HubViews.h"
#include "hub/LevelColumns.h"
#include "ui/Forms.h"

#include <QStringList>

#include <functional>

#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QListView;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tobrel {

class SheetPanel;
class TeacherPanel;

class HubScreen final : public Screen {
public:
    explicit HubScreen(AppContext &ctx);

    void Form_Load();
    void Form_Activate() override;
    // True when the key was taken.
    bool Form_KeyPress(QChar key);
    void Command4_Click(int level);
    void Label3_Click(int level);
    void Command1_Click();
    void Command9_Click();
    void Option2_Click(int kind);
    void Option1_Click(int view);
    void Combo1_Click();
    void Combo2_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command3_Click(int level);
    void Command16_Click();
    void HScroll1_Change();
    void 回数など表示();
    void 成績リスト色表示();
    void 成績リスト色表示単独(int level);

    // Fixed controls.
    QLabel *Label11 = nullptr, *Label12 = nullptr, *Label13 = nullptr, *Label17 = nullptr;
    QLabel *Label18 = nullptr, *Label6 = nullptr, *Label5 = nullptr;
    QPushButton *Command1 = nullptr, *Command8 = nullptr, *Command27 = nullptr, *Command26 = nullptr;
    QPushButton *Command17 = nullptr;
    std::vector<QRadioButton *> Option1; // 1..3 (0 unused)
    std::vector<QRadioButton *> Option2; // 0..2
    QFrame *Picture1 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr;
    QScrollBar *HScroll1 = nullptr;
    QFrame *Picture2 = nullptr, *Picture6 = nullptr, *Picture7 = nullptr;
    SheetPanel *Picture11 = nullptr; // the result sheet
    // Picture7 and "データ処理" (Command8): built for teachers only, nullptr for students.
    TeacherPanel *teacherPanel = nullptr; // Picture7
    // While the teacher panel is open, level keys and clicks do nothing.
    bool teacherPanelOpen() const;
    QLabel *Label19 = nullptr, *Label21 = nullptr;
    QProgressBar *ProgressBar1 = nullptr, *ProgressBar2 = nullptr;

    // The level columns, and their control arrays under the form's names (index = level;
    // element 0 is the template).
    LevelColumns columns;
    std::vector<QLabel *> &Label1 = columns.Label1, &Label3 = columns.Label3, &Text1 = columns.Text1;
    std::vector<QLabel *> &Label9 = columns.Label9, &Label10 = columns.Label10, &Label14 = columns.Label14;
    std::vector<QLabel *> &Label15 = columns.Label15, &Label8 = columns.Label8, &Label7 = columns.Label7;
    std::vector<QPushButton *> &Command4 = columns.Command4, &Command28 = columns.Command28;
    std::vector<QPushButton *> &Command30 = columns.Command30, &Command3 = columns.Command3;
    std::vector<QPushButton *> &Command2 = columns.Command2;
    std::vector<QListView *> &List5 = columns.List5;
    std::vector<LineListModel *> &List5Lines = columns.List5Lines;

    // Selects the last line of List5(level) that carries the own mark "●".
    void selectLastOwnLine(int level);

    // What List5(i) holds, for tests and assistive technology.
    QStringList listLines(int level) const;

    // Form state.
    int KeysReady = 0;
    int ListMode = 0;
    int PointsOrder = 0;
    int ActivateBusy = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void disableForView();
    void finishView();
    void showLists(const LevelLists &lists);
    // Builds a view that reads the results file, with the wait panel's progress bar; on
    // a file error tells the teacher and ends the program.
    using FileView = std::function<bool(const ResultsFile &, LevelLists &, QString *, const ViewProgress &)>;
    bool fillListsFromFile(const FileView &view);
    // Tells which file could not be read ("成績ファイル", "名簿ファイル") and why, and
    // ends the program.
    void fileError(const QString &fileKind, const QString &detail, int number = 0);
    static QString resultsFileKind() { return QStringLiteral("成績ファイル"); }
    // A level without a pass-line time: tells why it cannot start. True when refused.
    bool refuseLevelWithoutCriteria(int level);
    void repaintNow();
    // Scrolls the column of a level's start button or list into view.
    void showColumnOf(QObject *widget);
    bool m_loaded = false;
};

} // namespace tobrel
