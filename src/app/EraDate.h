// Calendar helpers of the start-up: the Japanese era caption and the season colour.
#pragma once
#include <QDate>
#include <QString>

#include <cstdint>

namespace tobrel {

// "令和6年 2月 07日（水）": era name and era year, "年", blank, month, "月", blank,
// two-digit day, "日", short weekday in full-width parentheses. The first year of an
// era is the digit 1 ("令和1年"), like every other year.
QString eraDateCaption(const QDate &date);

// Screen colour for the month, as a 0x00BBGGRR value.
uint32_t screenColourForMonth(int month);

} // namespace tobrel
