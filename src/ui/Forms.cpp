#include "ui/Forms.h"

#include "state/SharedState.h"
#include "ui/FormNames.h"
#include "ui/KeyMoments.h"
#include "ui/PaintProbe.h"
#include "ui/Ui.h"
#include "ui/WindowImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace tobrel {

Screen::Screen(AppContext &context, const QString &formName, StageShape shape)
    : QWidget(context.forms ? context.forms->windowForForms() : nullptr), ctx(context),
      m_scale(FormScale::fitting(displayArea().size())),
      m_stageWidthTwips(shape == StageShape::DisplayShape ? m_scale.stageWidthTwips(displayArea().size())
                                                          : FormScale::kFormWidthTwips)
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
    if (QWidget *window = parentWidget()) {
        // In the program's window, over all of it; shown when the registry shows it.
        setGeometry(window->rect());
        hide();
    } else {
        // The whole display, also where no window manager makes the window full screen.
        setGeometry(displayArea());
        setWindowState(Qt::WindowFullScreen);
    }
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

void Screen::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    QWidget *window = parentWidget();
    if (!visible || !window)
        return;
    // Shown in the program's window: in front of the screens there, and the window on
    // the display. The window takes the screen's title; a screen reader names the
    // screen by it, as it named the screen's own window.
    raise();
    window->setWindowTitle(windowTitle());
    if (accessibleName().isEmpty())
        setAccessibleName(windowTitle());
    if (!window->isVisible()) {
        if (ctx.forms)
            ctx.forms->waitForWindowImage();
        window->show();
    }
}

void Screen::focusInEvent(QFocusEvent *event) { event->accept(); }

void Screen::focusOutEvent(QFocusEvent *event) { event->accept(); }

void Screen::placeStage()
{
    if (!isFullScreenForm())
        return;
    const QSize area(m_scale.px(m_stageWidthTwips), m_scale.formSize().height());
    m_stage->setGeometry(std::max(0, (width() - area.width()) / 2), std::max(0, (height() - area.height()) / 2),
                         area.width(), area.height());
}

const Screen *formOf(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget())
        if (const auto *form = dynamic_cast<const Screen *>(w))
            return form;
    return nullptr;
}

Screen *formOf(QWidget *widget) { return const_cast<Screen *>(formOf(static_cast<const QWidget *>(widget))); }

namespace {

// The window the full-screen forms are shown in. One window for the whole program: a
// screen coming up is drawn into a window already on the display, instead of a window
// made, mapped and filled afresh for each screen (most of the time a screen took to come
// up on a large display), and the keyboard stays with it from screen to screen.
class ProgramWindow final : public QWidget {
public:
    ProgramWindow()
    {
        setObjectName(QStringLiteral("programWindow"));
        setAttribute(Qt::WA_DeleteOnClose, false);
        setGeometry(displayArea());
        setWindowState(Qt::WindowFullScreen);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        for (QObject *child : children())
            if (auto *form = dynamic_cast<Screen *>(child))
                form->setGeometry(rect());
    }
    void focusInEvent(QFocusEvent *event) override { event->accept(); }
    void focusOutEvent(QFocusEvent *event) override { event->accept(); }
};

// Where the keyboard goes when a screen comes to the front of the program's window, as
// when a window of its own was activated: the widget the screen gave the focus to, or
// else the first one that takes it, or else the screen.
void focusInto(Screen *s)
{
    if (const QWidget *current = QApplication::focusWidget(); current && s->isAncestorOf(current))
        return;
    auto takes = [s](QWidget *w) {
        return w && s->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus);
    };
    QWidget *to = s->focusWidget();
    if (!takes(to)) {
        to = nullptr;
        for (QWidget *w = s->nextInFocusChain(); w && w != s; w = w->nextInFocusChain())
            if (takes(w)) {
                to = w;
                break;
            }
    }
    if (!to && s->focusPolicy() != Qt::NoFocus)
        to = s;
    if (to)
        to->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace

// Milliseconds of a steady clock, for when keys reach the program; never 0, which a
// note holds for "not known".
static qint64 steadyMs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed() + 1;
}

// What the gate knows: how many screens are being brought up, when the one in front
// was shown, and the keys that counted.
struct KeyHold {
    int showsPending = 0;
    std::function<quint64()> clock;
    std::unique_ptr<KeyMoments> moments;
    KeyPressNote lastCounted;
    KeyPressNote broughtUpBy;
    bool dropShortcut = false; // the key of the coming access key was typed ahead

    KeyMoments &keyMoments()
    {
        if (!moments)
            moments = KeyMoments::forPlatform(clock);
        return *moments;
    }
    bool typedAhead(const QKeyEvent &key) { return showsPending > 0 || keyMoments().pressedBeforeShown(key); }
};

class TypeAheadGate final : public QObject {
public:
    explicit TypeAheadGate(std::shared_ptr<KeyHold> hold) : m_hold(std::move(hold)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride &&
            type != QEvent::Shortcut)
            return QObject::eventFilter(watched, event);
        // A message box that comes up meanwhile still takes its keys.
        if (QApplication::activeModalWidget())
            return QObject::eventFilter(watched, event);
        if (type == QEvent::Shortcut) // an access key (GRPH + digit), judged by its key
            return m_hold->showsPending > 0 || m_hold->dropShortcut;
        const auto *key = static_cast<const QKeyEvent *>(event);
        const bool typedAhead = m_hold->typedAhead(*key);
        if (type == QEvent::ShortcutOverride) {
            m_hold->dropShortcut = typedAhead;
            return QObject::eventFilter(watched, event);
        }
        if (typedAhead)
            return true;
        if (type == QEvent::KeyPress)
            m_hold->lastCounted = {key->key(), key->timestamp(), steadyMs()};
        return QObject::eventFilter(watched, event);
    }

private:
    std::shared_ptr<KeyHold> m_hold;
};

Forms::Forms() : m_hold(std::make_shared<KeyHold>()) {}

Forms::~Forms()
{
    waitForWindowImage(); // its memory is the window's, freed with it
    delete m_gate;
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
    }
}

bool Forms::holdingKeys() const { return m_hold->showsPending > 0; }

KeyPressNote Forms::keyThatBroughtUp() const { return m_hold->broughtUpBy; }

KeyPressNote Forms::lastCountedKey() const { return m_hold->lastCounted; }

void Forms::setKeyClock(std::function<quint64()> clock)
{
    m_hold->clock = std::move(clock);
    m_hold->moments.reset();
}

// A form name the program does not have is a mistake in the program, not in the
// school's data: stop on it, naming it, rather than leave a button that does nothing.
static void requireFormName(const QString &name)
{
    if (!FormName::isFormName(name))
        qFatal("Forms: there is no form named \"%s\"", qUtf8Printable(name));
}

void Forms::registerForm(const QString &name, Factory factory)
{
    requireFormName(name);
    m_factories[name] = std::move(factory);
}

Screen *Forms::loaded(const QString &name) const
{
    requireFormName(name);
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
    m_loaded.erase(
        std::remove_if(m_loaded.begin(), m_loaded.end(), [&](const auto &p) { return p.first == name || !p.second; }),
        m_loaded.end());
    const int closings = m_closings;
    Screen *s = it->second();
    if (!s)
        return nullptr; // not to be opened now
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

void Forms::waitForWindowImage()
{
    if (m_windowImage.valid())
        m_windowImage.wait();
}

QWidget *Forms::windowForForms()
{
    if (!m_window) {
        m_window = new ProgramWindow;
        // Made while nothing waits (the first screen is made while the splash shows).
        m_windowImage = makeWindowImageReady(m_window);
    }
    return m_window;
}

Screen *Forms::show(const QString &name)
{
    if (!m_gate && QCoreApplication::instance()) {
        m_gate = new TypeAheadGate(m_hold);
        QCoreApplication::instance()->installEventFilter(m_gate);
    }
    // From here until the screen has been activated, keys are type-ahead.
    ++m_hold->showsPending;
    m_hold->broughtUpBy = m_hold->lastCounted;
    std::shared_ptr<KeyHold> hold = m_hold;
    auto release = [hold] {
        hold->keyMoments().markShown();
        --hold->showsPending;
    };
    Screen *s = load(name);
    if (!s) {
        --m_hold->showsPending;
        return nullptr;
    }
    if (m_window && s->parentWidget() == m_window) {
        s->show();
        m_window->raise();
        m_window->activateWindow();
        focusInto(s);
    } else {
        s->show();
        s->raise();
        s->activateWindow();
    }
    QPointer<Screen> guard(s);
    QTimer::singleShot(0, QCoreApplication::instance(), [guard, release, probe = m_probe, name] {
        if (guard && guard->isVisible())
            guard->Form_Activate();
        // Shown: what the activation put up (the first problem, the ready hub) is on
        // its way to the display, and every key pressed from now on counts.
        release();
        if (probe && guard && guard->isVisible())
            probe->activated(guard, name);
    });
    return s;
}

bool Forms::prepare(const QString &name)
{
    if (loaded(name))
        return true;
    m_preparing = true;
    Screen *s = nullptr;
    try {
        s = load(name);
    } catch (const ScreenNotReady &) {
        s = nullptr;
    }
    m_preparing = false;
    return s != nullptr;
}

void Forms::unload(const QString &name)
{
    requireFormName(name);
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
    if (m_window)
        m_window->hide();
}

} // namespace tobrel
