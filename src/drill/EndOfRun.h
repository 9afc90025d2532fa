// The end of a run apart from its screens: recording the run, and what the end screen
// shows, plays and offers.
#pragma once
#include "state/Platform.h"
#include "results/Tally.h"

#include <QString>

namespace tobrel {

struct SharedState;

// First step of the end of run: false when the end of run has already begun (it runs
// once per run, even when the last answer and the time-out meet); otherwise marks it
// begun and sets RunTime (99999 for a timed-out run).
bool BeginEndRun(SharedState &state);

// How long the end of a run keeps trying a results file that is locked or out of reach
// before it keeps the run on this PC.
constexpr double kRecordingGiveUpSeconds = 30;
// The overlay's note while the end of a run waits for the results file: empty for the
// first seconds, then what holds it up and the seconds waited.
QString recordingWaitText(int seconds, bool lockedByAnotherPc);
// What the student is told when the run was kept on this PC; reason says why.
QString keptOnThisPcText(const QString &reason);

// Notes the record flags and ClearedBefore, and appends the run to the results file,
// waiting for it as `wait` says. A run kept on this PC counts as recorded (the flags
// stand) and sets keptOnThisPc.
AppendOutcome RecordRun(SharedState &state, const Clock &clock, const ResultsFile &file, int level,
                        const AppendWait &wait = {});

// Adds the current run to the tallies in memory, as the next read of the results file
// will once the run has been sent: the end screen's count of a run kept on this PC.
void countRunKeptOnThisPc(SharedState &state);

// Waits about n seconds (never less) on the millisecond counter, in steps of 10 ms,
// letting events run.
void WaitSeconds(const Clock &clock, double seconds, const std::function<void()> &letEventsRun);

// What the end screen shows after its tally.
struct EndScreenContent {
    QString Label13Before; // attempts at this level before the tally
    bool levelCleared = false;
    bool showPicture1 = false; // the last level cleared
    QString Label13, Label14, Label15, Label16, Label17, Label18, Label19;
    enum class Message { None, TimeUp, PersonalBest, LevelBest, PassTime };
    Message message = Message::None;
    QString Label20;
    bool playLastLevelCleared = false;
    bool hidePicture1 = false;
};

// Steps of the end screen's activation that decide (the tally runs before this).
EndScreenContent endScreenContent(SharedState &state);

// The one tick of the end screen's timer: whether "もう一度" is offered.
struct EndScreenTimerDecision {
    bool showCommand5 = true;
    bool changeLabel2 = false; // Label2 gets label2Text and label2Visible
    QString label2Text;
    bool label2Visible = true;
};
EndScreenTimerDecision endScreenTimerDecision(const SharedState &state);

} // namespace tobrel
