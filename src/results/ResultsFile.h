// The results file "成績累積データ.dat": 44-byte records appended by the end of every
// run, read back by every screen that shows counts, and corrected by the teachers.
//
// Appends take an exclusive lock, write the whole record after the last whole one in
// one write and flush it to the disk before the lock is released; readers take a
// shared lock, so several program copies on one data folder never lose or tear a
// record. A trailing partial record is ignored by readers and overwritten by the next
// append.
//
// Teachers' corrections go through the same exclusive lock for their whole
// read-check-write:
//   changeRecord  re-reads the record, compares it byte for byte with the one the
//                 teacher opened and only then writes the one record in place;
//   rewrite       keeps or drops each record into a temporary file in the data folder,
//                 flushes it, keeps the previous file in the backup folder and replaces
//                 the results file in one rename. A refused rename leaves the original
//                 untouched. Deleting one record is a rewrite that drops it.
// Because a rewrite replaces the file, everyone who waited for the lock checks, once
// they hold it, that their open file is still the one the path names, and opens the
// file again when it is not. What a rewrite stopped halfway left behind (its temporary
// file, a backup that is still a second name of the live file) is removed by the next
// change or rewrite.
//
// The end of a run never loses its run: when the results file stays locked by another
// PC or out of reach for about 30 seconds, or cannot be written, the record goes to a
// pending file on this PC (未送信成績.dat in the program's folder, the same 44-byte
// records). Every later open of the results file first sends the pending records, in
// order, under both files' locks, and empties the pending file; a record already in
// the results file (sent by a copy that stopped before it could empty the pending
// file) is not sent again. A pending file that is not what this program writes (a link,
// a length that is no whole number of records, a record that is no run) is never sent:
// it stays as it is, and the start of the program and the data tool's check say so.
#pragma once
#include "state/Platform.h"
#include "state/ResultRecord.h"
#include "state/Tables.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace tobrel {

inline QString resultsFileName() { return QStringLiteral("成績累積データ.dat"); }
// The folder inside the data folder that keeps the results file as it was before each
// rewrite, as 成績累積データ_YYYYMMDD_HHMMSS.dat.
inline QString backupFolderName() { return QStringLiteral("バックアップ"); }
constexpr int kBackupsKept = 10;

// Day numbers of 1 January 1900 and 31 December 2200: a run dated outside them was not
// written by a working program.
constexpr double kFirstRecordDay = 2;
constexpr double kLastRecordDay = 109939;

// A damaged record: its level or its student number lies outside the tables (levels
// 0..35, students 0..5000), or it is in use (level not 0) and its date is not a number
// or lies outside the years 1900..2200, or its time is negative (no program writes
// one; it would pass for a best time below every real one). An empty or deleted record
// (level 0) carries no date or time worth checking. Every reader of the results file
// skips such a record and reports it; this is the one place that decides it.
inline bool isDamagedRecord(const ResultRecord::Numbers &r)
{
    if (!validLevelIndex(r.level) || !validStudentIndex(r.student))
        return true;
    // Written so that a NaN date is damaged too: every comparison with NaN is false.
    return r.level != 0 && (!(r.date >= kFirstRecordDay && r.date <= kLastRecordDay) || r.time < 0);
}

// A run of a student, as every screen counts and lists runs: a record that is not
// damaged, of a real level (level 0 marks a deleted record) and of a real student (see
// isRealStudent). The reader keeps exactly these; the views that read the file
// themselves take the same.
inline bool isStudentRun(const ResultRecord::Numbers &r)
{
    return r.level >= 1 && isRealStudent(r.student) && !isDamagedRecord(r);
}

// How the end of a run waits for a results file that another PC holds locked, or that
// is out of reach (a share that has gone away).
struct AppendWait {
    // Seconds to keep trying before the run goes to the pending file; a negative value
    // waits for the lock however long it takes, and an open that fails fails at once.
    double giveUpAfter = -1;
    // Called about once a second while waiting: the whole seconds waited, and whether
    // another PC holds the file locked (true) or the file is out of reach (false).
    std::function<void(int seconds, bool locked)> waiting;
};

// What became of a run.
struct AppendOutcome {
    enum Status {
        Written, // in the results file, flushed to disk
        KeptPending, // in the pending file on this PC, flushed; sent at a later open
        Failed, // nowhere: message says why
    };
    Status status = Failed;
    int64_t recordNumber = 0; // Written: the record's number in the results file
    QString message; // KeptPending: why the results file was not written; Failed: what failed
};

inline QString pendingFileName() { return QStringLiteral("未送信成績.dat"); }

struct CorruptRecord {
    int64_t recordNumber = 0; // 1-based position in the file
    ResultRecord::Numbers record{};
};

// One record as a teacher saw it: its position and its 44 bytes.
struct ExpectedRecord {
    int64_t recordNumber = 0;
    QByteArray bytes;
};

// What a change or a rewrite did.
struct RewriteOutcome {
    enum Status {
        Done, // written and flushed
        RecordChanged, // the record is no longer what the teacher opened: nothing written
        Failed, // nothing written (or the original left as it was); see message
    };
    Status status = Failed;
    QString message; // for RecordChanged and Failed: what happened, naming the file
    int64_t recordsBefore = 0; // whole records before
    int64_t recordsAfter = 0; // whole records after
    int64_t tornBytes = 0; // a partial record at the end, left out of a rewrite
    QString backupPath; // where a rewrite kept the previous file
    bool ok() const { return status == Done; }
};

class ResultsFile {
public:
    // wait: how the reader waits before retrying a missing or locked file; it is told
    // why, so the screen can say it while the student waits.
    explicit ResultsFile(QString path, WaitFunction wait = {});
    // A results folder that cannot be reached is tried this often, 5 seconds apart,
    // before the reader gives up.
    static constexpr int kReaderTries = 4;
    const QString &path() const { return m_path; }

    // Creates the file empty when it is missing. Returns an error text or "".
    QString OpenResultsFile() const;
    // Appends one record, waiting for the lock however long it takes; returns the record
    // number written, or 0 with error set.
    int64_t append(const ResultRecord &record, QString *error) const;

    // The pending file that keeps runs on this PC while the results file cannot be
    // written. Without one, such a run fails.
    void setPendingFile(QString path) { m_pendingPath = std::move(path); }
    const QString &pendingFile() const { return m_pendingPath; }
    // Appends the run of the end of a run: waits for the file as `wait` says and keeps
    // the run in the pending file when the results file cannot take it.
    AppendOutcome appendRun(const ResultRecord &record, const AppendWait &wait) const;
    // Sends the pending records into the results file and empties the pending file.
    // Returns the records sent (0 when there were none or the results file cannot take
    // them now; they then stay pending, and error says why). Every operation below
    // that opens the results file calls it first.
    int64_t sendPendingRuns(QString *error = nullptr) const;
    // Why the pending file is not sent, or "" when it holds nothing or only runs. It is
    // sent only when it is a plain file (never through a link: the program folder may be
    // on a share), holds whole records, and each is a run this program writes (a level,
    // not damaged); anything else stays where it is, untouched, and this says why,
    // naming the file.
    QString pendingFileProblem() const;

    // Reads records first..last (1-based, clipped to the whole records of the file)
    // under a shared lock. Returns false with a message that names the file when the
    // file cannot be read after the retries (a missing file four times running).
    struct Range {
        int64_t recordCount = 0; // whole records in the file
        int64_t first = 1; // record number of bytes[0]
        QByteArray bytes; // whole records only
    };
    // errorNumber, when given, receives the failure's error number (text/SystemError.h).
    bool readTail(int64_t maxRecords, Range *out, QString *error, int *errorNumber = nullptr) const;
    bool readAll(Range *out, QString *error) const { return readTail(INT64_MAX, out, error); }

    // What tells one state of the file from another without reading it: the file itself
    // (a rewrite renames a new file over the old, with another device or inode), its
    // length and when it was last written.
    struct FileMark {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t length = -1; // -1: no file
        int64_t writtenNs = 0; // the time of its last write, in nanoseconds
        bool operator==(const FileMark &) const = default;
    };

    // Streams the whole records of the file in order from record firstRecord on (1, the
    // first, unless given), a chunk at a time, so that a file
    // of any length is read in constant memory. The length is taken once at the start:
    // records appended meanwhile are not visited, and the bytes past the last whole
    // record are reported as tailBytes. Each chunk is read under the shared lock, so no
    // record is seen half-written; a rewrite that replaces the file meanwhile does not
    // disturb the read (the file opened at the start is read to its end). visit gets
    // the number of the chunk's first record, its bytes and its record count, and
    // returns false to stop. Opening retries as readTail does.
    struct ScanInfo {
        int64_t recordCount = 0; // whole records in the file at the start
        int64_t tailBytes = 0; // bytes of a partial record after the last whole one
        FileMark mark; // the file read, as it was at the start
    };
    using ChunkVisitor = std::function<bool(int64_t firstRecord, const char *bytes, int64_t count)>;
    bool scan(const ChunkVisitor &visit, ScanInfo *info, QString *error, int64_t chunkRecords = 4096,
              int64_t firstRecord = 1) const;
    // Reads the 44 bytes of one record under the shared lock. False with error set when
    // the file cannot be read; true with no bytes when the file has no such record.
    bool readRecord(int64_t recordNumber, QByteArray *bytes, QString *error) const;
    // Reads up to `count` records from record `first` on (fewer at the end of the file)
    // under the shared lock, waiting for a writer to finish instead of retrying, so a
    // screen may read the lines it shows while it paints. False with error set when the
    // file cannot be read.
    bool readRecords(int64_t first, int64_t count, QByteArray *bytes, QString *error) const;

    // Called under the exclusive lock once a change or rewrite has checked everything
    // and only its write is left, with what it is about to do (records before and after,
    // a torn tail left out): the correction log's lines are secured here. Returns "" to
    // go on, or why not; the change is then not made and says so.
    using BeforeChange = std::function<QString(const RewriteOutcome &planned)>;

    // Writes `replacement` as record expected.recordNumber, in place, when that record
    // still holds expected.bytes. A write that fails puts the record back as it was.
    RewriteOutcome changeRecord(const ExpectedRecord &expected, const ResultRecord &replacement,
                                const BeforeChange &beforeChange = {}) const;

    // Decides, for each whole record in file order, whether it stays.
    using KeepRecord = std::function<bool(int64_t recordNumber, const char *bytes)>;
    // Records done so far of the total, now and then during a rewrite.
    using Progress = std::function<void(int64_t done, int64_t total)>;
    struct RewriteOptions {
        // Checked under the lock before anything is written; any difference gives
        // RecordChanged.
        std::vector<ExpectedRecord> expected;
        // Names the backup (the current date and time when not set).
        QDateTime now;
        Progress progress;
        // Runs after the new file and the backup are on disk, before the replacing rename.
        BeforeChange beforeChange;
        // When given: the record numbers (ascending) the rewrite drops, keeping every
        // other, so that the records kept are copied whole, by the kernel where it can,
        // without being looked at; keep must say the same.
        std::vector<int64_t> dropOnly;
        // False: the oldest backups beyond the newest ten are left for the caller to
        // remove (pruneBackups) once nobody waits for it.
        bool pruneNow = true;
    };
    RewriteOutcome rewrite(const KeepRecord &keep, const RewriteOptions &options) const;
    // Removes one record; every later record moves up by one number.
    RewriteOutcome deleteRecord(const ExpectedRecord &expected, const QDateTime &now, const Progress &progress = {},
                                const BeforeChange &beforeChange = {}, bool pruneNow = true) const;

    // The backup folder beside the file, and the name a backup made at `when` takes.
    QString backupFolder() const;
    static QString backupFileName(const QDateTime &when);
    // Removes the oldest backups in the folder until `keep` remain; justMade, the backup a
    // rewrite has just made, stays whatever the date in its name.
    static void pruneBackups(const QString &folder, int keep = kBackupsKept, const QString &justMade = {});

    // Replaces one path by another in one step (rename). Tests put a refusing one here
    // to stand for a share that keeps the file open.
    using ReplaceFunction = std::function<bool(const QByteArray &from, const QByteArray &to, int *errorNumber)>;
    void setReplaceFunction(ReplaceFunction replace) { m_replace = std::move(replace); }

    // Copies the file byte for byte into the open, empty file destFd (flushed to disk)
    // under the shared lock, so the copy holds no half-written record and no append
    // lands in the middle of it. destName names it in a message. Returns the bytes
    // copied, or -1 with error set.
    int64_t copyTo(int destFd, const QString &destName, QString *error) const;

private:
    // Opens the file for reading with the reader's retries and takes the shared lock
    // (waiting for it, or retrying after the wait function); returns the descriptor
    // (lock held) or -1 with error set.
    int openLockedForReading(QString *error, int *errorNumber = nullptr, bool waitForLock = false) const;
    // Appends one record to the pending file; `why` says why the results file was not
    // written.
    AppendOutcome keepPending(const ResultRecord &record, const QString &why) const;
    // Waits between tries, letting the screens run where a wait function is given.
    void pause(double seconds) const;

    QString m_path;
    QString m_pendingPath;
    WaitFunction m_wait;
    ReplaceFunction m_replace;
};

} // namespace tobrel
