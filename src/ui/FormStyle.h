// The look of the controls at the scale of the form they stand on.
#pragma once
#include <QProxyStyle>

namespace tobrel {

// Radio and check marks and scroll bars with their arrows grow and shrink with the
// layout of the full-screen form they stand on, as its texts and controls do: on a
// large display a child still sees which option is chosen, and on a small one a mark
// leaves its caption the room the layout gives it. Dialogs and message boxes keep their
// natural size. At 1024 x 768, the size the forms were designed for, every control looks
// exactly as the platform draws it.
class FormStyle final : public QProxyStyle {
public:
    FormStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;

    // How much larger than at 1024 x 768 the form holding this widget is drawn: 1 for a
    // widget that stands on no form (a dialog, a message box).
    static double factorFor(const QWidget *widget);
};

} // namespace tobrel
