// The fixed-width fields the hub's result lists are made of, the grade marks, and the
// points a listed run shows. Every field has a fixed width in cells of the fixed-pitch
// font (a full-width character takes two), so the lines of a list line up.
#pragma once
#include <QString>

#include <cstdint>

namespace tobrel {

struct SharedState;

QString timeField(int32_t seconds); // "  45秒"
QString clockField(double dayFraction); // "09:05"
QString dateField(double dayNumber); // "02/07"
QString runNameField(const QString &name); // 10 cells, trimmed, padded with "　"
QString rankingNameField(const QString &name); // 10 cells, trailing blanks removed, padded
QString rankField(int rank); // last 2 of Str(rank)
QString rankingTimeField(int32_t best); // last 6 of "    " + Str(best)
QString todayPointsField(int32_t points); // 3
QString totalPointsField(int32_t points); // 5
QString runPointsField(int32_t points); // 5
inline QString failureField() { return QStringLiteral("　　× "); }

// "①".."⑥" for primary years, "Ⅰ".."Ⅲ" for junior high, "　" otherwise.
QString gradeMark(int g);
inline QString ownMark() { return QStringLiteral("●"); }
// A run of 90000 seconds or more: the time limit ran out.
inline bool failedRun(int32_t seconds) { return seconds >= 90000; }

// Points shown for a listed run (no rate applied); 0 for a level without a target time.
int32_t listPoints(int32_t seconds, int32_t target);

// Grade index of a student from the roster tables.
int gradeIndexOfStudent(const SharedState &state, int student);

} // namespace tobrel
