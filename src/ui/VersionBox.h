// The version box frmver: the program's title and version, opened from the roster
// screen's title and closed with O.K.
#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace tobrel {

struct SharedState;

// "Version" followed by major.minor.revision of the build.
QString versionText();

class VersionBox final : public QDialog {
public:
    VersionBox(SharedState &state, QWidget *parent);
    void Form_Activate();

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr;
    QFrame *Shape1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    SharedState &m_state;
};

} // namespace tobrel
