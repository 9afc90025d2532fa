// The level criteria as the shared state holds them: twelve teacher-set values per
// level. Entry k holds level k; entry 0 receives the criteria file's header line and is
// never used as a level. Reading and writing the file is the criteria folder's part.
#pragma once
#include "state/Tables.h"
#include "text/Variant.h"

#include <array>
#include <cstdint>

namespace tobrel {

struct CriteriaTable {
    std::array<int32_t, kLevelSlots> CritTargetTime{}; // seconds: the target time
    std::array<int32_t, kLevelSlots> CritPassTime{}; // seconds: the pass-line time
    std::array<int32_t, kLevelSlots> CritClearPoints{}; // points to clear the level
    std::array<int16_t, kLevelSlots> CritClearCount{}; // completed runs to clear it
    std::array<float, kLevelSlots> CritPointRate{}; // point multiplier
    std::array<Variant, kLevelSlots> CritOverRuns; // runs that bar practice; 0 = none
    std::array<Variant, kLevelSlots> CritOverPoints; // points that bar practice; 0 = none
    std::array<Variant, kLevelSlots> CritPassDays; // the pass window, days
    std::array<Variant, kLevelSlots> CritOverDays; // the over-practice window, days
    std::array<Variant, kLevelSlots> CritSpare10;
    std::array<Variant, kLevelSlots> CritSpare11;
    std::array<Variant, kLevelSlots> CritSpare12;

    bool operator==(const CriteriaTable &) const = default;
};

} // namespace tobrel
