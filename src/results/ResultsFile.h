// The results file "成績累積データ.dat": 44-byte records appended by the end of every
// run and read back by every screen that shows counts.
//
// Appends take an exclusive lock, write the whole record after the last whole one in
// one write and flush it to the disk before the lock is released; readers take a
// shared lock, so several program copies on one data folder never lose or tear a
// record. A trailing partial record is ignored by readers and overwritten by the next
// append.
#pragma once
#include "state/Platform.h"
#include "state/ResultRecord.h"
#include "state/Tables.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace tobrel {

inline QString resultsFileName() { return QStringLiteral("成績累積データ.dat"); }

// A damaged record: its level or its student number lies outside the tables (levels
// 0..35, students 0..5000). Every reader of the results file skips such a record and
// reports it; this is the one place that decides it.
inline bool isDamagedRecord(const ResultRecord::Numbers &r)
{
    return !validLevelIndex(r.level) || !validStudentIndex(r.student);
}

struct CorruptRecord {
    int64_t recordNumber = 0; // 1-based position in the file
    ResultRecord record;
};

class ResultsFile {
public:
    // wait: how the reader waits before retrying a missing or locked file.
    explicit ResultsFile(QString path, WaitFunction wait = {});
    const QString &path() const { return m_path; }

    // Creates the file empty when it is missing. Returns an error text or "".
    QString OpenResultsFile() const;
    // Appends one record; returns the record number written, or 0 with error set.
    int64_t append(const ResultRecord &record, QString *error) const;

    // Reads records first..last (1-based, clipped to the whole records of the file)
    // under a shared lock. Returns false with a message that names the file when the
    // file cannot be read after the retries (a missing file four times running).
    struct Range {
        int64_t recordCount = 0; // whole records in the file
        int64_t first = 1;       // record number of bytes[0]
        QByteArray bytes;        // whole records only
    };
    bool readTail(int64_t maxRecords, Range *out, QString *error) const;
    bool readAll(Range *out, QString *error) const { return readTail(INT64_MAX, out, error); }

    // Streams the whole records of the file in order, a chunk at a time, so that a file
    // of any length is read in constant memory. The length is taken once at the start:
    // records appended meanwhile are not visited, and the bytes past the last whole
    // record are reported as tailBytes. Each chunk is read under the shared lock, so no
    // record is seen half-written; a rewrite that replaces the file meanwhile does not
    // disturb the read (the file opened at the start is read to its end). visit gets
    // the number of the chunk's first record, its bytes and its record count, and
    // returns false to stop. Opening retries as readTail does.
    struct ScanInfo {
        int64_t recordCount = 0; // whole records in the file at the start
        int64_t tailBytes = 0;   // bytes of a partial record after the last whole one
    };
    using ChunkVisitor = std::function<bool(int64_t firstRecord, const char *bytes, int64_t count)>;
    bool scan(const ChunkVisitor &visit, ScanInfo *info, QString *error,
              int64_t chunkRecords = 4096) const;

private:
    // Opens the file for reading with the reader's retries and takes the shared lock;
    // returns the descriptor (lock held) or -1 with error set.
    int openLockedForReading(QString *error) const;

    QString m_path;
    WaitFunction m_wait;
};

} // namespace tobrel
