// The workbook writer, read back from the zip and its XML as a spreadsheet reads it.
#include "text/Workbook.h"

#include "support/WorkbookReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const std::vector<WorkbookColumn> kColumns{
    {QStringLiteral("番号"), CellKind::Number, QStringLiteral("0")},
    {QStringLiteral("日付"), CellKind::Date, {}},
    {QStringLiteral("時刻"), CellKind::TimeOfDay, {}},
    {QStringLiteral("塾コード"), CellKind::Text, {}},
    {QStringLiteral("平均"), CellKind::Number, QStringLiteral("0.00")},
};

bool write(const QString &path, const std::vector<std::vector<WorkbookCell>> &rows, QString *error,
           int64_t rowsPerSheet = Workbook::kMostRowsPerSheet)
{
    Workbook book(path, rowsPerSheet);
    if (!book.open(error) || !book.addSheet(QStringLiteral("成績"), kColumns, error))
        return false;
    for (const auto &r : rows)
        if (!book.addRow(r, error))
            return false;
    return book.commit(error);
}

QStringList namesIn(const QString &folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

} // namespace

TEST(Workbook, CellsKeepTheirKindsAndTheHeadingStaysInView)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.xlsx"));
    QString error;
    ASSERT_TRUE(write(path,
                      {
                          {1.0, QDate(2024, 2, 6), 0.6, QStringLiteral("01234"), 12.5},
                          // Empty cells stay empty; a formula-like name is text; control
                          // characters, which the XML cannot hold, are left out; a date
                          // before the spreadsheets' calendar is written as it reads.
                          {2.0, std::monostate(), std::monostate(), QStringLiteral("=1+1\x01"), std::monostate()},
                          {3.0, QDate(1900, 1, 1), 0.0, QStringLiteral("山﨑　はな"), 7.0},
                      },
                      &error))
        << error.toStdString();
    EXPECT_EQ(namesIn(dir.path()), QStringList{QStringLiteral("out.xlsx")}) << "no temporary file left";

    const auto zip = zipEntries(path);
    ASSERT_TRUE(zip.contains(QStringLiteral("xl/worksheets/sheet1.xml")));
    const QByteArray sheetXml = zip.value(QStringLiteral("xl/worksheets/sheet1.xml"));
    const auto rows = sheetRows(zip, QStringLiteral("xl/worksheets/sheet1.xml"));
    ASSERT_EQ(rows.size(), 4u);

    ASSERT_EQ(rows[0].size(), 5u);
    EXPECT_EQ(rows[0][3].value, QStringLiteral("塾コード"));
    EXPECT_NE(rows[0][3].type, QStringLiteral("n"));

    ASSERT_EQ(rows[1].size(), 5u);
    EXPECT_EQ(rows[1][0].type, QStringLiteral("n"));
    EXPECT_EQ(rows[1][0].value, QStringLiteral("1"));
    EXPECT_EQ(rows[1][1].type, QStringLiteral("n")) << "a date is a number of days with a date format";
    EXPECT_EQ(rows[1][1].value, QStringLiteral("45328"));
    EXPECT_EQ(rows[1][1].format, QStringLiteral("yyyy/mm/dd"));
    EXPECT_EQ(rows[1][2].value.toDouble(), 0.6);
    EXPECT_EQ(rows[1][2].format, QStringLiteral("hh:mm:ss"));
    EXPECT_NE(rows[1][3].type, QStringLiteral("n"));
    EXPECT_EQ(rows[1][3].value, QStringLiteral("01234"));
    EXPECT_EQ(rows[1][4].value, QStringLiteral("12.5"));
    EXPECT_EQ(rows[1][4].format, QStringLiteral("0.00"));

    ASSERT_EQ(rows[2].size(), 2u);
    EXPECT_EQ(rows[2][1].ref, QStringLiteral("D3"));
    EXPECT_NE(rows[2][1].type, QStringLiteral("n"));
    EXPECT_EQ(rows[2][1].value, QStringLiteral("=1+1"));
    EXPECT_FALSE(sheetXml.contains("<f>")) << "no formula anywhere";

    EXPECT_NE(rows[3][1].type, QStringLiteral("n"));
    EXPECT_EQ(rows[3][1].value, QStringLiteral("1900/01/01"));
    EXPECT_EQ(rows[3][3].value, QStringLiteral("山﨑　はな"));

    // The heading row frozen, a filter over it, every column given a width that fits
    // its longest cell (a full-width name wider than a number).
    EXPECT_TRUE(sheetXml.contains(R"(ySplit="1")")) << sheetXml.left(800).toStdString();
    EXPECT_TRUE(sheetXml.contains(R"(state="frozen")"));
    EXPECT_TRUE(sheetXml.contains(R"(<autoFilter ref="A1:E4")"));
    QXmlStreamReader x(sheetXml);
    std::vector<double> widths;
    while (!x.atEnd())
        if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"col")
            widths.push_back(x.attributes().value(QLatin1String("width")).toDouble());
    ASSERT_EQ(widths.size(), 5u);
    EXPECT_GE(widths[1], 10.0);
    EXPECT_GE(widths[3], 10.0);
    EXPECT_GT(widths[3], widths[0]);
}

TEST(Workbook, RowsPastASheetGoOnInTheNextWithTheSameHeading)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.xlsx"));
    std::vector<std::vector<WorkbookCell>> rows;
    for (int i = 1; i <= 5; ++i)
        rows.push_back({double(i)});
    QString error;
    ASSERT_TRUE(write(path, rows, &error, 2)) << error.toStdString();
    const auto zip = zipEntries(path);
    const QByteArray book = zip.value(QStringLiteral("xl/workbook.xml"));
    for (const char *name : {"name=\"成績\"", "name=\"成績 (2)\"", "name=\"成績 (3)\""})
        EXPECT_TRUE(book.contains(name)) << name;
    int next = 1;
    for (int sheet = 1; sheet <= 3; ++sheet) {
        const auto r = sheetRows(zip, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet));
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(r[0][0].value, QStringLiteral("番号")) << "sheet " << sheet;
        for (size_t i = 1; i < r.size(); ++i)
            EXPECT_EQ(r[i][0].value.toInt(), next++);
    }
    EXPECT_EQ(next, 6);
}

TEST(Workbook, EachSheetKeepsItsOwnColumns)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.xlsx"));
    Workbook book(path);
    QString error;
    ASSERT_TRUE(book.open(&error));
    ASSERT_TRUE(book.addSheet(QStringLiteral("成績"), kColumns, &error));
    ASSERT_TRUE(book.addRow(std::vector<WorkbookCell>{1.0, QDate(2024, 4, 1)}, &error));
    // A second sheet of other columns; a name a sheet cannot hold is made one it can.
    ASSERT_TRUE(book.addSheet(QStringLiteral("一覧[4/1]"),
                              {{QStringLiteral("名前とても長い見出し"), CellKind::Text, {}}}, &error));
    ASSERT_TRUE(book.addRow(std::vector<WorkbookCell>{QStringLiteral("佐藤")}, &error));
    ASSERT_TRUE(book.commit(&error)) << error.toStdString();

    const auto zip = zipEntries(path);
    EXPECT_TRUE(zip.value(QStringLiteral("xl/workbook.xml")).contains("name=\"一覧_4_1_\""));
    const auto cols = [&](int sheet) {
        return zip.value(QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)).count("<col ");
    };
    EXPECT_EQ(cols(1), 5);
    EXPECT_EQ(cols(2), 1);
    EXPECT_TRUE(zip.value(QStringLiteral("xl/worksheets/sheet1.xml")).contains(R"(<autoFilter ref="A1:E2")"));
    EXPECT_TRUE(zip.value(QStringLiteral("xl/worksheets/sheet2.xml")).contains(R"(<autoFilter ref="A1:A2")"));
}

TEST(Workbook, AWorkbookGivenUpOrFailedLeavesNoFileAndALinkIsReplacedNotFollowed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.xlsx"));
    {
        Workbook book(path);
        QString error;
        ASSERT_TRUE(book.open(&error));
        ASSERT_TRUE(book.addSheet(QStringLiteral("成績"), kColumns, &error));
        ASSERT_TRUE(book.addRow(std::vector<WorkbookCell>{1.0}, &error));
    } // given up: no commit
    EXPECT_TRUE(namesIn(dir.path()).isEmpty()) << namesIn(dir.path()).join(u' ').toStdString();

    // A folder that is not there: the failure names the file.
    QString error;
    const QString nowhere = dir.filePath(QStringLiteral("gone/out.xlsx"));
    EXPECT_FALSE(write(nowhere, {}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("out.xlsx"))) << error.toStdString();

    // A link standing at the name: the workbook takes the name's place, and the file the
    // link led to keeps its bytes.
    const QString kept = dir.filePath(QStringLiteral("kept.dat"));
    {
        QFile f(kept);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("results");
    }
    ASSERT_TRUE(QFile::link(kept, path));
    ASSERT_TRUE(write(path, {std::vector<WorkbookCell>{1.0}}, &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_FALSE(zipEntries(path).isEmpty());
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("results"));
}
