// The forms registry's names: a name the program does not have is a mistake that stops
// the program with the name, never a button that quietly does nothing; a form of the
// program that a registry was not given simply does not load.
#include "ui/FormNames.h"
#include "ui/Forms.h"

#include <gtest/gtest.h>

using namespace tobrel;

TEST(FormsDeathTest, AnUnknownFormNameStopsTheProgramNamingIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Forms forms;
    EXPECT_DEATH(forms.show(QStringLiteral("seisekitme1")), "seisekitme1");
    EXPECT_DEATH(forms.unload(QStringLiteral("Namesel")), "Namesel");
    EXPECT_DEATH(forms.registerForm(QStringLiteral("FrmDate"), [] { return nullptr; }), "FrmDate");

    EXPECT_EQ(forms.load(FormName::MainFrm), nullptr);
    EXPECT_EQ(forms.loaded(FormName::namesel), nullptr);
}
