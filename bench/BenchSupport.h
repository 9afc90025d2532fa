// What the benchmarks share: a clock fixed on one school day and a sound-failure
// handler that does nothing.
#pragma once
#include "state/Platform.h"
#include "sound/SoundCues.h"

namespace tobrel::bench {

class FixedClock final : public Clock {
public:
    QDate today() const override { return QDate(2026, 12, 10); }
    double timeOfDay() const override { return 36000; }
    int64_t tickMs() const override { return 0; }
};

struct NoFailure final : SoundFailureHandler {
    void soundFailed(const QString &, const QString &) override {}
};

} // namespace tobrel::bench
