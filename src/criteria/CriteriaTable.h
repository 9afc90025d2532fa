// The level criteria: twelve teacher-set values per level, loaded from the criteria
// file "タイム回数データ.txt" in the program's data folder. Entry k holds level k; entry
// 0 receives the file's header line and is never used as a level.
#pragma once
#include "state/CriteriaValues.h"

#include <QString>
#include <QStringList>

namespace tobrel {

class FieldReader;

// File name of the criteria file in the data folder.
inline QString criteriaFileName() { return QStringLiteral("タイム回数データ.txt"); }

// The header line the criteria editor always writes (nine texts and three empty fields).
QStringList criteriaHeaderFields();

// Fields 1 to 5 (the target and pass-line times, the clear points and count, the point
// multiplier) are numbers every run is judged with; fields 6 to 12 are free values, where
// an empty field stands for none.
inline bool criteriaFieldIsNumber(int field) { return field >= 1 && field <= 5; }

// Reads the criteria file into a copy of table and returns it; entries past the last
// line keep what they held. A missing file, more than 35 level lines or a value that
// does not fit its type raise DataFileError, and the table is then left untouched.
CriteriaTable LoadCriteria(const QString &path, const CriteriaTable &current);
// The same from a reader already opened on the file's contents.
CriteriaTable LoadCriteria(FieldReader &reader, const CriteriaTable &current);

// The twelve field texts of one level as the editor shows and writes them.
QStringList criteriaRowTexts(const CriteriaTable &table, int level);

} // namespace tobrel
