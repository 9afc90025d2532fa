// tobrel-data: the data tool, installed beside the program. See DataTool.h.
#include "datatool/DataTool.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

using namespace tobrel;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    ToolConsole console;
    console.out = [](const QString &line) {
        std::fputs((line + u'\n').toUtf8().constData(), stdout);
        std::fflush(stdout);
    };
    console.err = [](const QString &line) { std::fputs((line + u'\n').toUtf8().constData(), stderr); };
    console.readLine = []() -> std::optional<QString> {
        std::string line;
        if (!std::getline(std::cin, line))
            return std::nullopt;
        return QString::fromUtf8(line);
    };
    SystemClock clock;
    return runDataTool(arguments, QCoreApplication::applicationDirPath(), console, clock);
}
