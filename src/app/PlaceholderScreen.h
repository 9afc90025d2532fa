// A plain stand-in for a screen that is not part of the program yet. As "namesel" it
// states that the configuration was loaded; as "seisekitime1" it names the student
// and starts a run of level 1.
#pragma once
#include "ui/Forms.h"

class QLabel;
class QPushButton;

namespace tobrel {

class PlaceholderScreen final : public Screen {
public:
    PlaceholderScreen(AppContext &ctx, const QString &formName);
    void Form_Activate() override;
    QLabel *Label1 = nullptr;
    QPushButton *Command4 = nullptr; // starts a run of level 1 (hub stand-in only)
};

} // namespace tobrel
