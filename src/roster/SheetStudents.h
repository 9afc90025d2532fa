// The student list of the result sheet, read afresh from the roster.
#pragma once
#include <QStringList>

namespace tobrel {

struct SharedState;

// The result sheet's student list: reloads names, birth years and labels from the
// roster and gives "label /  name/number" for every student of status 0, in text order.
QStringList LoadSheetStudents(SharedState &state);

} // namespace tobrel
