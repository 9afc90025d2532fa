#include "admin/ResultsManagerLogic.h"

#include "hub/TeacherEntry.h"
#include "results/RecordText.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "state/SharedState.h"
#include "text/Cp932.h"
#include "text/DataFileError.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"

#include <algorithm>
#include <limits>

namespace tobrel {
namespace {

constexpr int kScrollMax = 6000;
const QString kFullBlanks5 = QStringLiteral("　　　　　");

int digits(int64_t n)
{
    int d = 1;
    while (n >= 10) {
        n /= 10;
        ++d;
    }
    return d;
}

QByteArray schoolField(const QString &schoolCode)
{
    ResultRecord r;
    r.setSchool(schoolCode);
    return r.ResultRecSchool;
}

QString recordChangedNotice(const QString &message)
{
    return message + QStringLiteral("\n一覧を読み直します。");
}

} // namespace

ManagerRoster loadManagerRoster(const QString &rosterPath, int schoolYear)
{
    ManagerRoster roster;
    ReadRosterFile(
        rosterPath,
        [&](const RosterEntry &e) {
            const int s = e.record.StudentNumber;
            if (s < 0 || s > kMaxStudent)
                return; // cannot be the student of a record
            // Blanks (U+0020) only: a full-width blank is part of a name on every screen.
            const QString name = trimBlanks(e.record.Name);
            roster.ManagerNames[s] = name;
            roster.listed[s] = true;
            roster.Combo1Items << QString::number(s) + QStringLiteral(" /  ") + name;
            if (const auto label = FullWidthGradeLabel(GradeIndexOf(schoolYear, e.record.BirthYear)))
                roster.ManagerGradeLabels[s] = *label;
        },
        OutOfRangeStudents::PassOn);
    return roster;
}

QString recordLine(const char *bytes, int64_t number, int numberWidth, const ManagerRoster &roster,
                   const Configuration &config)
{
    const ResultRecord::Numbers r = ResultRecord::decodeNumbers(bytes);
    const QString blanks(4, u' ');
    const QString school = !config.SchoolCode.isEmpty() && QByteArray(bytes + 24, 5) == schoolField(config.SchoolCode)
                               ? config.SchoolName
                               : QStringLiteral("他塾");
    QString line = alignRight(QString::number(number), numberWidth) + u' ' + recordDateText(r.date) + u'　' +
                   rightChars(QStringLiteral("  ") + recordClockText(r.clock), 9) + QStringLiteral("ﾚﾍﾞﾙ") +
                   QString::number(r.level) + u'　' + rightChars(blanks + QString::number(r.time), 5) +
                   QStringLiteral("秒 ") + u'　' + rightChars(blanks + QString::number(r.student), 4) + u' ' +
                   leftChars(roster.name(r.student) + kFullBlanks5, 6) + u' ' + roster.gradeLabel(r.student) +
                   QStringLiteral("++") + school;
    if (isDamagedRecord(r))
        line += QStringLiteral("　※壊れた記録");
    return line;
}

QString studentComboText(int student, const ManagerRoster &roster)
{
    return QString::number(student) + QStringLiteral(" /  ") + roster.name(student);
}

int studentOfComboText(const QString &text)
{
    const qsizetype slash = text.indexOf(u'/');
    if (slash < 0)
        return -1;
    const QString number = text.left(slash).normalized(QString::NormalizationForm_KC).trimmed();
    bool ok = false;
    const int s = number.toInt(&ok);
    return ok && s >= 0 && !number.startsWith(u'+') ? s : -1;
}

int32_t timeOfText(const QString &text)
{
    // Full-width digits typed through the input method count like half-width ones.
    const QString t = text.normalized(QString::NormalizationForm_KC).trimmed();
    if (t.isEmpty() || t.size() > 5 || !std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    return t.toInt();
}

ResultsManagerLogic::ResultsManagerLogic(SharedState &state, const Clock &clock, WaitFunction wait,
                                         ResultsManagerHost &host)
    : m_state(state), m_clock(clock), m_wait(std::move(wait)), m_host(host)
{
}

QString ResultsManagerLogic::resultsPath() const { return resultsFilePath(m_state); }

ResultsFile ResultsManagerLogic::file() const { return sharedResultsFile(m_state, m_wait); }

void ResultsManagerLogic::Form_Load()
{
    m_openedFor = m_state.student.CurrentStudent;
    Command1_Click();
}

bool ResultsManagerLogic::mayAct() const { return adminMayAct(m_state, m_openedFor); }

void ResultsManagerLogic::Command1_Click()
{
    QStringList problems;
    const int schoolYear = ComputeSchoolYear(m_clock.today(), m_state.config.SchoolYearStartMonth);
    try {
        m_roster = loadManagerRoster(m_state.config.DataRoot + rosterFileName(), schoolYear);
    } catch (const DataFileError &e) {
        m_roster = ManagerRoster();
        problems << QStringLiteral("名簿を読めないため、名前と学年は表示しません。\n") + e.message();
    }

    // The file is read into the memory the previous list used, so that a million
    // records are never held twice; the list is empty meanwhile (the read may wait for
    // the lock while the screen repaints).
    m_lineRecords.clear();
    m_damaged = 0;
    m_host.listRebuilt();
    ResultsFile::Range range;
    range.bytes = std::move(m_bytes);
    QString error;
    if (file().readAll(&range, &error)) {
        m_bytes = std::move(range.bytes);
    } else {
        m_bytes.clear();
        problems << QStringLiteral("成績ファイルを読めません。\n") + error;
    }
    m_recordCount = m_bytes.size() / kRecordSize;
    m_numberWidth = std::max(4, digits(m_recordCount));
    const int64_t listable = std::min<int64_t>(m_recordCount, std::numeric_limits<int32_t>::max());
    m_lineRecords.reserve(static_cast<size_t>(listable));
    const char *p = m_bytes.constData();
    for (int64_t n = 1; n <= listable; ++n, p += kRecordSize) {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(p);
        const bool damaged = isDamagedRecord(r);
        m_damaged += damaged;
        if (r.level != 0 || damaged)
            m_lineRecords.push_back(static_cast<int32_t>(n));
    }

    view.Label3 = QStringLiteral("総レコード数:") + QString::number(m_recordCount);
    view.damagedNotice = m_damaged == 0 ? QString()
                                        : QStringLiteral("壊れた記録が %1 件あります（※の行）。"
                                                         "ダブルクリックして消去または変更してください。")
                                              .arg(m_damaged);
    view.List1Selected = -1;
    closeDialog();
    m_host.listRebuilt();
    m_host.refresh();
    for (const QString &problem : problems)
        m_host.tell(problem);
}

QString ResultsManagerLogic::line(int row) const
{
    const int64_t n = recordOfLine(row);
    if (n == 0)
        return {};
    return recordLine(m_bytes.constData() + (n - 1) * kRecordSize, n, m_numberWidth, m_roster, m_state.config);
}

int64_t ResultsManagerLogic::recordOfLine(int row) const
{
    return row >= 0 && row < lineCount() ? m_lineRecords[static_cast<size_t>(row)] : 0;
}

bool ResultsManagerLogic::lineIsDamaged(int row) const
{
    const int64_t n = recordOfLine(row);
    return n != 0 && isDamagedRecord(ResultRecord::decodeNumbers(m_bytes.constData() + (n - 1) * kRecordSize));
}

int ResultsManagerLogic::lineAtOrAfter(int64_t record) const
{
    const auto it = std::lower_bound(m_lineRecords.begin(), m_lineRecords.end(), record);
    return it == m_lineRecords.end() ? -1 : static_cast<int>(it - m_lineRecords.begin());
}

void ResultsManagerLogic::closeDialog()
{
    view.Picture3Visible = false;
    view.Command2Enabled = false;
    view.Command3Enabled = false;
    m_opened = ExpectedRecord();
}

void ResultsManagerLogic::List1_Click(int row)
{
    view.List1Selected = row;
    closeDialog();
    m_host.refresh();
}

void ResultsManagerLogic::Command6_Click()
{
    closeDialog();
    m_host.refresh();
}

void ResultsManagerLogic::List1_DblClick(int row)
{
    const int64_t n = recordOfLine(row);
    if (n == 0)
        return;
    view.List1Selected = row;
    QByteArray bytes;
    QString error;
    if (!file().readRecord(n, &bytes, &error)) {
        m_host.tell(QStringLiteral("成績ファイルを読めません。\n") + error);
        return;
    }
    if (bytes != m_bytes.mid((n - 1) * kRecordSize, kRecordSize)) {
        Command1_Click();
        m_host.tell(recordChangedNotice(QStringLiteral("成績ファイル %1 の %2 番目の記録は、一覧を作った後でほかのコンピュータから"
                                   "変更または消去されました。")
                                           .arg(resultsPath())
                                           .arg(n)));
        return;
    }
    SelectedRecord = n;
    m_opened = {n, bytes};
    const ResultRecord r = ResultRecord::decode(bytes.constData());
    view.Label1 = QString::number(n);
    view.Command2Enabled = true;
    view.Command3Enabled = true;
    view.Label2[1] = QStringLiteral("ﾚﾍﾞﾙ") + QString::number(r.ResultRecLevel);
    view.Label2[2] = recordDateText(r.ResultRecDate);
    view.Text1 = QString::number(r.ResultRecTime);
    // A timed-out run (99999) lies beyond the scroll bar: it shows its end, and the
    // text keeps 99999 until the bar is moved.
    view.VScroll1 = std::clamp<int32_t>(r.ResultRecTime, 0, kScrollMax);
    showStudent(r.ResultRecStudentNo);
    view.Picture3Visible = true;
    m_host.refresh();
}

void ResultsManagerLogic::showStudent(int student)
{
    view.Combo1Text = studentComboText(student, m_roster);
    view.Label2[4] = m_roster.gradeLabel(student);
}

void ResultsManagerLogic::VScroll1_Change(int value)
{
    view.VScroll1 = value;
    view.Text1 = QString::number(value);
    m_host.refresh();
}

void ResultsManagerLogic::Combo1_Click(const QString &text)
{
    view.Combo1Text = text;
    view.Label2[4] = m_roster.gradeLabel(studentOfComboText(text));
    m_host.refresh();
}

QDateTime ResultsManagerLogic::now() const
{
    return QDateTime(m_clock.today(), timeFromFraction(dayFraction(m_clock.timeOfDay())));
}

bool ResultsManagerLogic::written(const RewriteOutcome &out)
{
    if (out.status == RewriteOutcome::RecordChanged) {
        // Another PC changed the file: what the teacher sees is out of date.
        Command1_Click();
        m_host.tell(recordChangedNotice(out.message));
    } else if (!out.ok()) {
        m_host.tell(out.message);
    }
    return out.ok();
}

bool ResultsManagerLogic::correct(const QString &action, const ResultRecord &before, const ResultRecord *after,
                                  const std::function<RewriteOutcome(const ResultsFile::BeforeChange &)> &change)
{
    Correction c;
    c.when = now();
    c.computer = computerName();
    c.action = action;
    c.recordNumber = SelectedRecord;
    c.before = before;
    if (after)
        c.after = *after;
    return written(correctWithLog(
        CorrectionLogFile(m_state.config.DataFolder), [&](const RewriteOutcome &) { return std::vector{c}; }, change));
}

void ResultsManagerLogic::Command2_Click(const QString &timeText, const QString &studentText)
{
    if (m_opened.recordNumber == 0 || !mayAct())
        return;
    const int32_t time = timeOfText(timeText);
    if (time < 0) {
        m_host.tell(QStringLiteral("タイムは 0 から 99999 までの整数で入力してください。何も書き込んでいません。"));
        return;
    }
    const int student = studentOfComboText(studentText);
    if (student < 0) {
        m_host.tell(QStringLiteral("生徒は「番号 /  名前」の形で選んでください。"
                                   "「/」の前に生徒番号がありません。何も書き込んでいません。"));
        return;
    }
    const ResultRecord before = ResultRecord::decode(m_opened.bytes.constData());
    // The run's own student may have left the roster since: keeping him is always
    // right; only a student newly chosen must be one of the roster's.
    if (student != before.ResultRecStudentNo && !m_roster.has(student)) {
        m_host.tell(QStringLiteral("生徒番号 %1 は名簿にありません。何も書き込んでいません。").arg(student));
        return;
    }
    ResultRecord after = before;
    after.ResultRecTime = time;
    after.ResultRecStudentNo = static_cast<int16_t>(student);
    if (!correct(QStringLiteral("変更"), before, &after, [&](const ResultsFile::BeforeChange &secure) {
            return file().changeRecord(m_opened, after, secure);
        }))
        return;
    const int64_t changed = SelectedRecord;
    Command1_Click();
    view.List1Selected = lineAtOrAfter(changed);
    m_host.refresh();
}

void ResultsManagerLogic::Command3_Click()
{
    if (m_opened.recordNumber == 0 || !mayAct())
        return;
    if (!m_host.confirmDelete())
        return;
    const ResultRecord before = ResultRecord::decode(m_opened.bytes.constData());
    const bool deleted = correct(QStringLiteral("消去"), before, nullptr, [&](const ResultsFile::BeforeChange &secure) {
        return file().deleteRecord(
            m_opened, now(), [this](int64_t done, int64_t total) { m_host.progress(done, total); }, secure);
    });
    m_host.progress(0, 0);
    if (!deleted)
        return;
    const int64_t gone = SelectedRecord;
    Command1_Click();
    // The line of the record that followed the deleted one, or the last line.
    const int next = lineAtOrAfter(gone);
    view.List1Selected = next >= 0 ? next : lineCount() - 1;
    m_host.refresh();
}

} // namespace tobrel
