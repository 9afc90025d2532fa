#include "admin/OverviewPrintout.h"
#include "app/Configuration.h"
#include "results/Tally.h"
#include "support/PaperSupport.h"
#include "support/ScreenFixture.h"
#include "ui/PaperOutput.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

// Whether the pages are wider than high ("842 x 595 pts (A4)").
bool landscapeA4(const QString &pdf)
{
    const QStringList size = pdfInfo(pdf, QStringLiteral("Page size")).split(u' ');
    return size.size() >= 5 && size[4] == QStringLiteral("(A4)") && size[0].toDouble() > size[2].toDouble();
}

QString pageText(const QString &pdf, int page)
{
    const QString n = QString::number(page);
    return poppler(QStringLiteral("pdftotext"),
                   {QStringLiteral("-f"), n, QStringLiteral("-l"), n, pdf, QStringLiteral("-")});
}

// A class of 60 as the overview prints it: six levels of six columns, too wide for one
// page, so each run of students takes two pages.
OverviewPrintout classOfSixty()
{
    OverviewPrintout p;
    p.title = QStringLiteral("クラス一覧");
    p.headingLines = {QStringLiteral("さくら塾"), QStringLiteral("学年: 全学年"),
                      QStringLiteral("期間: 2024/02/01 ～ 2024/02/07")};
    p.columns = {{QStringLiteral("学年"), {}, false, 6}, {QStringLiteral("名前"), {}, false, 16}};
    const QStringList headings = {QStringLiteral("回数"), QStringLiteral("全回数"), QStringLiteral("最高"),
                                  QStringLiteral("点"),   QStringLiteral("合格"),   QStringLiteral("最終日")};
    for (int L = 1; L <= 6; ++L)
        for (const QString &h : headings)
            p.columns.push_back({h, QStringLiteral("レベル%1").arg(L), true, 4});
    for (int s = 1; s <= 60; ++s) {
        QStringList row{QStringLiteral("小%1").arg(s % 6 + 1), QStringLiteral("生徒%1").arg(s, 2, 10, QChar(u'0'))};
        for (int L = 1; L <= 6; ++L)
            row << QString::number(s % 9) << QString::number(s * L % 311) << QString::number(20 + (s + L) % 70)
                << QString::number(s * 13 % 900) << (s % L == 0 ? QStringLiteral("○") : QString())
                << QStringLiteral("02/%1").arg(1 + s % 7, 2, 10, QChar(u'0'));
        p.rows.push_back(row);
        p.marked.push_back(s % 10 == 0);
    }
    p.markNote = QStringLiteral("7日を超えて練習していない生徒");
    return p;
}

PaperPages landscapePages(const OverviewPrintout &p)
{
    return {p.title, QPageLayout::Landscape, [&p](DrawingSurface &paper) { drawOverviewPages(paper, p); }};
}

struct PaperOutputTest : ScreenFixture {
    AnsweringDialogs dialogs;
    QString lastFolder;
    QTemporaryDir out;
    OverviewPrintout printout = classOfSixty();
    PaperOutputTest()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
    }
    bool save()
    {
        return savePdf({dialogs, messages, state.config, lastFolder, nullptr}, QStringLiteral("クラス一覧をPDFで保存"),
                       QStringLiteral("クラス一覧.pdf"), QStringLiteral("クラス一覧"), landscapePages(printout));
    }
    QStringList filesOut() const { return QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
};

} // namespace

TEST(PaperOutput, AClassOfSixtyIsFourLandscapePagesWithHeadingsOnEach)
{
    PaperOutputTest f;
    const QString pdf = f.out.filePath(QStringLiteral("class.pdf"));
    QString error;
    ASSERT_TRUE(writePdfFile(landscapePages(f.printout), pdf, &error)) << error.toStdString();
    EXPECT_EQ(f.filesOut(), QStringList{QStringLiteral("class.pdf")});
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("4"));
    EXPECT_TRUE(landscapeA4(pdf)) << pdfInfo(pdf, QStringLiteral("Page size")).toStdString();
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), QStringLiteral("クラス一覧"));
    for (int page = 1; page <= 4; ++page) {
        const QString text = pageText(pdf, page);
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.contains(QStringLiteral("クラス一覧")));
        EXPECT_TRUE(text.contains(QStringLiteral("期間: 2024/02/01")));
        EXPECT_TRUE(text.contains(QStringLiteral("%1 / 4").arg(page)));
        EXPECT_TRUE(text.contains(page <= 2 ? QStringLiteral("生徒01") : QStringLiteral("生徒60")));
        EXPECT_TRUE(text.contains(page % 2 ? QStringLiteral("レベル1") : QStringLiteral("レベル6")));
    }
    if (const QString shots = qEnvironmentVariable("TOBREL_SHOTS"); !shots.isEmpty())
        QFile::copy(pdf, shots + QStringLiteral("/class-overview.pdf"));
}

TEST(PaperOutput, APdfIsNeverSavedOverASchoolFileButReplacesAnyOtherLinkAtItsName)
{
    PaperOutputTest f;
    const QString results = resultsFilePath(f.state);
    ASSERT_TRUE(writeFile(results, QByteArray(44, '\1')));
    const QByteArray before = readFileBytes(results);

    // A name that leads to the results file through a link: refused.
    const QString linked = f.out.filePath(QStringLiteral("link.pdf"));
    ASSERT_TRUE(QFile::link(results, linked));
    f.dialogs.file = linked;
    EXPECT_FALSE(f.save());
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("塾のデータの場所にあり")))
        << f.messages.shown[0].toStdString();
    EXPECT_EQ(readFileBytes(results), before);
    EXPECT_TRUE(QFileInfo(linked).isSymLink());

    // The results file's own name typed in the dialog: the PDF goes beside it under the
    // name with ".pdf" added, and the results file stays as it was.
    f.dialogs.file = results;
    f.messages.shown.clear();
    EXPECT_TRUE(f.save());
    EXPECT_EQ(pdfInfo(results + QStringLiteral(".pdf"), QStringLiteral("Pages")), QStringLiteral("4"));
    EXPECT_EQ(readFileBytes(results), before);

    // A link to a file of the teacher's own: the PDF takes the link's place, and the
    // file it led to is left as it was.
    const QString theirs = f.out.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeFile(theirs, "kept"));
    const QString other = f.out.filePath(QStringLiteral("other.pdf"));
    ASSERT_TRUE(QFile::link(theirs, other));
    f.dialogs.file = other;
    f.messages.shown.clear();
    EXPECT_TRUE(f.save());
    EXPECT_FALSE(QFileInfo(other).isSymLink());
    EXPECT_EQ(pdfInfo(other, QStringLiteral("Pages")), QStringLiteral("4"));
    EXPECT_EQ(readFileBytes(theirs), QByteArray("kept"));
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("|クラス一覧を PDF で保存しました。")))
        << f.messages.shown[0].toStdString();
    EXPECT_EQ(QFileInfo(f.lastFolder).absoluteFilePath(), QFileInfo(f.out.path()).absoluteFilePath());
}

TEST(PaperOutput, ACancelledDialogOrAnUnwritableFolderLeavesNothingBehind)
{
    PaperOutputTest f;
    f.dialogs.file.clear(); // cancelled
    EXPECT_FALSE(f.save());
    EXPECT_EQ(f.dialogs.asked.size(), 1);
    EXPECT_TRUE(f.dialogs.asked[0].endsWith(QStringLiteral("/クラス一覧.pdf")));
    EXPECT_TRUE(f.messages.shown.isEmpty());

    f.dialogs.file = QStringLiteral("/proc/nowhere/class.pdf");
    EXPECT_FALSE(f.save());
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("|PDF を保存できませんでした")))
        << f.messages.shown[0].toStdString();

    // A folder where the file cannot be made: no half file under the name, nothing else.
    const QString locked = f.out.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (::access(QFile::encodeName(locked).constData(), W_OK) != 0) { // root may write anywhere
        f.dialogs.file = locked + QStringLiteral("/class.pdf");
        EXPECT_FALSE(f.save());
        EXPECT_TRUE(QDir(locked).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(PaperOutput, PrintingGoesToTheDefaultPrinterAsOneLandscapeJob)
{
    PaperOutputTest f;
    FakePrinters printers;
    printers.keepIn = f.out.path();
    const PaperPages pages = landscapePages(f.printout);
    EXPECT_TRUE(printPages(printers, pages)
                    .contains(QStringLiteral("プリンターが見つかりません（既定のプリンターが設定されていません）")));

    // Without the print service's library the message names it and does not send the
    // teacher to connect a printer.
    printers.lacking = QStringLiteral("libcups.so.2 を読み込めません（file too short）");
    const QString lacking = printPages(printers, pages);
    EXPECT_TRUE(lacking.contains(printers.lacking)) << lacking.toStdString();
    EXPECT_TRUE(lacking.contains(QStringLiteral("libcups2")));
    EXPECT_FALSE(lacking.contains(QStringLiteral("プリンターをつないで")));
    EXPECT_TRUE(printers.jobs.isEmpty());
    printers.lacking.clear();

    printers.printer = QStringLiteral("教室");
    printers.refusal = QStringLiteral("Destination \"教室\" is not accepting jobs.");
    const QString refused = printPages(printers, pages);
    EXPECT_TRUE(refused.contains(QStringLiteral("プリンター「教室」が受け付けませんでした")));
    EXPECT_TRUE(refused.contains(printers.refusal));

    printers.refusal.clear();
    EXPECT_EQ(printPages(printers, pages), QString());
    EXPECT_EQ(printers.jobs, QStringList{QStringLiteral("教室|クラス一覧")});
    const QString job = f.out.filePath(QStringLiteral("job1.pdf"));
    EXPECT_EQ(pdfInfo(job, QStringLiteral("Pages")), QStringLiteral("4"));
    EXPECT_TRUE(landscapeA4(job));
}
