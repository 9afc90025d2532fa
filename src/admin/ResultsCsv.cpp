#include "admin/ResultsCsv.h"

#include "text/DurableFile.h"
#include "text/Workbook.h"

#include "state/SharedState.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "text/Cp932.h"
#include "text/DataFileError.h"
#include "text/DayNumber.h"
#include "text/SystemError.h"

#include <QDir>
#include <QIODevice>
#include <QFile>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tobrel {
namespace {

constexpr int kStudentCodes = 65536; // every value a record's 16-bit student field can hold
constexpr qsizetype kFlushBytes = 1 << 20;

// The dates a run can carry (a NaN compares false).
bool sensibleDay(double day) { return day >= kFirstRecordDay && day <= kLastRecordDay; }

void appendNumber(QByteArray &out, long long value)
{
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, r.ptr - digits);
}

void appendTwoDigits(QByteArray &out, int value)
{
    out.append(static_cast<char>('0' + value / 10));
    out.append(static_cast<char>('0' + value % 10));
}

// The rows of the export: as CSV bytes, or (typed) as a workbook's cells.
class RowWriter {
public:
    RowWriter(const ResultsCsvSource &source, const ResultsCsvOptions &options, bool typed = false)
        : m_options(options), m_typed(typed)
    {
        if (typed) {
            m_nameTexts.resize(kStudentCodes);
            m_gradeTexts.resize(kStudentCodes);
        } else {
            m_names.resize(kStudentCodes);
            m_grades.resize(kStudentCodes);
        }
        // The school field exactly as a run of this school is written.
        m_thisSchool = ResultRecord::schoolField(source.schoolCode);
        for (int L = 1; L <= kMaxLevel; ++L)
            m_levelNames[L] = encode(source.levelNames[L]);
        m_criteria = source.criteria;
        for (int L = 1; L <= kMaxLevel; ++L)
            m_levelNameTexts[L] = source.levelNames[L];
        m_yes = encode(QStringLiteral("はい"));
        m_no = encode(QStringLiteral("いいえ"));
        m_timedOut = encode(QStringLiteral("時間切れ"));
        m_damaged = encode(QStringLiteral("壊れた記録"));
        m_deleted = encode(QStringLiteral("削除済み"));
        if (options.from)
            m_from = dayNumber(*options.from);
        if (options.to)
            m_to = dayNumber(*options.to);
    }

    QByteArray encode(const QString &text) const { return m_options.utf8 ? text.toUtf8() : toCp932(text); }

    // Names and grade labels from the roster; returns a warning when it cannot be read
    // to its end (the students read before the fault keep their names).
    QString readRoster(const ResultsCsvSource &source)
    {
        const int schoolYear = ComputeSchoolYear(source.today, source.schoolYearStartMonth);
        try {
            ReadRosterFile(
                source.rosterPath,
                [&](const RosterEntry &e) {
                    const int slot = e.record.StudentNumber + 32768;
                    const auto label = FullWidthGradeLabel(GradeIndexOf(schoolYear, e.record.BirthYear));
                    if (m_typed) {
                        m_nameTexts[slot] = e.record.Name.trimmed();
                        m_gradeTexts[slot] = label.value_or(QString());
                    } else {
                        m_names[slot] = encode(csvTextField(e.record.Name.trimmed()));
                        m_grades[slot] = label ? encode(*label) : QByteArray();
                    }
                },
                OutOfRangeStudents::PassOn);
        } catch (const DataFileError &e) {
            return QStringLiteral("名簿を最後まで読めませんでした。読めなかった生徒の名前と学年は空欄です。\n") +
                   e.message();
        }
        return {};
    }

    bool wanted(const ResultRecord::Numbers &r) const
    {
        if (m_options.student && r.student != *m_options.student)
            return false;
        if (m_from || m_to) {
            if (!sensibleDay(r.date))
                return false;
            const double day = std::floor(r.date);
            if ((m_from && day < *m_from) || (m_to && day > *m_to))
                return false;
        }
        return true;
    }

    void appendRow(QByteArray &out, int64_t number, const char *bytes)
    {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(bytes);
        const bool damaged = isDamagedRecord(r);
        const bool deleted = !damaged && r.level == 0;
        const bool timedOut = isTimedOut(r.time);

        appendNumber(out, number);
        out.append(',');
        appendDate(out, r.date);
        out.append(',');
        appendClock(out, r.clock);
        out.append(',');
        appendNumber(out, r.student);
        out.append(',');
        out.append(m_names[r.student + 32768]);
        out.append(',');
        out.append(m_grades[r.student + 32768]);
        out.append(',');
        appendNumber(out, r.level);
        out.append(',');
        if (!damaged && r.level >= 1)
            out.append(m_levelNames[r.level]);
        out.append(',');
        if (!timedOut)
            appendNumber(out, r.time);
        out.append(',');
        if (damaged)
            out.append(m_damaged);
        else if (deleted)
            out.append(m_deleted);
        else if (timedOut)
            out.append(m_timedOut);
        out.append(',');
        if (!damaged && !deleted) {
            const int L = r.level;
            appendNumber(out, ratedPoints(basePoints(r.time, shortTime(r.time), m_criteria.CritTargetTime[L]),
                                          m_criteria.CritPointRate[L]));
        }
        out.append(',');
        appendSchool(out, ResultRecord::schoolOf(bytes));
        out.append(',');
        out.append(ResultRecord::isSchool(bytes, m_thisSchool) ? m_yes : m_no);
        out.append("\r\n", 2);
    }

    // The same row as a workbook's cells, in the columns of resultsCsvHeader().
    void fillCells(std::array<WorkbookCell, kResultsColumns> &cells, int64_t number, const char *bytes)
    {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(bytes);
        const bool damaged = isDamagedRecord(r);
        const bool deleted = !damaged && r.level == 0;
        const bool timedOut = isTimedOut(r.time);
        cells.fill(std::monostate());
        cells[0] = double(number);
        if (sensibleDay(r.date))
            cells[1] = dateFromDayNumber(std::floor(r.date));
        if (std::isfinite(r.clock) && r.clock >= 0 && r.clock < 1)
            cells[2] = std::min(86399L, std::lround(r.clock * 86400.0)) / 86400.0;
        cells[3] = double(r.student);
        cells[4] = m_nameTexts[r.student + 32768];
        cells[5] = m_gradeTexts[r.student + 32768];
        cells[6] = double(r.level);
        if (!damaged && r.level >= 1)
            cells[7] = m_levelNameTexts[r.level];
        if (!timedOut)
            cells[8] = double(r.time);
        if (damaged)
            cells[9] = QStringLiteral("壊れた記録");
        else if (deleted)
            cells[9] = QStringLiteral("削除済み");
        else if (timedOut)
            cells[9] = QStringLiteral("時間切れ");
        if (!damaged && !deleted) {
            const int L = r.level;
            cells[10] = double(ratedPoints(basePoints(r.time, shortTime(r.time), m_criteria.CritTargetTime[L]),
                                           m_criteria.CritPointRate[L]));
        }
        const QByteArray raw = ResultRecord::schoolOf(bytes).toByteArray();
        if (raw != m_lastSchoolRaw) {
            m_lastSchoolRaw = raw;
            m_lastSchoolText = fromCp932(raw).trimmed().remove(QChar(0));
        }
        cells[11] = m_lastSchoolText;
        cells[12] = ResultRecord::isSchool(bytes, m_thisSchool) ? QStringLiteral("はい") : QStringLiteral("いいえ");
    }

private:
    void appendDate(QByteArray &out, double day)
    {
        if (!sensibleDay(day))
            return;
        const double whole = std::floor(day);
        if (whole != m_lastDay) {
            m_lastDay = whole;
            const QDate d = dateFromDayNumber(whole);
            m_lastDate.clear();
            appendNumber(m_lastDate, d.year());
            m_lastDate.append('/');
            appendTwoDigits(m_lastDate, d.month());
            m_lastDate.append('/');
            appendTwoDigits(m_lastDate, d.day());
        }
        out.append(m_lastDate);
    }

    static void appendClock(QByteArray &out, double fraction)
    {
        if (!std::isfinite(fraction) || fraction < 0 || fraction >= 1)
            return;
        const int secs = std::min(86399, static_cast<int>(std::lround(fraction * 86400.0)));
        appendTwoDigits(out, secs / 3600);
        out.append(':');
        appendTwoDigits(out, secs / 60 % 60);
        out.append(':');
        appendTwoDigits(out, secs % 60);
    }

    // The school field as written, blanks at the end dropped.
    void appendSchool(QByteArray &out, QByteArrayView field)
    {
        const QByteArray raw = field.toByteArray();
        if (raw != m_lastSchoolRaw) {
            m_lastSchoolRaw = raw;
            m_lastSchool = encode(csvTextField(fromCp932(raw).trimmed().remove(QChar(0))));
        }
        out.append(m_lastSchool);
    }

    const ResultsCsvOptions &m_options;
    const bool m_typed;
    CriteriaTable m_criteria;
    std::vector<QString> m_nameTexts;
    std::vector<QString> m_gradeTexts;
    std::array<QString, kLevelSlots> m_levelNameTexts;
    QString m_lastSchoolText;
    std::vector<QByteArray> m_names;
    std::vector<QByteArray> m_grades;
    std::array<QByteArray, kLevelSlots> m_levelNames;
    QByteArray m_thisSchool;
    QByteArray m_yes, m_no, m_timedOut, m_damaged, m_deleted;
    std::optional<double> m_from, m_to;
    double m_lastDay = NAN;
    QByteArray m_lastDate;
    QByteArray m_lastSchoolRaw;
    QByteArray m_lastSchool;
};

bool writeAll(QIODevice &out, QByteArray &buffer, QString *error)
{
    if (buffer.isEmpty())
        return true;
    errno = 0;
    if (out.write(buffer) != buffer.size()) {
        const int err = errno;
        if (error)
            *error = QStringLiteral("CSVファイルを書けません（%1）").arg(systemErrorText(err));
        return false;
    }
    buffer.clear();
    return true;
}

} // namespace

ResultsCsvSource csvSourceOf(const SharedState &state, const QDate &today)
{
    ResultsCsvSource s;
    s.schoolCode = state.config.SchoolCode;
    s.criteria = state.criteria;
    for (int L = 1; L <= kMaxLevel; ++L)
        s.levelNames[L] = state.profile.LevelNames[L];
    s.rosterPath = state.config.DataRoot + rosterFileName();
    s.schoolYearStartMonth = state.config.SchoolYearStartMonth;
    s.today = today;
    return s;
}

QStringList resultsCsvHeader()
{
    return {QStringLiteral("記録番号"),   QStringLiteral("日付"), QStringLiteral("時刻"),   QStringLiteral("生徒番号"),
            QStringLiteral("名前"),       QStringLiteral("学年"), QStringLiteral("レベル"), QStringLiteral("レベル名"),
            QStringLiteral("タイム(秒)"), QStringLiteral("状態"), QStringLiteral("得点"),   QStringLiteral("塾コード"),
            QStringLiteral("自塾")};
}

namespace {

QString suggestedFileName(const QDate &today, const QString &extension)
{
    return QStringLiteral("成績_%1").arg(today.toString(QStringLiteral("yyyyMMdd"))) + extension;
}

QString writtenMessage(const QString &kind, const QString &path, const ResultsCsvReport &report)
{
    QString text = QStringLiteral("成績 %1件を%2ファイルに書き出しました。\n%3")
                       .arg(QString::number(report.rowsWritten), kind, QDir::toNativeSeparators(path));
    if (!report.warning.isEmpty())
        text += QStringLiteral("\n\n") + report.warning;
    return text;
}

} // namespace

QString suggestedCsvFileName(const QDate &today) { return suggestedFileName(today, QStringLiteral(".csv")); }

QString csvWrittenMessage(const QString &csvPath, const ResultsCsvReport &report)
{
    return writtenMessage(QStringLiteral("CSV"), csvPath, report);
}

QString csvTextField(const QString &text)
{
    QString t = text;
    if (!t.isEmpty() && (t[0] == u'=' || t[0] == u'+' || t[0] == u'-' || t[0] == u'@'))
        t.prepend(u'\'');
    if (t.contains(u',') || t.contains(u'"') || t.contains(u'\r') || t.contains(u'\n'))
        return u'"' + t.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return t;
}

namespace {

// Reads the results file a chunk at a time and hands each wanted record to row (which
// returns false when its output failed, error set). False with error set when the file
// cannot be read, a row failed or progress cancelled ("<what>を取り消しました").
template <typename Row>
bool scanWantedRecords(const ResultsFile &results, RowWriter &rows, ResultsCsvReport &rep, const CsvProgress &progress,
                       const QString &what, QString *error, Row &&row)
{
    bool ok = true;
    bool cancelled = false;
    ResultsFile::ScanInfo info;
    QString readError;
    const bool read = results.scan(
        [&](int64_t first, const char *bytes, int64_t count) {
            for (int64_t k = 0; k < count; ++k) {
                const char *record = bytes + k * kRecordSize;
                if (!rows.wanted(ResultRecord::decodeNumbers(record)))
                    continue;
                if (!row(first + k, record)) {
                    ok = false;
                    return false;
                }
                ++rep.rowsWritten;
            }
            if (progress && !progress(first + count - 1, info.recordCount)) {
                cancelled = true;
                return false;
            }
            return true;
        },
        &info, &readError);
    rep.recordCount = info.recordCount;
    if (!read) {
        if (error)
            *error = readError;
        return false;
    }
    if (cancelled) {
        if (error)
            *error = what + QStringLiteral("を取り消しました");
        return false;
    }
    return ok;
}

} // namespace

bool writeResultsCsv(const ResultsFile &results, const ResultsCsvSource &source, const ResultsCsvOptions &options,
                     QIODevice &out, ResultsCsvReport *report, QString *error, const CsvProgress &progress)
{
    ResultsCsvReport local;
    ResultsCsvReport &rep = report ? *report : local;
    rep = {};
    RowWriter rows(source, options);
    rep.warning = rows.readRoster(source);

    QByteArray buffer;
    buffer.reserve(kFlushBytes + 4096);
    if (options.utf8)
        buffer.append("\xEF\xBB\xBF");
    buffer.append(rows.encode(resultsCsvHeader().join(u',')));
    buffer.append("\r\n");

    return scanWantedRecords(results, rows, rep, progress, QStringLiteral("CSV出力"), error,
                             [&](int64_t number, const char *record) {
                                 rows.appendRow(buffer, number, record);
                                 return buffer.size() < kFlushBytes || writeAll(out, buffer, error);
                             }) &&
           writeAll(out, buffer, error);
}

bool writeResultsCsvFile(const ResultsFile &results, const ResultsCsvSource &source, const ResultsCsvOptions &options,
                         const QString &csvPath, ResultsCsvReport *report, QString *error, const CsvProgress &progress)
{
    // Written beside the name and renamed over it: a link standing at the name is
    // replaced, never written through.
    NewFileBeside file(csvPath);
    QString failure;
    if (!file.open(&failure)) {
        if (error)
            *error = QStringLiteral("CSVファイル ") + failure;
        return false;
    }
    QFile out;
    errno = 0;
    if (!out.open(file.fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        if (error)
            *error = QStringLiteral("CSVファイル %1 を作れません（%2）").arg(csvPath, systemErrorText(errno));
        return false;
    }
    if (!writeResultsCsv(results, source, options, out, report, error, progress))
        return false;
    errno = 0;
    if (!out.flush()) {
        const int err = errno;
        if (error)
            *error = QStringLiteral("CSVファイル %1 を書けません（%2）").arg(csvPath, fileFailureText(err, csvPath));
        return false;
    }
    out.close();
    if (!file.commit(&failure)) {
        if (error)
            *error = QStringLiteral("CSVファイル ") + failure;
        return false;
    }
    return true;
}

} // namespace tobrel

namespace tobrel {

std::vector<WorkbookColumn> resultsWorkbookColumns()
{
    const QStringList titles = resultsCsvHeader();
    static const std::array<CellKind, kResultsColumns> kinds{
        CellKind::Number, CellKind::Date,   CellKind::TimeOfDay, CellKind::Number, CellKind::Text,
        CellKind::Text,   CellKind::Number, CellKind::Text,      CellKind::Number, CellKind::Text,
        CellKind::Number, CellKind::Text,   CellKind::Text};
    std::vector<WorkbookColumn> columns;
    for (int c = 0; c < kResultsColumns; ++c)
        columns.push_back({titles[c], kinds[c], kinds[c] == CellKind::Number ? QStringLiteral("0") : QString()});
    return columns;
}

bool writeResultsWorkbook(const ResultsFile &results, const ResultsCsvSource &source, const ResultsCsvOptions &options,
                          const QString &path, ResultsCsvReport *report, QString *error, const CsvProgress &progress,
                          int64_t rowsPerSheet)
{
    ResultsCsvReport local;
    ResultsCsvReport &rep = report ? *report : local;
    rep = {};
    RowWriter rows(source, options, true);
    rep.warning = rows.readRoster(source);

    Workbook book(path, rowsPerSheet);
    if (!book.open(error) || !book.addSheet(QStringLiteral("成績"), resultsWorkbookColumns(), error))
        return false;
    std::array<WorkbookCell, kResultsColumns> cells;
    return scanWantedRecords(results, rows, rep, progress, QStringLiteral("Excel出力"), error,
                             [&](int64_t number, const char *record) {
                                 rows.fillCells(cells, number, record);
                                 return book.addRow(cells, error);
                             }) &&
           book.commit(error);
}

QString suggestedWorkbookFileName(const QDate &today) { return suggestedFileName(today, QStringLiteral(".xlsx")); }

QString workbookWrittenMessage(const QString &path, const ResultsCsvReport &report)
{
    return writtenMessage(QStringLiteral("Excel"), path, report);
}

} // namespace tobrel
