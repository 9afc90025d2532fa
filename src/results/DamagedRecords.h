// The count of damaged records in the results file (isDamagedRecord), which the hub
// shows to teachers. A school's file grows a run at a time to millions of records, and
// reading it whole at every look would keep a teacher's hub waiting; so the count is kept
// with what it was made of, and the next count reads only the records appended since.
//
// What is kept: the file counted (its device and inode), its length and time of last
// write, how many whole records were read and the last of them, and how the correction
// log (成績訂正記録.txt beside the results file) stood before the read. The whole file is
// read again when
//   - the file is another one: a deletion or a repair renames a new file over it;
//   - it holds fewer whole records than were read: cut off since;
//   - it holds as many, but was written since: something was changed in place;
//   - the last record read is no longer the same;
//   - the correction log is not as it was: every change in place that this program
//     makes (the results manager's change, and its deletion and the data tool's repair,
//     which rewrite) writes its line to the log first, under the results file's lock,
//     so a read that began after the log was looked at sees the change.
// Only appends leave the records read as they were, and an append writes after the
// last whole record: what lies before the end of the last read is never read twice.
// A change made in place by anything else (a hand edit of the file, say) followed by an
// append, or one that changes neither its length nor its time of writing, goes unseen
// by the count alone: the teacher's hub therefore counts the whole file again once it
// is painted, and shows that count.
#pragma once
#include "results/ResultsFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tobrel {

class DamagedRecordCount {
public:
    // How many records count() would read now: those appended since the last count, or
    // the whole file when it must be read again. The whole length when the file cannot
    // be looked at (count() then says why).
    int64_t recordsToRead(const ResultsFile &file) const;
    // The damaged records of the whole file now, read as little of it as the kept count
    // allows; -1 with error set when the file cannot be read (nothing is kept then).
    int64_t count(const ResultsFile &file, QString *error);
    // Forgets the kept count: the next count reads the whole file.
    void forget() { m_kept = Kept{}; }

private:
    struct Kept {
        QString path; // "" before the first count
        ResultsFile::FileMark file; // the file counted, at the start of the last read
        ResultsFile::FileMark log; // the correction log, before the last read began
        int64_t records = 0; // whole records read
        QByteArray lastRecord; // the 44 bytes of the last of them
        int64_t damaged = 0;
    };
    // True when only the records after the kept ones need reading, as things stand.
    bool appendedOnly(const ResultsFile::FileMark &file, const ResultsFile::FileMark &log,
                      const QString &path) const;
    Kept m_kept;
};

// The state of a file at a path, never through a link (a link is marked as itself);
// length -1 when there is nothing there.
ResultsFile::FileMark fileMarkAt(const QString &path);
// The correction log beside the results file.
QString correctionLogBeside(const ResultsFile &file);

} // namespace tobrel
