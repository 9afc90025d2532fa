// The teacher's door from the hub to the administration screens, apart from widgets:
// which screen each button opens, the password rule, and the count of damaged records
// that only teachers are shown.
#pragma once
#include "results/ResultsFile.h"

#include <QString>

#include <cstdint>

namespace tobrel {

struct SharedState;

// Command10(0) "データ変更" opens the results manager, Command10(1) "合格タイムデータ変更"
// the criteria editor, Command10(2) "クラス一覧" the class overview.
inline QString adminFormName(int index)
{
    if (index == 2)
        return QStringLiteral("FrmClassOverview");
    return index == 0 ? QStringLiteral("FrmData") : QStringLiteral("FrmTimeData");
}

// The typed password opens the administration screens only when it is exactly the
// stored one: letter case counts, and an empty box matches only an empty password.
inline bool passwordAccepted(const QString &typed, const QString &stored) { return typed == stored; }

// Who may go through the door. Whether a button is shown is no lock: a student can
// press a hidden button through assistive technology, so every entry asks here.
//
// The logged-in student is a teacher (the name holds "★" or "先生").
bool teacherLoggedIn(const SharedState &state);

// A press of Command10: opens its screen only for a teacher, with the panel opened by
// "データ処理", and the password typed right at this very press.
enum class AdminDoor { Opens, AsksForPassword, Shut };
AdminDoor adminDoor(const SharedState &state, bool panelOpen, const QString &typed);

// The teacher panel, at a press that opens, grants that one screen to the student
// logged in; the screen takes the grant as it is built. A grant opens one screen once,
// and only for a teacher who is still the one logged in.
void grantAdminScreen(SharedState &state, const QString &formName);
bool takeAdminScreenGrant(SharedState &state, const QString &formName);

// An administration screen acts (writes, exports) only for the teacher it was opened
// for, still logged in.
bool adminMayAct(const SharedState &state, int openedFor);

// What the hub tells a teacher about the damaged records of the whole results file (the
// readers skip them; results/DamagedRecords counts them); "" when there are none.
QString damagedRecordsNotice(int64_t count);

} // namespace tobrel
