// Forms fill the display they are shown on: the form area scaled uniformly to the largest
// size that fits, centred, the season colour in the margins, fonts scaled with it. The
// test runs on the display TOBREL_TEST_DISPLAY names (ctest runs it at several sizes).
#include "app/Configuration.h"
#include "drill/DrillScreen.h"
#include "drill/EndScreen.h"
#include "hub/HubScreen.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"
#include "ui/Printers.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTimer>
#include <QListView>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

TEST(FormScale, FitsTheFormAreaToTheDisplay)
{
    struct Case {
        QSize display;
        QSize form;
    };
    const Case cases[] = {
        {{1024, 768}, {1024, 768}},   {{1366, 768}, {1024, 768}},  {{1920, 1080}, {1440, 1080}},
        {{2560, 1440}, {1920, 1440}}, {{1280, 1024}, {1280, 960}}, {{800, 600}, {800, 600}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormScale::fitting(c.display).formSize(), c.form) << c.display.width() << "x" << c.display.height();

    // A stage of the display's shape: as wide as the display at the scale its height
    // gives, never narrower than the form area.
    struct Wide {
        QSize display;
        int twips;
    };
    const Wide wide[] = {{{1024, 768}, 15360},  {{1280, 1024}, 15360}, {{1280, 800}, 18432},
                         {{1366, 768}, 20490},  {{1920, 1080}, 20480}, {{2560, 1440}, 20480},
                         {{2560, 1080}, 27306}, {{800, 600}, 15360}};
    for (const Wide &c : wide) {
        const FormScale s = FormScale::fitting(c.display);
        EXPECT_EQ(s.stageWidthTwips(c.display), c.twips) << c.display.width() << "x" << c.display.height();
        EXPECT_LE(s.px(s.stageWidthTwips(c.display)), c.display.width());
    }

    // Edges are rounded, so controls side by side in twips stay side by side in pixels.
    const FormScale odd = FormScale::fitting({1366, 1000});
    for (int left = 0; left < 15360; left += 1728)
        EXPECT_EQ(odd.rect(left, 0, 1728, 300).right() + 1, odd.rect(left + 1728, 0, 1728, 300).left());
}

namespace {

// What a display of each size must give: the form area in pixels and the roster list's
// font (17 points as designed for 1024 x 768, 22.7 pixels there, at an even number of
// pixels).
struct Expected {
    QSize display;
    QRect stage;
    int rosterListPixels;
    QRect hubStage; // the hub's stage takes the display's shape
};
const Expected kDisplays[] = {
    {{1024, 768}, {0, 0, 1024, 768}, 22, {0, 0, 1024, 768}},
    {{1366, 768}, {171, 0, 1024, 768}, 22, {0, 0, 1366, 768}},
    {{1920, 1080}, {240, 0, 1440, 1080}, 32, {0, 0, 1920, 1080}},
    {{2560, 1440}, {320, 0, 1920, 1440}, 42, {0, 0, 2560, 1440}},
};

// Full-width characters take exactly two half-width cells, so fixed-width lines line up.
void expectTwoCellsForFullWidth(const QFont &font, const char *what)
{
    const QFontMetrics m(font);
    const int half = m.horizontalAdvance(u' ');
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("8")), half) << what;
    for (const QString &full : {QStringLiteral("　"), QStringLiteral("髙"), QStringLiteral("●"), QStringLiteral("ア")})
        EXPECT_EQ(m.horizontalAdvance(full), 2 * half) << what << " " << full.toStdString();
}

} // namespace

TEST(FormsFollowTheDisplay, GeometryFontsAndPositionsScaleWithTheScreen)
{
    const QRect display = QGuiApplication::primaryScreen()->geometry();
    const Expected *e = nullptr;
    for (const Expected &d : kDisplays)
        if (d.display == display.size())
            e = &d;
    ASSERT_NE(e, nullptr) << "no expectations for a display of " << display.width() << "x" << display.height();

    ScreenFixture f;
    f.writeSuite();
    LoadConfiguration(f.state, f.ctx.programFolderPath);
    f.state.profile.ScreenColour = 0x000080FF; // orange, February
    f.forms.show(QStringLiteral("namesel"));
    f.settle();
    auto *roster = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
    ASSERT_NE(roster, nullptr);
    EXPECT_EQ(roster->geometry(), display);
    EXPECT_EQ(roster->stage()->geometry(), e->stage);
    EXPECT_EQ(roster->List1->font().pixelSize(), e->rosterListPixels);
    EXPECT_DOUBLE_EQ(roster->Label4->font().pointSizeF(), 48.0 * e->stage.height() / 768);
    expectTwoCellsForFullWidth(roster->List1->font(), "roster list");
    // The list stands where it was designed, in twips: 4950 from the left of the form area.
    EXPECT_EQ(roster->List1->x(), qRound(4950.0 * e->stage.width() / 15360));
    if (e->stage.left() > 0) {
        const QImage picture = roster->grab().toImage();
        EXPECT_EQ(picture.pixelColor(e->stage.left() / 2, display.height() / 2), QColor(255, 128, 0));
    }
    ScreenFixture::shot(roster, QStringLiteral("scaled_roster"));

    for (int i = 1; i < roster->List1->count(); ++i)
        if (roster->List1->item(i)->text().contains(QStringLiteral("髙橋")))
            roster->List1->setCurrentRow(i);
    QTest::keyClick(roster->List1, Qt::Key_Return);
    f.settle();
    auto *hub = f.forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1"));
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(hub->geometry(), display);
    EXPECT_EQ(hub->stage()->geometry(), e->hubStage);
    expectTwoCellsForFullWidth(hub->List5[1]->font(), "hub list");
    // Scrolling by two columns moves level 3 to where level 1 stood and parks levels 1
    // and 2 at the right edge of the form area, out of sight. (On a wider display every
    // column is in view and nothing scrolls.)
    if (hub->HScroll1->isVisible()) {
        const int leftOfLevel1 = hub->List5[1]->x();
        hub->HScroll1->setValue(3);
        EXPECT_EQ(hub->List5[3]->x(), leftOfLevel1);
        EXPECT_EQ(hub->List5[1]->x(), e->hubStage.width());
        EXPECT_FALSE(hub->stage()->rect().intersects(hub->List5[1]->geometry()));
        hub->HScroll1->setValue(1);
    }
    ScreenFixture::shot(hub, QStringLiteral("scaled_hub"));

    QTest::keyClick(hub, Qt::Key_1);
    f.settle();
    auto *drill = f.forms.loadedAs<DrillScreen>(QStringLiteral("MainFrm"));
    ASSERT_NE(drill, nullptr);
    EXPECT_EQ(drill->geometry(), display);
    EXPECT_EQ(drill->stage()->geometry(), e->stage);
    // The time bar keeps its proportions: the pass line is a fifth of the time limit.
    EXPECT_NEAR(drill->sShape4->width() * 5.0, drill->sShape5->width(), 5.0);
    EXPECT_EQ(drill->qLabel1->font().family(), QStringLiteral("IPAPGothic"));
    ScreenFixture::shot(drill, QStringLiteral("scaled_drill"));
}

TEST(SaveDialogs, OpenInTheirFolderAtTheScaleOfTheFormTheyAreOpenedFrom)
{
    ScreenFixture f;
    Screen form(f.ctx, QStringLiteral("FrmData"));
    form.show();
    QTemporaryDir folder;
    QString shownFolder, shownName;
    double points = 0;
    QSize size;
    // Looks at the dialog once it is up, then cancels it.
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        look.stop();
        shownFolder = dialog->directory().absolutePath();
        shownName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        points = dialog->font().pointSizeF();
        size = dialog->size();
        ScreenFixture::shot(dialog, QStringLiteral("save_dialog"));
        dialog->reject();
    });
    look.start(20);
    QtFileDialogs dialogs;
    EXPECT_TRUE(dialogs
                    .saveFile(&form, QStringLiteral("成績をCSVファイルに書き出す"),
                              QDir(folder.path()).filePath(QStringLiteral("成績_20240207.csv")),
                              QStringLiteral("CSV (*.csv)"))
                    .isEmpty());
    EXPECT_EQ(shownFolder, QFileInfo(folder.path()).absoluteFilePath());
    EXPECT_EQ(shownName, QStringLiteral("成績_20240207.csv"));
    EXPECT_DOUBLE_EQ(points, form.scale().points(11));
    EXPECT_EQ(size.width(), form.scale().px(FormScale::kFormWidthTwips * 3 / 4));

    // Without a folder saved into yet, the documents folder (or the home folder).
    QString last;
    EXPECT_TRUE(QDir(saveFolder(last)).exists());
    last = folder.path();
    EXPECT_EQ(saveFolder(last), folder.path());
}
