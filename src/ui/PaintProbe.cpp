#include "ui/PaintProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <limits>

namespace tobrel {
namespace {

constexpr QEvent::Type kPaintCheck = static_cast<QEvent::Type>(QEvent::User + 401);

struct PaintCheck final : QEvent {
    PaintCheck(QWidget *s, QString n) : QEvent(kPaintCheck), screen(s), name(std::move(n)) {}
    QPointer<QWidget> screen;
    QString name;
};

} // namespace

std::unique_ptr<PaintProbe> PaintProbe::fromEnvironment(std::function<void(int)> exit)
{
    const QString exitAfter = qEnvironmentVariable("TOBREL_EXIT_WHEN_PAINTED");
    const bool log = qEnvironmentVariableIntValue("TOBREL_PAINT_LOG") != 0;
    if (exitAfter.isEmpty() && !log)
        return nullptr;
    return std::unique_ptr<PaintProbe>(new PaintProbe(exitAfter, log, std::move(exit)));
}

PaintProbe::PaintProbe(QString exitAfter, bool log, std::function<void(int)> exit)
    : m_exitAfter(std::move(exitAfter)), m_log(log), m_exit(std::move(exit))
{
    m_sinceStart.start();
    QCoreApplication::instance()->installEventFilter(this);
}

void PaintProbe::activated(QWidget *screen, const QString &formName) { checkLater(screen, formName); }

void PaintProbe::checkLater(QWidget *screen, const QString &formName)
{
    // Paints asked for are posted events, and the window system's events come before
    // posted ones; an event of the lowest priority comes after all of them.
    QCoreApplication::postEvent(this, new PaintCheck(screen, formName), std::numeric_limits<int>::min());
}

void PaintProbe::customEvent(QEvent *event)
{
    if (event->type() != kPaintCheck)
        return;
    auto *check = static_cast<PaintCheck *>(event);
    QWidget *screen = check->screen;
    if (!screen || !screen->isVisible())
        return;
    const QWindow *window = screen->windowHandle();
    if (!window || !window->isExposed()) {
        // Not on the display yet: the expose paints it; look again after that.
        m_waitingForExpose = screen;
        m_waitingName = check->name;
        return;
    }
    painted(check->name);
}

bool PaintProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        // A key is seen once by every widget it passes through; the first sight counts.
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (m_lastKeyAt < 0 || key->timestamp() != m_lastKeyStamp) {
            m_lastKeyStamp = key->timestamp();
            m_lastKeyAt = m_sinceStart.nsecsElapsed();
        }
    } else if (event->type() == QEvent::Expose && m_waitingForExpose &&
               watched == m_waitingForExpose->windowHandle()) {
        QWidget *screen = m_waitingForExpose;
        m_waitingForExpose = nullptr;
        checkLater(screen, m_waitingName);
    }
    return false;
}

void PaintProbe::painted(const QString &formName)
{
    if (m_log) {
        const qint64 now = m_sinceStart.nsecsElapsed();
        const double sinceKey = m_lastKeyAt < 0 ? -1.0 : static_cast<double>(now - m_lastKeyAt) / 1e6;
        std::fprintf(stderr, "painted %s %.1f %.1f\n", formName.toUtf8().constData(), static_cast<double>(now) / 1e6,
                     sinceKey);
        std::fflush(stderr);
    }
    if (formName == m_exitAfter && m_exit)
        m_exit(0);
}

} // namespace tobrel
