// A small school on disk for the data tool's tests: the suite folder with the path
// data file and the program's folder, the data root with the common data, the roster
// and the sound folder, and the program's data folder with the criteria and results.
// Everything is sound until a test spoils one piece.
#pragma once
#include "datatool/DataTool.h"
#include "state/ResultRecord.h"
#include "sound/WavFile.h"
#include "support/TestSupport.h"
#include "text/DayNumber.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <ostream>
#include <unistd.h>
#include <vector>

// Readable failures for texts and lists of texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList &l, std::ostream *os) { *os << l.join(u'|').toStdString(); }

namespace tobrel::test {

struct Student {
    int number;
    QString name;
    int birthYear;
    int status = 0;
};

// A run at 15:04:05 of the school "01234", the day and the school named where they matter.
inline const TestRun run = TestRun{}.atSecond(15 * 3600 + 4 * 60 + 5).ofSchool(QStringLiteral("01234"));

inline QByteArray recordsBytes(const std::vector<ResultRecord> &records)
{
    QByteArray out;
    for (const ResultRecord &r : records) {
        const auto b = r.encode();
        out.append(b.data(), b.size());
    }
    return out;
}

struct School {
    QTemporaryDir dir;
    FakeClock clock;
    // The PC's settings files, in the school's folder: none unless a test writes them.
    SettingPlaces places{dir.path() + QStringLiteral("/etc/tobrel.conf"),
                         dir.path() + QStringLiteral("/home/.config/tobrel/tobrel.conf"),
                         dir.path() + QStringLiteral("/home/.local/state/tobrel/"), QString(), ::getuid()};
    QString root() const { return dir.path(); }
    QString program() const { return root() + QStringLiteral("/suite/tobrel"); }
    QString dataRoot() const { return root() + QStringLiteral("/data/"); }
    QString dataFolder() const { return dataRoot() + QStringLiteral("tobrel/"); }
    QString soundFolder() const { return dataRoot() + QStringLiteral("音フォルダ/"); }
    QString resultsPath() const { return dataFolder() + QStringLiteral("成績累積データ.dat"); }
    QString rosterPath() const { return dataRoot() + QStringLiteral("新名簿.txt"); }
    QString criteriaPath() const { return dataFolder() + QStringLiteral("タイム回数データ.txt"); }
    QString cueTablePath() const { return soundFolder() + QStringLiteral("新音ファイル.txt"); }

    // Students of school year 2023 (the clock stands at 7 February 2024): birth year
    // 2014 is primary year 3.
    std::vector<Student> students{
        {1, QStringLiteral("佐藤　翔太"), 2014}, {2, QStringLiteral("髙橋　①郎"), 2013},
        {3, QStringLiteral("山﨑, はな"), 2012}, {6, QStringLiteral("田中\"ゆう\""), 2014},
        {4, QStringLiteral("ⅰⅱ～德"), 2010, 2},  {5, QStringLiteral("退塾　太郎"), 2011, 9},
    };

    School()
    {
        clock.date = QDate(2024, 2, 7);
        QDir().mkpath(program());
        QDir().mkpath(dataFolder());
        writeCp932(root() + QStringLiteral("/suite/パスデータ.txt"),
                   dataRoot() + QStringLiteral("\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"));
        writeCp932(dataRoot() + QStringLiteral("共通データ.txt"),
                   QStringLiteral("4\r\n01234みなと塾\r\n0\r\n0\r\n0\r\nsensei\r\n0\r\n0\r\n0\r\n0\r\n"));
        writeRoster();
        QString criteria =
            QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n");
        for (int L = 1; L <= 6; ++L)
            criteria += QStringLiteral("%1,%2,30,3,1.5,12,0,7,1,,,\r\n").arg(20 + 10 * L).arg(40 + 20 * L);
        writeCp932(criteriaPath(), criteria);
        writeCp932(cueTablePath(), QStringLiteral("正解音2\r\nok\r\n*\r\n間違い音2,ng,*\r\n"
                                                  "自己最高音2,ok,*\r\n不合格音1,ng,*\r\n"));
        for (const char16_t *name : {u"ok", u"ng", u"最高1", u"合格", u"警告1"})
            writeWav(QString::fromUtf16(name));
        writeResults({run.on(QDate(2024, 2, 1))(1, 1, 25), run.on(QDate(2024, 2, 7))(2, 3, 99999)});
    }

    // Names are quoted, as the suite writes them, except a name holding a double quote:
    // the roster's reader takes a bare field up to the next comma, quotes and all.
    void writeRoster()
    {
        QString text;
        for (const Student &s : students) {
            const QString name = s.name.contains(u'"') ? s.name : u'"' + s.name + u'"';
            text += QStringLiteral("%1,%2,0,0,%3,%4,-,-\r\n").arg(s.number).arg(s.birthYear).arg(name).arg(s.status);
        }
        writeCp932(rosterPath(), text);
    }

    void writeWav(const QString &name)
    {
        QByteArray pcm;
        for (int i = 0; i < 800; ++i)
            appendSample(pcm, (i % 20) / 10.0 - 1.0, 16);
        writeFile(soundFolder() + name + QStringLiteral(".wav"), pcmWavFile(8000, 1, 16, pcm));
    }

    void writeResults(const std::vector<ResultRecord> &records) { writeFile(resultsPath(), recordsBytes(records)); }

    QByteArray resultsBytes() const
    {
        QFile f(resultsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    struct Outcome {
        int status = -1;
        QStringList out;
        QStringList err;
        QString all() const { return (out + err).join(u'\n'); }
    };
    // Runs the tool as if installed in the program's folder; answers are read in turn.
    Outcome tool(const QStringList &args, QStringList answers = {})
    {
        Outcome o;
        ToolConsole console;
        console.out = [&](const QString &l) { o.out << l; };
        console.err = [&](const QString &l) { o.err << l; };
        console.readLine = [&]() -> std::optional<QString> {
            if (answers.isEmpty())
                return std::nullopt;
            return answers.takeFirst();
        };
        o.status = runDataTool(args, program(), console, clock, places);
        return o;
    }
};

} // namespace tobrel::test
