// The texts of a level column on the hub, made from the tallies and the criteria: the
// start button's caption, the today and so-far values, the pass-window line and the
// criteria line; and the column width the level count gives.
#pragma once
#include <QString>

namespace tobrel {

struct SharedState;

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

} // namespace tobrel
