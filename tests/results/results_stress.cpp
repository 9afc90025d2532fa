// A program the concurrency and crash tests start many times at once: it appends runs
// as the end of a run does, reads the file as the screens do, sends pending runs, or
// corrects records as the results manager does, and says on stdout what it did, one
// line per step, flushed at once (so a test that kills it knows what was acknowledged).
//
//   results_stress append <results> <writer> <first step> <count> [<pending>]
//       "A <record number or 0 when kept pending> <hex of the record>" after each run
//   results_stress read <results> <milliseconds>
//       reads again and again; exits 3 when a record is not one this program wrote
//   results_stress send <results> <pending>
//       "S <records sent>"
//   results_stress edit <results> <milliseconds> <seed>
//       "D <hex>" for a deleted record, "C <old hex> <new hex>" for a changed one
#include "results/ResultsFile.h"
#include "StressRecords.h"

#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

using namespace tobrel;

namespace {

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void sleepFor(double seconds, const QString & = {})
{
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(seconds * 1e6)));
}

int append(const QString &path, int writer, int first, int count, const QString &pending)
{
    ResultsFile file(path, sleepFor);
    if (!pending.isEmpty())
        file.setPendingFile(pending);
    AppendWait wait;
    wait.giveUpAfter = 30;
    for (int seq = first; seq < first + count; ++seq) {
        const ResultRecord r = test::stressRecord(writer, seq);
        const AppendOutcome out = file.appendRun(r, wait);
        if (out.status == AppendOutcome::Failed) {
            std::fprintf(stderr, "%s\n", out.message.toLocal8Bit().constData());
            return 2;
        }
        const auto bytes = r.encode();
        say("A " + QByteArray::number(static_cast<qint64>(out.recordNumber)) + ' ' +
            QByteArray(bytes.data(), kRecordSize).toHex());
    }
    return 0;
}

int read(const QString &path, int milliseconds)
{
    const ResultsFile file(path, sleepFor);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    int reads = 0;
    do {
        ResultsFile::Range range;
        QString error;
        if (!file.readAll(&range, &error)) {
            std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
            return 2;
        }
        for (qsizetype k = 0; k < range.bytes.size(); k += kRecordSize)
            if (!test::isStressRecord(range.bytes.constData() + k)) {
                std::fprintf(stderr, "record %lld is not whole\n",
                             static_cast<long long>(range.first + k / kRecordSize));
                return 3;
            }
        ++reads;
    } while (std::chrono::steady_clock::now() < until);
    say("R " + QByteArray::number(reads));
    return 0;
}

int send(const QString &path, const QString &pending)
{
    ResultsFile file(path, sleepFor);
    file.setPendingFile(pending);
    say("S " + QByteArray::number(static_cast<qint64>(file.sendPendingRuns())));
    return 0;
}

int edit(const QString &path, int milliseconds, unsigned seed)
{
    const ResultsFile file(path, sleepFor);
    std::mt19937 random(seed);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        ResultsFile::Range range;
        QString error;
        if (!file.readAll(&range, &error))
            return 2;
        const int64_t n = range.bytes.size() / kRecordSize;
        if (n == 0) {
            sleepFor(0.002);
            continue;
        }
        const int64_t k = std::uniform_int_distribution<int64_t>(0, n - 1)(random);
        ExpectedRecord expected{range.first + k, range.bytes.mid(static_cast<qsizetype>(k * kRecordSize), kRecordSize)};
        if (test::isChangedStressRecord(expected.bytes.constData()))
            continue; // each record is changed at most once, so every change can be traced
        if (random() % 2 == 0) {
            const RewriteOutcome out = file.deleteRecord(expected, QDateTime::currentDateTime());
            if (out.ok())
                say("D " + expected.bytes.toHex());
            else if (out.status == RewriteOutcome::Failed)
                return 2;
        } else {
            const ResultRecord changed = test::changedStressRecord(expected.bytes.constData());
            const RewriteOutcome out = file.changeRecord(expected, changed);
            const auto bytes = changed.encode();
            if (out.ok())
                say("C " + expected.bytes.toHex() + ' ' + QByteArray(bytes.data(), kRecordSize).toHex());
            else if (out.status == RewriteOutcome::Failed)
                return 2;
        }
        sleepFor(0.003);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList args = [&] {
        QStringList a;
        for (int i = 1; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    const QString mode = args.value(0);
    if (mode == u"append" && args.size() >= 5)
        return append(args[1], args[2].toInt(), args[3].toInt(), args[4].toInt(), args.value(5));
    if (mode == u"read" && args.size() == 3)
        return read(args[1], args[2].toInt());
    if (mode == u"send" && args.size() == 3)
        return send(args[1], args[2]);
    if (mode == u"edit" && args.size() == 4)
        return edit(args[1], args[2].toInt(), args[3].toUInt());
    std::fprintf(stderr, "usage: see the top of results_stress.cpp\n");
    return 1;
}
