#include "app/Configuration.h"
#include "hub/HubScreen.h"
#include "hub/SheetPanel.h"
#include "results/Tally.h"
#include "roster/NameSelectScreen.h"
#include "support/PaperSupport.h"
#include "support/ScreenFixture.h"
#include "text/DayNumber.h"
#include "ui/Printers.h"
#include "ui/TwipsSurfaces.h"

#include <QAccessible>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QLabel>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct SheetScreen : ScreenFixture {
    FakePrinters printers;
    AnsweringDialogs dialogs;
    SheetScreen()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        state.profile.ScreenColour = 0x00C0FFC0;
        // A teacher with many runs, and a student with a few.
        QByteArray bytes;
        const auto add = [&](int s, int level, int time, int daysAgo) {
            ResultRecord r;
            r.ResultRecDate = dayNumber(clock.date) - daysAgo;
            r.ResultRecClock = 0.4;
            r.ResultRecStudentNo = static_cast<int16_t>(s);
            r.ResultRecLevel = static_cast<int16_t>(level);
            r.ResultRecTime = time;
            const auto b = r.encode();
            bytes.append(b.data(), b.size());
        };
        for (int i = 0; i < 40; ++i)
            for (int L = 1; L <= 4; ++L)
                add(3, L, 30 + 5 * L + (i * 37) % 41 - i / 2, 400 - 9 * i);
        add(3, 2, kTimedOut, 3);
        for (int i = 0; i < 5; ++i)
            add(2, 1, 50 - i, 10 - i);
        writeFile(resultsFilePath(state), bytes);
        forms.show(QStringLiteral("namesel"));
        settle();
    }
    HubScreen *logIn(const QString &name)
    {
        auto *r = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        for (int i = 1; i < r->List1->count(); ++i)
            if (r->List1->item(i)->text().contains(name))
                r->List1->setCurrentRow(i);
        QTest::keyClick(r->List1, Qt::Key_Return);
        settle();
        auto *hub = forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1"));
        hub->Picture11->printers = &printers;
        hub->Picture11->dialogs = &dialogs;
        return hub;
    }
    // The hub's personal times, then "グラフ".
    SheetPanel *openSheet(HubScreen *hub)
    {
        QTest::mouseClick(hub->Option2[2], Qt::LeftButton);
        EXPECT_TRUE(hub->Command17->isVisible());
        QTest::mouseClick(hub->Command17, Qt::LeftButton);
        return hub->Picture11;
    }
    static void chooseLevels(SheetPanel *sheet, std::initializer_list<int> lines)
    {
        for (int row = 0; row < sheet->List3->count(); ++row)
            sheet->List3->item(row)->setSelected(std::find(lines.begin(), lines.end(), row + 1) != lines.end());
    }
};

QStringList drawnTexts(const SheetPanel *sheet)
{
    QStringList texts;
    for (const auto &op : sheet->Picture12->drawn().ops())
        if (op.kind == RecordingSurface::Kind::Text)
            texts << op.text;
    return texts;
}

} // namespace

TEST(SheetScreen, GraphOpensTheSheetOfTheCurrentStudent)
{
    SheetScreen f;
    HubScreen *hub = f.logIn(QStringLiteral("佐藤先生"));
    SheetPanel *sheet = f.openSheet(hub);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(sheet->List2->isVisible());
    EXPECT_TRUE(sheet->Command25->isVisible());
    EXPECT_TRUE(sheet->Command24[1]->isVisible()); // a teacher prints
    EXPECT_TRUE(sheet->CommandPdf->isVisible());
    EXPECT_EQ(sheet->SheetStudent, 3);
    EXPECT_EQ(sheet->SheetLevel, 3);
    const QStringList texts = drawnTexts(sheet);
    EXPECT_EQ(texts.filter(QStringLiteral("Tobrel ")),
              (QStringList{QStringLiteral("Tobrel レベル１"), QStringLiteral("Tobrel レベル２"),
                           QStringLiteral("Tobrel レベル３")}));
    EXPECT_TRUE(texts.contains(QStringLiteral("回数　　　　　　　 40回")));
    EXPECT_EQ(sheet->Picture12->accessibleDescription(), texts.join(u'\n'));
    ScreenFixture::shot(hub, QStringLiteral("sheet-teacher"));
    // The panel covers the views whole: their title, every level column on the form and
    // the columns' scroll bar.
    const QRect form = sheet->parentWidget()->rect();
    std::vector<QWidget *> covered{hub->Label5, hub->HScroll1};
    for (size_t i = 1; i < hub->List5.size(); ++i)
        covered.insert(covered.end(), {hub->List5[i], hub->Command4[i], hub->Label3[i], hub->Label1[i]});
    for (QWidget *w : covered) {
        ASSERT_EQ(w->parentWidget(), sheet->parentWidget());
        const QRect shown = w->geometry().intersected(form);
        if (w->isVisible() && !shown.isEmpty()) {
            EXPECT_TRUE(sheet->geometry().contains(shown)) << w->objectName().toStdString();
        }
    }

    // Another student from the list: only the last chosen student's sheet stays.
    QTest::mouseClick(sheet->Command25, Qt::LeftButton);
    EXPECT_TRUE(sheet->List2->isVisible());
    ASSERT_EQ(sheet->List2->count(), 3);
    for (int row = 0; row < 3; ++row)
        if (sheet->List2->item(row)->text().endsWith(QStringLiteral("/2")))
            sheet->List2->item(row)->setSelected(true);
    EXPECT_EQ(sheet->SheetStudent, 2);
    EXPECT_TRUE(drawnTexts(sheet).contains(QStringLiteral("髙橋　健一")));
    ScreenFixture::shot(hub, QStringLiteral("sheet-other-student"));

    QTest::mouseClick(sheet->Command18, Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
}

TEST(SheetScreen, AStudentSeesNoPrintButtons)
{
    SheetScreen f;
    HubScreen *hub = f.logIn(QStringLiteral("髙橋"));
    SheetPanel *sheet = f.openSheet(hub);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(sheet->Command24[1]->isVisible());
    EXPECT_FALSE(sheet->CommandPdf->isVisible());
    EXPECT_TRUE(drawnTexts(sheet).contains(QStringLiteral("回数　　　　　　　  5回")));

    // Hidden is no lock: the handlers, and the buttons pressed as a screen reader does,
    // print nothing, ask for no file and write none.
    f.printers.printer = QStringLiteral("教室");
    f.dialogs.file = QDir::tempPath() + QStringLiteral("/tobrel-student-sheet.pdf");
    QFile::remove(f.dialogs.file);
    f.chooseLevels(sheet, {1});
    sheet->Command24_Click(1);
    EXPECT_FALSE(sheet->Command21_Click(1));
    sheet->CommandPdf_Click();
    for (QPushButton *hidden : {sheet->Command24[1], sheet->CommandPdf})
        if (QAccessibleInterface *a = QAccessible::queryAccessibleInterface(hidden); a && a->actionInterface())
            for (const QString &action : a->actionInterface()->actionNames())
                a->actionInterface()->doAction(action);
    f.settle();
    EXPECT_TRUE(f.printers.jobs.isEmpty());
    EXPECT_TRUE(f.dialogs.asked.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(f.dialogs.file));
    EXPECT_TRUE(f.messages.shown.isEmpty());

    // The same handlers work for a teacher.
    SheetScreen g;
    SheetPanel *teachers = g.openSheet(g.logIn(QStringLiteral("佐藤先生")));
    g.printers.printer = QStringLiteral("教室");
    g.chooseLevels(teachers, {1});
    teachers->Command24_Click(1);
    EXPECT_EQ(g.printers.jobs.size(), 1);
}

TEST(SheetScreen, PrintingWithoutAPrinterOrWithARefusalSaysSoAndReturns)
{
    SheetScreen f;
    SheetPanel *sheet = f.openSheet(f.logIn(QStringLiteral("佐藤先生")));
    QTest::mouseClick(sheet->Command24[1], Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(
        QStringLiteral("プリンターが見つかりません（既定のプリンターが設定されていません）")));

    f.printers.printer = QStringLiteral("教室");
    f.printers.refusal = QStringLiteral("Destination \"教室\" is not accepting jobs.");
    QTest::mouseClick(sheet->Command24[1], Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 2);
    EXPECT_TRUE(f.messages.shown[1].contains(QStringLiteral("プリンター「教室」が受け付けませんでした")));
    EXPECT_TRUE(f.messages.shown[1].contains(f.printers.refusal));
    EXPECT_TRUE(f.exits.empty());

    // No level chosen: nothing to put on paper, and the printer is not asked.
    f.chooseLevels(sheet, {});
    f.printers.refusal.clear();
    QTest::mouseClick(sheet->Command24[1], Qt::LeftButton);
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 4);
    EXPECT_TRUE(f.messages.shown[2].contains(QStringLiteral("レベルを")));
    EXPECT_TRUE(f.printers.jobs.isEmpty());
    EXPECT_TRUE(f.dialogs.asked.isEmpty());
}

TEST(SheetScreen, EachChosenStudentIsADocumentOfItsOwn)
{
    SheetScreen f;
    QTemporaryDir kept;
    f.printers.printer = QStringLiteral("教室");
    f.printers.keepIn = kept.path();
    SheetPanel *sheet = f.openSheet(f.logIn(QStringLiteral("佐藤先生")));
    QTest::mouseClick(sheet->Command25, Qt::LeftButton);
    sheet->List2->selectAll(); // redraws each on the screen
    f.chooseLevels(sheet, {1, 2, 3, 4});
    QTest::mouseClick(sheet->Command24[1], Qt::LeftButton);
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
    ASSERT_EQ(f.printers.jobs.size(), 3);
    EXPECT_TRUE(f.printers.jobs.contains(QStringLiteral("教室|成績表 髙橋　健一")));
    for (int job = 1; job <= 3; ++job)
        EXPECT_EQ(pageCount(kept.filePath(QStringLiteral("job%1.pdf").arg(job))), 2) << job;
}

TEST(SheetScreen, PdfOfFourLevelsHasTwoPagesWithTheNameOnBoth)
{
    SheetScreen f;
    QTemporaryDir out;
    f.dialogs.file = out.filePath(QStringLiteral("sheet"));
    SheetPanel *sheet = f.openSheet(f.logIn(QStringLiteral("佐藤先生")));
    f.chooseLevels(sheet, {1, 2, 3, 4});
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    ASSERT_EQ(f.dialogs.asked.size(), 1);
    EXPECT_TRUE(f.dialogs.asked[0].endsWith(QStringLiteral("/佐藤先生_20240207.pdf")));
    const QString pdf = out.filePath(QStringLiteral("sheet.pdf"));
    ASSERT_TRUE(QFileInfo::exists(pdf));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("sheet.pdf")});
    EXPECT_EQ(pageCount(pdf), 2);
    if (const QString shots = qEnvironmentVariable("TOBREL_SHOTS"); !shots.isEmpty())
        QFile::copy(pdf, shots + QStringLiteral("/sheet.pdf"));
    const QString first =
        poppler(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                              QStringLiteral("1"), pdf, QStringLiteral("-")});
    const QString second =
        poppler(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"),
                                              QStringLiteral("2"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(first.contains(QStringLiteral("佐藤先生"))) << first.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("佐藤先生"))) << second.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("Tobrel レベル３")));
    EXPECT_TRUE(second.contains(QStringLiteral("Tobrel レベル４")));
    EXPECT_FALSE(second.contains(QStringLiteral("Tobrel レベル１")));
    EXPECT_TRUE(f.messages.shown.value(0).contains(QStringLiteral("保存しました")));

    // A folder that cannot be written: a message, and nothing left behind.
    f.dialogs.file = QStringLiteral("/proc/nowhere/sheet.pdf");
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    EXPECT_TRUE(f.messages.shown.value(1).contains(QStringLiteral("PDF を保存できませんでした")))
        << f.messages.shown.value(1).toStdString();
}

TEST(SheetScreen, ANameTypedWithoutPdfAsksBeforeReplacingThePdfOfThatName)
{
    // The save dialog asked about "report"; "report.pdf" is another parent's sheet.
    SheetScreen f;
    QTemporaryDir out;
    f.dialogs.file = out.filePath(QStringLiteral("report"));
    const QString taken = out.filePath(QStringLiteral("report.pdf"));
    writeFile(taken, "kept");
    SheetPanel *sheet = f.openSheet(f.logIn(QStringLiteral("佐藤先生")));
    const auto contents = [&] {
        QFile file(taken);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    f.messages.answer = false;
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("上書きしますか"))) << f.messages.shown[0].toStdString();
    EXPECT_EQ(contents(), QByteArray("kept"));

    f.messages.answer = true;
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    EXPECT_EQ(pageCount(taken), 1);
    EXPECT_TRUE(f.messages.shown.last().contains(QStringLiteral("保存しました")));
}

TEST(SheetScreen, PdfsOfSeveralStudentsGoToOneFolderNamedByStudent)
{
    SheetScreen f;
    QTemporaryDir out;
    f.dialogs.folderAnswer = out.path();
    SheetPanel *sheet = f.openSheet(f.logIn(QStringLiteral("佐藤先生")));
    QTest::mouseClick(sheet->Command25, Qt::LeftButton);
    sheet->List2->selectAll();
    const QString taken = out.filePath(QStringLiteral("佐藤翔太_20240207.pdf"));
    writeFile(taken, "kept");
    f.messages.answer = false; // keep the file that is already there
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("佐藤先生_20240207.pdf"), QStringLiteral("佐藤翔太_20240207.pdf"),
                           QStringLiteral("髙橋健一_20240207.pdf")}));
    QFile kept(taken);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("kept"));
    EXPECT_EQ(pageCount(out.filePath(QStringLiteral("髙橋健一_20240207.pdf"))), 1);
    EXPECT_TRUE(QFileInfo(out.filePath(QStringLiteral("髙橋健一_20240207.pdf"))).permissions() &
                QFileDevice::ReadOther);
    ASSERT_EQ(f.messages.shown.size(), 2);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("上書きしますか")));
    EXPECT_TRUE(f.messages.shown[1].contains(QStringLiteral("保存しました")));
}

TEST(SheetScreen, APdfIsNeverSavedOverASchoolFileAndTheNextDialogOpensWhereTheLastSaveWent)
{
    SheetScreen f;
    QTemporaryDir out;
    SheetPanel *sheet = f.openSheet(f.logIn(QStringLiteral("佐藤先生")));
    // A name that leads to the results file through a link.
    const QString results = resultsFilePath(f.state);
    const QByteArray before = readFileBytes(results);
    const QString linked = out.filePath(QStringLiteral("link.pdf"));
    ASSERT_TRUE(QFile::link(results, linked));
    f.dialogs.file = linked;
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("塾のデータの場所にあり")))
        << f.messages.shown[0].toStdString();
    EXPECT_EQ(readFileBytes(results), before);
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    // A plain save, then the next dialog starts in its folder.
    f.dialogs.file = out.filePath(QStringLiteral("sheet.pdf"));
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    ASSERT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("sheet.pdf"))));
    f.dialogs.file.clear();
    QTest::mouseClick(sheet->CommandPdf, Qt::LeftButton);
    EXPECT_EQ(QFileInfo(f.dialogs.asked.last()).absolutePath(), QFileInfo(out.path()).absoluteFilePath());
}
