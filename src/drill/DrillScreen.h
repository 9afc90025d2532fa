// The drill screen MainFrm: the problem in large digits, what the student types, the
// correct answer after a wrong one, the status panel and the time bar. Every key goes
// to the run (DrillRun); the screen only shows what the run's view holds.
#pragma once
#include "drill/DrillRun.h"
#include "ui/Forms.h"

#include <QTimer>

#include <memory>

class QFrame;
class QLabel;
class QPushButton;

namespace tobrel {

class DrillScreen final : public Screen, public DrillHost {
public:
    explicit DrillScreen(AppContext &ctx);
    ~DrillScreen() override;

    void Form_Activate() override;
    DrillRun &run() { return *m_run; }

    // DrillHost
    void refresh() override;
    void repaintNow() override;
    void letEventsRun() override;
    void unloadHubAndWaitForm() override;
    void EndRun() override;

    QLabel *qLabel1 = nullptr, *qlabel2 = nullptr, *Label6 = nullptr, *inputLabel = nullptr;
    QLabel *Label11 = nullptr, *seitouLabel = nullptr, *Commandkakunin2 = nullptr, *Label1 = nullptr;
    QFrame *sPicture1 = nullptr;
    QLabel *sLabel2 = nullptr, *sLabel3 = nullptr, *sLabel8 = nullptr, *sLabel4 = nullptr;
    QLabel *sLabel9 = nullptr, *sLabel6 = nullptr, *sLabel5 = nullptr, *sLabel10 = nullptr;
    QLabel *sLabel7 = nullptr, *sLabel14 = nullptr, *sLabel11 = nullptr, *sLabel12 = nullptr;
    QLabel *sLabel13 = nullptr;
    std::vector<QLabel *> sLabel16; // 0..5: the texts around the attempt counts
    QFrame *sShape5 = nullptr, *sShape3 = nullptr, *sShape4 = nullptr, *sShape2 = nullptr;
    QFrame *sShape7 = nullptr;
    QFrame *sPicture2 = nullptr;
    QLabel *lblsss1 = nullptr, *lblsss2 = nullptr, *lblsss3 = nullptr;
    QPushButton *Commandkakunin = nullptr, *CmdOK = nullptr;
    QTimer sTimer1, sTimer2, Timer1, Timer2;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<DrillRun> m_run;
    double m_titlePoints = 16.8; // sLabel2's size as designed
    bool m_activated = false;
    int m_judgementsTold = 0;
};

// Starts a run of CurrentLevel: resets the run flags, lets events run and shows the
// drill screen.
void StartRun(AppContext &ctx);

} // namespace tobrel
