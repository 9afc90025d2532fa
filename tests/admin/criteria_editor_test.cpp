#include "admin/CriteriaEditor.h"
#include "criteria/CriteriaFile.h"
#include "results/ResultsFile.h"
#include "state/SharedState.h"
#include "support/LockHolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct Host final : CriteriaEditorHost {
    void refresh() override { ++refreshes; }
    void repaintNow() override { overlaySeen = overlaySeen || view->Picture6Visible; }
    void placeEditBox() override { ++placed; }
    bool question(const QString &title, const QString &text) override
    {
        asked << title + u'|' + text;
        return answers.isEmpty() ? answer : answers.takeFirst();
    }
    void tell(const QString &, const QString &text) override { told << text; }
    void showHubAndClose() override { ++left; }

    const CriteriaEditorView *view = nullptr;
    int refreshes = 0, placed = 0, left = 0;
    bool overlaySeen = false;
    bool answer = false;
    QList<bool> answers; // answers to the next questions, in turn, before `answer`
    QStringList asked, told;
};

// An editor on a data folder with six levels (level L: target 20 + 5L, pass line
// 40 + 10L) and a few results of level 2.
struct Editor {
    QTemporaryDir dir;
    SharedState state;
    Host host;
    // How the editor waits for a results file that another PC holds locked.
    WaitFunction waitFn;
    CriteriaEditorLogic e{state,
                          [this](double s, const QString &why) {
                              if (waitFn)
                                  waitFn(s, why);
                          },
                          host};
    QString path;

    Editor()
    {
        state.config.DataFolder = dir.path() + u'/';
        path = state.config.DataFolder + criteriaFileName();
        QString text = QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n");
        for (int L = 1; L <= 6; ++L)
            text += QStringLiteral("%1,%2,30,3,1.5,10,0,7,1,,,\r\n").arg(20 + 5 * L).arg(40 + 10 * L);
        writeCp932(path, text);
        state.criteria = LoadCriteria(path, state.criteria);
        host.view = &e.view;
        e.Form_Activate();
    }
    QByteArray file() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void key(int code, bool held = false) { e.Gridinputtext_KeyDown(code, held); }
    // A typed key: the key goes down, then its character reaches the editor.
    void type(const QString &keys)
    {
        for (const QChar c : keys) {
            key(c == u' ' ? int(KeySpace) : int(c.toUpper().unicode()));
            e.Gridinputtext_KeyPress(c);
        }
    }
    void backspace()
    {
        key(KeyBackspace);
        e.Gridinputtext_KeyPress(QChar(KeyBackspace));
    }
    void goTo(int row, int col) { e.MSFlexGrid1_Click(row, col); }
    // A save refused for the cell at row, col: the teacher was told once, naming the
    // cell; the file is as it was before; the edits are kept and the cell is current.
    void expectRefused(const QByteArray &before, int row, int col, const QString &naming)
    {
        ASSERT_EQ(host.told.size(), 1);
        EXPECT_TRUE(host.told[0].contains(naming)) << host.told[0].toStdString();
        EXPECT_EQ(file(), before);
        EXPECT_EQ(e.DataChanged, 1);
        EXPECT_EQ(e.Row(), row);
        EXPECT_EQ(e.Col(), col);
    }
};

} // namespace

TEST(CriteriaEditor, OpensOnLevelOneColumnOneWithItsHistogram)
{
    Editor f;
    EXPECT_EQ(f.e.Rows(), 7);
    EXPECT_EQ(f.e.LevelRowCount, 6);
    EXPECT_EQ(f.e.Row(), 1);
    EXPECT_EQ(f.e.Col(), 1);
    EXPECT_EQ(f.e.TextMatrix(0, 0), QStringLiteral("レベル"));
    EXPECT_EQ(f.e.TextMatrix(0, 5), QStringLiteral("ﾎﾟｲﾝﾄ倍率"));
    EXPECT_EQ(f.e.TextMatrix(0, 10), QString());
    EXPECT_EQ(f.e.TextMatrix(3, 0), QStringLiteral("3"));
    EXPECT_EQ(f.e.TextMatrix(3, 2), QStringLiteral("70"));
    EXPECT_EQ(f.e.view.Gridinputtext, QStringLiteral("25"));
    EXPECT_EQ(f.e.view.caret, 2);
    EXPECT_TRUE(f.e.view.GridinputtextVisible);
    EXPECT_TRUE(f.e.view.Picture1Visible);
    EXPECT_EQ(f.e.view.Label3,
              QStringLiteral("合格基準タイム\r\n　大部分の人ががんばったら出せそうなタイムにしてください"));
    EXPECT_EQ(f.e.HistogramLevel, 1);
    EXPECT_EQ(f.e.view.List3.value(0), QStringLiteral("レベル1 今まで0回  （★=1）"));
    EXPECT_EQ(f.e.view.List4.value(0), QStringLiteral("レベル1 （★=1）"));
    EXPECT_EQ(f.e.DataChanged, 0);
    f.goTo(2, 6);
    EXPECT_EQ(f.e.view.Label3, QStringLiteral("やりすぎ禁止回数\r\n  何回やったらやりすぎ禁止にするか\r\n  "));
    f.goTo(2, 11);
    EXPECT_EQ(f.e.view.Label3, QString());
}

TEST(CriteriaEditor, TypingAlwaysAddsAtTheEndOfTheCellsText)
{
    const struct {
        QString cell;
        QString keys; // "<" is Backspace
        QString result;
        bool marked;
    } cases[] = {
        {QStringLiteral("30"), QStringLiteral(" 25"), QStringLiteral("25"), true}, // space clears, then type
        {QStringLiteral("30"), QStringLiteral("5"), QStringLiteral("305"), true}, // not cleared first
        {QStringLiteral("30"), QStringLiteral("<<7"), QStringLiteral("7"), true},
        {QStringLiteral("1234567890ab"), QStringLiteral("X"), QStringLiteral("1234567890Xab"), true},
        {QStringLiteral("1234567890ab"), QStringLiteral("<"), QStringLiteral("123456789ab"), true},
        {QString(), QStringLiteral(" "), QString(), false}, // clearing an empty cell changes nothing
        {QString(), QStringLiteral("<"), QString(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cell.toStdString() + " + " + c.keys.toStdString());
        Editor f;
        f.goTo(3, 10);
        f.e.Gridinputtext_Change(c.cell); // the cell holds c.cell, saved as it stands
        f.e.Command3_Click();
        ASSERT_EQ(f.e.TextMatrix(3, 10), c.cell);
        f.e.Command2_Click(); // reload: no marks
        ASSERT_FALSE(f.e.marked(3, 10));
        ASSERT_EQ(f.e.DataChanged, 0);
        for (const QChar k : c.keys) {
            if (k == u'<')
                f.backspace();
            else
                f.type(QString(k));
        }
        EXPECT_EQ(f.e.TextMatrix(3, 10), c.result);
        EXPECT_EQ(f.e.view.Gridinputtext, c.result);
        EXPECT_EQ(f.e.marked(3, 10), c.marked);
        EXPECT_EQ(f.e.DataChanged, c.marked ? 1 : 0);
    }
}

TEST(CriteriaEditor, ANewValueIsMarkedAndLeavingAsksToSave)
{
    Editor f;
    const QByteArray before = f.file();
    f.goTo(3, 1);
    ASSERT_EQ(f.e.TextMatrix(3, 1), QStringLiteral("35"));
    f.type(QStringLiteral(" 25"));
    EXPECT_EQ(f.e.TextMatrix(3, 1), QStringLiteral("25"));
    EXPECT_TRUE(f.e.marked(3, 1));
    EXPECT_EQ(f.e.DataChanged, 1);
    EXPECT_EQ(f.e.HistogramLevel, 3);

    f.host.answer = false;
    f.e.Command4_Click();
    EXPECT_EQ(f.host.asked, QStringList{QStringLiteral("注意|データが変更されています。記録しますか？")});
    EXPECT_EQ(f.host.left, 1);
    EXPECT_EQ(f.file(), before);
    EXPECT_EQ(f.state.criteria.CritTargetTime[3], 35);
}

TEST(CriteriaEditor, KeysAtTheEdgesStayPut)
{
    const struct {
        int row, col, key;
    } cases[] = {{1, 4, KeyUp}, {4, 1, KeyLeft}, {4, 12, KeyRight}, {6, 4, KeyDown}, {3, 3, KeyEnter}, {3, 3, 'A'}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        Editor f;
        f.goTo(c.row, c.col);
        const int refreshes = f.host.refreshes;
        f.key(c.key);
        EXPECT_EQ(f.e.Row(), c.row);
        EXPECT_EQ(f.e.Col(), c.col);
        EXPECT_GT(f.host.refreshes, refreshes);
        EXPECT_EQ(f.e.HistogramLevel, c.row);
        EXPECT_EQ(f.e.view.Gridinputtext, f.e.TextMatrix(c.row, c.col));
    }
    // Inside the grid the arrows move one cell and bring the cell's text.
    Editor f;
    f.goTo(3, 3);
    f.key(KeyDown);
    f.key(KeyRight);
    EXPECT_EQ(f.e.Row(), 4);
    EXPECT_EQ(f.e.Col(), 4);
    f.key(KeyUp);
    f.key(KeyLeft);
    f.key(KeyLeft);
    EXPECT_EQ(f.e.Row(), 3);
    EXPECT_EQ(f.e.Col(), 2);
    EXPECT_EQ(f.e.view.Gridinputtext, QStringLiteral("70"));
    EXPECT_EQ(f.e.view.Label3.left(10), QStringLiteral("合格最低ラインタイム"));
    EXPECT_EQ(f.e.HistogramLevel, 3);
    // Esc does nothing at all.
    const int refreshes = f.host.refreshes;
    f.key(KeyEscape);
    EXPECT_EQ(f.host.refreshes, refreshes);
    EXPECT_EQ(f.e.DataChanged, 0);
}

TEST(CriteriaEditor, ShiftDownCopiesTheCellDownwardsWithoutMarks)
{
    Editor f;
    f.goTo(2, 6);
    f.e.Gridinputtext_Change(QStringLiteral("10"));
    for (int i = 0; i < 3; ++i)
        f.key(KeyDown, true);
    EXPECT_EQ(f.e.Row(), 2);
    EXPECT_EQ(f.e.RowSel(), 5);
    f.goTo(2, 6);
    f.e.Gridinputtext_Change(QStringLiteral("10")); // unchanged text
    // Now with a new value typed over row 2.
    f.type(QStringLiteral(" 8"));
    f.e.Command3_Click(); // saved: the flag is clear again, the mark stays
    ASSERT_EQ(f.e.DataChanged, 0);
    for (int i = 0; i < 3; ++i)
        f.key(KeyDown, true);
    for (int r = 2; r <= 5; ++r)
        EXPECT_EQ(f.e.TextMatrix(r, 6), QStringLiteral("8")) << r;
    EXPECT_EQ(f.e.TextMatrix(6, 6), QStringLiteral("10"));
    EXPECT_EQ(f.e.TextMatrix(1, 6), QStringLiteral("10"));
    for (int r = 3; r <= 5; ++r)
        EXPECT_FALSE(f.e.marked(r, 6)) << r;
    EXPECT_EQ(f.e.DataChanged, 0);
    // Shift+Down at the last row goes no further.
    for (int i = 0; i < 3; ++i)
        f.key(KeyDown, true);
    EXPECT_EQ(f.e.RowSel(), 6);
    f.e.Command4_Click();
    EXPECT_TRUE(f.host.asked.isEmpty());
    EXPECT_EQ(f.host.left, 1);
}

TEST(CriteriaEditor, UndoRestoresTheFileButKeepsTheFlag)
{
    Editor f;
    f.goTo(2, 1);
    f.type(QStringLiteral(" 99"));
    f.goTo(4, 3);
    f.type(QStringLiteral("0"));
    ASSERT_EQ(f.e.TextMatrix(4, 3), QStringLiteral("300"));
    f.e.Command2_Click();
    EXPECT_EQ(f.e.TextMatrix(2, 1), QStringLiteral("30"));
    EXPECT_EQ(f.e.TextMatrix(4, 3), QStringLiteral("30"));
    EXPECT_FALSE(f.e.marked(2, 1));
    EXPECT_FALSE(f.e.marked(4, 3));
    EXPECT_EQ(f.e.Row(), 4);
    EXPECT_EQ(f.e.Col(), 3);
    EXPECT_EQ(f.e.view.Gridinputtext, QStringLiteral("30"));
    EXPECT_EQ(f.e.DataChanged, 1);
    f.host.answer = false;
    f.e.Command4_Click();
    EXPECT_EQ(f.host.asked.size(), 1);
}

TEST(CriteriaEditor, SavingWritesTheFileAndTheProgramUsesItAtOnce)
{
    Editor f;
    f.goTo(2, 1);
    f.type(QStringLiteral(" 27"));
    f.goTo(5, 5);
    f.type(QStringLiteral(" 2"));
    f.e.Command3_Click();
    EXPECT_TRUE(f.host.overlaySeen);
    EXPECT_FALSE(f.e.view.Picture6Visible);
    EXPECT_TRUE(f.host.told.isEmpty()) << f.host.told.join(u'\n').toStdString();
    EXPECT_EQ(f.e.DataChanged, 0);
    EXPECT_TRUE(f.e.marked(2, 1)); // marks stay until the grid is reloaded
    EXPECT_EQ(f.e.Row(), 5);
    EXPECT_EQ(f.e.Col(), 5);
    EXPECT_EQ(f.state.criteria.CritTargetTime[2], 27);
    EXPECT_EQ(f.state.criteria.CritPointRate[5], 2.0f);
    EXPECT_EQ(f.state.criteria, LoadCriteria(f.path, CriteriaTable()));
    EXPECT_TRUE(f.file().contains("\r\n27,60,30,3,1.5,10,0,7,1,,,\r\n"));
    f.e.Command4_Click();
    EXPECT_TRUE(f.host.asked.isEmpty());
}

TEST(CriteriaEditor, ARefusedSaveKeepsTheEditsAndShowsTheCell)
{
    Editor f;
    const QByteArray before = f.file();
    f.goTo(4, 2);
    f.type(QStringLiteral(" 8,0"));
    f.goTo(1, 1);
    f.host.answer = true; // "戻る", then Yes to saving
    f.e.Command4_Click();
    EXPECT_EQ(f.host.left, 0); // the editor stays open
    f.expectRefused(before, 4, 2, QStringLiteral("レベル4の2列目「最低Time」"));
    EXPECT_EQ(f.e.TextMatrix(4, 2), QStringLiteral("8,0"));
    EXPECT_EQ(f.state.criteria.CritPassTime[4], 80);
}

TEST(CriteriaEditor, ABlankTargetTimeIsRefusedWhileABlankFreeFieldSaves)
{
    // The help line's "セルクリア" in level 2's 目標Time, then "更新記録": the level would
    // give every run 0 points. The file stays as it was and the cell is shown.
    Editor f;
    const QByteArray before = f.file();
    f.goTo(2, 1);
    f.type(QStringLiteral(" "));
    f.goTo(5, 3);
    f.e.Command3_Click();
    f.expectRefused(before, 2, 1, QStringLiteral("レベル2の1列目「目標Time」の値「」"));
    EXPECT_EQ(f.state.criteria.CritTargetTime[2], 30);

    // A number typed in, and the barring runs (a free field) cleared: saved.
    f.type(QStringLiteral("32"));
    f.goTo(2, 6);
    f.type(QStringLiteral(" "));
    f.e.Command3_Click();
    EXPECT_EQ(f.host.told.size(), 1);
    EXPECT_EQ(f.e.DataChanged, 0);
    EXPECT_TRUE(f.file().contains("\r\n32,60,30,3,1.5,,0,7,1,,,\r\n"));
    EXPECT_EQ(f.state.criteria.CritTargetTime[2], 32);
    EXPECT_TRUE(f.state.criteria.CritOverRuns[2].isEmpty());
}

TEST(CriteriaEditor, ASaveDoesNotSilentlyOverwriteWhatAnotherPcSavedMeanwhile)
{
    Editor f;
    const QString backup = f.state.config.DataFolder + criteriaBackupFileName();
    // Another PC saves the file (level 1's target time now 21) while the editor is open.
    QByteArray other = f.file();
    other.replace("\r\n25,50,", "\r\n21,50,");
    ASSERT_NE(other, f.file());
    ASSERT_TRUE(writeFile(f.path, other));
    f.goTo(3, 1);
    f.type(QStringLiteral(" 33"));

    // "更新記録", and the teacher keeps the other version: nothing is written, the grid
    // keeps its edit and still counts as changed.
    f.host.answer = false;
    f.e.Command3_Click();
    ASSERT_EQ(f.host.asked.size(), 1);
    EXPECT_TRUE(f.host.asked[0].contains(QStringLiteral("ほかのコンピューター"))) << f.host.asked[0].toStdString();
    EXPECT_TRUE(f.host.asked[0].contains(f.path)) << f.host.asked[0].toStdString();
    EXPECT_TRUE(f.host.told.isEmpty());
    EXPECT_EQ(f.file(), other);
    EXPECT_FALSE(QFile::exists(backup));
    EXPECT_EQ(f.e.TextMatrix(3, 1), QStringLiteral("33"));
    EXPECT_TRUE(f.e.marked(3, 1));
    EXPECT_EQ(f.e.DataChanged, 1);
    EXPECT_EQ(f.state.criteria.CritTargetTime[3], 35);
    EXPECT_FALSE(f.e.view.Picture6Visible);

    // "戻る", Yes to saving, No to overwriting: the editor stays open, the file as it was.
    f.host.asked.clear();
    f.host.answers = {true, false};
    f.e.Command4_Click();
    EXPECT_EQ(f.host.asked.size(), 2);
    EXPECT_EQ(f.host.left, 0);
    EXPECT_EQ(f.file(), other);

    // Overwriting is the teacher's choice: the grid is written, the other version kept
    // as the backup; the next save has nothing to ask.
    f.host.asked.clear();
    f.host.answer = true;
    f.e.Command3_Click();
    EXPECT_EQ(f.host.asked.size(), 1);
    EXPECT_TRUE(f.file().contains("\r\n30,60,30,3,1.5,10,0,7,1,,,\r\n33,70,"));
    EXPECT_TRUE(f.file().contains("\r\n25,50,")); // the grid's level 1, not the other PC's
    QFile kept(backup);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), other);
    EXPECT_EQ(f.state.criteria.CritTargetTime[3], 33);
    f.host.asked.clear();
    f.goTo(4, 1);
    f.type(QStringLiteral("0"));
    f.e.Command3_Click();
    EXPECT_TRUE(f.host.asked.isEmpty());
    EXPECT_EQ(f.state.criteria.CritTargetTime[4], 400);
}

TEST(CriteriaEditor, OnlyAFileThatHoldsSomethingElseIsAskedAbout)
{
    enum Change { SameBytesAgain, Deleted, ReloadedAfterTheChange, OtherEditorSaved };
    for (const Change change : {SameBytesAgain, Deleted, ReloadedAfterTheChange, OtherEditorSaved}) {
        SCOPED_TRACE(change);
        Editor f;
        switch (change) {
        case SameBytesAgain: // written again as it was: nothing would be lost
            ASSERT_TRUE(writeFile(f.path, f.file()));
            break;
        case Deleted: // gone: written anew
            ASSERT_TRUE(QFile::remove(f.path));
            break;
        case ReloadedAfterTheChange: { // "元に戻す" shows the other version first
            QByteArray other = f.file();
            other.replace("\r\n25,50,", "\r\n21,50,");
            ASSERT_TRUE(writeFile(f.path, other));
            f.e.Command2_Click();
            ASSERT_EQ(f.e.TextMatrix(1, 1), QStringLiteral("21"));
            break;
        }
        case OtherEditorSaved: { // a second copy of the program, its editor open on the same folder
            SharedState state2;
            state2.config.DataFolder = f.state.config.DataFolder;
            state2.criteria = f.state.criteria;
            Host host2;
            CriteriaEditorLogic e2(state2, {}, host2);
            host2.view = &e2.view;
            e2.Form_Activate();
            e2.MSFlexGrid1_Click(6, 1);
            e2.Gridinputtext_KeyPress(u'9');
            e2.Command3_Click();
            ASSERT_TRUE(host2.asked.isEmpty());
            ASSERT_TRUE(f.file().contains("\r\n509,"));
            break;
        }
        }
        f.goTo(2, 2);
        f.type(QStringLiteral(" 66"));
        f.host.answer = false;
        f.e.Command3_Click();
        EXPECT_EQ(f.host.asked.size(), change == OtherEditorSaved ? 1 : 0);
        EXPECT_EQ(f.file().contains("\r\n30,66,"), change != OtherEditorSaved);
    }
}

TEST(CriteriaEditor, ResultsOfTheCurrentLevelAreShownAndFollowTheFile)
{
    Editor f;
    const ResultsFile file(f.state.config.DataFolder + resultsFileName());
    QString error;
    for (const int time : {57, 63, 64}) {
        ResultRecord r;
        r.ResultRecDate = 45000;
        r.ResultRecLevel = 2;
        r.ResultRecStudentNo = 1;
        r.ResultRecTime = time;
        ASSERT_GT(file.append(r, &error), 0);
    }
    f.goTo(2, 1);
    EXPECT_EQ(f.e.view.List3.value(0), QStringLiteral("レベル2 今まで3回  （★=1）"));
    EXPECT_EQ(f.e.view.List3.value(1 + 6), QStringLiteral("  60～★★"));
    f.key(KeyRight);
    f.key(KeyLeft);
    EXPECT_EQ(f.e.histogram().fileReads(), 1);
    f.key(KeyDown);
    EXPECT_EQ(f.e.view.List3.value(0), QStringLiteral("レベル3 今まで0回  （★=1）"));
    EXPECT_EQ(f.e.histogram().fileReads(), 1);
}

TEST(CriteriaEditor, KeysAndClicksWhileAnotherPcHoldsTheResultsFileAreDropped)
{
    Editor f;
    const ResultsFile file(f.state.config.DataFolder + resultsFileName());
    auto append = [&](int student, int time) {
        ResultRecord r;
        r.ResultRecDate = 45000;
        r.ResultRecLevel = 1;
        r.ResultRecStudentNo = static_cast<int16_t>(student);
        r.ResultRecTime = time;
        QString error;
        ASSERT_GT(file.append(r, &error), 0) << error.toStdString();
    };
    append(1, 31);
    append(2, 42);
    append(3, 55);
    f.key(KeyEnter);
    ASSERT_EQ(f.e.histogram().runCount(1), 3);
    append(4, 44); // the file has changed: the next key reads it again
    LockHolder otherPc(file.path());
    ASSERT_GT(otherPc.pid, 0);

    int waits = 0;
    f.waitFn = [&](double, const QString &) {
        if (++waits > 1) {
            otherPc.release(); // a second read began inside the first: let both finish
            return;
        }
        EXPECT_TRUE(f.e.busy());
        // The teacher goes on while the histograms wait: every key and click does nothing.
        f.type(QStringLiteral("7"));
        f.key(KeyDown);
        f.key(KeyDown, true);
        f.e.MSFlexGrid1_Click(4, 4);
        f.e.Option1_Click(1);
        f.e.Command2_Click();
        f.e.Command3_Click();
        f.e.Command4_Click();
        otherPc.release();
    };
    f.key(KeyRight); // to column 2; the histograms wait for the lock
    EXPECT_EQ(waits, 1);
    EXPECT_FALSE(f.e.busy());
    EXPECT_EQ(f.e.Row(), 1);
    EXPECT_EQ(f.e.Col(), 2);
    EXPECT_EQ(f.e.TextMatrix(1, 2), QStringLiteral("50"));
    EXPECT_EQ(f.e.TextMatrix(2, 2), QStringLiteral("60"));
    EXPECT_FALSE(f.e.marked(1, 2));
    EXPECT_EQ(f.e.DataChanged, 0);
    EXPECT_EQ(f.host.left, 0);
    EXPECT_TRUE(f.host.asked.isEmpty());
    EXPECT_FALSE(QFile::exists(f.state.config.DataFolder + criteriaBackupFileName())); // nothing saved
    // The file was read once, whole: four runs, not one read counted into another.
    EXPECT_EQ(f.e.histogram().runCount(1), 4);
    EXPECT_EQ(f.e.view.List3.value(0), QStringLiteral("レベル1 今まで4回  （★=1）"));
    // Once read, the editor takes keys again.
    f.key(KeyDown);
    EXPECT_EQ(f.e.Row(), 2);
}

TEST(CriteriaEditor, AMissingCriteriaFileIsNamedAndNothingBreaks)
{
    QTemporaryDir dir;
    SharedState state;
    state.config.DataFolder = dir.path() + u'/';
    Host host;
    CriteriaEditorLogic e(state, {}, host);
    host.view = &e.view;
    e.Form_Activate();
    ASSERT_EQ(host.told.size(), 1);
    EXPECT_TRUE(host.told[0].contains(criteriaFileName()));
    EXPECT_EQ(e.Rows(), 1);
    EXPECT_FALSE(e.view.GridinputtextVisible);
    e.Gridinputtext_KeyDown(KeyDown, false);
    e.Gridinputtext_KeyPress(u'5');
    e.MSFlexGrid1_Click(0, 3);
    EXPECT_EQ(e.DataChanged, 0);
}

TEST(CriteriaEditor, RunsKeptOnThisPcAreCountedOnceTheShareIsBack)
{
    Editor f;
    f.state.config.ProgramFolder = f.dir.path() + QStringLiteral("/program/");
    ResultRecord kept;
    kept.ResultRecDate = 45000;
    kept.ResultRecLevel = 1;
    kept.ResultRecStudentNo = 4;
    kept.ResultRecTime = 42;
    const auto bytes = kept.encode();
    ASSERT_TRUE(writeFile(f.state.config.ProgramFolder + pendingFileName(), QByteArray(bytes.data(), bytes.size())));
    f.key(KeyRight); // any key looks at the histograms again
    EXPECT_EQ(f.e.view.List3.value(0), QStringLiteral("レベル1 今まで1回  （★=1）"));
    EXPECT_EQ(f.e.histogram().allResults(1, 4), 1);
    EXPECT_TRUE(QFile::exists(f.state.config.DataFolder + resultsFileName()));
}
