// Makes the demo school: a complete suite folder that ./run.sh starts the program in.
//
//   <demo>/パスデータ.txt             path data (field 1 = the data root)
//   <demo>/tobrel/                    the program folder (run.sh installs the program)
//   <demo>/起動/プログラムメニューc.exe  a stand-in for the suite's program menu
//   <demo>/data/共通データ.txt         common data (school code and name, password)
//   <demo>/data/新名簿.txt             the roster
//   <demo>/data/音フォルダ/            cue table and WAV files
//   <demo>/data/tobrel/               criteria file and a few weeks of results
//
//   make_demo_school <folder> [--students N] [--records M] [--pass-time1 S]
//
// --students adds made-up students after the named ones, up to N in all; --records
// writes M runs by all students over the last 60 days instead of the few weeks;
// --pass-time1 gives level 1 the pass-line time S (a run of level 1 times out after
// five times S). The benchmarks of the whole program use them for a big school.
//
// Every text file is written with the program's own CP932 line writer.
#include "criteria/CriteriaFile.h"
#include "state/ResultRecord.h"
#include "text/DayNumber.h"
#include "sound/WavFile.h"
#include "text/LineWriter.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <random>

using namespace tobrel;

namespace {

int fail(const QString &what)
{
    std::fprintf(stderr, "make_demo_school: %s\n", what.toLocal8Bit().constData());
    return 1;
}

bool writeLines(const QString &path, const QList<QStringList> &lines)
{
    LineWriter w;
    for (const QStringList &l : lines)
        w.addLine(l);
    const QString err = w.writeTo(path);
    if (!err.isEmpty())
        std::fprintf(stderr, "%s\n", err.toLocal8Bit().constData());
    return err.isEmpty();
}

struct Tone {
    double freq;
    double seconds;
};

// A PCM WAV of a sequence of tones (mono 8-bit or stereo 16-bit).
bool writeWav(const QString &path, const QList<Tone> &tones, int rate, int channels, int bits, double wobble = 0)
{
    QByteArray pcm;
    for (const Tone &t : tones) {
        const int frames = static_cast<int>(t.seconds * rate);
        for (int i = 0; i < frames; ++i) {
            const double env = std::min(1.0, std::min(i, frames - i) / (0.01 * rate));
            const double f = t.freq * (1.0 + wobble * std::sin(2 * M_PI * 6 * i / rate));
            const double v = t.freq > 0 ? 0.45 * env * std::sin(2 * M_PI * f * i / rate) : 0.0;
            for (int c = 0; c < channels; ++c)
                appendSample(pcm, v, bits);
        }
    }
    const QByteArray wav = pcmWavFile(rate, channels, bits, pcm);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString usage =
        QStringLiteral("usage: make_demo_school <demo folder> [--students N] [--records M] [--pass-time1 S]");
    if (argc < 2)
        return fail(usage);
    int studentCount = 0;
    long long recordCount = -1;
    int passTime1 = 0;
    for (int i = 2; i < argc; ++i) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        bool ok = i + 1 < argc;
        const long long value = ok ? QString::fromLocal8Bit(argv[i + 1]).toLongLong(&ok) : 0;
        if (!ok || value < 0)
            return fail(usage);
        if (option == u"--students" && value <= 5000)
            studentCount = static_cast<int>(value);
        else if (option == u"--records")
            recordCount = value;
        else if (option == u"--pass-time1" && value <= 100000)
            passTime1 = static_cast<int>(value);
        else
            return fail(usage);
        ++i;
    }
    const QString root = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString data = root + QStringLiteral("/data/");
    const QString sound = data + QStringLiteral("音フォルダ/");
    const QString progData = data + QStringLiteral("tobrel/");
    const QString menuDir = root + QStringLiteral("/起動/");
    for (const QString &d : {root + QStringLiteral("/tobrel"), sound, progData, menuDir})
        if (!QDir().mkpath(d))
            return fail(QStringLiteral("cannot make ") + d);

    // Path data: field 1 is the data root; nine more fields the suite uses elsewhere.
    if (!writeLines(root + QStringLiteral("/パスデータ.txt"), {{data},
                                                               {QStringLiteral("C:\\suite\\")},
                                                               {QStringLiteral("0")},
                                                               {QStringLiteral("0")},
                                                               {QStringLiteral("1")},
                                                               {QString()},
                                                               {QString()},
                                                               {QStringLiteral("0")},
                                                               {QStringLiteral("0")},
                                                               {QStringLiteral("end")}}))
        return 1;

    // Common data: start month, code + school name, CommonValue3, -, -, password, -...
    if (!writeLines(data + QStringLiteral("共通データ.txt"), {{QStringLiteral("4")},
                                                              {QStringLiteral("01234みなと算数塾")},
                                                              {QStringLiteral("1")},
                                                              {QStringLiteral("0")},
                                                              {QStringLiteral("横浜校")},
                                                              {QStringLiteral("sensei")},
                                                              {QStringLiteral("0")},
                                                              {QStringLiteral("0")},
                                                              {QStringLiteral("0")},
                                                              {QStringLiteral("0")}}))
        return 1;

    // Roster: grade index g = school year - birth year - 6, kindergarten to adult.
    const QDate today = QDate::currentDate();
    const int schoolYear = today.year() - (today.month() < 4 ? 1 : 0);
    struct Student {
        int number;
        int grade;
        const char16_t *name;
        int status;
    };
    const Student students[] = {
        {1, 3, u"佐藤　翔太", 0},     {2, 3, u"鈴木　美咲", 0},   {3, 4, u"髙橋　健一", 0},
        {4, 4, u"山﨑　花子", 0},     {5, 5, u"田中　大輝", 0},   {6, 5, u"伊藤　さくら", 0},
        {7, 6, u"渡辺　蓮", 0},       {8, 6, u"中村　結衣", 0},   {9, 7, u"小林　悠斗", 0},
        {10, 7, u"加藤　陽菜", 0},    {11, 8, u"吉田　湊", 0},    {12, 8, u"山田　葵", 0},
        {13, 9, u"佐々木　樹", 0},    {14, 9, u"山口　凛", 0},    {15, 1, u"松本　蒼", 0},
        {16, 1, u"井上　芽衣", 0},    {17, 2, u"木村　陸", 0},    {18, 2, u"林　心春", 0},
        {19, 0, u"斎藤　大和", 0},    {20, -1, u"清水　杏", 0},   {21, -2, u"森　颯太", 0},
        {22, -3, u"池田　ひなた", 0}, {23, 10, u"橋本　拓海", 0}, {24, 11, u"阿部　彩花", 0},
        {25, 12, u"石川　直樹", 0},   {26, 14, u"前田　美穂", 0}, {27, 30, u"佐藤先生", 0},
        {28, 25, u"★田中", 0},        {29, 4, u"藤田　優", 2},    {30, 5, u"岡田　海斗", 2},
        {31, 6, u"後藤　千尋", 1},    {32, 7, u"長谷川　翼", 9},  {33, 3, u"村上　紬", 0},
        {34, 5, u"近藤　碧", 0},      {35, 6, u"坂本　琉生", 0},  {36, 8, u"遠藤　七海", 0},
        {37, 2, u"青木　ゆい", 0},    {38, 9, u"藤井　晴", 0},    {39, 3, u"西村　瑛太", 0},
        {40, 4, u"福田　莉子", 0},    {41, 1, u"德永　①郎", 0},
    };
    QList<QStringList> roster;
    for (const Student &s : students)
        roster << QStringList{QString::number(s.number),  QString::number(schoolYear - s.grade - 6),
                              QStringLiteral("0"),        QStringLiteral("0"),
                              QString::fromUtf16(s.name), QString::number(s.status),
                              QStringLiteral("-"),        QStringLiteral("-")};
    // Made-up students up to the count asked for, primary to junior high.
    std::mt19937 names(7);
    const char16_t *family[] = {u"佐藤", u"鈴木", u"髙橋", u"田中", u"山﨑",   u"伊藤",   u"渡辺", u"中村",
                                u"小林", u"加藤", u"吉田", u"山田", u"佐々木", u"長谷川", u"德永", u"松本"};
    const char16_t *given[] = {u"翔太", u"美咲", u"健一", u"花子", u"大輝", u"さくら", u"蓮",     u"結衣",
                               u"悠斗", u"陽菜", u"湊",   u"葵",   u"樹",   u"凛",     u"由紀子", u"ひなた"};
    const int named = static_cast<int>(std::size(students));
    for (int number = named + 1; number <= studentCount; ++number)
        roster << QStringList{QString::number(number),
                              QString::number(schoolYear - (1 + number % 9) - 6),
                              QStringLiteral("0"),
                              QStringLiteral("0"),
                              QString::fromUtf16(family[names() % std::size(family)]) + u'　' +
                                  QString::fromUtf16(given[names() % std::size(given)]),
                              QStringLiteral("0"),
                              QStringLiteral("-"),
                              QStringLiteral("-")};
    const int lastStudent = std::max(named, studentCount);
    if (!writeLines(data + QStringLiteral("新名簿.txt"), roster))
        return 1;

    // Criteria: level 1 easy, level 6 hard.
    QList<QStringList> criteria;
    const int target[] = {0, 20, 28, 36, 45, 55, 65};
    const char *rate[] = {"", "1", "1", "1.2", "1.2", "1.5", "1.5"};
    for (int L = 1; L <= 6; ++L)
        criteria << QStringList{QString::number(target[L]),
                                QString::number(L == 1 && passTime1 > 0 ? passTime1 : target[L] * 2),
                                QStringLiteral("30"),
                                QString::number(L == 6 ? 5 : 3),
                                QString::fromLatin1(rate[L]),
                                QStringLiteral("12"),
                                QStringLiteral("0"),
                                QStringLiteral("7"),
                                QStringLiteral("1"),
                                QString(),
                                QString(),
                                QString()};
    const QString critErr = WriteCriteriaFile(progData + criteriaFileName(), criteria);
    if (!critErr.isEmpty())
        return fail(critErr);

    // Sound cue table with a block for every kind, and the WAV files it names.
    if (!writeLines(
            sound + QStringLiteral("新音ファイル.txt"),
            {{QStringLiteral("正解音1"), QStringLiteral("pin1"), QStringLiteral("*")},
             {QStringLiteral("正解音2")},
             {QStringLiteral("pin1")},
             {QStringLiteral("pin2")},
             {QStringLiteral("*")},
             {QStringLiteral("間違い音1"), QStringLiteral("boo1"), QStringLiteral("*")},
             {QStringLiteral("間違い音2"), QStringLiteral("boo1"), QStringLiteral("boo2"), QStringLiteral("*")},
             {QStringLiteral("最高音1"), QStringLiteral("fanfare"), QStringLiteral("*")},
             {QStringLiteral("最高音2"), QStringLiteral("fanfare"), QStringLiteral("*")},
             {QStringLiteral("自己最高音1"), QStringLiteral("yatta1"), QStringLiteral("*")},
             {QStringLiteral("自己最高音2"), QStringLiteral("yatta1"), QStringLiteral("yatta2"), QStringLiteral("*")},
             {QStringLiteral("自己最高音3"), QStringLiteral("yatta2"), QStringLiteral("*")},
             {QStringLiteral("不合格音1"), QStringLiteral("oshii"), QStringLiteral("*")}}))
        return 1;
    struct Wav {
        const char16_t *name;
        QList<Tone> tones;
        int rate, channels, bits;
        double wobble;
    };
    const QList<Wav> wavs = {
        {u"pin1", {{1318, 0.08}, {1760, 0.12}}, 44100, 2, 16, 0},
        {u"pin2", {{1568, 0.08}, {2093, 0.12}}, 22050, 1, 8, 0},
        {u"boo1", {{196, 0.35}}, 22050, 1, 16, 0.05},
        {u"boo2", {{165, 0.2}, {147, 0.25}}, 44100, 2, 16, 0.05},
        {u"fanfare", {{523, 0.12}, {659, 0.12}, {784, 0.12}, {1047, 0.4}}, 44100, 2, 16, 0},
        {u"yatta1", {{784, 0.1}, {988, 0.1}, {1175, 0.25}}, 44100, 1, 16, 0},
        {u"yatta2", {{880, 0.1}, {1109, 0.1}, {1319, 0.25}}, 11025, 1, 8, 0},
        {u"oshii", {{440, 0.15}, {392, 0.15}, {349, 0.3}}, 44100, 2, 16, 0},
        {u"最高1", {{523, 0.1}, {784, 0.1}, {1047, 0.1}, {1568, 0.45}}, 48000, 2, 16, 0},
        {u"合格", {{523, 0.2}, {659, 0.2}, {784, 0.2}, {1047, 0.2}, {0, 0.05}, {1047, 0.5}}, 44100, 2, 16, 0},
        {u"警告1", {{2500, 0.06}, {0, 0.05}, {2500, 0.06}}, 22050, 1, 8, 0},
    };
    for (const Wav &w : wavs)
        if (!writeWav(sound + QString::fromUtf16(w.name) + QStringLiteral(".wav"), w.tones, w.rate, w.channels, w.bits,
                      w.wobble))
            return fail(QStringLiteral("cannot write a WAV file"));

    // A stand-in for the suite's program menu.
    const QString menu = menuDir + QStringLiteral("プログラムメニューc.exe");
    QFile m(menu);
    if (!m.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write ") + menu);
    m.write("#!/bin/sh\n"
            "# Stand-in for the suite's program menu: records that it was reached.\n"
            "dir=$(dirname \"$0\")\n"
            "echo \"$(date '+%Y-%m-%d %H:%M:%S') program menu started with: $*\" >> \"$dir/menu-reached.log\"\n"
            "echo \"プログラムメニュー（デモ）が起動しました: $*\"\n");
    m.close();
    m.setPermissions(m.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);

    // A few weeks of runs by several students, so the hub has something to show.
    std::mt19937 gen(20260101);
    QByteArray results;
    const double todayNumber = dayNumber(today);
    // Or as many runs as asked for, by every student, over the last 60 days in order.
    for (long long k = 0; k < recordCount; ++k) {
        const int level = 1 + static_cast<int>(gen() % 6);
        ResultRecord rec;
        rec.ResultRecDate = todayNumber - 59 + static_cast<double>(k * 60 / recordCount);
        rec.ResultRecClock = static_cast<double>(9 * 3600 + gen() % (12 * 3600)) / 86400.0;
        rec.ResultRecStudentNo = static_cast<int16_t>(1 + gen() % static_cast<unsigned>(lastStudent));
        rec.ResultRecLevel = static_cast<int16_t>(level);
        rec.ResultRecTime =
            gen() % 25 == 0 ? 99999 : static_cast<int32_t>(target[level] * 0.7 + gen() % (target[level] + 5));
        rec.setSchool(QStringLiteral("01234"));
        const auto bytes = rec.encode();
        results.append(bytes.data(), bytes.size());
    }
    for (int daysAgo = recordCount >= 0 ? -1 : 27; daysAgo >= 0; --daysAgo) {
        for (int student : {1, 2, 3, 4, 5, 6, 9, 11, 15, 27}) {
            if (gen() % 3 == 0)
                continue;
            const int runs = 1 + static_cast<int>(gen() % 3);
            for (int r = 0; r < runs; ++r) {
                const int level = 1 + static_cast<int>(gen() % 4);
                ResultRecord rec;
                rec.ResultRecDate = todayNumber - daysAgo;
                rec.ResultRecClock = (15.0 * 3600 + student * 120 + r * 300 + (gen() % 60)) / 86400.0;
                rec.ResultRecStudentNo = static_cast<int16_t>(student);
                rec.ResultRecLevel = static_cast<int16_t>(level);
                const int base = target[level];
                rec.ResultRecTime = gen() % 25 == 0 ? 99999 : static_cast<int32_t>(base * 0.7 + gen() % (base + 5));
                rec.setSchool(QStringLiteral("01234"));
                const auto bytes = rec.encode();
                results.append(bytes.data(), bytes.size());
            }
        }
    }
    const QString resultsPath = progData + QStringLiteral("成績累積データ.dat");
    if (!QFileInfo::exists(resultsPath)) {
        QFile rf(resultsPath);
        if (!rf.open(QIODevice::WriteOnly) || rf.write(results) != results.size())
            return fail(QStringLiteral("cannot write ") + resultsPath);
    }
    std::printf("demo school written to %s\n", root.toLocal8Bit().constData());
    return 0;
}
