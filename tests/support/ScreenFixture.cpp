#include "support/ScreenFixture.h"

#include "admin/ClassOverviewScreen.h"
#include "admin/CriteriaEditorScreen.h"
#include "admin/ResultsManagerScreen.h"
#include "app/StartupForm.h"
#include "drill/DrillScreen.h"
#include "drill/EndScreen.h"
#include "hub/HubScreen.h"
#include "hub/TeacherPanel.h"
#include "roster/NameSelectScreen.h"

#include <QListWidget>

namespace tobrel::test {

ScreenFixture::ScreenFixture()
{
    clock.date = QDate(2024, 2, 7);
    forms.registerForm(QStringLiteral("Firstfrm"), [this] { return new StartupForm(ctx); });
    forms.registerForm(QStringLiteral("BASEFRM"), [this] { return new WaitForm(ctx); });
    forms.registerForm(QStringLiteral("namesel"), [this] { return new NameSelectScreen(ctx); });
    forms.registerForm(QStringLiteral("seisekitime1"), [this] { return new HubScreen(ctx, keptRankings); });
    forms.registerForm(QStringLiteral("MainFrm"), [this] { return new DrillScreen(ctx); });
    forms.registerForm(QStringLiteral("FrmSyuuryou"), [this] { return new EndScreen(ctx); });
    forms.registerForm(QStringLiteral("FrmTimeData"), adminScreenFactory(ctx, QStringLiteral("FrmTimeData"), [this] {
                           return new CriteriaEditorScreen(ctx);
                       }));
    forms.registerForm(QStringLiteral("FrmData"), adminScreenFactory(ctx, QStringLiteral("FrmData"),
                                                                     [this] { return new ResultsManagerScreen(ctx); }));
    forms.registerForm(QStringLiteral("FrmClassOverview"),
                       adminScreenFactory(ctx, QStringLiteral("FrmClassOverview"),
                                          [this] { return new ClassOverviewScreen(ctx, keptRankings); }));
}

void ScreenFixture::logInFromRoster(const QString &name)
{
    auto *r = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
    if (!r)
        return;
    for (int i = 1; i < r->List1->count(); ++i)
        if (r->List1->item(i)->text().contains(name))
            r->List1->setCurrentRow(i);
    QTest::keyClick(r->List1, Qt::Key_Return);
    settle();
}

void ScreenFixture::writeSuite()
{
    const QString root = dir.path();
    ctx.programFolderPath = root + QStringLiteral("/suite/squares");
    QDir().mkpath(ctx.programFolderPath);
    const QString data = root + QStringLiteral("/data/");
    writeCp932(root + QStringLiteral("/suite/パスデータ.txt"),
               data + QStringLiteral("\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"));
    writeCp932(data + QStringLiteral("共通データ.txt"),
               QStringLiteral("4\r\n01234みなと塾\r\n1\r\n0\r\n0\r\nsensei\r\n0\r\n0\r\n0\r\n0\r\n"));
    QString criteria = QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n");
    for (int L = 1; L <= 6; ++L)
        criteria += QStringLiteral("%1,%2,30,3,1.5,10,0,7,1,,,\r\n").arg(20 + 5 * L).arg(40 + 10 * L);
    writeCp932(data + QStringLiteral("squares/タイム回数データ.txt"), criteria);
    writeCp932(data + QStringLiteral("音フォルダ/新音ファイル.txt"),
               QStringLiteral("正解音2,ok1,*\r\n間違い音2,ng1,*\r\n自己最高音2,pb1,*\r\n不合格音1,pass1,*\r\n"));
    writeCp932(data + QStringLiteral("新名簿.txt"),
               QStringLiteral("1,2015,0,0,佐藤　翔太,0,-,-\r\n2,2014,0,0,髙橋　健一,0,-,-\r\n"
                              "3,1990,0,0,佐藤先生,0,-,-\r\n"));
}

} // namespace tobrel::test
