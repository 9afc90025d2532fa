// The forms registry: one place that loads, shows and unloads the program's screens by
// their form names (ui/FormNames.h: Firstfrm, BASEFRM, namesel, seisekitime1, MainFrm,
// FrmSyuuryou, FrmTimeData, FrmData). One screen is in front at a time; a screen hands
// over by showing the next and unloading itself. A name that is no form of the program
// stops the program with that name (a mistake in the program); a form of the program
// that this registry was not given (a test's or a benchmark's partial set) just does not
// load.
#pragma once
#include "ui/Ui.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <vector>

namespace tobrel {

struct AppContext;
class PaintProbe;

// Base of every screen: a top-level widget with the form's name and its activation.
//
// A full-screen form covers the whole display; its controls sit on the stage, the
// 15360 x 11520-twip form area scaled uniformly to the largest size that fits the
// display and centred, with the season colour filling any margin. A form whose layout
// can use the room (the hub's level columns) asks for a stage of the display's shape
// instead: at the same scale, as high as the form area and as wide as the display
// when that is wider than 4:3. A small form (the splash, the wait form) is its own
// stage, sized in twips at the same scale and centred on the display.
class Screen : public QWidget {
public:
    enum class StageShape { FormArea, DisplayShape };
    Screen(AppContext &ctx, const QString &formName, StageShape shape = StageShape::FormArea);
    Screen(AppContext &ctx, const QString &formName, int widthTwips, int heightTwips);
    // Runs each time the screen is shown by the registry.
    virtual void Form_Activate() {}

    // The conversion of this form's twips and points to pixels.
    const FormScale &scale() const { return m_scale; }
    // The widget that holds the form's controls: the form area in twips.
    QWidget *stage() { return m_stage; }
    // The stage's width in twips: the form's 15360, or more for a stage of the display's
    // shape on a wide display. Its height is always the form's 11520.
    int stageWidthTwips() const { return m_stageWidthTwips; }
    bool isFullScreenForm() const { return m_stage != this; }
    // A full-screen form made in the program's window also brings the window up and
    // comes in front of the other screens there.
    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    // A form looks the same with and without the keyboard focus: taking it repaints
    // nothing (a full screen's repaint is a good part of a screen coming up).
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    AppContext &ctx;

private:
    void placeStage(); // centred on the form
    FormScale m_scale;
    QWidget *m_stage = nullptr;
    int m_stageWidthTwips = FormScale::kFormWidthTwips;
};

// Holds back the keys typed at a screen before it was shown: they were meant for the
// screen before it (digits typed at the hub are no answer to the first problem).
class TypeAheadGate;
struct KeyHold;
class KeyMoments;

// A key press that counted: which key, when it was pressed in the key events' own clock
// (0 when the event carried no time: a screen reader's bridge hands keys on without it),
// and when it reached the program, in milliseconds of a steady clock.
struct KeyPressNote {
    int key = 0;
    quint64 timestamp = 0;
    qint64 arrived = 0;
};

// Thrown by a screen made behind another one (Forms::prepare) when it meets anything it
// would wait for or tell about: it is then made afresh, the usual way, when it is shown.
struct ScreenNotReady {};

class Forms {
public:
    Forms();
    ~Forms();
    Forms(const Forms &) = delete;
    Forms &operator=(const Forms &) = delete;
    using Factory = std::function<Screen *()>;
    void registerForm(const QString &name, Factory factory);

    // The loaded screen, or nullptr.
    Screen *loaded(const QString &name) const;
    template <class T>
    T *loadedAs(const QString &name) const
    {
        return dynamic_cast<T *>(loaded(name));
    }
    // Loads the screen when it is not loaded yet.
    Screen *load(const QString &name);
    // Loads, shows and raises the screen, then runs its activation once the caller's
    // handler has finished. The screen counts as shown when its activation has run (the
    // drill's first problem is up, the hub's keys are ready): a key pressed before that
    // is dropped, every key pressed after it counts.
    Screen *show(const QString &name);
    // Loads the screen without showing it, so that it is ready when show() brings it
    // up (the roster screen, made while the splash shows). While it is made,
    // preparing() is true, and the screen throws ScreenNotReady rather than wait or
    // tell anything: nothing is kept then, and false is returned.
    bool prepare(const QString &name);
    bool preparing() const { return m_preparing; }
    // True while a screen is being brought up (its activation has not run yet).
    bool holdingKeys() const;
    // The last key press that counted before the screen now in front was asked for: the
    // key that brought it up, when a key did.
    KeyPressNote keyThatBroughtUp() const;
    // The key press that counted last: while a screen handles a key, that key.
    KeyPressNote lastCountedKey() const;
    // The clock of key timestamps where the window system has no mark of its own (the
    // offscreen display of the tests): milliseconds.
    void setKeyClock(std::function<quint64()> clock);
    void unload(const QString &name);
    // Unloads every loaded screen, the most recently loaded first.
    void closeAll();
    // Told of every activation, so the benchmarks know when a screen is painted.
    void setPaintProbe(PaintProbe *probe) { m_probe = probe; }
    // The program's window, made when the first full-screen form is: every full-screen
    // form is made in it and shown there, one in front of the other (the small forms, the
    // splash and the wait form, are windows of their own).
    QWidget *windowForForms();
    // Waits until the program window's image is in place (made with the window, on a
    // thread of its own); before the window is first shown.
    void waitForWindowImage();

private:
    std::map<QString, Factory> m_factories;
    std::vector<std::pair<QString, QPointer<Screen>>> m_loaded;
    int m_closings = 0; // how often every screen was unloaded
    std::shared_ptr<KeyHold> m_hold;
    QPointer<QObject> m_gate;
    PaintProbe *m_probe = nullptr;
    bool m_preparing = false;
    QPointer<QWidget> m_window;
    std::future<void> m_windowImage;
};

// The form a widget is on (the nearest Screen among it and its parents; a combo box's
// drop-down list belongs to the combo box), or nullptr.
const Screen *formOf(const QWidget *widget);
Screen *formOf(QWidget *widget);

} // namespace tobrel
