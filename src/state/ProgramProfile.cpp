#include "state/ProgramProfile.h"

#include "state/SharedState.h"

namespace tobrel {

void SetProgramTitle(SharedState &state)
{
    state.profile.ProgramTitle = QStringLiteral("Tobrel");
    state.profile.PrintButtonOn = Variant(0);
    state.profile.AllLevelsOpen = Variant(1);
}

void ApplyProgramProfileTables(SharedState &state)
{
    static const char16_t *const names[25] = {u"",
                                              u"レベル１",
                                              u"レベル２",
                                              u"レベル３",
                                              u"レベル４",
                                              u"レベル５",
                                              u"レベル６",
                                              u"レベル３練習",
                                              u"レベル３－１",
                                              u"レベル３－２",
                                              u"レベル４練習",
                                              u"レベル４－1",
                                              u"レベル４－２",
                                              u"レベル５練習",
                                              u"レベル５－１",
                                              u"レベル５－２",
                                              u"レベル６練習",
                                              u"レベル６－１",
                                              u"レベル６－２",
                                              u"レベル７練習",
                                              u"レベル７－1",
                                              u"レベル７－２",
                                              u"レベル８練習",
                                              u"レベル８－１",
                                              u"レベル８－２"};
    ProgramProfile &p = state.profile;
    p.LevelCount = 6;
    p.FirstLevel = Variant(1);
    p.LastLevel = Variant(static_cast<int>(p.LevelCount));
    for (int i = 1; i <= 24; ++i) {
        p.LevelNames[i] = QString::fromUtf16(names[i]);
        p.LevelTimed[i] = 1;
    }
}

} // namespace tobrel
