// The POSIX pieces the results file and the pending file are made of, beside the
// durable-file module (text/DurableFile.h) they build on: whole-file record locks, the
// check that an open file is still the one its path names, and the append of whole
// records. Used inside src/results/ only.
#pragma once
#include "text/DurableFile.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>
#include <unistd.h>

namespace tobrel {

// Locks the whole file (F_RDLCK or F_WRLCK); wait blocks until the lock is free.
bool lockWhole(int fd, short type, bool wait);
void unlockWhole(int fd);

// The system's text for an error number.
QString errnoText(int err);
// What a failed write means for the teacher: "ディスクがいっぱいです (…)" for a full disk,
// the system's text for anything else.
QString writeErrorText(int err);

// Opens the results file (or the pending file) at its path: the folders on the way as
// named (a data folder may be a mount point or a link to one), the file itself never
// through a link and only as a plain file, so that a link planted at its name sends no
// run elsewhere and creates nothing outside. Flags as for open(); -1 with errno set
// (ELOOP for a link, kErrnoNotPlainFile for a folder, a pipe or a device).
int openRecordsFile(const QByteArray &native, int flags);

// True while the open file is still the one the path names: a rewrite replaces the
// results file by renaming a new one over it. A link put at the name since is not it.
bool stillNamedBy(int fd, const QByteArray &native);

// Writes whole 44-byte records after the last whole record of the open, locked file (a
// torn record at the end is written over) and flushes them to the disk. Returns the
// number of the first record written (1-based), or 0 with *err set and *what naming
// the step; what was written is then cut off again, so no torn record stays.
int64_t appendRecords(int fd, const char *data, size_t size, int *err, QString *what);

} // namespace tobrel
