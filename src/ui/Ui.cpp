#include "ui/Ui.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

namespace tobrel {

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
