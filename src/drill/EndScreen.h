// The end screen FrmSyuuryou: the run's time, points and attempt counts, the time-out
// and record messages with their sounds, the cleared message, and the way on: "もう一度"
// (the same level again) or "メニューへ" (back to the hub).
#pragma once
#include "ui/Forms.h"

#include <QTimer>

class QFrame;
class QLabel;
class QPushButton;

namespace tobrel {

class EndScreen final : public Screen {
public:
    explicit EndScreen(AppContext &ctx);

    void Form_Activate() override;
    void Timer1_Timer(); // the half-second tick that brings up the buttons
    void Command5_Click(); // "もう一度": the same level again
    void Command4_Click(); // "メニューへ": back to the hub

    QLabel *Image1 = nullptr;
    QLabel *Label15 = nullptr, *Label16 = nullptr, *Label17 = nullptr, *Label18 = nullptr;
    QLabel *Label19 = nullptr, *Label20 = nullptr, *Label13 = nullptr, *Label14 = nullptr;
    QLabel *Label2 = nullptr;
    QFrame *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Command5 = nullptr, *Command4 = nullptr, *Command1 = nullptr, *Command3 = nullptr;
    QTimer Timer1;

protected:
    // Enter presses the button that has the focus, as on the other screens.
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_activated = false;
};

} // namespace tobrel
