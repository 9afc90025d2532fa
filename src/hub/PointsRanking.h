// The points ranking of a big school the quick way: a level's cells read in student order
// and the students placed by counting their points, for the usual points (none below 0,
// none above some tens of thousands) and a roster that lists each student once.
#pragma once
#include "hub/HubViews.h"

namespace tobrel {

struct SharedState;

// Fills r.shown with every listed student in the order of the points ranking at `level`
// (all points so far, or today's; today's order leaves out those with none today) with
// their ranks, and returns true; returns false, leaving r as it was, where the points or
// the roster need the general way.
bool rankPointsQuickly(const SharedState &state, int level, bool cumulative, Ranking &r);

} // namespace tobrel
