#include "state/ResultsInMemory.h"

#include <algorithm>
#include <utility>

namespace tobrel {

int32_t &PersonalBestTable::operator()(int level, int student)
{
    m_owner.deriveBestTimes();
    return m_owner.m_personalBest(level, student);
}

int32_t PersonalBestTable::operator()(int level, int student) const
{
    m_owner.deriveBestTimes();
    return std::as_const(m_owner.m_personalBest)(level, student);
}

int32_t &LevelBestTable::operator[](int level)
{
    m_owner.deriveBestTimes();
    return m_owner.m_levelBest[static_cast<size_t>(level)];
}

int32_t LevelBestTable::operator[](int level) const
{
    m_owner.deriveBestTimes();
    return m_owner.m_levelBest[static_cast<size_t>(level)];
}

void ResultsInMemory::deriveBestTimes() const
{
    if (m_bestTimesDone)
        return;
    m_bestTimesDone = true;

    // Every student's best at every level starts at "no time" (level 0 is no real one and
    // keeps what it had). Student number 0 is nobody's: he keeps "no time", whatever
    // records of his the reader dropped.
    m_personalBest.resetWrittenRows(1, kMaxLevel, 0, kTimedOut);
    int32_t *const best = m_personalBest.dataToWrite();
    uint64_t levelsSeen = 0;
    auto lower = [&](int level, int student, int32_t time) {
        levelsSeen |= uint64_t(1) << level;
        int32_t &b = best[static_cast<size_t>(level) * kStudentSlots + static_cast<size_t>(student)];
        b = std::min(b, time);
    };
    const char *p = records.constData();
    for (int i = 0; i < RecordCount; ++i, p += kRecordSize) {
        const ResultRecord::Numbers n = ResultRecord::decodeNumbers(p);
        lower(n.level, n.student, n.time);
    }
    for (const DroppedTime &d : droppedTimes)
        if (isRealStudent(d.student))
            lower(d.level, d.student, d.time);
    for (int L = 0; L <= kMaxLevel; ++L)
        if (levelsSeen >> L & 1)
            m_personalBest.markWritten(L);

    // The best of the level looks at students 1 to 1000 only.
    for (int L = 1; L <= kMaxLevel; ++L) {
        int32_t levelBest = kTimedOut;
        if (levelsSeen >> L & 1) {
            const int32_t *row = std::as_const(m_personalBest).row(L);
            for (int s = 1; s <= 1000; ++s)
                levelBest = std::min(levelBest, row[s]);
        }
        m_levelBest[static_cast<size_t>(L)] = levelBest;
    }
}

} // namespace tobrel
