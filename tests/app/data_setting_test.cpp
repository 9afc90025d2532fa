#include "app/Configuration.h"
#include "app/DataSetting.h"
#include "app/ProgramOptions.h"
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
        QString error;                      // a part of the error, or "" when read
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

TEST(DataLocation, CommandLineThenEnvironmentThenPathDataOrSettings)
{
    Pc pc;
    const QString other = pc.path(QStringLiteral("other"));
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile,
                                 "data-root = " + pc.dataRoot().toUtf8() + "\ndata-folder = juku\nprogram-menu = /opt/menu 001\n"));
    pc.writeSuitePathData(pc.dataRoot());

    // The installed copy: the settings, with their data folder and program menu.
    DataLocation w = locateDataRoot(pc.installed(), {}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::Settings);
    EXPECT_FALSE(w.suiteCopy);
    EXPECT_EQ(w.dataRoot, pc.dataRoot());
    EXPECT_EQ(w.dataFolderName, QStringLiteral("juku"));
    EXPECT_EQ(w.programMenu, (QStringList{QStringLiteral("/opt/menu"), QStringLiteral("001")}));
    EXPECT_EQ(w.localFolder, pc.places.userStateFolder);
    EXPECT_TRUE(w.origin.contains(pc.places.systemFile));

    // The copy in the suite: as the suite has it, whatever the settings say.
    w = locateDataRoot(pc.suiteProgram(), {}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::PathData);
    EXPECT_TRUE(w.suiteCopy);
    EXPECT_EQ(w.dataFolderName, QStringLiteral("squares"));
    EXPECT_EQ(w.programMenu.join(u' '), pc.suiteProgram() + QStringLiteral("/../起動/プログラムメニューc.exe 001"));
    EXPECT_EQ(w.localFolder, pc.suiteProgram() + u'/');

    // One start's own root, for either copy; the option before the environment.
    pc.places.environmentRoot = other;
    w = locateDataRoot(pc.installed(), {}, pc.places);
    EXPECT_EQ(w.from, DataLocation::From::Environment);
    EXPECT_EQ(w.dataRoot, other + u'/');
    EXPECT_EQ(w.dataFolderName, QStringLiteral("juku"));
    w = locateDataRoot(pc.suiteProgram(), QStringLiteral("relative/root"), pc.places);
    EXPECT_EQ(w.from, DataLocation::From::Option);
    EXPECT_EQ(w.dataRoot, QDir::currentPath() + QStringLiteral("/relative/root/"));
    EXPECT_EQ(w.dataFolderName, QStringLiteral("squares"));
}

TEST(DataLocation, NothingSetUpSaysWhatToRunAndABadSettingStopsOnlyTheInstalledCopy)
{
    Pc pc;
    const QString error = errorOf([&] { locateDataRoot(pc.installed(), {}, pc.places); });
    EXPECT_TRUE(error.contains(QStringLiteral("sudo tobrel-data setup"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("--data-root")));
    EXPECT_TRUE(error.contains(pc.places.systemFile));

    // A settings file without a data root: the same advice, and its other keys kept.
    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-folder = juku\n"));
    EXPECT_TRUE(errorOf([&] { locateDataRoot(pc.installed(), {}, pc.places); })
                    .contains(QStringLiteral("tobrel-data setup")));

    ASSERT_TRUE(pc.writeSettings(pc.places.systemFile, "data-root = /srv/\n", 0666));
    EXPECT_TRUE(errorOf([&] { locateDataRoot(pc.installed(), QStringLiteral("/srv"), pc.places); })
                    .contains(QStringLiteral("書き換えられる")));
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
    // Runs kept back go to the user's own folder, never to /usr/bin.
    EXPECT_EQ(state.config.localFolder(), pc.places.userStateFolder);
    EXPECT_TRUE(state.config.ProgramMenu.isEmpty());

    // The suite's copy keeps them in its folder, as before.
    pc.writeSuitePathData(pc.dataRoot());
    SharedState suite;
    LoadConfiguration(suite, pc.suiteProgram());
    EXPECT_EQ(suite.config.localFolder(), pc.suiteProgram() + u'/');
    EXPECT_EQ(suite.config.DataFolder, pc.dataRoot() + QStringLiteral("squares/"));
    EXPECT_FALSE(suite.config.ProgramMenu.isEmpty());
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
        {{QStringLiteral("-platform"), QStringLiteral("xcb")}, A::Usage, {}, QStringLiteral("-platform")},
        // A mistyped option is caught even after --help, before anything starts.
        {{QStringLiteral("--help"), QStringLiteral("--vresion")}, A::Usage, {}, QStringLiteral("--vresion")},
    };
    for (const auto &c : cases) {
        const ProgramOptions o = parseProgramOptions(c.args);
        EXPECT_EQ(o.action, c.action) << c.args.join(u' ').toStdString();
        EXPECT_EQ(o.dataRoot, c.dataRoot);
        EXPECT_TRUE(o.error.contains(c.error)) << o.error.toStdString();
    }
    EXPECT_EQ(programVersionLine(QStringLiteral("tobrel")),
              QStringLiteral("tobrel %1.%2.%3").arg(TOBREL_VERSION_MAJOR).arg(TOBREL_VERSION_MINOR).arg(TOBREL_VERSION_PATCH));
}
