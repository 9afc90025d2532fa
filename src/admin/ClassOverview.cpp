#include "admin/ClassOverview.h"

#include "hub/ResultViews.h"
#include "hub/TeacherEntry.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "text/DayNumber.h"
#include "text/DurableFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace tobrel {

QStringList overviewPeriodTexts()
{
    return {QStringLiteral("今日"),   QStringLiteral("今週"),   QStringLiteral("今月"),
            QStringLiteral("今年度"), QStringLiteral("すべて"), QStringLiteral("期間指定")};
}

DaySpan overviewPeriodSpan(OverviewPeriod period, const QDate &today, int startMonth, QDate from, QDate to)
{
    const double day = dayNumber(today);
    switch (period) {
    case OverviewPeriod::Today:
        return {day, day, false};
    case OverviewPeriod::ThisWeek:
        // The hub's week: its first day is the Monday, whose runs the hub's "今週" lists.
        return {day - (resultListDaysFor(1, today) - 1), day, false};
    case OverviewPeriod::ThisMonth:
        return {dayNumber(QDate(today.year(), today.month(), 1)), day, false};
    case OverviewPeriod::SchoolYear: {
        const int year = ComputeSchoolYear(today, startMonth);
        return {dayNumber(QDate(year, std::clamp(startMonth, 1, 12), 1)), day, false};
    }
    case OverviewPeriod::All:
        return {0, 0, true};
    case OverviewPeriod::Between:
        break;
    }
    if (!from.isValid())
        from = today;
    if (!to.isValid())
        to = today;
    if (from > to)
        std::swap(from, to);
    return {dayNumber(from), dayNumber(to), false};
}

bool countOverview(const SharedState &state, const ResultsFile &file, const QDate &today, const DaySpan &period,
                   OverviewCounts *out, QString *error)
{
    OverviewCounts &c = *out;
    const int levels = std::clamp<int>(state.profile.LevelCount, 0, kMaxLevel);
    c = OverviewCounts{};
    c.levels = levels;
    // Each listed student once, in roster order; a number listed twice keeps its first line.
    std::vector<int32_t> rowOf(kStudentSlots, -1);
    for (int i = 1; i <= state.roster.RosterCount; ++i) {
        const int s = state.roster.RosterNumbers[static_cast<size_t>(i)];
        if (isRealStudent(s) && rowOf[static_cast<size_t>(s)] < 0) {
            rowOf[static_cast<size_t>(s)] = static_cast<int32_t>(c.students.size());
            c.students.push_back(s);
        }
    }
    c.figures.assign(c.students.size() * static_cast<size_t>(std::max(levels, 1)), OverviewFigures{});

    // What a run adds, from the program's one rule, for the usual times 0..999 and a
    // timed-out run (entry 1000) of each level; other times are worked out as they come.
    const double day = dayNumber(today);
    std::vector<std::array<TallyWorkspace::RunAdds, 1001>> adds(static_cast<size_t>(levels) + 1);
    std::vector<TallyWindows> windows(static_cast<size_t>(levels) + 1);
    for (int L = 1; L <= levels; ++L) {
        const int32_t T = state.criteria.CritTargetTime[L];
        const float rate = state.criteria.CritPointRate[L];
        for (int32_t t = 0; t < 1000; ++t)
            adds[L][static_cast<size_t>(t)] = runAdds(t, T, rate);
        adds[L][1000] = runAdds(kTimedOut, T, rate);
        windows[L] = tallyWindows(state.criteria, L, day);
    }

    ResultsFile::ScanInfo info;
    const bool read = file.scan(
        [&](int64_t, const char *bytes, int64_t count) {
            for (int64_t k = 0; k < count; ++k, bytes += kRecordSize) {
                const ResultRecord::Numbers r = ResultRecord::decodeNumbers(bytes);
                if (!isStudentRun(r)) {
                    c.damaged += isDamagedRecord(r);
                    continue;
                }
                if (r.level > levels)
                    continue;
                const int32_t row = rowOf[static_cast<size_t>(r.student)];
                if (row < 0)
                    continue;
                const TallyWorkspace::RunAdds a = r.time < 1000 ? adds[r.level][static_cast<size_t>(r.time)]
                                                  : isTimedOut(r.time)
                                                      ? adds[r.level][1000]
                                                      : runAdds(r.time, state.criteria.CritTargetTime[r.level],
                                                                state.criteria.CritPointRate[r.level]);
                OverviewFigures &f = c.figures[static_cast<size_t>(row) * levels + (r.level - 1)];
                f.allRuns += a.completed;
                f.lastRun = std::max(f.lastRun, std::floor(r.date));
                if (period.holds(r.date)) {
                    f.periodRuns += a.completed;
                    f.periodPoints += a.points;
                    if (a.completed && (f.periodBest < 0 || r.time < f.periodBest))
                        f.periodBest = r.time;
                }
                // The pass window exactly as the hub's tally adds to it.
                TallyCell cell{};
                TallyWindowCell window{};
                addWindowedRun(cell, window, r.date, a, windows[r.level]);
                f.passRuns += cell.PassRunCount;
                f.passPoints += window.PassPoints;
            }
            return true;
        },
        &info, error);
    c.records = info.recordCount;
    if (!read) {
        std::fill(c.figures.begin(), c.figures.end(), OverviewFigures{});
        c.damaged = 0;
    }
    return read;
}

// ---- The setting of N on this PC ----

QString classOverviewSettingsPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : config + QStringLiteral("/tobrel/class-overview.conf");
}

namespace {
const QString kDaysKey = QStringLiteral("inactive-days");
}

int readInactiveDays(const QString &path)
{
    if (path.isEmpty())
        return kDefaultInactiveDays;
    const int fd = openPlainFile(path, O_RDONLY);
    if (fd < 0)
        return kDefaultInactiveDays;
    QByteArray bytes(4096, '\0');
    const ssize_t n = readFully(fd, bytes.data(), static_cast<size_t>(bytes.size()), 0);
    ::close(fd);
    if (n <= 0)
        return kDefaultInactiveDays;
    bytes.truncate(n);
    for (const QByteArray &line : bytes.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.startsWith(kDaysKey))
            continue;
        const QString value = text.mid(kDaysKey.size()).trimmed();
        if (!value.startsWith(u'='))
            continue;
        bool ok = false;
        const int days = value.mid(1).trimmed().toInt(&ok);
        if (ok && days >= 1 && days <= kMostInactiveDays)
            return days;
    }
    return kDefaultInactiveDays;
}

QString writeInactiveDays(const QString &path, int days)
{
    if (path.isEmpty())
        return QStringLiteral("このパソコンの設定フォルダが分かりません（HOME がありません）。");
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("設定フォルダ %1 を作れません。").arg(folder);
    const QByteArray text = QStringLiteral("# クラス一覧: この日数より長く練習していない生徒に印を付けます\n%1 = %2\n")
                                .arg(kDaysKey)
                                .arg(days)
                                .toUtf8();
    return replaceFile(path, text);
}

// ---- The logic ----

namespace {

enum OwnColumn { MarkColumn, NumberColumn, GradeColumn, NameColumn, LastAnyColumn, DaysSinceColumn };
enum LevelColumn { PeriodRunsColumn, AllRunsColumn, BestColumn, PointsColumn, ClearedColumn, LastRunColumn };

} // namespace

ClassOverviewLogic::ClassOverviewLogic(SharedState &state, const Clock &clock, WaitFunction wait,
                                       ClassOverviewHost &host, QString settingsPath)
    : m_state(state), m_clock(clock), m_wait(std::move(wait)), m_host(host), m_settingsPath(std::move(settingsPath))
{}

void ClassOverviewLogic::Form_Load()
{
    m_openedFor = m_state.student.CurrentStudent;
    view.InactiveDays = readInactiveDays(m_settingsPath);
    // The grades the roster screen shows, when they are grades this screen offers.
    const QString chosen = m_state.roster.SelectedGradeFilter;
    view.FilterText = gradeFilterTexts().contains(chosen) ? chosen : QStringLiteral("全学年");
    view.PeriodIndex = static_cast<int>(OverviewPeriod::ThisWeek);
    m_columns.clear();
    auto own = [&](const QString &heading, bool right, int width, CellKind kind) {
        m_columns.push_back({heading, QString(), right, width, kind});
    };
    own(QStringLiteral("印"), false, 2, CellKind::Text);
    own(QStringLiteral("番号"), true, 4, CellKind::Number);
    own(QStringLiteral("学年"), false, 4, CellKind::Text);
    own(QStringLiteral("名前"), false, 16, CellKind::Text);
    own(QStringLiteral("最終日"), true, 10, CellKind::Date);
    own(QStringLiteral("経過日"), true, 6, CellKind::Number);
    const int levels = std::clamp<int>(m_state.profile.LevelCount, 0, kMaxLevel);
    for (int L = 1; L <= levels; ++L) {
        const QString group = QStringLiteral("レベル%1").arg(L);
        m_columns.push_back({QStringLiteral("回数"), group, true, 4, CellKind::Number});
        m_columns.push_back({QStringLiteral("全回数"), group, true, 6, CellKind::Number});
        m_columns.push_back({QStringLiteral("最高"), group, true, 6, CellKind::Number});
        m_columns.push_back({QStringLiteral("点数"), group, true, 6, CellKind::Number});
        m_columns.push_back({QStringLiteral("合格"), group, false, 4, CellKind::Text});
        m_columns.push_back({QStringLiteral("最終日"), group, true, 10, CellKind::Date});
    }
    read();
}

bool ClassOverviewLogic::mayAct() const { return adminMayAct(m_state, m_openedFor); }

void ClassOverviewLogic::PeriodCombo_Click(int index)
{
    if (!mayAct() || index < 0 || index > static_cast<int>(OverviewPeriod::Between))
        return;
    view.PeriodIndex = index;
    read();
}

void ClassOverviewLogic::Dates_Change(const QDate &from, const QDate &to)
{
    if (!mayAct() || !from.isValid() || !to.isValid())
        return;
    view.PeriodIndex = static_cast<int>(OverviewPeriod::Between);
    view.From = std::min(from, to);
    view.To = std::max(from, to);
    read();
}

void ClassOverviewLogic::FilterCombo_Click(const QString &text)
{
    if (!mayAct())
        return;
    view.FilterText = text;
    buildLines();
    describe();
    m_host.rowsChanged();
    m_host.refresh();
}

void ClassOverviewLogic::Header_Click(int column)
{
    if (!mayAct() || column < 0 || column >= columnCount())
        return;
    if (view.SortColumn == column) {
        view.SortDescending = !view.SortDescending;
    } else {
        view.SortColumn = column;
        view.SortDescending = false;
    }
    sortLines();
    m_host.rowsChanged();
    m_host.refresh();
}

void ClassOverviewLogic::Reverse_Click()
{
    if (!mayAct())
        return;
    view.SortDescending = !view.SortDescending;
    sortLines();
    m_host.rowsChanged();
    m_host.refresh();
}

void ClassOverviewLogic::Days_Change(int days)
{
    if (!mayAct() || days < 1 || days > kMostInactiveDays || days == view.InactiveDays)
        return;
    view.InactiveDays = days;
    describe();
    if (view.SortColumn == MarkColumn)
        sortLines();
    m_host.rowsChanged();
    m_host.refresh();
    if (const QString failed = writeInactiveDays(m_settingsPath, days); !failed.isEmpty())
        m_host.tell(QStringLiteral("日数をこのパソコンに記録できませんでした。次に開くときは元の日数になります。\n\n") +
                    failed);
}

void ClassOverviewLogic::Row_Open(int line)
{
    if (!mayAct() || line < 0 || line >= rowCount())
        return;
    m_host.showSheet(studentOfLine(line));
}

void ClassOverviewLogic::read()
{
    const QDate today = m_clock.today();
    m_today = dayNumber(today);
    const auto period = static_cast<OverviewPeriod>(view.PeriodIndex);
    const DaySpan span = overviewPeriodSpan(period, today, m_state.config.SchoolYearStartMonth, view.From, view.To);
    if (span.all) {
        view.From = {};
        view.To = {};
    } else {
        view.From = dateFromDayNumber(span.first);
        view.To = dateFromDayNumber(span.last);
    }
    // The previous figures are let go before the read.
    m_order.clear();
    m_counts = OverviewCounts{};
    QString error;
    const ResultsFile file = sharedResultsFile(m_state, m_wait);
    const bool ok = countOverview(m_state, file, today, span, &m_counts, &error);
    // Without the file nobody's figures are known: no lines (which would read as "no run
    // at all" and be marked), and nothing to export or print until a read succeeds.
    view.ReadFailed = !ok;
    if (!ok)
        m_counts = OverviewCounts{};
    buildLines();
    describe();
    m_host.rowsChanged();
    m_host.refresh();
    if (!ok)
        m_host.tell(QStringLiteral("成績ファイルを読めないため、回数や点数を表示できません。\n\n") + error);
}

double ClassOverviewLogic::lastRunAny(size_t row) const
{
    double last = 0;
    for (int L = 1; L <= m_counts.levels; ++L)
        last = std::max(last, m_counts.at(row, L).lastRun);
    return last;
}

int ClassOverviewLogic::lastRunDays(size_t row) const
{
    const double last = lastRunAny(row);
    // A run dated after today (a PC whose clock runs ahead) is a run of today.
    return last > 0 ? std::max(0, static_cast<int>(m_today - last)) : -1;
}

bool ClassOverviewLogic::isMarked(size_t row) const
{
    const int days = lastRunDays(row);
    return days < 0 || days > view.InactiveDays;
}

void ClassOverviewLogic::buildLines()
{
    m_order.clear();
    const GradeFilter passes(view.FilterText);
    const int schoolYear = m_state.roster.SchoolYear;
    for (size_t row = 0; row < m_counts.students.size(); ++row) {
        const int s = m_counts.students[row];
        if (passes.matches(GradeIndexOf(schoolYear, m_state.roster.StudentBirthYears[static_cast<size_t>(s)])))
            m_order.push_back(row);
    }
    sortLines();
}

double ClassOverviewLogic::sortKey(size_t row, int column, bool *missing) const
{
    *missing = false;
    const int s = m_counts.students[row];
    if (column < kOwnColumns) {
        switch (column) {
        case MarkColumn:
            return isMarked(row) ? 0 : 1; // marked students first
        case NumberColumn:
            return s;
        case GradeColumn:
            return GradeIndexOf(m_state.roster.SchoolYear, m_state.roster.StudentBirthYears[static_cast<size_t>(s)]);
        case LastAnyColumn:
        case DaysSinceColumn: {
            const double last = lastRunAny(row);
            *missing = last <= 0;
            return column == LastAnyColumn ? last : m_today - last;
        }
        default:
            return 0;
        }
    }
    const int L = (column - kOwnColumns) / kPerLevel + 1;
    const OverviewFigures &f = m_counts.at(row, L);
    switch ((column - kOwnColumns) % kPerLevel) {
    case PeriodRunsColumn:
        return f.periodRuns;
    case AllRunsColumn:
        return f.allRuns;
    case BestColumn:
        *missing = f.periodBest < 0;
        return f.periodBest;
    case PointsColumn:
        return static_cast<double>(f.periodPoints);
    case ClearedColumn:
        return levelClearedBy(m_state.criteria, L, f.passPoints, f.passRuns) ? 0 : 1; // cleared first
    default:
        *missing = f.lastRun <= 0;
        return f.lastRun;
    }
}

void ClassOverviewLogic::sortLines()
{
    const int column = view.SortColumn;
    if (column < 0 || column >= columnCount()) {
        std::sort(m_order.begin(), m_order.end());
        if (view.SortDescending)
            std::reverse(m_order.begin(), m_order.end());
        return;
    }
    const bool down = view.SortDescending;
    // Ties keep the roster order whichever way; a student without the figure (no run)
    // stands last either way.
    std::sort(m_order.begin(), m_order.end()); // the roster order first
    if (column == NameColumn) {
        std::vector<QString> names(m_counts.students.size());
        for (const size_t row : m_order)
            names[row] = m_state.roster.StudentNames[static_cast<size_t>(m_counts.students[row])].trimmed();
        std::stable_sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) {
            const int c = names[a].compare(names[b]);
            return down ? c > 0 : c < 0;
        });
        return;
    }
    struct Key {
        double value;
        bool missing;
    };
    std::vector<Key> keys(m_counts.students.size());
    for (const size_t row : m_order) {
        bool missing = false;
        const double v = sortKey(row, column, &missing);
        keys[row] = {v, missing};
    }
    std::stable_sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) {
        const Key &x = keys[a], &y = keys[b];
        if (x.missing != y.missing)
            return y.missing;
        if (x.missing)
            return false;
        return down ? x.value > y.value : x.value < y.value;
    });
}

void ClassOverviewLogic::describe()
{
    const bool all = !view.From.isValid();
    const QString span =
        all ? QStringLiteral("すべて")
            : (view.From == view.To ? view.From.toString(QStringLiteral("yyyy/MM/dd"))
                                    : view.From.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral("〜") +
                                          view.To.toString(QStringLiteral("yyyy/MM/dd")));
    view.PeriodLabel = QStringLiteral("期間: ") + span;
    view.CountLabel = view.ReadFailed
                          ? QStringLiteral("成績ファイルを読めません")
                          : QStringLiteral("生徒 %1人　成績ファイルの記録 %2件").arg(rowCount()).arg(m_counts.records);
    view.DamagedLabel = m_counts.damaged == 0
                            ? QString()
                            : QStringLiteral("壊れた記録が %1 件あり、数えていません（「データ変更」で直せます）。")
                                  .arg(m_counts.damaged);
    view.MarkNote = QStringLiteral("%1 = %2日より長く練習していない生徒").arg(overviewMark()).arg(view.InactiveDays);
}

int ClassOverviewLogic::studentOfLine(int line) const
{
    if (line < 0 || line >= rowCount())
        return 0;
    return m_counts.students[m_order[static_cast<size_t>(line)]];
}

int ClassOverviewLogic::lineOfStudent(int student) const
{
    for (int line = 0; line < rowCount(); ++line)
        if (studentOfLine(line) == student)
            return line;
    return -1;
}

bool ClassOverviewLogic::marked(int line) const
{
    return line >= 0 && line < rowCount() && isMarked(m_order[static_cast<size_t>(line)]);
}

WorkbookCell ClassOverviewLogic::value(int line, int column) const
{
    if (line < 0 || line >= rowCount() || column < 0 || column >= columnCount())
        return {};
    const size_t row = m_order[static_cast<size_t>(line)];
    const int s = m_counts.students[row];
    if (column < kOwnColumns) {
        switch (column) {
        case MarkColumn:
            return isMarked(row) ? overviewMark() : QString();
        case NumberColumn:
            return double(s);
        case GradeColumn:
            return ListGradeLabel(GradeIndexOf(m_state.roster.SchoolYear,
                                               m_state.roster.StudentBirthYears[static_cast<size_t>(s)]))
                .label;
        case NameColumn:
            return m_state.roster.StudentNames[static_cast<size_t>(s)].trimmed();
        case LastAnyColumn: {
            const double last = lastRunAny(row);
            return last > 0 ? WorkbookCell(dateFromDayNumber(last)) : WorkbookCell();
        }
        default: {
            const int days = lastRunDays(row);
            return days >= 0 ? WorkbookCell(double(days)) : WorkbookCell();
        }
        }
    }
    const int L = (column - kOwnColumns) / kPerLevel + 1;
    const OverviewFigures &f = m_counts.at(row, L);
    switch ((column - kOwnColumns) % kPerLevel) {
    case PeriodRunsColumn:
        return double(f.periodRuns);
    case AllRunsColumn:
        return double(f.allRuns);
    case BestColumn:
        return f.periodBest >= 0 ? WorkbookCell(double(f.periodBest)) : WorkbookCell();
    case PointsColumn:
        return double(f.periodPoints);
    case ClearedColumn:
        return levelClearedBy(m_state.criteria, L, f.passPoints, f.passRuns) ? QStringLiteral("合格") : QString();
    default:
        return f.lastRun > 0 ? WorkbookCell(dateFromDayNumber(f.lastRun)) : WorkbookCell();
    }
}

QString ClassOverviewLogic::text(int line, int column) const
{
    const WorkbookCell cell = value(line, column);
    if (const auto *t = std::get_if<QString>(&cell))
        return *t;
    if (const auto *d = std::get_if<QDate>(&cell))
        return d->toString(QStringLiteral("yyyy/MM/dd"));
    if (const auto *n = std::get_if<double>(&cell)) {
        const int within = (column - kOwnColumns) % kPerLevel;
        if (column >= kOwnColumns && within == BestColumn)
            return QString::number(*n, 'f', 0) + QStringLiteral("秒");
        return QString::number(*n, 'f', 0);
    }
    return {};
}

QStringList ClassOverviewLogic::headingLines() const
{
    QStringList lines;
    lines << m_state.config.SchoolName.trimmed() + QStringLiteral("　学年: ") + view.FilterText + QStringLiteral("　") +
                 view.PeriodLabel + QStringLiteral("　（") + m_clock.today().toString(QStringLiteral("yyyy/MM/dd")) +
                 QStringLiteral(" 現在）");
    lines << QStringLiteral("回数は時間切れを除く。回数・最高・点数は期間の分、全回数は成績ファイル全体から。"
                            "合格はハブと同じく、今日から見た合格の日数で判定。");
    return lines;
}

QString ClassOverviewLogic::readFailedRefusal()
{
    return QStringLiteral(
        "成績ファイルを読めなかったため、書き出しも印刷もしません。期間を選び直して読み直してください。");
}

QString ClassOverviewLogic::suggestedWorkbookName() const
{
    return QStringLiteral("クラス一覧_%1.xlsx").arg(m_clock.today().toString(QStringLiteral("yyyyMMdd")));
}

QString ClassOverviewLogic::suggestedPdfName() const
{
    return QStringLiteral("クラス一覧_%1.pdf").arg(m_clock.today().toString(QStringLiteral("yyyyMMdd")));
}

OverviewPrintout ClassOverviewLogic::printout() const
{
    OverviewPrintout p;
    p.title = QStringLiteral("クラス一覧");
    p.headingLines = headingLines();
    // Paper marks a row in a margin of its own: the screen's mark column is left out.
    for (int c = 1; c < columnCount(); ++c) {
        const ClassOverviewColumn &col = column(c);
        p.columns.push_back({col.heading, col.group, col.alignRight, col.widthChars});
    }
    for (int line = 0; line < rowCount(); ++line) {
        QStringList row;
        for (int c = 1; c < columnCount(); ++c)
            row << text(line, c);
        p.rows.push_back(row);
        p.marked.push_back(marked(line));
    }
    p.markNote = QStringLiteral("%1日より長く練習していない生徒").arg(view.InactiveDays);
    return p;
}

bool ClassOverviewLogic::writeWorkbook(const QString &path, QString *error) const
{
    if (!mayAct()) {
        *error = QStringLiteral("クラス一覧を開いた先生がログインしていないため、書き出しません。");
        return false;
    }
    if (view.ReadFailed) {
        *error = readFailedRefusal();
        return false;
    }
    std::vector<WorkbookColumn> columns;
    for (const ClassOverviewColumn &c : m_columns) {
        const QString title = c.group.isEmpty() ? c.heading : c.group + u' ' + c.heading;
        columns.push_back({title, c.kind, c.kind == CellKind::Number ? QStringLiteral("0") : QString()});
    }
    Workbook book(path);
    if (!book.open(error) || !book.addSheet(QStringLiteral("クラス一覧"), columns, error))
        return false;
    std::vector<WorkbookCell> cells(m_columns.size());
    for (int line = 0; line < rowCount(); ++line) {
        for (int c = 0; c < columnCount(); ++c)
            cells[static_cast<size_t>(c)] = value(line, c);
        if (!book.addRow(cells, error))
            return false;
    }
    // What the figures count (school, grades, period, the day they were read), so that a
    // workbook handed on reads as the screen and the paper do.
    if (!book.addSheet(QStringLiteral("条件"), {{QStringLiteral("クラス一覧"), CellKind::Text, {}}}, error))
        return false;
    for (const QString &line : headingLines()) {
        const WorkbookCell text[] = {line};
        if (!book.addRow(text, error))
            return false;
    }
    return book.commit(error);
}

} // namespace tobrel
