// The class overview "クラス一覧" apart from its widgets: one line per listed student of
// the chosen grades, and for each level the runs in the chosen period and in all, the
// best time and the points of the period, whether the level is cleared and the day of
// the last run. Students who have not practised for more than N days are marked.
//
//   Form_Load                 the teacher it is opened for; N from this PC's setting;
//                             the period "今週" read from the results file
//   PeriodCombo_Click(i)      today, this week, this month, this school year, all, or
//   Dates_Change(from, to)    two dates: the results file is read again, once
//   FilterCombo_Click(text)   the grade filter: the lines again, nothing read
//   Header_Click(column)      sorts by the column; the same column again reverses
//   Days_Change(n)            N kept on this PC, the marks again
//   Row_Open(line)            the host shows that student's result sheet
//   writeWorkbook(path)       the lines as shown, into an Excel workbook
//   printout()                the lines as shown, for paper and PDF
// Only the teacher the overview was opened for, still logged in, gets any of these.
//
// The figures follow the hub's own rules (results/Tally): what a run adds (runAdds),
// the pass window (tallyWindows, addWindowedRun) and clearing (levelClearedBy). Unlike
// the hub, which counts the newest 20000 records, the overview reads the whole file, a
// chunk at a time under the shared lock, so in a file of more records its "全回数"
// counts more than the hub's; the screen says so. Damaged records are counted apart.
#pragma once
#include "admin/OverviewPrintout.h"
#include "results/ResultsFile.h"
#include "state/Platform.h"
#include "state/SharedState.h"
#include "text/Workbook.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace tobrel {

// The periods on offer, in the order of the screen's choice.
enum class OverviewPeriod { Today, ThisWeek, ThisMonth, SchoolYear, All, Between };
QStringList overviewPeriodTexts(); // "今日", "今週", "今月", "今年度", "すべて", "期間指定"

// The whole days a period holds, first and last included (day numbers); `all` holds
// every day. This week starts on Monday and ends on Sunday, as the hub's week does; the
// school year on the first of its start month. Two dates given the wrong way round are
// taken the right way round.
struct DaySpan {
    double first = 0;
    double last = 0;
    bool all = false;
    bool holds(double day) const { return all || (day >= first && day < last + 1); }
};
DaySpan overviewPeriodSpan(OverviewPeriod period, const QDate &today, int schoolYearStartMonth, QDate from = {},
                           QDate to = {});

// One student's figures at one level.
struct OverviewFigures {
    int32_t periodRuns = 0; // completed runs in the period
    int64_t periodPoints = 0; // points of every run in the period
    int32_t periodBest = -1; // the fastest completed run of the period, seconds; -1 none
    int32_t allRuns = 0; // completed runs in the whole file
    double lastRun = 0; // the day of the latest run (timed-out runs too); 0 none
    int64_t passPoints = 0; // inside the level's pass window, as the hub counts it
    int32_t passRuns = 0;
};

// What one read of the results file gives: figures[row * levels + level - 1] for the
// listed student of `students[row]`.
struct OverviewCounts {
    int levels = 0;
    std::vector<int> students; // listed students, in roster order
    std::vector<OverviewFigures> figures;
    int64_t records = 0; // whole records in the file
    int64_t damaged = 0; // damaged records, counted nowhere else
    const OverviewFigures &at(size_t row, int level) const
    {
        return figures[row * static_cast<size_t>(levels) + static_cast<size_t>(level - 1)];
    }
};

// Reads the whole results file once and counts every listed student's runs of the
// levels 1..LevelCount for the period. False with *error when the file cannot be read.
bool countOverview(const SharedState &state, const ResultsFile &file, const QDate &today, const DaySpan &period,
                   OverviewCounts *out, QString *error);

// The days without a run after which a student is marked: kept on this PC only, in the
// program's own settings folder (never in the school's shared files).
constexpr int kDefaultInactiveDays = 7;
constexpr int kMostInactiveDays = 999;
QString classOverviewSettingsPath(); // $XDG_CONFIG_HOME/tobrel/class-overview.conf
// N from the file; a missing, unreadable or garbled file (or a link) gives 7.
int readInactiveDays(const QString &path);
// Writes N; "" or the reason, naming the file.
QString writeInactiveDays(const QString &path, int days);

struct ClassOverviewColumn {
    QString heading; // "回数"
    QString group; // "レベル1" over a level's columns; "" for the student's own
    bool alignRight = true;
    int widthChars = 4; // half-width cells the column wants
    CellKind kind = CellKind::Number; // what the workbook gets
};

// What the overview's controls show besides the table.
struct ClassOverviewView {
    int PeriodIndex = static_cast<int>(OverviewPeriod::ThisWeek);
    QDate From, To; // the period's first and last day, as shown in the date boxes
    QString FilterText = QStringLiteral("全学年");
    int InactiveDays = kDefaultInactiveDays;
    QString PeriodLabel; // "期間: 2026/12/07〜2026/12/11"
    QString CountLabel; // "生徒 23人　成績ファイルの記録 12345件"
    QString DamagedLabel; // "" when no record is damaged
    QString MarkNote; // what the mark means
    int SortColumn = -1; // -1: roster order
    bool SortDescending = false;
    // The results file could not be read: no figures, no lines, and nothing to hand on.
    bool ReadFailed = false;
};

class ClassOverviewHost {
public:
    virtual ~ClassOverviewHost() = default;
    virtual void refresh() = 0; // the view into the controls
    virtual void rowsChanged() = 0; // the lines are new (count, order or texts)
    virtual void tell(const QString &text) = 0;
    virtual void showSheet(int student) = 0; // the student's result sheet
};

// The mark of a student who has not practised for more than N days.
inline QString overviewMark() { return QStringLiteral("●"); }

class ClassOverviewLogic {
public:
    ClassOverviewLogic(SharedState &state, const Clock &clock, WaitFunction wait, ClassOverviewHost &host,
                       QString settingsPath);

    ClassOverviewView view;

    void Form_Load();
    bool mayAct() const;
    void PeriodCombo_Click(int index);
    void Dates_Change(const QDate &from, const QDate &to);
    void FilterCombo_Click(const QString &text);
    void Header_Click(int column);
    void Reverse_Click(); // "逆順": the order turned round, also the roster order
    void Days_Change(int days);
    void Row_Open(int line);

    // The table as shown.
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    const ClassOverviewColumn &column(int c) const { return m_columns[static_cast<size_t>(c)]; }
    int rowCount() const { return static_cast<int>(m_order.size()); }
    QString text(int line, int column) const;
    WorkbookCell value(int line, int column) const;
    bool marked(int line) const;
    int studentOfLine(int line) const;
    // The line of a student, or -1 when it is not shown.
    int lineOfStudent(int student) const;
    const OverviewCounts &counts() const { return m_counts; }

    // The lines as shown, typed, into an Excel workbook at path. False with *error.
    bool writeWorkbook(const QString &path, QString *error) const;
    // Why nothing is handed on while the results file could not be read.
    static QString readFailedRefusal();
    QString suggestedWorkbookName() const;
    // The lines as shown, with the heading, for "印刷" and "PDF保存".
    OverviewPrintout printout() const;
    QString suggestedPdfName() const;
    // The texts of the screen's heading, for paper and files: school, grades, period.
    QStringList headingLines() const;

    // The column groups: the student's own columns, then kPerLevel for each level.
    static constexpr int kOwnColumns = 6; // mark, number, grade, name, last run, days since
    static constexpr int kPerLevel = 6; // runs, all runs, best, points, cleared, last run

private:
    void read(); // the results file, once
    void buildLines(); // filter, marks, order
    void sortLines();
    void describe();
    int lastRunDays(size_t row) const; // days since the latest run of any level; -1 none
    double lastRunAny(size_t row) const;
    bool isMarked(size_t row) const;
    // The value a line sorts by in a column (a number; text columns compare texts).
    double sortKey(size_t row, int column, bool *missing) const;

    SharedState &m_state;
    const Clock &m_clock;
    WaitFunction m_wait;
    ClassOverviewHost &m_host;
    QString m_settingsPath;
    int m_openedFor = -1;
    double m_today = 0;
    OverviewCounts m_counts;
    std::vector<ClassOverviewColumn> m_columns;
    std::vector<size_t> m_order; // rows of m_counts shown, in their order
};

} // namespace tobrel
