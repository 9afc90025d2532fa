// The count of damaged records kept between looks: only what was appended is read, and
// the whole file again whenever it may have changed otherwise.
#include "results/CorrectionLog.h"
#include "results/DamagedRecords.h"
#include "results/ResultsFile.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const TestRun run{};
// A record no program writes: level 40.
ResultRecord damaged(int student) { return run(student, 40, 30); }

struct Folder {
    QTemporaryDir dir;
    QString path = dir.path() + u'/' + resultsFileName();
    ResultsFile file{path};
    DamagedRecordCount kept;

    int64_t count()
    {
        QString error;
        const int64_t n = kept.count(file, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return n;
    }
    void append(const std::vector<ResultRecord> &records)
    {
        for (const ResultRecord &r : records) {
            QString error;
            ASSERT_GT(file.append(r, &error), 0) << error.toStdString();
        }
    }
    // The time the file was last written, and setting it back, as a share with a coarse
    // clock would show a change made within the same second.
    timespec written() const
    {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mtim;
    }
    void setWritten(const timespec &t) const
    {
        const timespec both[2] = {t, t};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), both, 0), 0);
    }
    // Writes record `number` in place, leaving the length and the time of writing as
    // they were.
    void overwriteQuietly(int64_t number, const ResultRecord &r) const
    {
        const timespec before = written();
        const auto bytes = r.encode();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek((number - 1) * kRecordSize));
        ASSERT_EQ(f.write(bytes.data(), kRecordSize), kRecordSize);
        f.close();
        setWritten(before);
    }
};

} // namespace

TEST(DamagedRecordCount, ReadsOnlyWhatWasAppendedAndCountsItsDamagedRecords)
{
    Folder f;
    ASSERT_TRUE(writeFile(f.path, recordBytes({run(1, 1, 30), damaged(2), run(3, 2, 40)})));
    EXPECT_EQ(f.kept.recordsToRead(f.file), 3);
    EXPECT_EQ(f.count(), 1);
    EXPECT_EQ(f.kept.recordsToRead(f.file), 0);
    EXPECT_EQ(f.count(), 1);

    f.append({run(4, 1, 20), damaged(5), damaged(6)});
    EXPECT_EQ(f.kept.recordsToRead(f.file), 3);
    EXPECT_EQ(f.count(), 3);

    // A torn record at the end is no record; the next append writes over it.
    QFile torn(f.path);
    ASSERT_TRUE(torn.open(QIODevice::Append));
    torn.write(QByteArray(20, '\x7f'));
    torn.close();
    EXPECT_EQ(f.count(), 3);
    f.append({damaged(7)});
    EXPECT_EQ(f.count(), 4);
}

TEST(DamagedRecordCount, ReadsTheWholeFileAgainWhenItWasReplacedOrShortened)
{
    Folder f;
    ASSERT_TRUE(writeFile(f.path, recordBytes({damaged(1), damaged(2), run(3, 1, 30)})));
    EXPECT_EQ(f.count(), 2);

    // Replaced by a file of the same length and time of writing, as a deletion renames
    // its new file over the old.
    const timespec before = f.written();
    const QString fresh = f.dir.path() + QStringLiteral("/new.dat");
    ASSERT_TRUE(writeFile(fresh, recordBytes({run(1, 1, 30), damaged(2), run(3, 1, 30)})));
    ASSERT_EQ(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(f.path).constData()), 0);
    f.setWritten(before);
    EXPECT_EQ(f.kept.recordsToRead(f.file), 3);
    EXPECT_EQ(f.count(), 1);

    // Cut off behind its damaged record, then grown again past the length read.
    ASSERT_TRUE(QFile::resize(f.path, kRecordSize));
    EXPECT_EQ(f.kept.recordsToRead(f.file), 1);
    EXPECT_EQ(f.count(), 0);
    f.append({run(2, 1, 30), damaged(3)});
    ASSERT_TRUE(QFile::resize(f.path, 2 * kRecordSize));
    f.append({run(3, 1, 30), run(4, 1, 30)});
    EXPECT_EQ(f.count(), 0);
}

TEST(DamagedRecordCount, SeesAChangeInPlace)
{
    Folder f;
    ASSERT_TRUE(writeFile(f.path, recordBytes({run(1, 1, 30), run(2, 1, 30), run(3, 1, 30)})));
    EXPECT_EQ(f.count(), 0);

    // A teacher's change goes through the correction log first; runs appended by other
    // PCs meanwhile make the file longer, so its length does not tell.
    const CorrectionLogFile log(f.dir.path() + u'/');
    const QByteArray first = readFileBytes(f.path).left(kRecordSize);
    const RewriteOutcome out = correctWithLog(
        log, [](const RewriteOutcome &) { return std::vector<Correction>{Correction{}}; },
        [&](const ResultsFile::BeforeChange &secure) {
            return f.file.changeRecord(ExpectedRecord{1, first}, damaged(1), secure);
        });
    ASSERT_TRUE(out.ok()) << out.message.toStdString();
    f.append({run(4, 1, 30)});
    EXPECT_EQ(f.kept.recordsToRead(f.file), 4);
    EXPECT_EQ(f.count(), 1);

    // Changed in place without a line but written since, the length unchanged: the time
    // of writing tells.
    const timespec before = f.written();
    f.overwriteQuietly(1, run(1, 1, 30));
    f.setWritten({before.tv_sec + 1, before.tv_nsec});
    EXPECT_EQ(f.kept.recordsToRead(f.file), 4);
    EXPECT_EQ(f.count(), 0);

    // The last record read, changed with no other trace, is read again with the appended ones.
    f.overwriteQuietly(4, damaged(4));
    f.append({run(5, 1, 30)});
    EXPECT_EQ(f.count(), 1);
}
