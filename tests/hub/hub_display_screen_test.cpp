// The hub on the display the test runs on (TOBREL_TEST_DISPLAY; ctest runs it at 4:3,
// 5:4, 16:10, 16:9 and 21:9 sizes): a display wider than 4:3 widens the hub's stage,
// every level column stands whole in view where they fit and none is ever shown cut;
// the scroll bar, Tab, the keys and the panels work and stay in view at every size.
#include "app/Configuration.h"
#include "drill/DrillScreen.h"
#include "hub/HubScreen.h"
#include "hub/LevelColumns.h"
#include "ui/LineListModel.h"
#include "hub/SheetPanel.h"
#include "hub/TeacherPanel.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct LoggedInTeacher : ScreenFixture {
    LoggedInTeacher()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        // Where an earlier look at the hub left the columns.
        state.hub.ColumnScroll = Variant(3);
        forms.show(QStringLiteral("namesel"));
        settle();
        logInFromRoster(QStringLiteral("佐藤先生"));
    }
    HubScreen *hub() { return forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1")); }
};

QRect onStage(HubScreen *hub, QWidget *w) { return QRect(w->mapTo(hub->stage(), QPoint(0, 0)), w->size()); }
bool whole(HubScreen *hub, QWidget *w) { return hub->stage()->rect().contains(onStage(hub, w)); }
bool partly(HubScreen *hub, QWidget *w) { return hub->stage()->rect().intersects(onStage(hub, w)); }
QString sizeName()
{
    const QSize d = QGuiApplication::primaryScreen()->geometry().size();
    return QStringLiteral("%1x%2").arg(d.width()).arg(d.height());
}

} // namespace

TEST(HubOnTheDisplay, ColumnsScrollBarKeysAndPanelsFitTheStage)
{
    LoggedInTeacher f;
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    SCOPED_TRACE(sizeName().toStdString());
    const QSize display = QGuiApplication::primaryScreen()->geometry().size();
    const FormScale &tw = hub->scale();
    const QRect stage = hub->stage()->geometry();
    const bool wide = display.width() * 3 > display.height() * 4;

    // The same scale as every other screen (from the height on a wide display), the
    // stage as wide as the display when that is wider than 4:3.
    EXPECT_EQ(tw.pixelsPerTwip(), FormScale::fitting(display).pixelsPerTwip());
    EXPECT_EQ(stage.height(), tw.formSize().height());
    EXPECT_TRUE(hub->rect().contains(stage));
    if (wide) {
        EXPECT_GT(hub->stageWidthTwips(), FormScale::kFormWidthTwips);
        EXPECT_LE(display.width() - stage.width(), 1);
    } else {
        EXPECT_EQ(stage.size(), tw.formSize());
    }

    // As many whole columns as the layout shows; on a wide stage none is cut.
    const ColumnLayout &layout = hub->logic().columns;
    EXPECT_EQ(hub->HScroll1->isVisible(), layout.scrolls);
    int wholeColumns = 0;
    for (int i = 1; i <= 6; ++i) {
        const bool w = whole(hub, hub->List5[i]) && whole(hub, hub->Command4[i]) && whole(hub, hub->Label7[i]);
        wholeColumns += w;
        if (wide) {
            EXPECT_TRUE(w || !partly(hub, hub->List5[i])) << "level " << i << " is cut";
        }
    }
    EXPECT_EQ(wholeColumns, layout.shown);
    if (display.width() * 9 >= display.height() * 16) {
        EXPECT_EQ(layout.shown, 6); // 16:9 and wider: every level side by side
    }
    if (layout.scrolls) {
        // The scroll position an earlier hub left stays where the bar reaches it (level 3
        // leads); beyond the bar's reach it goes back to level 1.
        const int lead = layout.scrollMaximum >= 3 ? 3 : 1;
        EXPECT_EQ(f.state.hub.ColumnScroll.toNumber(), lead);
        EXPECT_EQ(hub->HScroll1->value(), lead);
        EXPECT_TRUE(whole(hub, hub->List5[lead]));
        for (int i = 1; i < lead; ++i)
            EXPECT_FALSE(partly(hub, hub->List5[i]));
        EXPECT_TRUE(whole(hub, hub->HScroll1));
        // Shift+Tab back to level 1 brings it into view.
        hub->Command4[1]->setFocus(Qt::BacktabFocusReason);
        EXPECT_EQ(hub->HScroll1->value(), 1);
        EXPECT_TRUE(whole(hub, hub->Command4[1]));
    } else {
        // Every column in view: the position goes back to the first level.
        EXPECT_EQ(f.state.hub.ColumnScroll.toNumber(), 1);
        EXPECT_FALSE(hub->HScroll1->isEnabled() && hub->HScroll1->isVisible());
    }
    // Tab to the last level's start button: it is in view, wherever the columns stood.
    hub->Command4[6]->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(whole(hub, hub->Command4[6]));
    EXPECT_TRUE(whole(hub, hub->List5[6]));

    // The top line: the back button at the right edge, the title at the left.
    EXPECT_TRUE(whole(hub, hub->Command1));
    EXPECT_NEAR(stage.width() - onStage(hub, hub->Command1).right() - 1, tw.px(240), 2);
    EXPECT_EQ(onStage(hub, hub->Label11).left(), tw.px(240));
    for (QWidget *w : std::initializer_list<QWidget *>{hub->Label5, hub->Picture1, hub->Combo1, hub->Option2[2],
                                                       hub->Label17, hub->Label18})
        EXPECT_TRUE(whole(hub, w)) << w->objectName().toStdString();
    ScreenFixture::shot(hub, QStringLiteral("hub_") + sizeName());

    // The teacher panel opens in the middle of the stage, over the columns.
    ASSERT_NE(hub->teacherPanel, nullptr);
    QTest::mouseClick(hub->Command8, Qt::LeftButton);
    TeacherPanel *panel = hub->teacherPanel;
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(whole(hub, panel));
    EXPECT_NEAR(panel->geometry().center().x(), stage.width() / 2, tw.px(250));
    // While it is open a level key starts nothing.
    QTest::keyClick(hub, Qt::Key_2);
    f.settle();
    EXPECT_EQ(f.forms.loaded(QStringLiteral("MainFrm")), nullptr);
    ScreenFixture::shot(hub, QStringLiteral("hub_teacher_") + sizeName());
    QTest::mouseClick(panel->Command12, Qt::LeftButton);
    ASSERT_FALSE(panel->isVisible());

    // The result sheet covers the stage from edge to edge, its contents in the middle.
    QTest::mouseClick(hub->Option2[2], Qt::LeftButton);
    f.settle();
    ASSERT_TRUE(hub->Command17->isVisible());
    EXPECT_TRUE(whole(hub, hub->Command17));
    QTest::mouseClick(hub->Command17, Qt::LeftButton);
    f.settle();
    SheetPanel *sheet = hub->Picture11;
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->x(), 0);
    EXPECT_EQ(sheet->width(), stage.width());
    int contentLeft = sheet->width(), contentRight = 0;
    for (QWidget *w : sheet->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(sheet->rect().contains(w->geometry())) << w->objectName().toStdString();
        if (w->isVisible()) {
            contentLeft = std::min(contentLeft, w->x());
            contentRight = std::max(contentRight, w->geometry().right() + 1);
        }
    }
    EXPECT_NEAR(contentLeft, sheet->width() - contentRight, tw.px(1300)); // as balanced as on the form
    ScreenFixture::shot(hub, QStringLiteral("hub_sheet_") + sizeName());
    QTest::mouseClick(sheet->Command18, Qt::LeftButton);
    f.settle();

    // A level key starts its level whether its column is in view or not.
    QTest::keyClick(hub, Qt::Key_6);
    f.settle();
    EXPECT_EQ(f.state.run.CurrentLevel, 6);
    EXPECT_NE(f.forms.loaded(QStringLiteral("MainFrm")), nullptr);
}

TEST(HubOnTheDisplay, ListsKeepTheFontTheyHaveOnTheFormArea)
{
    // The same columns laid out on the form area, at this display's scale and in the
    // same style, beside the hub's own: with the widest lines the lists show (a run in
    // the time display, a student in the points display) and enough of them for the
    // vertical scroll bar, no list on the display's stage gets a smaller font.
    LoggedInTeacher f;
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    SCOPED_TRACE(sizeName().toStdString());
    auto *scratch = new QWidget(hub->stage());
    scratch->setGeometry(hub->stage()->rect());
    LevelColumns formArea(scratch, hub->scale(), columnLayout(6), f.state, [](int) {});
    const QString run = QStringLiteral("  45秒 02/07①髙橋　健一①123"); // 29 cells
    const QString points = QStringLiteral(" 1位 1234点 髙橋　健一①(12回)"); // 30 cells
    for (const QString &widest : {run, points}) {
        QStringList lines(40, QStringLiteral("  50秒 02/06"));
        lines[7] = widest;
        int onStage = 0, onForm = 0;
        for (LevelColumns *columns : {&hub->columns, &formArea}) {
            for (int i = 1; i <= 6; ++i)
                columns->List5Lines[i]->setLines(lines);
            columns->fitListFonts();
            (columns == &formArea ? onForm : onStage) = columns->List5[6]->font().pixelSize();
        }
        EXPECT_EQ(onStage, onForm) << widest.toStdString();
        EXPECT_EQ(hub->List5[1]->font().pixelSize(), onStage);
    }
}
