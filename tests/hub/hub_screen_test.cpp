#include "app/Configuration.h"
#include "results/ResultsFile.h"
#include "drill/DrillScreen.h"
#include "drill/EndScreen.h"
#include "hub/HubScreen.h"
#include "hub/SheetPanel.h"
#include "results/Tally.h"
#include "roster/NameSelectScreen.h"
#include "text/DayNumber.h"
#include "support/ScreenFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct Loop : ScreenFixture {
    Loop()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        state.profile.ScreenColour = 0x00C0FFC0;
        random.step = 0.37;
        random.values = {0.3};
        forms.show(QStringLiteral("namesel"));
        settle();
    }
    NameSelectScreen *roster() { return forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel")); }
    HubScreen *hub() { return forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1")); }
    DrillScreen *drill() { return forms.loadedAs<DrillScreen>(QStringLiteral("MainFrm")); }
    void logIn(const QString &name)
    {
        NameSelectScreen *r = roster();
        for (int i = 1; i < r->List1->count(); ++i)
            if (r->List1->item(i)->text().contains(name))
                r->List1->setCurrentRow(i);
        QTest::keyClick(r->List1, Qt::Key_Return);
        settle();
    }
};

} // namespace

TEST(HubScreen, TheWholeLoopCountsTheNewRun)
{
    Loop f;
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(f.forms.loaded(QStringLiteral("namesel")), nullptr); // the hub unloads the roster
    EXPECT_EQ(hub->logic().KeysReady, 1);
    EXPECT_EQ(hub->Label12->text(), QStringLiteral("小３ 髙橋　健一"));
    EXPECT_EQ(hub->Label13->text(), QStringLiteral("みなと塾:2"));
    EXPECT_EQ(hub->Label5->text(), QStringLiteral("獲得ポイント（今まで順位）"));
    EXPECT_EQ(hub->Label14[1]->text(), QStringLiteral("-----"));
    EXPECT_EQ(hub->Label15[1]->text(), QStringLiteral("------"));
    EXPECT_EQ(hub->Command4[1]->text(), QStringLiteral("ｽﾀｰﾄ(&1)"));
    EXPECT_EQ(hub->Label7[1]->text(), QStringLiteral("目標=25秒 3回/30点(×1.5)"));
    if (hub->stageWidthTwips() == FormScale::kFormWidthTwips) {
        EXPECT_TRUE(hub->HScroll1->isVisible());
        EXPECT_EQ(hub->HScroll1->maximum(), 3);
    } else {
        // A wider stage shows five columns (16:10) or all six (16:9): the bar only when needed.
        EXPECT_EQ(hub->HScroll1->isVisible(), hub->logic().columns.scrolls);
    }

    QTest::keyClick(hub, Qt::Key_1);
    f.settle();
    DrillScreen *d = f.drill();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(f.forms.loaded(QStringLiteral("seisekitime1")), nullptr);
    f.clock.advance(20);
    d->run().sTimer1_Timer(); // the run clock's tick at 20 s
    for (int i = 0; i < 10; ++i) {
        const int n = d->qLabel1->text().toInt();
        QTest::keyClicks(d, QString::number(n * n));
        QTest::keyClick(d, Qt::Key_Space);
    }
    f.settle();
    auto *end = f.forms.loadedAs<EndScreen>(QStringLiteral("FrmSyuuryou"));
    ASSERT_NE(end, nullptr);
    ASSERT_TRUE(f.settleUntil([&] { return end->Command4->isVisible(); }));
    QTest::mouseClick(end->Command4, Qt::LeftButton);
    f.settle();
    hub = f.hub();
    ASSERT_NE(hub, nullptr);
    // 20 s against a target of 25 s: 5 base points, 7 with the rate 1.5.
    EXPECT_EQ(hub->Label14[1]->text(), QStringLiteral("1回/7点"));
    EXPECT_EQ(hub->Label15[1]->text(), QStringLiteral("1回/7点"));
    EXPECT_EQ(hub->Label18->text(), QStringLiteral("本日総回数＝1回"));
    ASSERT_GE(hub->listLines(1).size(), 1);
    EXPECT_EQ(hub->listLines(1)[0], QStringLiteral(" 1●髙橋　健一  7/    7"));
    EXPECT_EQ(hub->List5[1]->currentIndex().row(), 0); // the student's own line

    // "0" goes back to the roster screen, which unloads the hub.
    QTest::keyClick(hub, Qt::Key_0);
    f.settle();
    EXPECT_NE(f.roster(), nullptr);
    EXPECT_EQ(f.forms.loaded(QStringLiteral("seisekitime1")), nullptr);
}

TEST(HubScreen, KeysForLevelsThatDoNotExistDoNothing)
{
    Loop f;
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    QTest::keyClick(hub, Qt::Key_7);
    QTest::keyClick(hub, Qt::Key_A, Qt::ShiftModifier); // "A": upper case is not a key
    QTest::keyClick(hub, Qt::Key_A); // "a": level 10, not offered
    f.settle();
    EXPECT_EQ(f.drill(), nullptr);
    EXPECT_NE(f.hub(), nullptr);
}

TEST(HubScreen, ALevelWithoutACriteriaRowCannotBeStartedAndRecordsNothing)
{
    // Once level 4 of a three-line criteria file timed out at once, recorded a 99999 run
    // and the end screen said the level was cleared.
    Loop f;
    const QString criteriaPath = f.state.config.DataFolder + QStringLiteral("タイム回数データ.txt");
    writeCp932(criteriaPath,
               QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n"
                              "25,50,30,3,1.5,10,0,7,1,,,\r\n30,60,30,3,1.5,10,0,7,1,,,\r\n"
                              "35,70,30,3,1.5,10,0,7,1,,,\r\n"));
    f.state.criteria = CriteriaTable(); // as at start-up: levels 4..6 never read
    LoadConfiguration(f.state, f.ctx.programFolderPath);
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_TRUE(hub->Command4[3]->isEnabled());
    for (int level = 4; level <= 6; ++level) {
        EXPECT_FALSE(hub->Command4[level]->isEnabled()) << level;
        EXPECT_TRUE(hub->Text1[level]->isVisible()) << level;
        EXPECT_EQ(hub->Text1[level]->text(), QStringLiteral("基準がありません"));
    }
    QTest::keyClick(hub, Qt::Key_4);
    f.settle();
    EXPECT_EQ(f.drill(), nullptr);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("レベル4")));
    EXPECT_TRUE(f.messages.shown[0].contains(criteriaPath));
    hub->Label3_Click(5);
    f.settle();
    EXPECT_EQ(f.drill(), nullptr);
    EXPECT_EQ(f.messages.shown.size(), 2);
    EXPECT_EQ(QFileInfo(f.state.config.DataFolder + QStringLiteral("成績累積データ.dat")).size(), 0);
}

TEST(HubScreen, ARosterThatCannotBeReReadIsNamedAsTheFileThatFailed)
{
    // The personal-times view re-reads the roster; once its failure was reported as the
    // results file's.
    Loop f;
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    const QString roster = f.state.config.DataRoot + QStringLiteral("新名簿.txt");
    ASSERT_TRUE(QFile::remove(roster));
    QTest::mouseClick(hub->Option2[2], Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_EQ(f.messages.shown[0], QStringLiteral("Tobrel|名簿ファイルを読めないため、終了します。\n\n"
                                                  "ファイルがありません\n") +
                                       roster + QStringLiteral("\n\n先生を呼びなさい。\n（エラー番号 53）"));
    EXPECT_EQ(f.exits, std::vector<int>{1});
}

TEST(HubScreen, ViewsAndScrolling)
{
    Loop f;
    f.logIn(QStringLiteral("佐藤先生"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_TRUE(hub->Command8->isVisible()); // "データ処理" for teachers

    QTest::mouseClick(hub->Option2[0], Qt::LeftButton);
    EXPECT_EQ(hub->logic().ListMode, 1);
    EXPECT_EQ(hub->Option1[1]->text(), QStringLiteral("BEST表示"));
    EXPECT_EQ(hub->Label5->text(), QStringLiteral("ベスト成績"));
    ASSERT_EQ(hub->listLines(2).size(), 3);
    EXPECT_EQ(hub->listLines(2)[2], QStringLiteral("--●佐藤先生　------ ●"));
    EXPECT_TRUE(hub->Command4[1]->isEnabled());
    EXPECT_FALSE(hub->Picture6->isVisible());

    QTest::mouseClick(hub->Option1[3], Qt::LeftButton);
    EXPECT_TRUE(hub->Combo2->isVisible());
    hub->Combo2->setCurrentIndex(0);
    hub->Combo2_Click();
    EXPECT_EQ(f.state.hub.ResultPeriod.toNumber(), 1);

    QTest::mouseClick(hub->Option2[2], Qt::LeftButton);
    EXPECT_EQ(hub->Label5->text(), QStringLiteral("個人別ﾀｲﾑ"));
    EXPECT_EQ(hub->Picture11->SheetStudent, 3);
    EXPECT_EQ(hub->Picture11->List3->count(), 6);
    EXPECT_EQ(hub->Picture11->List2->count(), 3);

    // Scrolling by two shows levels 3..6; levels 1 and 2 are parked off screen. (A
    // display wide enough for five or six columns scrolls less or not at all.)
    if (hub->logic().columns.scrollMaximum >= 3) {
        const int leftOfLevel1 = hub->List5[1]->x();
        hub->HScroll1->setValue(3);
        EXPECT_EQ(hub->List5[3]->x(), leftOfLevel1);
        EXPECT_EQ(hub->List5[1]->x(), hub->stage()->width());
        EXPECT_EQ(hub->List5[2]->x(), hub->stage()->width());
        EXPECT_EQ(f.state.hub.ColumnScroll.toNumber(), 3);
    }
}

TEST(HubScreen, ControlsAreNamedWidgetsForAssistiveTechnology)
{
    Loop f;
    NameSelectScreen *r = f.roster();
    for (QWidget *w : std::initializer_list<QWidget *>{r->Label4, r->Combo1, r->List1, r->Label1, r->Command14,
                                                       r->Command7, r->Option1[0], r->Option1[3]}) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(iface, nullptr);
        EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_EQ(r->Command14->text(), QStringLiteral("O.K."));
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(hub->Command4[i])->text(QAccessible::Name),
                  QStringLiteral("ｽﾀｰﾄ(%1)").arg(i));
        EXPECT_EQ(hub->List5[i]->accessibleName(), f.state.profile.LevelNames[i]);
        // The list's lines reach assistive technology through its model.
        const QModelIndex first = hub->List5[i]->model()->index(0, 0);
        EXPECT_EQ(first.data(Qt::AccessibleTextRole).toString(), hub->listLines(i).value(0));
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(hub->Label12)->text(QAccessible::Name), hub->Label12->text());
}

namespace {

// A school of 150 students; the one logging in comes last in roster order (the youngest,
// the last name), so with no points anywhere their line is the last of every ranking.
struct LargeSchool : ScreenFixture {
    static constexpr int kStudents = 150;
    LargeSchool()
    {
        writeSuite();
        QString roster;
        for (int s = 1; s <= kStudents; ++s)
            roster += QStringLiteral("%1,%2,0,0,生徒%3,0,-,-\r\n")
                          .arg(s)
                          .arg(s == kStudents ? 2017 : 2012 + s % 5)
                          .arg(s, 3, 10, QChar(u'0'));
        writeCp932(dir.path() + QStringLiteral("/data/新名簿.txt"), roster);
        LoadConfiguration(state, ctx.programFolderPath);
    }
    void appendRun(int student, int level, int seconds, double timeOfDay)
    {
        ResultRecord r;
        r.ResultRecDate = dayNumber(clock.date);
        r.ResultRecClock = timeOfDay;
        r.ResultRecStudentNo = static_cast<int16_t>(student);
        r.ResultRecLevel = static_cast<int16_t>(level);
        r.ResultRecTime = seconds;
        QString error;
        ASSERT_GT(ResultsFile(resultsFilePath(state)).append(r, &error), 0) << error.toStdString();
    }
    HubScreen *logInLast()
    {
        forms.show(QStringLiteral("namesel"));
        settle();
        auto *r = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        for (int i = 1; i < r->List1->count(); ++i)
            if (r->List1->item(i)->text().contains(QStringLiteral("生徒150")))
                r->List1->setCurrentRow(i);
        QTest::keyClick(r->List1, Qt::Key_Return);
        settle();
        return forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1"));
    }
};

// The row is the list's current line and lies wholly inside what the list shows.
void expectShownAndSelected(QListView *list, int row, const char *view)
{
    const QModelIndex index = list->model()->index(row, 0);
    EXPECT_EQ(list->currentIndex().row(), row) << view << " " << list->objectName().toStdString();
    EXPECT_TRUE(list->selectionModel()->isSelected(index)) << view;
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(index)))
        << view << " " << list->objectName().toStdString() << " row " << row;
}

} // namespace

TEST(HubScreen, LongRankingsOpenOnTheStudentsOwnLine)
{
    LargeSchool f;
    HubScreen *hub = f.logInLast();
    ASSERT_NE(hub, nullptr);
    // The cumulative points ranking the hub opens with, then the best times.
    for (const char *view : {"points", "best times"}) {
        if (QByteArray(view) == "best times")
            QTest::mouseClick(hub->Option2[0], Qt::LeftButton);
        for (int level = 1; level <= 6; ++level) {
            const QStringList lines = hub->listLines(level);
            ASSERT_EQ(lines.size(), LargeSchool::kStudents) << view;
            ASSERT_TRUE(lines.last().contains(QStringLiteral("●生徒150"))) << lines.last().toStdString();
            expectShownAndSelected(hub->List5[level], LargeSchool::kStudents - 1, view);
        }
    }
}

TEST(HubScreen, ARankingWithoutTheStudentsLineOpensAtItsTop)
{
    // The cumulative ranking opens on the student's own line at its end; today's ranking,
    // where the student has no line, must open on its leaders, not where the list before
    // it was scrolled.
    LargeSchool f;
    for (int s = 1; s <= 80; ++s)
        f.appendRun(s, 1, 10 + s % 7, 0.3 + s * 0.001);
    HubScreen *hub = f.logInLast();
    ASSERT_NE(hub, nullptr);
    QListView *list = hub->List5[1];
    expectShownAndSelected(list, LargeSchool::kStudents - 1, "points");
    QTest::mouseClick(hub->Option1[2], Qt::LeftButton);
    ASSERT_EQ(hub->listLines(1).size(), 80);
    EXPECT_EQ(list->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(list->model()->index(0, 0))));
    EXPECT_FALSE(list->currentIndex().isValid());
}

TEST(HubScreen, PersonalTimesOpenOnTheNewestRun)
{
    LargeSchool f;
    for (int k = 0; k < 60; ++k)
        f.appendRun(LargeSchool::kStudents, 2, 40 + k, 0.3 + k * 0.001);
    f.appendRun(7, 2, 33, 0.5); // another student's run is not listed
    HubScreen *hub = f.logInLast();
    ASSERT_NE(hub, nullptr);
    QTest::mouseClick(hub->Option2[2], Qt::LeftButton);
    const QStringList lines = hub->listLines(2);
    ASSERT_EQ(lines.size(), 60);
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("99秒"))) << lines.last().toStdString();
    expectShownAndSelected(hub->List5[2], 59, "personal times");
    EXPECT_FALSE(hub->List5[1]->currentIndex().isValid()); // no runs at level 1
}

namespace {

// Every button of a screen that assistive technology reads by another name than the
// caption it shows now (access-key mark aside).
QStringList staleButtonNames(QWidget *screen)
{
    QStringList stale;
    for (QAbstractButton *b : screen->findChildren<QAbstractButton *>()) {
        const QString name = QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name);
        if (name != QString(b->text()).remove(u'&'))
            stale << b->objectName() + u':' + name + u'/' + b->text();
    }
    return stale;
}

} // namespace

TEST(HubScreen, AssistiveTechnologyReadsTheCaptionsAsTheyAreNow)
{
    // The view buttons once kept their design captions for screen readers while the
    // screen showed "累計順 / 本日順" or "合計累計 / 合計本日 / すべて".
    Loop f;
    EXPECT_EQ(staleButtonNames(f.roster()), QStringList());
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(hub->Option1[1]->text(), QStringLiteral("累計順"));
    EXPECT_EQ(staleButtonNames(hub), QStringList());
    QTest::mouseClick(hub->Option2[0], Qt::LeftButton);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(hub->Option1[1])->text(QAccessible::Name),
              QStringLiteral("BEST表示"));
    QTest::mouseClick(hub->Option2[1], Qt::LeftButton);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(hub->Option1[3])->text(QAccessible::Name),
              QStringLiteral("すべて"));
    EXPECT_EQ(staleButtonNames(hub), QStringList());
}

TEST(HubScreen, TheDisplayKindTickedIsTheOneOnScreenAfterTheGradeFilterChanges)
{
    // 個人ﾀｲﾑ once stayed ticked while the grade filter brought up the points ranking.
    Loop f;
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    QTest::mouseClick(hub->Option2[2], Qt::LeftButton);
    ASSERT_EQ(hub->Label5->text(), QStringLiteral("個人別ﾀｲﾑ"));
    hub->Combo1->setCurrentText(QStringLiteral("小学生全体"));
    hub->Combo1_Click();
    EXPECT_EQ(hub->Label5->text(), QStringLiteral("獲得ポイント（今まで順位）"));
    EXPECT_EQ(hub->Option1[1]->text(), QStringLiteral("合計累計"));
    EXPECT_TRUE(hub->Option2[1]->isChecked());
    EXPECT_FALSE(hub->Option2[2]->isChecked());
}

TEST(HubScreen, KeysTypedBeforeAScreenIsShownAreDropped)
{
    // Two presses of "0" on the hub once went back to the roster screen and straight
    // on to the program menu.
    Loop f;
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    // The second "0" arrives while the roster screen is being brought up, to whichever
    // screen is in front by then.
    bool typedAhead = false;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(f.forms.holdingKeys());
        QWidget *front = hub;
        if (auto *r = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel")); r && r->isVisible())
            front = r->List1;
        QTest::keyClick(front, Qt::Key_0);
        typedAhead = true;
    });
    QTest::keyClick(hub, Qt::Key_0);
    f.settle();
    ASSERT_TRUE(typedAhead);
    ASSERT_NE(f.roster(), nullptr);
    EXPECT_TRUE(f.processes.started.isEmpty());
    EXPECT_TRUE(f.exits.empty());
    EXPECT_FALSE(f.forms.holdingKeys());
    // These key events carry no time, as a screen reader's bridge hands them on: a "0"
    // reaching the shown roster screen right after the hub's is still the double press.
    QTest::keyClick(f.roster()->List1, Qt::Key_0);
    EXPECT_TRUE(f.processes.started.isEmpty());
    EXPECT_TRUE(f.exits.empty());
    // A "0" pressed later leaves.
    f.settle(600);
    QTest::keyClick(f.roster()->List1, Qt::Key_0);
    EXPECT_EQ(f.processes.started.size(), 1);
}

TEST(HubScreen, DigitsTypedAtTheHubAreNoAnswerToTheDrillsFirstProblem)
{
    // Digits typed before the drill screen is shown are not an answer.
    Loop g;
    g.logIn(QStringLiteral("髙橋"));
    QTest::keyClick(g.hub(), Qt::Key_1);
    ASSERT_NE(g.drill(), nullptr);
    QTest::keyClicks(g.drill(), QStringLiteral("12"));
    g.settle();
    EXPECT_EQ(g.drill()->inputLabel->text(), QString());
    QTest::keyClicks(g.drill(), QStringLiteral("34"));
    EXPECT_EQ(g.drill()->inputLabel->text(), QStringLiteral("34"));
}

namespace {

// A key pressed at a time of the clock the forms judge keys by, and let go 30 ms later.
void pressAt(QWidget *to, Qt::Key key, const QString &text, quint64 at, bool autoRepeat = false)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text, autoRepeat);
    down.setTimestamp(at);
    QApplication::sendEvent(to, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text, autoRepeat);
    up.setTimestamp(at + 30);
    QApplication::sendEvent(to, &up);
}

// The school's day with a clock for the key events' times.
struct TimedLoop : Loop {
    quint64 now = 50000;
    TimedLoop()
    {
        forms.setKeyClock([this] { return now; });
    }
};

} // namespace

TEST(HubScreen, EveryKeyPressedAfterAScreenIsShownCountsFromItsFirstMillisecond)
{
    // Keys within half a second of a screen coming up were once all dropped: a child
    // typing "400" from 440 ms after 20 x 20 appeared lost the "4" and the answer.
    TimedLoop f;
    f.logIn(QStringLiteral("髙橋"));
    ASSERT_NE(f.hub(), nullptr); // the hub is shown (its keys ready) at 50000
    f.now = 50100; // the drill's first problem comes up at 50100
    f.random.values = {0.84}; // level 4 draws 20
    pressAt(f.hub(), Qt::Key_4, QStringLiteral("4"), 50000); // the hub's first millisecond
    f.settle();
    DrillScreen *d = f.drill();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->qLabel1->text(), QStringLiteral("20"));
    // Typed at the hub, on its way meanwhile: no answer.
    pressAt(d, Qt::Key_9, QStringLiteral("9"), 50099);
    EXPECT_EQ(d->inputLabel->text(), QString());
    // "400" and space from the problem's first millisecond, 70 ms apart.
    pressAt(d, Qt::Key_4, QStringLiteral("4"), 50100);
    pressAt(d, Qt::Key_0, QStringLiteral("0"), 50170);
    pressAt(d, Qt::Key_0, QStringLiteral("0"), 50240);
    EXPECT_EQ(d->inputLabel->text(), QStringLiteral("400"));
    pressAt(d, Qt::Key_Space, QStringLiteral(" "), 50310);
    EXPECT_EQ(f.state.run.CorrectCount, 1);
    EXPECT_EQ(d->sLabel9->text(), QStringLiteral("9"));

    // The next problem is no new screen: its keys count at once, and a digit typed 1 ms
    // after the run's screen came up is judged like any other.
    const int n = d->qLabel1->text().toInt();
    const QString square = QString::number(n * n);
    quint64 at = 50101;
    for (const QChar c : square)
        pressAt(d, static_cast<Qt::Key>(c.unicode()), QString(c), at++);
    pressAt(d, Qt::Key_Space, QStringLiteral(" "), at);
    EXPECT_EQ(f.state.run.CorrectCount, 2);
}

TEST(HubScreen, ADoublePressOfZeroOnTheHubDoesNotLeaveTheProgram)
{
    // The second "0" of two quick presses on the hub reaches the roster screen after it
    // came up, and once went on to the program menu.
    struct Case {
        const char *what;
        quint64 secondAt; // the hub's "0" is pressed at 60000, the roster shown at 60100
        bool autoRepeat;
        bool leaves;
    };
    const Case cases[] = {
        {"before the roster was shown", 60050, false, false},
        {"150 ms after", 60150, false, false},
        {"400 ms after", 60400, false, false},
        {"held down, repeating", 60900, true, false},
        {"800 ms after", 60800, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TimedLoop f;
        f.logIn(QStringLiteral("髙橋"));
        f.now = 60100;
        pressAt(f.hub(), Qt::Key_0, QStringLiteral("0"), 60000);
        f.settle();
        NameSelectScreen *roster = f.roster();
        ASSERT_NE(roster, nullptr);
        pressAt(roster->List1, Qt::Key_0, QStringLiteral("0"), c.secondAt, c.autoRepeat);
        EXPECT_EQ(f.processes.started.size(), c.leaves ? 1 : 0);
        if (c.leaves)
            continue;
        // Other keys count from the roster's first millisecond, and a later "0" leaves.
        const int row = roster->List1->currentRow();
        pressAt(roster->List1, Qt::Key_Down, QString(), 60100);
        EXPECT_EQ(roster->List1->currentRow(), row + 1);
        pressAt(roster->List1, Qt::Key_0, QStringLiteral("0"), 61000);
        EXPECT_EQ(f.processes.started.size(), 1);
    }
}

TEST(HubScreen, EveryListLineIsReadableInFullInEveryView)
{
    // The all-runs view of the points display once cut "1 12/10●現在 生徒●125秒" to
    // "…12…" as soon as a vertical scroll bar came: the time was gone.
    Loop f;
    const ResultsFile file(resultsFilePath(f.state));
    QString error;
    const double today = dayNumber(f.clock.date);
    const int times[] = {5, 45, 125, 999, 1234, 5999, kTimedOut};
    for (int k = 0; k < 120; ++k) {
        ResultRecord r;
        r.ResultRecDate = today - (k % 3);
        r.ResultRecClock = dayFraction(9 * 3600 + k * 60);
        r.ResultRecStudentNo = static_cast<int16_t>(1 + k % 3);
        r.ResultRecLevel = static_cast<int16_t>(1 + k % 2);
        r.ResultRecTime = times[k % 7];
        ASSERT_GT(file.append(r, &error), 0);
    }
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    auto check = [&](const char *view) {
        f.settle();
        int lines = 0;
        for (int level = 1; level <= 2; ++level) {
            QListView *list = hub->List5[level];
            const QFontMetrics metrics(list->font());
            for (const QString &line : hub->listLines(level)) {
                ++lines;
                EXPECT_LE(metrics.horizontalAdvance(line), list->viewport()->width())
                    << view << " level " << level << ": " << line.toStdString();
            }
            EXPECT_FALSE(list->horizontalScrollBar()->isVisible()) << view;
        }
        EXPECT_GT(lines, 0) << view;
    };
    check("points ranking");
    QTest::mouseClick(hub->Option1[3], Qt::LeftButton);
    ASSERT_TRUE(hub->listLines(1).value(0).endsWith(QStringLiteral("秒")));
    ASSERT_TRUE(hub->List5[1]->verticalScrollBar()->isVisible());
    check("points, all runs");
    QTest::mouseClick(hub->Option2[0], Qt::LeftButton);
    check("times, all runs");
    QTest::mouseClick(hub->Option1[2], Qt::LeftButton);
    check("times, today");
    QTest::mouseClick(hub->Option1[1], Qt::LeftButton);
    check("best times");
    QTest::mouseClick(hub->Option2[2], Qt::LeftButton);
    check("personal times");
}

TEST(HubScreen, ALongNameIsShownWholeOnTheHubTheDrillAndTheEndScreen)
{
    // A name wider than its label was cut off in the hub's heading and on the drill
    // screen: the student could not check that it was his.
    Loop f;
    const QString name = QStringLiteral("寿限無寿限無五劫の擦り切れ海砂利水魚");
    writeCp932(f.dir.path() + QStringLiteral("/data/新名簿.txt"), QStringLiteral("5,2015,0,0,%1,0,,\r\n").arg(name));
    f.roster()->Combo1_Click(); // reads the roster again
    f.logIn(name);
    auto fits = [](const QLabel *l) { return QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width(); };
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_TRUE(hub->Label12->text().endsWith(name));
    EXPECT_TRUE(fits(hub->Label12));
    QTest::keyClick(hub, Qt::Key_1);
    f.settle();
    DrillScreen *d = f.drill();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->sLabel7->text(), name);
    EXPECT_TRUE(fits(d->sLabel7));
    f.clock.advance(1000); // past the time limit
    d->run().sTimer1_Timer();
    f.settle();
    auto *end = f.forms.loadedAs<EndScreen>(QStringLiteral("FrmSyuuryou"));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->Label17->text(), name);
    EXPECT_TRUE(fits(end->Label17));
}

TEST(HubScreen, EveryWaitForAnUnreachableResultsFolderSaysSoOnTheScreen)
{
    // The hub's cover, its view panel and the result sheet wait for a results folder that
    // cannot be reached: each try is told on the screen, then one message names the file.
    const struct {
        const char *what;
        std::function<void(Loop &)> before; // with the folder there
        std::function<void(Loop &)> act; // with the folder gone
    } rows[] = {
        {"log-in", [](Loop &) {}, [](Loop &f) { f.logIn(QStringLiteral("髙橋")); }},
        {"all runs",
         [](Loop &f) {
             f.logIn(QStringLiteral("髙橋"));
             QTest::mouseClick(f.hub()->Option2[0], Qt::LeftButton);
         },
         [](Loop &f) { QTest::mouseClick(f.hub()->Option1[3], Qt::LeftButton); }},
        {"result sheet",
         [](Loop &f) {
             f.logIn(QStringLiteral("髙橋"));
             QTest::mouseClick(f.hub()->Option2[2], Qt::LeftButton);
         },
         [](Loop &f) { QTest::mouseClick(f.hub()->Command17, Qt::LeftButton); }},
    };
    for (const auto &row : rows) {
        Loop f;
        row.before(f);
        ASSERT_TRUE(f.messages.shown.isEmpty()) << row.what;
        const QString folder = QDir(f.state.config.DataFolder).absolutePath();
        ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral("_away"))) << row.what;
        QStringList told;
        f.duringWait = [&] { told << f.shownTextStartingWith(QStringLiteral("成績ファイルのフォルダに届きません。")); };
        row.act(f);
        f.settle();
        ASSERT_EQ(told.size(), 3) << row.what;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(told[i].contains(QStringLiteral("%1回目／4回").arg(i + 2))) << row.what << ' ' << i;
        ASSERT_EQ(f.messages.shown.size(), 1) << row.what;
        EXPECT_TRUE(f.messages.shown[0].contains(f.state.config.DataFolder + QStringLiteral("成績累積データ.dat")))
            << row.what;
        QDir().rename(folder + QStringLiteral("_away"), folder);
    }
}

TEST(HubScreen, AScreenReaderChoosesViewsAndReachesEveryColumn)
{
    Loop f;
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    // The accessible "Toggle" on ﾀｲﾑ表示 once checked it and left the points view up.
    auto toggle = [](QWidget *option) {
        QAccessible::queryAccessibleInterface(option)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
    };
    toggle(hub->Option2[0]);
    EXPECT_TRUE(hub->Option2[0]->isChecked());
    EXPECT_EQ(hub->logic().ListMode, 1);
    EXPECT_EQ(hub->Label5->text(), QStringLiteral("ベスト成績"));
    toggle(hub->Option1[2]);
    EXPECT_TRUE(hub->Option1[2]->isChecked());
    EXPECT_EQ(hub->Option1[2]->text(), QStringLiteral("本日のみ"));
    EXPECT_NE(hub->Label5->text(), QStringLiteral("ベスト成績"));

    // Combo boxes are read by their captions.
    for (const auto &[combo, name] :
         {std::pair{hub->Combo1, QStringLiteral("学年")}, std::pair{hub->Combo2, QStringLiteral("期間")}}) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(combo);
        EXPECT_EQ(a->text(QAccessible::Name), name);
        EXPECT_EQ(a->text(QAccessible::Value), combo->currentText());
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(hub->Combo1->lineEdit())->text(QAccessible::Name),
              QStringLiteral("学年"));

    // Tab reaches ｽﾀｰﾄ(5) and list 6 while they are scrolled out of view: they come into
    // view; Shift+Tab back to level 1 scrolls back.
    ASSERT_EQ(hub->HScroll1->value(), 1);
    const QRect stage = hub->stage()->rect();
    auto inView = [&](QWidget *w) { return stage.contains(QRect(w->mapTo(hub->stage(), QPoint(0, 0)), w->size())); };
    if (hub->logic().columns.shown != 4) {
        // Five or six columns are in view on a display this wide: what Tab reaches is in
        // view all the same.
        for (QWidget *w : std::initializer_list<QWidget *>{hub->Command4[5], hub->List5[6], hub->Command4[1]}) {
            w->setFocus(Qt::TabFocusReason);
            EXPECT_TRUE(inView(w));
        }
        return;
    }
    EXPECT_FALSE(inView(hub->Command4[5]));
    hub->Command4[5]->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(inView(hub->Command4[5]));
    EXPECT_EQ(hub->HScroll1->value(), 2);
    hub->List5[6]->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(inView(hub->List5[6]));
    hub->Command4[1]->setFocus(Qt::BacktabFocusReason);
    EXPECT_TRUE(inView(hub->Command4[1]));
    EXPECT_EQ(hub->HScroll1->value(), 1);
    // A column in view stays where it is.
    hub->Command4[3]->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(hub->HScroll1->value(), 1);
}
