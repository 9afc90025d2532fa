// Small helpers every screen uses: the platform context, colours, fonts, twips and
// letting pending window events run.
#pragma once
#include "state/Platform.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>

class QWidget;
class QLabel;

namespace tobrel {

struct SharedState;
class AudioDevice;
class MessageBoxes;
class SoundPlayer;
class Forms;

// Everything a screen needs besides its own controls. Created once by main (or by a
// test) and handed to every screen.
struct AppContext {
    SharedState &state;
    Clock &clock;
    RandomSource &random;
    AudioDevice &audio;
    MessageBoxes &messages;
    ProcessStarter &processes;
    SoundPlayer &sound;
    WaitFunction wait;               // waits while events run (retries of shared files)
    std::function<void(int)> exit;   // ends the program with a status
    Forms *forms = nullptr;
    QString programFolderPath;       // the folder holding the program
};

// 0x00BBGGRR as a colour.
QColor colourFromBgr(uint32_t bgr);
// Gives a screen the whole 1024 x 768 screen area from the top-left corner.
void placeFullScreen(QWidget *screen);
// Lets pending window events run (paints, timers, keys).
void letEventsRun();
// The fixed-pitch Japanese font of the lists.
QFont listFont(double pointSize = 12);
// The screens' Japanese font.
QFont screenFont(double pointSize);
// Creates a label with the control's name as object name; assistive technology reads
// its text.
QLabel *makeLabel(QWidget *parent, const QString &objectName, const QString &text = {});

} // namespace tobrel
