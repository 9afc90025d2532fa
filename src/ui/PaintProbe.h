// Tells when a screen has been painted after it was shown, for the benchmarks that time
// the program as a whole (start to roster screen, log-in key to hub screen). Nothing
// happens unless the environment asks for it:
//
//   TOBREL_EXIT_WHEN_PAINTED=<form name>   the program ends (status 0) as soon as that
//                                          screen has been painted, e.g. "namesel"
//   TOBREL_PAINT_LOG=1                     every screen painted writes one line to the
//                                          standard error:
//       painted <form name> <ms since the program started> <ms since the last key press>
//                                          (the process's start as the system keeps it,
//                                          to its clock tick: the first figure is never
//                                          short, and at most a hundredth of a second
//                                          long; the last is -1 before any key)
//                                          and every sound played one line:
//       sound <ms the device took to play it>
//   TOBREL_PAINT_WIDGET=<object name>      with the log, every paint of a widget of that
//                                          name writes one line too, with its text:
//       painted <object name> <ms since start> <ms since the last key press> <text>
//                                          e.g. "qLabel1", the drill's problem
//
// A screen counts as painted once its activation has run, its window is on the
// display and the paints the activation asked for have been done.
#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace tobrel {

// Milliseconds since this process was started, as the system keeps it (to its clock
// tick, a hundredth of a second: never too short); -1 where the system does not tell.
double processAgeMs();

class PaintProbe final : public QObject {
public:
    // nullptr when the environment asks for nothing. exit ends the program.
    static std::unique_ptr<PaintProbe> fromEnvironment(std::function<void(int)> exit);

    // The screen's activation has just run.
    void activated(QWidget *screen, const QString &formName);
    // A sound has been played; the device took this long to play it (the sound's own
    // length, which the benchmarks leave out of the program's time).
    void soundPlayed(double deviceMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void customEvent(QEvent *event) override;

private:
    PaintProbe(QString exitAfter, bool log, QString widgetName, std::function<void(int)> exit);
    // Checked once every paint already asked for has been done.
    void checkLater(QWidget *screen, const QString &formName);
    void painted(const QString &formName, const QString &text = {});

    QString m_exitAfter;
    bool m_log = false;
    QString m_widgetName;
    std::function<void(int)> m_exit;
    QElapsedTimer m_sinceStart; // since the probe was made
    double m_startedMsBefore = 0; // the process's age then
    qint64 m_lastKeyAt = -1; // ns since start
    quint64 m_lastKeyStamp = 0; // the window system's time of that key
    QPointer<QWidget> m_waitingForExpose;
    QString m_waitingName;
};

} // namespace tobrel
