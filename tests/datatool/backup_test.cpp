// "backup": a consistent copy of the data folder, also while a drill appends.
#include "datatool/DataBackup.h"
#include "datatool/DataToolFixture.h"
#include "results/ResultsFile.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QRegularExpression>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList backupsIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

TEST(Backup, CopiesTheDataFolderIntoADatedFolderAndKeepsTheNewest)
{
    School school;
    writeCp932(school.dataFolder() + QStringLiteral("成績訂正記録.txt"), QStringLiteral("2024/02/07 消去\r\n"));
    QDir().mkpath(school.dataFolder() + QStringLiteral("バックアップ"));
    writeFile(school.dataFolder() + QStringLiteral("バックアップ/成績累積データ_20240101_120000.dat"), "old");
    school.clock.seconds = 15 * 3600 + 30 * 60 + 5;

    auto o = school.tool({QStringLiteral("backup")});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    const QString first = school.dataFolder() + QStringLiteral("バックアップ/tobrel_20240207_153005");
    EXPECT_TRUE(o.all().contains(first)) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("成績の記録 2件")));
    const QStringList files = QDir(first).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{QStringLiteral("タイム回数データ.txt"), QStringLiteral("成績累積データ.dat"),
                                  QStringLiteral("成績訂正記録.txt")}));
    for (const QString &f : files)
        EXPECT_EQ(bytesOf(first + u'/' + f), bytesOf(school.dataFolder() + f)) << f.toStdString();

    // Into a folder of the teacher's choice; the newest two kept, the results manager's
    // own backup files never touched.
    const QString usb = school.root() + QStringLiteral("/usb");
    for (int i = 0; i < 3; ++i) {
        school.clock.advance(60);
        o = school.tool({QStringLiteral("backup"), usb, QStringLiteral("--keep"), QStringLiteral("2")});
        ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    }
    // Two in the same second are told apart.
    o = school.tool({QStringLiteral("backup"), usb, QStringLiteral("--keep=2")});
    ASSERT_EQ(o.status, ToolOk);
    EXPECT_EQ(backupsIn(usb),
              (QStringList{QStringLiteral("tobrel_20240207_153305"), QStringLiteral("tobrel_20240207_153305_2")}));
    EXPECT_TRUE(o.all().contains(QStringLiteral("古いバックアップを消しました: tobrel_20240207_153205")));
    EXPECT_TRUE(QFile::exists(school.dataFolder() + QStringLiteral("バックアップ/成績累積データ_20240101_120000.dat")));
    EXPECT_TRUE(QDir(first).exists());

    // A place that cannot be written: nothing half-made is left, the folder is named.
    writeFile(school.root() + QStringLiteral("/file"), "x");
    o = school.tool({QStringLiteral("backup"), school.root() + QStringLiteral("/file/sub")});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(QStringLiteral("/file/sub"))) << o.all().toStdString();
}

TEST(Backup, ABackupWithoutTheResultsFileSaysSo)
{
    School school;
    const QString results = school.dataFolder() + resultsFileName();

    // A school without runs yet: a good backup that says there is nothing to copy.
    QFile::remove(results);
    auto o = school.tool({QStringLiteral("backup")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("成績ファイルはまだありません"))) << o.all().toStdString();

    // A folder under the results file's name: the backup lacks the runs, and says so.
    QDir().mkpath(results);
    o = school.tool({QStringLiteral("backup")});
    EXPECT_EQ(o.status, ToolProblems) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(results)) << o.all().toStdString();
}

TEST(Backup, CopiesWholeRecordsWhileAnotherProcessAppends)
{
    School school;
    std::vector<ResultRecord> start;
    for (int i = 0; i < 2000; ++i)
        start.push_back(run.on(QDate(2024, 1, 1).addDays(i % 30))(1 + i % 5, 1 + i % 6, 20 + i % 50));
    school.writeResults(start);

    // The appender writes recognisable runs until it is stopped.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ResultsFile file(school.resultsPath());
        for (int i = 0;; ++i) {
            QString err;
            if (file.append(run.on(QDate(2024, 2, 7))(1 + i % 5, 1 + i % 6, 1000 + i % 5000), &err) == 0)
                _exit(2);
        }
    }
    std::vector<QByteArray> copies;
    const QString target = school.root() + QStringLiteral("/copies");
    for (int i = 0; i < 12; ++i) {
        school.clock.advance(1);
        const auto o = school.tool({QStringLiteral("backup"), target, QStringLiteral("--keep"), QStringLiteral("0")});
        ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
        const QString folder = o.out.first().section(QStringLiteral(": "), 1);
        copies.push_back(bytesOf(folder + QStringLiteral("/成績累積データ.dat")));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    // Every copy is whole records, starts with the file as it was and is a beginning of
    // the file as it ends (nothing torn, nothing out of order); copies grow.
    const QByteArray final = school.resultsBytes();
    const QByteArray original = recordsBytes(start);
    qsizetype last = 0;
    for (const QByteArray &copy : copies) {
        EXPECT_EQ(copy.size() % 44, 0);
        EXPECT_TRUE(copy.startsWith(original));
        EXPECT_TRUE(final.startsWith(copy.left(copy.size() - copy.size() % 44)));
        EXPECT_GE(copy.size(), last);
        last = copy.size();
    }
    EXPECT_GT(copies.back().size(), original.size()) << "the appender never ran during a backup";
}

namespace {

// A folder outside the school with files and a subfolder, and a picture of it.
struct Outside {
    QString path;
    explicit Outside(const QString &p) : path(p)
    {
        QDir().mkpath(path + QStringLiteral("/sub"));
        writeFile(path + QStringLiteral("/a.txt"), "a");
        writeFile(path + QStringLiteral("/sub/b.txt"), "b");
    }
    QStringList picture() const
    {
        QStringList all;
        QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            all << entry + u'=' + QString::fromLatin1(bytesOf(entry));
        }
        all.sort();
        return all;
    }
};

} // namespace

TEST(Backup, PruningRemovesOnlyRealBackupFoldersAndNothingThroughLinks)
{
    School school;
    const QString backups = school.dataFolder() + QStringLiteral("バックアップ/");
    QDir().mkpath(backups);
    const Outside outside(school.root() + QStringLiteral("/teachers"));
    const QStringList before = outside.picture();
    // A link under the oldest backup's name, and a real old backup holding a link.
    ASSERT_TRUE(QFile::link(outside.path, backups + QStringLiteral("tobrel_20000101_000000")));
    QDir().mkpath(backups + QStringLiteral("tobrel_20000102_000000"));
    ASSERT_TRUE(QFile::link(outside.path, backups + QStringLiteral("tobrel_20000102_000000/inside")));

    for (int i = 0; i < 2; ++i) {
        school.clock.advance(60);
        const auto o = school.tool({QStringLiteral("backup"), QStringLiteral("--keep"), QStringLiteral("1")});
        ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
        EXPECT_TRUE(o.all().contains(QStringLiteral("使わず消しませんでした（リンクなど）: tobrel_20000101_000000")))
            << o.all().toStdString();
    }
    EXPECT_EQ(outside.picture(), before);
    EXPECT_TRUE(QFileInfo(backups + QStringLiteral("tobrel_20000101_000000")).isSymLink());
    // The real old backup went, as a real folder (its link removed as a link).
    EXPECT_FALSE(QFileInfo::exists(backups + QStringLiteral("tobrel_20000102_000000")));
    EXPECT_EQ(backupsIn(backups).filter(QRegularExpression(QStringLiteral("^tobrel_2024"))).size(), 1);
}

TEST(Backup, AWorkFolderNamePlantedAsALinkIsNeitherEmptiedNorFilledNorUsed)
{
    School school;
    school.clock.seconds = 15 * 3600 + 30 * 60 + 5;
    const QString backups = school.dataFolder() + QStringLiteral("バックアップ/");
    QDir().mkpath(backups);
    const Outside outside(school.root() + QStringLiteral("/teachers"));
    const QStringList before = outside.picture();
    ASSERT_TRUE(QFile::link(outside.path, backups + QStringLiteral(".tobrel_20240207_153005.作成中")));

    const auto o = school.tool({QStringLiteral("backup")});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_EQ(outside.picture(), before);
    EXPECT_TRUE(QFileInfo(backups + QStringLiteral(".tobrel_20240207_153005.作成中")).isSymLink());
    EXPECT_FALSE(QFileInfo(backups + QStringLiteral("tobrel_20240207_153005")).isSymLink());
    const QString made = backups + QStringLiteral("tobrel_20240207_153005_2");
    EXPECT_TRUE(o.all().contains(made)) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("（リンクなど）: .tobrel_20240207_153005.作成中")))
        << o.all().toStdString();
    EXPECT_EQ(bytesOf(made + QStringLiteral("/成績累積データ.dat")), bytesOf(school.resultsPath()));

    // The backup folder itself planted as a link: refused, nothing written there.
    School other;
    const Outside elsewhere(other.root() + QStringLiteral("/elsewhere"));
    const QStringList empty = elsewhere.picture();
    ASSERT_TRUE(QFile::link(elsewhere.path, other.dataFolder() + QStringLiteral("バックアップ")));
    const auto refused = other.tool({QStringLiteral("backup")});
    EXPECT_EQ(refused.status, ToolProblems);
    EXPECT_TRUE(refused.all().contains(QStringLiteral("リンク"))) << refused.all().toStdString();
    EXPECT_EQ(elsewhere.picture(), empty);
}

TEST(Backup, WhatABackupKilledHalfwayLeftIsReportedByCheckAndClearedByTheNextBackup)
{
    School school;
    const QString backups = school.dataFolder() + QStringLiteral("バックアップ/");
    const QString left = backups + QStringLiteral(".tobrel_20240101_090000.作成中");
    QDir().mkpath(left);
    writeFile(left + QStringLiteral("/成績累積データ.dat"), QByteArray(3 * 1048576, 'r'));
    // Not ours: another program's work folder, and a link that bears our kind of name.
    QDir().mkpath(backups + QStringLiteral(".other_20240101_090000.作成中"));
    const Outside outside(school.root() + QStringLiteral("/teachers"));
    const QStringList before = outside.picture();
    ASSERT_TRUE(QFile::link(outside.path, backups + QStringLiteral(".tobrel_20240101_080000.作成中")));

    auto o = school.tool({QStringLiteral("check")});
    EXPECT_TRUE(
        o.all().contains(QStringLiteral("注意: 途中で止まったバックアップの残り %1 があります（3.0 MB）").arg(left)))
        << o.all().toStdString();
    // Told with the settings that name the data folder, not under another file's heading.
    QString headingAbove;
    for (const QString &line : o.out) {
        if (line.startsWith(u'【'))
            headingAbove = line;
        if (line.contains(QStringLiteral("途中で止まったバックアップの残り")))
            break;
    }
    EXPECT_EQ(headingAbove, QStringLiteral("【設定】")) << o.all().toStdString();

    o = school.tool({QStringLiteral("backup")});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("残りを消しました: .tobrel_20240101_090000.作成中")));
    EXPECT_FALSE(QFileInfo::exists(left));
    EXPECT_TRUE(QFileInfo::exists(backups + QStringLiteral(".other_20240101_090000.作成中")));
    EXPECT_TRUE(QFileInfo(backups + QStringLiteral(".tobrel_20240101_080000.作成中")).isSymLink());
    EXPECT_EQ(outside.picture(), before);
    o = school.tool({QStringLiteral("check")});
    EXPECT_FALSE(o.all().contains(QStringLiteral("途中で止まったバックアップ"))) << o.all().toStdString();
}

TEST(Backup, ALinkInTheDataFolderIsNotFollowed)
{
    School school;
    const QString secret = school.root() + QStringLiteral("/secret.txt");
    writeFile(secret, "private");
    ASSERT_TRUE(QFile::link(secret, school.dataFolder() + QStringLiteral("見て.txt")));
    const auto o = school.tool({QStringLiteral("backup")});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("写しませんでした（リンクなど）: 見て.txt"))) << o.all().toStdString();
    const QString made = school.dataFolder() + QStringLiteral("バックアップ/") +
                         backupsIn(school.dataFolder() + QStringLiteral("バックアップ")).first();
    EXPECT_FALSE(QFileInfo::exists(made + QStringLiteral("/見て.txt")));
    EXPECT_TRUE(QFileInfo::exists(made + QStringLiteral("/成績累積データ.dat")));
}
