// Small helpers every screen uses: the platform context, colours, fonts, twips and
// letting pending window events run.
#pragma once
#include "state/Platform.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;
class QLabel;
class QPushButton;

namespace tobrel {

struct SharedState;
class AudioDevice;
class MessageBoxes;
class SoundPlayer;
class Forms;
class Printers;
class FileDialogs;

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
    WaitFunction wait; // waits while events run (retries of shared files)
    std::function<void(int)> exit; // ends the program with a status
    Forms *forms = nullptr;
    QString programFolderPath; // the folder holding the program
    QString dataRootOption; // --data-root of this start, or ""
    QString fontNotice; // a font the screens need is missing; teachers see it on the hub
    QString dataFolderOption{}; // --data-folder of this start, or ""
    Printers *printers = nullptr; // the system's printing (CUPS); tests keep the jobs
    FileDialogs *fileDialogs = nullptr; // the save and folder dialogs; tests answer them
    // Work that makes the hub's first look quick (its rankings made ahead), done while
    // the roster screen waits for a name, once it is painted and nothing else is waiting.
    std::function<void()> whileRosterWaits{};
};

// The one conversion from a form's layout to pixels. Forms are laid out in twips on a
// 15360 x 11520-twip area (1024 x 768 pixels at 15 twips a pixel) with fonts in points;
// a form's scale says how many pixels a twip takes on the display it is shown on, and
// every position, size and font of a full-screen form goes through it.
class FormScale {
public:
    static constexpr int kFormWidthTwips = 15360;
    static constexpr int kFormHeightTwips = 11520;

    FormScale() = default; // 15 twips a pixel: the 1024 x 768 layout as designed
    explicit FormScale(double pixelsPerTwip) : m_pixelsPerTwip(pixelsPerTwip) {}
    // The largest scale at which the whole form area fits on a display of this size.
    static FormScale fitting(const QSize &display);

    double pixelsPerTwip() const { return m_pixelsPerTwip; }
    // A length in twips, in whole pixels.
    int px(double twips) const;
    // A rectangle given as left, top, width and height in twips, in pixels.
    QRect rect(double left, double top, double width, double height) const;
    // The pixel size of the whole form area.
    QSize formSize() const;
    // The width in twips of a stage that takes the shape of a display at this scale: the
    // form's width, or more on a display wider than 4:3, never wider than the display.
    int stageWidthTwips(const QSize &display) const;
    // A font size in points as designed for 1024 x 768, at this scale.
    double points(double designPoints) const;
    QFont font(double designPoints) const; // the screens' Japanese font
    // The fixed-pitch font of the lists, at the even pixel size nearest to the design: a
    // full-width character then takes exactly two half-width cells, so columns line up.
    QFont listFont(double designPoints) const;
    QFont digitFont(double designPoints) const; // big digits: a plain zero

private:
    double m_pixelsPerTwip = 1.0 / 15;
};

// 0x00BBGGRR as a colour.
QColor colourFromBgr(uint32_t bgr);
// The area of the display the program's forms are shown on.
QRect displayArea();
// Lets pending window events run (paints, timers, keys).
void letEventsRun();
// The fixed-pitch Japanese font of the lists at a size in pixels.
QFont listFontInPixels(int pixels);
// The screens' Japanese font.
QFont screenFont(double pointSize);
// True when the system has the font family itself, not a stand-in for it.
bool fontInstalled(const QString &family);
// What a teacher is told when the fixed-pitch font of the lists (IPAGothic) or the font
// of the big digits (IPAPGothic) is missing: the lists no longer line up, the zero is
// slashed. "" when both are there. The program goes on either way.
QString missingFontsNotice(const std::function<bool(const QString &)> &installed = fontInstalled);
// The Japanese font of big digits that a child reads at a glance: its zero is plain
// (the screens' font draws it slashed).
QFont digitFont(double pointSize);
// Creates a label with the control's name as object name; assistive technology reads
// its text.
QLabel *makeLabel(QWidget *parent, const QString &objectName, const QString &text = {});
// Shows the text in the label in the given font or, when it is wider than the label
// (less `spare` pixels), in the largest smaller size down to smallestPointSize that
// fits: a long name is shown whole rather than cut off.
void setTextFitting(QLabel *label, const QString &text, QFont font, double smallestPointSize, int spare = 0);
// A wait of the shared files' retries that says why it waits: the reason is shown on
// the screen's wait panel (its label gets the text, in a font small enough to fit)
// while the wait lasts, then the panel is as it was. Without a label, a notice of its
// own covers the panel.
WaitFunction waitShowingReason(WaitFunction wait, QWidget *panel, QLabel *label = nullptr);
// Creates a button; assistive technology reads its caption without the access-key
// mark, and keeps reading the caption when it changes.
QPushButton *makeButton(QWidget *parent, const QString &objectName, const QString &caption);
// The object name of element i of a control array: "Command4_3".
QString arrayElementName(const char *name, int index);

} // namespace tobrel
