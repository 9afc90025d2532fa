#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "drill/EndOfRun.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

// A data folder with six levels (target 30, pass line 60, clear with 3 runs and 30
// points inside 7 days, barred at 3 runs inside 7 days), and the run just finished.
struct Ending {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    Ending()
    {
        ApplyProgramProfileTables(state);
        SetProgramTitle(state);
        state.config.DataFolder = dir.path() + u'/';
        for (int L = 1; L <= 6; ++L) {
            auto &c = state.criteria;
            c.CritTargetTime[L] = 30;
            c.CritPassTime[L] = 60;
            c.CritClearPoints[L] = 30;
            c.CritClearCount[L] = 3;
            c.CritPointRate[L] = 1.5f;
            c.CritOverRuns[L] = Variant(3);
            c.CritPassDays[L] = Variant(7);
            c.CritOverDays[L] = Variant(7);
        }
        state.student.CurrentStudent = 5;
        state.student.CurrentStudentName = QStringLiteral("佐藤　翔太          ");
        state.hub.FreeStatus = Variant(0);
    }
    ResultsFile file() const { return ResultsFile(resultsFilePath(state)); }
    // Records a run of another sitting (student, level, time) as if done earlier.
    void earlier(int student, int level, int time)
    {
        ResultRecord r;
        r.ResultRecDate = dayNumber(clock.date);
        r.ResultRecStudentNo = static_cast<int16_t>(student);
        r.ResultRecLevel = static_cast<int16_t>(level);
        r.ResultRecTime = time;
        QString err;
        file().append(r, &err);
    }
    // The tally the hub made before the run, then the run's end as the drill does it.
    EndScreenContent finish(int level, int elapsed, bool timedOut = false)
    {
        TallyResults(state, clock, file());
        state.run.CurrentLevel = static_cast<int16_t>(level);
        state.run.ElapsedSeconds = elapsed;
        state.run.TimeUp = timedOut ? 1 : 0;
        state.run.RunEnding = 0;
        state.outcome.NewRecordFlags = {0, 0};
        EXPECT_TRUE(BeginEndRun(state));
        EXPECT_EQ(RecordRun(state, clock, file(), level).status, AppendOutcome::Written);
        TallyResults(state, clock, file());
        return endScreenContent(state);
    }
};

} // namespace

TEST(EndOfRun, TimedOutRunShowsTimeUpNoRecordAndNoPoints)
{
    Ending e;
    const EndScreenContent c = e.finish(2, 300, true);
    EXPECT_EQ(e.state.run.RunTime, 99999);
    EXPECT_EQ(c.message, EndScreenContent::Message::TimeUp);
    EXPECT_EQ(c.Label20, QStringLiteral("時間切れ"));
    EXPECT_EQ(c.Label18, QStringLiteral("記録なし"));
    EXPECT_EQ(c.Label19, QStringLiteral("獲得ポイント：0点×1.5→0点"));
    EXPECT_EQ(e.state.outcome.NewRecordFlags, (std::array<int16_t, 2>{0, 0}));
}

TEST(EndOfRun, FirstRunEverAtALevelIsANewLevelBest)
{
    Ending e;
    const EndScreenContent c = e.finish(2, 15);
    EXPECT_EQ(c.message, EndScreenContent::Message::LevelBest);
    EXPECT_EQ(c.Label20, QStringLiteral("！！！最高新記録！！！"));
    EXPECT_EQ(c.Label18, QStringLiteral("今の成績：15秒"));
    // (30 - 15) / 30 = 0.5: 50 × 0.125 + 5 = 11 base points, × 1.5 = 16.
    EXPECT_EQ(c.Label19, QStringLiteral("獲得ポイント：11点×1.5→16点"));
    EXPECT_EQ(c.Label17, QStringLiteral("佐藤　翔太"));
    EXPECT_EQ(c.Label16, QStringLiteral("レベル２"));
    EXPECT_EQ(c.Label15, QStringLiteral("Tobrel"));
    EXPECT_EQ(c.Label13, QStringLiteral(" (このレベル　1回目)"));
    EXPECT_EQ(c.Label14, QStringLiteral("（1回目)"));
}

TEST(EndOfRun, PersonalBestPassTimeAndSlowerRuns)
{
    Ending e;
    e.earlier(9, 2, 10); // another student holds the level best
    e.earlier(5, 2, 40);
    EndScreenContent c = e.finish(2, 35);
    EXPECT_EQ(c.message, EndScreenContent::Message::PersonalBest);
    EXPECT_EQ(c.Label20, QStringLiteral("新記録おめでとう"));
    c = e.finish(2, 50); // within the pass line, no record
    EXPECT_EQ(c.message, EndScreenContent::Message::PassTime);
    EXPECT_EQ(c.Label20, QString());
    c = e.finish(2, 61); // slower than the pass line
    EXPECT_EQ(c.message, EndScreenContent::Message::None);
    EXPECT_EQ(c.Label13, QStringLiteral(" (このレベル　4回目)"));
}

TEST(EndOfRun, LastLevelClearedPlaysThePassSoundOnlyTheFirstTime)
{
    Ending e;
    e.earlier(5, 6, 10);
    e.earlier(5, 6, 10);
    EndScreenContent c = e.finish(6, 10);
    EXPECT_TRUE(c.levelCleared);
    EXPECT_TRUE(c.showPicture1);
    EXPECT_TRUE(c.playLastLevelCleared);
    c = e.finish(6, 10);
    EXPECT_TRUE(c.levelCleared);
    EXPECT_FALSE(c.playLastLevelCleared);
    // A level marked 9999 anywhere keeps the panel away.
    e.state.criteria.CritClearCount[20] = 9999;
    c = e.finish(6, 10);
    EXPECT_FALSE(c.showPicture1);
}

TEST(EndOfRun, OnceMoreIsWithheldOnlyForAPractisedClearedLevelWithANextLevel)
{
    Ending e;
    e.earlier(5, 2, 10);
    e.earlier(5, 2, 10);
    e.finish(2, 10); // cleared and, with three runs, barred
    EndScreenTimerDecision d = endScreenTimerDecision(e.state);
    EXPECT_FALSE(d.showCommand5);
    EXPECT_TRUE(d.changeLabel2);
    EXPECT_EQ(d.label2Text, QStringLiteral("次のレベルへ進みましょう"));

    e.state.hub.FreeStatus = Variant(1);
    EXPECT_TRUE(endScreenTimerDecision(e.state).showCommand5);
    e.state.hub.FreeStatus = Variant(0);
    e.state.criteria.CritOverRuns[2] = Variant(0); // not barred
    EXPECT_TRUE(endScreenTimerDecision(e.state).showCommand5);
    EXPECT_FALSE(endScreenTimerDecision(e.state).changeLabel2);

    // Barred but not cleared: offered.
    Ending f;
    f.state.criteria.CritClearPoints[2] = 1000;
    f.earlier(5, 2, 10);
    f.earlier(5, 2, 10);
    f.finish(2, 10);
    EXPECT_TRUE(endScreenTimerDecision(f.state).showCommand5);

    // The last level cleared and barred: offered, Label2 emptied and hidden.
    Ending g;
    g.earlier(5, 6, 10);
    g.earlier(5, 6, 10);
    g.finish(6, 10);
    d = endScreenTimerDecision(g.state);
    EXPECT_TRUE(d.showCommand5);
    EXPECT_TRUE(d.changeLabel2);
    EXPECT_FALSE(d.label2Visible);
}

TEST(EndOfRun, WaitSecondsCountsTenMillisecondSteps)
{
    FakeClock clock;
    int rounds = 0;
    WaitSeconds(clock, 1, [&] {
        ++rounds;
        clock.ticks += 3;
    });
    EXPECT_GE(clock.ticks, 1000);
    EXPECT_LT(clock.ticks, 1100);
}
