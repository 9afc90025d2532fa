#include "app/Configuration.h"
#include "state/ProgramProfile.h"
#include "drill/DrillScreen.h"
#include "drill/EndScreen.h"
#include "results/Tally.h"
#include "support/LockHolder.h"
#include "support/ScreenFixture.h"

#include <QAccessible>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct DrillFixture : ScreenFixture {
    DrillFixture()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        ApplyProgramProfileTables(state);
        state.profile.ScreenColour = 0x00C0FFC0;
        state.student.CurrentStudent = 2;
        state.student.CurrentStudentName = QStringLiteral("髙橋　健一");
        state.student.LoginTime = clock.seconds;
        random.step = 0.37;
        random.values = {0.2};
        // The hub tallies before every run.
        TallyResults(state, clock, ResultsFile(resultsFilePath(state)));
    }
    DrillScreen *drill() { return forms.loadedAs<DrillScreen>(QStringLiteral("MainFrm")); }
    // Starts a run of the level as the hub does and gives the drill screen.
    DrillScreen *start(int level)
    {
        state.run.CurrentLevel = static_cast<int16_t>(level);
        StartRun(ctx);
        settle();
        return drill();
    }
    void typeAnswer(int extra = 0)
    {
        DrillScreen *d = drill();
        const int n = d->qLabel1->text().toInt();
        QTest::keyClicks(d, QString::number(n * n + extra));
        QTest::keyClick(d, Qt::Key_Space);
    }
};

} // namespace

TEST(DrillScreen, AWholeRunTypedOnTheScreenIsRecorded)
{
    DrillFixture f;
    DrillScreen *d = f.start(1);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("velmora"));
    EXPECT_EQ(d->sLabel9->text(), QStringLiteral("10"));
    EXPECT_EQ(d->sLabel8->text(), QStringLiteral("レベル１"));
    EXPECT_EQ(d->sLabel7->text(), QStringLiteral("髙橋　健一"));
    EXPECT_EQ(d->sLabel14->text(), QStringLiteral("みなと塾"));

    QTest::keyClicks(d, QStringLiteral("12"));
    f.shot(d, QStringLiteral("drill-running"));
    QTest::keyClick(d, Qt::Key_Backspace);
    QTest::keyClick(d, Qt::Key_Backspace);
    // One wrong answer on the way: the correct answer shows until "+" "+".
    f.typeAnswer(1);
    f.shot(d, QStringLiteral("drill-wrong"));
    EXPECT_TRUE(d->seitouLabel->isVisible());
    EXPECT_TRUE(d->Commandkakunin2->isVisible());
    QTest::keyClicks(d, QStringLiteral("++"));
    EXPECT_FALSE(d->seitouLabel->isVisible());

    f.clock.advance(37);
    for (int i = 0; i < 9; ++i)
        f.typeAnswer();
    EXPECT_EQ(d->sLabel9->text(), QStringLiteral("1"));
    // Let the clock tick once on the screen.
    d->run().sTimer1_Timer();
    EXPECT_EQ(d->sLabel10->text(), QStringLiteral("37"));
    f.typeAnswer(); // the tenth: records the run and opens the end screen
    f.settle();
    EXPECT_EQ(f.forms.loaded(QStringLiteral("MainFrm")), nullptr);
    auto *end = f.forms.loadedAs<EndScreen>(QStringLiteral("FrmSyuuryou"));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->Label18->text(), QStringLiteral("今の成績：37秒"));
    EXPECT_EQ(end->Label20->text(), QStringLiteral("！！！最高新記録！！！"));

    QFile file(resultsFilePath(f.state));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 44);
    const ResultRecord r = ResultRecord::decode(bytes.constData());
    EXPECT_EQ(r.ResultRecStudentNo, 2);
    EXPECT_EQ(r.ResultRecLevel, 1);
    EXPECT_EQ(r.ResultRecTime, 37);
    EXPECT_EQ(r.ResultRecSchool, QByteArray("01234"));
    EXPECT_TRUE(f.audio.played.last().endsWith(QStringLiteral("最高1.wav")));

    // Half a second later the buttons come; "メニューへ" goes back to the hub.
    ASSERT_TRUE(f.settleUntil([&] { return end->Command4->isVisible(); }));
    EXPECT_TRUE(end->Command5->isVisible());
    f.shot(end, QStringLiteral("end-screen"));
    // "メニューへ" has the focus: Enter presses it.
    QTest::keyClick(end->Command4, Qt::Key_Return);
    f.settle();
    EXPECT_EQ(f.forms.loaded(QStringLiteral("FrmSyuuryou")), nullptr);
    EXPECT_NE(f.forms.loaded(QStringLiteral("seisekitime1")), nullptr);
}

TEST(DrillScreen, SoundsThatKeepFailingDuringARunAreReportedOnlyOnceTheRunIsRecorded)
{
    // Every sound fails: the fourth failed answer sound would end the program.
    DrillFixture f;
    f.audio.nextCode = 263;
    DrillScreen *d = f.start(1);
    ASSERT_NE(d, nullptr);
    for (int i = 0; i < 9; ++i)
        f.typeAnswer();
    EXPECT_TRUE(f.soundFailure.failures.isEmpty()); // held while the run goes on
    f.typeAnswer();
    f.settle();
    // The run is in the file, and then the failure is reported, once.
    const QByteArray bytes = readFileBytes(resultsFilePath(f.state));
    ASSERT_EQ(bytes.size(), 44);
    EXPECT_EQ(ResultRecord::decode(bytes.constData()).ResultRecStudentNo, 2);
    EXPECT_EQ(ResultRecord::decode(bytes.constData()).ResultRecLevel, 1);
    ASSERT_EQ(f.soundFailure.failures.size(), 1);
    EXPECT_TRUE(f.soundFailure.failures[0].startsWith(QStringLiteral("音声エラー|音声がでません。")));
}

TEST(DrillScreen, TimeOutShowsTheOverlayAndOnceMoreStartsTheSameLevel)
{
    DrillFixture f;
    DrillScreen *d = f.start(2); // pass line 60: limit 300 s
    ASSERT_NE(d, nullptr);
    f.clock.advance(300);
    d->run().sTimer1_Timer();
    f.settle();
    auto *end = f.forms.loadedAs<EndScreen>(QStringLiteral("FrmSyuuryou"));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->Label20->text(), QStringLiteral("時間切れ"));
    EXPECT_EQ(end->Label18->text(), QStringLiteral("記録なし"));
    EXPECT_TRUE(end->Label19->text().endsWith(QStringLiteral("→0点")));
    ASSERT_TRUE(f.settleUntil([&] { return end->Command5->isVisible(); }));
    f.shot(end, QStringLiteral("end-screen-timeout"));
    QTest::mouseClick(end->Command5, Qt::LeftButton);
    f.settle();
    ASSERT_NE(f.drill(), nullptr);
    EXPECT_EQ(f.state.run.CurrentLevel, 2);
    EXPECT_EQ(f.state.run.TimeUp, 0);
    EXPECT_EQ(f.drill()->sLabel11->text(), QStringLiteral("1")); // timed-out runs are not counted
}

TEST(DrillScreen, AResultsFileHeldByAnotherPcCountsTheSecondsThenKeepsTheRunOnThisPc)
{
    DrillFixture f;
    const QByteArray before = [&] {
        QFile r(resultsFilePath(f.state));
        return r.open(QIODevice::ReadOnly) ? r.readAll() : QByteArray();
    }();
    DrillScreen *d = f.start(1);
    ASSERT_NE(d, nullptr);
    LockHolder otherPc(resultsFilePath(f.state));
    ASSERT_GT(otherPc.pid, 0);
    QStringList notes;
    f.duringWait = [&] {
        DrillScreen *drill = f.drill();
        if (drill && drill->lblsss3->isVisible() && !notes.contains(drill->lblsss3->text())) {
            notes << drill->lblsss3->text();
            if (drill->lblsss3->text().contains(QStringLiteral("（12秒）")))
                f.shot(drill, QStringLiteral("drill-waiting-for-the-results-file"));
        }
    };
    f.clock.advance(25);
    d->run().sTimer1_Timer();
    for (int i = 0; i < 10; ++i)
        f.typeAnswer();
    f.settle();
    f.duringWait = nullptr;

    // The overlay counted the seconds from the third on, and said who holds the file.
    ASSERT_FALSE(notes.isEmpty());
    EXPECT_TRUE(notes.first().contains(QStringLiteral("ほかのパソコンが使っています"))) << notes.first().toStdString();
    EXPECT_TRUE(notes.first().contains(QStringLiteral("（3秒）"))) << notes.first().toStdString();
    EXPECT_TRUE(notes.last().contains(QStringLiteral("（29秒）"))) << notes.last().toStdString();
    // The student is told the run is kept on this PC, and the end screen shows it.
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("このパソコンに保存しました")));
    auto *end = f.forms.loadedAs<EndScreen>(QStringLiteral("FrmSyuuryou"));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->Label18->text(), QStringLiteral("今の成績：25秒"));
    EXPECT_EQ(end->Label13->text(), QStringLiteral(" (このレベル　1回目)"));
    EXPECT_TRUE(f.exits.empty());
    QFile pending(f.state.config.ProgramFolder + pendingFileName());
    ASSERT_TRUE(pending.open(QIODevice::ReadOnly));
    const QByteArray kept = pending.readAll();
    ASSERT_EQ(kept.size(), kRecordSize);
    EXPECT_EQ(ResultRecord::decode(kept.constData()).ResultRecTime, 25);
    QFile shared(resultsFilePath(f.state));
    ASSERT_TRUE(shared.open(QIODevice::ReadOnly));
    EXPECT_EQ(shared.readAll(), before);

    // Once the other PC lets go, the hub's next read sends the kept run.
    otherPc.release();
    ASSERT_TRUE(f.settleUntil([&] { return end->Command4->isVisible(); }));
    QTest::mouseClick(end->Command4, Qt::LeftButton);
    f.settle();
    ASSERT_NE(f.forms.loaded(QStringLiteral("seisekitime1")), nullptr);
    shared.seek(0);
    EXPECT_EQ(shared.readAll(), before + kept);
    EXPECT_EQ(QFileInfo(pending.fileName()).size(), 0);
}

TEST(DrillScreen, ControlsAreNamedWidgetsForAssistiveTechnology)
{
    DrillFixture f;
    DrillScreen *d = f.start(1);
    ASSERT_NE(d, nullptr);
    // Labels are read by their text, the time bar by what it stands for.
    for (const char *name : {"qLabel1", "qlabel2", "Label6", "inputLabel", "Label11", "seitouLabel", "Commandkakunin2",
                             "Label1", "sLabel2", "sLabel9", "sLabel10", "sShape5", "sShape2", "sShape3", "sShape4"}) {
        QWidget *w = d->findChild<QWidget *>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(iface, nullptr) << name;
        if (auto *l = qobject_cast<QLabel *>(w); l && !l->text().isEmpty()) {
            EXPECT_EQ(iface->text(QAccessible::Name), l->text()) << name;
        } else if (!qobject_cast<QLabel *>(w)) {
            EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty()) << name;
        }
    }
    QAccessibleInterface *problem = QAccessible::queryAccessibleInterface(d->qLabel1);
    EXPECT_EQ(problem->text(QAccessible::Name), d->qLabel1->text());
    EXPECT_FALSE(d->qLabel1->text().isEmpty());
}

TEST(DrillScreen, TheTypedAnswerIsNamedAndEveryJudgementIsTold)
{
    // The typed answer was an unnamed label and a screen reader heard no judgement: the
    // judgement is the screen's description, which is read out for the screen in focus.
    DrillFixture f;
    DrillScreen *d = f.start(2); // pass line 60: limit 300 s
    ASSERT_NE(d, nullptr);
    auto nameOf = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    EXPECT_EQ(nameOf(d->inputLabel), QStringLiteral("答え"));
    f.typeAnswer();
    EXPECT_EQ(nameOf(d), d->windowTitle());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(d)->text(QAccessible::Description),
              QStringLiteral("正解　残り9問"));
    const int n = d->qLabel1->text().toInt();
    QTest::keyClicks(d, QStringLiteral("12"));
    EXPECT_EQ(nameOf(d->inputLabel), QStringLiteral("答え 12"));
    QTest::keyClick(d, Qt::Key_Space);
    EXPECT_EQ(d->accessibleDescription(), QStringLiteral("不正解　答えは%1　＋を２回押しなさい").arg(n * n));
    QTest::keyClicks(d, QStringLiteral("++"));
    f.typeAnswer();
    EXPECT_EQ(d->accessibleDescription(), QStringLiteral("正解　残り9問"));
    const QPointer<DrillScreen> drill(d);
    f.clock.advance(300);
    d->run().sTimer1_Timer();
    ASSERT_FALSE(drill.isNull());
    EXPECT_EQ(drill->accessibleDescription(), QStringLiteral("時間切れ"));
}
