#include "state/LoginMinutes.h"

#include "state/SharedState.h"
#include "text/DayNumber.h"

#include <cmath>

namespace tobrel {

int minutesSinceLogin(const CurrentStudentState &st, const Clock &clock)
{
    const double days = st.loginDay == 0 ? 0.0 : dayNumber(clock.today()) - st.loginDay;
    const double seconds = std::floor(days * 86400.0 + clock.timeOfDay() - st.LoginTime);
    return static_cast<int>(static_cast<long long>(seconds) / 60);
}

} // namespace tobrel
