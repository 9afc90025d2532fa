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

#include <QFileInfo>

#include <algorithm>
#include <cstring>
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

QString recordChangedNotice(const QString &message) { return message + QStringLiteral("\n一覧を読み直します。"); }

// Records read at a time for the lines the list shows, and pages kept.
constexpr int64_t kPageRecords = 1024;
constexpr size_t kPagesKept = 8;
// Records read at a time while the list is made.
constexpr int64_t kIndexChunkRecords = 65536;

// Four bytes that tell a record from the one it was: each 8-byte piece of the 44 bytes
// is mixed in with a multiplication, and the halves of the result folded.
uint32_t fingerprint(const char *record)
{
    uint64_t h = 0x9E3779B97F4A7C15ULL;
    auto mix = [&h](uint64_t piece) {
        h = (h ^ piece) * 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 31;
    };
    for (int at = 0; at + 8 <= kRecordSize; at += 8) {
        uint64_t piece;
        std::memcpy(&piece, record + at, 8);
        mix(piece);
    }
    uint32_t last;
    std::memcpy(&last, record + kRecordSize - 4, 4);
    mix(last);
    return static_cast<uint32_t>(h ^ (h >> 32));
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
    const QString school =
        !config.SchoolCode.isEmpty() && ResultRecord::isSchool(bytes, ResultRecord::schoolField(config.SchoolCode))
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
{}

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

    // The previous list is let go first, so that two lists are never held at once; the
    // list is empty meanwhile (the read may wait for the lock while the screen repaints).
    m_lineFingerprints = {};
    m_unlisted = {};
    m_pages.clear();
    m_damaged = 0;
    m_recordCount = 0;
    m_host.listRebuilt();
    ResultsFile::ScanInfo info;
    const auto index = [&](int64_t first, const char *bytes, int64_t count) {
        if (m_lineFingerprints.capacity() == 0) // the length is known once the first chunk is in
            m_lineFingerprints.reserve(
                static_cast<size_t>(std::min<int64_t>(info.recordCount, std::numeric_limits<int32_t>::max())));
        for (int64_t k = 0; k < count; ++k, bytes += kRecordSize) {
            const int64_t n = first + k;
            if (n > std::numeric_limits<int32_t>::max())
                return false; // beyond what the list can number
            const ResultRecord::Numbers r = ResultRecord::decodeNumbers(bytes);
            const bool damaged = isDamagedRecord(r);
            m_damaged += damaged;
            if (r.level != 0 || damaged)
                m_lineFingerprints.push_back(fingerprint(bytes));
            else
                m_unlisted.push_back(static_cast<int32_t>(n));
        }
        return true;
    };
    QString error;
    if (file().scan(index, &info, &error, kIndexChunkRecords)) {
        m_recordCount = info.recordCount;
    } else {
        m_lineFingerprints = {};
        m_unlisted = {};
        m_damaged = 0;
        problems << QStringLiteral("成績ファイルを読めません。\n") + error;
    }
    m_numberWidth = std::max(4, digits(m_recordCount));

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

const char *ResultsManagerLogic::shownRecord(int64_t record) const
{
    const int64_t first = (record - 1) / kPageRecords * kPageRecords + 1;
    auto page = std::find_if(m_pages.begin(), m_pages.end(), [&](const Page &p) { return p.first == first; });
    if (page == m_pages.end()) {
        if (m_correcting)
            return nullptr;
        QByteArray bytes;
        QString error;
        // Without waiting between tries: the list is being painted.
        if (!sharedResultsFile(m_state, {}).readRecords(first, kPageRecords, &bytes, &error))
            return nullptr;
        if (m_pages.size() < kPagesKept)
            page = m_pages.emplace(m_pages.end());
        else
            page = std::min_element(m_pages.begin(), m_pages.end(),
                                    [](const Page &a, const Page &b) { return a.used < b.used; });
        page->first = first;
        page->bytes = std::move(bytes);
    }
    page->used = ++m_pageUses;
    const int64_t at = (record - first) * kRecordSize;
    return at + kRecordSize <= page->bytes.size() ? page->bytes.constData() + at : nullptr;
}

QString ResultsManagerLogic::line(int row) const
{
    const int64_t n = recordOfLine(row);
    if (n == 0)
        return {};
    if (const char *bytes = shownRecord(n))
        return recordLine(bytes, n, m_numberWidth, m_roster, m_state.config);
    return alignRight(QString::number(n), m_numberWidth) + QStringLiteral(" （成績ファイルから読めません）");
}

int64_t ResultsManagerLogic::recordOfLine(int row) const
{
    if (row < 0 || row >= lineCount())
        return 0;
    // The line's record follows `row` listed records and the unlisted ones among them:
    // the j-th unlisted record (from 0) comes after n - 1 - j listed ones, a count that
    // never falls along the list, so those before the line are found by halving.
    size_t lo = 0, hi = m_unlisted.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (m_unlisted[mid] - 1 - static_cast<int64_t>(mid) <= row)
            lo = mid + 1;
        else
            hi = mid;
    }
    return row + 1 + static_cast<int64_t>(lo);
}

bool ResultsManagerLogic::lineIsDamaged(int row) const
{
    const int64_t n = recordOfLine(row);
    const char *bytes = n == 0 ? nullptr : shownRecord(n);
    return bytes && isDamagedRecord(ResultRecord::decodeNumbers(bytes));
}

int ResultsManagerLogic::lineAtOrAfter(int64_t record) const
{
    if (record < 1)
        record = 1;
    const int64_t unlistedBefore = std::lower_bound(m_unlisted.begin(), m_unlisted.end(), record) - m_unlisted.begin();
    const int64_t row = record - 1 - unlistedBefore;
    return row < lineCount() ? static_cast<int>(row) : -1;
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
    if (bytes.size() != kRecordSize || fingerprint(bytes.constData()) != m_lineFingerprints[static_cast<size_t>(row)]) {
        Command1_Click();
        m_host.tell(recordChangedNotice(
            QStringLiteral("成績ファイル %1 の %2 番目の記録は、一覧を作った後でほかのコンピュータから"
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
    // While the change holds the file's lock, lines are shown only from pages already
    // read (a deletion's progress paints the list).
    m_correcting = true;
    const RewriteOutcome out = correctWithLog(
        CorrectionLogFile(m_state.config.DataFolder), [&](const RewriteOutcome &) { return std::vector{c}; }, change);
    m_correcting = false;
    return written(out);
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
    if (!correct(QStringLiteral("変更"), before, &after,
                 [&](const ResultsFile::BeforeChange &secure) { return file().changeRecord(m_opened, after, secure); }))
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
    QString backupMade;
    const bool deleted = correct(QStringLiteral("消去"), before, nullptr, [&](const ResultsFile::BeforeChange &secure) {
        RewriteOutcome out = file().deleteRecord(
            m_opened, now(), [this](int64_t done, int64_t total) { m_host.progress(done, total); }, secure, false);
        backupMade = out.backupPath;
        return out;
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
    // The teacher waits for the list, not for the oldest backup to go.
    if (!backupMade.isEmpty()) {
        const QFileInfo made(backupMade);
        m_host.whenFree([folder = made.absolutePath(), name = made.fileName()] {
            ResultsFile::pruneBackups(folder, kBackupsKept, name);
        });
    }
}

} // namespace tobrel
