#include "criteria/CriteriaFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const QString kFixedHeader =
    QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n");

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Folder {
    QTemporaryDir dir;
    QString path = dir.path() + u'/' + criteriaFileName();
    QByteArray original;
    explicit Folder(const QString &text)
    {
        writeCp932(path, text);
        original = readBytes(path);
    }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

QString sixLevels()
{
    QString text = kFixedHeader;
    for (int L = 1; L <= 6; ++L)
        text += QStringLiteral("%1,%2,30,3,1.5,10,0,7,1,,,\r\n").arg(20 + 5 * L).arg(40 + 10 * L);
    return text;
}

} // namespace

TEST(CriteriaFile, TwentyLevelsReadAsRowsAndSaveBackUnderTheFixedHeader)
{
    // The file's own first line differs from the header the editor writes.
    QString text = QStringLiteral("目標,最低,古い見出し,,,,,,,,,\r\n");
    for (int L = 1; L <= 20; ++L)
        text += QStringLiteral("%1,%2,100,5,1.5,10,0,7,1,memo %3,,\r\n").arg(L * 3).arg(L * 6).arg(L);
    Folder f(text);

    const CriteriaTexts read = ReadCriteriaTexts(f.path);
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.problem, QString());
    ASSERT_EQ(read.levelRows.size(), 20);
    EXPECT_EQ(read.levelRows[19],
              (QStringList{"60", "120", "100", "5", "1.5", "10", "0", "7", "1", "memo 20", "", ""}));

    const CriteriaSaveResult saved = SaveCriteriaTexts(f.path, read.levelRows, CriteriaTable());
    ASSERT_TRUE(saved.saved) << saved.message.toStdString();
    const QByteArray bytes = readBytes(f.path);
    EXPECT_EQ(bytes.count("\r\n"), 21);
    EXPECT_TRUE(bytes.startsWith(toCp932(kFixedHeader)));
    // The criteria now held are what the loader reads from the file, and saving the
    // grid unchanged gives the same grid again.
    EXPECT_EQ(saved.table, LoadCriteria(f.path, CriteriaTable()));
    EXPECT_EQ(saved.table.CritTargetTime[20], 60);
    EXPECT_EQ(ReadCriteriaTexts(f.path).levelRows, read.levelRows);
    // The previous file is kept beside it.
    EXPECT_EQ(readBytes(f.dir.path() + u'/' + criteriaBackupFileName()), f.original);
}

TEST(CriteriaFile, TextsTheLoaderAcceptsAreWrittenExactlyAsTyped)
{
    Folder f(sixLevels());
    QList<QStringList> rows = ReadCriteriaTexts(f.path).levelRows;
    rows[0][0] = QStringLiteral(" 45"); // blanks the reader skips
    rows[1][5] = QStringLiteral("なし"); // a text in a free field
    rows[2][4] = QStringLiteral("1.50");
    rows[3][9] = QStringLiteral("髙橋①"); // CP932 with its extensions
    rows[4][5] = QString(); // free fields may be empty: no limit, no window
    rows[4][8] = QString();
    rows[5][4] = QStringLiteral("2e0"); // any decimal number the loader reads
    rows << QStringList(12); // a level left wholly blank: no criteria
    const CriteriaSaveResult saved = SaveCriteriaTexts(f.path, rows, CriteriaTable());
    ASSERT_TRUE(saved.saved) << saved.message.toStdString();
    const QByteArray bytes = readBytes(f.path);
    EXPECT_TRUE(bytes.contains("\r\n 45,50,30,"));
    EXPECT_TRUE(bytes.contains(toCp932(QStringLiteral(",1.5,なし,0,"))));
    EXPECT_TRUE(bytes.contains(",1.50,"));
    EXPECT_TRUE(bytes.contains(toCp932(QStringLiteral(",髙橋①,"))));
    EXPECT_EQ(saved.table.CritTargetTime[1], 45);
    EXPECT_EQ(saved.table.CritOverRuns[2].toText(), QStringLiteral("なし"));
    EXPECT_TRUE(saved.table.CritOverRuns[5].isEmpty());
    EXPECT_EQ(saved.table.CritPointRate[6], 2.0f);
    EXPECT_EQ(saved.table.CritPassTime[7], 0);
    EXPECT_TRUE(bytes.endsWith(",,,,,,,,,,,\r\n"));
}

TEST(CriteriaFile, ACellTheLoaderWouldNotReadBackStopsTheSaveAndNamesIt)
{
    const struct {
        int level, column;
        QString text;
        QString says;
    } cases[] = {
        {2, 3, QStringLiteral("3,0"), QStringLiteral("「,」")}, // one cell would become two fields
        {4, 1, QStringLiteral("99999999999"), QStringLiteral("読み込めません")}, // too big for the target time
        {5, 4, QStringLiteral("40000"), QStringLiteral("読み込めません")}, // too big for the clear count
        {1, 10, QStringLiteral("\"memo"), QStringLiteral("「\"」")}, // would be read as a quoted field
        {6, 7, QStringLiteral("€10"), QStringLiteral("€")}, // not in Shift-JIS
        // A field of numbers that holds none would load as 0: a target time of 0 gives
        // every run 0 points, a clear count of 0 clears at once.
        {2, 1, QString(), QStringLiteral("空欄にできません")}, // the space bar's "セルクリア"
        {2, 1, QStringLiteral("3O"), QStringLiteral("数を入れて")}, // a letter O for a zero
        {3, 2, QStringLiteral("abc"), QStringLiteral("数を入れて")},
        {4, 3, QStringLiteral("　"), QStringLiteral("空欄にできません")}, // a full-width blank
        {5, 4, QStringLiteral("１２"), QStringLiteral("数を入れて")}, // full-width digits read as 0
        {6, 5, QStringLiteral("nan"), QStringLiteral("数を入れて")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Folder f(sixLevels());
        QList<QStringList> rows = ReadCriteriaTexts(f.path).levelRows;
        rows[c.level - 1][c.column - 1] = c.text;
        const CriteriaSaveResult r = SaveCriteriaTexts(f.path, rows, CriteriaTable());
        EXPECT_FALSE(r.saved);
        EXPECT_EQ(r.badLevel, c.level);
        EXPECT_EQ(r.badColumn, c.column);
        EXPECT_TRUE(r.message.contains(QStringLiteral("レベル%1の%2列目").arg(c.level).arg(c.column)))
            << r.message.toStdString();
        EXPECT_TRUE(r.message.contains(c.says)) << r.message.toStdString();
        EXPECT_EQ(readBytes(f.path), f.original);
        EXPECT_EQ(f.entries(), QStringList{criteriaFileName()}); // no backup, no temporary file
    }
}

TEST(CriteriaFile, MoreThanThirtyFiveLevelsAreNotSaved)
{
    Folder f(sixLevels());
    QList<QStringList> rows;
    for (int L = 1; L <= 36; ++L)
        rows << QStringList{"30", "60", "30", "3", "1", "0", "0", "7", "1", "", "", ""};
    const CriteriaSaveResult r = SaveCriteriaTexts(f.path, rows, CriteriaTable());
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(r.badLevel, 36);
    EXPECT_EQ(r.badColumn, 0);
    EXPECT_TRUE(r.message.contains(QStringLiteral("レベル36"))) << r.message.toStdString();
    EXPECT_EQ(readBytes(f.path), f.original);
}

TEST(CriteriaFile, ASaveStoppedBeforeTheRenameLeavesTheOldFileWhole)
{
    Folder f(sixLevels());
    QList<QStringList> rows = ReadCriteriaTexts(f.path).levelRows;
    rows[1][0] = QStringLiteral("99");
    FileReplaceSteps crash;
    QString temporary;
    crash.beforeReplace = [&](const QString &path) {
        temporary = path;
        // The new contents are complete on disk beside the old file at this point.
        EXPECT_EQ(readBytes(path), criteriaFileBytes(rows));
        throw std::runtime_error("power cut");
    };
    EXPECT_THROW(SaveCriteriaTexts(f.path, rows, CriteriaTable(), crash), std::runtime_error);
    EXPECT_TRUE(temporary.startsWith(f.dir.path()));
    EXPECT_EQ(readBytes(f.path), f.original);
    EXPECT_EQ(LoadCriteria(f.path, CriteriaTable()).CritTargetTime[2], 30);
}

TEST(CriteriaFile, ARefusedRenameKeepsTheOldFileAndSaysSo)
{
    Folder f(sixLevels());
    QList<QStringList> rows = ReadCriteriaTexts(f.path).levelRows;
    rows[1][0] = QStringLiteral("99");
    FileReplaceSteps refusing;
    refusing.rename = [](const QString &, const QString &) { return QStringLiteral("他のパソコンが使用中です"); };
    const CriteriaSaveResult r = SaveCriteriaTexts(f.path, rows, CriteriaTable(), refusing);
    EXPECT_FALSE(r.saved);
    EXPECT_TRUE(r.message.contains(f.path)) << r.message.toStdString();
    EXPECT_TRUE(r.message.contains(QStringLiteral("他のパソコンが使用中です")));
    EXPECT_EQ(readBytes(f.path), f.original);
    EXPECT_FALSE(f.entries().join(u' ').contains(QStringLiteral(".new"))); // the temporary file is gone
}

TEST(CriteriaFile, ADiskTooFullForTheBackupKeepsBothTheFileAndThePreviousBackup)
{
    // The old file is long (notes in the spare fields), the new one short: the new file
    // still fits on the disk, its backup no longer does.
    QString text = kFixedHeader;
    for (int L = 1; L <= 6; ++L)
        text += QStringLiteral("30,60,30,3,1,0,0,7,1,%1,,\r\n").arg(QString(200, u'x'));
    Folder f(text);
    const QString backup = f.dir.path() + u'/' + criteriaBackupFileName();
    const QByteArray previousBackup = toCp932(sixLevels());
    ASSERT_TRUE(writeFile(backup, previousBackup));
    QList<QStringList> rows = ReadCriteriaTexts(f.path).levelRows;
    for (QStringList &row : rows)
        row[9].clear();

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 600;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const CriteriaSaveResult r = SaveCriteriaTexts(f.path, rows, CriteriaTable());
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(r.saved);
    EXPECT_TRUE(r.message.contains(QStringLiteral("控えのファイル %1 を作れません").arg(backup)))
        << r.message.toStdString();
    EXPECT_TRUE(r.message.contains(QStringLiteral("ファイルがこれ以上大きくなれません"))) << r.message.toStdString();
    EXPECT_EQ(readBytes(f.path), f.original);
    EXPECT_EQ(readBytes(backup), previousBackup);
    EXPECT_FALSE(f.entries().join(u' ').contains(QStringLiteral(".new"))) << f.entries().join(u' ').toStdString();
}

TEST(CriteriaFile, AFolderThatCannotTakeTheFileIsNamedInJapanese)
{
    // The data folder's place is taken by a file: nothing can be created in it.
    QTemporaryDir dir;
    const QString notAFolder = dir.path() + QStringLiteral("/data");
    ASSERT_TRUE(writeFile(notAFolder, "x"));
    const QString path = notAFolder + u'/' + criteriaFileName();
    const CriteriaSaveResult r = SaveCriteriaTexts(path, ReadCriteriaTexts(path).levelRows, CriteriaTable());
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(r.message,
              QStringLiteral("%1 のそばに新しいファイルを作れません（ファイルを入れるフォルダがありません）。\n"
                             "%1 は元のままです。")
                  .arg(path));
}

TEST(CriteriaFile, TheSavedFileKeepsThePermissionsOfTheOldOne)
{
    Folder f(sixLevels());
    ASSERT_TRUE(QFile::setPermissions(f.path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ReadOther));
    ASSERT_TRUE(SaveCriteriaTexts(f.path, ReadCriteriaTexts(f.path).levelRows, CriteriaTable()).saved);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(f.path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(CriteriaFile, AFileCutShortOrMissingIsReportedByName)
{
    Folder cut(kFixedHeader + QStringLiteral("45,90,100,5,1.5,10,0,7,1,,,\r\n60,120,9999\r\n"));
    const CriteriaTexts read = ReadCriteriaTexts(cut.path);
    EXPECT_TRUE(read.opened);
    ASSERT_EQ(read.levelRows.size(), 2);
    EXPECT_EQ(read.levelRows[1], (QStringList{"60", "120", "9999", "", "", "", "", "", "", "", "", ""}));
    EXPECT_TRUE(read.problem.contains(cut.path)) << read.problem.toStdString();

    const CriteriaTexts missing = ReadCriteriaTexts(cut.dir.path() + QStringLiteral("/none.txt"));
    EXPECT_FALSE(missing.opened);
    EXPECT_TRUE(missing.problem.contains(QStringLiteral("none.txt")));
}

TEST(CriteriaFile, ACriteriaFileThatIsALinkIsNeitherCopiedIntoTheBackupNorSaved)
{
    // A file from elsewhere behind a link planted at the criteria file's name.
    Folder f(sixLevels());
    const QString elsewhere = f.dir.path() + QStringLiteral("/elsewhere.txt");
    ASSERT_TRUE(QFile::rename(f.path, elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, f.path));
    const QString backup = f.dir.path() + u'/' + criteriaBackupFileName();
    QList<QStringList> rows = ReadCriteriaTexts(f.path).levelRows;
    rows[1][0] = QStringLiteral("99");

    const CriteriaSaveResult r = SaveCriteriaTexts(f.path, rows, CriteriaTable());
    EXPECT_FALSE(r.saved);
    EXPECT_TRUE(r.message.contains(f.path)) << r.message.toStdString();
    EXPECT_TRUE(r.message.contains(QStringLiteral("リンク"))) << r.message.toStdString();
    EXPECT_EQ(readBytes(elsewhere), f.original);
    EXPECT_TRUE(QFileInfo(f.path).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(backup));
    EXPECT_FALSE(f.entries().join(u' ').contains(QStringLiteral(".new")));

    // The same save on the plain file goes through and keeps the old file as the backup.
    ASSERT_TRUE(QFile::remove(f.path));
    ASSERT_TRUE(QFile::rename(elsewhere, f.path));
    EXPECT_TRUE(SaveCriteriaTexts(f.path, rows, CriteriaTable()).saved);
    EXPECT_EQ(readBytes(backup), f.original);
}
