#include "ui/Forms.h"

#include "state/SharedState.h"
#include "ui/PaintProbe.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>

namespace tobrel {

Screen::Screen(AppContext &context, const QString &formName)
    : ctx(context), m_scale(FormScale::fitting(displayArea().size()))
{
    setObjectName(formName);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colourFromBgr(ctx.state.profile.ScreenColour));
    setPalette(pal);
    m_stage = new QWidget(this);
    m_stage->setObjectName(QStringLiteral("stage"));
    m_stage->setFont(m_scale.font(11));
    // The whole display, also where no window manager makes the window full screen.
    setGeometry(displayArea());
    setWindowState(Qt::WindowFullScreen);
    placeStage();
}

Screen::Screen(AppContext &context, const QString &formName, int widthTwips, int heightTwips)
    : ctx(context), m_scale(FormScale::fitting(displayArea().size())), m_stage(this)
{
    setObjectName(formName);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(m_scale.font(11));
    setFixedSize(m_scale.px(widthTwips), m_scale.px(heightTwips));
    move(displayArea().center() - rect().center());
}

void Screen::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeStage();
}

void Screen::placeStage()
{
    if (!isFullScreenForm())
        return;
    const QSize area = m_scale.formSize();
    m_stage->setGeometry(std::max(0, (width() - area.width()) / 2), std::max(0, (height() - area.height()) / 2),
                         area.width(), area.height());
}

// What the gate knows: how many screens are being brought up, and when the last one
// was ready.
struct KeyHold {
    int showsPending = 0;
    QElapsedTimer sinceReady;
    int afterShownMs = 0;
    bool holding() const
    {
        return showsPending > 0 || (afterShownMs > 0 && sinceReady.isValid() && sinceReady.elapsed() < afterShownMs);
    }
};

class TypeAheadGate final : public QObject {
public:
    explicit TypeAheadGate(std::shared_ptr<KeyHold> hold) : m_hold(std::move(hold)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut: // an access key (GRPH + digit) presses a button
            // A message box that comes up meanwhile still takes its keys.
            if (m_hold->holding() && !QApplication::activeModalWidget())
                return true;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::shared_ptr<KeyHold> m_hold;
};

Forms::Forms() : m_hold(std::make_shared<KeyHold>()) {}

Forms::~Forms() { delete m_gate; }

bool Forms::holdingKeys() const { return m_hold->holding(); }

void Forms::holdKeysAfterShowing(int milliseconds) { m_hold->afterShownMs = milliseconds; }

void Forms::registerForm(const QString &name, Factory factory)
{
    m_factories[name] = std::move(factory);
}

Screen *Forms::loaded(const QString &name) const
{
    for (const auto &[n, w] : m_loaded)
        if (n == name && w)
            return w;
    return nullptr;
}

Screen *Forms::load(const QString &name)
{
    if (Screen *s = loaded(name))
        return s;
    auto it = m_factories.find(name);
    if (it == m_factories.end())
        return nullptr;
    m_loaded.erase(std::remove_if(m_loaded.begin(), m_loaded.end(),
                                  [&](const auto &p) { return p.first == name || !p.second; }),
                   m_loaded.end());
    const int closings = m_closings;
    Screen *s = it->second();
    if (m_closings != closings) {
        // The screen ended the program while it was being built (a file it needs
        // failed): it is not kept, shown or activated.
        s->hide();
        s->deleteLater();
        return nullptr;
    }
    m_loaded.emplace_back(name, s);
    return s;
}

Screen *Forms::show(const QString &name)
{
    if (!m_gate && QCoreApplication::instance()) {
        m_gate = new TypeAheadGate(m_hold);
        QCoreApplication::instance()->installEventFilter(m_gate);
    }
    // From here until the screen has been activated, keys are type-ahead.
    ++m_hold->showsPending;
    std::shared_ptr<KeyHold> hold = m_hold;
    auto release = [hold] {
        // Let the keys already typed arrive, and drop them, before keys count again.
        letEventsRun();
        letEventsRun();
        --hold->showsPending;
        hold->sinceReady.start();
    };
    Screen *s = load(name);
    if (!s) {
        release();
        return nullptr;
    }
    s->show();
    s->raise();
    s->activateWindow();
    QPointer<Screen> guard(s);
    QTimer::singleShot(0, QCoreApplication::instance(), [guard, release, probe = m_probe, name] {
        if (guard && guard->isVisible())
            guard->Form_Activate();
        release();
        // Told once keys count again, so that a key pressed when the screen is
        // painted is not taken for type-ahead.
        if (probe && guard && guard->isVisible())
            probe->activated(guard, name);
    });
    return s;
}

void Forms::unload(const QString &name)
{
    for (auto it = m_loaded.begin(); it != m_loaded.end(); ++it) {
        if (it->first == name) {
            QPointer<Screen> w = it->second;
            m_loaded.erase(it);
            if (w) {
                w->hide();
                w->deleteLater();
            }
            return;
        }
    }
}

void Forms::closeAll()
{
    ++m_closings;
    while (!m_loaded.empty()) {
        QPointer<Screen> w = m_loaded.back().second;
        m_loaded.pop_back();
        if (w) {
            w->hide();
            w->deleteLater();
        }
    }
}

} // namespace tobrel
