#include "app/Configuration.h"
#include "app/EraDate.h"
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "support/TestSupport.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/LineWriter.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

TEST(EraDate, CaptionHasEraYearMonthTwoDigitDayAndWeekday)
{
    // 7 February of the sixth year of Reiwa was a Wednesday.
    EXPECT_EQ(eraDateCaption(QDate(2024, 2, 7)), QStringLiteral("令和6年 2月 07日（水）"));
    EXPECT_EQ(eraDateCaption(QDate(2026, 12, 10)), QStringLiteral("令和8年 12月 10日（木）"));
    EXPECT_EQ(eraDateCaption(QDate(2019, 4, 30)), QStringLiteral("平成31年 4月 30日（火）"));
    // The first year of an era in digits, not "元".
    EXPECT_EQ(eraDateCaption(QDate(2019, 5, 1)), QStringLiteral("令和1年 5月 01日（水）"));
    EXPECT_EQ(eraDateCaption(QDate(1989, 1, 8)), QStringLiteral("平成1年 1月 08日（日）"));
}

TEST(EraDate, ScreenColourFollowsTheSeason)
{
    const std::pair<int, uint32_t> cases[] = {{1, 0x000080FF}, {2, 0x000080FF},  {3, 0x00C0FFC0},
                                              {5, 0x00C0FFC0}, {6, 0x00C0C000},  {8, 0x00C0C000},
                                              {9, 0x000040C0}, {11, 0x000040C0}, {12, 0x00C0FFC0}};
    for (auto [month, colour] : cases)
        EXPECT_EQ(screenColourForMonth(month), colour) << month;
}

TEST(Configuration, FolderDerivation)
{
    EXPECT_EQ(lastPathComponent(QStringLiteral("D:\\drill\\squares"), u'\\'), QStringLiteral("squares"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("/opt/suite/squares"), u'/'), QStringLiteral("squares"));
}

TEST(Configuration, SchoolFieldSplit)
{
    const struct {
        QString field, code, name;
    } cases[] = {
        {QStringLiteral("01234みなと塾"), QStringLiteral("01234"), QStringLiteral("みなと塾")},
        {QStringLiteral("00000みなと塾"), QString(), QStringLiteral("00000みなと塾")},
        {QStringLiteral("みなと塾"), QString(), QStringLiteral("みなと塾")},
        {QString(), QString(), QString()},
    };
    for (const auto &c : cases) {
        const SchoolField f = splitSchoolField(c.field);
        EXPECT_EQ(f.code, c.code) << c.field.toStdString();
        EXPECT_EQ(f.name, c.name) << c.field.toStdString();
    }
}

namespace {

struct Suite {
    QTemporaryDir dir;
    QString program() const { return dir.path() + QStringLiteral("/suite/squares"); }
    QString dataRoot() const { return dir.path() + QStringLiteral("/data/"); }

    Suite() { QDir().mkpath(program()); }

    void writeAll(const QString &dataRootField, int commonFields = 10)
    {
        writeCp932(dir.path() + QStringLiteral("/suite/パスデータ.txt"),
                   dataRootField + QStringLiteral("\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"));
        QString common = QStringLiteral("4\r\n01234みなと塾\r\n1\r\nx\r\ny\r\npass,word\r\n");
        QStringList rest{"7", "8", "9", "10"};
        for (int i = 6; i < commonFields; ++i)
            common += rest[i - 6] + QStringLiteral("\r\n");
        if (commonFields < 6)
            common = QStringLiteral("4\r\nname\r\n");
        writeCp932(dataRoot() + QStringLiteral("共通データ.txt"), common);
        writeCp932(dataRoot() + QStringLiteral("squares/タイム回数データ.txt"),
                   QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n"
                                  "30,60,30,3,1.5,10,0,7,1,,,\r\n"));
        writeCp932(dataRoot() + QStringLiteral("音フォルダ/新音ファイル.txt"),
                   QStringLiteral("正解音2\r\nok1\r\n*\r\n"));
    }
};

} // namespace

TEST(Configuration, LoadsFoldersSchoolPasswordCriteriaAndCues)
{
    Suite suite;
    ASSERT_TRUE(suite.dir.isValid());
    suite.writeAll(suite.dataRoot());
    SharedState state;
    LoadConfiguration(state, suite.program());
    EXPECT_EQ(state.config.ProgramFolder, suite.program() + u'/');
    EXPECT_EQ(state.config.ProgramFolderName, QStringLiteral("squares"));
    EXPECT_EQ(state.config.DataFolder, suite.dataRoot() + QStringLiteral("squares/"));
    EXPECT_EQ(state.config.SoundFolder, suite.dataRoot() + QStringLiteral("音フォルダ/"));
    EXPECT_EQ(state.config.SchoolYearStartMonth, 4);
    EXPECT_EQ(state.config.SchoolCode, QStringLiteral("01234"));
    EXPECT_EQ(state.config.SchoolName, QStringLiteral("みなと塾"));
    EXPECT_EQ(state.config.CommonValue3, 1);
    EXPECT_EQ(state.config.DataChangePassword, QStringLiteral("pass"));
    EXPECT_EQ(state.profile.ProgramTitle, QStringLiteral("Tobrel"));
    EXPECT_EQ(state.criteria.CritPassTime[1], 60);
    EXPECT_EQ(state.sound.SoundCues[2][1], QStringLiteral("ok1"));
}

TEST(Configuration, DataRootWithoutFinalSeparatorIsUsedUnchanged)
{
    Suite suite;
    // "…/data" + "squares" runs together: the folders then do not exist.
    suite.writeAll(suite.dir.path() + QStringLiteral("/data"));
    SharedState state;
    try {
        LoadConfiguration(state, suite.program());
        FAIL() << "no error";
    } catch (const DataFileError &e) {
        EXPECT_TRUE(e.file().endsWith(QStringLiteral("/data共通データ.txt"))) << e.file().toStdString();
    }
}

TEST(Configuration, MissingOrShortFilesNameTheFileAndChangeNothing)
{
    {
        Suite suite; // nothing written
        SharedState state;
        try {
            LoadConfiguration(state, suite.program());
            FAIL() << "no error";
        } catch (const DataFileError &e) {
            EXPECT_TRUE(e.file().endsWith(QStringLiteral("パスデータ.txt")));
            EXPECT_TRUE(e.message().contains(QStringLiteral("ありません")));
        }
        EXPECT_TRUE(state.config.DataRoot.isEmpty());
    }
    {
        Suite suite;
        suite.writeAll(suite.dataRoot(), 8); // two fields short
        SharedState state;
        try {
            LoadConfiguration(state, suite.program());
            FAIL() << "no error";
        } catch (const DataFileError &e) {
            EXPECT_TRUE(e.file().endsWith(QStringLiteral("共通データ.txt")));
            EXPECT_TRUE(e.message().contains(QStringLiteral("10")));
        }
        EXPECT_TRUE(state.config.SchoolName.isEmpty());
        EXPECT_TRUE(state.profile.ProgramTitle.isEmpty());
    }
}

TEST(Configuration, FilesInAnotherEncodingTooLargeOrWithNumbersThatDoNotFitStopTheStart)
{
    const QString pathData = QStringLiteral("/suite/パスデータ.txt");
    const QString common = QStringLiteral("/data/共通データ.txt");
    const QString cues = QStringLiteral("/data/音フォルダ/新音ファイル.txt");
    const QString criteria = QStringLiteral("/data/squares/タイム回数データ.txt");
    const struct {
        QString file; // under the suite's temporary folder
        QByteArray bytes; // written over the good file
        int line;
        QString says;
    } cases[] = {
        {pathData, QByteArray("\xEF\xBB\xBF") + QByteArray("x\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"), 1,
         QStringLiteral("UTF-8の印（BOM）")},
        {common, QStringLiteral("4\r\n01234みなと塾\r\n1\r\nx\r\ny\r\npw\r\n7\r\n8\r\n9\r\n10\r\n").toUtf8(), 2,
         QStringLiteral("UTF-8で書かれています")},
        {cues, QStringLiteral("正解音2\r\nok1\r\n*\r\n").toUtf8(), 1, QStringLiteral("Shift-JIS")},
        {criteria, QByteArray("a,b\r\n45,90,\x81\r\n"), 2, QStringLiteral("Shift-JISにない文字の並び 81")},
        {pathData, QByteArray(kSmallFileMaxBytes + 1, ','), 0, QStringLiteral("大きすぎます")},
        {cues, QByteArray(kSmallFileMaxBytes + 1, '\n'), 0, QStringLiteral("大きすぎます")},
        {common, toCp932(QStringLiteral("1e10\r\n01234みなと塾\r\n1\r\nx\r\ny\r\npw\r\n7\r\n8\r\n9\r\n10\r\n")), 1,
         QStringLiteral("1番目の項目")},
        {common, toCp932(QStringLiteral("4\r\n01234みなと塾\r\ninf\r\nx\r\ny\r\npw\r\n7\r\n8\r\n9\r\n10\r\n")), 3,
         QStringLiteral("3番目の項目")},
        {common, toCp932(QStringLiteral("4\r\n01234みなと塾\r\n-3000000000\r\nx\r\ny\r\npw\r\n7\r\n8\r\n9\r\n10\r\n")),
         3, QStringLiteral("3番目の項目")},
        // A NUL byte, named with its file and line, the path data's too.
        {pathData, QByteArrayLiteral("/da\0ta/\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"), 1,
         QStringLiteral("NUL")},
        {common, QByteArrayLiteral("4\r\n01234x\r\n1\r\nx\ry\r\np\0w\r\n7\r\n8\r\n9\r\n10\r\n"), 6,
         QStringLiteral("NUL")},
        {criteria, QByteArrayLiteral("a,b\r\n45,90,\r\n\0"), 3, QStringLiteral("NUL")},
        {cues, QByteArrayLiteral("\x90\xb3\x89\xf0\x89\xb9\x32\r\nok\0\r\n*\r\n"), 2, QStringLiteral("NUL")},
        // A school year that starts in no month of the year.
        {common, toCp932(QStringLiteral("-5\r\n01234みなと塾\r\n1\r\nx\r\ny\r\npw\r\n7\r\n8\r\n9\r\n10\r\n")), 1,
         QStringLiteral("「-5」は月ではありません")},
        {common, toCp932(QStringLiteral("13,01234みなと塾,1,x,y,pw,7,8,9,10\r\n")), 1,
         QStringLiteral("「13」は月ではありません")},
        {common, toCp932(QStringLiteral("99999999999,01234みなと塾,1,x,y,pw,7,8,9,10\r\n")), 1,
         QStringLiteral("「99999999999」が範囲を超えています（1から12までの数にしてください）")},
        // A cue table that gives no sound at all.
        {cues, QByteArray(), 0, QStringLiteral("音の指定が1つもありません")},
        {cues, toCp932(QStringLiteral("正解音9\r\nok\r\n*\r\n正解音2\r\n*\r\n")), 0,
         QStringLiteral("音の指定が1つもありません")},
    };
    for (const auto &c : cases) {
        Suite suite;
        suite.writeAll(suite.dataRoot());
        ASSERT_TRUE(writeFile(suite.dir.path() + c.file, c.bytes));
        SharedState state;
        try {
            LoadConfiguration(state, suite.program());
            FAIL() << "no error: " << c.file.toStdString();
        } catch (const DataFileError &e) {
            EXPECT_EQ(QFileInfo(e.file()).fileName(), QFileInfo(c.file).fileName()) << e.file().toStdString();
            EXPECT_EQ(e.line(), c.line) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.says)) << e.message().toStdString();
        }
        EXPECT_TRUE(state.config.DataRoot.isEmpty());
    }
}

TEST(ProgramProfile, LoggingInTwiceKeepsSixLevelsAndTheNames)
{
    SharedState state;
    ApplyProgramProfileTables(state);
    ApplyProgramProfileTables(state);
    EXPECT_EQ(state.profile.LevelCount, 6);
    EXPECT_EQ(state.profile.LastLevel.toNumber(), 6);
    EXPECT_EQ(state.profile.LevelNames[1], QStringLiteral("レベル１"));
    EXPECT_EQ(state.profile.LevelNames[11], QStringLiteral("レベル４－1"));
    EXPECT_EQ(state.profile.LevelNames[24], QStringLiteral("レベル８－２"));
    EXPECT_TRUE(state.profile.LevelNames[25].isEmpty());
    EXPECT_EQ(state.profile.LevelTimed[24], 1);
    EXPECT_EQ(state.profile.LevelTimed[25], 0);
}
