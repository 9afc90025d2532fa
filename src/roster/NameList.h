// The roster screen's name list: one display entry per listed student, with the grade,
// the name and two running totals, kept in text order and narrowed by the grade filter.
//
//   entry = birth year (4) + list label + " " + name + filler + total + "/" + total
//           + "*" + student number
//
// The visible line is the entry without the birth year and without "*" and the number;
// the hidden List3 keeps the entry without the birth year.
#pragma once
#include "state/Platform.h"
#include "roster/Roster.h"

#include <QString>
#include <QStringList>

namespace tobrel {

struct SharedState;

// The four display modes of the totals.
enum DisplayMode : int { RunsTodaySoFar = 0, PointsTodaySoFar = 1, TodayPointsRuns = 2, SoFarPointsRuns = 3 };

// The fixed-width totals.
QString runsTodayField(long long sum);
QString pointsTodayField(long long sum);
QString runsSoFarField(long long sum);
QString pointsSoFarField(long long sum);

// The display entry of one student; "" for a mode outside 0..3.
QString displayEntry(const RosterRecord &record, int schoolYear, int displayMode, long long runsToday,
                     long long pointsToday, long long runsSoFar, long long pointsSoFar);

struct NameListResult {
    QStringList List1; // the visible lines; entry 0 is the placeholder
    QStringList List2; // every entry, in text order
    QStringList List3; // the kept entries without the birth year, in List1 order
    QString fatalMessage; // when the roster could not be read after the retries
    // When the roster lists nobody, whatever the grade filter (an empty file, or no
    // student of a listed status): what to tell, naming the file; "" otherwise.
    QString rosterNotice;
};

inline QString namePlaceholder() { return QStringLiteral("－－－－－－"); }
inline QString chooseYourName() { return QStringLiteral("名前を選びなさい"); }

// 名簿表示: the school year, the tally, the roster load and the lines. A failing step
// is tried again after a 5-second wait, whose reason names the file and the next try;
// the sixth failure gives fatalMessage. A results file the reader gave up on (it has
// retried it itself) gives fatalMessage at once.
constexpr int kNameListTries = 6;
NameListResult 名簿表示(SharedState &state, const Clock &clock, const WaitFunction &wait, int displayMode,
                        const QString &filterText);

// Sorts texts in the order a Japanese desktop sorts them (ICU collation), stable.
void sortJapanese(QStringList &texts);

// What follows the last "*" of a List3 entry (the one the list appends): the student
// number.
int studentNumberOfEntry(const QString &list3Entry);

} // namespace tobrel

namespace tobrel {

// The chosen student as the roster screen shows him above the list: list label and the
// whole name ("小5 長谷川　由紀子").
QString shownStudentName(const SharedState &state, int student);

// Logs in the student whose name and number the roster screen shows: LoginTime, the
// current student, name and grade label. False (nobody logged in) when no name is
// chosen.
bool LogIn(SharedState &state, const Clock &clock, const QString &shownName, const QString &shownNumber);

// The command line that starts the suite's program menu: the program folder without
// its final separator + "/../起動/プログラムメニューc.exe 001".
struct ProgramMenuCommand {
    QString commandLine;
    QString program; // the part up to ".exe"
    QStringList arguments; // {"001"}
};
ProgramMenuCommand programMenuCommand(const QString &programFolder, QChar separator = QChar(u'/'));

} // namespace tobrel
