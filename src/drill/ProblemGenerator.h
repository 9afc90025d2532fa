// Problems of the drill: the square of a two-digit number N drawn for the level
// (10..12 at level 1 up to 10..27 at level 6), never the number just asked.
#pragma once
#include "state/Platform.h"

#include <optional>

namespace tobrel {

class ProblemGenerator {
public:
    explicit ProblemGenerator(RandomSource &random) : m_random(random) {}

    // Draws the next N for the level (1..6) and returns it; the answer is N squared.
    int next(int level);

    float CurrentNumber() const { return m_current; }
    std::optional<int> PreviousNumber() const { return m_previous; }
    double CorrectAnswer() const { return m_answer; }
    // Forgets the previous number: every run starts afresh.
    void reset();

private:
    RandomSource &m_random;
    float m_current = 0;
    std::optional<int> m_previous;
    double m_answer = 0;
};

} // namespace tobrel
