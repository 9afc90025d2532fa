#include "app/PlaceholderScreen.h"

#include "app/SharedState.h"
#include "drill/DrillScreen.h"
#include "ui/Ui.h"

#include <QPushButton>

#include <QLabel>
#include <QVBoxLayout>

namespace tobrel {

PlaceholderScreen::PlaceholderScreen(AppContext &context, const QString &formName)
    : Screen(context, formName)
{
    setWindowTitle(QStringLiteral("velmora"));
    resize(1024, 768);
    auto *layout = new QVBoxLayout(this);
    Label1 = makeLabel(this, QStringLiteral("Label1"));
    Label1->setFont(screenFont(18));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    layout->addWidget(Label1);
    if (formName == u"seisekitime1") {
        Command4 = new QPushButton(QStringLiteral("ｽﾀｰﾄ(&1)"), this);
        Command4->setObjectName(QStringLiteral("Command4"));
        Command4->setFont(screenFont(20));
        layout->addWidget(Command4, 0, Qt::AlignHCenter);
        connect(Command4, &QPushButton::clicked, this, [this] {
            ctx.state.run.CurrentLevel = 1;
            StartRun(ctx);
        });
    }
}

void PlaceholderScreen::Form_Activate()
{
    const auto &s = ctx.state;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colourFromBgr(s.profile.ScreenColour));
    setPalette(pal);
    setAutoFillBackground(true);
    if (Command4)
        Label1->setText(QStringLiteral("%1\n\n%2 %3\n\n%4")
                            .arg(s.profile.ProgramTitle, s.student.CurrentStudentGroup,
                                 s.student.CurrentStudentName.trimmed(), s.profile.LevelNames[1]));
    else
        Label1->setText(QStringLiteral("%1\n\n設定を読み込みました。\n\n学校: %2 %3\nデータフォルダ: %4")
                            .arg(s.profile.ProgramTitle, s.config.SchoolCode, s.config.SchoolName,
                                 s.config.DataFolder));
}

} // namespace tobrel
