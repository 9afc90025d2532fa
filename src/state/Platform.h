// The platform pieces that the program's logic uses, behind small interfaces so that
// tests can set the date, the time and the random numbers they need.
#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace tobrel {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    // Seconds since midnight, with fractions.
    virtual double timeOfDay() const = 0;
    // Milliseconds of a monotonic counter (the system's millisecond counter).
    virtual int64_t tickMs() const = 0;
};

class SystemClock final : public Clock {
public:
    QDate today() const override;
    double timeOfDay() const override;
    int64_t tickMs() const override;
};

// The program's one random generator: uniform numbers in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void seed(double seconds) = 0;
    virtual double next() = 0;
};

class SystemRandom final : public RandomSource {
public:
    SystemRandom();
    void seed(double seconds) override;
    double next() override;

private:
    uint64_t m_state;
};

// Waits a number of seconds while the screens keep running (retries of the shared
// files). The reason says, in words for the student, why the program waits and which
// try comes next; a screen shows it on its wait panel. Tests replace it so they do not
// sleep.
using WaitFunction = std::function<void(double seconds, const QString &reason)>;

// Starts a command as a new process without waiting for it; returns false when it
// could not be started.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
};

class SystemProcessStarter final : public ProcessStarter {
public:
    bool startDetached(const QString &program, const QStringList &arguments) override;
};

} // namespace tobrel
