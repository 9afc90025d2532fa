// When a key was pressed against when the screen in front was shown. A key pressed
// before the screen was shown was typed at the screen before it (type-ahead) and is
// dropped; every key pressed after it counts, however soon.
//
// "Before" is decided from the key event itself, never from when the program got round
// to it: a screen that takes a moment to build gets the keys typed meanwhile late, and
// a key pressed a millisecond after the screen appeared may arrive in the same batch as
// one pressed a millisecond before.
#pragma once
#include <QtGlobal>

#include <functional>
#include <memory>

class QKeyEvent;

namespace tobrel {

class KeyMoments {
public:
    virtual ~KeyMoments() = default;
    // The screen in front counts as shown from this moment on.
    virtual void markShown() = 0;
    // True when the key was pressed before the last mark. A key event without a time of
    // its own (made by the program, a test or assistive technology) is not judged: false.
    virtual bool pressedBeforeShown(const QKeyEvent &event) = 0;

    // On X11 the mark is placed in the window system's own stream of events, so that
    // the keys before it are told from the keys after it exactly, in the server's clock.
    // Elsewhere, with a clock given, the mark is its time, taken as the clock of the key
    // events' timestamps (milliseconds); without one, no key is judged by its time.
    static std::unique_ptr<KeyMoments> forPlatform(std::function<quint64()> clock = {});
};

} // namespace tobrel
