// Fixtures shared by the tests: a settable clock, a scripted random generator and
// temporary folders with CP932 files.
#pragma once
#include "state/Platform.h"
#include "state/ResultRecord.h"
#include "results/Tally.h"
#include "text/Cp932.h"
#include "text/DayNumber.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <deque>
#include <functional>
#include <vector>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tobrel::test {

class FakeClock final : public Clock {
public:
    QDate date = QDate(2024, 2, 7);
    double seconds = 10 * 3600;
    mutable int64_t ticks = 0;
    int64_t tickStep = 1; // the millisecond counter moves on by this much at every look
    QDate today() const override { return date; }
    double timeOfDay() const override { return seconds; }
    int64_t tickMs() const override { return ticks += tickStep; }
    // Moves the clock on, across midnight when needed.
    void advance(double s)
    {
        seconds += s;
        while (seconds >= 86400) {
            seconds -= 86400;
            date = date.addDays(1);
        }
    }
};

// Returns the scripted numbers in order; once they are used up it walks on from the
// last one in steps of `step` (0 repeats the last number for ever).
class ScriptedRandom final : public RandomSource {
public:
    std::deque<double> values;
    double last = 0.0;
    double step = 0.0;
    double seededWith = -1;
    void seed(double s) override { seededWith = s; }
    double next() override
    {
        if (!values.empty()) {
            last = values.front();
            values.pop_front();
        } else if (step != 0.0) {
            last += step;
            last -= static_cast<int>(last);
        }
        return last;
    }
};

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The one way the tests make a stored run: the student, the level and the time, in that
// order, on a day, at a time of day, of a school. A test sets what it cares about once
// and names the rest where it differs:
//   const TestRun rec = TestRun{}.on(QDate(2024, 2, 7)).ofSchool(QStringLiteral("01234"));
//   write({rec(1, 1, 45), rec.on(45001)(2, 3, 50)});
struct TestRun {
    double day = 45000; // day number
    double timeOfDay = 0.5; // fraction of the day
    QString school; // the school code; empty leaves the field blank

    TestRun on(double number) const
    {
        TestRun r = *this;
        r.day = number;
        return r;
    }
    TestRun on(const QDate &date) const { return on(dayNumber(date)); }
    TestRun at(double fractionOfDay) const
    {
        TestRun r = *this;
        r.timeOfDay = fractionOfDay;
        return r;
    }
    TestRun atSecond(int secondOfDay) const { return at(secondOfDay / 86400.0); }
    TestRun ofSchool(const QString &code) const
    {
        TestRun r = *this;
        r.school = code;
        return r;
    }
    ResultRecord operator()(int student, int level, int32_t time) const
    {
        ResultRecord r;
        r.ResultRecDate = day;
        r.ResultRecClock = timeOfDay;
        r.ResultRecStudentNo = static_cast<int16_t>(student);
        r.ResultRecLevel = static_cast<int16_t>(level);
        r.ResultRecTime = time;
        if (!school.isEmpty())
            r.setSchool(school);
        return r;
    }
};

// The bytes of a results file holding these records.
inline QByteArray recordBytes(const std::vector<ResultRecord> &records)
{
    QByteArray out;
    for (const ResultRecord &r : records) {
        const auto b = r.encode();
        out.append(b.data(), b.size());
    }
    return out;
}

inline QByteArray readFileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeCp932(const QString &path, const QString &text) { return writeFile(path, toCp932(text)); }

// A disk that is full for this process while the object lives: no file may grow past
// `bytes` (writes beyond fail as on a full disk, with EFBIG), as the system enforces it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit small = m_old;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_handler)(int);
};

// The exit status a body run by inOwnMountNamespace gives when it cannot set up.
constexpr int kNoMountNamespace = 100;

// Runs `body` in a child process with a mount namespace of its own, where mounts (a
// second mount of a folder, another file system) are made without touching the rest of
// the machine and vanish with the child. Returns the body's result, or -1 when this
// system gives no such namespace (or the body returned kNoMountNamespace).
inline int inOwnMountNamespace(const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if ((::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(kNoMountNamespace);
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == kNoMountNamespace)
        return -1;
    return WEXITSTATUS(status);
}

// Records the run of CurrentStudent at CurrentLevel with time RunTime, waiting for the
// lock however long it takes. Returns an error text or "".
inline QString WriteResultRecord(SharedState &state, const Clock &clock, const ResultsFile &file)
{
    const AppendOutcome outcome =
        tobrel::WriteResultRecord(runRecord(state, clock, state.run.CurrentLevel), file, AppendWait{});
    return outcome.status == AppendOutcome::Written ? QString() : outcome.message;
}

} // namespace tobrel::test
