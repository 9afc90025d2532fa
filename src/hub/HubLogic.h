// The hub seisekitime1 apart from any widget: the screen hands in clicks, keys and the
// grade filter it shows; the logic tallies the results file, makes each level's list,
// decides which levels may be started and which keys count, and keeps what the controls
// show in a HubView for the screen to copy.
//
//   Form_Activate: the cover shown, the roster screen unloaded, the results file tallied,
//     today's total, the cumulative points ranking of every level, the student's counts,
//     the availability pass (Command9_Click), the cover gone, keys ready
//   Option2_Click(kind): time, points or personal times (Command16_Click)
//   Option1_Click(view): best (Command6_Click) / today (Command5_Click) / all
//     (Command7_Click) times, or cumulative / today's points rankings / all points
//   Combo1_Click (grade filter), Combo2_Click (period of the all view), HScroll1_Change
//   Form_KeyPress: 1..9 and a..d start a level, 0 goes back to the roster screen
//   Command4_Click / Label3_Click: the level is started through the host's startRun
//
// The points rankings are kept between looks at the hub in a KeptRankings that outlives
// the screen.
#pragma once
#include "hub/Availability.h"
#include "hub/ColumnLayout.h"
#include "hub/ResultViews.h"
#include "state/Platform.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tobrel {

struct SharedState;
class KeptRankings;

// What one level's column shows.
struct HubLevelView {
    QString Label9, Label10; // the headings "今日" and "今まで" once a view is made
    QString Label14, Label15, Label8; // today's value, so-far value, pass-window line
    bool Command4Enabled = false; // the start button
    // The list: `lines` made in full, or `madeCount` lines that madeLine makes as they are
    // shown (a ranking of thousands).
    QStringList lines;
    int madeCount = 0;
    std::function<QString(int row)> madeLine;
    int ownLine = -1; // the student's own line, shown selected; -1 for none
    int filled = 0; // counts the fillings of the list: a list filled anew starts at its top
};

// What the hub's controls show.
struct HubView {
    QString Label11, Label12, Label13, Label17, Label18, Label5;
    double Label11PointSize = 24;
    bool Command27Visible = false; // "印刷"
    bool Command17Visible = false; // "グラフ"
    bool Combo2Visible = false; // the period of the all view
    bool Picture1Enabled = true; // the view buttons
    bool Command1Enabled = true; // "戻る(0)"
    bool Picture2Visible = true; // the cover while the hub is made
    bool Picture6Visible = false; // the wait panel while a view is made
    bool listsVisible = true;
    QString Option1Text[4] = {{}, QStringLiteral("BEST表示"), QStringLiteral("本日のみ"), QStringLiteral("オール表示")};
    bool Option1_3Enabled = true;
    int Option1Checked = 0; // 1..3; 0 before the first activation
    int Option2Checked = -1; // 0..2; -1 before the first activation
    int ProgressBar1Value = 0, ProgressBar1Maximum = 100;
    int ProgressBar2Value = 0, ProgressBar2Maximum = 100;
    bool HScroll1Visible = false; // more levels than columns in view
    int HScroll1Maximum = 99;
    int columnScroll = 1; // the first column in view
    bool countsShown = false; // the counts of an activation are in the columns
    Availability availability;
    int availabilityPasses = 0; // counts the availability passes (notices raised anew)
    std::vector<HubLevelView> levels; // index = level, 0 unused
    int ownLinesShown = 0; // counts the times the own lines are brought into view
};

// What the hub needs from its screen.
class HubHost {
public:
    virtual ~HubHost() = default;
    // Writes the view into the controls; they are painted when events run next.
    virtual void refresh() = 0;
    // Writes the view into the controls and paints them at once.
    virtual void paint() = 0;
    // The same, then lets pending window events run.
    virtual void repaintNow() = 0;
    // Writes only the progress bars (they paint themselves at once).
    virtual void showProgress() = 0;
    // Waits on the shared results file, telling why on the cover or on the wait panel.
    virtual WaitFunction waitOnCover() = 0;
    virtual WaitFunction waitOnWaitPanel() = 0;
    virtual void unloadRosterScreen() = 0;
    // Tells which file could not be read and why, and ends the program.
    virtual void fileError(const QString &fileKind, const QString &detail, int number) = 0;
    virtual void tell(const QString &message) = 0;
    // The teacher panel's door: open it is, keys and level clicks do nothing.
    virtual bool teacherPanelOpen() const = 0;
    // Who is logged in, for the sheet; and, after the tally, for the teacher panel.
    virtual void sheetForTeacher(bool teacher) = 0;
    virtual void tallied(bool teacher) = 0;
    // The result sheet: its student list, and closing it when another view is chosen.
    virtual void fillSheet(const QStringList &students) = 0;
    virtual void hideSheet() = 0;
    // Starts a run of CurrentLevel; the hub is done.
    virtual void startRun() = 0;
    virtual void unloadHub() = 0;
    // Shows the roster screen and lets events run.
    virtual void showRosterScreen() = 0;
};

class HubLogic {
public:
    HubLogic(SharedState &state, const Clock &clock, KeptRankings &rankings, HubHost &host);

    HubView view;
    // Where the level columns stand: the form area as designed, unless the screen puts
    // them on a wider stage (it says so before Form_Load).
    ColumnLayout columns;
    QString gradeFilter; // what the grade box shows; the screen writes it before each event

    // Form state.
    int KeysReady = 0;
    int ListMode = 0;
    int PointsOrder = 0;
    int ActivateBusy = 0;

    void Form_Load();
    void Form_Activate();
    // True when the key was taken.
    bool Form_KeyPress(QChar key);
    void Command4_Click(int level);
    void Label3_Click(int level);
    // A click on a level's notice: a level without criteria says why. True when taken.
    bool Text1_Click(int level);
    void Command1_Click();
    void Command9_Click();
    void Option2_Click(int kind);
    void Option1_Click(int view);
    void Combo1_Click();
    void Combo2_Click(int index);
    void HScroll1_Change(int value);
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command3_Click(int level);
    void Command16_Click();
    void 回数など表示();

    // Selects the last line of a level's list that carries the own mark "●".
    void selectLastOwnLine(int level);
    // The lines of a level's list as shown.
    QStringList listLines(int level) const;

private:
    void disableForView();
    void finishView();
    // Fills the lists from a view that reads the results file; false after a file error.
    using FileView = std::function<bool(const ResultsFile &, LevelLists &, QString *, const ViewProgress &)>;
    bool fillListsFromFile(const FileView &fileView);
    bool refuseLevelWithoutCriteria(int level);
    // A level's button or name may start it: the teacher panel is closed, the level has
    // criteria (else the student is told why not) and its button is enabled.
    bool mayStart(int level);
    void startLevel(int level);
    void setProgress2(int value, int maximum);

    SharedState &m_state;
    const Clock &m_clock;
    KeptRankings &m_rankings;
    HubHost &m_host;
};

} // namespace tobrel
