#include "admin/CriteriaEditorScreen.h"
#include "app/Configuration.h"
#include "criteria/CriteriaTable.h"
#include "results/Tally.h"
#include "hub/HubScreen.h"
#include "hub/TeacherPanel.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"

#include <QAccessible>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct Admin : ScreenFixture {
    Admin()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        state.profile.ScreenColour = 0x00C0FFC0;
        forms.show(QStringLiteral("namesel"));
        settle();
        NameSelectScreen *r = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        for (int i = 1; i < r->List1->count(); ++i)
            if (r->List1->item(i)->text().contains(QStringLiteral("佐藤先生")))
                r->List1->setCurrentRow(i);
        QTest::keyClick(r->List1, Qt::Key_Return);
        settle();
    }
    HubScreen *hub() { return forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1")); }
    CriteriaEditorScreen *editor() { return forms.loadedAs<CriteriaEditorScreen>(QStringLiteral("FrmTimeData")); }
    // The teacher's way in: "データ処理", the password, "合格タイムデータ変更".
    CriteriaEditorScreen *openEditor()
    {
        HubScreen *h = hub();
        if (!h)
            return nullptr;
        QTest::mouseClick(h->Command8, Qt::LeftButton);
        QTest::keyClicks(h->teacherPanel->Text3, QStringLiteral("sensei"));
        QTest::mouseClick(h->teacherPanel->Command10[1], Qt::LeftButton);
        settle();
        return editor();
    }
    QString criteriaPath() const { return state.config.DataFolder + criteriaFileName(); }
};

// The grid's cell of a level and a field column (the header row and the level column are
// the grid's headers).
QModelIndex cell(CriteriaEditorScreen *s, int row, int col) { return s->MSFlexGrid1->model()->index(row - 1, col - 1); }

// Where the grid shows a cell, in the coordinates of the cell editor's panel.
QRect shownCell(CriteriaEditorScreen *s, int row, int col)
{
    QWidget *view = s->MSFlexGrid1->viewport();
    const QPoint offset = view->mapTo(s->Gridinputtext->parentWidget(), QPoint(0, 0));
    return s->MSFlexGrid1->visualRect(cell(s, row, col)).translated(offset) & view->rect().translated(offset);
}

QColor background(CriteriaEditorScreen *s, int row, int col)
{
    return cell(s, row, col).data(Qt::BackgroundRole).value<QColor>();
}

} // namespace

TEST(CriteriaEditorScreen, TheCellEditorLiesOverTheCurrentCellAndTakesEveryKey)
{
    Admin f;
    CriteriaEditorScreen *s = f.openEditor();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->Picture1->isVisible());
    EXPECT_EQ(s->Label5->text(), QStringLiteral("成績の基準となるデータを変更できます"));
    EXPECT_EQ(s->MSFlexGrid1->model()->rowCount(), 6);
    EXPECT_EQ(s->MSFlexGrid1->model()->columnCount(), 12);
    EXPECT_EQ(s->MSFlexGrid1->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("ﾎﾟｲﾝﾄ倍率"));
    EXPECT_EQ(s->MSFlexGrid1->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    ASSERT_TRUE(s->Gridinputtext->isVisible());
    EXPECT_TRUE(s->Gridinputtext->hasFocus());
    EXPECT_EQ(s->Gridinputtext->geometry(), shownCell(s, 1, 1));
    EXPECT_EQ(s->Gridinputtext->text(), QStringLiteral("25"));
    EXPECT_EQ(s->Label3->text(),
              QStringLiteral("合格基準タイム\n　大部分の人ががんばったら出せそうなタイムにしてください"));
    EXPECT_EQ(s->List3->model()->rowCount(), 102);
    EXPECT_EQ(s->List3->model()->index(0, 0).data().toString(), QStringLiteral("レベル1 今まで0回  （★=1）"));
    // Whole rows of the header row's height; column 1 is 0.8 times as wide as column 2.
    EXPECT_EQ(s->MSFlexGrid1->height(), 9 * s->MSFlexGrid1->rowHeight(0));
    EXPECT_EQ(s->MSFlexGrid1->horizontalHeader()->height(), s->MSFlexGrid1->rowHeight(0));
    EXPECT_NEAR(s->MSFlexGrid1->columnWidth(0), 0.8 * s->MSFlexGrid1->columnWidth(1), 1.0);
    EXPECT_EQ(s->MSFlexGrid1->verticalHeader()->width(), s->MSFlexGrid1->columnWidth(1));
    ScreenFixture::shot(s, QStringLiteral("criteria_editor"));

    // Down twice to level 3, space, 2, 5: the cell holds 25 and turns yellow.
    QTest::keyClick(s->Gridinputtext, Qt::Key_Down);
    QTest::keyClick(s->Gridinputtext, Qt::Key_Down);
    EXPECT_EQ(s->Gridinputtext->geometry(), shownCell(s, 3, 1));
    QTest::keyClick(s->Gridinputtext, Qt::Key_Space);
    QTest::keyClicks(s->Gridinputtext, QStringLiteral("25"));
    EXPECT_EQ(cell(s, 3, 1).data().toString(), QStringLiteral("25"));
    EXPECT_EQ(s->Gridinputtext->text(), QStringLiteral("25"));
    EXPECT_EQ(background(s, 3, 1), QColor(255, 255, 0));
    EXPECT_EQ(background(s, 2, 1), QColor(Qt::white));
    EXPECT_EQ(s->logic().DataChanged, 1);

    // A click on another cell moves the editor there; Shift+Down copies it down unmarked.
    QTest::mouseClick(s->MSFlexGrid1->viewport(), Qt::LeftButton, {},
                      s->MSFlexGrid1->visualRect(cell(s, 2, 6)).center());
    EXPECT_EQ(s->logic().Row(), 2);
    EXPECT_EQ(s->logic().Col(), 6);
    EXPECT_EQ(s->Gridinputtext->geometry(), shownCell(s, 2, 6));
    EXPECT_EQ(s->Label3->text().section(u'\n', 0, 0), QStringLiteral("やりすぎ禁止回数"));
    EXPECT_EQ(s->Gridinputtext->accessibleName(), QStringLiteral("レベル2 禁回"));
    QTest::keyClick(s->Gridinputtext, Qt::Key_Space);
    QTest::keyClick(s->Gridinputtext, Qt::Key_4);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(s->Gridinputtext, Qt::Key_Down, Qt::ShiftModifier);
    for (int r = 2; r <= 5; ++r)
        EXPECT_EQ(cell(s, r, 6).data().toString(), QStringLiteral("4")) << r;
    EXPECT_EQ(background(s, 4, 6), QColor(0xC8, 0xDC, 0xF8)); // the copied range is shaded
    // Esc changes nothing.
    QTest::keyClick(s->Gridinputtext, Qt::Key_Escape);
    EXPECT_EQ(s->Gridinputtext->text(), QStringLiteral("4"));
}

TEST(CriteriaEditorScreen, TheCellEditorIsTheFocusedAccessibleObjectNamedAfterItsCell)
{
    // A screen reader finds the cell editor from the window down, as the focused object,
    // named after the cell it edits, with the value as it is typed.
    Admin f;
    CriteriaEditorScreen *s = f.openEditor();
    ASSERT_NE(s, nullptr);
    const auto focused = [&] {
        QAccessibleInterface *at = QAccessible::queryAccessibleInterface(s->window());
        while (at && at->focusChild() && at->focusChild() != at)
            at = at->focusChild();
        return at;
    };
    QAccessibleInterface *cellEditor = focused();
    ASSERT_NE(cellEditor, nullptr);
    EXPECT_EQ(cellEditor->object(), s->Gridinputtext);
    EXPECT_EQ(cellEditor->role(), QAccessible::EditableText);
    EXPECT_TRUE(cellEditor->state().focused);
    EXPECT_EQ(cellEditor->text(QAccessible::Name), QStringLiteral("レベル1 目標Time"));
    EXPECT_EQ(cellEditor->text(QAccessible::Value), QStringLiteral("25"));
    // Every step up to the window knows it as its child.
    for (QAccessibleInterface *at = cellEditor; at->parent() && at->object() != s->window(); at = at->parent())
        EXPECT_GE(at->parent()->indexOfChild(at), 0) << at->object()->metaObject()->className();

    QTest::keyClick(s->Gridinputtext, Qt::Key_Space);
    QTest::keyClick(s->Gridinputtext, Qt::Key_3);
    EXPECT_EQ(focused()->text(QAccessible::Value), QStringLiteral("3"));
    QTest::keyClick(s->Gridinputtext, Qt::Key_Down);
    EXPECT_EQ(focused()->object(), s->Gridinputtext);
    EXPECT_EQ(focused()->text(QAccessible::Name), QStringLiteral("レベル2 目標Time"));
    EXPECT_EQ(focused()->text(QAccessible::Value), QStringLiteral("30"));
}

TEST(CriteriaEditorScreen, TheGridAndHistogramsReadWholeInTheSizeOfTheOtherControls)
{
    // The fullest bucket of 19 runs shows 19 stars, the longest line a histogram has; as
    // many students have their best in the last bucket of the best times.
    Admin f;
    QByteArray records;
    for (int i = 0; i < 19; ++i) {
        ResultRecord r;
        r.ResultRecDate = 45000;
        r.ResultRecStudentNo = static_cast<int16_t>(100 + i);
        r.ResultRecLevel = 1;
        r.ResultRecTime = 1005;
        const auto bytes = r.encode();
        records.append(bytes.data(), bytes.size());
    }
    ASSERT_TRUE(writeFile(resultsFilePath(f.state), records));
    CriteriaEditorScreen *s = f.openEditor();
    ASSERT_NE(s, nullptr);
    ScreenFixture::shot(s, QStringLiteral("criteria_editor_full_histogram"));

    // The grid's text is as large as the options' and the buttons'.
    QTableView *grid = s->MSFlexGrid1;
    EXPECT_GE(grid->font().pointSizeF(), s->Command3->font().pointSizeF());
    EXPECT_GE(s->Gridinputtext->font().pointSizeF(), s->Command3->font().pointSizeF());
    EXPECT_GE(grid->horizontalHeader()->font().pointSizeF(), 0.9 * s->Command3->font().pointSizeF());
    // Every header whole in its column.
    QHeaderView *headers = grid->horizontalHeader();
    const QFontMetrics header(headers->font());
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        const QString text = grid->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_LE(header.horizontalAdvance(text) + 2, headers->sectionSize(c)) << text.toStdString();
    }
    EXPECT_LE(header.horizontalAdvance(QStringLiteral("レベル")) + 2, grid->verticalHeader()->width());
    // Every histogram line whole, 19 stars included.
    bool nineteen = false;
    for (QListView *list : {s->List3, s->List4}) {
        const QFontMetrics m(list->font());
        for (int i = 0; i < list->model()->rowCount(); ++i) {
            const QString line = list->model()->index(i, 0).data().toString();
            nineteen |= line.count(u'★') == 19;
            EXPECT_LE(m.horizontalAdvance(line) + 6, list->viewport()->width()) << line.toStdString();
        }
    }
    EXPECT_TRUE(nineteen);
    // Nothing lies over anything else (the cell editor lies over its cell).
    std::vector<QWidget *> shown;
    for (QObject *o : s->Picture1->children())
        if (auto *w = qobject_cast<QWidget *>(o); w && w->isVisible() && w != s->Gridinputtext)
            shown.push_back(w);
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << shown[i]->objectName().toStdString() << " / " << shown[j]->objectName().toStdString();
    EXPECT_TRUE(grid->geometry().contains(s->Gridinputtext->geometry()));
}

TEST(CriteriaEditorScreen, ATeacherChangesATargetTimeAndTheHubShowsIt)
{
    Admin f;
    ASSERT_NE(f.hub(), nullptr);
    EXPECT_EQ(f.hub()->Label7[2]->text(), QStringLiteral("目標=30秒 3回/30点(×1.5)"));
    CriteriaEditorScreen *s = f.openEditor();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(f.hub(), nullptr); // the hub is closed while the editor is open
    EXPECT_EQ(s->logic().Row(), 1);
    EXPECT_EQ(s->logic().Col(), 1);

    // Level 2's target time: down one row, clear the cell, type the new time.
    QTest::keyClick(s->Gridinputtext, Qt::Key_Down);
    QTest::keyClick(s->Gridinputtext, Qt::Key_Space);
    QTest::keyClicks(s->Gridinputtext, QStringLiteral("33"));
    QTest::mouseClick(s->Command3, Qt::LeftButton); // "更新記録"
    EXPECT_EQ(f.state.criteria.CritTargetTime[2], 33);
    EXPECT_EQ(s->logic().DataChanged, 0);
    EXPECT_EQ(background(s, 2, 1), QColor(255, 255, 0));
    EXPECT_FALSE(s->Picture6->isVisible());
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();

    QTest::mouseClick(s->Command4, Qt::LeftButton); // "戻る"
    f.settle();
    EXPECT_TRUE(f.messages.shown.isEmpty()); // nothing left unsaved: no question
    EXPECT_EQ(f.editor(), nullptr);
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_FALSE(hub->teacherPanel->isVisible());
    EXPECT_EQ(hub->Label7[2]->text(), QStringLiteral("目標=33秒 3回/30点(×1.5)"));
}

TEST(CriteriaEditorScreen, LeavingWithUnsavedEditsAsksAndNoKeepsTheFile)
{
    Admin f;
    QFile file(f.criteriaPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    CriteriaEditorScreen *s = f.openEditor();
    ASSERT_NE(s, nullptr);
    QTest::keyClick(s->Gridinputtext, Qt::Key_5);
    f.messages.answer = false;
    QTest::mouseClick(s->Command4, Qt::LeftButton);
    f.settle();
    EXPECT_EQ(f.messages.shown, QStringList{QStringLiteral("注意|データが変更されています。記録しますか？")});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(f.editor(), nullptr);
    ASSERT_NE(f.hub(), nullptr);
    EXPECT_EQ(f.hub()->Label7[1]->text(), QStringLiteral("目標=25秒 3回/30点(×1.5)"));
}

TEST(CriteriaEditorScreen, WithMoreLevelsThanFitTheHeaderRowAndLevelColumnStayInView)
{
    Admin f;
    QString criteria = QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n");
    for (int L = 1; L <= 35; ++L)
        criteria += QStringLiteral("%1,%2,30,3,1.5,10,0,7,1,,,L%3\r\n").arg(20 + L).arg(40 + L).arg(L);
    writeCp932(f.criteriaPath(), criteria);
    CriteriaEditorScreen *s = f.openEditor();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->MSFlexGrid1->model()->rowCount(), 35);
    QTableView *grid = s->MSFlexGrid1;
    const QRect inView = grid->viewport()->rect();
    for (int i = 1; i < 35; ++i)
        QTest::keyClick(s->Gridinputtext, Qt::Key_Down);
    for (int i = 1; i < 12; ++i)
        QTest::keyClick(s->Gridinputtext, Qt::Key_Right);
    ASSERT_EQ(s->logic().Row(), 35);
    ASSERT_EQ(s->logic().Col(), 12);
    EXPECT_EQ(s->Gridinputtext->text(), QStringLiteral("L35"));
    ScreenFixture::shot(s, QStringLiteral("criteria_editor_35_levels"));

    // The levels have scrolled; the header row has not, and no column has moved sideways.
    EXPECT_GT(grid->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(grid->horizontalHeader()->isVisible());
    EXPECT_EQ(grid->horizontalHeader()->geometry().bottom() + 1, grid->viewport()->geometry().top());
    EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(grid->horizontalHeader()->sectionViewportPosition(0), 0);
    // Level 35's number stands beside its row, and its column-12 cell lies whole in view
    // under the cell editor.
    EXPECT_TRUE(grid->verticalHeader()->isVisible());
    EXPECT_EQ(grid->verticalHeader()->sectionViewportPosition(34), grid->visualRect(cell(s, 35, 12)).top());
    EXPECT_TRUE(inView.contains(grid->visualRect(cell(s, 35, 12)))) << grid->visualRect(cell(s, 35, 12)).x();
    EXPECT_TRUE(inView.contains(grid->visualRect(cell(s, 35, 1))));
    EXPECT_EQ(s->Gridinputtext->geometry(), shownCell(s, 35, 12));
    // Back up to level 1: the grid scrolls back, the editor goes with the cell.
    for (int i = 1; i < 35; ++i)
        QTest::keyClick(s->Gridinputtext, Qt::Key_Up);
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    EXPECT_EQ(s->Gridinputtext->geometry(), shownCell(s, 1, 12));
    // Scrolled away with the scroll bar (or the wheel), a typed key brings its cell back
    // into view.
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    ASSERT_FALSE(inView.contains(grid->visualRect(cell(s, 1, 12))));
    QTest::keyClick(s->Gridinputtext, Qt::Key_7);
    EXPECT_EQ(cell(s, 1, 12).data().toString(), QStringLiteral("L17"));
    EXPECT_TRUE(inView.contains(grid->visualRect(cell(s, 1, 12))));
    EXPECT_EQ(s->Gridinputtext->geometry(), shownCell(s, 1, 12));
}
