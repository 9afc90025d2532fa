#include "drill/EndOfRun.h"

#include "state/SharedState.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

namespace tobrel {

bool BeginEndRun(SharedState &state)
{
    if (state.run.RunEnding == 1)
        return false;
    state.run.RunEnding = 1;
    state.run.RunTime = state.run.TimeUp == 1 ? kTimedOut : state.run.ElapsedSeconds;
    return true;
}

QString recordingWaitText(int seconds, bool lockedByAnotherPc)
{
    if (seconds < 3)
        return {};
    return (lockedByAnotherPc ? QStringLiteral("成績ファイルをほかのパソコンが使っています。")
                              : QStringLiteral("共有フォルダの成績ファイルに届きません。")) +
           QStringLiteral("\n記録できるまで待っています（%1秒）").arg(seconds);
}

QString keptOnThisPcText(const QString &reason)
{
    return QStringLiteral("この回の成績は共有フォルダに記録できなかったので、このパソコンに保存しました。\n"
                          "共有フォルダが使えるようになったら、自動で送ります。\n\n") +
           reason;
}

AppendOutcome RecordRun(SharedState &state, const Clock &clock, const ResultsFile &file, int L, const AppendWait &wait)
{
    const int s = state.student.CurrentStudent;
    const int32_t time = state.run.RunTime;
    state.outcome.ClearedBefore = ClearedBeforeTest(state, L, s) ? 1 : 0;
    state.outcome.keptOnThisPc = false;
    int32_t &best = state.results.PersonalBest(L, s);
    if (best > time) {
        state.outcome.NewRecordFlags[0] = 1;
        best = time;
    }
    const AppendOutcome outcome = WriteResultRecord(runRecord(state, clock, L), file, wait);
    if (outcome.status == AppendOutcome::Failed)
        return outcome;
    state.outcome.keptOnThisPc = outcome.status == AppendOutcome::KeptPending;
    if (state.results.LevelBest[L] > time) {
        state.results.LevelBest[L] = time;
        state.outcome.NewRecordFlags[1] = 1;
    }
    return outcome;
}

void countRunKeptOnThisPc(SharedState &state)
{
    const int L = state.run.CurrentLevel;
    const int s = state.student.CurrentStudent;
    if (L < 1 || L > kMaxLevel || !validStudentIndex(s))
        return;
    const CriteriaTable &c = state.criteria;
    // The run is dated today; any day stands for it, as only the distance from today
    // decides which windows hold it.
    const double today = 0;
    addRun(state.tallies.cells(L, s), state.tallies.windows(L, s), today,
           runAdds(state.run.RunTime, c.CritTargetTime[L], c.CritPointRate[L]), tallyWindows(c, L, today));
}

void WaitSeconds(const Clock &clock, double seconds, const std::function<void()> &letEventsRun)
{
    int64_t mark = clock.tickMs();
    int64_t steps = 0;
    const int64_t needed = static_cast<int64_t>(seconds * 100);
    while (steps < needed) {
        letEventsRun();
        if (clock.tickMs() - mark > 10) {
            ++steps;
            mark += 10;
        }
    }
}

EndScreenContent endScreenContent(SharedState &state)
{
    EndScreenContent c;
    const int s = state.student.CurrentStudent;
    const int L = state.run.CurrentLevel;
    const CriteriaTable &crit = state.criteria;
    const bool lastLevel = L == static_cast<int>(state.profile.LastLevel.toNumber());

    c.levelCleared = LevelCleared(state, L, s);
    if (c.levelCleared && lastLevel) {
        bool anyCheck = false;
        for (int k = 1; k <= kMaxLevel; ++k)
            anyCheck = anyCheck || crit.CritClearCount[k] == 9999;
        c.showPicture1 = !anyCheck;
    }

    const int32_t runTime = state.run.RunTime;
    const int32_t base = basePoints(runTime, runTime, crit.CritTargetTime[L]);
    const int32_t points = ratedPoints(base, crit.CritPointRate[L]);
    c.Label19 = QStringLiteral("獲得ポイント：") + QString::number(base) + QStringLiteral("点×") +
                CStr(crit.CritPointRate[L]) + QStringLiteral("→") + QString::number(points) + QStringLiteral("点");
    c.Label18 = isTimedOut(runTime) ? QStringLiteral("記録なし")
                                    : QStringLiteral("今の成績：") + QString::number(runTime) + QStringLiteral("秒");
    c.Label17 = trimBlanks(state.student.CurrentStudentName);
    c.Label15 = state.profile.ProgramTitle;
    c.Label16 = state.profile.LevelNames[L];
    c.Label13 = QStringLiteral(" (このレベル　") + CStr(state.tallies.TodayRunCount(L, s)) + QStringLiteral("回目)");
    double total = 0;
    for (int k = 1; k <= kMaxLevel; ++k)
        total += state.tallies.TodayRunCount(k, s);
    state.TodayRunTotal = static_cast<int>(roundHalfEven(total));
    c.Label14 = QStringLiteral("（") + QString::number(state.TodayRunTotal) + QStringLiteral("回目)");

    const auto &flags = state.outcome.NewRecordFlags;
    if (state.run.TimeUp == 1) {
        c.message = EndScreenContent::Message::TimeUp;
        c.Label20 = QStringLiteral("時間切れ");
    } else if (flags[0] == 1 && flags[1] == 0) {
        c.message = EndScreenContent::Message::PersonalBest;
        c.Label20 = QStringLiteral("新記録おめでとう");
    } else if (flags[1] == 1) {
        c.message = EndScreenContent::Message::LevelBest;
        c.Label20 = QStringLiteral("！！！最高新記録！！！");
    } else if (runTime <= crit.CritPassTime[L]) {
        c.message = EndScreenContent::Message::PassTime;
    }

    if (c.levelCleared && lastLevel)
        c.playLastLevelCleared = state.outcome.ClearedBefore != 1;
    else
        c.hidePicture1 = true;
    return c;
}

EndScreenTimerDecision endScreenTimerDecision(const SharedState &state)
{
    EndScreenTimerDecision d;
    const int s = state.student.CurrentStudent;
    const int L = state.run.CurrentLevel;
    if (!LevelBarred(state, L, s))
        return d;
    const bool cleared = LevelCleared(state, L, s);
    const bool lastLevel = L == static_cast<int>(state.profile.LastLevel.toNumber());
    if (!cleared)
        return d;
    if (lastLevel) {
        d.changeLabel2 = true;
        d.label2Text.clear();
        d.label2Visible = false;
        return d;
    }
    if (state.hub.FreeStatus.toNumber() == 0) {
        d.changeLabel2 = true;
        d.label2Text = QStringLiteral("次のレベルへ進みましょう");
        d.label2Visible = true;
        d.showCommand5 = false;
    }
    return d;
}

} // namespace tobrel
