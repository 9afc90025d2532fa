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
    // The suite's menu in a folder with a blank, written as a teacher would.
    const QString menu = pc.root() + QStringLiteral("/my suite/起動/menu");
    ASSERT_TRUE(writeFile(menu, "#!/bin/sh\n"));
    ASSERT_TRUE(QFile::setPermissions(menu, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    auto o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--data-folder"),
                               QStringLiteral("squares"), QStringLiteral("--program-menu"),
                               u'\'' + menu + QStringLiteral("' 001")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("データフォルダ: ") + pc.dataRoot() + QStringLiteral("squares/")));
    EXPECT_EQ(locateDataRoot(pc.bin(), {}, pc.places).programMenu, (QStringList{menu, QStringLiteral("001")}));

    // Pointing at the root again keeps the folder and the menu; an empty menu removes it.
    o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot()});
    EXPECT_EQ(pc.settings().value(dataFolderKey()), QStringLiteral("squares"));
    EXPECT_EQ(pc.settings().value(programMenuKey()), u'\'' + menu + QStringLiteral("' 001"));
    o = pc.installedTool(
        {QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--program-menu="), QStringLiteral("--user")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(QFileInfo::exists(pc.places.userFile)) << "--user writes the user's own file";
    EXPECT_EQ(pc.settings().value(programMenuKey()), u'\'' + menu + QStringLiteral("' 001"))
        << "the system's menu still stands under the user's file without one";

    // A menu "0" could not start, or one that cannot be read, is not written.
    const QByteArray before = readFileBytes(pc.places.systemFile);
    const struct {
        QString menu;
        QString says;
        int status;
    } refused[] = {
        {QStringLiteral("/opt/suite/起動/menu 001"),
         QStringLiteral("プログラムメニュー /opt/suite/起動/menu が見つからない"), ToolProblems},
        {menu + QStringLiteral(" 001"), QStringLiteral("が見つからない"), ToolProblems}, // split at the blank
        {QStringLiteral("no-such-menu-program 001"), QStringLiteral("no-such-menu-program が見つからない"),
         ToolProblems},
        {u'\'' + menu + QStringLiteral(" 001"), QStringLiteral("' が閉じていません"), ToolUsage},
        {u'\'' + menu + QStringLiteral("' 001 # back to the menu"), QStringLiteral("注釈"), ToolUsage},
    };
    for (const auto &c : refused) {
        o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--program-menu"), c.menu});
        EXPECT_EQ(o.status, c.status) << c.menu.toStdString();
        EXPECT_TRUE(o.all().contains(c.says)) << o.all().toStdString();
        EXPECT_EQ(readFileBytes(pc.places.systemFile), before);
    }
    // A program found on the PATH is started by name.
    o = pc.installedTool(
        {QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--program-menu"), QStringLiteral("sh -c true")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();

    for (const QString &bad :
         {QStringLiteral("a/b"), QStringLiteral(".."), QString(), QStringLiteral("tobrel # folder")}) {
        o = pc.installedTool({QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--data-folder"), bad});
        EXPECT_EQ(o.status, ToolUsage) << bad.toStdString();
    }
}

TEST(DataToolSetup, AnotherUserWritesTheirOwnFileAndAnUntrustedFileIsMadeAnew)
{
    InstalledPc pc;
    pc.places.userId = ::getuid() == 0 ? 4242 : ::getuid();
    // A root with a blank: the hint to paste is one word to the shell.
    const QString root = pc.root() + QStringLiteral("/my school/");
    ASSERT_TRUE(QDir().rename(pc.dataRoot(), root));
    auto o = pc.installedTool({QStringLiteral("setup"), root});
    EXPECT_TRUE(o.all().contains(pc.places.userFile)) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("このユーザーだけの設定です")));
    EXPECT_TRUE(o.all().contains(QStringLiteral("sudo tobrel-data setup '") + root + u'\'')) << o.all().toStdString();
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

    // An unknown option is named, wherever it stands.
    o = pc.installedTool({QStringLiteral("--bogus")});
    EXPECT_EQ(o.status, ToolUsage);
    EXPECT_TRUE(o.all().contains(QStringLiteral("--bogus というオプションはありません"))) << o.all().toStdString();

    const QStringList usage[] = {
        {QStringLiteral("--bogus"), QStringLiteral("check")},
        {QStringLiteral("--data"), pc.dataFolder(), QStringLiteral("--data-folder"), QStringLiteral("x"),
         QStringLiteral("check")},
        {QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("--keep"), QStringLiteral("3")},
        {QStringLiteral("setup"), pc.dataRoot(), QStringLiteral("extra")},
        {QStringLiteral("--data-root"), pc.dataRoot(), QStringLiteral("setup"), pc.dataRoot()},
        {QStringLiteral("--data"), pc.dataFolder(), QStringLiteral("--data-root"), pc.dataRoot(),
         QStringLiteral("check")},
        {QStringLiteral("check"), QStringLiteral("--user")},
    };
    for (const QStringList &args : usage) {
        o = pc.installedTool(args);
        EXPECT_EQ(o.status, ToolUsage) << args.join(u' ').toStdString() << "\n" << o.all().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(pc.places.systemFile));
}

TEST(DataToolSetup, ARootForOneRunReadsNoSettingsAndTakesItsOwnDataFolder)
{
    // The PC is set up for a school whose data folder is "squares"; the demo school
    // next to it keeps its data in "tobrel".
    InstalledPc pc;
    ASSERT_TRUE(writeFile(pc.places.systemFile, "data-root = /srv/elsewhere/\ndata-folder = squares\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(pc.places.systemFile).constData(), 0664), 0);
    auto o = pc.installedTool({QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(QStringLiteral("書き換えられる"))) << o.all().toStdString();

    o = pc.installedTool({QStringLiteral("--data-root"), pc.dataRoot(), QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("データフォルダ: ") + pc.dataFolder()));
    pc.places.environmentRoot = pc.dataRoot();
    o = pc.installedTool({QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();

    // --data-folder names another data folder in that root.
    QDir().rename(pc.dataFolder(), pc.dataRoot() + QStringLiteral("juku"));
    o = pc.installedTool({QStringLiteral("check"), QStringLiteral("--data-folder"), QStringLiteral("juku")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("データフォルダ: ") + pc.dataRoot() + QStringLiteral("juku/")));
}

TEST(DataToolSetup, CheckSaysWhichResultsFileEachKeptRunGoesTo)
{
    InstalledPc pc;
    ASSERT_EQ(pc.installedTool({QStringLiteral("setup"), pc.dataRoot()}).status, ToolOk);
    const QByteArray oneRun = recordsBytes({run.on(QDate(2024, 2, 7))(1, 1, 30)});
    // Kept for this school, for another school, and by an older copy that did not
    // keep them apart.
    const QString mine = keptRunsFolder(pc.places.userStateFolder, pc.dataFolder());
    const QString otherData = pc.root() + QStringLiteral("/other/tobrel/");
    const QString other = keptRunsFolder(pc.places.userStateFolder, otherData);
    ASSERT_TRUE(writeFile(mine + QStringLiteral("未送信成績.dat"), oneRun + oneRun));
    ASSERT_TRUE(writeFile(other + QStringLiteral("未送信成績.dat"), oneRun));
    ASSERT_TRUE(writeFile(pc.places.userStateFolder + QStringLiteral("未送信成績.dat"), oneRun));

    const auto o = pc.installedTool({QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << "kept runs are notices, not problems";
    const QString all = o.all();
    EXPECT_TRUE(all.contains(QStringLiteral("成績ファイル %1 へまだ送られていない記録が 2件").arg(pc.resultsPath())))
        << all.toStdString();
    EXPECT_TRUE(
        all.contains(QStringLiteral("ほかの成績ファイル %1成績累積データ.dat へ送る記録が 1件").arg(otherData)));
    EXPECT_TRUE(all.contains(QStringLiteral("どの成績ファイルへ送るのか分からない記録が 1件")));
    EXPECT_TRUE(all.contains(mine));
}

TEST(DataToolSetup, TheKeptRunsOfThisPcAreKnownAndKeptWhicheverWayTheDataFolderIsNamed)
{
    InstalledPc pc;
    ASSERT_EQ(pc.installedTool({QStringLiteral("setup"), pc.dataRoot()}).status, ToolOk);
    const QByteArray twoRuns = recordsBytes({run.on(QDate(2024, 2, 7))(1, 1, 30), run.on(QDate(2024, 2, 7))(1, 2, 30)});
    const QString mine = keptRunsFolder(pc.places.userStateFolder, pc.dataFolder()) + QStringLiteral("未送信成績.dat");
    const QString others = keptRunsFolder(pc.places.userStateFolder, pc.root() + QStringLiteral("/other/tobrel/")) +
                           QStringLiteral("未送信成績.dat");
    ASSERT_TRUE(writeFile(mine, twoRuns));
    ASSERT_TRUE(writeFile(others, twoRuns));
    // The same data root reached through a link (a mount point linked in).
    const QString linked = pc.root() + QStringLiteral("/mnt");
    ASSERT_TRUE(QFile::link(pc.dataRoot(), linked));
    const QString linkedFolder = linked + u'/' + QDir(pc.dataFolder()).dirName();

    const QStringList namings[] = {
        {QStringLiteral("--data"), pc.dataFolder()},
        {QStringLiteral("--data"), linkedFolder},
        {QStringLiteral("--data-root"), linked},
    };
    for (const QStringList &naming : namings) {
        SCOPED_TRACE(naming.join(u' ').toStdString());
        const auto check = pc.installedTool(naming + QStringList{QStringLiteral("check")});
        EXPECT_TRUE(check.all().contains(QStringLiteral("へまだ送られていない記録が 2件あります（%1）").arg(mine)))
            << check.all().toStdString();
        for (const QString &kept : {mine, others}) {
            const auto o = pc.installedTool(naming + QStringList{QStringLiteral("export"), kept});
            EXPECT_EQ(o.status, ToolUsage) << o.all().toStdString();
            EXPECT_EQ(readFileBytes(kept), twoRuns);
        }
        // A CSV anywhere else is written as before.
        const QString csv = pc.root() + QStringLiteral("/成績.csv");
        const auto o = pc.installedTool(naming + QStringList{QStringLiteral("export"), csv});
        EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
        EXPECT_TRUE(QFileInfo(csv).size() > 0);
        EXPECT_TRUE(QFile::remove(csv));
    }
}
