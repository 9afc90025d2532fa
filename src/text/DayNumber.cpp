#include "text/DayNumber.h"

#include <cmath>

namespace tobrel {

QTime timeFromFraction(double fraction)
{
    if (!std::isfinite(fraction))
        return QTime(0, 0);
    double f = fraction - std::floor(fraction);
    int secs = static_cast<int>(std::lround(f * 86400.0));
    if (secs >= 86400)
        secs = 86399;
    return QTime(0, 0).addSecs(secs);
}

} // namespace tobrel
