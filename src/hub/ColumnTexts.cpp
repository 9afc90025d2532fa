#include "hub/ColumnTexts.h"

#include "state/SharedState.h"
#include "criteria/CriteriaTable.h"
#include "text/Numbers.h"

namespace tobrel {

int columnWidthTwips(int levelCount)
{
    if (levelCount <= 0)
        return 14592;
    return levelCount <= 4 ? 14592 / levelCount : 3456;
}

QString startButtonCaption(int level)
{
    return QStringLiteral("ｽﾀｰﾄ") + QStringLiteral("(&") + QString::number(level) + u')';
}

QString criteriaLine(const SharedState &state, int i)
{
    const CriteriaTable &c = state.criteria;
    const QString head = QStringLiteral("目標=") + CStr(c.CritTargetTime[i]) + QStringLiteral("秒");
    if (c.CritClearPoints[i] == 9999)
        return head + QStringLiteral(" --------");
    return head + u' ' + CStr(int(c.CritClearCount[i])) + QStringLiteral("回/") + CStr(c.CritClearPoints[i]) +
           QStringLiteral("点(×") + CStr(c.CritPointRate[i]) + u')';
}

QString passWindowLine(const SharedState &state, int i, int s)
{
    return QStringLiteral("最近") + state.criteria.CritPassDays[i].toText() + QStringLiteral("日=") +
           QString::number(state.tallies.PassRunCount(i, s)) + QStringLiteral("回 / ") +
           QString::number(state.tallies.PassPoints(i, s)) + QStringLiteral("点");
}

QString todayValue(const SharedState &state, int i, int s)
{
    const float runs = state.tallies.TodayRunCount(i, s);
    if (runs == 0)
        return QStringLiteral("-----");
    return CStr(runs) + QStringLiteral("回/") + QString::number(state.tallies.TodayPoints(i, s)) + QStringLiteral("点");
}

QString soFarValue(const SharedState &state, int i, int s)
{
    const int runs = state.tallies.AllRunCount(i, s);
    if (runs == 0)
        return QStringLiteral("------");
    return QString::number(runs) + QStringLiteral("回/") + QString::number(state.tallies.AllPoints(i, s)) +
           QStringLiteral("点");
}

bool isTeacher(const QString &name) { return name.contains(u'★') || name.contains(QStringLiteral("先生")); }

} // namespace tobrel
