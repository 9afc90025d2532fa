// Whole minutes since the current student logged in, shown on the drill screen and the
// hub; counted with the day as well, so they stay right across midnight.
#pragma once
#include "state/Platform.h"

namespace tobrel {

struct CurrentStudentState;

int minutesSinceLogin(const CurrentStudentState &student, const Clock &clock);

} // namespace tobrel
