#include "ui/VersionBox.h"

#include "state/SharedState.h"
#include "ui/FormNames.h"
#include "ui/Ui.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace tobrel {

QString versionText()
{
    return QStringLiteral("Version%1.%2.%3")
        .arg(TOBREL_VERSION_MAJOR)
        .arg(TOBREL_VERSION_MINOR)
        .arg(TOBREL_VERSION_PATCH);
}

VersionBox::VersionBox(SharedState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(FormName::frmver);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setModal(true);
    setFixedSize(420, 260);
    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(12, 12, 396, 176);
    Shape1->setFrameShape(QFrame::Box);
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("abc"));
    Label1->setGeometry(24, 24, 372, 50);
    Label1->setFont(screenFont(24));
    Label1->setAlignment(Qt::AlignCenter);
    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Label2"));
    Label2->setGeometry(24, 80, 372, 30);
    Label2->setAlignment(Qt::AlignCenter);
    Label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("Label4"));
    Label4->setGeometry(24, 118, 372, 28);
    Label4->setAlignment(Qt::AlignCenter);
    Label5 = makeLabel(this, QStringLiteral("Label5"), QStringLiteral("Label5"));
    Label5->setGeometry(24, 148, 372, 28);
    Label5->setAlignment(Qt::AlignCenter);
    Command1 = new QPushButton(QStringLiteral("O.K."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(150, 200, 120, 44);
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("Command2"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setVisible(false);
    connect(Command1, &QPushButton::clicked, this, [this] { accept(); });
}

void VersionBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Form_Activate();
}

void VersionBox::Form_Activate()
{
    letEventsRun();
    letEventsRun();
    Label1->setText(m_state.profile.ProgramTitle);
    Label2->setText(versionText());
    Label4->setText(QStringLiteral("２けたの２乗ドリル　算数ドリルシリーズ"));
    Label5->setText(QStringLiteral("© 2026 Tobrel 開発チーム"));
}

} // namespace tobrel
