#include "ui/WhenPainted.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <limits>

namespace tobrel {

namespace {

constexpr QEvent::Type kAfterPaint = static_cast<QEvent::Type>(QEvent::User + 411);

// Watches one screen until it has been painted, then runs the work when the event loop
// next has nothing else to do.
class PaintWatch final : public QObject {
public:
    PaintWatch(QWidget *screen, QObject *owner, std::function<void()> work)
        : QObject(owner), m_screen(screen), m_top(screen->window()), m_work(std::move(work))
    {
        // A screen in the program's window is painted when that window is.
        m_top->installEventFilter(this);
        if (QWindow *window = m_top->windowHandle())
            window->installEventFilter(this);
        // Something to paint, so that a paint comes even when nothing else asks for one:
        // one pixel, not the whole screen, which may have been painted just now.
        screen->update(0, 0, 1, 1);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // The screen paints while this event is handled; the event posted here is
        // handled after that, and after everything already waiting.
        if (!m_painted && (event->type() == QEvent::UpdateRequest || event->type() == QEvent::Expose))
            QCoreApplication::postEvent(this, new QEvent(kAfterPaint), std::numeric_limits<int>::min());
        return false;
    }
    void customEvent(QEvent *event) override
    {
        if (event->type() != kAfterPaint || m_painted)
            return;
        if (!m_screen || !m_screen->isVisible()) {
            deleteLater();
            return;
        }
        QWindow *window = m_top ? m_top->windowHandle() : nullptr;
        if (!window || !window->isExposed()) {
            // Not on the display yet: its expose paints it.
            if (window)
                window->installEventFilter(this);
            return;
        }
        window->removeEventFilter(this);
        m_top->removeEventFilter(this);
        m_painted = true;
        // A timer of no delay runs once the events waiting now (keys) are handled.
        QTimer::singleShot(0, this, [this] {
            const std::function<void()> work = std::move(m_work);
            deleteLater();
            work();
        });
    }

private:
    QPointer<QWidget> m_screen;
    QPointer<QWidget> m_top; // the window the screen is shown in
    std::function<void()> m_work;
    bool m_painted = false;
};

} // namespace

void whenPaintedAndIdle(QWidget *screen, QObject *owner, std::function<void()> work)
{
    if (screen && owner && work)
        new PaintWatch(screen, owner, std::move(work));
}

} // namespace tobrel
