// Which levels a student may start on the hub: the first always, the next ones unless
// the over-practice bar holds them back ("やりすぎ禁止"), none without a pass-line time.
#pragma once
#include <QString>

#include <vector>

namespace tobrel {

struct SharedState;

struct Availability {
    int freeStatus = 0; // 1 once the last level is cleared
    std::vector<bool> enabled; // [level] start button enabled
    std::vector<bool> barred; // [level] "やりすぎ禁止" shown
    std::vector<bool> noCriteria; // [level] no pass-line time: cannot be started
};
Availability availabilityPass(const SharedState &state);

// A level can be started only when the criteria file gives it a pass-line time:
// without one the run would time out at once and record a run nobody made.
bool levelCanStart(const SharedState &state, int level);
// The notice over such a level's start button, and the message a press gives.
inline QString noCriteriaNotice() { return QStringLiteral("基準がありません"); }
QString noCriteriaMessage(const SharedState &state, int level);

} // namespace tobrel
