// The points rankings the hub keeps between two looks: a level's ranking as last made,
// with the points it was made from, is brought up to date by moving the few students
// whose points changed since, instead of being made again. The rankings of a big school
// are made the quick way: a level's cells read in student order and the students placed by
// counting their points, for the usual points (none below 0, none above some tens of
// thousands) and a roster that lists each student once.
//
// One KeptRankings lives as long as the program (main makes it and hands it to the hub
// screen, which is made afresh at every log-in): what it keeps is what makes the next look
// at the hub quick.
#pragma once
#include "hub/Ranking.h"

#include <memory>

namespace tobrel {

struct SharedState;

class KeptRankings {
public:
    KeptRankings();
    ~KeptRankings();
    KeptRankings(const KeptRankings &) = delete;
    KeptRankings &operator=(const KeptRankings &) = delete;

    // Fills r.shown with every listed student in the order of the points ranking at
    // `level` (all points so far, or today's; today's order leaves out those with none
    // today) with their ranks, and returns true; returns false, leaving r as it was, where
    // the points or the roster need the general way.
    bool rankPointsQuickly(const SharedState &state, int level, bool cumulative, Ranking &r);

    // Brings the kept points rankings of every level (both orders) up to date with the
    // tallies, so that the next look at the hub finds them made.
    void bringUpToDate(const SharedState &state);

private:
    struct Store;
    std::unique_ptr<Store> m_store;
};

} // namespace tobrel
