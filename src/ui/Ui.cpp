#include "ui/Ui.h"

#include <QApplication>
#include <QLabel>

namespace tobrel {

QColor colourFromBgr(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
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
