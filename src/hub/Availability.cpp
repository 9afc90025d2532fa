#include "hub/Availability.h"

#include "state/SharedState.h"
#include "criteria/CriteriaTable.h"
#include "results/Tally.h"

namespace tobrel {

bool levelCanStart(const SharedState &state, int level)
{
    return level >= 1 && level <= kMaxLevel && state.criteria.CritPassTime[level] > 0;
}

QString noCriteriaMessage(const SharedState &state, int level)
{
    return QStringLiteral("レベル%1は始められません。\n"
                          "合格ラインのタイムが決まっていません。\n"
                          "基準のファイル: %2\n\n"
                          "先生を呼びなさい。")
        .arg(level)
        .arg(state.config.DataFolder + criteriaFileName());
}

Availability availabilityPass(const SharedState &state)
{
    Availability a;
    const int n = state.profile.LevelCount;
    const int s = state.student.CurrentStudent;
    const int last = static_cast<int>(state.profile.LastLevel.toNumber());
    a.freeStatus = (last >= 1 && last <= kMaxLevel && LevelCleared(state, last, s)) ? 1 : 0;
    a.enabled.assign(n + 1, false);
    a.barred.assign(n + 1, false);
    a.noCriteria.assign(n + 1, false);
    if (n >= 1)
        a.enabled[1] = true;
    for (int i = 1; i <= n; ++i) {
        if (i < n) {
            // Every level counts as unlocked in this program.
            a.enabled[i + 1] = true;
            a.barred[i + 1] = false;
        }
        if (i < n && a.freeStatus == 0 && LevelBarred(state, i, s)) {
            a.enabled[i] = false;
            a.barred[i] = true;
        } else {
            a.barred[i] = false;
        }
    }
    for (int i = 1; i <= n; ++i) {
        if (!levelCanStart(state, i)) {
            a.enabled[i] = false;
            a.barred[i] = false;
            a.noCriteria[i] = true;
        }
    }
    return a;
}

} // namespace tobrel
