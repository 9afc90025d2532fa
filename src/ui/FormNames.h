// The names of the program's forms, by which the forms registry (ui/Forms.h) loads,
// shows and unloads its screens. Every screen and every hand-over between screens
// names its form with one of these; a name outside this list is a mistake in the
// program, and the registry stops on it with the name rather than quietly doing nothing.
#pragma once
#include <QLatin1StringView>
#include <QStringView>

#include <algorithm>
#include <iterator>

namespace tobrel::FormName {

inline constexpr QLatin1StringView Firstfrm{"Firstfrm"}; // the splash
inline constexpr QLatin1StringView BASEFRM{"BASEFRM"}; // the wait form
inline constexpr QLatin1StringView namesel{"namesel"}; // the roster screen
inline constexpr QLatin1StringView seisekitime1{"seisekitime1"}; // the hub
inline constexpr QLatin1StringView MainFrm{"MainFrm"}; // the drill screen
inline constexpr QLatin1StringView FrmSyuuryou{"FrmSyuuryou"}; // the end screen
inline constexpr QLatin1StringView FrmTimeData{"FrmTimeData"}; // the criteria editor
inline constexpr QLatin1StringView FrmData{"FrmData"}; // the results manager
inline constexpr QLatin1StringView frmver{"frmver"}; // the version box
inline constexpr QLatin1StringView FrmClassOverview{"FrmClassOverview"}; // the class overview

inline constexpr QLatin1StringView all[] = {Firstfrm,    BASEFRM,     namesel, seisekitime1, MainFrm,
                                            FrmSyuuryou, FrmTimeData, FrmData, frmver, FrmClassOverview};

inline bool isFormName(QStringView name)
{
    return std::any_of(std::begin(all), std::end(all), [&](QLatin1StringView n) { return name == n; });
}

} // namespace tobrel::FormName
