// The durable-file module: whole writes, files replaced in one step, and the link-safe
// steps every writer in a folder others can write is built on.
#include "support/TestSupport.h"
#include "text/DurableFile.h"
#include "text/SystemError.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct Folder {
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + u'/' + name; }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST(DurableFile, WritesAndCopiesEveryByteAndFlushes)
{
    Folder f;
    QByteArray bytes(3 << 20, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    Fd out(::open(QFile::encodeName(f.path("a")).constData(), O_RDWR | O_CREAT | O_EXCL, 0666));
    ASSERT_TRUE(writeWhole(out.get(), bytes.left(100)));
    ASSERT_TRUE(writeWhole(out.get(), bytes.mid(100))); // goes on at the file's position
    ASSERT_TRUE(writeFully(out.get(), "xy", 2, 10)); // and at an offset
    bytes[10] = 'x';
    bytes[11] = 'y';
    EXPECT_EQ(lengthOf(out.get()), bytes.size());
    EXPECT_EQ(readFileBytes(f.path("a")), bytes);

    Fd copy(::open(QFile::encodeName(f.path("b")).constData(), O_WRONLY | O_CREAT | O_EXCL, 0666));
    EXPECT_EQ(copyFlushed(out.get(), copy.get()), bytes.size()); // from the start, whatever the position
    EXPECT_EQ(readFileBytes(f.path("b")), bytes);

    // A disk that fills up: the failure says which side it was.
    Fd small(::open(QFile::encodeName(f.path("c")).constData(), O_WRONLY | O_CREAT | O_EXCL, 0666));
    bool readFailed = true;
    int err = 0;
    {
        FileSizeLimit full(1000);
        EXPECT_EQ(copyFlushed(out.get(), small.get(), &readFailed), -1);
        err = errno;
    }
    EXPECT_FALSE(readFailed);
    EXPECT_EQ(err, EFBIG);
}

// A range copied from one file into another at an offset: every byte, whether the kernel
// or this process moves it; a source that ends before the range is a failure, not a
// short copy taken for whole.
TEST(DurableFile, CopiesARangeToAnOffsetAndFailsOnASourceThatEndsEarly)
{
    Folder f;
    QByteArray bytes(5 << 20, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 13 % 241);
    ASSERT_TRUE(writeFile(f.path("from"), bytes));
    Fd from(::open(QFile::encodeName(f.path("from")).constData(), O_RDONLY));
    Fd to(::open(QFile::encodeName(f.path("to")).constData(), O_WRONLY | O_CREAT | O_EXCL, 0666));
    ASSERT_TRUE(copyRange(from.get(), 0, to.get(), 0, 44));
    ASSERT_TRUE(copyRange(from.get(), 88, to.get(), 44, static_cast<size_t>(bytes.size() - 88)));
    EXPECT_EQ(readFileBytes(f.path("to")), bytes.left(44) + bytes.mid(88));

    errno = 0;
    EXPECT_FALSE(copyRange(from.get(), bytes.size() - 10, to.get(), 0, 44));
    EXPECT_EQ(errno, EIO);
    {
        FileSizeLimit full(1000); // a full disk
        EXPECT_FALSE(copyRange(from.get(), 0, to.get(), 0, 4000));
    }
}

// A new file takes its target's place in one step: a link at the target is replaced,
// never written through; a name given for the temporary file is used fresh.
TEST(DurableFile, ANewFileReplacesALinkAndNeverWritesThroughIt)
{
    Folder f;
    ASSERT_TRUE(writeFile(f.path("elsewhere"), "theirs"));
    ASSERT_TRUE(QFile::link(f.path("elsewhere"), f.path("target")));
    NewFileBeside::Options options;
    options.mode = 0640;
    NewFileBeside file(f.path("target"), options);
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.temporaryPath().startsWith(f.dir.path() + QStringLiteral("/.target.new")));
    ASSERT_TRUE(writeWhole(file.fd(), "ours"));
    QString error;
    ASSERT_TRUE(file.commit(&error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo(f.path("target")).isSymLink());
    EXPECT_EQ(readFileBytes(f.path("target")), "ours");
    EXPECT_EQ(readFileBytes(f.path("elsewhere")), "theirs");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(f.path("target")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // whatever the umask
    EXPECT_EQ(f.entries(), (QStringList{"elsewhere", "target"}));

    // A temporary name left by a program that stopped halfway is taken fresh: a link
    // planted there is removed as a link, its target untouched.
    ASSERT_TRUE(QFile::link(f.path("elsewhere"), f.path("target.7.tmp")));
    NewFileBeside::Options named;
    named.temporaryName = QStringLiteral("target.7.tmp");
    NewFileBeside again(f.path("target"), named);
    ASSERT_TRUE(again.open());
    ASSERT_TRUE(writeWhole(again.fd(), "new"));
    ASSERT_TRUE(again.commit(&error));
    EXPECT_EQ(readFileBytes(f.path("target")), "new");
    EXPECT_EQ(readFileBytes(f.path("elsewhere")), "theirs");
    EXPECT_EQ(f.entries(), (QStringList{"elsewhere", "target"}));
}

// What fails leaves the target as it was and no temporary file behind: a file that was
// never committed, a write the disk cannot take, a refused rename.
TEST(DurableFile, AFailedReplacementLeavesTheTargetAsItWas)
{
    Folder f;
    ASSERT_TRUE(writeFile(f.path("target"), "old"));
    {
        NewFileBeside abandoned(f.path("target"));
        ASSERT_TRUE(abandoned.open());
        ASSERT_TRUE(writeWhole(abandoned.fd(), "half"));
    }
    EXPECT_EQ(f.entries(), QStringList{"target"});

    {
        FileSizeLimit full(100);
        const QString error = replaceFile(f.path("target"), QByteArray(1000, 'x'));
        EXPECT_TRUE(error.contains(QStringLiteral("は元のままです"))) << error.toStdString();
    }
    FileReplaceSteps refusing;
    refusing.rename = [](const QString &, const QString &) { return QStringLiteral("使用中"); };
    const QString error = replaceFile(f.path("target"), "new", f.path("backup"), refusing);
    EXPECT_TRUE(error.contains(QStringLiteral("使用中"))) << error.toStdString();
    EXPECT_EQ(readFileBytes(f.path("target")), "old");
    EXPECT_EQ(readFileBytes(f.path("backup")), "old"); // the backup was made before the rename
    EXPECT_EQ(f.entries(), (QStringList{"backup", "target"}));

    // The same replacement, allowed, writes the target and keeps the previous contents.
    ASSERT_EQ(replaceFile(f.path("target"), "new", f.path("backup")), QString());
    EXPECT_EQ(readFileBytes(f.path("target")), "new");
    EXPECT_EQ(readFileBytes(f.path("backup")), "old");
}

// Opening, making and removing in a folder others can write: a planted link is never
// followed, a name that is taken is never reused, and only what was made is removed.
TEST(DurableFile, LinksAreNotFollowedAndTakenNamesNotReused)
{
    Folder f;
    ASSERT_TRUE(writeFile(f.path("secret"), "keep"));
    ASSERT_TRUE(QFile::link(f.path("secret"), f.path("link")));
    ASSERT_TRUE(QDir().mkdir(f.path("outside")));
    ASSERT_TRUE(writeFile(f.path("outside/file"), "keep"));
    Fd folder(openFolder(f.dir.path()));
    ASSERT_GE(folder.get(), 0);

    errno = 0;
    EXPECT_LT(openPlainFile(f.path("link"), O_RDWR | O_TRUNC), 0);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_LT(openPlainFileAt(folder.get(), QStringLiteral("outside"), O_RDONLY), 0);
    EXPECT_EQ(errno, kErrnoNotPlainFile);
    EXPECT_LT(openSubfolderAt(folder.get(), QStringLiteral("link")), 0);

    // Made fresh or not at all.
    errno = 0;
    EXPECT_LT(makeFreshFolderAt(folder.get(), QStringLiteral("link")), 0);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_LT(makeFreshFolderAt(folder.get(), QStringLiteral("outside")), 0);
    ASSERT_TRUE(QDir().mkdir(f.path("made")));
    EXPECT_FALSE(renameFreshAt(folder.get(), QStringLiteral("made"), QStringLiteral("link")));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_TRUE(QFileInfo(f.path("link")).isSymLink());

    // A tree is removed with the links in it as links; a link at its name is left alone.
    ASSERT_TRUE(QFile::link(f.path("outside"), f.path("made/into")));
    ASSERT_TRUE(writeFile(f.path("made/own"), "x"));
    EXPECT_TRUE(isRealFolderAt(folder.get(), QStringLiteral("made")));
    EXPECT_FALSE(isRealFolderAt(folder.get(), QStringLiteral("link")));
    ASSERT_TRUE(QFile::link(f.path("outside"), f.path("tree")));
    EXPECT_FALSE(removeFolderTreeAt(folder.get(), QStringLiteral("tree")));
    EXPECT_TRUE(removeFolderTreeAt(folder.get(), QStringLiteral("made")));
    EXPECT_FALSE(QFileInfo::exists(f.path("made")));
    EXPECT_EQ(readFileBytes(f.path("outside/file")), "keep");

    // Only the file this program made is removed, not one put under its name since.
    Fd mine(openPlainFileAt(folder.get(), QStringLiteral("mine"), O_WRONLY | O_CREAT | O_EXCL));
    ASSERT_GE(mine.get(), 0);
    ASSERT_TRUE(QFile::remove(f.path("mine")));
    ASSERT_TRUE(writeFile(f.path("mine"), "someone else's"));
    removeIfStillAt(folder.get(), QStringLiteral("mine"), mine.get());
    EXPECT_EQ(readFileBytes(f.path("mine")), "someone else's");
    Fd again(openPlainFileAt(folder.get(), QStringLiteral("mine"), O_RDONLY));
    removeIfStillAt(folder.get(), QStringLiteral("mine"), again.get());
    EXPECT_FALSE(QFileInfo::exists(f.path("mine")));
    EXPECT_EQ(readFileBytes(f.path("secret")), "keep");
}
