// The whole program as a school meets it: the real executable, started as a process on
// a real X server, on a big school made by the demo generator (5000 students, a
// results file of 20000 runs unless TOBREL_BENCH_RECORDS says otherwise, 6 levels).
//
//   BM_StartToRosterPainted      from starting the process to the roster screen painted
//                                (told by the program; its ending afterwards is not counted)
//                                (goal: under 0.3 s, also at the 90th percentile; 20
//                                runs, median, 90th percentile, fastest and slowest)
//   BM_LogInKeyToHubPainted      from the log-in key (Enter on a chosen name) to the hub
//                                screen painted, as the program sees the key (goal:
//                                under 100 ms)
//   BM_LogInKeyRightAfterRoster  the same log-in, its keys typed the moment the roster
//                                screen is painted, while the program may still be doing
//                                what it does once the roster is up (goal: no slower
//                                than the log-in typed later)
//   BM_FirstAnswerOfFirstRun     the first answer of the first run after the start: from
//                                the space key to the next problem painted, the time the
//                                device took to play the correct-answer sound left out
//                                (goal: under 5 ms); counter "later_ms": the second
//                                answer, measured the same way. Played through SDL's dummy
//                                driver, which plays in real time without a device.
//   BM_PeakMemoryRosterToEnd     the peak resident memory of the program driven through
//                                roster -> hub -> a run of level 1 -> end screen (goal:
//                                under 100 MB). The run times out: level 1's pass-line
//                                time is 1 s here, so the run ends after 5 s.
//
// The program is told through its environment to report each screen painted and to end
// once the screen a benchmark waits for is painted (ui/PaintProbe.h). Keys go in through
// the X server with xdotool. Without DISPLAY the benchmark starts its own Xvfb, which
// stays up between the program's starts as a desktop's display server does (unless
// TOBREL_BENCH_X_RESETS=1); the screen size is 1024x768 unless TOBREL_BENCH_SCREEN says
// otherwise (e.g. 1920x1080).
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

std::string screenSize()
{
    const char *s = std::getenv("TOBREL_BENCH_SCREEN");
    return s && *s ? s : "1024x768";
}

std::string schoolRecords()
{
    const char *s = std::getenv("TOBREL_BENCH_RECORDS");
    return s && *s ? s : "20000";
}

// A process started with extra environment, its standard error readable line by line.
class Child {
public:
    Child(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv, const std::string &dir,
          bool readErrors)
    {
        std::vector<std::string> env;
        for (char **e = environ; *e; ++e) {
            const std::string entry(*e);
            bool replaced = false;
            for (const std::string &x : extraEnv)
                replaced = replaced || entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
            if (!replaced)
                env.push_back(entry);
        }
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char *> envp, args;
        for (std::string &e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argCopy = argv;
        for (std::string &a : argCopy)
            args.push_back(a.data());
        args.push_back(nullptr);

        int errPipe[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (readErrors && ::pipe2(errPipe, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        }
        if (!dir.empty())
            posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (errPipe[1] >= 0)
            ::close(errPipe[1]);
        m_err = errPipe[0];
    }
    ~Child()
    {
        if (m_pid > 0 && !m_done) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
        if (m_err >= 0)
            ::close(m_err);
    }
    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    // The next line of standard error that starts with prefix, or nothing when the
    // process ends or the time runs out first.
    std::optional<std::string> lineStartingWith(const std::string &prefix, double timeoutSeconds)
    {
        const auto start = Clock::now();
        for (;;) {
            const size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                if (line.compare(0, prefix.size(), prefix) == 0)
                    return line;
                continue;
            }
            const double left = timeoutSeconds - secondsSince(start);
            if (m_err < 0 || left <= 0)
                return std::nullopt;
            pollfd p{m_err, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t got = ::read(m_err, chunk, sizeof chunk);
            if (got <= 0)
                return std::nullopt;
            m_buffer.append(chunk, static_cast<size_t>(got));
        }
    }

    // What is left of standard error, for a message when something went wrong.
    std::string lastLines()
    {
        pollfd p{m_err, POLLIN, 0};
        char chunk[4096];
        ssize_t got = 0;
        while (m_err >= 0 && ::poll(&p, 1, 500) > 0 && (got = ::read(m_err, chunk, sizeof chunk)) > 0)
            m_buffer.append(chunk, static_cast<size_t>(got));
        return m_buffer.empty() ? std::string()
                                : ": " + m_buffer.substr(m_buffer.size() > 600 ? m_buffer.size() - 600 : 0);
    }

    // Waits for the end; the exit status (-1 when killed) and the peak memory in KiB.
    int wait(long *peakKiB = nullptr)
    {
        if (m_pid <= 0)
            return -1;
        int status = 0;
        rusage usage{};
        while (::wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        m_done = true;
        if (peakKiB)
            *peakKiB = usage.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_err = -1;
    bool m_done = false;
    std::string m_buffer;
};

// An X server for the benchmarks: the one in DISPLAY, or an Xvfb of our own.
class XServer {
public:
    XServer()
    {
        if (const char *d = std::getenv("DISPLAY"); d && *d) {
            m_display = d;
            return;
        }
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        // Xvfb writes its display number to the descriptor once it is ready.
        const std::string fd = std::to_string(fds[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const std::string screen = screenSize() + "x24";
        std::vector<std::string> argv = {"Xvfb", "-displayfd", fd, "-screen", "0", screen, "-nolisten", "tcp"};
        // A classroom PC's display server stays up while the desktop's own programs are
        // connected to it. An Xvfb whose only client is the program would reset itself
        // each time the program ends, and every start would meet a server made afresh
        // (its screen's memory new, its keyboard map compiled again): no student waits
        // for that. TOBREL_BENCH_X_RESETS=1 measures that case all the same.
        if (const char *r = std::getenv("TOBREL_BENCH_X_RESETS"); !r || std::string(r) != "1")
            argv.push_back("-noreset");
        std::vector<char *> args;
        for (std::string &a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        ::fcntl(fds[1], F_SETFD, 0); // open in Xvfb
        if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, args.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        // The number comes as a line, possibly in more than one write: the pipe stays
        // open until the whole line is in, since Xvfb gives up when a write to it fails.
        std::string number;
        const auto start = Clock::now();
        while (m_pid > 0 && number.find('\n') == std::string::npos) {
            const double left = 20 - secondsSince(start);
            pollfd p{fds[0], POLLIN, 0};
            char chunk[32];
            ssize_t got = 0;
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0 ||
                (got = ::read(fds[0], chunk, sizeof chunk)) <= 0)
                break;
            number.append(chunk, static_cast<size_t>(got));
        }
        if (number.find('\n') != std::string::npos)
            m_display = ":" + std::to_string(std::atoi(number.c_str()));
        ::close(fds[0]);
    }
    ~XServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status;
            ::waitpid(m_pid, &status, 0);
        }
    }
    const std::string &display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// Longer than the program's type-ahead window after a screen comes up.
constexpr int kAfterScreenUpMs = 700;

// The big school, with the program installed in its program folder.
struct BigSchool {
    QTemporaryDir dir;
    std::string programFolder;
    std::string problem;
    BigSchool()
    {
        const QString root = dir.path() + QStringLiteral("/suite");
        Child maker({TOBREL_DEMO_TOOL, root.toStdString(), "--students", "5000", "--records", schoolRecords(),
                     "--pass-time1", "1"},
                    {}, {}, false);
        if (maker.wait() != 0) {
            problem = "the demo generator failed";
            return;
        }
        const QString folder = root + QStringLiteral("/tobrel");
        QDir().mkpath(folder);
        if (!QFile::copy(QStringLiteral(TOBREL_PROGRAM), folder + QStringLiteral("/tobrel"))) {
            problem = "cannot install the program";
            return;
        }
        programFolder = folder.toStdString();
    }
};

struct Rig {
    XServer x;
    BigSchool school;
    std::string problem() const
    {
        if (x.display().empty())
            return "no X server (set DISPLAY, or install Xvfb)";
        return school.problem;
    }
    // Starts the program, which ends once `exitAfter` has been painted (never when it is
    // ""); the paints of widgets named `widget` are told too.
    std::unique_ptr<Child> start(const std::string &exitAfter, const std::string &widget = {}) const
    {
        return std::make_unique<Child>(std::vector<std::string>{school.programFolder + "/tobrel"},
                                       std::vector<std::string>{"DISPLAY=" + x.display(), "QT_QPA_PLATFORM=xcb",
                                                                "SDL_AUDIODRIVER=dummy", "TOBREL_PAINT_LOG=1",
                                                                "TOBREL_EXIT_WHEN_PAINTED=" + exitAfter,
                                                                "TOBREL_PAINT_WIDGET=" + widget},
                                       school.programFolder, true);
    }
    // Presses keys on the X server, one after the other, as a student does once the
    // screen is up: the program drops keys that come within half a second of a screen
    // coming up as typed at the screen before. The figures count from the key the
    // program takes, so the pause is not in them.
    bool keys(const std::vector<std::string> &names, bool pauseFirst = true) const
    {
        if (pauseFirst)
            std::this_thread::sleep_for(std::chrono::milliseconds(kAfterScreenUpMs));
        std::vector<std::string> argv = {"xdotool", "key", "--delay", "40"};
        argv.insert(argv.end(), names.begin(), names.end());
        Child xdotool(argv, {"DISPLAY=" + x.display()}, {}, false);
        return xdotool.wait() == 0;
    }
};

Rig &rig()
{
    static Rig r;
    return r;
}

// "painted <form> <ms since start> <ms since the last key>": the last figure.
double msSinceKey(const std::string &line)
{
    const size_t last = line.rfind(' ');
    return last == std::string::npos ? -1 : std::atof(line.c_str() + last + 1);
}

void BM_StartToRosterPainted(benchmark::State &bs)
{
    Rig &r = rig();
    if (!r.problem().empty()) {
        bs.SkipWithError(r.problem().c_str());
        return;
    }
    for (auto _ : bs) {
        // From starting the process to the program telling that the roster screen is on
        // the display: the student waits for that, not for the process to end after it.
        const auto start = Clock::now();
        auto program = r.start("namesel");
        const bool painted = program->lineStartingWith("painted namesel ", 60).has_value();
        const double seconds = secondsSince(start);
        const int status = program->wait();
        if (!painted || status != 0) {
            const std::string why = "the program did not end after painting the roster screen on " + r.x.display() +
                                    " (status " + std::to_string(status) + ")" + program->lastLines();
            bs.SkipWithError(why.c_str());
            return;
        }
        bs.SetIterationTime(seconds);
    }
}

// The log-in on the first name (Down, then Enter), typed a while after the roster screen
// is painted or (`atOnce`) the moment it is.
void logInKeyToHubPainted(benchmark::State &bs, bool atOnce)
{
    Rig &r = rig();
    if (!r.problem().empty()) {
        bs.SkipWithError(r.problem().c_str());
        return;
    }
    for (auto _ : bs) {
        auto program = r.start("seisekitime1");
        const bool rosterShown = program->lineStartingWith("painted namesel ", 60).has_value();
        // The first name, then Enter: the log-in key.
        const bool pressed = rosterShown && r.keys({"Down", "Return"}, !atOnce);
        const auto hub = pressed ? program->lineStartingWith("painted seisekitime1 ", 60) : std::nullopt;
        const int status = program->wait();
        if (!hub || status != 0 || msSinceKey(*hub) < 0) {
            const std::string why = "the hub screen was not painted after the log-in key" + program->lastLines();
            bs.SkipWithError(why.c_str());
            return;
        }
        bs.SetIterationTime(msSinceKey(*hub) / 1000.0);
    }
}

void BM_LogInKeyToHubPainted(benchmark::State &bs) { logInKeyToHubPainted(bs, false); }
void BM_LogInKeyRightAfterRoster(benchmark::State &bs) { logInKeyToHubPainted(bs, true); }

// The text at the end of "painted qLabel1 <ms> <ms> <text>" (the problem's number), or
// "" when the label was painted empty.
std::string paintedText(const std::string &line)
{
    std::vector<std::string> words;
    for (size_t at = 0; at < line.size();) {
        const size_t space = line.find(' ', at);
        words.push_back(line.substr(at, space == std::string::npos ? std::string::npos : space - at));
        at = space == std::string::npos ? line.size() : space + 1;
    }
    return words.size() > 4 ? words[4] : std::string();
}

// One answer on the drill screen: the square of the problem shown, then the space key.
// Returns the milliseconds from the space key to the next problem painted, less what
// the device took to play the sounds meanwhile; -1 when the next problem never came.
// `problem` is the number shown, and becomes the next one.
double answerOnce(const Rig &r, Child &program, std::string &problem)
{
    const long n = std::atol(problem.c_str());
    std::vector<std::string> keys;
    for (const char digit : std::to_string(n * n))
        keys.push_back(std::string(1, digit));
    keys.push_back("space");
    if (n <= 0 || !r.keys(keys))
        return -1;
    double soundMs = 0;
    for (;;) {
        const auto line = program.lineStartingWith("", 30);
        if (!line)
            return -1;
        if (line->compare(0, 6, "sound ") == 0) {
            soundMs += std::atof(line->c_str() + 6);
            continue;
        }
        if (line->compare(0, 16, "painted qLabel1 ") != 0)
            continue;
        const std::string shown = paintedText(*line);
        // The label is emptied before it takes the next number, which is never the same
        // as the one before.
        if (shown.empty() || shown == problem)
            continue;
        problem = shown;
        return msSinceKey(line->substr(0, line->rfind(' '))) - soundMs;
    }
}

void BM_FirstAnswerOfFirstRun(benchmark::State &bs)
{
    Rig &r = rig();
    if (!r.problem().empty()) {
        bs.SkipWithError(r.problem().c_str());
        return;
    }
    std::vector<double> later;
    for (auto _ : bs) {
        auto program = r.start("", "qLabel1");
        const char *failed = nullptr;
        std::optional<std::string> first;
        if (!program->lineStartingWith("painted namesel ", 60))
            failed = "the roster screen was not painted";
        else if (!r.keys({"Down", "Return"}) || !program->lineStartingWith("painted seisekitime1 ", 60))
            failed = "the hub screen was not painted after the log-in";
        // Level 2: level 1 of this school times out after 5 s.
        else if (!r.keys({"2"}) || !(first = program->lineStartingWith("painted qLabel1 ", 60)))
            failed = "the drill screen showed no problem after the key 2";
        std::string problem = first ? paintedText(*first) : std::string();
        const double firstMs = failed ? -1 : answerOnce(r, *program, problem);
        const double secondMs = firstMs < 0 ? -1 : answerOnce(r, *program, problem);
        if (!failed && (firstMs < 0 || secondMs < 0))
            failed = "the next problem was not painted after an answer";
        if (failed) {
            const std::string why = failed + program->lastLines();
            bs.SkipWithError(why.c_str());
            return;
        }
        later.push_back(secondMs);
        bs.SetIterationTime(firstMs / 1000.0);
    }
    std::sort(later.begin(), later.end());
    bs.counters["later_ms"] = later.empty() ? 0 : later[later.size() / 2];
}

void BM_PeakMemoryRosterToEnd(benchmark::State &bs)
{
    Rig &r = rig();
    if (!r.problem().empty()) {
        bs.SkipWithError(r.problem().c_str());
        return;
    }
    long peakKiB = 0;
    for (auto _ : bs) {
        const auto start = Clock::now();
        auto program = r.start("FrmSyuuryou");
        const char *failed = nullptr;
        if (!program->lineStartingWith("painted namesel ", 60))
            failed = "the roster screen was not painted";
        else if (!r.keys({"Down", "Return"}) || !program->lineStartingWith("painted seisekitime1 ", 60))
            failed = "the hub screen was not painted after the log-in";
        else if (!r.keys({"1"}) || !program->lineStartingWith("painted MainFrm ", 60))
            failed = "the drill screen was not painted after the key 1";
        else if (!program->lineStartingWith("painted FrmSyuuryou ", 120))
            failed = "the end screen was not painted after the run";
        const int status = program->wait(&peakKiB);
        if (failed || status != 0) {
            const std::string why =
                (failed ? failed : "the program did not end after painting the end screen") + program->lastLines();
            bs.SkipWithError(why.c_str());
            return;
        }
        bs.SetIterationTime(secondsSince(start));
    }
    bs.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

double minOf(const std::vector<double> &v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double maxOf(const std::vector<double> &v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
// The 90th percentile: the value that 90 % of the runs do not exceed.
double p90Of(const std::vector<double> &v)
{
    if (v.empty())
        return 0;
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    const size_t at = (sorted.size() * 9 + 9) / 10; // ceil(0.9 n), counted from 1
    return sorted[std::min(sorted.size(), std::max<size_t>(at, 1)) - 1];
}

// One run of the program per repetition, timed from its own report; the median (among
// Google Benchmark's own statistics), the 90th percentile, and the fastest and slowest
// run.
void wholeProgramRuns(benchmark::internal::Benchmark *b, int repetitions)
{
    b->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(repetitions)
        ->ComputeStatistics("p90", p90Of)
        ->ComputeStatistics("min", minOf)
        ->ComputeStatistics("max", maxOf)
        ->ReportAggregatesOnly(true);
}

BENCHMARK(BM_StartToRosterPainted)->Apply([](benchmark::internal::Benchmark *b) { wholeProgramRuns(b, 20); });
BENCHMARK(BM_LogInKeyToHubPainted)->Apply([](benchmark::internal::Benchmark *b) { wholeProgramRuns(b, 8); });
BENCHMARK(BM_LogInKeyRightAfterRoster)->Apply([](benchmark::internal::Benchmark *b) { wholeProgramRuns(b, 8); });
BENCHMARK(BM_FirstAnswerOfFirstRun)->Apply([](benchmark::internal::Benchmark *b) { wholeProgramRuns(b, 8); });
BENCHMARK(BM_PeakMemoryRosterToEnd)->Apply([](benchmark::internal::Benchmark *b) { wholeProgramRuns(b, 3); });

} // namespace

BENCHMARK_MAIN();
