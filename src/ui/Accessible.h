// What assistive technology (a screen reader over AT-SPI) needs beyond what the widgets
// tell by themselves: choices that run the same handler however they are made, combo
// boxes named by their caption, and news told on a screen whose focus does not move.
#pragma once
#include <QString>

#include <functional>

class QButtonGroup;
class QComboBox;
class QObject;
class QWidget;

namespace tobrel {

// Runs handler(id) when an option of the group is chosen: by a click, a key, or
// assistive technology's "Toggle", which checks the option without clicking it. A
// click on the option already chosen runs it too. Choices made by the program under a
// QSignalBlocker on the group run nothing.
void connectChoice(QButtonGroup *group, QObject *context, std::function<void(int)> handler);

// Names a combo box by its caption ("学年", "生徒") for assistive technology, which
// otherwise reads the item shown as its name; the item stays its value.
void nameComboBox(QComboBox *combo, const QString &name);

// Tells assistive technology what just happened on the screen (a judgement): the
// screen's description, which a screen reader reads out for the widget in focus.
void announce(QWidget *screen, const QString &text);

} // namespace tobrel
