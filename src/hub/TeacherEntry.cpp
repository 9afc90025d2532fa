#include "hub/TeacherEntry.h"

#include "hub/ColumnTexts.h"
#include "state/SharedState.h"

namespace tobrel {

bool teacherLoggedIn(const SharedState &state) { return isTeacher(state.student.CurrentStudentName); }

AdminDoor adminDoor(const SharedState &state, bool panelOpen, const QString &typed)
{
    if (!teacherLoggedIn(state) || !panelOpen)
        return AdminDoor::Shut;
    return passwordAccepted(typed, state.config.DataChangePassword) ? AdminDoor::Opens : AdminDoor::AsksForPassword;
}

void grantAdminScreen(SharedState &state, const QString &formName)
{
    state.hub.AdminScreenGranted = formName;
    state.hub.AdminScreenGrantedTo = state.student.CurrentStudent;
}

bool takeAdminScreenGrant(SharedState &state, const QString &formName)
{
    const bool granted = state.hub.AdminScreenGranted == formName &&
                         state.hub.AdminScreenGrantedTo == state.student.CurrentStudent && teacherLoggedIn(state);
    state.hub.AdminScreenGranted.clear();
    state.hub.AdminScreenGrantedTo = -1;
    return granted;
}

bool adminMayAct(const SharedState &state, int openedFor)
{
    return openedFor >= 0 && openedFor == state.student.CurrentStudent && teacherLoggedIn(state);
}

QString damagedRecordsNotice(int64_t count)
{
    if (count <= 0)
        return {};
    return QStringLiteral("成績ファイルに壊れた記録が %1 件あります。"
                          "「データ処理」→「データ変更」で消去するか直してください。")
        .arg(count);
}

} // namespace tobrel
