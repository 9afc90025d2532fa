#include "DataToolFixture.h"

#include "app/DataSetting.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

// The school as an installed copy sees it: the tool in a folder with no path data
// beside it, so only the settings files say where the data is.
struct InstalledPc : School {
    QString bin() const { return root() + QStringLiteral("/usr/bin"); }
    InstalledPc() { QDir().mkpath(bin()); }
    Outcome installedTool(const QStringList &args)
    {
        Outcome o;
        ToolConsole console;
        console.out = [&](const QString &l) { o.out << l; };
        console.err = [&](const QString &l) { o.err << l; };
        console.readLine = [] { return std::optional<QString>(); };
        o.status = runDataTool(args, bin(), console, clock, places);
        return o;
    }
    Settings settings() const { return readSettings(places); }
};

} // namespace

TEST(DataToolSetup, PointsThePcAtTheDataRootAndChecksItFromTheFileWritten)
{
    InstalledPc pc;
    // Before: nothing set up, and check says what to run.
    const auto before = pc.installedTool({QStringLiteral("check")});
    EXPECT_EQ(before.status, ToolProblems);
    EXPECT_TRUE(before.all().contains(QStringLiteral("tobrel-data setup"))) << before.all().toStdString();

    // The root given without its final "/" and through a ".." is written clean.
    const auto setup = pc.installedTool({QStringLiteral("setup"), pc.root() + QStringLiteral("/usr/../data")});
    EXPECT_EQ(setup.status, ToolOk) << setup.all().toStdString();
    EXPECT_TRUE(setup.all().contains(pc.places.fileToWrite()));
    EXPECT_TRUE(setup.all().contains(QStringLiteral("成績 ") + pc.resultsPath())) << setup.all().toStdString();
    EXPECT_EQ(pc.settings().value(dataRootKey()), pc.dataRoot());

    const auto check = pc.installedTool({QStringLiteral("check")});
    EXPECT_EQ(check.status, ToolOk) << check.all().toStdString();
    EXPECT_TRUE(check.all().contains(QStringLiteral("データフォルダ: ") + pc.dataFolder()));
    EXPECT_TRUE(check.all().contains(QStringLiteral("データルートの指定: 設定ファイル")));

    // Without a root, setup shows what is set.
    const auto shown = pc.installedTool({QStringLiteral("setup")});
    EXPECT_EQ(shown.status, ToolOk);
    EXPECT_TRUE(shown.all().contains(QStringLiteral("data-root = ") + pc.dataRoot()));
    EXPECT_TRUE(shown.all().contains(QStringLiteral("「0」はプログラムを終わります")));
}

TEST(DataToolSetup, WritesNothingForAFolderTheProgramCouldNotStartWith)
{
    InstalledPc pc;
    const struct {
        QString root;
        QString says;
    } cases[] = {
        {pc.root() + QStringLiteral("/nowhere"), QStringLiteral("がありません")},
        // The school's data folder instead of its root: no common data there.
        {pc.dataFolder(), QStringLiteral("共通データ.txt がありません")},
    };
    for (const auto &c : cases) {
        const auto o = pc.installedTool({QStringLiteral("setup"), c.root});
        EXPECT_EQ(o.status, ToolProblems);
        EXPECT_TRUE(o.all().contains(c.says)) << o.all().toStdString();
        EXPECT_TRUE(o.all().contains(QStringLiteral("何も書いていません")));
        EXPECT_FALSE(QFileInfo::exists(pc.places.systemFile));
        EXPECT_FALSE(QFileInfo::exists(pc.places.userFile));
    }
}

TEST(DataToolSetup, KeepsTheOtherKeysAndTakesTheSuitesFolderNameAndMenu)
{
    InstalledPc pc;
    QDir().rename(pc.dataFolder(), pc.dataRoot() + QStringLiteral("squares"));
    auto o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--data-folder"),
                               QStringLiteral("squares"), QStringLiteral("--program-menu"),
                               QStringLiteral("/opt/suite/起動/menu 001")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("プログラムメニュー /opt/suite/起動/menu が見つかりません")));
    EXPECT_TRUE(o.all().contains(QStringLiteral("データフォルダ: ") + pc.dataRoot() + QStringLiteral("squares/")));

    // Pointing at the root again keeps the folder and the menu; an empty menu removes it.
    o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot()});
    EXPECT_EQ(pc.settings().value(dataFolderKey()), QStringLiteral("squares"));
    EXPECT_EQ(pc.settings().value(programMenuKey()), QStringLiteral("/opt/suite/起動/menu 001"));
    o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--program-menu="), QStringLiteral("--user")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(QFileInfo::exists(pc.places.userFile)) << "--user writes the user's own file";
    EXPECT_EQ(pc.settings().value(programMenuKey()), QStringLiteral("/opt/suite/起動/menu 001"))
        << "the system's menu still stands under the user's file without one";

    for (const QString &bad : {QStringLiteral("a/b"), QStringLiteral(".."), QString()}) {
        o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--data-folder"), bad});
        EXPECT_EQ(o.status, ToolUsage) << bad.toStdString();
    }
}

TEST(DataToolSetup, AnotherUserWritesTheirOwnFileAndAnUntrustedFileIsMadeAnew)
{
    InstalledPc pc;
    pc.places.userId = ::getuid() == 0 ? 4242 : ::getuid();
    auto o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot()});
    EXPECT_TRUE(o.all().contains(pc.places.userFile)) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("このユーザーだけの設定です")));
    EXPECT_FALSE(QFileInfo::exists(pc.places.systemFile));

    // A system file that others could have written is not carried over.
    InstalledPc spoilt;
    ASSERT_TRUE(writeFile(spoilt.places.systemFile, "data-root = /srv/x/\nprogram-menu = /tmp/evil\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(spoilt.places.systemFile).constData(), 0666), 0);
    o = spoilt.installedTool({QStringLiteral("setup"), spoilt.dataRoot()});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("作り直します")));
    EXPECT_FALSE(spoilt.settings().has(programMenuKey()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(spoilt.places.systemFile).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(DataToolSetup, VersionDataRootOptionAndUsageErrors)
{
    InstalledPc pc;
    auto o = pc.installedTool({QStringLiteral("--version")});
    EXPECT_EQ(o.status, ToolOk);
    EXPECT_EQ(o.out, QStringList{QStringLiteral("tobrel-data %1.%2.%3")
                                     .arg(TOBREL_VERSION_MAJOR)
                                     .arg(TOBREL_VERSION_MINOR)
                                     .arg(TOBREL_VERSION_PATCH)});
    o = pc.installedTool({QStringLiteral("--data-root"), pc.dataRoot(), QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("データルートの指定: --data-root")));
    pc.places.environmentRoot = pc.dataRoot();
    o = pc.installedTool({QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("TOBREL_DATA_ROOT")));

    const QStringList usage[] = {
        {QStringLiteral("--bogus"), QStringLiteral("check")},
        {QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--keep"), QStringLiteral("3")},
        {QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("extra")},
        {QStringLiteral("--data-root"), pc.dataRoot(), QStringLiteral("setup"), pc.dataRoot()},
        {QStringLiteral("--data"), pc.dataFolder(), QStringLiteral("--data-root"), pc.dataRoot(), QStringLiteral("check")},
        {QStringLiteral("check"), QStringLiteral("--user")},
    };
    for (const QStringList &args : usage) {
        o = pc.installedTool(args);
        EXPECT_EQ(o.status, ToolUsage) << args.join(u' ').toStdString() << "\n" << o.all().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(pc.places.systemFile));
}
