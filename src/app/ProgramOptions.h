// The command line of the program: read before any window exists, so that --help and
// --version print and end without a display, and a mistyped option ends with status 2
// instead of starting the full-screen program.
//
//   tobrel [--data-root DIR] [--data-folder NAME] [--help] [--version]
//
// Qt's own options (-platform, -session, -display, -style and the rest), which a
// session manager or a desktop may pass, are accepted and left for Qt. Words that are
// no option are left alone: the suite's program menu may pass its own.
#pragma once
#include <QString>
#include <QStringList>

namespace tobrel {

struct ProgramOptions {
    enum class Action { Start, Help, Version, Usage };
    Action action = Action::Start;
    QString dataRoot; // --data-root, or ""
    QString dataFolder; // --data-folder, or ""
    QString error; // Usage: what was wrong
};

// arguments: the command line without the program's name.
ProgramOptions parseProgramOptions(const QStringList &arguments);

QString programHelp();
// "tobrel 1.0.0": the name and the version of this build.
QString programVersionLine(const QString &name);

} // namespace tobrel
