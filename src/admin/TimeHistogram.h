// The distribution of every recorded time of a level, shown beside the criteria grid as
// two text histograms: all results in buckets of ten seconds (0 to 1000 and more), and
// each student's best time in the same buckets up to 300 and more. One "★" stands for
// `scale` results, the scale chosen so that the fullest bucket shows about ten stars.
//
// The tables of every level come from one pass over the whole results file, read under
// its shared lock. They are kept until the file's size or modification time changes, so
// moving about the grid does not read the file again.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tobrel {

class ResultsFile;

class TimeHistogram {
public:
    static constexpr int kLevels = 50; // levels 1..50 have tables
    static constexpr int kBuckets = 100; // buckets 0..100 of all results
    static constexpr int kBestBuckets = 30; // buckets 0..30 of best times

    // Brings the tables up to date with the results file. A missing file in an existing
    // folder counts as no results. Returns "" or a message naming the file.
    QString update(const ResultsFile &file);
    // Builds the tables from whole 44-byte records.
    void build(const QByteArray &records);

    // The all-results list of a level: the heading, then 101 bucket lines.
    QStringList allResultsLines(int level) const;
    // The best-time list of a level: the heading, then 101 bucket lines.
    QStringList bestTimeLines(int level) const;

    int64_t runCount(int level) const;
    int64_t allResults(int level, int bucket) const;
    int64_t bestTimes(int level, int bucket) const;
    // How many times the file has been read (the tables are kept between reads).
    int fileReads() const { return m_fileReads; }

    struct Stamp {
        int64_t size = -1; // -1: no file
        int64_t modifiedNs = 0;
        uint64_t device = 0, inode = 0;
        bool operator==(const Stamp &) const = default;
    };

private:
    class Builder;
    // Buckets 0..100 and one scratch slot after them that building the best-time table
    // uses for a student's first run (it holds nothing once the tables are built).
    static constexpr int kScratchBucket = kBuckets + 1;
    using Row = std::array<int64_t, kBuckets + 2>;
    static QStringList lines(const QString &heading, const Row &counts, int64_t scale);
    static int64_t scaleOf(const Row &counts);

    std::vector<int64_t> m_runs = std::vector<int64_t>(kLevels + 1);
    std::vector<Row> m_all = std::vector<Row>(kLevels + 1);
    std::vector<Row> m_best = std::vector<Row>(kLevels + 1);
    std::optional<Stamp> m_stamp;
    int m_fileReads = 0;
};

} // namespace tobrel
