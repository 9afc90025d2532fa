// Work that nobody waits for, done as soon as a screen is on the display: the hub's count
// of damaged records when the whole results file must be read for it, the rankings made
// ahead while the roster screen waits for a name.
#pragma once
#include <functional>

class QObject;
class QWidget;

namespace tobrel {

// Runs `work` once, after `screen` has been painted on the display and the events that
// came meanwhile (a key typed at once among them) have been handled; never when `owner`
// is gone by then, or the screen was hidden before it was painted.
void whenPaintedAndIdle(QWidget *screen, QObject *owner, std::function<void()> work);

} // namespace tobrel
