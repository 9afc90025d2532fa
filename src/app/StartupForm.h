// Start-up form Firstfrm: the splash with today's era date. Its timer starts the
// program 100 ms after the splash is painted; BASEFRM is the small wait form shown
// while a screen is being replaced.
#pragma once
#include "ui/Forms.h"

#include <QTimer>

class QLabel;

namespace tobrel {

class StartupForm final : public Screen {
public:
    explicit StartupForm(AppContext &ctx);

    QLabel *Picture1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label1 = nullptr;
    QTimer Timer1;

    void Form_Load();
    void Timer1_Timer();
};

class WaitForm final : public Screen {
public:
    explicit WaitForm(AppContext &ctx);
    QLabel *Label19 = nullptr;
};

// Loads the configuration and shows the roster screen; on a missing or short
// configuration file, tells which file and ends the program with status 1.
void StartProgram(AppContext &ctx);

// The picture of the splash (a 640 x 480 design) at the given size.
QPixmap splashPicture(const QSize &size);
// Where the picture's squares stand, on its 640 x 480 canvas (15 twips a point of it).
QRect splashSquaresArea();

} // namespace tobrel
