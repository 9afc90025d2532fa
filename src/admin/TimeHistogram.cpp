#include "admin/TimeHistogram.h"

#include "results/ResultsFile.h"
#include "text/FixedWidth.h"
#include "text/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace tobrel {
namespace {

// Ten seconds a bucket; the last bucket holds everything from its lower bound on (timed
// out runs, 99999, among them). A negative time, which no run can have, counts as 0.
int bucketOf(int32_t time, int last)
{
    if (time < 0)
        return 0;
    return std::min(time / 10, last);
}

bool stampOf(const QString &path, TimeHistogram::Stamp *stamp)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    stamp->size = static_cast<int64_t>(st.st_size);
    stamp->modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp->device = static_cast<uint64_t>(st.st_dev);
    stamp->inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

} // namespace

// One pass over the records: counts per bucket, and for each student and level the
// bucket of their best (lowest) time. Buckets rise with the time, so the lowest bucket is
// the best time's bucket; the student counts in the best-time table at that bucket and
// moves down whenever a faster run comes.
class TimeHistogram::Builder {
public:
    explicit Builder(TimeHistogram &h) : m_h(h), m_bestBucket(static_cast<size_t>(kLevels + 1) * kStudentSlots, kNone)
    {
        std::fill(h.m_runs.begin(), h.m_runs.end(), 0);
        for (Row &row : h.m_all)
            row.fill(0);
        for (Row &row : h.m_best)
            row.fill(0);
    }
    void add(const char *p, int64_t count)
    {
        for (int64_t k = 0; k < count; ++k, p += kRecordSize) {
            const ResultRecord::Numbers r = ResultRecord::decodeNumbers(p);
            // Levels past the tables cannot be shown.
            if (!isStudentRun(r) || r.level > kLevels)
                continue;
            ++m_h.m_runs[r.level];
            ++m_h.m_all[r.level][bucketOf(r.time, kBuckets)];
            uint8_t &best = m_bestBucket[static_cast<size_t>(r.level) * kStudentSlots + static_cast<size_t>(r.student)];
            // Without a branch: out of the old bucket (the scratch slot the first time),
            // into the new one, which is the same when the time is no better.
            const auto bucket = std::min(best, static_cast<uint8_t>(bucketOf(r.time, kBestBuckets)));
            Row &table = m_h.m_best[r.level];
            --table[best];
            ++table[bucket];
            best = bucket;
        }
    }

    void finish()
    {
        for (Row &row : m_h.m_best)
            row[kScratchBucket] = 0;
    }

private:
    static constexpr uint8_t kNone = kScratchBucket;
    TimeHistogram &m_h;
    std::vector<uint8_t> m_bestBucket;
};

void TimeHistogram::build(const QByteArray &records)
{
    Builder builder(*this);
    builder.add(records.constData(), records.size() / kRecordSize);
    builder.finish();
}

QString TimeHistogram::update(const ResultsFile &file)
{
    const QString &path = file.path();
    // Runs this PC kept while the share was away go into the results file when it is
    // opened: while there are any, the file is read again.
    Stamp pending;
    if (!file.pendingFile().isEmpty() && stampOf(file.pendingFile(), &pending) && pending.size > 0)
        m_stamp.reset();
    Stamp before;
    if (!stampOf(path, &before)) {
        const int err = errno;
        if (err != ENOENT || !QFileInfo(path).absoluteDir().exists()) {
            build({});
            m_stamp.reset();
            return QStringLiteral("成績ファイル %1 を読めません（%2）").arg(path, systemErrorText(err));
        }
        if (pending.size <= 0) {
            // No run has been recorded yet.
            if (!(m_stamp && *m_stamp == before)) {
                build({});
                m_stamp = before;
            }
            return {};
        }
    } else if (m_stamp && *m_stamp == before) {
        return {};
    }

    Builder builder(*this);
    ResultsFile::ScanInfo info;
    QString error;
    const bool read = file.scan(
        [&](int64_t, const char *bytes, int64_t count) {
            builder.add(bytes, count);
            return true;
        },
        &info, &error);
    builder.finish();
    if (!read) {
        build({});
        m_stamp.reset();
        return error;
    }
    ++m_fileReads;
    // Keep the tables for this stamp only when nothing changed the file while it was read.
    Stamp after;
    if (stampOf(path, &after) && after == before)
        m_stamp = before;
    else
        m_stamp.reset();
    return {};
}

int64_t TimeHistogram::runCount(int level) const { return level >= 1 && level <= kLevels ? m_runs[level] : 0; }

int64_t TimeHistogram::allResults(int level, int bucket) const
{
    return level >= 1 && level <= kLevels && bucket >= 0 && bucket <= kBuckets ? m_all[level][bucket] : 0;
}

int64_t TimeHistogram::bestTimes(int level, int bucket) const
{
    return level >= 1 && level <= kLevels && bucket >= 0 && bucket <= kBuckets ? m_best[level][bucket] : 0;
}

int64_t TimeHistogram::scaleOf(const Row &counts)
{
    const int64_t most = *std::max_element(counts.begin(), counts.begin() + kBuckets + 1);
    return std::max<int64_t>(most / 10, 1);
}

QStringList TimeHistogram::lines(const QString &heading, const Row &counts, int64_t scale)
{
    QStringList out;
    out.reserve(kBuckets + 2);
    out << heading;
    for (int i = 0; i <= kBuckets; ++i) {
        // Stars rounded half up: count ÷ scale + 0.5, whole part.
        const int64_t stars = (2 * counts[i] + scale) / (2 * scale);
        out << alignRight(QString::number(i * 10), 4) + u'～' + QString(stars, u'★');
    }
    return out;
}

QStringList TimeHistogram::allResultsLines(int level) const
{
    const Row none{};
    const Row &row = level >= 1 && level <= kLevels ? m_all[level] : none;
    const int64_t scale = scaleOf(row);
    return lines(QStringLiteral("レベル%1 今まで%2回  （★=%3）").arg(level).arg(runCount(level)).arg(scale), row,
                 scale);
}

QStringList TimeHistogram::bestTimeLines(int level) const
{
    const Row none{};
    const Row &row = level >= 1 && level <= kLevels ? m_best[level] : none;
    const int64_t scale = scaleOf(row);
    return lines(QStringLiteral("レベル%1 （★=%2）").arg(level).arg(scale), row, scale);
}

} // namespace tobrel
