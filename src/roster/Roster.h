// The school's roster "新名簿.txt" (in the data root) and the grade rules built on it:
// the school year, a student's grade index, the list and full-width grade labels and
// the grade filters that narrow lists of students.
#pragma once
#include "state/RosterTypes.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <limits>
#include <optional>

namespace tobrel {

struct SharedState;
class FieldReader;

inline QString rosterFileName() { return QStringLiteral("新名簿.txt"); }

// The school year of a date: its calendar year, less one before the start month.
int ComputeSchoolYear(const QDate &date, int startMonth);
// School year - birth year - 6: 1..6 primary, 7..9 junior high, 10..12 senior high.
inline int GradeIndexOf(int schoolYear, int birthYear) { return schoolYear - birthYear - 6; }

struct ListGrade {
    QString label; // "小1", "幼-", "大+" ...
    int gradeNumber; // decides the name column's width on the roster screen
};
ListGrade ListGradeLabel(int g);
// "小１" .. "高１" for grade indices 0..10; none otherwise.
std::optional<QString> FullWidthGradeLabel(int g);

// The thirteen filter texts ("全学年" .. "小１", "家族"); any other text matches nobody.
bool GradeFilterMatches(const QString &filter, int g);

// A filter text read once, for lists that test many students against it.
class GradeFilter {
public:
    explicit GradeFilter(const QString &filter);
    bool matches(int g) const { return g >= m_low && g <= m_high; }
    // True for 全学年 and 家族, which pass every student without a look at the grade.
    bool matchesEveryGrade() const
    {
        return m_low == std::numeric_limits<int>::min() && m_high == std::numeric_limits<int>::max();
    }

private:
    int m_low;
    int m_high;
};
// The twelve texts the roster and hub screens offer, in their order.
QStringList gradeFilterTexts();

// One student as read: the record, the listing status and the line the student starts on.
struct RosterEntry {
    RosterRecord record;
    int status = 0;
    int line = 0;
};

// What the roster reader does with a student number outside 0..5000: stop with an
// error (every screen: the number indexes the tables), or hand the student on as read
// (a check that lists every such student).
enum class OutOfRangeStudents { Raise, PassOn };

// Reads the roster file, eight fields per student, in file order. A missing file, one
// that is not Shift-JIS, a short last student or a number outside its range raise
// DataFileError naming the file, the line and the field; the students before it have
// been visited.
void ReadRosterFile(const QString &path, const std::function<void(const RosterEntry &)> &visitor,
                    OutOfRangeStudents outOfRange = OutOfRangeStudents::Raise);
// The same from a reader already opened on the roster's text.
void ReadRoster(FieldReader &reader, const std::function<void(const RosterEntry &)> &visitor,
                OutOfRangeStudents outOfRange = OutOfRangeStudents::Raise);

// Cuts or pads a text with spaces to the roster's 20 characters.
QString fixedRosterText(const QString &text);

// The roster load: fills the shared roster tables (listed students by position, names,
// birth years and full-width labels by number) and returns the listed students in
// file order. Status 2 counts as listed when CommonValue3 is 1.
std::vector<RosterEntry> LoadRosterTables(SharedState &state, const QString &path);
// The same from a reader already opened on the roster.
std::vector<RosterEntry> LoadRosterTables(SharedState &state, FieldReader &reader);

} // namespace tobrel
