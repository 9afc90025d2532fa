// What the hub screen shows, apart from its widgets: the column texts, the level
// availability with the over-practice bar, and the result views (rankings, today's
// runs, all runs of a period, personal times) as lines for each level's list.
#pragma once
#include "state/Platform.h"
#include "results/ResultsFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tobrel {

struct SharedState;

// ---- columns ----

// Column width in twips: the screen shared by up to four levels; four visible beyond.
int columnWidthTwips(int levelCount);
// "ｽﾀｰﾄ(&3)": the level number's first digit is the access key.
QString startButtonCaption(int level);
// "目標=45秒 5回/100点(×1.5)", or "目標=45秒 --------" without a points criterion.
QString criteriaLine(const SharedState &state, int level);
// "最近7日=2回 / 22点": runs and points inside the pass window.
QString passWindowLine(const SharedState &state, int level, int student);
// "3回/45点", or "-----" with no runs today.
QString todayValue(const SharedState &state, int level, int student);
// "12回/130点", or "------" with no runs ever.
QString soFarValue(const SharedState &state, int level, int student);
// A teacher's name holds "★" or "先生".
bool isTeacher(const QString &name);

// ---- availability ----

struct Availability {
    int freeStatus = 0;          // 1 once the last level is cleared
    std::vector<bool> enabled;   // [level] start button enabled
    std::vector<bool> barred;    // [level] "やりすぎ禁止" shown
    std::vector<bool> noCriteria;// [level] no pass-line time: cannot be started
};
Availability availabilityPass(const SharedState &state);

// A level can be started only when the criteria file gives it a pass-line time:
// without one the run would time out at once and record a run nobody made.
bool levelCanStart(const SharedState &state, int level);
// The notice over such a level's start button, and the message a press gives.
inline QString noCriteriaNotice() { return QStringLiteral("基準がありません"); }
QString noCriteriaMessage(const SharedState &state, int level);

// ---- views ----

using LevelLists = std::vector<QStringList>; // index = level, 0 unused
enum ListMode : int { TimeDisplay = 1, PointsDisplay = 2 };
enum PointsOrder : int { CumulativeOrder = 1, TodayOrder = 2 };

// The ranking of one level over the listed students (time or points); ranks count every
// student, the grade filter only hides lines. rankStudents gives the students that get a
// line, in order, with their ranks; rankingLine makes the line of one of them, so a list
// may make only the lines it shows.
struct RankedStudent {
    int16_t student;
    int16_t rank;
};
struct Ranking {
    int level = 0;
    int listMode = 1;
    int pointsOrder = 1;
    std::vector<RankedStudent> shown;
};
Ranking rankStudents(const SharedState &state, int level, int listMode, int pointsOrder,
                     const QString &filter);
QString rankingLine(const SharedState &state, const Ranking &ranking, const RankedStudent &entry);
// The line of the student in the ranking's list, or -1 when they have none.
int rowOfStudent(const Ranking &ranking, int student);
QStringList rankingLines(const SharedState &state, int level, int listMode, int pointsOrder,
                         const QString &filter);

// Days back of the all-results view for a period 1..5 (this week, since last week,
// a month, a year, all so far).
int resultListDaysFor(int period, const QDate &today);

// Progress while a view reads the file: (record number, maximum).
using ViewProgress = std::function<void(int64_t value, int64_t maximum)>;

// Today's runs of the filtered students among the last 1000 records, oldest first.
bool todayLines(const SharedState &state, const Clock &clock, const ResultsFile &file,
                const QString &filter, LevelLists &lists, QString *error, const ViewProgress &progress = {});
// All runs of the period among the last 20000 records.
bool periodLines(const SharedState &state, const Clock &clock, const ResultsFile &file,
                 const QString &filter, int resultListDays, int listMode, LevelLists &lists,
                 QString *error, const ViewProgress &progress = {});
// The current student's own runs of the last 3650 days, among the last 20000 records.
bool personalTimesLines(const SharedState &state, const Clock &clock, const ResultsFile &file,
                        const QString &filter, LevelLists &lists, QString *error,
                        const ViewProgress &progress = {});
// One line of the personal-times view.
QString personalTimeLine(double day, double fraction, int32_t seconds);

// The result sheet's student list: reloads names, birth years and labels from the
// roster and gives "label /  name/number" for every student of status 0, in text order.
QStringList LoadSheetStudents(SharedState &state);

} // namespace tobrel
