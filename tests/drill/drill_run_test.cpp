#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "drill/DrillRun.h"
#include "drill/EndOfRun.h"
#include "sound/SoundCues.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct NoFailure final : SoundFailureHandler {
    void soundFailed(const QString &, const QString &) override {}
};

struct Host final : DrillHost {
    SharedState *state = nullptr;
    int refreshes = 0;
    int endRuns = 0; // EndRun calls
    int endRunsBegun = 0; // ends of run actually carried out
    std::function<void()> duringEndRun; // what arrives while the end of run lets events run
    void refresh() override { ++refreshes; }
    void repaintNow() override { ++refreshes; }
    void letEventsRun() override {}
    void unloadHubAndWaitForm() override {}
    void EndRun() override
    {
        ++endRuns;
        if (duringEndRun) {
            auto f = std::move(duringEndRun);
            duringEndRun = nullptr;
            f();
        }
        if (BeginEndRun(*state))
            ++endRunsBegun;
    }
};

struct RunFixture {
    SharedState state;
    FakeClock clock;
    ScriptedRandom random;
    RecordingAudioDevice audio;
    NoFailure failure;
    SoundPlayer sound{state, audio, random, failure};
    Host host;
    DrillRun run{state, sound, clock, random, host, 600.0};

    explicit RunFixture(int level = 3, int passTime = 60)
    {
        host.state = &state;
        ApplyProgramProfileTables(state);
        state.config.SoundFolder = QStringLiteral("/snd/");
        state.criteria.CritTargetTime[level] = passTime / 2;
        state.criteria.CritPassTime[level] = passTime;
        state.run.CurrentLevel = static_cast<int16_t>(level);
        random.values = {0.5};
        random.step = 0.37;
        ResetRunFlags(state);
        run.Form_Load();
        run.Form_Activate();
    }
    int answer() const { return static_cast<int>(run.generator().CorrectAnswer()); }
    void type(const QString &keys)
    {
        for (QChar k : keys)
            run.Form_KeyPress(k);
    }
    void answerRight() { type(QString::number(answer()) + u' '); }
    void answerWrong() { type(QString::number(answer() + 1) + u' '); }
    void tickAt(double secondsAfterStart)
    {
        clock.seconds = state.run.RunStartTime + secondsAfterStart;
        run.sTimer1_Timer();
    }
    int remaining() const { return run.view.sLabel9.toInt(); }
};

} // namespace

TEST(DrillRun, SetupFromCriteriaAndTallies)
{
    RunFixture r(3, 60);
    EXPECT_EQ(r.state.run.TimeLimit, 300);
    EXPECT_DOUBLE_EQ(r.state.run.TimeBarScale, 2.0);
    EXPECT_DOUBLE_EQ(r.run.view.sShape3Width, 60.0);
    EXPECT_DOUBLE_EQ(r.run.view.sShape4Width, 120.0);
    EXPECT_EQ(r.run.view.sLabel8, QStringLiteral("レベル３"));
    EXPECT_EQ(r.run.view.sLabel9, QStringLiteral("10"));
    EXPECT_EQ(r.run.view.sLabel10, QStringLiteral("0"));
    EXPECT_TRUE(r.run.view.sTimer1Enabled);
    const int n = r.run.view.qLabel1.toInt();
    EXPECT_EQ(r.run.view.qlabel2.toInt(), n);
    EXPECT_GE(n, 10);
    EXPECT_LE(n, 18);
}

TEST(DrillRun, TenCorrectAnswersEndTheRunAtTheTenthSpace)
{
    RunFixture r;
    QStringList remaining{r.run.view.sLabel9};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(r.host.endRuns, 0);
        r.answerRight();
        remaining << r.run.view.sLabel9;
    }
    EXPECT_EQ(remaining, (QStringList{"10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}));
    EXPECT_EQ(r.host.endRuns, 1);
    EXPECT_EQ(r.state.run.RunComplete, 1);
    EXPECT_FALSE(r.run.view.sTimer1Enabled);
    EXPECT_EQ(r.audio.played.count(QStringLiteral("/snd/.wav")), 10); // the correct cue, ten times
    // Keys after the end are dropped.
    const QString typed = r.run.InputText;
    r.type(QStringLiteral("12 "));
    EXPECT_EQ(r.run.InputText, typed);
    EXPECT_EQ(r.host.endRuns, 1);
}

TEST(DrillRun, WrongAnswerTakesOneBackButNotBelowZero)
{
    RunFixture r;
    r.answerWrong();
    EXPECT_EQ(r.remaining(), 10);
    EXPECT_TRUE(r.run.view.seitouLabelVisible);
    EXPECT_EQ(r.run.view.seitouLabel.toInt(), r.answer());
    EXPECT_TRUE(r.run.view.Label11Visible);
    EXPECT_TRUE(r.run.view.Commandkakunin2Visible);
    r.type(QStringLiteral("++"));
    for (int i = 0; i < 6; ++i)
        r.answerRight();
    EXPECT_EQ(r.remaining(), 4);
    r.answerWrong();
    EXPECT_EQ(r.remaining(), 5);
}

TEST(DrillRun, OnlyTwoPlusKeysConfirmAWrongAnswer)
{
    RunFixture r;
    const QString shown = r.run.view.qLabel1;
    const int missed = r.answer();
    r.answerWrong();
    EXPECT_EQ(r.state.run.PlusConfirm, 1);
    const QString typed = r.run.InputText;
    r.type(QStringLiteral("5"));
    EXPECT_EQ(r.run.InputText, typed); // digits do nothing but reset the sequence
    r.type(QStringLiteral("+"));
    EXPECT_EQ(r.state.run.PlusConfirm, 2);
    r.type(QStringLiteral("x"));
    EXPECT_EQ(r.state.run.PlusConfirm, 1);
    r.type(QStringLiteral("+"));
    EXPECT_EQ(r.run.view.qLabel1, shown);
    r.type(QStringLiteral("+"));
    EXPECT_EQ(r.state.run.PlusConfirm, 0);
    EXPECT_FALSE(r.run.view.Commandkakunin2Visible);
    EXPECT_FALSE(r.run.view.seitouLabelVisible);
    EXPECT_NE(r.answer(), missed); // the next problem differs from the one just missed
}

TEST(DrillRun, FourthCharacterPlaysTheWarningAndIsDropped)
{
    RunFixture r;
    r.type(QStringLiteral("123"));
    r.type(QStringLiteral("4"));
    EXPECT_EQ(r.run.InputText, QStringLiteral("123"));
    EXPECT_EQ(r.audio.played.last(), QStringLiteral("/snd/警告1.wav"));
    r.type(QString(QChar(8)));
    EXPECT_EQ(r.run.InputText, QStringLiteral("12"));
    EXPECT_EQ(r.run.view.inputLabel, QStringLiteral("12"));
    r.type(QStringLiteral("a")); // not in * + , - . / 0-9: ignored
    EXPECT_EQ(r.run.InputText, QStringLiteral("12"));
}

TEST(DrillRun, EmptyAnswerIsWrong)
{
    RunFixture r;
    r.type(QStringLiteral(" "));
    EXPECT_EQ(r.state.run.PlusConfirm, 1);
    EXPECT_TRUE(r.run.view.seitouLabelVisible);
}

TEST(DrillRun, TimesOutAtFiveTimesThePassTimeAndOneTickLaterWhileJudging)
{
    RunFixture r(3, 60);
    r.tickAt(1);
    EXPECT_EQ(r.run.view.sLabel10, QStringLiteral("1"));
    EXPECT_DOUBLE_EQ(r.run.view.sShape2Width, 2.0);
    r.tickAt(299.4);
    EXPECT_EQ(r.state.run.TimeUp, 0);
    r.state.run.JudgeBusy = 1; // an answer is being judged at the time-out tick
    r.tickAt(300);
    EXPECT_EQ(r.state.run.TimeUp, 0);
    EXPECT_DOUBLE_EQ(r.run.view.sShape2Width, 600.0);
    r.state.run.JudgeBusy = 0;
    r.tickAt(301);
    EXPECT_EQ(r.state.run.TimeUp, 1);
    EXPECT_EQ(r.host.endRunsBegun, 1);
    EXPECT_EQ(r.state.run.RunTime, 99999);
    r.type(QStringLiteral("1 "));
    EXPECT_EQ(r.run.InputText, QString());
}

TEST(DrillRun, EndOfRunRunsOnceWhenLastAnswerAndTimeOutMeet)
{
    {
        RunFixture r(3, 60);
        for (int i = 0; i < 9; ++i)
            r.answerRight();
        // While the end of run lets events run, the time-out tick arrives.
        r.host.duringEndRun = [&r] { r.tickAt(300); };
        r.clock.seconds = r.state.run.RunStartTime + 299;
        r.answerRight();
        EXPECT_EQ(r.host.endRunsBegun, 1);
        EXPECT_EQ(r.state.run.TimeUp, 0);
        EXPECT_EQ(r.state.run.RunTime, 300);
    }
    {
        RunFixture r(3, 60);
        for (int i = 0; i < 9; ++i)
            r.answerRight();
        const QString last = QString::number(r.answer()) + u' ';
        // The time-out comes first; the last answer typed meanwhile is dropped.
        r.host.duringEndRun = [&r, last] { r.type(last); };
        r.tickAt(300);
        EXPECT_EQ(r.host.endRunsBegun, 1);
        EXPECT_EQ(r.host.endRuns, 1);
        EXPECT_EQ(r.state.run.RunComplete, 0);
        EXPECT_EQ(r.state.run.RunTime, 99999);
    }
}

TEST(DrillRun, ElapsedTimeStaysRightAcrossMidnight)
{
    RunFixture r(3, 60);
    r.clock.date = QDate(2024, 2, 7);
    r.clock.seconds = 86400 - 20;
    r.run.スタート();
    r.clock.advance(45); // 00:00:25 the next day
    r.run.sTimer1_Timer();
    EXPECT_EQ(r.state.run.ElapsedSeconds, 45);
    EXPECT_EQ(r.state.run.TimeUp, 0);
}

TEST(DrillRun, HeaderOnlyCriteriaTimeOutAtTheFirstTick)
{
    RunFixture r(3, 0);
    EXPECT_EQ(r.state.run.TimeLimit, 0);
    EXPECT_DOUBLE_EQ(r.state.run.TimeBarScale, 0.0);
    r.tickAt(1);
    EXPECT_EQ(r.state.run.TimeUp, 1);
}
