#include "ui/Ui.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

#include <cmath>

namespace tobrel {

int FormScale::px(double twips) const { return static_cast<int>(std::lround(twips * m_pixelsPerTwip)); }

QRect FormScale::rect(double left, double top, double width, double height) const
{
    // Edges are rounded, not sizes, so neighbouring controls stay flush at any scale.
    const int l = px(left), t = px(top);
    return QRect(l, t, px(left + width) - l, px(top + height) - t);
}

QSize FormScale::formSize() const { return QSize(px(kFormWidthTwips), px(kFormHeightTwips)); }

double FormScale::points(double designPoints) const { return designPoints * m_pixelsPerTwip * 15; }

QFont FormScale::font(double designPoints) const { return screenFont(points(designPoints)); }

QFont FormScale::listFont(double designPoints) const { return tobrel::listFont(points(designPoints)); }

QColor colourFromBgr(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

void placeFullScreen(QWidget *screen)
{
    screen->setFixedSize(1024, 768);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        screen->move(s->availableGeometry().topLeft());
}

void letEventsRun() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

QFont listFont(double pointSize)
{
    QFont f(QStringLiteral("IPAGothic"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSizeF(pointSize);
    return f;
}

QFont screenFont(double pointSize)
{
    QFont f(QStringLiteral("IPAGothic"));
    f.setPointSizeF(pointSize);
    return f;
}

QLabel *makeLabel(QWidget *parent, const QString &objectName, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    return label;
}

} // namespace tobrel
