// "check": reads everything the program reads and reports what it finds, changing
// nothing. Each finding is a problem (something the program will trip over or count
// wrongly: the command then ends with status 1) or a notice (worth a look, but the
// program works as intended with it).
#pragma once
#include "datatool/DataPlace.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tobrel {

struct CheckReport {
    enum class Kind { Heading, Info, Problem, Notice };
    struct Line {
        Kind kind;
        QString text;
    };
    std::vector<Line> lines;
    int problems = 0;
    int notices = 0;

    void heading(const QString &text) { lines.push_back({Kind::Heading, text}); }
    void info(const QString &text) { lines.push_back({Kind::Info, text}); }
    void problem(const QString &text);
    void notice(const QString &text);
    // The report as printed, ending in the summary line.
    QStringList text() const;
    QString summary() const;
};

// The format of a WAV file's bytes: "" when the program can play it, otherwise what is
// wrong with it.
using WavFormatCheck = std::function<QString(const QByteArray &bytes)>;

// today: the date the grade labels and the results' date range are judged against.
CheckReport checkData(const DataPlace &place, const QDate &today, const WavFormatCheck &wavFormat);

} // namespace tobrel
