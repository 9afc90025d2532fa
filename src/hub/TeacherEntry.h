// The teacher's door from the hub to the administration screens, apart from widgets:
// which screen each button opens, the password rule, and the count of damaged records
// that only teachers are shown.
#pragma once
#include "results/ResultsFile.h"

#include <QString>

#include <cstdint>

namespace tobrel {

// Command10(0) "データ変更" opens the results manager, Command10(1) "合格タイムデータ変更"
// the criteria editor.
inline QString adminFormName(int index)
{
    return index == 0 ? QStringLiteral("FrmData") : QStringLiteral("FrmTimeData");
}

// The typed password opens the administration screens only when it is exactly the
// stored one: letter case counts, and an empty box matches only an empty password.
inline bool passwordAccepted(const QString &typed, const QString &stored) { return typed == stored; }

// The damaged records of the whole results file (the readers skip them); -1 with error
// set when the file cannot be read.
int64_t countDamagedRecords(const ResultsFile &file, QString *error);
// What the hub tells a teacher about them; "" when there are none.
QString damagedRecordsNotice(int64_t count);

} // namespace tobrel
