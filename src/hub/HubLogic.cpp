#include "hub/HubLogic.h"

#include "hub/ColumnTexts.h"
#include "hub/ListFields.h"
#include "hub/PointsRanking.h"
#include "hub/Rankings.h"
#include "results/Tally.h"
#include "roster/SheetStudents.h"
#include "state/LoginMinutes.h"
#include "state/SharedState.h"
#include "text/DataFileError.h"
#include "text/FixedWidth.h"

#include <algorithm>
#include <memory>

namespace tobrel {

namespace {

QString resultsFileKind() { return QStringLiteral("成績ファイル"); }

} // namespace

HubLogic::HubLogic(SharedState &state, const Clock &clock, KeptRankings &rankings, HubHost &host)
    : columns(columnLayout(state.profile.LevelCount)), m_state(state), m_clock(clock), m_rankings(rankings),
      m_host(host)
{
    view.levels.resize(static_cast<size_t>(std::max<int>(0, state.profile.LevelCount)) + 1);
}

void HubLogic::Form_Load()
{
    SharedState &state = m_state;
    state.hub.ResultPeriod = Variant(3);
    const int n = state.profile.LevelCount;
    if (n > 4) {
        // With every column in view the bar has nowhere to go: hidden, at its one place.
        view.HScroll1Visible = columns.scrolls;
        view.HScroll1Maximum = columns.scrollMaximum;
    }
    gradeFilter =
        state.roster.SelectedGradeFilter.isEmpty() ? QStringLiteral("全学年") : state.roster.SelectedGradeFilter;
}

void HubLogic::Form_Activate()
{
    SharedState &state = m_state;
    const int s = state.student.CurrentStudent;
    const int n = state.profile.LevelCount;
    const bool teacher = isTeacher(state.student.CurrentStudentName);
    view.Command27Visible = teacher && state.profile.PrintButtonOn.toNumber() == 1;
    m_host.sheetForTeacher(teacher);
    view.Label17 =
        QStringLiteral("起動後") + QString::number(minutesSinceLogin(state.student, m_clock)) + QStringLiteral("分");

    KeysReady = 0;
    view.Picture2Visible = true;
    m_host.repaintNow();

    view.Option1Text[1] = QStringLiteral("累計順");
    view.Option1Text[2] = QStringLiteral("本日順");

    m_host.unloadRosterScreen();
    const ReadReport report = TallyResults(state, m_clock, sharedResultsFile(state, m_host.waitOnCover()));
    if (!report.ok()) {
        m_host.fileError(resultsFileKind(), report.fatalError, report.fatalErrorNumber);
        return;
    }
    // Damaged records are the teachers' business: they see the count, students nothing.
    m_host.tallied(teacher);

    double total = 0;
    for (int L = 1; L <= kMaxLevel; ++L)
        total += state.tallies.TodayRunCount(L, s);
    state.TodayRunTotal = static_cast<int>(total);
    view.Label18 = QStringLiteral("本日総回数＝") + QString::number(state.TodayRunTotal) + QStringLiteral("回");
    view.ProgressBar1Maximum = n;

    // The cumulative points ranking is made once; the points display is then only ticked.
    ListMode = PointsDisplay;
    ActivateBusy = 1;
    view.Option1Checked = 1;
    Option1_Click(1);
    Option2_Click(1);
    view.Option2Checked = 1;
    view.Command1Enabled = true;
    ActivateBusy = 0;

    view.listsVisible = true;
    view.Picture6Visible = false;
    view.Label12 = state.student.CurrentStudentGroup + u' ' + trimBlanks(state.student.CurrentStudentName);
    view.Label13 = state.config.SchoolName + u':' + QString::number(s);
    view.Label11PointSize = state.profile.ProgramTitle.size() >= 10 ? 20 : 24;
    view.Label11 = state.profile.ProgramTitle;

    HubState &hub = state.hub;
    if (hub.ColumnScroll.toNumber() == 0)
        hub.ColumnScroll = Variant(1);
    if (view.HScroll1Maximum < hub.ColumnScroll.toNumber())
        hub.ColumnScroll = Variant(1);
    view.columnScroll = static_cast<int>(hub.ColumnScroll.toNumber());

    for (int i = 1; i <= n; ++i) {
        HubLevelView &level = view.levels[static_cast<size_t>(i)];
        level.Label8 = passWindowLine(state, i, s);
        level.Label15 = soFarValue(state, i, s);
        level.Label14 = todayValue(state, i, s);
        level.Command4Enabled = false;
    }
    view.countsShown = true;
    Command9_Click();

    view.Picture2Visible = false;
    ++view.ownLinesShown;
    m_host.paint();
    KeysReady = 1;
}

void HubLogic::HScroll1_Change(int value)
{
    HubState &hub = m_state.hub;
    hub.ColumnScroll = Variant(value);
    if (hub.ColumnScroll.toNumber() > m_state.profile.LevelCount)
        hub.ColumnScroll = Variant(1);
    view.columnScroll = static_cast<int>(hub.ColumnScroll.toNumber());
    m_host.refresh();
}

void HubLogic::Command9_Click()
{
    const Availability a = availabilityPass(m_state);
    m_state.hub.FreeStatus = Variant(a.freeStatus);
    view.availability = a;
    ++view.availabilityPasses;
    for (int i = 1; i <= m_state.profile.LevelCount; ++i)
        view.levels[static_cast<size_t>(i)].Command4Enabled = a.enabled[static_cast<size_t>(i)];
}

bool HubLogic::Form_KeyPress(QChar key)
{
    // While the teacher panel is open, keys are the password's.
    if (KeysReady == 0 || m_host.teacherPanelOpen())
        return false;
    const int n = m_state.profile.LevelCount;
    const char16_t c = key.unicode();
    if (c >= u'1' && c <= u'9') {
        const int level = c - u'0';
        if (level == 1 || n >= level)
            Command4_Click(level);
        return true;
    }
    if (c >= u'a' && c <= u'd') {
        const int level = 10 + (c - u'a');
        if (n >= level)
            Command4_Click(level);
        return true;
    }
    if (c == u'0') {
        if (view.Command1Enabled)
            Command1_Click();
        return true;
    }
    return false;
}

bool HubLogic::refuseLevelWithoutCriteria(int i)
{
    if (i < 1 || i > m_state.profile.LevelCount || levelCanStart(m_state, i))
        return false;
    m_host.tell(noCriteriaMessage(m_state, i));
    return true;
}

bool HubLogic::mayStart(int i)
{
    // While the teacher panel is open, level buttons and names do nothing.
    if (m_host.teacherPanelOpen())
        return false;
    if (refuseLevelWithoutCriteria(i))
        return false;
    return i >= 1 && i < static_cast<int>(view.levels.size()) && view.levels[static_cast<size_t>(i)].Command4Enabled;
}

void HubLogic::Command4_Click(int i)
{
    if (!mayStart(i))
        return;
    view.Picture2Visible = true;
    m_state.run.CurrentLevel = static_cast<int16_t>(i);
    m_host.paint();
    KeysReady = 0;
    m_host.startRun();
}

void HubLogic::Label3_Click(int i)
{
    if (!mayStart(i))
        return;
    m_state.run.CurrentLevel = static_cast<int16_t>(i);
    m_host.startRun();
    m_host.unloadHub();
}

bool HubLogic::Text1_Click(int i)
{
    return KeysReady != 0 && !m_host.teacherPanelOpen() && refuseLevelWithoutCriteria(i);
}

void HubLogic::Command1_Click()
{
    view.Picture2Visible = true;
    m_host.paint();
    m_host.showRosterScreen();
}

void HubLogic::回数など表示()
{
    for (int i = 1; i <= m_state.profile.LevelCount; ++i) {
        HubLevelView &level = view.levels[static_cast<size_t>(i)];
        level.Label9 = QStringLiteral("今日");
        level.Label10 = QStringLiteral("今まで");
        level.lines.clear();
        level.madeCount = 0;
        level.madeLine = nullptr;
        // The student's own line, where there is one, is brought into view when the view
        // is shown.
        level.ownLine = -1;
        ++level.filled;
    }
}

void HubLogic::disableForView()
{
    view.Command1Enabled = false;
    for (int i = 1; i <= m_state.profile.LevelCount; ++i)
        view.levels[static_cast<size_t>(i)].Command4Enabled = false;
    view.listsVisible = false;
    view.Picture6Visible = true;
}

void HubLogic::finishView()
{
    view.Command1Enabled = true;
    Command9_Click();
    view.listsVisible = true;
    view.Picture6Visible = false;
    ++view.ownLinesShown;
    m_host.refresh();
}

void HubLogic::Option2_Click(int k)
{
    view.Option2Checked = k;
    view.Command17Visible = false;
    m_host.hideSheet();
    disableForView();
    m_host.repaintNow();
    if (ActivateBusy == 1)
        return;
    if (k == 0) {
        view.Option1Text[1] = QStringLiteral("BEST表示");
        view.Option1Text[2] = QStringLiteral("本日のみ");
        view.Option1_3Enabled = true;
        ListMode = TimeDisplay;
        if (view.Option1Checked >= 1 && view.Option1Checked <= 3)
            Option1_Click(view.Option1Checked);
        else
            finishView();
    } else if (k == 1) {
        view.Combo2Visible = false;
        view.Option1Text[1] = QStringLiteral("合計累計");
        view.Option1Text[2] = QStringLiteral("合計本日");
        view.Option1Text[3] = QStringLiteral("すべて");
        view.Option1_3Enabled = true;
        ListMode = PointsDisplay;
        m_host.repaintNow();
        if (view.Option1Checked == 1) {
            PointsOrder = CumulativeOrder;
            Option1_Click(1);
        } else if (view.Option1Checked == 3) {
            Option1_Click(3);
        } else if (view.Option1Checked == 2) {
            PointsOrder = TodayOrder;
            Option1_Click(2);
        } else {
            finishView();
        }
    } else {
        view.Command17Visible = true;
        view.Combo2Visible = false;
        Command16_Click();
    }
}

void HubLogic::Option1_Click(int v)
{
    view.Option1Checked = v;
    disableForView();
    view.Combo2Visible = false;
    view.Picture1Enabled = false;
    m_host.repaintNow();
    if (ListMode == 0)
        ListMode = TimeDisplay;
    const int n = m_state.profile.LevelCount;
    if (ListMode == TimeDisplay) {
        if (v == 1)
            Command6_Click();
        else if (v == 2)
            Command5_Click();
        else
            Command7_Click();
    } else if (ListMode == PointsDisplay) {
        if (PointsOrder == 0)
            PointsOrder = CumulativeOrder;
        if (v == 1 || v == 2) {
            PointsOrder = v == 1 ? CumulativeOrder : TodayOrder;
            view.Label5 =
                v == 1 ? QStringLiteral("獲得ポイント（今まで順位）") : QStringLiteral("獲得ポイント（今日の順位）");
            view.ProgressBar1Value = 0;
            setProgress2(0, n);
            for (int i = 1; i <= n; ++i) {
                view.ProgressBar1Value = i;
                setProgress2(i, n);
                Command3_Click(i);
            }
        } else {
            Command7_Click();
        }
        view.Picture1Enabled = true;
    }
    finishView();
}

void HubLogic::Combo1_Click()
{
    if (view.Option2Checked == 0) {
        Option2_Click(0);
    } else {
        // The points display is shown (also when 個人ﾀｲﾑ was chosen): its choice is ticked.
        view.Option2Checked = 1;
        Option2_Click(1);
    }
}

void HubLogic::Combo2_Click(int index)
{
    if (view.Option1Checked != 3)
        return;
    if (index < 0 || index > 4)
        return;
    m_state.hub.ResultPeriod = Variant(index + 1);
    Option1_Click(3);
}

void HubLogic::setProgress2(int value, int maximum)
{
    view.ProgressBar2Maximum = maximum;
    view.ProgressBar2Value = std::min(value, maximum);
    m_host.showProgress();
}

bool HubLogic::fillListsFromFile(const FileView &fileView)
{
    LevelLists lists;
    QString error;
    const ResultsFile file = sharedResultsFile(m_state, m_host.waitOnWaitPanel());
    const bool ok = fileView(file, lists, &error, [this](int64_t v, int64_t m) {
        setProgress2(static_cast<int>(std::min(v, m)), static_cast<int>(m));
    });
    if (!ok) {
        m_host.fileError(resultsFileKind(), error, 0);
        return false;
    }
    for (int i = 1; i <= m_state.profile.LevelCount && i < static_cast<int>(lists.size()); ++i) {
        HubLevelView &level = view.levels[static_cast<size_t>(i)];
        level.lines += lists[static_cast<size_t>(i)];
        ++level.filled;
    }
    return true;
}

void HubLogic::Command5_Click()
{
    view.Label5 = QStringLiteral("本日の成績");
    回数など表示();
    if (!fillListsFromFile(
            [&](const ResultsFile &file, LevelLists &lists, QString *error, const ViewProgress &progress) {
                return todayLines(m_state, m_clock, file, gradeFilter, lists, error, progress);
            }))
        return;
    view.Picture1Enabled = true;
}

void HubLogic::Command6_Click()
{
    view.Label5 = QStringLiteral("ベスト成績");
    回数など表示();
    const int n = m_state.profile.LevelCount;
    setProgress2(0, n);
    for (int i = 1; i <= n; ++i) {
        setProgress2(i, n);
        Command3_Click(i);
    }
    view.Picture1Enabled = true;
}

void HubLogic::Command7_Click()
{
    回数など表示();
    SharedState &state = m_state;
    state.hub.ResultListDays = resultListDaysFor(static_cast<int>(state.hub.ResultPeriod.toNumber()), m_clock.today());
    view.Label5 = QString();
    if (!fillListsFromFile(
            [&](const ResultsFile &file, LevelLists &lists, QString *error, const ViewProgress &progress) {
                return periodLines(state, m_clock, file, gradeFilter, state.hub.ResultListDays, ListMode, lists, error,
                                   progress);
            }))
        return;
    m_host.repaintNow();
    view.Picture1Enabled = true;
    view.Combo2Visible = true;
}

void HubLogic::Command3_Click(int i)
{
    if (i < 1 || i >= static_cast<int>(view.levels.size()))
        return;
    HubLevelView &level = view.levels[static_cast<size_t>(i)];
    level.Label9 = QStringLiteral("今日");
    level.Label10 = QStringLiteral("今まで");
    if (ListMode == 0)
        ListMode = TimeDisplay;
    if (ListMode == PointsDisplay && PointsOrder == 0)
        PointsOrder = CumulativeOrder;
    auto ranking =
        std::make_shared<const Ranking>(rankStudents(m_state, m_rankings, i, ListMode, PointsOrder, gradeFilter));
    const SharedState *state = &m_state;
    level.lines.clear();
    level.madeCount = static_cast<int>(ranking->shown.size());
    level.madeLine = [state, ranking](int row) {
        return rankingLine(*state, *ranking, ranking->shown[static_cast<size_t>(row)]);
    };
    // In a long ranking the student finds their own "●" line at once.
    level.ownLine = rowOfStudent(*ranking, state->student.CurrentStudent);
    ++level.filled;
}

void HubLogic::Command16_Click()
{
    SharedState &state = m_state;
    try {
        m_host.fillSheet(LoadSheetStudents(state));
    } catch (const DataFileError &e) {
        return m_host.fileError(QStringLiteral("名簿ファイル"), e.detail(), e.number());
    }
    回数など表示();
    state.hub.ResultListDays = 3650;
    view.Label5 = QStringLiteral("個人別ﾀｲﾑ");
    if (!fillListsFromFile(
            [&](const ResultsFile &file, LevelLists &lists, QString *error, const ViewProgress &progress) {
                return personalTimesLines(state, m_clock, file, gradeFilter, lists, error, progress);
            }))
        return;
    view.Picture6Visible = false;
    Command9_Click();
    view.listsVisible = true;
    view.Command1Enabled = true;
    // The newest run stands last; the list opens on it.
    for (int i = 1; i <= state.profile.LevelCount; ++i) {
        HubLevelView &level = view.levels[static_cast<size_t>(i)];
        level.ownLine = static_cast<int>(level.lines.size()) + level.madeCount - 1;
    }
    ++view.ownLinesShown;
    m_host.refresh();
}

QStringList HubLogic::listLines(int level) const
{
    if (level < 1 || level >= static_cast<int>(view.levels.size()))
        return {};
    const HubLevelView &l = view.levels[static_cast<size_t>(level)];
    QStringList lines = l.lines;
    for (int row = 0; row < l.madeCount; ++row)
        lines << l.madeLine(row);
    return lines;
}

void HubLogic::selectLastOwnLine(int level)
{
    const QStringList lines = listLines(level);
    for (int row = static_cast<int>(lines.size()) - 1; row >= 0; --row)
        if (lines[row].contains(ownMark())) {
            view.levels[static_cast<size_t>(level)].ownLine = row;
            ++view.ownLinesShown;
            m_host.refresh();
            return;
        }
}

} // namespace tobrel
