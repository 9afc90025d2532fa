// The hub screen seisekitime1: one column per level with its start button, the
// student's counts and points, the pass-window line, the level's result list and its
// criteria; the view selectors above them; the way back to the roster screen.
//
// The screen only copies the hub's view (HubLogic) into its controls and hands clicks,
// keys and the grade filter it shows to the logic; every activation tallies the results
// file afresh, shows the cumulative points ranking and decides which levels may be
// started (the over-practice bar) in the logic.
#pragma once
#include "hub/HubLogic.h"
#include "hub/LevelColumns.h"
#include "ui/Forms.h"

#include <QStringList>

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

class KeptRankings;
class SheetPanel;
class TeacherPanel;

class HubScreen final : public Screen, public HubHost {
public:
    // `rankings` outlive the screen, which is made afresh at every log-in.
    HubScreen(AppContext &ctx, KeptRankings &rankings);

    HubLogic &logic() { return m_logic; }

    void Form_Load();
    void Form_Activate() override;
    // True when the key was taken.
    bool Form_KeyPress(QChar key);
    void Command4_Click(int level); // "ｽﾀｰﾄ(&n)": starts the level
    void Label3_Click(int level); // the level's name: starts the level
    void Command1_Click(); // "戻る(0)": back to the roster screen
    void Option2_Click(int kind); // "ﾀｲﾑ表示", "ﾎﾟｲﾝﾄ表示", "個人ﾀｲﾑ"
    void Option1_Click(int view); // "BEST表示"/"合計累計", "本日のみ"/"合計本日", "オール表示"/"すべて"
    void Combo1_Click(); // the grade filter
    void Combo2_Click(); // the period of the all view ("　　１ヶ月間の全成績" ...)
    void HScroll1_Change(); // the level columns' scroll bar

    // HubHost
    void refresh() override;
    void paint() override;
    void repaintNow() override;
    void showProgress() override;
    WaitFunction waitOnCover() override;
    WaitFunction waitOnWaitPanel() override;
    void unloadRosterScreen() override;
    void fileError(const QString &fileKind, const QString &detail, int number) override;
    void tell(const QString &message) override;
    bool teacherPanelOpen() const override;
    void sheetForTeacher(bool teacher) override;
    void tallied(bool teacher) override;
    void fillSheet(const QStringList &students) override;
    void hideSheet() override;
    void startRun() override;
    void unloadHub() override;
    void showRosterScreen() override;

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

    // What List5(i) holds, for tests and assistive technology.
    QStringList listLines(int level) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Hands the logic what the controls hold that the user may change unasked.
    void readControls();
    // Scrolls the column of a level's start button or list into view.
    void showColumnOf(QObject *widget);
    // How much wider than the form area the stage is, in twips (0 at 4:3).
    double wider() const;
    // Moves a control built on the form area to the right on a wider stage.
    void shiftRight(QWidget *widget, double twips);

    HubLogic m_logic;
    // What the controls show of the view as last copied.
    std::vector<int> m_filled;
    int m_ownLinesShown = 0;
    int m_availabilityShown = 0;
    int m_placedScroll = 0;
    bool m_countsShown = false;
    QString m_label12;
};

} // namespace tobrel
