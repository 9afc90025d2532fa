// One student of the roster file as the program keeps it.
#pragma once
#include <QString>

#include <cstdint>

namespace tobrel {

struct RosterRecord {
    int16_t StudentNumber = 0;
    int16_t BirthYear = 0;
    int16_t Spare1 = 0;
    int16_t Spare2 = 0;
    QString Name; // cut or padded with spaces to 20 characters
    QString SpareText1; // as Name
    QString SpareText2; // as Name
};

constexpr int kRosterTextWidth = 20;

} // namespace tobrel
