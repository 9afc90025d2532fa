#include "state/Platform.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>

namespace tobrel {

QDate SystemClock::today() const { return QDate::currentDate(); }

double SystemClock::timeOfDay() const { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

int64_t SystemClock::tickMs() const
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

SystemRandom::SystemRandom() : m_state(0x853c49e6748fea9bULL) {}

void SystemRandom::seed(double seconds)
{
    m_state = 0x9E3779B97F4A7C15ULL ^ static_cast<uint64_t>(seconds * 1000.0);
    next();
}

double SystemRandom::next()
{
    // splitmix64: small, fast and uniform enough for choosing problems and sounds.
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

bool SystemProcessStarter::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace tobrel
