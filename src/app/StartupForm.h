// Start-up form Firstfrm: the splash with today's era date. Its timer starts the
// program 100 ms after the splash is painted; meanwhile, behind the splash, the sound
// output comes up and the configuration and the roster screen are made, so the roster
// screen comes up at once when the timer ends. BASEFRM is the small wait form shown
// while a screen is being replaced.
#pragma once
#include "ui/Forms.h"

#include <QDate>
#include <QString>
#include <QTimer>

#include <future>
#include <utility>

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
    void Timer1_Timer(); // the splash has shown for its time: on to the roster screen

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Once the splash is on the display: the configuration is read and the roster
    // screen made, unseen, so that it is ready when the timer ends.
    void prepareBehindTheSplash();
    // Looks for the fonts the screens need (a look through every font of the system) and
    // says once which are missing, where whoever started the program reads it; teachers
    // see it on the hub.
    void tellMissingFonts();
    // The date under the picture, as made on its thread when it is still today.
    QString dateCaption(const QDate &today);
    bool m_fontsLookedFor = false;
    // Made on threads of their own while the splash picture is drawn: the splash window's
    // image in place, and the date under the picture (the era calendar's first use reads
    // its data).
    std::future<void> m_imageReady;
    std::future<std::pair<QDate, QString>> m_dateCaption;
    enum class Behind { NotYet, Working, Configured, Failed, Done };
    Behind m_behindTheSplash = Behind::NotYet;
};

class WaitForm final : public Screen {
public:
    explicit WaitForm(AppContext &ctx);
    QLabel *Label19 = nullptr;
};

// Loads the configuration and shows the roster screen; on a missing or short
// configuration file, tells which file and ends the program with status 1.
void StartProgram(AppContext &ctx);
// The roster screen brought up once the configuration is read (a pending file that holds
// no runs of this program is named first).
void ShowRosterScreen(AppContext &ctx);
// The same steps behind the splash, telling nothing: loads the configuration and makes
// the roster screen unseen (Forms::prepare). False when the configuration cannot be
// read; StartProgram then reads it again and tells why.
bool PrepareProgram(AppContext &ctx);

// The picture of the splash (a 640 x 480 design) at the given size.
QPixmap splashPicture(const QSize &size);
// Where the picture's squares stand, on its 640 x 480 canvas (15 twips a point of it).
QRect splashSquaresArea();

} // namespace tobrel
