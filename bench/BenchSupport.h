// What the benchmarks share: a clock fixed on one school day, a sound-failure handler
// that does nothing, and a writer of big results files.
#pragma once
#include "state/Platform.h"
#include "state/ResultRecord.h"
#include "sound/SoundCues.h"

#include <QFile>

#include <functional>
#include <map>
#include <memory>
#include <random>

namespace tobrel::bench {

// One school of each size, made once per process: a million records take a while to write.
template <class School>
School &schoolOf(int64_t records)
{
    static std::map<int64_t, std::unique_ptr<School>> made;
    auto &s = made[records];
    if (!s)
        s = std::make_unique<School>(records);
    return *s;
}

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

// A run of a random student (1..5000) at a random level (1..6), dated within `days`
// days before today; one run in thirty timed out.
inline ResultRecord randomRun(std::mt19937 &gen, double today, int days)
{
    ResultRecord r;
    r.ResultRecDate = today - static_cast<double>(gen() % static_cast<unsigned>(days));
    r.ResultRecClock = (gen() % 86400) / 86400.0;
    r.ResultRecStudentNo = static_cast<int16_t>(1 + gen() % 5000);
    r.ResultRecLevel = static_cast<int16_t>(1 + gen() % 6);
    r.ResultRecTime = gen() % 30 == 0 ? 99999 : static_cast<int32_t>(15 + gen() % 200);
    return r;
}

} // namespace tobrel::bench
