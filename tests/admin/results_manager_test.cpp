// The results manager's logic: the record lines, and changes and deletions that write
// exactly what the teacher asked for, or nothing.
#include "admin/ResultsManagerLogic.h"
#include "results/CorrectionLog.h"
#include "results/Tally.h"
#include "state/SharedState.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

#include <QDir>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <optional>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const TestRun rec = TestRun{}.on(QDate(2024, 2, 7)).atSecond(9 * 3600 + 5 * 60 + 3).ofSchool(QStringLiteral("01234"));

struct Host final : ResultsManagerHost {
    void refresh() override { ++refreshes; }
    void listRebuilt() override { ++rebuilds; }
    bool confirmDelete() override
    {
        ++questions;
        return answer;
    }
    void tell(const QString &text) override { told << text; }
    void progress(int64_t done, int64_t total) override
    {
        progressCalls.emplace_back(done, total);
        if (duringProgress && total > 0)
            duringProgress();
    }
    std::function<void()> duringProgress; // the screen repainting while a deletion runs
    int refreshes = 0, rebuilds = 0, questions = 0;
    bool answer = true;
    QStringList told;
    std::vector<std::pair<int64_t, int64_t>> progressCalls;
};

struct Manager {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    Host host;
    ResultsManagerLogic logic{state, clock, {}, host};

    Manager()
    {
        clock.date = QDate(2024, 2, 7);
        clock.seconds = 10 * 3600 + 15 * 60 + 30;
        state.config.DataRoot = dir.path() + u'/';
        state.config.DataFolder = dir.path() + QStringLiteral("/squares/");
        state.config.SchoolYearStartMonth = 4;
        state.config.SchoolCode = QStringLiteral("01234");
        state.config.SchoolName = QStringLiteral("みなと塾");
        // School year 2023: born 2014 is 小３, 1990 has no full-width label; student
        // 9 is not listed (status 9) but is in the roster all the same.
        writeCp932(state.config.DataRoot + QStringLiteral("新名簿.txt"),
                   QStringLiteral("1,2015,0,0,佐藤　翔太,0,-,-\r\n2,2014,0,0,髙橋　健一,0,-,-\r\n"
                                  "3,1990,0,0,佐藤先生,0,-,-\r\n9,2012,0,0,長谷川　翼,9,-,-\r\n"));
        // The manager is opened by a teacher.
        state.student.CurrentStudent = 3;
        state.student.CurrentStudentName = QStringLiteral("佐藤先生");
    }
    QString path() const { return resultsFilePath(state); }
    void write(const std::vector<ResultRecord> &records) { ASSERT_TRUE(writeFile(path(), recordBytes(records))); }
    QStringList lines() const
    {
        QStringList all;
        for (int i = 0; i < logic.lineCount(); ++i)
            all << logic.line(i);
        return all;
    }
    QString log() const { return fromCp932(readFileBytes(state.config.DataFolder + correctionLogFileName())); }
    QStringList backups() const
    {
        return QDir(state.config.DataFolder + QStringLiteral("バックアップ")).entryList(QDir::Files, QDir::Name);
    }
};

} // namespace

TEST(ResultsManager, RecordLines)
{
    Manager m;
    ResultRecord otherSchool = rec.on(QDate(2024, 2, 6)).atSecond(15 * 3600 + 30 * 60)(2, 3, 99999);
    otherSchool.setSchool(QStringLiteral("99999"));
    m.write({rec(1, 1, 45), otherSchool, rec(7, 2, 123456), rec(3, 6, 5), rec(9, 4, 0)});
    m.logic.Form_Load();
    EXPECT_EQ(m.logic.view.Label3, QStringLiteral("総レコード数:5"));
    EXPECT_EQ(m.lines(),
              (QStringList{
                  // Numbers right-aligned, the name cut or padded to six full-width places.
                  QStringLiteral("   1 2024/02/07　  9:05:03ﾚﾍﾞﾙ1　   45秒 　   1 佐藤　翔太　 小２++みなと塾"),
                  QStringLiteral("   2 2024/02/06　 15:30:00ﾚﾍﾞﾙ3　99999秒 　   2 髙橋　健一　 小３++他塾"),
                  // A student not in the roster: five full-width blanks and no grade; a
                  // time too long for its field keeps its last five digits.
                  QStringLiteral("   3 2024/02/07　  9:05:03ﾚﾍﾞﾙ2　23456秒 　   7 　　　　　 ++みなと塾"),
                  QStringLiteral("   4 2024/02/07　  9:05:03ﾚﾍﾞﾙ6　    5秒 　   3 佐藤先生　　 ++みなと塾"),
                  QStringLiteral("   5 2024/02/07　  9:05:03ﾚﾍﾞﾙ4　    0秒 　   9 長谷川　翼　 小５++みなと塾"),
              }));

    // Without a school code every line is another school's, this school's records too.
    m.state.config.SchoolCode.clear();
    EXPECT_TRUE(m.logic.line(0).endsWith(QStringLiteral("++他塾")));

    // The student box offers every roster entry, whatever its status.
    EXPECT_EQ(m.logic.roster().Combo1Items,
              (QStringList{QStringLiteral("1 /  佐藤　翔太"), QStringLiteral("2 /  髙橋　健一"),
                           QStringLiteral("3 /  佐藤先生"), QStringLiteral("9 /  長谷川　翼")}));
}

TEST(ResultsManager, DeletedRecordsAreNotListedAndDamagedOnesAreMarked)
{
    Manager m;
    m.write({rec(1, 1, 45), rec(1, 0, 45), rec(2, 36, 30), rec(6000, 0, 30), rec(3, 2, 20), rec(2, 2, -4)});
    m.logic.Form_Load();
    EXPECT_EQ(m.logic.view.Label3, QStringLiteral("総レコード数:6"));
    ASSERT_EQ(m.logic.lineCount(), 5);
    EXPECT_EQ(m.logic.recordOfLine(0), 1);
    EXPECT_EQ(m.logic.recordOfLine(1), 3); // level 36: damaged
    EXPECT_EQ(m.logic.recordOfLine(2), 4); // level 0 but student 6000: damaged, so listed
    EXPECT_EQ(m.logic.recordOfLine(3), 5);
    EXPECT_TRUE(m.logic.line(1).endsWith(QStringLiteral("※壊れた記録")));
    EXPECT_TRUE(m.logic.lineIsDamaged(2));
    EXPECT_FALSE(m.logic.lineIsDamaged(3));
    EXPECT_TRUE(m.logic.line(4).endsWith(QStringLiteral("※壊れた記録"))); // a negative time
    EXPECT_EQ(m.logic.damagedCount(), 3);
    EXPECT_TRUE(m.logic.view.damagedNotice.contains(QStringLiteral("3 件")));
}

TEST(ResultsManager, RecordNumbersInFullAndInRecordOrder)
{
    Manager m;
    std::vector<ResultRecord> records(10001, rec(1, 1, 30));
    m.write(records);
    m.logic.Form_Load();
    ASSERT_EQ(m.logic.lineCount(), 10001);
    EXPECT_TRUE(m.logic.line(0).startsWith(QStringLiteral("    1 2024/02/07")));
    EXPECT_TRUE(m.logic.line(9999).startsWith(QStringLiteral("10000 2024/02/07")));
    EXPECT_TRUE(m.logic.line(10000).startsWith(QStringLiteral("10001 2024/02/07")));
}

TEST(ResultsManager, ChangeKeepsEveryOtherFieldAndIsLogged)
{
    Manager m;
    std::vector<ResultRecord> records{rec(1, 1, 45), rec(2, 3, 99999), rec(3, 2, 20)};
    records[1].Reserved3 = QByteArray("\x07\x00\x01\x00\x09", 5);
    m.write(records);
    const QByteArray before = readFileBytes(m.path());
    m.logic.Form_Load();
    m.logic.List1_DblClick(1);
    EXPECT_TRUE(m.logic.view.Picture3Visible);
    EXPECT_EQ(m.logic.view.Label1, QStringLiteral("2"));
    EXPECT_EQ(m.logic.view.Label2[1], QStringLiteral("ﾚﾍﾞﾙ3"));
    EXPECT_EQ(m.logic.view.Label2[2], QStringLiteral("2024/02/07"));
    EXPECT_EQ(m.logic.view.Label2[4], QStringLiteral("小３"));
    EXPECT_EQ(m.logic.view.Combo1Text, QStringLiteral("2 /  髙橋　健一"));
    // A timed-out run: 99999 in the box, the scroll bar at its end.
    EXPECT_EQ(m.logic.view.Text1, QStringLiteral("99999"));
    EXPECT_EQ(m.logic.view.VScroll1, 6000);

    m.logic.Combo1_Click(QStringLiteral("1 /  佐藤　翔太"));
    EXPECT_EQ(m.logic.view.Label2[4], QStringLiteral("小２"));
    m.logic.Command2_Click(QStringLiteral("99999"), QStringLiteral("1 /  佐藤　翔太"));
    ASSERT_TRUE(m.host.told.isEmpty()) << m.host.told.join(u'\n').toStdString();

    // Only the student number's two bytes changed.
    QByteArray want = before;
    want[44 + 16] = 1;
    EXPECT_EQ(readFileBytes(m.path()), want);
    EXPECT_FALSE(m.logic.view.Picture3Visible);
    EXPECT_EQ(m.logic.view.List1Selected, 1);
    EXPECT_TRUE(m.logic.line(1).contains(QStringLiteral("   1 佐藤　翔太")));
    EXPECT_EQ(m.log(),
              QStringLiteral("2024/02/07 10:15:30,%1,変更,記録2,"
                             "変更前 日付=2024/02/07 時刻=9:05:03 生徒番号=2 レベル=3 タイム=99999 学校=01234,"
                             "変更後 日付=2024/02/07 時刻=9:05:03 生徒番号=1 レベル=3 タイム=99999 学校=01234\r\n")
                  .arg(computerName()));
    EXPECT_TRUE(m.backups().isEmpty()); // a change writes one record in place

    // Moving the scroll bar writes its value; full-width digits typed count too.
    m.logic.List1_DblClick(1);
    m.logic.VScroll1_Change(120);
    EXPECT_EQ(m.logic.view.Text1, QStringLiteral("120"));
    m.logic.Command2_Click(QStringLiteral("１２０"), m.logic.view.Combo1Text);
    EXPECT_EQ(ResultRecord::decode(readFileBytes(m.path()).constData() + 44).ResultRecTime, 120);
}

TEST(ResultsManager, BadTimeOrStudentWritesNothing)
{
    Manager m;
    m.write({rec(1, 1, 45), rec(2, 3, 50)});
    const QByteArray before = readFileBytes(m.path());
    m.logic.Form_Load();
    m.logic.List1_DblClick(1);
    const struct {
        const char16_t *time, *student, *message;
    } cases[] = {
        {u"", u"2 /  髙橋", u"タイムは"},
        {u"12.5", u"2 /  髙橋", u"タイムは"},
        {u"-1", u"2 /  髙橋", u"タイムは"},
        {u"100000", u"2 /  髙橋", u"タイムは"},
        {u"45秒", u"2 /  髙橋", u"タイムは"},
        {u"45", u"髙橋　健一", u"「/」の前"},
        {u"45", u" / 髙橋", u"「/」の前"},
        {u"45", u"x2 / 髙橋", u"「/」の前"},
        {u"45", u"5 /  誰か", u"生徒番号 5 は名簿にありません"},
        {u"45", u"70000 /", u"名簿にありません"},
    };
    for (const auto &c : cases) {
        m.host.told.clear();
        m.logic.Command2_Click(QString::fromUtf16(c.time), QString::fromUtf16(c.student));
        ASSERT_EQ(m.host.told.size(), 1) << QString::fromUtf16(c.time).toStdString();
        EXPECT_TRUE(m.host.told[0].contains(QString::fromUtf16(c.message))) << m.host.told[0].toStdString();
        EXPECT_EQ(readFileBytes(m.path()), before);
    }
    EXPECT_FALSE(QFile::exists(m.state.config.DataFolder + correctionLogFileName()));
}

TEST(ResultsManager, ARunOfAStudentWhoLeftTheRosterCanBeCorrected)
{
    // Changing only the time of a run of student 777 (gone from the roster) was refused.
    Manager m;
    m.write({rec(777, 1, 45), rec(2, 3, 50)});
    m.logic.Form_Load();
    m.logic.List1_DblClick(0);
    ASSERT_EQ(m.logic.view.Combo1Text, QStringLiteral("777 /  "));
    m.logic.Command2_Click(QStringLiteral("40"), m.logic.view.Combo1Text);
    ASSERT_TRUE(m.host.told.isEmpty()) << m.host.told.join(u'\n').toStdString();
    const ResultRecord changed = ResultRecord::decode(readFileBytes(m.path()).constData());
    EXPECT_EQ(changed.ResultRecTime, 40);
    EXPECT_EQ(changed.ResultRecStudentNo, 777);
    // A student newly chosen must still be one of the roster's.
    const QByteArray before = readFileBytes(m.path());
    m.logic.List1_DblClick(1);
    m.logic.Command2_Click(QStringLiteral("50"), QStringLiteral("777 /  "));
    ASSERT_EQ(m.host.told.size(), 1);
    EXPECT_TRUE(m.host.told[0].contains(QStringLiteral("生徒番号 777 は名簿にありません")))
        << m.host.told[0].toStdString();
    EXPECT_EQ(readFileBytes(m.path()), before);
}

TEST(ResultsManager, NamesKeepTheirFullWidthBlanks)
{
    // The manager alone trimmed "　全角　空白　" to "全角　空白　"; blanks (U+0020) go.
    Manager m;
    writeCp932(m.state.config.DataRoot + QStringLiteral("新名簿.txt"),
               QStringLiteral("4,2014,0,0,  　全角　空白　 ,0,-,-\r\n"));
    m.write({rec(4, 1, 45)});
    m.logic.Form_Load();
    EXPECT_EQ(m.logic.roster().ManagerNames[4], QStringLiteral("　全角　空白　"));
    EXPECT_EQ(m.logic.roster().Combo1Items, QStringList{QStringLiteral("4 /  　全角　空白　")});
    EXPECT_TRUE(m.logic.line(0).contains(QStringLiteral("   4 　全角　空白 "))) << m.logic.line(0).toStdString();
}

TEST(ResultsManager, OnlyTheTeacherItWasOpenedForChangesOrDeletes)
{
    // Who is logged in is asked at every change and deletion, not only at the door.
    const struct {
        const char *who;
        int student;
        const char16_t *name;
    } others[] = {{"a student", 2, u"髙橋　健一"}, {"another teacher", 7, u"★田中"}};
    for (const auto &other : others) {
        SCOPED_TRACE(other.who);
        Manager m;
        m.write({rec(1, 1, 45), rec(2, 3, 50)});
        const QByteArray before = readFileBytes(m.path());
        m.logic.Form_Load();
        EXPECT_TRUE(m.logic.mayAct());
        m.state.student.CurrentStudent = static_cast<int16_t>(other.student);
        m.state.student.CurrentStudentName = QString::fromUtf16(other.name);
        EXPECT_FALSE(m.logic.mayAct());
        m.logic.List1_DblClick(1);
        m.logic.Command2_Click(QStringLiteral("40"), QStringLiteral("1 /  佐藤　翔太"));
        m.logic.Command3_Click();
        EXPECT_EQ(m.host.questions, 0);
        EXPECT_EQ(readFileBytes(m.path()), before);
        EXPECT_FALSE(QFile::exists(m.state.config.DataFolder + correctionLogFileName()));
    }
}

TEST(ResultsManager, NoCorrectionWithoutItsLogLine)
{
    // The correction log cannot take the line: a folder stands in its place, or the disk
    // lets no file grow past 60 bytes (the line is cut short). A change keeps no backup:
    // its old value would be nowhere. The change (in place) and the deletion (a copy of
    // 44 bytes) would fit; neither is made, and no log is left behind, not even an empty one.
    for (const bool fullDisk : {false, true}) {
        SCOPED_TRACE(fullDisk ? "full disk" : "folder in the log's place");
        Manager m;
        m.write({rec(1, 1, 45), rec(2, 3, 50)});
        const QByteArray before = readFileBytes(m.path());
        if (!fullDisk) {
            ASSERT_TRUE(QDir().mkpath(m.state.config.DataFolder + correctionLogFileName()));
        }
        m.logic.Form_Load();
        m.logic.List1_DblClick(0);
        {
            std::optional<FileSizeLimit> full;
            if (fullDisk)
                full.emplace(60);
            m.logic.Command2_Click(QStringLiteral("77"), QStringLiteral("1 /  佐藤　翔太"));
            m.logic.Command3_Click();
        }
        EXPECT_EQ(readFileBytes(m.path()), before);
        EXPECT_TRUE(m.backups().isEmpty());
        ASSERT_EQ(m.host.told.size(), 2);
        for (const QString &message : m.host.told) {
            EXPECT_TRUE(message.contains(m.state.config.DataFolder + correctionLogFileName())) << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("何も書き込んでいません"))) << message.toStdString();
        }
        EXPECT_TRUE(m.logic.view.Picture3Visible); // the dialog stays, so the teacher can try again
        if (!fullDisk)
            continue;
        EXPECT_FALSE(QFileInfo::exists(m.state.config.DataFolder + correctionLogFileName()));
        // With room again the same change is made, its line first in the log.
        m.logic.Command2_Click(QStringLiteral("77"), QStringLiteral("1 /  佐藤　翔太"));
        EXPECT_EQ(ResultRecord::decode(readFileBytes(m.path()).constData()).ResultRecTime, 77);
        EXPECT_EQ(m.log().count(QStringLiteral("\r\n")), 1);
        EXPECT_TRUE(m.log().contains(QStringLiteral(",変更,記録1,"))) << m.log().toStdString();
    }
}

TEST(ResultsManager, DeletingFirstMiddleAndLastSelectsTheLineThatFollowed)
{
    const std::vector<ResultRecord> records{rec(1, 1, 10), rec(2, 2, 20), rec(3, 3, 30)};
    const struct {
        int line; // the line double-clicked (0-based)
        int selectedAfter; // the line selected after the deletion
    } cases[] = {{0, 0}, {1, 1}, {2, 1}};
    for (const auto &c : cases) {
        Manager m;
        m.write(records);
        const QByteArray before = readFileBytes(m.path());
        m.logic.Form_Load();
        m.logic.List1_DblClick(c.line);
        m.logic.Command3_Click();
        EXPECT_EQ(m.host.questions, 1);
        const QByteArray after = readFileBytes(m.path());
        ASSERT_EQ(after.size(), 88) << "line " << c.line;
        QByteArray want = before;
        want.remove(c.line * 44, 44);
        EXPECT_EQ(after, want);
        EXPECT_EQ(m.logic.view.List1Selected, c.selectedAfter) << "line " << c.line;
        EXPECT_EQ(m.logic.view.Label3, QStringLiteral("総レコード数:2"));
        EXPECT_FALSE(m.logic.view.Picture3Visible);
        EXPECT_EQ(m.host.progressCalls.back(), std::make_pair(int64_t(0), int64_t(0))); // the bar goes away
        // The file as it was before, in the backup folder; the deletion in the log.
        EXPECT_EQ(m.backups(), QStringList{QStringLiteral("成績累積データ_20240207_101530.dat")});
        EXPECT_EQ(readFileBytes(m.state.config.DataFolder + QStringLiteral("バックアップ/") + m.backups().value(0)),
                  before);
        EXPECT_TRUE(m.log().startsWith(
            QStringLiteral("2024/02/07 10:15:30,%1,消去,記録%2,変更前 ").arg(computerName()).arg(c.line + 1)));
        EXPECT_TRUE(m.log().endsWith(QStringLiteral(",変更後 なし\r\n")));
    }

    // Cancel at the question: nothing happens.
    Manager m;
    m.write(records);
    m.logic.Form_Load();
    m.logic.List1_DblClick(1);
    m.host.answer = false;
    m.logic.Command3_Click();
    EXPECT_EQ(readFileBytes(m.path()), recordBytes(records));
    EXPECT_TRUE(m.logic.view.Picture3Visible);
}

TEST(ResultsManager, RecordChangedBehindTheDialogsBackIsNotOverwritten)
{
    Manager m;
    m.write({rec(1, 1, 10), rec(2, 2, 20), rec(3, 3, 30)});
    m.logic.Form_Load();
    m.logic.List1_DblClick(1);
    // Another PC deletes the first record: record 2 is now what was record 3.
    m.write({rec(2, 2, 20), rec(3, 3, 30)});
    const QByteArray onDisk = readFileBytes(m.path());

    m.logic.Command2_Click(QStringLiteral("5"), QStringLiteral("2 /  髙橋　健一"));
    EXPECT_EQ(readFileBytes(m.path()), onDisk);
    ASSERT_EQ(m.host.told.size(), 1);
    EXPECT_TRUE(m.host.told[0].contains(m.path()));
    EXPECT_TRUE(m.host.told[0].contains(QStringLiteral("一覧を読み直します")));
    // The list was read again and the dialog closed.
    EXPECT_EQ(m.logic.view.Label3, QStringLiteral("総レコード数:2"));
    EXPECT_FALSE(m.logic.view.Picture3Visible);

    // The same for a deletion.
    m.logic.List1_DblClick(1);
    m.write({rec(3, 3, 30), rec(2, 2, 20)});
    m.logic.Command3_Click();
    EXPECT_EQ(readFileBytes(m.path()), recordBytes({rec(3, 3, 30), rec(2, 2, 20)}));
    EXPECT_EQ(m.host.told.size(), 2);
    EXPECT_TRUE(m.backups().isEmpty());

    // A line whose record changed after the list was made does not open.
    m.logic.Form_Load();
    m.write({rec(3, 3, 31), rec(2, 2, 20)});
    m.logic.List1_DblClick(0);
    EXPECT_FALSE(m.logic.view.Picture3Visible);
    EXPECT_EQ(m.host.told.size(), 3);
    EXPECT_TRUE(m.logic.line(0).contains(QStringLiteral("   31秒")));
}

TEST(ResultsManager, MissingRosterStillListsTheRecords)
{
    Manager m;
    QFile::remove(m.state.config.DataRoot + QStringLiteral("新名簿.txt"));
    m.write({rec(1, 1, 45)});
    m.logic.Form_Load();
    ASSERT_EQ(m.host.told.size(), 1);
    EXPECT_TRUE(m.host.told[0].contains(QStringLiteral("新名簿.txt")));
    ASSERT_EQ(m.logic.lineCount(), 1);
    EXPECT_TRUE(m.logic.line(0).contains(QStringLiteral("   1 　　　　　 ++")));
}

namespace {

// Records 1..n with deleted ones (level 0) at the start, in runs, around the edges of
// the pages the list reads, and at the end; now and then a damaged one.
std::vector<ResultRecord> recordsWithGaps(int n)
{
    std::vector<ResultRecord> records;
    for (int i = 1; i <= n; ++i) {
        const bool deleted = i <= 3 || (i >= 1020 && i <= 1030) || i % 97 == 0 || i == 2048 || i > n - 2;
        ResultRecord r = rec(1 + i % 3, deleted ? 0 : 1 + i % 6, i);
        if (i % 401 == 0)
            r.ResultRecLevel = 40; // damaged: listed and red
        records.push_back(r);
    }
    return records;
}

} // namespace

// The list keeps no records: each line is read from the file as it is shown. Every line
// must still be the record line of its record, in record order, deleted records left
// out, damaged ones marked, across the pages the list reads.
TEST(ResultsManager, LinesReadAsShownAreTheLinesOfTheListedRecords)
{
    Manager m;
    const std::vector<ResultRecord> records = recordsWithGaps(3000);
    m.write(records);
    const QByteArray bytes = readFileBytes(m.path());
    m.logic.Form_Load();
    std::vector<int64_t> listed;
    int damaged = 0;
    for (int i = 1; i <= 3000; ++i) {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(bytes.constData() + (i - 1) * 44);
        if (r.level != 0 || isDamagedRecord(r))
            listed.push_back(i);
        damaged += isDamagedRecord(r);
    }
    ASSERT_EQ(m.logic.lineCount(), static_cast<int>(listed.size()));
    EXPECT_EQ(m.logic.damagedCount(), damaged);
    // From the end back to the start, so pages are read again after others replaced them.
    for (int row = m.logic.lineCount() - 1; row >= 0; --row) {
        const int64_t n = listed[static_cast<size_t>(row)];
        ASSERT_EQ(m.logic.recordOfLine(row), n) << "line " << row;
        const char *record = bytes.constData() + (n - 1) * 44;
        EXPECT_EQ(m.logic.line(row), recordLine(record, n, 4, m.logic.roster(), m.state.config)) << "line " << row;
        EXPECT_EQ(m.logic.lineIsDamaged(row), isDamagedRecord(ResultRecord::decodeNumbers(record))) << "line " << row;
    }
    EXPECT_EQ(m.logic.recordOfLine(m.logic.lineCount()), 0);

    // A deletion just before deleted records selects the next listed record's line.
    const int before1020 = static_cast<int>(std::find(listed.begin(), listed.end(), 1019) - listed.begin());
    m.logic.List1_DblClick(before1020);
    m.logic.Command3_Click();
    EXPECT_EQ(m.logic.recordOfLine(m.logic.view.List1Selected), 1030); // once 1031
    EXPECT_EQ(m.logic.line(m.logic.view.List1Selected).left(5), QStringLiteral("1030 "));
}

// Another PC appends runs while the list is open: the list stays as it was made (its
// count and its lines) until it is read again.
TEST(ResultsManager, RunsAppendedMeanwhileWaitForTheListToBeReadAgain)
{
    Manager m;
    m.write(recordsWithGaps(1500));
    m.logic.Form_Load();
    const int lines = m.logic.lineCount();
    const QString label = m.logic.view.Label3;
    QStringList before;
    for (int row = 0; row < 10; ++row)
        before << m.logic.line(row);
    const ResultsFile file(m.path());
    for (int i = 0; i < 3; ++i) {
        QString error;
        ASSERT_GT(file.append(rec(2, 5, 500 + i), &error), 0) << error.toStdString();
    }
    EXPECT_EQ(m.logic.lineCount(), lines);
    EXPECT_EQ(m.logic.view.Label3, label);
    EXPECT_EQ(m.lines().mid(0, 10), before);
    EXPECT_TRUE(m.lines().last().startsWith(QStringLiteral("1498 ")));

    m.logic.Command1_Click();
    EXPECT_EQ(m.logic.lineCount(), lines + 3);
    EXPECT_TRUE(m.lines().last().startsWith(QStringLiteral("1503 ")));
}

// A deletion holds the file's exclusive lock while the screen repaints its progress;
// lines shown meanwhile must not read the file, since closing a descriptor of it would
// give up the lock and let another PC's run slip into the file being replaced.
TEST(ResultsManager, LinesShownDuringADeletionKeepItsLock)
{
    Manager m;
    m.write(recordsWithGaps(12000));
    m.logic.Form_Load();
    m.logic.List1_DblClick(5);
    std::vector<bool> lockHeld;
    m.host.duringProgress = [&] {
        for (int row = 0; row < m.logic.lineCount(); row += 500)
            m.logic.line(row);
        // Another process looks at the file's locks.
        const QByteArray path = QFile::encodeName(m.path());
        const pid_t child = fork();
        if (child == 0) {
            const int fd = ::open(path.constData(), O_RDONLY);
            struct flock lock {};
            lock.l_type = F_RDLCK;
            lock.l_whence = SEEK_SET;
            _exit(fd >= 0 && ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type == F_WRLCK ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        lockHeld.push_back(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    };
    m.logic.Command3_Click();
    ASSERT_FALSE(lockHeld.empty());
    EXPECT_EQ(lockHeld, std::vector<bool>(lockHeld.size(), true));
    EXPECT_EQ(m.logic.view.Label3, QStringLiteral("総レコード数:11999"));
    EXPECT_TRUE(m.logic.line(11000).endsWith(QStringLiteral("++みなと塾")) ||
                m.logic.line(11000).contains(QStringLiteral("※壊れた記録")));
}
