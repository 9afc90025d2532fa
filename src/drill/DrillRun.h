// One run of the drill, apart from any widget: keys and clock ticks come in, the
// controls' contents (DrillView) and the run state in SharedState go out.
//
//   StartRun -> Form_Activate: 初期設定, レベル別設定, スタート, 問題作成表示
//   Form_KeyPress: digits typed, space judges (判定, 判定後処理), after a wrong answer
//   "+" twice confirms (Commandkakunin_Click)
//   sTimer1_Timer every second: elapsed time, time bar, time-out at TimeLimit
//   the tenth correct answer or the time-out hands over to the host's EndRun
#pragma once
#include "state/Platform.h"
#include "drill/ProblemGenerator.h"

#include <QString>

namespace tobrel {

struct SharedState;
class SoundPlayer;

// What the drill screen's controls show.
struct DrillView {
    QString qLabel1, qlabel2; // the two factors
    QString inputLabel; // what has been typed
    bool Label11Visible = false; // "="
    QString seitouLabel; // the correct answer
    bool seitouLabelVisible = false;
    bool Commandkakunin2Visible = false;
    QString sLabel2; // title
    double sLabel2PointSize = 16.8;
    QString sLabel7, sLabel8, sLabel9, sLabel10, sLabel11, sLabel12, sLabel13, sLabel14;
    double sShape2Width = 0, sShape3Width = 0, sShape4Width = 0, sShape7Width = 0;
    bool sTimer1Enabled = false;
    bool sPicture2Visible = false;
    bool lblsss1Visible = false; // "成績記録中"
    bool lblsss2Visible = false; // "時間切れ"
    QString lblsss3; // while the results file keeps the run waiting
    // The last judgement, told to assistive technology: "正解", "不正解" with the right
    // answer, "時間切れ"; judgements counts them, so that each is told once.
    QString judgement;
    int judgements = 0;
};

// What the run needs from its screen.
class DrillHost {
public:
    virtual ~DrillHost() = default;
    // Writes the view into the controls; they are painted when events run next.
    virtual void refresh() = 0;
    // Writes the view into the controls and paints them at once (before a sound).
    virtual void repaintNow() = 0;
    // Lets pending window events run (paints, timer ticks, keys).
    virtual void letEventsRun() = 0;
    // Unloads the hub screen and the wait form at the start of a run.
    virtual void unloadHubAndWaitForm() = 0;
    // The end of the run: record it and go on to the end screen.
    virtual void EndRun() = 0;
};

class DrillRun {
public:
    DrillRun(SharedState &state, SoundPlayer &sound, const Clock &clock, RandomSource &random, DrillHost &host,
             double barWidth);

    DrillView view;
    QString InputText;

    void Form_Load();
    void Form_Activate();
    void 初期設定();
    void レベル別設定();
    void スタート();
    void 問題作成表示();
    void 判定();
    void 判定後処理();
    void Commandkakunin_Click();
    // One typed character; code 8 is backspace, 32 the space key.
    void Form_KeyPress(QChar key);
    void sTimer1_Timer();
    void sTimer2_Timer();
    // The screen's method 終了 exists and does nothing.
    void 終了() {}

    const ProblemGenerator &generator() const { return m_generator; }
    // Seconds since the clock started; stays right across midnight.
    double secondsSinceStart() const;

private:
    void showRemaining();
    void judged(const QString &text);

    SharedState &m_state;
    SoundPlayer &m_sound;
    const Clock &m_clock;
    RandomSource &m_random;
    DrillHost &m_host;
    ProblemGenerator m_generator;
    double m_barWidth;
    QDate m_runStartDate;
};

// Resets the run flags before the drill screen is shown.
void ResetRunFlags(SharedState &state);

} // namespace tobrel
