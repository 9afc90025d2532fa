// The data tool's command line and its "check".
#include "datatool/DataToolFixture.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

using namespace tobrel;
using namespace tobrel::test;

namespace {

QStringList linesStarting(const QStringList &lines, const QString &prefix)
{
    QStringList out;
    for (const QString &l : lines)
        if (l.trimmed().startsWith(prefix))
            out << l;
    return out;
}

} // namespace

TEST(DataTool, HelpListsEveryCommandWithAnExample)
{
    School school;
    const auto o = school.tool({QStringLiteral("--help")});
    EXPECT_EQ(o.status, ToolOk);
    const QString help = o.out.join(u'\n');
    for (const char *command : {"check", "repair", "backup", "export"}) {
        EXPECT_TRUE(help.contains(QStringLiteral("  %1").arg(QLatin1String(command)))) << command;
        EXPECT_TRUE(help.contains(QStringLiteral("例: tobrel-data %1").arg(QLatin1String(command)))) << command;
    }
}

TEST(DataTool, UsageErrorsEndWithStatusTwoAndSayWhat)
{
    School school;
    const struct {
        QStringList args;
        const char *says;
    } cases[] = {
        {{}, "コマンドがありません"},
        {{"fix"}, "「fix」というコマンドはありません"},
        {{"check", "--yes"}, "--yes"},
        {{"check", "extra"}, "余分な引数"},
        {{"export"}, "CSVファイルの名前"},
        {{"export", "a.csv", "--from"}, "--from の後に値がありません"},
        {{"export", "a.csv", "--from", "2024/13/01"}, "2024/13/01"},
        {{"export", "a.csv", "--from", "2024/03/01", "--to", "2024/02/01"}, "--from の日付が --to"},
        {{"export", "a.csv", "--student", "abc"}, "abc"},
        {{"export", "a.csv", "--utf8=1"}, "値をとりません"},
        {{"backup", "--keep", "-1"}, "--keep"},
        {{"--data", "/no/such/folder", "check"}, "/no/such/folder"},
    };
    for (const auto &c : cases) {
        const auto o = school.tool(c.args);
        EXPECT_EQ(o.status, ToolUsage) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(o.err.join(u'\n').contains(QString::fromUtf8(c.says))) << o.all().toStdString();
        EXPECT_TRUE(o.out.isEmpty());
    }
}

TEST(DataTool, FindsTheDataLikeTheProgramOrInTheGivenFolder)
{
    School school;
    auto o = school.tool({QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("データフォルダ: ") + school.dataFolder()));

    // Without the path data file the folders are unknown, and the teacher is told how
    // to give the data folder instead.
    QFile::remove(school.root() + QStringLiteral("/suite/パスデータ.txt"));
    o = school.tool({QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(QStringLiteral("パスデータ.txt"))) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("--data")));

    o = school.tool({QStringLiteral("--data"), school.dataFolder(), QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("塾コード「01234」")));
}

TEST(DataCheck, ReportsNothingOnTheDemoSchool)
{
    QTemporaryDir dir;
    ASSERT_EQ(QProcess::execute(QStringLiteral(TOBREL_DEMO_TOOL), {dir.path()}), 0);
    School clock; // only for the date: the demo's runs end today
    clock.clock.date = QDate::currentDate();
    ToolConsole console;
    QStringList out;
    console.out = [&](const QString &l) { out << l; };
    console.err = [&](const QString &l) { out << l; };
    const int status =
        runDataTool({QStringLiteral("check")}, dir.path() + QStringLiteral("/tobrel"), console, clock.clock);
    EXPECT_EQ(status, ToolOk) << out.join(u'\n').toStdString();
    EXPECT_EQ(out.last(), QStringLiteral("まとめ: 問題はありません")) << out.join(u'\n').toStdString();
    EXPECT_TRUE(linesStarting(out, QStringLiteral("注意:")).isEmpty());
    EXPECT_TRUE(out.join(u'\n').contains(QStringLiteral("WAVファイル 11個のうち 11個は鳴らせます")));
}

TEST(DataCheck, FindsEachKindOfProblem)
{
    using Spoil = std::function<void(School &)>;
    const auto appendRecords = [](School &s, const std::vector<ResultRecord> &records) {
        writeFile(s.resultsPath(), s.resultsBytes() + recordsBytes(records));
    };
    const struct {
        const char *what;
        Spoil spoil;
        bool problem; // false: a notice only
        std::vector<const char *> says;
    } cases[] = {
        {"common data missing",
         [](School &s) { QFile::remove(s.dataRoot() + QStringLiteral("共通データ.txt")); },
         true,
         {"共通データ.txt", "ありません"}},
        {"roster missing", [](School &s) { QFile::remove(s.rosterPath()); }, true, {"新名簿.txt", "ありません"}},
        {"student number out of range",
         [](School &s) {
             s.students.push_back({6000, QStringLiteral("範囲　外子"), 2014});
             s.writeRoster();
         },
         true,
         {"範囲にない生徒 1人", "7行目 生徒番号 6000「範囲　外子」"}},
        {"duplicate student number",
         [](School &s) {
             s.students.push_back({2, QStringLiteral("二番　目"), 2014});
             s.writeRoster();
         },
         true,
         {"生徒番号 2 が2回あります（2行目、7行目、最初は「髙橋　①郎」）"}},
        {"criteria missing",
         [](School &s) { QFile::remove(s.criteriaPath()); },
         true,
         {"タイム回数データ.txt", "ありません"}},
        {"level without a line",
         [](School &s) {
             writeCp932(s.criteriaPath(),
                        QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n"
                                       "30,60,30,3,1,12,0,7,1,,,\r\n"));
         },
         true,
         {"レベル2の行がありません", "レベル6の行がありません"}},
        {"level with a target time of 0",
         [](School &s) {
             QString text = QStringLiteral("h,h,h,h,h,h,h,h,h,,,\r\n");
             for (int L = 1; L <= 6; ++L)
                 text += L == 3 ? QStringLiteral("0,0,30,3,1,12,0,7,1,,,\r\n")
                                : QStringLiteral("30,60,30,3,1,12,0,7,1,,,\r\n");
             writeCp932(s.criteriaPath(), text);
         },
         true,
         {"レベル3の目標Timeが0です", "レベル3の最低Timeが0です"}},
        {"criteria value out of range",
         [](School &s) {
             writeCp932(s.criteriaPath(), QStringLiteral("h,h,h,h,h,h,h,h,h,,,\r\n30,60,30,99999,1,12,0,7,1,,,\r\n"));
         },
         true,
         {"タイム回数データ.txt (2行目)", "範囲を超えています"}},
        {"cue table missing",
         [](School &s) { QFile::remove(s.cueTablePath()); },
         true,
         {"新音ファイル.txt", "ありません"}},
        {"cue played without a block",
         [](School &s) {
             writeCp932(s.cueTablePath(), QStringLiteral("間違い音2,ng,*\r\n自己最高音2,ok,*\r\n不合格音1,ng,*\r\n"));
         },
         true,
         {"「正解音2」の音が指定されていません"}},
        {"WAV missing",
         [](School &s) { QFile::remove(s.soundFolder() + QStringLiteral("ng.wav")); },
         true,
         {"音フォルダ/ng.wav がありません（間違い音2・不合格音1）"}},
        {"fixed WAV missing",
         [](School &s) { QFile::remove(s.soundFolder() + QStringLiteral("警告1.wav")); },
         true,
         {"警告1.wav がありません（決まった音）"}},
        {"WAV not readable",
         [](School &s) {
             QFile::remove(s.soundFolder() + QStringLiteral("合格.wav"));
             QDir().mkpath(s.soundFolder() + QStringLiteral("合格.wav"));
         },
         true,
         {"合格.wav を読めません"}},
        {"not a WAV",
         [](School &s) { writeFile(s.soundFolder() + QStringLiteral("ok.wav"), "RIFF....not a wave"); },
         true,
         {"ok.wav は鳴らせません", "正解音2・自己最高音2"}},
        {"torn tail",
         [](School &s) { writeFile(s.resultsPath(), s.resultsBytes() + QByteArray(20, 'x')); },
         true,
         {"最後の20バイトは途中で切れた記録です", "記録 2件（108バイト）"}},
        {"damaged records",
         [&](School &s) {
             appendRecords(s, {run.on(QDate(2024, 2, 3))(1, 40, 30), run.on(QDate(2024, 2, 3))(7000, 1, 30)});
         },
         true,
         {"壊れた記録 2件", "3番目の記録: 日付=2024/02/03 (45325) 生徒番号=1 レベル=40", "4番目の記録",
          "生徒番号=7000"}},
        {"records of another school",
         [&](School &s) { appendRecords(s, {run.on(QDate(2024, 2, 3)).ofSchool(QStringLiteral("55555"))(1, 1, 30)}); },
         false,
         {"他塾の記録 1件", "「55555」1件"}},
        {"records of a student not in the roster",
         [&](School &s) {
             appendRecords(s, {run.on(QDate(2024, 2, 3))(77, 1, 30), run.on(QDate(2024, 2, 4))(77, 2, 30)});
         },
         false,
         {"名簿にない生徒の記録 2件（77番 2件）"}},
        {"runs waiting on this PC",
         [](School &s) {
             writeFile(s.program() + QStringLiteral("/未送信成績.dat"),
                       recordsBytes({run.on(QDate(2024, 2, 7))(1, 1, 30)}));
         },
         false,
         {"まだ送られていない記録が 1件あります", "未送信成績.dat"}},
        {"pending file of no runs",
         [](School &s) { writeFile(s.program() + QStringLiteral("/未送信成績.dat"), QByteArray(240, 'a')); },
         true,
         {"未送信成績.dat は成績ファイルに送りません", "記録（44バイト）の数になりません"}},
        {"pending file planted as a link",
         [](School &s) {
             writeFile(s.root() + QStringLiteral("/users.dat"), recordsBytes({run.on(QDate(2024, 2, 7))(1, 1, 30)}));
             QFile::link(s.root() + QStringLiteral("/users.dat"), s.program() + QStringLiteral("/未送信成績.dat"));
         },
         true,
         {"未送信成績.dat は成績ファイルに送りません", "リンク"}},
        {"results file planted as a link",
         [](School &s) {
             QFile::rename(s.resultsPath(), s.root() + QStringLiteral("/elsewhere.dat"));
             QFile::link(s.root() + QStringLiteral("/elsewhere.dat"), s.resultsPath());
         },
         true,
         {"成績ファイルを開けません", "リンク", "成績累積データ.dat"}},
        {"results file planted as a link that leads nowhere",
         [](School &s) {
             QFile::remove(s.resultsPath());
             QFile::link(s.root() + QStringLiteral("/nowhere.dat"), s.resultsPath());
         },
         true,
         {"成績ファイルを開けません", "リンク", "成績累積データ.dat"}},
        {"cue name that climbs out of the sound folder",
         [](School &s) {
             writeCp932(s.cueTablePath(), QStringLiteral("正解音2,../../../outside,*\r\n間違い音2,ng,*\r\n"
                                                         "自己最高音2,ok,*\r\n不合格音1,ng,*\r\n"));
         },
         true,
         {"「../../../outside」", "音フォルダの外"}},
        {"empty cue table",
         [](School &s) { writeCp932(s.cueTablePath(), QString()); },
         true,
         {"新音ファイル.txt", "音の指定が1つもありません"}},
        {"school year starting in month -5",
         [](School &s) {
             writeCp932(s.dataRoot() + QStringLiteral("共通データ.txt"),
                        QStringLiteral("-5,01234みなと塾,0,0,0,sensei,0,0,0,0\r\n"));
         },
         true,
         {"共通データ.txt", "-5"}},
        {"NUL byte in the roster",
         [](School &s) {
             writeFile(s.rosterPath(), toCp932(QStringLiteral("1,2014,0,0,佐藤")) + QByteArray(1, '\0') +
                                           toCp932(QStringLiteral("翔太,0,-,-\r\n")));
         },
         true,
         {"新名簿.txt (1行目)", "NUL"}},
        {"a run at a level the program does not have",
         [&](School &s) { appendRecords(s, {run.on(QDate(2024, 2, 3))(1, 9, 30)}); },
         false,
         {"レベル別: レベル1 1件、レベル3 1件、レベル9 1件", "レベル6より上の記録 1件"}},
        {"records dated after today",
         [&](School &s) { appendRecords(s, {run.on(QDate(2024, 3, 1))(1, 1, 30)}); },
         false,
         {"今日（2024/02/07）より後の日付の記録 1件（最初は3番目"}},
    };
    for (const auto &c : cases) {
        School school;
        c.spoil(school);
        const QByteArray results = school.resultsBytes();
        const auto o = school.tool({QStringLiteral("check")});
        const QString all = o.all();
        EXPECT_EQ(o.status, c.problem ? ToolProblems : ToolOk) << c.what << "\n" << all.toStdString();
        EXPECT_EQ(linesStarting(o.out, QStringLiteral("問題:")).isEmpty(), !c.problem) << c.what;
        for (const char *text : c.says)
            EXPECT_TRUE(all.contains(QString::fromUtf8(text))) << c.what << ": " << text << "\n" << all.toStdString();
        EXPECT_EQ(school.resultsBytes(), results) << c.what << ": check changed the results file";
    }
}

TEST(DataCheck, DescribesTheRosterCriteriaAndResults)
{
    School school;
    const auto o = school.tool({QStringLiteral("check")});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    const QString all = o.all();
    for (const char *text :
         {"生徒 6人（状態0: 4人、状態2: 1人、状態9: 1人）、名前の一覧に出る生徒 4人",
          "レベル1: 目標30秒 最低60秒 クリア30点・3回 倍率1.5 禁止12回・0点 判定7日 禁止期間1日",
          "WAVファイル 5個のうち 5個は鳴らせます", "記録 2件（88バイト）", "日付 2024/02/01 〜 2024/02/07",
          "レベル別: レベル1 1件、レベル3 1件", "時間切れの記録 1件"})
        EXPECT_TRUE(all.contains(QString::fromUtf8(text))) << text << "\n" << all.toStdString();

    // A results file that is not there yet is no problem, and check does not create it.
    QFile::remove(school.resultsPath());
    const auto empty = school.tool({QStringLiteral("check")});
    EXPECT_EQ(empty.status, ToolOk);
    EXPECT_TRUE(empty.all().contains(QStringLiteral("成績ファイルはまだありません")));
    EXPECT_FALSE(QFile::exists(school.resultsPath()));
}

TEST(DataCheck, SaysWhyItWaitsWhileAnotherPcHoldsTheResultsFile)
{
    School school;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another PC in the middle of a long write: the lock held for a second and a half.
        const int fd = ::open(QFile::encodeName(school.resultsPath()).constData(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        if (fd < 0 || fcntl(fd, F_SETLKW, &fl) != 0)
            _exit(2);
        (void)!write(ready[1], "x", 1);
        usleep(1500 * 1000);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    const auto o = school.tool({QStringLiteral("check")});
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_EQ(o.err.filter(QStringLiteral("ほかのパソコンが使っています")).size(), 1) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("記録 2件")));
}

TEST(DataCheck, NotesADataFolderThatIsALinkButNotADataRootThatIsOne)
{
    School school;
    // The share mounted somewhere and reached through a link: nothing to note.
    const QString linkedRoot = school.root() + QStringLiteral("/mounted");
    ASSERT_TRUE(QFile::link(school.dataRoot(), linkedRoot));
    auto o = school.tool({QStringLiteral("--data-root"), linkedRoot, QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(linesStarting(o.out, QStringLiteral("注意:")).filter(QStringLiteral("リンク")).isEmpty())
        << o.all().toStdString();

    // The data folder inside the share a link to another folder: it works, and is noted.
    const QString elsewhere = school.root() + QStringLiteral("/elsewhere");
    ASSERT_TRUE(QDir().rename(school.dataFolder(), elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, QDir::cleanPath(school.dataFolder())));
    o = school.tool({QStringLiteral("check")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    const QStringList notes =
        linesStarting(o.out, QStringLiteral("注意:")).filter(QStringLiteral("シンボリックリンク"));
    ASSERT_EQ(notes.size(), 1) << o.all().toStdString();
    EXPECT_TRUE(notes.first().contains(elsewhere)) << notes.first().toStdString();
}
