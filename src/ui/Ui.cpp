#include "ui/Ui.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
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

int FormScale::stageWidthTwips(const QSize &display) const
{
    // The small allowance keeps a display whose width is a whole number of twips (1920
    // pixels at 0.09375 a twip) from losing its last twip to rounding.
    const int twips = static_cast<int>(std::floor(display.width() / m_pixelsPerTwip + 1e-6));
    return std::max(kFormWidthTwips, twips);
}

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

bool fontInstalled(const QString &family)
{
    QFont f(family);
    f.setPixelSize(16);
    return QFontInfo(f).family().compare(family, Qt::CaseInsensitive) == 0;
}

QString missingFontsNotice(const std::function<bool(const QString &)> &installed)
{
    QStringList missing, effects;
    if (!installed(QStringLiteral("IPAGothic"))) {
        missing << QStringLiteral("IPAGothic");
        effects << QStringLiteral("一覧の列がそろいません");
    }
    if (!installed(QStringLiteral("IPAPGothic"))) {
        missing << QStringLiteral("IPAPGothic");
        effects << QStringLiteral("大きな数字の 0 に斜線が付きます");
    }
    if (missing.isEmpty())
        return {};
    return QStringLiteral("フォント %1 がありません（%2）。パッケージ fonts-ipafont-gothic を入れてください。")
        .arg(missing.join(QStringLiteral("、")), effects.join(QStringLiteral("。")));
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

void setTextFitting(QLabel *label, const QString &text, QFont font, double smallestPointSize, int spare)
{
    const double step = smallestPointSize / 10;
    while (font.pointSizeF() - step >= smallestPointSize &&
           QFontMetrics(font).horizontalAdvance(text) > label->width() - spare)
        font.setPointSizeF(font.pointSizeF() - step);
    label->setFont(font);
    label->setText(text);
}

} // namespace tobrel

namespace tobrel {

QPushButton *makeButton(QWidget *parent, const QString &objectName, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    // No fixed accessible name: assistive technology then reads the caption as it is
    // now (without the access-key mark), also after it has changed.
    return button;
}

WaitFunction waitShowingReason(WaitFunction wait, QWidget *panel, QLabel *label)
{
    const QPointer<QWidget> shownOn(panel);
    const QPointer<QLabel> given(label);
    return [wait = std::move(wait), shownOn, given](double seconds, const QString &reason) {
        if (reason.isEmpty() || !shownOn) {
            if (wait)
                wait(seconds, reason);
            return;
        }
        const bool panelWasVisible = shownOn->isVisible();
        QPointer<QLabel> text = given;
        QLabel *own = nullptr;
        if (!text) {
            own = new QLabel(shownOn);
            own->setObjectName(QStringLiteral("retryNotice"));
            own->setGeometry(shownOn->rect());
            own->setAlignment(Qt::AlignCenter);
            own->setAutoFillBackground(true);
            own->setStyleSheet(QStringLiteral("background: white; color: black;"));
            text = own;
        }
        const QString textBefore = text->text();
        const QFont fontBefore = text->font();
        // Shrink the font until every line of the reason fits the label's width.
        QFont font = given ? fontBefore : FormScale::fitting(displayArea().size()).font(18);
        const QStringList lines = reason.split(u'\n');
        auto widest = [&] {
            const QFontMetrics m(font);
            int w = 0;
            for (const QString &line : lines)
                w = std::max(w, m.horizontalAdvance(line));
            return w;
        };
        while (font.pointSizeF() > 8 && widest() > text->width() - 16)
            font.setPointSizeF(font.pointSizeF() - 1);
        text->setFont(font);
        text->setText(reason);
        shownOn->setVisible(true);
        shownOn->raise();
        text->setVisible(true);
        text->raise();
        letEventsRun();
        if (wait)
            wait(seconds, reason);
        if (own)
            delete own;
        else if (text) {
            text->setText(textBefore);
            text->setFont(fontBefore);
        }
        if (shownOn && !panelWasVisible)
            shownOn->setVisible(false);
    };
}

QString arrayElementName(const char *name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

} // namespace tobrel
