#include "drill/DrillRun.h"

#include "state/LoginMinutes.h"
#include "state/SharedState.h"
#include "sound/SoundCues.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

#include <cmath>

namespace tobrel {

void ResetRunFlags(SharedState &state)
{
    CurrentRun &r = state.run;
    r.RunComplete = 0;
    r.RunEnding = 0;
    r.JudgeBusy = 0;
    r.PlusConfirm = 0;
    r.CorrectCount = 0;
    r.TimeUp = 0;
}

DrillRun::DrillRun(SharedState &state, SoundPlayer &sound, const Clock &clock, RandomSource &random, DrillHost &host,
                   double barWidth)
    : m_state(state), m_sound(sound), m_clock(clock), m_random(random), m_host(host), m_generator(random),
      m_barWidth(barWidth)
{}

void DrillRun::Form_Load() { m_random.seed(m_clock.timeOfDay()); }

void DrillRun::Form_Activate()
{
    初期設定();
    レベル別設定();
    スタート();
    問題作成表示();
    m_host.refresh();
}

void DrillRun::初期設定()
{
    m_host.unloadHubAndWaitForm();
    CurrentRun &r = m_state.run;
    r.RunComplete = 0;
    r.RunEnding = 0;
    r.JudgeResult = 0;
    InputText.clear();
    view.inputLabel.clear();

    const int level = r.CurrentLevel;
    const CriteriaTable &c = m_state.criteria;
    if (level >= 0 && level <= kMaxLevel && m_state.profile.LevelTimed[level] == 1) {
        r.TimeLimit = 5 * c.CritPassTime[level];
        view.sLabel10 = QStringLiteral("0");
        // A level without a pass-line time has no bar to scale; it times out at once.
        r.TimeBarScale = r.TimeLimit > 0 ? m_barWidth / r.TimeLimit : 0.0;
        view.sShape2Width = 0;
        view.sShape7Width = 0;
        view.sShape3Width = c.CritTargetTime[level] * r.TimeBarScale;
        view.sShape4Width = c.CritPassTime[level] * r.TimeBarScale;
    }

    const QString &title = m_state.profile.ProgramTitle;
    view.sLabel2PointSize = title.size() > 9 ? 14.0 : 16.8;
    view.sLabel2 = title;
    view.sLabel7 = trimBlanks(m_state.student.CurrentStudentName);
    view.sLabel8 = (level >= 0 && level <= kMaxLevel) ? m_state.profile.LevelNames[level] : QString();

    const int s = m_state.student.CurrentStudent;
    double total = 0;
    for (int L = 1; L <= 15; ++L)
        total += m_state.tallies.TodayRunCount(L, s);
    m_state.TodayRunTotal = static_cast<int>(roundHalfEven(total));
    view.sLabel14 = m_state.config.SchoolName;
    view.sLabel13 = QString::number(minutesSinceLogin(m_state.student, m_clock));

    view.sLabel12 = QString::number(m_state.TodayRunTotal + 1);
    const float today = (level >= 0 && level <= kMaxLevel) ? m_state.tallies.TodayRunCount(level, s) : 0;
    view.sLabel11 = CStr(today + 1);
    r.ProblemsPerRun = 10;
}

void DrillRun::showRemaining()
{
    const CurrentRun &r = m_state.run;
    view.sLabel9 = QString::number(r.ProblemsPerRun - r.CorrectCount);
}

void DrillRun::レベル別設定() { showRemaining(); }

void DrillRun::judged(const QString &text)
{
    view.judgement = text;
    ++view.judgements;
}

void DrillRun::スタート()
{
    // From now on a failing sound waits for the run's record before it is reported.
    m_sound.holdFailureReports();
    m_state.run.RunStartTime = static_cast<float>(m_clock.timeOfDay());
    m_runStartDate = m_clock.today();
    view.sTimer1Enabled = true;
}

double DrillRun::secondsSinceStart() const
{
    const double days = m_runStartDate.isValid() ? m_runStartDate.daysTo(m_clock.today()) : 0;
    return days * 86400.0 + m_clock.timeOfDay() - m_state.run.RunStartTime;
}

void DrillRun::問題作成表示()
{
    const CurrentRun &r = m_state.run;
    if (r.TimeUp == 1 || r.RunComplete == 1 || r.JudgeBusy == 1)
        return;
    view.qLabel1.clear();
    view.inputLabel.clear();
    view.Label11Visible = false;
    const int n = m_generator.next(r.CurrentLevel);
    view.qLabel1 = QString::number(n);
    view.qlabel2 = QString::number(n);
}

void DrillRun::判定()
{
    CurrentRun &r = m_state.run;
    if (r.TimeUp == 1 || r.RunComplete == 1) {
        r.JudgeBusy = 0;
        return;
    }
    r.JudgeResult = leadingNumber(InputText) == m_generator.CorrectAnswer() ? 1 : 2;
}

void DrillRun::判定後処理()
{
    CurrentRun &r = m_state.run;
    if (r.TimeUp == 1 || r.RunComplete == 1)
        return;
    if (r.JudgeResult == 1) {
        r.JudgeResult = 0;
        m_sound.PlayCorrectCue();
        ++r.CorrectCount;
        showRemaining();
        judged(QStringLiteral("正解　残り%1問").arg(r.ProblemsPerRun - r.CorrectCount));
        if (r.CorrectCount < r.ProblemsPerRun) {
            r.JudgeBusy = 0;
            InputText.clear();
            問題作成表示();
            m_host.refresh();
        } else {
            view.sTimer1Enabled = false;
            r.RunComplete = 1;
            m_host.refresh();
            m_host.EndRun();
        }
        return;
    }
    r.PlusConfirm = 1;
    view.seitouLabel = CStr(m_generator.CorrectAnswer());
    view.seitouLabelVisible = true;
    view.Label11Visible = true;
    m_host.repaintNow();
    m_sound.PlayWrongCue();
    r.CorrectCount = std::max(0, r.CorrectCount - 1);
    showRemaining();
    judged(QStringLiteral("不正解　答えは%1　＋を２回押しなさい").arg(view.seitouLabel));
    r.JudgeBusy = 0;
    view.Commandkakunin2Visible = true;
    m_host.refresh();
}

void DrillRun::Commandkakunin_Click()
{
    view.Commandkakunin2Visible = false;
    m_state.run.PlusConfirm = 0;
    view.inputLabel.clear();
    view.seitouLabelVisible = false;
    InputText.clear();
    問題作成表示();
    m_host.refresh();
}

void DrillRun::Form_KeyPress(QChar key)
{
    CurrentRun &r = m_state.run;
    if (r.TimeUp == 1 || r.RunComplete == 1 || r.JudgeBusy == 1)
        return;
    const char16_t code = key.unicode();
    if (r.PlusConfirm == 0) {
        if (code == u' ') {
            r.JudgeBusy = 1;
            判定();
            判定後処理();
            r.JudgeBusy = 0;
        } else if (code == 8) {
            if (!InputText.isEmpty()) {
                InputText.chop(1);
                view.inputLabel = InputText;
                m_host.refresh();
            }
        } else if (InputText.size() >= 3) {
            m_sound.PlayWarning();
        } else if (code >= 42 && code <= 57) {
            InputText += key;
            view.inputLabel = InputText;
            m_host.refresh();
        }
        return;
    }
    if (code == u'+' && r.PlusConfirm == 1)
        r.PlusConfirm = 2;
    else if (code == u'+' && r.PlusConfirm == 2)
        Commandkakunin_Click();
    else
        r.PlusConfirm = 1;
}

void DrillRun::sTimer1_Timer()
{
    CurrentRun &r = m_state.run;
    r.ElapsedSeconds = static_cast<int32_t>(roundHalfEven(secondsSinceStart()));
    const int level = r.CurrentLevel;
    if (level >= 0 && level <= kMaxLevel && m_state.profile.LevelTimed[level] == 1) {
        view.sLabel10 = QString::number(r.ElapsedSeconds);
        if (r.ElapsedSeconds < r.TimeLimit)
            view.sShape2Width = r.ElapsedSeconds * r.TimeBarScale;
    }
    m_host.refresh();
    m_host.letEventsRun();
    if (r.ElapsedSeconds < r.TimeLimit) {
        view.sShape2Width = r.ElapsedSeconds * r.TimeBarScale;
        m_host.refresh();
        return;
    }
    view.sShape2Width = m_barWidth;
    m_host.refresh();
    if (r.RunEnding == 0 && r.RunComplete == 0 && r.JudgeBusy == 0) {
        r.TimeUp = 1;
        view.sTimer1Enabled = false;
        judged(QStringLiteral("時間切れ"));
        m_host.refresh();
        m_host.EndRun();
    }
}

void DrillRun::sTimer2_Timer()
{
    view.sLabel13 = QString::number(minutesSinceLogin(m_state.student, m_clock));
    m_host.refresh();
}

} // namespace tobrel
