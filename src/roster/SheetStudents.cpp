#include "roster/SheetStudents.h"

#include "state/SharedState.h"
#include "roster/NameList.h"
#include "roster/Roster.h"
#include "text/FixedWidth.h"

namespace tobrel {

QStringList LoadSheetStudents(SharedState &state)
{
    QStringList list;
    RosterTables &t = state.roster;
    ReadRosterFile(state.config.DataRoot + rosterFileName(), [&](const RosterEntry &e) {
        const int s = e.record.StudentNumber;
        t.StudentNames[s] = trimBlanks(e.record.Name);
        t.StudentBirthYears[s] = e.record.BirthYear;
        if (const auto label = FullWidthGradeLabel(GradeIndexOf(t.SchoolYear, e.record.BirthYear)))
            t.StudentGradeLabels[s] = *label;
        if (e.status == 0)
            list << t.StudentGradeLabels[s] + QStringLiteral(" /  ") + t.StudentNames[s] + u'/' + QString::number(s);
    });
    sortJapanese(list);
    return list;
}

} // namespace tobrel