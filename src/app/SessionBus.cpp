#include "app/SessionBus.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tobrel {

bool noSessionBusToFind(const QProcessEnvironment &environment)
{
    if (!environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")).isEmpty())
        return false;
    if (const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR")); !runtime.isEmpty()) {
        if (QFileInfo::exists(runtime + QStringLiteral("/bus")))
            return false;
    }
    const QStringList path = environment.value(QStringLiteral("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    return QStandardPaths::findExecutable(QStringLiteral("dbus-launch"), path).isEmpty();
}

void sayWhenThereIsNoSessionBus()
{
    if (noSessionBusToFind(QProcessEnvironment::systemEnvironment()))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

} // namespace tobrel
