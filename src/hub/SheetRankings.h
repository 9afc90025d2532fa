// The rankings behind the result sheet's text panel: every student of the roster ranked
// on one level by best time and by points, in the hub's ranking order, written as the
// sheet's work-list lines; and the figures the panel shows for the sheet's student
// (time rank, points rank, points earned, the school's average points).
//
// The student's own figures are taken by student number from the ranking, not by
// looking for the name in the lines, so a long name or a name that is part of another
// student's name still gets the student's own rank and points.
#pragma once
#include "hub/Rankings.h"
#include "state/Tables.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace tobrel {

struct SharedState;
class KeptRankings;

// Figures of one level for the text panel. Empty texts (and no points) when the
// student has no line in the ranking: grade filtered out, or no points today in the
// today's-order ranking.
struct SheetRankFigures {
    QString TimeRank; // "1", "12" or "---" (no completed run)
    QString PointsRank; // "1", "12"
    std::optional<int64_t> PointsEarned; // cumulative points at the level
    int64_t SchoolPointsSum = 0; // cumulative points of the listed lines above 0
    int SchoolPointsCount = 0;
};
using SheetFiguresTable = std::array<SheetRankFigures, kLevelSlots>;

// The work-list line of one ranked student: the rank in 3 characters ("---" without a
// completed run), the marks, the name and the best time, or today's and cumulative
// points.
QString sheetRankingLine(const SharedState &state, const Ranking &ranking, const RankedStudent &entry);

// The points figures, then the time figures, of a level for a student; the two work
// lists receive the rankings' lines.
SheetRankFigures sheetFigures(const SharedState &state, KeptRankings &kept, int level, int student, int pointsOrder,
                              const QString &gradeFilter, QStringList *timeLines = nullptr,
                              QStringList *pointsLines = nullptr);

} // namespace tobrel
