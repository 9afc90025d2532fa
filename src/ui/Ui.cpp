#include "ui/Ui.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace tobrel {

int FormScale::px(double twips) const { return static_cast<int>(std::lround(twips * m_pixelsPerTwip)); }

QRect FormScale::rect(double left, double top, double width, double height) const
{
    // Edges are rounded, not sizes, so neighbouring controls stay flush at any scale.
    const int l = px(left), t = px(top);
    return QRect(l, t, px(left + width) - l, px(top + height) - t);
}

FormScale FormScale::fitting(const QSize &display)
{
    if (display.width() <= 0 || display.height() <= 0)
        return FormScale();
    return FormScale(std::min(static_cast<double>(display.width()) / kFormWidthTwips,
                              static_cast<double>(display.height()) / kFormHeightTwips));
}

QSize FormScale::formSize() const { return QSize(px(kFormWidthTwips), px(kFormHeightTwips)); }

double FormScale::points(double designPoints) const { return designPoints * m_pixelsPerTwip * 15; }

QFont FormScale::font(double designPoints) const { return screenFont(points(designPoints)); }

QFont FormScale::listFont(double designPoints) const
{
    // A point is 20 twips.
    const double pixels = designPoints * 20 * m_pixelsPerTwip;
    return listFontInPixels(std::max(2, 2 * static_cast<int>(std::lround(pixels / 2))));
}

QFont FormScale::digitFont(double designPoints) const { return tobrel::digitFont(points(designPoints)); }

QColor colourFromBgr(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QRect displayArea()
{
    if (const QScreen *s = QGuiApplication::primaryScreen())
        return s->geometry();
    return QRect(0, 0, 1024, 768);
}

void letEventsRun() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

QFont listFontInPixels(int pixels)
{
    QFont f(QStringLiteral("IPAGothic"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPixelSize(pixels);
    return f;
}

QFont screenFont(double pointSize)
{
    QFont f(QStringLiteral("IPAGothic"));
    f.setPointSizeF(pointSize);
    return f;
}

QFont digitFont(double pointSize)
{
    QFont f(QStringLiteral("IPAPGothic"));
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

namespace tobrel {

QPushButton *makeButton(QWidget *parent, const QString &objectName, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setAccessibleName(QString(caption).remove(u'&'));
    return button;
}

QString arrayElementName(const char *name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

} // namespace tobrel
