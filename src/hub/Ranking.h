// What a ranking of one level is: the students that get a line, in order, with their
// ranks; made by the time or the points (all so far, or today's).
#pragma once
#include <cstdint>
#include <vector>

namespace tobrel {

enum ListMode : int { TimeDisplay = 1, PointsDisplay = 2 };
enum PointsOrder : int { CumulativeOrder = 1, TodayOrder = 2 };

// The ranking of one level over the listed students (time or points); ranks count every
// student, the grade filter only hides lines.
struct RankedStudent {
    int16_t student;
    int16_t rank;
};
struct Ranking {
    int level = 0;
    int listMode = 1;
    int pointsOrder = 1;
    std::vector<RankedStudent> shown;
};

} // namespace tobrel
