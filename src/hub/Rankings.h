// The rankings the hub lists for each level: by best time, or by points (all so far or
// today's), over the listed students, the grade filter hiding lines but not moving ranks.
// Points rankings of the usual school go the quick way through the kept rankings.
#pragma once
#include "hub/Ranking.h"

#include <QString>
#include <QStringList>

namespace tobrel {

struct SharedState;
class KeptRankings;

// rankStudents gives the students that get a line, in order, with their ranks; rankingLine
// makes the line of one of them, so a list may make only the lines it shows. `kept` holds
// the rankings last made, so that a points ranking whose points have not changed since is
// not made again.
Ranking rankStudents(const SharedState &state, KeptRankings &kept, int level, int listMode, int pointsOrder,
                     const QString &filter);
QString rankingLine(const SharedState &state, const Ranking &ranking, const RankedStudent &entry);
// The line of the student in the ranking's list, or -1 when they have none.
int rowOfStudent(const Ranking &ranking, int student);
QStringList rankingLines(const SharedState &state, KeptRankings &kept, int level, int listMode, int pointsOrder,
                         const QString &filter);

} // namespace tobrel
