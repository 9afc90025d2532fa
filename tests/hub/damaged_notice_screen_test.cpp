// The teacher's notice of damaged records on a big results file: counted once the hub is
// up when the whole file must be read, never showing an earlier count meanwhile.
#include "app/Configuration.h"
#include "hub/HubScreen.h"
#include "hub/TeacherPanel.h"
#include "results/Tally.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"

#include <QLabel>
#include <QListWidget>

#include <gtest/gtest.h>

#include <cstdio>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const TestRun rec = TestRun{}.on(QDate(2024, 2, 6)).at(0.6).ofSchool(QStringLiteral("01234"));

// More records than the hub reads before it is painted.
constexpr int kBigFile = 500100;

// A file of kBigFile records, `damaged` of them at the start damaged (level 40).
QByteArray bigFile(int damaged)
{
    const auto good = rec(1, 1, 30).encode();
    const auto bad = rec(2, 40, 30).encode();
    return QByteArray(bad.data(), kRecordSize).repeated(damaged) +
           QByteArray(good.data(), kRecordSize).repeated(kBigFile - damaged);
}

struct School : ScreenFixture {
    School()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        writeFile(resultsFilePath(state), bigFile(1));
        forms.show(QStringLiteral("namesel"));
        settle();
    }
    HubScreen *hub() { return forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1")); }
    void logIn(const QString &name)
    {
        auto *r = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        for (int i = 1; i < r->List1->count(); ++i)
            if (r->List1->item(i)->text().contains(name))
                r->List1->setCurrentRow(i);
        QTest::keyClick(r->List1, Qt::Key_Return);
        settle();
    }
};

} // namespace

TEST(DamagedRecordsNotice, ABigFileIsCountedOnceTheHubIsUpAndNoEarlierCountIsShown)
{
    School f;
    f.logIn(QStringLiteral("佐藤先生"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    QLabel *notice = hub->teacherPanel->DamagedLabel;
    ASSERT_TRUE(f.settleUntil([&] { return notice->isVisible(); }));
    EXPECT_TRUE(notice->text().contains(QStringLiteral("壊れた記録が 1 件"))) << notice->text().toStdString();

    // Another file put in its place, as a deletion does: the old count is not shown
    // while the new one is made.
    const QString path = resultsFilePath(f.state);
    ASSERT_TRUE(writeFile(path + QStringLiteral(".new"), bigFile(2)));
    ASSERT_EQ(std::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(),
                          QFile::encodeName(path).constData()),
              0);
    hub->teacherPanel->Form_Activate(true);
    EXPECT_FALSE(notice->isVisible());
    ASSERT_TRUE(f.settleUntil([&] { return notice->isVisible(); }));
    EXPECT_TRUE(notice->text().contains(QStringLiteral("壊れた記録が 2 件"))) << notice->text().toStdString();

    // A key typed before the count is made still counts ("0": back to the roster), and
    // the count of the hub that is gone then shows nothing anywhere.
    ASSERT_TRUE(writeFile(path + QStringLiteral(".new"), bigFile(3)));
    ASSERT_EQ(std::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(),
                          QFile::encodeName(path).constData()),
              0);
    hub->teacherPanel->Form_Activate(true);
    QTest::keyClick(hub, Qt::Key_0);
    f.settle(50);
    EXPECT_EQ(f.hub(), nullptr);
    EXPECT_NE(f.forms.loaded(QStringLiteral("namesel")), nullptr);
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
}
