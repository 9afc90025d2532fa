// The hub's decisions without a widget: what an activation shows, which keys count,
// which levels start, how the views switch, and the kept rankings outliving the hub.
#include "hub/HubLogic.h"
#include "hub/PointsRanking.h"
#include "hub/Rankings.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct FakeHubHost final : HubHost {
    int refreshes = 0, starts = 0, rosterShown = 0, unloads = 0;
    bool panelOpen = false;
    QStringList told, fileErrors;
    void refresh() override { ++refreshes; }
    void paint() override { ++refreshes; }
    void repaintNow() override { ++refreshes; }
    void showProgress() override {}
    WaitFunction waitOnCover() override { return {}; }
    WaitFunction waitOnWaitPanel() override { return {}; }
    void unloadRosterScreen() override {}
    void fileError(const QString &kind, const QString &detail, int) override { fileErrors << kind + detail; }
    void tell(const QString &message) override { told << message; }
    bool teacherPanelOpen() const override { return panelOpen; }
    void sheetForTeacher(bool) override {}
    void tallied(bool) override {}
    void fillSheet(const QStringList &) override {}
    void hideSheet() override {}
    void startRun() override { ++starts; }
    void unloadHub() override { ++unloads; }
    void showRosterScreen() override { ++rosterShown; }
};

// Six levels; level 3 has no pass-line time. Students 1..3, student 2 logged in.
struct Hub {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    KeptRankings kept;
    FakeHubHost host;
    Hub()
    {
        ApplyProgramProfileTables(state);
        state.config.DataFolder = dir.path() + u'/';
        state.config.SchoolName = QStringLiteral("みなと塾");
        state.roster.SchoolYear = 2023;
        clock.date = QDate(2024, 2, 7);
        for (int L = 1; L <= 6; ++L) {
            state.criteria.CritTargetTime[L] = 60;
            state.criteria.CritPassTime[L] = L == 3 ? 0 : 120;
            state.criteria.CritPointRate[L] = 1;
            state.criteria.CritClearPoints[L] = 9999;
            state.criteria.CritPassDays[L] = Variant(7);
            state.criteria.CritOverDays[L] = Variant(7);
        }
        const QString names[] = {QStringLiteral("佐藤"), QStringLiteral("髙橋"), QStringLiteral("鈴木")};
        for (int s = 1; s <= 3; ++s) {
            state.roster.RosterNumbers[++state.roster.RosterCount] = static_cast<int16_t>(s);
            state.roster.StudentNames[s] = fixedRosterText(names[s - 1]);
            state.roster.StudentBirthYears[s] = static_cast<int16_t>(2023 - 3 - 6);
        }
        state.student.CurrentStudent = 2;
        state.student.CurrentStudentName = QStringLiteral("髙橋");
        state.student.CurrentStudentGroup = QStringLiteral("小３");
        run(1, 1, 30);
        run(2, 1, 40);
    }
    void run(int s, int level, int time)
    {
        ResultRecord r;
        r.ResultRecDate = dayNumber(clock.date);
        r.ResultRecClock = 0.5;
        r.ResultRecStudentNo = static_cast<int16_t>(s);
        r.ResultRecLevel = static_cast<int16_t>(level);
        r.ResultRecTime = time;
        QString error;
        ASSERT_GT(ResultsFile(resultsFilePath(state)).append(r, &error), 0) << error.toStdString();
    }
    // A hub as the screen makes it: loaded, then activated.
    std::unique_ptr<HubLogic> shown()
    {
        auto hub = std::make_unique<HubLogic>(state, clock, kept, host);
        hub->Form_Load();
        hub->Form_Activate();
        return hub;
    }
};

} // namespace

TEST(HubLogic, ActivationShowsTheCumulativePointsRankingAndWhatMayStart)
{
    Hub h;
    const auto hub = h.shown();
    const HubView &v = hub->view;
    EXPECT_TRUE(h.host.fileErrors.isEmpty());
    EXPECT_EQ(hub->KeysReady, 1);
    EXPECT_EQ(hub->ListMode, PointsDisplay);
    EXPECT_EQ(hub->PointsOrder, CumulativeOrder);
    EXPECT_EQ(v.Option1Checked, 1);
    EXPECT_EQ(v.Option2Checked, 1);
    EXPECT_EQ(v.Option1Text[1], QStringLiteral("累計順"));
    EXPECT_EQ(v.Label5, QStringLiteral("獲得ポイント（今まで順位）"));
    EXPECT_EQ(v.Label12, QStringLiteral("小３ 髙橋"));
    EXPECT_EQ(v.Label13, QStringLiteral("みなと塾:2"));
    EXPECT_EQ(v.Label18, QStringLiteral("本日総回数＝1回"));
    EXPECT_FALSE(v.Picture2Visible);
    EXPECT_FALSE(v.Picture6Visible);
    EXPECT_TRUE(v.listsVisible);
    EXPECT_TRUE(v.Command1Enabled);
    EXPECT_EQ(v.levels[1].Label14, QStringLiteral("1回/6点")); // 40 s against a 60 s target
    // Every listed student has a line; the student's own one is selected.
    const QStringList lines = hub->listLines(1);
    ASSERT_EQ(lines.size(), 3);
    ASSERT_GE(v.levels[1].ownLine, 0);
    EXPECT_TRUE(lines[v.levels[1].ownLine].contains(QStringLiteral("●髙橋")));
    // Level 3 has no pass-line time: it alone cannot start.
    for (int L = 1; L <= 6; ++L)
        EXPECT_EQ(v.levels[static_cast<size_t>(L)].Command4Enabled, L != 3) << L;
    EXPECT_TRUE(v.availability.noCriteria[3]);
}

TEST(HubLogic, KeysCountOnlyOnceTheHubIsReadyAndNeverWhileTheTeacherPanelIsOpen)
{
    const struct {
        QChar key;
        bool taken;
        int starts, rosterShown;
    } cases[] = {
        {u'1', true, 1, 0}, {u'6', true, 1, 0},  {u'7', true, 0, 0}, // no level 7
        {u'a', true, 0, 0}, {u'A', false, 0, 0}, {u'x', false, 0, 0}, {u'0', true, 0, 1},
    };
    for (const auto &c : cases) {
        Hub h;
        HubLogic before(h.state, h.clock, h.kept, h.host);
        before.Form_Load();
        EXPECT_FALSE(before.Form_KeyPress(c.key)) << "before the activation";
        const auto hub = h.shown();
        EXPECT_EQ(hub->Form_KeyPress(c.key), c.taken) << int(c.key.unicode());
        EXPECT_EQ(h.host.starts, c.starts) << int(c.key.unicode());
        EXPECT_EQ(h.host.rosterShown, c.rosterShown) << int(c.key.unicode());
        if (c.starts) {
            EXPECT_EQ(h.state.run.CurrentLevel, c.key.digitValue());
        }
    }
    Hub h;
    const auto hub = h.shown();
    h.host.panelOpen = true;
    EXPECT_FALSE(hub->Form_KeyPress(u'1'));
    hub->Command4_Click(1);
    hub->Label3_Click(1);
    EXPECT_EQ(h.host.starts, 0);
    h.host.panelOpen = false;
    hub->Label3_Click(1);
    EXPECT_EQ(h.host.starts, 1);
    EXPECT_EQ(h.host.unloads, 1);
}

TEST(HubLogic, ALevelWithoutCriteriaSaysWhyAndTheNextOneStillStarts)
{
    Hub h;
    const auto hub = h.shown();
    EXPECT_TRUE(hub->Form_KeyPress(u'3'));
    EXPECT_TRUE(hub->Text1_Click(3));
    ASSERT_EQ(h.host.told.size(), 2);
    EXPECT_TRUE(h.host.told[0].contains(QStringLiteral("レベル3は始められません。")));
    EXPECT_EQ(h.host.starts, 0);
    EXPECT_FALSE(hub->Text1_Click(4)); // a level with criteria: its notice says nothing
    hub->Command4_Click(4);
    EXPECT_EQ(h.host.starts, 1);
    EXPECT_EQ(h.state.run.CurrentLevel, 4);
    EXPECT_TRUE(hub->view.Picture2Visible); // the cover while the run starts
    EXPECT_EQ(hub->KeysReady, 0);
}

TEST(HubLogic, TheViewSelectorsSwitchDisplayKindViewAndPeriod)
{
    Hub h;
    const auto hub = h.shown();
    HubView &v = hub->view;
    hub->Option2_Click(0); // times: the view ticked before (1) is the best ranking
    EXPECT_EQ(hub->ListMode, TimeDisplay);
    EXPECT_EQ(v.Label5, QStringLiteral("ベスト成績"));
    EXPECT_EQ(v.Option1Text[1], QStringLiteral("BEST表示"));
    EXPECT_EQ(hub->listLines(1).size(), 3);
    EXPECT_TRUE(v.Command1Enabled);

    hub->Combo2_Click(0); // the period counts only in the all view
    EXPECT_EQ(h.state.hub.ResultPeriod.toNumber(), 3);
    hub->Option1_Click(3);
    EXPECT_TRUE(v.Combo2Visible);
    hub->Combo2_Click(0);
    EXPECT_EQ(h.state.hub.ResultPeriod.toNumber(), 1);
    EXPECT_EQ(hub->listLines(1).size(), 2); // both of today's runs

    hub->Option1_Click(2);
    hub->Option2_Click(1); // points in today's order, the view ticked before
    EXPECT_EQ(hub->PointsOrder, TodayOrder);
    EXPECT_EQ(v.Option1Text[2], QStringLiteral("合計本日"));
    EXPECT_EQ(v.Label5, QStringLiteral("獲得ポイント（今日の順位）"));
    EXPECT_FALSE(v.Combo2Visible);

    // A grade filter that passes nobody empties the ranking but keeps the view.
    hub->gradeFilter = QStringLiteral("中１");
    hub->Combo1_Click();
    EXPECT_EQ(v.Option2Checked, 1);
    EXPECT_TRUE(hub->listLines(1).isEmpty());
    EXPECT_TRUE(v.listsVisible);
    EXPECT_TRUE(h.host.fileErrors.isEmpty());
}

// The hub is made afresh at every log-in; the kept rankings are not, and whether they are
// brought up to date on their own (while the roster screen waits) or by the next hub, the
// next hub shows the ranking a fresh one would make.
TEST(HubLogic, KeptRankingsOutliveTheHubAndStayTrue)
{
    for (const bool aheadOfTime : {false, true}) {
        Hub h;
        h.shown().reset();
        h.run(3, 1, 10); // a new run puts student 3 first
        h.run(3, 1, 10);
        if (aheadOfTime) {
            TallyResults(h.state, h.clock, ResultsFile(resultsFilePath(h.state)));
            h.kept.bringUpToDate(h.state);
        }
        const auto next = h.shown();
        KeptRankings fresh;
        EXPECT_EQ(next->listLines(1),
                  rankingLines(h.state, fresh, 1, PointsDisplay, CumulativeOrder, QStringLiteral("全学年")))
            << aheadOfTime;
        ASSERT_FALSE(next->listLines(1).isEmpty());
        EXPECT_TRUE(next->listLines(1)[0].contains(QStringLiteral("鈴木"))) << next->listLines(1)[0].toStdString();
    }
}
