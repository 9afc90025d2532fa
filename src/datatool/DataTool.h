// The `tobrel-data` command: the school's data in the teacher's hands. It finds the
// data the way the program does (or takes a data folder with --data, a data root with
// --data-root) and runs one command: check, repair, backup or export; setup points an
// installed copy at the school's data root. Exit status 0 when all is well, 1 when it
// found problems or failed, 2 on a usage error.
#pragma once
#include "app/DataSetting.h"
#include "state/Platform.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tobrel {

// Where the tool talks: lines for standard output and standard error, and the answer
// to a question (nullopt when there is no more input).
struct ToolConsole {
    std::function<void(const QString &line)> out;
    std::function<void(const QString &line)> err;
    std::function<std::optional<QString>()> readLine;
};

enum ToolStatus : int { ToolOk = 0, ToolProblems = 1, ToolUsage = 2 };

// arguments: the command line without the program name. programFolder: the folder the
// tool sits in (the program's folder).
// places: the settings files an installed copy reads and `setup` writes.
int runDataTool(const QStringList &arguments, const QString &programFolder, ToolConsole &console, const Clock &clock,
                const SettingPlaces &places = SettingPlaces::ofThisProcess());

QString dataToolHelp();

} // namespace tobrel
