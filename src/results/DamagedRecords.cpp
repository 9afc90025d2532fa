#include "results/DamagedRecords.h"

#include "results/CorrectionLog.h"

#include <QFile>

#include <cstring>

#include <sys/stat.h>

namespace tobrel {

namespace {

// Records read under one hold of the shared lock: 2.8 MB.
constexpr int64_t kChunkRecords = 65536;

int64_t wholeRecords(const ResultsFile::FileMark &mark) { return mark.length < 0 ? 0 : mark.length / kRecordSize; }

} // namespace

ResultsFile::FileMark fileMarkAt(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

QString correctionLogBeside(const ResultsFile &file)
{
    return file.path().left(file.path().lastIndexOf(u'/') + 1) + correctionLogFileName();
}

bool DamagedRecordCount::appendedOnly(const ResultsFile::FileMark &file, const ResultsFile::FileMark &log,
                                      const QString &path) const
{
    const Kept &k = m_kept;
    if (k.path.isEmpty() || path != k.path || log != k.log)
        return false;
    // A file system without inode numbers cannot tell one file from another.
    if (file.inode == 0 || file.device != k.file.device || file.inode != k.file.inode)
        return false;
    const int64_t records = wholeRecords(file);
    return records > k.records || (records == k.records && file.writtenNs == k.file.writtenNs);
}

int64_t DamagedRecordCount::recordsToRead(const ResultsFile &file) const
{
    const ResultsFile::FileMark now = fileMarkAt(file.path());
    const int64_t records = wholeRecords(now);
    if (appendedOnly(now, fileMarkAt(correctionLogBeside(file)), file.path()))
        return records - m_kept.records;
    return records;
}

int64_t DamagedRecordCount::count(const ResultsFile &file, QString *error)
{
    // The log is looked at before the file is read: a change logged after this is seen
    // at the next count, one logged before it is in the file by the time the read gets
    // the lock.
    const ResultsFile::FileMark log = fileMarkAt(correctionLogBeside(file));
    bool onlyAppended = appendedOnly(fileMarkAt(file.path()), log, file.path());
    for (;;) {
        // The last record read is read again, to see that it is still the same.
        const bool checkLast = onlyAppended && m_kept.records > 0;
        const int64_t from = onlyAppended ? std::max<int64_t>(m_kept.records, 1) : 1;
        int64_t damaged = onlyAppended ? m_kept.damaged : 0;
        QByteArray last = onlyAppended ? m_kept.lastRecord : QByteArray();
        bool lastSame = true;
        ResultsFile::ScanInfo info;
        const bool read = file.scan(
            [&](int64_t first, const char *bytes, int64_t n) {
                int64_t k = 0;
                if (checkLast && first == m_kept.records) {
                    if (std::memcmp(bytes, m_kept.lastRecord.constData(), kRecordSize) != 0) {
                        lastSame = false;
                        return false;
                    }
                    k = 1;
                }
                for (; k < n; ++k)
                    damaged += isDamagedRecord(ResultRecord::decodeNumbers(bytes + k * kRecordSize));
                last = QByteArray(bytes + (n - 1) * kRecordSize, kRecordSize);
                return true;
            },
            &info, error, kChunkRecords, from);
        if (!read) {
            forget();
            return -1;
        }
        // The file opened may not be the one looked at before: it must still be the one
        // counted, holding at least the records read, the last of them unchanged.
        if (onlyAppended &&
            (!lastSame || info.mark.device != m_kept.file.device || info.mark.inode != m_kept.file.inode ||
             info.recordCount < m_kept.records ||
             (info.recordCount == m_kept.records && info.mark.writtenNs != m_kept.file.writtenNs))) {
            onlyAppended = false;
            continue;
        }
        m_kept = Kept{file.path(), info.mark, log, info.recordCount, last, damaged};
        return damaged;
    }
}

} // namespace tobrel
