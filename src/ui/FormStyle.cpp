#include "ui/FormStyle.h"

#include "ui/Forms.h"

#include <QPaintDevice>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace tobrel {

namespace {

bool scalesWithTheForm(QStyle::PixelMetric metric)
{
    switch (metric) {
    case QStyle::PM_ExclusiveIndicatorWidth:
    case QStyle::PM_ExclusiveIndicatorHeight:
    case QStyle::PM_IndicatorWidth:
    case QStyle::PM_IndicatorHeight:
    case QStyle::PM_RadioButtonLabelSpacing:
    case QStyle::PM_CheckBoxLabelSpacing:
    case QStyle::PM_ScrollBarExtent:
    case QStyle::PM_ScrollBarSliderMin:
        return true;
    default:
        return false;
    }
}

bool isNatural(double factor) { return std::abs(factor - 1.0) < 1e-9; }

// A surface that only says how many dots an inch it has. The platform style sizes its
// arrows by the resolution of the font metrics it is handed; metrics made for this
// surface make it draw them at the form's scale.
class ResolutionOnly final : public QPaintDevice {
public:
    explicit ResolutionOnly(int dotsPerInch) : m_dotsPerInch(dotsPerInch) {}
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return m_dotsPerInch;
        default:
            return QPaintDevice::metric(metric);
        }
    }

private:
    int m_dotsPerInch;
};

// The option with font metrics at the form's scale, so that the arrows drawn from it
// scale too.
QStyleOptionSlider atScale(const QStyleOptionSlider &option, const QWidget *widget, double factor)
{
    QStyleOptionSlider scaled(option);
    const ResolutionOnly surface(static_cast<int>(std::lround(option.fontMetrics.fontDpi() * factor)));
    scaled.fontMetrics = QFontMetrics(widget ? widget->font() : QFont(), &surface);
    return scaled;
}

} // namespace

FormStyle::FormStyle() = default;

double FormStyle::factorFor(const QWidget *widget)
{
    const Screen *form = formOf(widget);
    return form ? form->scale().pixelsPerTwip() * 15 : 1.0;
}

int FormStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    const int natural = QProxyStyle::pixelMetric(metric, option, widget);
    if (!scalesWithTheForm(metric))
        return natural;
    const double factor = factorFor(widget);
    return isNatural(factor) ? natural : std::max(1, static_cast<int>(std::lround(natural * factor)));
}

void FormStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                                   const QWidget *widget) const
{
    const double factor = factorFor(widget);
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar || isNatural(factor))
        return QProxyStyle::drawComplexControl(control, option, painter, widget);
    const QStyleOptionSlider scaled = atScale(*bar, widget, factor);
    QProxyStyle::drawComplexControl(control, &scaled, painter, widget);
}

} // namespace tobrel
