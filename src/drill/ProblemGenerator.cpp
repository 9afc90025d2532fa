#include "drill/ProblemGenerator.h"

#include <algorithm>
#include <cmath>

namespace tobrel {

int ProblemGenerator::next(int level)
{
    // Only levels 1..6 have ranges; anything else is drawn like the nearest of them.
    const int span = 3 * std::clamp(level, 1, 6);
    int n;
    do {
        n = static_cast<int>(std::floor(m_random.next() * span + 10));
    } while (m_previous && *m_previous == n);
    m_previous = n;
    m_current = static_cast<float>(n);
    m_answer = std::pow(static_cast<double>(n), 2);
    return n;
}

void ProblemGenerator::reset()
{
    m_current = 0;
    m_previous.reset();
    m_answer = 0;
}

} // namespace tobrel
