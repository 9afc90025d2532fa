// The workbook writer built to look for its library under a name no system has: what a
// PC without libxlsxwriter sees when a teacher asks for a workbook.
#include "text/Workbook.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tobrel;

TEST(WorkbookWithoutItsLibrary, SaysWhatIsMissingAndLeavesTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("成績.xlsx"));
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();

    Workbook book(path);
    QString error;
    EXPECT_FALSE(book.open(&error));
    EXPECT_TRUE(error.contains(QStringLiteral(TOBREL_XLSXWRITER_LIBRARY))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("libxlsxwriter4"))) << error.toStdString();
    EXPECT_FALSE(book.addSheet(QStringLiteral("成績"), {}, &error));
    EXPECT_FALSE(book.commit(&error));

    // Nothing made beside it, and the workbook there before is as it was.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("成績.xlsx")});
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier"));
}
