// The CSV export, read back with a CSV reader as a spreadsheet would read it, and the
// same export as an Excel workbook, read back from its XML.
#include "admin/ResultsCsv.h"
#include "state/SchoolFiles.h"
#include "state/SharedState.h"
#include "datatool/DataToolFixture.h"
#include "text/Cp932.h"
#include "support/WorkbookReader.h"

#include <QDir>
#include <QTime>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

// A CSV reader by the usual rules: fields separated by commas, records by CR LF; a
// field in double quotes may hold commas, line ends and doubled quotes.
std::vector<QStringList> readCsv(const QString &text)
{
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty()) {
            quoted = true;
            any = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            any = true;
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows.push_back(row);
            row.clear();
            field.clear();
            any = false;
            ++i;
        } else {
            field += c;
            any = true;
        }
    }
    if (any)
        rows.push_back(row << field);
    return rows;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ExportSchool : School {
    ExportSchool()
    {
        students.push_back({7, QStringLiteral("=1+2"), 2014});
        writeRoster();
        ResultRecord damaged = run.on(QDate(2024, 2, 6))(1, 40, 30);
        ResultRecord deleted = run.on(QDate(2024, 2, 6))(2, 0, 30);
        writeResults({
            run.on(QDate(2024, 2, 1))(1, 1, 25),
            run.on(QDate(2024, 2, 7))(2, 3, 99999),
            run.on(QDate(2024, 2, 2))(3, 2, 40),
            run.on(QDate(2024, 2, 3))(6, 6, 200),
            run.on(QDate(2024, 2, 4))(4, 4, 60),
            run.on(QDate(2024, 2, 5)).ofSchool(QStringLiteral("99999"))(1, 1, 10),
            run.on(QDate(2024, 2, 5))(77, 5, 70),
            damaged,
            deleted,
            run.on(QDate(2024, 2, 7))(7, 1, 30),
        });
    }
};

const QStringList kHeader{"記録番号", "日付",       "時刻", "生徒番号", "名前",     "学年", "レベル",
                          "レベル名", "タイム(秒)", "状態", "得点",     "塾コード", "自塾"};

QStringList row(const char *line) { return QString::fromUtf8(line).split(u'|'); }

// Every record of ExportSchool, as its row should read.
const std::vector<QStringList> &expectedRows()
{
    static const std::vector<QStringList> rows{
        row("1|2024/02/01|15:04:05|1|佐藤　翔太|小３|1|レベル１|25||7|01234|はい"),
        row("2|2024/02/07|15:04:05|2|髙橋　①郎|小４|3|レベル３||時間切れ|0|01234|はい"),
        row("3|2024/02/02|15:04:05|3|山﨑, はな|小５|2|レベル２|40||7|01234|はい"),
        row("4|2024/02/03|15:04:05|6|田中\"ゆう\"|小３|6|レベル６|200||1|01234|はい"),
        row("5|2024/02/04|15:04:05|4|ⅰⅱ～德|中１|4|レベル４|60||7|01234|はい"),
        row("6|2024/02/05|15:04:05|1|佐藤　翔太|小３|1|レベル１|10||28|99999|いいえ"),
        row("7|2024/02/05|15:04:05|77|||5|レベル５|70||7|01234|はい"),
        row("8|2024/02/06|15:04:05|1|佐藤　翔太|小３|40||30|壊れた記録||01234|はい"),
        row("9|2024/02/06|15:04:05|2|髙橋　①郎|小４|0||30|削除済み||01234|はい"),
        row("10|2024/02/07|15:04:05|7|'=1+2|小３|1|レベル１|30||7|01234|はい"),
    };
    return rows;
}

} // namespace

TEST(Export, ReadsBackAsTheExpectedRowsInBothEncodings)
{
    ExportSchool school;
    for (const bool utf8 : {false, true}) {
        const QString csv = school.root() + (utf8 ? QStringLiteral("/u.csv") : QStringLiteral("/s.csv"));
        QStringList args{QStringLiteral("export"), csv};
        if (utf8)
            args << QStringLiteral("--utf8");
        const auto o = school.tool(args);
        ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
        EXPECT_TRUE(o.all().contains(QStringLiteral("成績 10件のうち 10行")));

        const QByteArray bytes = fileBytes(csv);
        QString text;
        if (utf8) {
            ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
            text = QString::fromUtf8(bytes.mid(3));
        } else {
            EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
            // NEC (①) and IBM (ⅰ, 德) extension characters as Windows writes them.
            EXPECT_TRUE(bytes.contains("\x87\x40")) << "①";
            EXPECT_TRUE(bytes.contains("\xFA\x40")) << "ⅰ";
            text = fromCp932(bytes);
        }
        EXPECT_FALSE(text.contains(QChar(0xFFFD)));
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
        const std::vector<QStringList> rows = readCsv(text);
        ASSERT_EQ(rows.size(), expectedRows().size() + 1);
        EXPECT_EQ(rows[0], kHeader);
        for (size_t i = 0; i < expectedRows().size(); ++i)
            EXPECT_EQ(rows[i + 1], expectedRows()[i]) << "utf8=" << utf8 << " row " << i + 1;
    }
}

TEST(Export, DatesAndStudentNarrowTheRows)
{
    ExportSchool school;
    const struct {
        QStringList options;
        std::vector<int> records;
    } cases[] = {
        {{"--from", "2024/02/05"}, {2, 6, 7, 8, 9, 10}},      {{"--to", "2024-02-02"}, {1, 3}},
        {{"--from", "20240203", "--to", "2024/2/4"}, {4, 5}}, {{"--student", "1"}, {1, 6, 8}},
        {{"--student", "1", "--from", "2024/02/02"}, {6, 8}}, {{"--student", "500"}, {}},
    };
    const QString csv = school.root() + QStringLiteral("/narrow.csv");
    for (const auto &c : cases) {
        const auto o = school.tool(QStringList{QStringLiteral("export"), csv} + c.options);
        ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
        const std::vector<QStringList> rows = readCsv(fromCp932(fileBytes(csv)));
        std::vector<QStringList> expected{kHeader};
        for (int r : c.records)
            expected.push_back(expectedRows()[r - 1]);
        EXPECT_EQ(rows, expected) << c.options.join(u' ').toStdString();
    }
}

TEST(Export, RunsOfThisSchoolAreItsOwnWhateverItsCode)
{
    // A code whose last character takes two bytes: a run keeps the whole characters
    // that fit in its five bytes, and is still this school's.
    School school;
    const QString code = QStringLiteral("12あいう");
    writeCp932(school.dataRoot() + QStringLiteral("共通データ.txt"),
               QStringLiteral("4\r\n12あいう塾\r\n0\r\n0\r\n0\r\nsensei\r\n0\r\n0\r\n0\r\n0\r\n"));
    school.writeResults({run.on(QDate(2024, 2, 1)).ofSchool(code)(1, 1, 25), run.on(QDate(2024, 2, 2))(1, 1, 25)});
    const QString csv = school.root() + QStringLiteral("/code.csv");
    const auto o = school.tool({QStringLiteral("export"), csv});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    const std::vector<QStringList> rows = readCsv(fromCp932(fileBytes(csv)));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].mid(11), (QStringList{QStringLiteral("12あ"), QStringLiteral("はい")}));
    EXPECT_EQ(rows[2].mid(11), (QStringList{QStringLiteral("01234"), QStringLiteral("いいえ")}));
}

TEST(Export, TextFieldsAreQuotedByTheUsualRules)
{
    const struct {
        const char *in, *out;
    } cases[] = {
        {"山田", "山田"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"=SUM(A1)", "'=SUM(A1)"},
        {"-1", "'-1"},
        {"@x,y", "\"'@x,y\""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(csvTextField(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(Export, FailuresLeaveNoPartialFileAndSayWhy)
{
    ExportSchool school;
    // A folder that does not exist, or a folder given as the file: nothing written, the
    // file named and the reason given in Japanese.
    const QString nowhere = school.root() + QStringLiteral("/no/such/folder/x.csv");
    auto o = school.tool({QStringLiteral("export"), nowhere});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(nowhere)) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("ファイルを入れるフォルダがありません"))) << o.all().toStdString();
    o = school.tool({QStringLiteral("export"), school.root()});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(QStringLiteral("ファイルではなくフォルダです"))) << o.all().toStdString();
    EXPECT_FALSE(o.all().contains(QStringLiteral("directory"))) << o.all().toStdString();

    // The results file or the roster named as the CSV by a slip, or reached through a
    // link named like a CSV, or the pending file's name: refused, every file untouched.
    const QString linked = school.root() + QStringLiteral("/out.csv");
    ASSERT_TRUE(QFile::link(school.resultsPath(), linked));
    const QString pending = school.program() + QStringLiteral("/未送信成績.dat");
    for (const QString &target : {school.resultsPath(), school.rosterPath(), linked, pending}) {
        const QByteArray results = fileBytes(school.resultsPath()), roster = fileBytes(school.rosterPath());
        o = school.tool({QStringLiteral("export"), target});
        EXPECT_EQ(o.status, ToolUsage) << o.all().toStdString();
        EXPECT_TRUE(o.all().contains(QStringLiteral("塾のデータの場所にあり"))) << o.all().toStdString();
        EXPECT_EQ(fileBytes(school.resultsPath()), results);
        EXPECT_EQ(fileBytes(school.rosterPath()), roster);
        EXPECT_FALSE(QFileInfo::exists(pending));
    }
    EXPECT_TRUE(o.all().contains(QStringLiteral("未送信成績.dat")));
    // A CSV beside the data may be written; a link to a file elsewhere is replaced by
    // the CSV, and the file it pointed at stays as it was.
    o = school.tool({QStringLiteral("export"), school.dataFolder() + QStringLiteral("成績.csv")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    const QString elsewhere = school.root() + QStringLiteral("/teachers.txt");
    writeFile(elsewhere, "mine");
    const QString toElsewhere = school.root() + QStringLiteral("/mine.csv");
    ASSERT_TRUE(QFile::link(elsewhere, toElsewhere));
    o = school.tool({QStringLiteral("export"), toElsewhere});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_EQ(fileBytes(elsewhere), QByteArray("mine"));
    EXPECT_FALSE(QFileInfo(toElsewhere).isSymLink());
    EXPECT_TRUE(fromCp932(fileBytes(toElsewhere)).startsWith(QStringLiteral("記録番号,")));

    // Cancelled halfway through: the earlier file stays as it was.
    const QString csv = school.root() + QStringLiteral("/keep.csv");
    writeFile(csv, "earlier");
    SharedState state;
    state.config.DataRoot = school.dataRoot();
    ResultsCsvReport report;
    QString error;
    EXPECT_FALSE(writeResultsCsvFile(ResultsFile(school.resultsPath()), csvSourceOf(state, school.clock.today()), {},
                                     csv, &report, &error, [](int64_t, int64_t) { return false; }));
    EXPECT_TRUE(error.contains(QStringLiteral("取り消し")));
    EXPECT_EQ(fileBytes(csv), QByteArray("earlier"));

    // A roster that cannot be read: the CSV is written without names, and the teacher
    // is told (status 1).
    QFile::remove(school.rosterPath());
    o = school.tool({QStringLiteral("export"), csv});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(QStringLiteral("名簿"))) << o.all().toStdString();
    const std::vector<QStringList> rows = readCsv(fromCp932(fileBytes(csv)));
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[1][4], QString());
    EXPECT_EQ(rows[1][10], QStringLiteral("7"));

    // No results file: said so, and none is created.
    QFile::remove(school.resultsPath());
    o = school.tool({QStringLiteral("export"), csv});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(QStringLiteral("成績ファイル"))) << o.all().toStdString();
    EXPECT_FALSE(QFile::exists(school.resultsPath()));
}

namespace {

// The school's folders as the program would have them.
Configuration foldersOf(const School &school)
{
    Configuration config;
    config.DataRoot = school.dataRoot();
    config.DataFolder = school.dataFolder();
    config.SoundFolder = school.soundFolder();
    config.ProgramFolder = school.program() + u'/';
    return config;
}

} // namespace

TEST(Export, WhereANameLeadsDecidesWhetherItIsTheSchoolsFile)
{
    School school;
    Configuration config = foldersOf(school);
    const QString root = school.root();
    // An installed copy keeps its pending runs in this PC's own folder.
    config.LocalFolder = root + QStringLiteral("/state/");
    QDir().mkpath(config.LocalFolder);
    QFile::link(config.LocalFolder + QStringLiteral("未送信成績.dat"), root + QStringLiteral("/pending.csv"));
    QFile::link(school.dataFolder() + QStringLiteral("x.dat"), root + QStringLiteral("/dangling.csv"));
    QFile::link(school.dataFolder(), root + QStringLiteral("/data-link"));
    const struct {
        QString target;
        bool refused;
    } cases[] = {
        {root + QStringLiteral("/成績.csv"), false},
        {school.dataFolder() + QStringLiteral("成績.csv"), false},
        {root + QStringLiteral("/data-link/成績.csv"), false},
        {school.dataFolder() + QStringLiteral("new.txt"), true},
        {school.soundFolder() + QStringLiteral("ok.wav"), true},
        {school.dataRoot(), true},
        {school.program() + QStringLiteral("/../パスデータ.txt"), true},
        {root + QStringLiteral("/dangling.csv"), true},
        {root + QStringLiteral("/data-link/成績累積データ.dat"), true},
        {school.dataFolder() + QStringLiteral("../tobrel/タイム回数データ.txt"), true},
        {config.LocalFolder + QStringLiteral("未送信成績.dat"), true},
        {root + QStringLiteral("/pending.csv"), true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(!schoolFileRefusal(config, c.target, QStringLiteral(".csv")).isEmpty(), c.refused)
            << c.target.toStdString();
}

TEST(Export, TheSchoolsFolderReachedByASecondMountIsStillTheSchools)
{
    // The data root mounted a second time elsewhere: the same folder under another path,
    // with no link on the way. Played in a mount namespace of a child process of its own.
    School school;
    Configuration config = foldersOf(school);
    const QString second = school.root() + QStringLiteral("/second");
    const QString elsewhere = school.root() + QStringLiteral("/elsewhere");
    ASSERT_TRUE(QDir().mkpath(second));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const QString folderName = QDir(school.dataFolder()).dirName();
    const struct {
        QString target;
        bool refused;
    } cases[] = {
        {second + u'/' + folderName + QStringLiteral("/成績累積データ.dat"), true},
        {second + u'/' + folderName + QStringLiteral("/new.txt"), true},
        {second + QStringLiteral("/共通データ.txt"), true},
        {second, true},
        {second + u'/' + folderName + QStringLiteral("/成績.csv"), false},
        {elsewhere + QStringLiteral("/成績.dat"), false},
    };
    const int status = inOwnMountNamespace([&] {
        if (::mount(QFile::encodeName(school.dataRoot()).constData(), QFile::encodeName(second).constData(), nullptr,
                    MS_BIND, nullptr) != 0)
            return kNoMountNamespace;
        int number = 0;
        for (const auto &c : cases) {
            ++number;
            if (!schoolFileRefusal(config, c.target, QStringLiteral(".csv")).isEmpty() != c.refused)
                return number; // the case decided wrongly
        }
        return 0;
    });
    if (status < 0)
        GTEST_SKIP() << "no mount namespace for a second mount here";
    EXPECT_EQ(status, 0) << "case " << status
                         << " decided wrongly: " << cases[std::max(status, 1) - 1].target.toStdString();
}

namespace {

// A workbook's sheet as the texts a spreadsheet shows, each cell checked against the
// kind its column must have.
std::vector<QStringList> workbookRows(const QString &path)
{
    const auto zip = zipEntries(path);
    std::vector<QStringList> shown;
    for (const auto &cells : sheetRows(zip, QStringLiteral("xl/worksheets/sheet1.xml"))) {
        QStringList row(kHeader.size());
        for (const StoredCell &c : cells) {
            const int column = c.ref.at(0).unicode() - u'A';
            const bool number = c.type == u"n";
            QString text = c.value;
            if (c.format == u"yyyy/mm/dd") {
                text = QDate(1899, 12, 30).addDays(c.value.toLongLong()).toString(QStringLiteral("yyyy/MM/dd"));
            } else if (c.format == u"hh:mm:ss") {
                text = QTime(0, 0).addSecs(qRound(c.value.toDouble() * 86400)).toString(QStringLiteral("hh:mm:ss"));
            }
            if (!shown.empty()) {
                // Record number, student, level, time and points are numbers; the date
                // and clock numbers shown as such; names, codes and states text.
                const bool wantsNumber = QList<int>{0, 1, 2, 3, 6, 8, 10}.contains(column);
                EXPECT_EQ(number, wantsNumber) << c.ref.toStdString() << " " << c.value.toStdString();
                EXPECT_EQ(c.format == u"yyyy/mm/dd", column == 1) << c.ref.toStdString();
                EXPECT_EQ(c.format == u"hh:mm:ss", column == 2) << c.ref.toStdString();
            }
            if (column >= 0 && column < row.size())
                row[column] = text;
        }
        shown.push_back(row);
    }
    return shown;
}

} // namespace

TEST(Export, AWorkbookHoldsTheCsvRowsWithEveryCellTyped)
{
    ExportSchool school;
    const QString path = school.root() + QStringLiteral("/成績.xlsx");
    auto o = school.tool({QStringLiteral("export"), QStringLiteral("--xlsx"), path});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("Excelファイルに書き出しました"))) << o.all().toStdString();
    EXPECT_TRUE(o.all().contains(QStringLiteral("成績 10件のうち 10行")));

    // The CSV's rows, but a name that looks like a formula needs no apostrophe: a
    // workbook's text never runs.
    std::vector<QStringList> expected{kHeader};
    for (const QStringList &r : expectedRows())
        expected.push_back(r);
    expected.back()[4] = QStringLiteral("=1+2");
    const std::vector<QStringList> rows = workbookRows(path);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], expected[i]) << "row " << i;
    const QByteArray sheet = zipEntries(path).value(QStringLiteral("xl/worksheets/sheet1.xml"));
    EXPECT_TRUE(sheet.contains(R"(state="frozen")"));

    // The same filters as the CSV.
    o = school.tool({QStringLiteral("export"), QStringLiteral("--student"), QStringLiteral("1"),
                     QStringLiteral("--xlsx"), path, QStringLiteral("--from"), QStringLiteral("2024/02/02")});
    ASSERT_EQ(o.status, ToolOk) << o.all().toStdString();
    EXPECT_EQ(workbookRows(path), (std::vector<QStringList>{kHeader, expectedRows()[5], expectedRows()[7]}));
}

TEST(Export, AWorkbookIsRefusedWhereACsvIsAndLeavesNothingWhenItFails)
{
    ExportSchool school;
    const QByteArray results = fileBytes(school.resultsPath());
    const QString linked = school.root() + QStringLiteral("/out.xlsx");
    ASSERT_TRUE(QFile::link(school.resultsPath(), linked));
    for (const QString &target : {school.resultsPath(), linked, school.rosterPath()}) {
        const auto o = school.tool({QStringLiteral("export"), QStringLiteral("--xlsx"), target});
        EXPECT_EQ(o.status, ToolUsage) << o.all().toStdString();
        EXPECT_TRUE(o.all().contains(QStringLiteral("塾のデータの場所にあり"))) << o.all().toStdString();
    }
    EXPECT_EQ(fileBytes(school.resultsPath()), results);
    // A workbook beside the data may be written.
    auto o = school.tool(
        {QStringLiteral("export"), QStringLiteral("--xlsx"), school.dataFolder() + QStringLiteral("成績.xlsx")});
    EXPECT_EQ(o.status, ToolOk) << o.all().toStdString();

    // A CSV name besides --xlsx, --utf8, standard output: told how to use it.
    const QString path = school.root() + QStringLiteral("/x.xlsx");
    for (const QStringList &args :
         {QStringList{"export", "--xlsx", path, "y.csv"}, QStringList{"export", "--xlsx", path, "--utf8"},
          QStringList{"export", "--xlsx", "-"}}) {
        o = school.tool(args);
        EXPECT_EQ(o.status, ToolUsage) << o.all().toStdString();
        EXPECT_FALSE(QFileInfo::exists(path));
    }

    // Cancelled halfway, or into a folder that is not there: no file, the earlier one kept.
    writeFile(path, "earlier");
    SharedState state;
    state.config.DataRoot = school.dataRoot();
    QString error;
    EXPECT_FALSE(writeResultsWorkbook(ResultsFile(school.resultsPath()), csvSourceOf(state, school.clock.today()), {},
                                      path, nullptr, &error, [](int64_t, int64_t) { return false; }));
    EXPECT_TRUE(error.contains(QStringLiteral("Excel出力を取り消しました"))) << error.toStdString();
    EXPECT_EQ(fileBytes(path), QByteArray("earlier"));
    o = school.tool(
        {QStringLiteral("export"), QStringLiteral("--xlsx"), school.root() + QStringLiteral("/no/such/x.xlsx")});
    EXPECT_EQ(o.status, ToolProblems);
    EXPECT_TRUE(o.all().contains(QStringLiteral("x.xlsx"))) << o.all().toStdString();
    EXPECT_EQ(QDir(school.root()).entryList({QStringLiteral(".*part*")}, QDir::Files | QDir::Hidden), QStringList());
}
