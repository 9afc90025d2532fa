#include "app/PlaceholderScreen.h"

#include "app/SharedState.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tobrel {

PlaceholderScreen::PlaceholderScreen(AppContext &context)
    : Screen(context, QStringLiteral("namesel"))
{
    setWindowTitle(QStringLiteral("velmora"));
    resize(1024, 768);
    auto *layout = new QVBoxLayout(this);
    Label1 = makeLabel(this, QStringLiteral("Label1"));
    Label1->setFont(screenFont(18));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    layout->addWidget(Label1);
}

void PlaceholderScreen::Form_Activate()
{
    const auto &s = ctx.state;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colourFromBgr(s.profile.ScreenColour));
    setPalette(pal);
    setAutoFillBackground(true);
    Label1->setText(QStringLiteral("%1\n\n設定を読み込みました。\n\n学校: %2 %3\nデータフォルダ: %4")
                        .arg(s.profile.ProgramTitle, s.config.SchoolCode, s.config.SchoolName,
                             s.config.DataFolder));
}

} // namespace tobrel
