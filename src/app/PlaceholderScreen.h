// A plain window shown after start-up while the roster screen is not part of the
// program: it states that the configuration was loaded.
#pragma once
#include "ui/Forms.h"

class QLabel;

namespace tobrel {

class PlaceholderScreen final : public Screen {
public:
    explicit PlaceholderScreen(AppContext &ctx);
    void Form_Activate() override;
    QLabel *Label1 = nullptr;
};

} // namespace tobrel
