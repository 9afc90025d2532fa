// A stored run as text for teachers: the date and time of day as the system shows
// them, and every field of the record in one line (the correction log, messages).
#pragma once
#include "state/ResultRecord.h"

#include <QString>

namespace tobrel {

// "2024/02/07"; a value that is no date (not finite, out of range) as the bare number.
QString recordDateText(double dayNumber);
// "9:05:03"; a value that is no time of day as the bare number.
QString recordClockText(double dayFraction);
// The school field as text, trailing blanks removed.
QString recordSchoolText(const ResultRecord &record);
// "日付=2024/02/07 時刻=9:05:03 生徒番号=12 レベル=3 タイム=45 学校=01234"
QString recordFieldsText(const ResultRecord &record);

} // namespace tobrel
