// What the benchmarks share: a clock fixed on one school day, a sound-failure handler
// that does nothing, and a writer of big results files.
#pragma once
#include "state/Platform.h"
#include "state/ResultRecord.h"
#include "sound/SoundCues.h"

#include <QFile>

#include <functional>

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

// Writes a results file of `records` records, record i as make(i) gives it, a megabyte
// at a time.
inline void writeResultsFile(const QString &path, int64_t records, const std::function<ResultRecord(int64_t)> &make)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray bytes;
    for (int64_t i = 0; i < records; ++i) {
        const auto b = make(i).encode();
        bytes.append(b.data(), b.size());
        if (bytes.size() >= (1 << 20)) {
            f.write(bytes);
            bytes.clear();
        }
    }
    f.write(bytes);
}

} // namespace tobrel::bench
