#include "app/Configuration.h"
#include "app/DataSetting.h"
#include "app/ProgramOptions.h"
#include "results/Tally.h"
#include "state/ResultRecord.h"
#include "state/SharedState.h"
#include "support/TestSupport.h"
#include "text/DataFileError.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

// A PC in a folder: the settings files, a user's state folder, an installed program's
// folder (nothing beside it) and a suite with its path data, and a data root that the
// program can start with.
struct Pc {
    QTemporaryDir dir;
    SettingPlaces places;

    Pc()
    {
        places.systemFile = path(QStringLiteral("etc/tobrel.conf"));
        places.userFile = path(QStringLiteral("home/.config/tobrel/tobrel.conf"));
        places.userStateFolder = path(QStringLiteral("home/.local/state/tobrel/"));
        places.userId = ::getuid();
        QDir().mkpath(path(QStringLiteral("etc")));
        QDir().mkpath(installed());
        QDir().mkpath(path(QStringLiteral("suite/squares")));
        writeData(dataRoot());
    }
    QString path(const QString &rest) const { return dir.path() + u'/' + rest; }
    QString installed() const { return path(QStringLiteral("usr/bin")); }
    QString suiteProgram() const { return path(QStringLiteral("suite/squares")); }
    QString dataRoot() const { return path(QStringLiteral("data/")); }

    // The common data, and criteria and cues for the data folders "tobrel" and "squares".
    static void writeData(const QString &root)
    {
        writeCp932(root + QStringLiteral("共通データ.txt"),
                   QStringLiteral("4\r\n01234みなと塾\r\n1\r\nx\r\ny\r\npw\r\n7\r\n8\r\n9\r\n10\r\n"));
        for (const char *folder : {"tobrel", "squares", "juku"})
            writeCp932(root + QString::fromLatin1(folder) + QStringLiteral("/タイム回数データ.txt"),
                       QStringLiteral("a,b,c,d,e,f,g,h,i,,,\r\n30,60,30,3,1.5,10,0,7,1,,,\r\n"));
        writeCp932(root + QStringLiteral("音フォルダ/新音ファイル.txt"), QStringLiteral("正解音2\r\nok1\r\n*\r\n"));
    }
    void writeSuitePathData(const QString &root)
    {
        writeCp932(path(QStringLiteral("suite/パスデータ.txt")),
                   root + QStringLiteral("\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"));
    }
    // A settings file as an administrator would leave it: readable by all.
    bool writeSettings(const QString &file, const QByteArray &text, mode_t mode = 0644)
    {
        return writeFile(file, text) && ::chmod(QFile::encodeName(file).constData(), mode) == 0;
    }
};

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DataFileError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

} // namespace

TEST(SettingsFile, ReadsKeysAndRefusesWhatItDoesNotKnow)
{
    const struct {
        QByteArray text;
        QString dataRoot, dataFolder, menu; // expected values ("" = key absent)
        QString error; // a part of the error, or "" when read
    } cases[] = {
        {"# notes\n\ndata-root = /srv/juku/data/\r\n  data-folder=squares  \nprogram-menu = /opt/menu 001\n",
         "/srv/juku/data/", "squares", "/opt/menu 001", ""},
        {"data-root = /srv/日本語 フォルダ/\n", "/srv/日本語 フォルダ/", "", "", ""},
        {"program-menu =\n", "", "", "", ""},
        {"data_root = /srv\n", "", "", "", "「data_root = /srv」が読めません"},
        {"data-root /srv\n", "", "", "", "が読めません"},
        {"data-root =\n", "", "", "", "data-root の値がありません"},
        {"data-folder = ../other\n", "", "", "", "フォルダの名前ではありません"},
        {"data-folder = ..\n", "", "", "", "フォルダの名前ではありません"},
        {"data-root = /srv/\x82\xa0\n", "", "", "", "UTF-8"},
        // Notes stand on lines of their own: one copied behind a value would become
        // part of it, so it is refused and said.
        {"data-folder = tobrel   # the data folder\n", "", "", "", "空白・/・# を含まない"},
        {"data-folder = my drill\n", "", "", "", "空白・/・# を含まない"},
        {"data-root = /nowhere/data/   # the root\n", "", "", "", "# で始まる別の行"},
        {"program-menu = /opt/menu 001   # what 0 starts\n", "", "", "", "# で始まる別の行"},
        {"program-menu = '/opt/my menu 001\n", "", "", "", "' が閉じていません"},
        {"program-menu = '/opt/suite #2/menu' \"#1\"\n", "", "", "'/opt/suite #2/menu' \"#1\"", ""},
        {"data-root = relative/data\n", "", "", "", "/ で始まる"},
    };
    for (const auto &c : cases) {
        Pc pc;
        ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, c.text));
        Settings s;
        const QString error = errorOf([&] { s = readSettings(pc.places); });
        if (c.error.isEmpty()) {
            EXPECT_EQ(error, QStringLiteral("(no error)")) << c.text.toStdString();
            EXPECT_EQ(s.value(dataRootKey()), c.dataRoot);
            EXPECT_EQ(s.value(dataFolderKey()), c.dataFolder);
            EXPECT_EQ(s.value(programMenuKey()), c.menu);
        } else {
            EXPECT_TRUE(error.contains(c.error)) << error.toStdString();
            EXPECT_TRUE(error.contains(pc.places.systemFile)) << error.toStdString();
        }
    }
}

TEST(SettingsFile, AFolderWhoseNameHoldsAHashIsTakenAsItStands)
{
    Pc pc;
    const QString root = pc.path(QStringLiteral("juku #2/"));
    ASSERT_TRUE(QDir().mkpath(root));
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = " + root.toUtf8() + "\n"));
    EXPECT_EQ(readSettings(pc.places).value(dataRootKey()), root);
}

TEST(ProgramMenu, SplitsAtBlanksKeepingQuotedWordsWhole)
{
    const struct {
        QString command;
        QStringList words; // empty: refused
    } cases[] = {
        {QStringLiteral("/opt/menu 001"), {QStringLiteral("/opt/menu"), QStringLiteral("001")}},
        {QStringLiteral("  /opt/menu\t001  "), {QStringLiteral("/opt/menu"), QStringLiteral("001")}},
        // What a teacher writes for a folder with a blank: either kind of quote.
        {QStringLiteral("'/opt/my suite/起動/menu' 001"),
         {QStringLiteral("/opt/my suite/起動/menu"), QStringLiteral("001")}},
        {QStringLiteral("\"/opt/my suite/menu\" 001"), {QStringLiteral("/opt/my suite/menu"), QStringLiteral("001")}},
        {QStringLiteral("/opt/\"my suite\"/menu"), {QStringLiteral("/opt/my suite/menu")}},
        {QStringLiteral("menu \"it's\" ''"), {QStringLiteral("menu"), QStringLiteral("it's"), QString()}},
        // Backslashes stand for themselves: a Windows path for a suite run through Wine.
        {QStringLiteral("wine C:\\suite\\起動\\プログラムメニューc.exe 001"),
         {QStringLiteral("wine"), QStringLiteral("C:\\suite\\起動\\プログラムメニューc.exe"), QStringLiteral("001")}},
        {QStringLiteral("/opt/menu#1 001"), {QStringLiteral("/opt/menu#1"), QStringLiteral("001")}},
        {QStringLiteral("/opt/menu 001 # back to the menu"), {}},
        {QStringLiteral("\"/opt/menu 001"), {}},
    };
    for (const auto &c : cases) {
        QString error;
        EXPECT_EQ(splitProgramMenu(c.command, &error), c.words) << c.command.toStdString();
        EXPECT_EQ(error.isEmpty(), !c.words.isEmpty()) << c.command.toStdString() << error.toStdString();
    }
    // A hint to paste into a shell stays one word.
    EXPECT_EQ(shellQuoted(QStringLiteral("/srv/juku/データ/")), QStringLiteral("/srv/juku/データ/"));
    EXPECT_EQ(shellQuoted(QStringLiteral("/srv/my juku/")), QStringLiteral("'/srv/my juku/'"));
    EXPECT_EQ(shellQuoted(QStringLiteral("/srv/it's/")), QStringLiteral("'/srv/it'\\''s/'"));
}

TEST(SettingsFile, OnlyAFileNobodyElseCanChangeIsBelieved)
{
    // Every user reads the system's file: one that another user could have written,
    // or a link that could point anywhere, is refused and named, not skipped.
    {
        Pc pc;
        ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = /srv/a/\n", 0666));
        EXPECT_TRUE(errorOf([&] { readSettings(pc.places); }).contains(QStringLiteral("書き換えられる")));
        ASSERT_EQ(::chmod(QFile::encodeName(pc.places.systemFile).constData(), 0664), 0);
        EXPECT_TRUE(errorOf([&] { readSettings(pc.places); }).contains(QStringLiteral("書き換えられる")));
    }
    {
        Pc pc;
        const QString elsewhere = pc.path(QStringLiteral("tmp/planted.conf"));
        ASSERT_TRUE(pc.writeSettings(elsewhere, "data-root = /srv/planted/\n"));
        ASSERT_TRUE(QFile::link(elsewhere, pc.places.systemFile));
        EXPECT_TRUE(errorOf([&] { readSettings(pc.places); }).contains(QStringLiteral("リンク")));
    }
    {
        Pc pc;
        ASSERT_TRUE(QDir().mkpath(pc.places.systemFile));
        EXPECT_TRUE(errorOf([&] { readSettings(pc.places); }).contains(QStringLiteral("普通のファイルではありません")));
    }
    {
        // The per-user file may belong to its user; the system's only to root.
        Pc pc;
        ASSERT_TRUE(pc.writeSettings(pc.places.userFile, "data-root = /srv/mine/\n"));
        EXPECT_EQ(readSettings(pc.places).value(dataRootKey()), QStringLiteral("/srv/mine/"));
        if (::getuid() == 0) {
            const QByteArray file = QFile::encodeName(pc.places.userFile);
            ASSERT_EQ(::chown(file.constData(), 4242, 4242), 0);
            EXPECT_TRUE(errorOf([&] { readSettings(pc.places); }).contains(QStringLiteral("持ち主")));
            pc.places.userId = 4242; // now it is that user's own file
            EXPECT_EQ(readSettings(pc.places).value(dataRootKey()), QStringLiteral("/srv/mine/"));
            ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = /srv/a/\n"));
            ASSERT_EQ(::chown(QFile::encodeName(pc.places.systemFile).constData(), 4242, 4242), 0);
            EXPECT_TRUE(errorOf([&] { readSettings(pc.places); }).contains(QStringLiteral("root ではありません")));
        }
    }
}

TEST(SettingsFile, TheUsersKeysWinOverTheSystemsOneByOne)
{
    Pc pc;
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = /srv/school/\nprogram-menu = /opt/menu 001\n"));
    ASSERT_TRUE(pc.writeSettings(pc.places.userFile, "data-root = /home/t/test-school/\n"));
    const Settings s = readSettings(pc.places);
    EXPECT_EQ(s.value(dataRootKey()), QStringLiteral("/home/t/test-school/"));
    EXPECT_EQ(s.fileOf.value(dataRootKey()), pc.places.userFile);
    EXPECT_EQ(s.value(programMenuKey()), QStringLiteral("/opt/menu 001"));
    EXPECT_EQ(s.fileOf.value(programMenuKey()), pc.places.systemFile);
}

TEST(SettingsFile, IsWrittenInOneStepReadableByAllAndNeverThroughALink)
{
    Pc pc;
    // A restrictive umask (root's often is) must not hide the file from the students.
    const mode_t before = ::umask(077);
    Settings s;
    s.values[dataRootKey()] = QStringLiteral("/srv/juku/データ/");
    s.values[programMenuKey()] = QStringLiteral("\"/opt/suite/起動/menu\" 001");
    // The user's folders do not exist yet.
    EXPECT_EQ(writeSettingsFile(pc.places.userFile, settingsFileText(s)), QString());
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(pc.places.userFile).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    const Settings back = readSettings(pc.places);
    EXPECT_EQ(back.values, s.values);
    EXPECT_EQ(QDir(QFileInfo(pc.places.userFile).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("tobrel.conf")});

    // A link planted under the file's name is replaced; what it pointed at is untouched.
    const QString target = pc.path(QStringLiteral("victim.txt"));
    ASSERT_TRUE(writeFile(target, "keep me"));
    ASSERT_TRUE(QFile::link(target, pc.places.systemFile));
    EXPECT_EQ(writeSettingsFile(pc.places.systemFile, settingsFileText(s)), QString());
    EXPECT_EQ(readFileBytes(target), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo(pc.places.systemFile).isSymLink());
    EXPECT_EQ(readSettings(pc.places).value(dataRootKey()), s.value(dataRootKey()));

    // A folder that cannot be written to is reported, naming the file.
    const QString blocked = pc.path(QStringLiteral("file-not-folder/tobrel.conf"));
    ASSERT_TRUE(writeFile(pc.path(QStringLiteral("file-not-folder")), "x"));
    EXPECT_TRUE(writeSettingsFile(blocked, settingsFileText(s)).contains(blocked));
}

TEST(SettingsFile, IsNotWrittenIntoAFolderOfAnotherUser)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    // sudo keeps the user's HOME: root must not leave ~/.config owned by root.
    Pc pc;
    const QString home = pc.path(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_EQ(::chown(QFile::encodeName(home).constData(), 4242, 4242), 0);
    Settings s;
    s.values[dataRootKey()] = pc.dataRoot();
    const QString error = writeSettingsFile(pc.places.userFile, settingsFileText(s));
    EXPECT_TRUE(error.contains(home) && error.contains(QStringLiteral("持ち主"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/.config")));

    // Its owner writes it; root still writes the system's file in root's folder.
    ASSERT_EQ(::chown(QFile::encodeName(home).constData(), 0, 0), 0);
    EXPECT_EQ(writeSettingsFile(pc.places.userFile, settingsFileText(s)), QString());
    EXPECT_EQ(writeSettingsFile(pc.places.systemFile, settingsFileText(s)), QString());
}

TEST(DataLocation, CommandLineThenEnvironmentThenPathDataOrSettings)
{
    Pc pc;
    const QString other = pc.path(QStringLiteral("other"));
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = " + pc.dataRoot().toUtf8() +
                                                           "\ndata-folder = juku\nprogram-menu = /opt/menu 001\n"));
    pc.writeSuitePathData(pc.dataRoot());

    // The installed copy: the settings, with their data folder and program menu.
    DataLocation w = locateDataRoot(pc.installed(), {}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::Settings);
    EXPECT_FALSE(w.suiteCopy);
    EXPECT_EQ(w.dataRoot, pc.dataRoot());
    EXPECT_EQ(w.dataFolderName, QStringLiteral("juku"));
    EXPECT_EQ(w.programMenu, (QStringList{QStringLiteral("/opt/menu"), QStringLiteral("001")}));
    EXPECT_EQ(w.localFolder, keptRunsFolder(pc.places.userStateFolder, pc.dataRoot() + QStringLiteral("juku/")));
    EXPECT_TRUE(w.origin.contains(pc.places.systemFile));
    // --data-folder names the data folder for one start.
    w = locateDataRoot(pc.installed(), ThisStart{{}, QStringLiteral("squares")}, pc.places);
    EXPECT_EQ(w.dataRoot, pc.dataRoot());
    EXPECT_EQ(w.dataFolderName, QStringLiteral("squares"));
    EXPECT_EQ(w.localFolder, keptRunsFolder(pc.places.userStateFolder, pc.dataRoot() + QStringLiteral("squares/")));

    // The copy in the suite: as the suite has it, whatever the settings say.
    w = locateDataRoot(pc.suiteProgram(), {}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::PathData);
    EXPECT_TRUE(w.suiteCopy);
    EXPECT_EQ(w.dataFolderName, QStringLiteral("squares"));
    EXPECT_EQ(w.programMenu.join(u' '), pc.suiteProgram() + QStringLiteral("/../起動/プログラムメニューc.exe 001"));
    EXPECT_EQ(w.localFolder, pc.suiteProgram() + u'/');

    // One start's own root, for either copy; the option before the environment. It
    // stands alone: the settings' data folder and menu belong to the PC's own school.
    pc.places.environmentRoot = other;
    w = locateDataRoot(pc.installed(), {}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::Environment);
    EXPECT_EQ(w.dataRoot, other + u'/');
    EXPECT_EQ(w.dataFolderName, QStringLiteral("tobrel"));
    EXPECT_TRUE(w.programMenu.isEmpty());
    w = locateDataRoot(pc.installed(), ThisStart{pc.dataRoot(), QStringLiteral("juku")}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::Option);
    EXPECT_EQ(w.dataFolderName, QStringLiteral("juku"));
    w = locateDataRoot(pc.suiteProgram(), ThisStart{QStringLiteral("relative/root"), {}}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::Option);
    EXPECT_EQ(w.dataRoot, QDir::currentPath() + QStringLiteral("/relative/root/"));
    EXPECT_EQ(w.dataFolderName, QStringLiteral("squares"));
    EXPECT_FALSE(w.programMenu.isEmpty());
    // The program folder keeps the runs of the suite's own school only.
    EXPECT_EQ(w.localFolder, keptRunsFolder(pc.places.userStateFolder,
                                            QDir::currentPath() + QStringLiteral("/relative/root/squares/")));
}

TEST(DataLocation, NothingSetUpSaysWhatToRunAndABadSettingStopsOnlyWhereItIsRead)
{
    Pc pc;
    const QString error = errorOf([&] { locateDataRoot(pc.installed(), {}, pc.places); });
    EXPECT_TRUE(error.contains(QStringLiteral("sudo tobrel-data setup"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("--data-root")));
    EXPECT_TRUE(error.contains(pc.places.systemFile));
    // The path data file a suite copy would read, named as a clean path.
    EXPECT_TRUE(error.contains(pc.path(QStringLiteral("usr/パスデータ.txt")))) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("/../")));
    EXPECT_FALSE(error.endsWith(u'\n'));
    try {
        locateDataRoot(pc.installed(), {}, pc.places);
    } catch (const DataFileError &e) {
        EXPECT_EQ(e.detail(), e.problem()) << "no one file is at fault";
    }

    // A settings file without a data root: the same advice, and its other keys kept.
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-folder = juku\n"));
    EXPECT_TRUE(
        errorOf([&] { locateDataRoot(pc.installed(), {}, pc.places); }).contains(QStringLiteral("tobrel-data setup")));

    // A settings file others could have written stops the starts that would read it;
    // one start with its own root reads none and goes on.
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = /srv/\ndata-folder = juku\n", 0666));
    EXPECT_TRUE(
        errorOf([&] { locateDataRoot(pc.installed(), {}, pc.places); }).contains(QStringLiteral("書き換えられる")));
    EXPECT_TRUE(errorOf([&] {
                    locateDataRoot(pc.installed(), ThisStart{{}, QStringLiteral("juku")}, pc.places);
                }).contains(QStringLiteral("書き換えられる")));
    const DataLocation own = locateDataRoot(pc.installed(), ThisStart{pc.dataRoot(), {}}, pc.places);
    EXPECT_EQ(own.dataRoot, pc.dataRoot());
    EXPECT_EQ(own.dataFolderName, QStringLiteral("tobrel"));
    pc.places.environmentRoot = pc.dataRoot();
    EXPECT_EQ(locateDataRoot(pc.installed(), {}, pc.places).dataRoot, pc.dataRoot());
    pc.places.environmentRoot.clear();
    pc.writeSuitePathData(pc.dataRoot());
    EXPECT_EQ(locateDataRoot(pc.suiteProgram(), {}, pc.places).dataRoot, pc.dataRoot());
}

TEST(DataLocation, AnInstalledCopyLoadsItsConfigurationFromTheSettings)
{
    Pc pc;
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = " + pc.dataRoot().toUtf8() + "\n"));
    SharedState state;
    LoadConfiguration(state, locateDataRoot(pc.installed(), {}, pc.places));
    EXPECT_EQ(state.config.ProgramFolder, pc.installed() + u'/');
    EXPECT_EQ(state.config.DataFolder, pc.dataRoot() + QStringLiteral("tobrel/"));
    EXPECT_EQ(state.config.SoundFolder, pc.dataRoot() + QStringLiteral("音フォルダ/"));
    EXPECT_EQ(state.config.SchoolName, QStringLiteral("みなと塾"));
    EXPECT_EQ(state.criteria.CritPassTime[1], 60);
    // Runs kept back go to the user's own folder for this results file, never to /usr/bin.
    EXPECT_TRUE(state.config.localFolder().startsWith(pc.places.userStateFolder));
    EXPECT_TRUE(state.config.ProgramMenu.isEmpty());

    // The suite's copy keeps them in its folder, as before.
    pc.writeSuitePathData(pc.dataRoot());
    SharedState suite;
    LoadConfiguration(suite, pc.suiteProgram());
    EXPECT_EQ(suite.config.localFolder(), pc.suiteProgram() + u'/');
    EXPECT_EQ(suite.config.DataFolder, pc.dataRoot() + QStringLiteral("squares/"));
    EXPECT_FALSE(suite.config.ProgramMenu.isEmpty());
}

TEST(KeptRuns, GoOnlyToTheResultsFileTheyWereKeptFor)
{
    // The PC's school, whose share would not take a run, and another school started
    // once with --data-root: the kept run waits for its own school.
    Pc pc;
    const QString otherRoot = pc.path(QStringLiteral("other/"));
    Pc::writeData(otherRoot);
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = " + pc.dataRoot().toUtf8() + "\n"));
    SharedState mine, other;
    LoadConfiguration(mine, locateDataRoot(pc.installed(), {}, pc.places));
    LoadConfiguration(other, locateDataRoot(pc.installed(), ThisStart{otherRoot, {}}, pc.places));
    ASSERT_NE(mine.config.localFolder(), other.config.localFolder());

    ResultRecord kept;
    kept.ResultRecDate = 45329;
    kept.ResultRecStudentNo = 7;
    kept.ResultRecLevel = 2;
    kept.ResultRecTime = 41;
    const auto bytes = kept.encode();
    ASSERT_TRUE(QDir().mkpath(mine.config.localFolder()));
    ASSERT_TRUE(writeFile(pendingFilePath(mine), QByteArray(bytes.data(), kRecordSize)));
    ASSERT_TRUE(writeFile(other.config.DataFolder + resultsFileName(), QByteArray()));
    ASSERT_TRUE(writeFile(mine.config.DataFolder + resultsFileName(), QByteArray()));

    EXPECT_EQ(sharedResultsFile(other).sendPendingRuns(), 0);
    EXPECT_EQ(readFileBytes(other.config.DataFolder + resultsFileName()).size(), 0);
    EXPECT_EQ(readFileBytes(pendingFilePath(mine)).size(), kRecordSize);
    EXPECT_EQ(sharedResultsFile(mine).sendPendingRuns(), 1);
    EXPECT_EQ(readFileBytes(mine.config.DataFolder + resultsFileName()), QByteArray(bytes.data(), kRecordSize));
}

TEST(KeptRuns, AreKeptInAFolderNamedAfterTheDataFolder)
{
    const QString state = QStringLiteral("/home/t/.local/state/tobrel/");
    const QString paths[] = {
        QStringLiteral("/srv/juku/data/tobrel/"),
        QStringLiteral("/mnt/塾 #2/100%/squares/"),
        QStringLiteral("/mnt/") + QString(300, QChar(u'長')) + QStringLiteral("/tobrel/"),
    };
    QStringList folders;
    for (const QString &path : paths) {
        const QString folder = keptRunsFolder(state, path);
        ASSERT_TRUE(folder.startsWith(state) && folder.endsWith(u'/')) << folder.toStdString();
        const QString name = folder.mid(state.size()).chopped(1);
        EXPECT_FALSE(name.contains(u'/'));
        EXPECT_LE(QFile::encodeName(name).size(), 255) << "one name the file system takes";
        folders << folder;
        // The name tells the data folder back, except when it had to be shortened.
        if (path.size() < 100)
            EXPECT_EQ(dataFolderOfKeptRuns(name), path);
        else
            EXPECT_EQ(dataFolderOfKeptRuns(name), QString());
    }
    EXPECT_EQ(folders[0], state + QStringLiteral("%2Fsrv%2Fjuku%2Fdata%2Ftobrel/"));
    EXPECT_NE(keptRunsFolder(state, paths[2]),
              keptRunsFolder(state, QString(paths[2]).replace(QStringLiteral("tobrel"), QStringLiteral("squares"))));
    // The same folder however it was written.
    EXPECT_EQ(keptRunsFolder(state, QStringLiteral("/srv/juku//data/./tobrel")), folders[0]);
    EXPECT_EQ(keptRunsFolder(QString(), paths[0]), QString());
    EXPECT_EQ(dataFolderOfKeptRuns(QStringLiteral("未送信成績.dat")), QString());
}

TEST(ProgramOptions, HelpVersionDataRootAndMistypedOptions)
{
    using A = ProgramOptions::Action;
    const struct {
        QStringList args;
        A action;
        QString dataRoot;
        QString error;
    } cases[] = {
        {{}, A::Start, {}, {}},
        // The suite's program menu may pass words of its own: they are left alone.
        {{QStringLiteral("001")}, A::Start, {}, {}},
        {{QStringLiteral("--help")}, A::Help, {}, {}},
        {{QStringLiteral("-h")}, A::Help, {}, {}},
        {{QStringLiteral("--version")}, A::Version, {}, {}},
        {{QStringLiteral("--version"), QStringLiteral("--help")}, A::Help, {}, {}},
        {{QStringLiteral("--data-root"), QStringLiteral("/srv/data")}, A::Start, QStringLiteral("/srv/data"), {}},
        {{QStringLiteral("--data-root=/srv/データ")}, A::Start, QStringLiteral("/srv/データ"), {}},
        {{QStringLiteral("--data-root")}, A::Usage, {}, QStringLiteral("--data-root の後に")},
        {{QStringLiteral("--data-root=")}, A::Usage, {}, QStringLiteral("空です")},
        {{QStringLiteral("--fullscreen")}, A::Usage, {}, QStringLiteral("--fullscreen というオプションはありません")},
        // Qt's own options, which a session manager or a desktop passes, are Qt's.
        {{QStringLiteral("-platform"), QStringLiteral("xcb")}, A::Start, {}, {}},
        {{QStringLiteral("-session"), QStringLiteral("10d2a8-1"), QStringLiteral("--reverse")}, A::Start, {}, {}},
        {{QStringLiteral("-style=fusion"), QStringLiteral("--display"), QStringLiteral(":1")}, A::Start, {}, {}},
        {{QStringLiteral("-session")}, A::Usage, {}, QStringLiteral("-session の後に")},
        {{QStringLiteral("-platform=xcb")}, A::Usage, {}, QStringLiteral("-platform=xcb というオプション")},
        {{QStringLiteral("--data-folder"), QStringLiteral("squares")}, A::Start, {}, {}},
        {{QStringLiteral("--data-folder=a/b")}, A::Usage, {}, QStringLiteral("フォルダの名前ではありません")},
        {{QStringLiteral("--data-folder")}, A::Usage, {}, QStringLiteral("--data-folder の後に")},
        // A mistyped option is caught even after --help, before anything starts.
        {{QStringLiteral("--help"), QStringLiteral("--vresion")}, A::Usage, {}, QStringLiteral("--vresion")},
    };
    for (const auto &c : cases) {
        const ProgramOptions o = parseProgramOptions(c.args);
        EXPECT_EQ(o.action, c.action) << c.args.join(u' ').toStdString();
        EXPECT_EQ(o.dataRoot, c.dataRoot);
        EXPECT_TRUE(o.error.contains(c.error)) << o.error.toStdString();
    }
    EXPECT_EQ(programVersionLine(QStringLiteral("tobrel")), QStringLiteral("tobrel %1.%2.%3")
                                                                .arg(TOBREL_VERSION_MAJOR)
                                                                .arg(TOBREL_VERSION_MINOR)
                                                                .arg(TOBREL_VERSION_PATCH));
}
