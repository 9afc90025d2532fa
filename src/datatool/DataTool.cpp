#include "datatool/DataTool.h"

#include "admin/ResultsCsv.h"
#include "datatool/DataBackup.h"
#include "datatool/DataCheck.h"
#include "datatool/DataPlace.h"
#include "datatool/DataRepair.h"
#include "results/CorrectionLog.h"
#include "results/ResultsFile.h"
#include "sound/WavCheck.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <memory>

namespace tobrel {
namespace {

constexpr int kDefaultKeep = 10;

struct UsageError {
    QString text;
};

// The command line split into the data folder, the command and its own words.
struct CommandLine {
    bool help = false;
    QString dataFolder;
    QString command;
    QStringList words;   // the command's arguments that are not options
    QStringList options; // the command's options, each followed by its value where it takes one
};

bool takesValue(const QString &option)
{
    return option == u"--from" || option == u"--to" || option == u"--student" || option == u"--keep";
}

CommandLine parse(const QStringList &args)
{
    CommandLine cl;
    for (int i = 0; i < args.size(); ++i) {
        QString a = args[i];
        QString value;
        bool hasValue = false;
        if (a.startsWith(QStringLiteral("--")) && a.contains(u'=')) {
            value = a.mid(a.indexOf(u'=') + 1);
            a = a.left(a.indexOf(u'='));
            hasValue = true;
        }
        if (a == u"--help" || a == u"-h") {
            cl.help = true;
            continue;
        }
        const bool wantsValue = a == u"--data" || takesValue(a);
        if (wantsValue && !hasValue) {
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("%1 の後に値がありません").arg(a)};
            value = args[++i];
        } else if (!wantsValue && hasValue) {
            throw UsageError{QStringLiteral("%1 は値をとりません").arg(a)};
        }
        if (a == u"--data") {
            cl.dataFolder = value;
        } else if (a.startsWith(u'-') && a != u"-") {
            cl.options << a;
            if (wantsValue)
                cl.options << value;
        } else if (cl.command.isEmpty()) {
            cl.command = a;
        } else {
            cl.words << a;
        }
    }
    return cl;
}

// The command's options, checked against those it knows.
class Options {
public:
    Options(const CommandLine &cl, const QStringList &known)
    {
        for (int i = 0; i < cl.options.size(); ++i) {
            const QString o = cl.options[i];
            if (!known.contains(o))
                throw UsageError{QStringLiteral("%1 に %2 というオプションはありません").arg(cl.command, o)};
            m_values[o] = takesValue(o) ? cl.options[++i] : QString();
        }
    }
    bool has(const QString &o) const { return m_values.contains(o); }
    QString value(const QString &o) const { return m_values.value(o); }

private:
    QHash<QString, QString> m_values;
};

void expectWords(const CommandLine &cl, int most)
{
    if (cl.words.size() > most)
        throw UsageError{QStringLiteral("%1 には余分な引数があります: %2").arg(cl.command, cl.words.mid(most).join(u' '))};
}

QDate parseDate(const QString &option, const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})[/-](\\d{1,2})[/-](\\d{1,2})$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        m = compact.match(text.trimmed());
    const QDate d = m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt())
                                 : QDate();
    if (!d.isValid())
        throw UsageError{QStringLiteral("%1 の日付「%2」が読めません（2024/04/01 の形で書いてください）").arg(option, text)};
    return d;
}

int parseCount(const QString &option, const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lowest || v > highest)
        throw UsageError{QStringLiteral("%1 の値「%2」は%3から%4の整数で書いてください").arg(option, text).arg(lowest).arg(highest)};
    return v;
}

QDateTime nowOf(const Clock &clock)
{
    return QDateTime(clock.today(), QTime(0, 0).addSecs(static_cast<int>(clock.timeOfDay())));
}

// Finds the data; with the folders unknown the command cannot run.
bool located(const DataPlace &place, ToolConsole &io)
{
    if (place.foldersKnown())
        return true;
    io.err(place.foldersError);
    io.err(QStringLiteral("データフォルダは --data で指定することもできます（tobrel-data --help）。"));
    return false;
}

// A CSV written over a file the program reads (a slip of the results file's name for
// the CSV's) would replace the school's data: an existing file that is no CSV in the
// data folder, the data root, the sound folder or beside the tool is never the target.
bool overwritesSchoolData(const DataPlace &place, const QString &target)
{
    const QFileInfo file(target);
    if (target == u"-" || !file.exists() || file.suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0)
        return false;
    const QString folder = file.canonicalPath();
    for (const QString &data : {place.config.DataFolder, place.config.DataRoot, place.config.SoundFolder,
                                place.config.ProgramFolder})
        if (!data.isEmpty() && QFileInfo(data).canonicalFilePath() == folder)
            return true;
    return false;
}

// ---- commands ----

int runCheck(const CommandLine &cl, const DataPlace &place, ToolConsole &io, const Clock &clock)
{
    const Options none(cl, {});
    expectWords(cl, 0);
    const CheckReport report = checkData(place, clock.today(), [](const QByteArray &bytes) { return checkWav(bytes); });
    for (const QString &line : report.text())
        io.out(line);
    return report.problems > 0 ? ToolProblems : ToolOk;
}

int runBackup(const CommandLine &cl, const DataPlace &place, ToolConsole &io, const Clock &clock)
{
    const Options opt(cl, {QStringLiteral("--keep")});
    expectWords(cl, 1);
    const int keep = opt.has(QStringLiteral("--keep"))
                         ? parseCount(QStringLiteral("--keep"), opt.value(QStringLiteral("--keep")), 0, 100000)
                         : kDefaultKeep;
    if (!located(place, io))
        return ToolProblems;
    const QString target = cl.words.isEmpty() ? defaultBackupFolder(place.config.DataFolder)
                                              : QFileInfo(cl.words[0]).absoluteFilePath();
    const QDateTime now = nowOf(clock);
    BackupResult result;
    QString error;
    if (!backupDataFolder(place.config.DataFolder, place.config.ProgramFolderName, target, now, keep,
                          &result, &error)) {
        io.err(QStringLiteral("バックアップできませんでした: ") + error);
        return ToolProblems;
    }
    io.out(QStringLiteral("バックアップしました: %1").arg(result.folder));
    io.out(QStringLiteral("  ファイル %1個: %2").arg(result.files.size()).arg(result.files.join(QStringLiteral("、"))));
    if (result.resultsBytes >= 0)
        io.out(QStringLiteral("  成績の記録 %1件").arg(result.resultsBytes / kRecordSize));
    for (const QString &old : result.removed)
        io.out(QStringLiteral("  古いバックアップを消しました: %1").arg(old));
    if (result.resultsBytes < 0) {
        // A school without runs yet has no results file; anything else standing under its
        // name means the backup lacks the one file that matters most.
        const QString resultsPath = place.config.DataFolder + resultsFileName();
        if (QFileInfo::exists(resultsPath)) {
            io.err(QStringLiteral("成績ファイル %1 はファイルではないため、バックアップに入っていません")
                       .arg(resultsPath));
            return ToolProblems;
        }
        io.out(QStringLiteral("  成績ファイルはまだありません"));
    }
    return ToolOk;
}

bool confirmed(ToolConsole &io)
{
    io.out(QStringLiteral("よろしいですか？（はい／いいえ）"));
    const std::optional<QString> answer = io.readLine ? io.readLine() : std::nullopt;
    if (!answer)
        return false;
    const QString a = answer->trimmed().toLower();
    return a == u"はい" || a == u"y" || a == u"yes" || a == u"ｙ";
}

int runRepair(const CommandLine &cl, const DataPlace &place, ToolConsole &io, const Clock &clock)
{
    const Options opt(cl, {QStringLiteral("--yes")});
    expectWords(cl, 0);
    if (!located(place, io))
        return ToolProblems;
    const QString path = place.config.DataFolder + resultsFileName();
    if (!QFileInfo::exists(path)) {
        io.out(QStringLiteral("成績ファイル %1 はまだありません。直すものはありません。").arg(path));
        return ToolOk;
    }
    const ResultsFile results = toolResultsFile(path, place.waitNotice);
    RepairSurvey survey;
    QString error;
    if (!surveyRepair(results, &survey, &error)) {
        io.err(error);
        return ToolProblems;
    }
    if (!survey.needed()) {
        io.out(QStringLiteral("成績ファイル %1 に直すところはありません（記録 %2件）。").arg(path).arg(survey.records));
        return ToolOk;
    }
    io.out(QStringLiteral("成績ファイル %1（記録 %2件）から次のものを取り除きます。").arg(path).arg(survey.records));
    if (survey.damaged > 0) {
        io.out(QStringLiteral("  壊れた記録 %1件").arg(survey.damaged));
        for (const QString &line : survey.listed)
            io.out(QStringLiteral("    ") + line);
        if (survey.damaged > survey.listed.size())
            io.out(QStringLiteral("    ほか %1件").arg(survey.damaged - survey.listed.size()));
    }
    if (survey.tailBytes > 0)
        io.out(QStringLiteral("  最後の途中で切れた記録（%1バイト）").arg(survey.tailBytes));
    io.out(QStringLiteral("ほかの記録はそのまま残ります。前のファイルは %1 に残し、取り除いた記録は %2 に書きます。")
               .arg(results.backupFolder(), correctionLogFileName()));
    if (!opt.has(QStringLiteral("--yes")) && !confirmed(io)) {
        io.out(QStringLiteral("取りやめました。何も変えていません。"));
        return ToolProblems;
    }
    const QDateTime now = nowOf(clock);
    const RepairResult result = repairResults(results, place.config.DataFolder, now);
    if (!result.outcome.ok()) {
        io.err(QStringLiteral("修復できませんでした: ") + result.outcome.message);
        return ToolProblems;
    }
    io.out(QStringLiteral("修復しました: 記録 %1件 → %2件（壊れた記録 %3件%4を取り除きました）")
               .arg(result.outcome.recordsBefore)
               .arg(result.outcome.recordsAfter)
               .arg(result.removed)
               .arg(result.outcome.tornBytes > 0
                        ? QStringLiteral("と途中で切れた末尾 %1バイト").arg(result.outcome.tornBytes)
                        : QString()));
    io.out(QStringLiteral("  前のファイル: %1").arg(result.outcome.backupPath));
    if (!result.logError.isEmpty()) {
        io.err(result.logError);
        return ToolProblems;
    }
    io.out(QStringLiteral("  訂正記録: %1").arg(place.config.DataFolder + correctionLogFileName()));
    return ToolOk;
}

int runExport(const CommandLine &cl, const DataPlace &place, ToolConsole &io, const Clock &clock)
{
    const Options opt(cl, {QStringLiteral("--utf8"), QStringLiteral("--from"), QStringLiteral("--to"),
                           QStringLiteral("--student")});
    if (cl.words.isEmpty())
        throw UsageError{QStringLiteral("export には書き出すCSVファイルの名前が要ります（標準出力なら -）")};
    expectWords(cl, 1);
    ResultsCsvOptions options;
    options.utf8 = opt.has(QStringLiteral("--utf8"));
    if (opt.has(QStringLiteral("--from")))
        options.from = parseDate(QStringLiteral("--from"), opt.value(QStringLiteral("--from")));
    if (opt.has(QStringLiteral("--to")))
        options.to = parseDate(QStringLiteral("--to"), opt.value(QStringLiteral("--to")));
    if (options.from && options.to && *options.from > *options.to)
        throw UsageError{QStringLiteral("--from の日付が --to の日付より後です")};
    if (opt.has(QStringLiteral("--student")))
        options.student = parseCount(QStringLiteral("--student"), opt.value(QStringLiteral("--student")), 0, 32767);
    if (!located(place, io))
        return ToolProblems;

    const auto state = std::make_unique<SharedState>();
    const QString criteriaError = loadProfileAndCriteria(place, *state);
    QStringList warnings;
    if (!place.commonDataError.isEmpty())
        warnings << place.commonDataError + QStringLiteral("（自塾の判定ができません）");
    if (!criteriaError.isEmpty())
        warnings << criteriaError + QStringLiteral("（得点は0になります）");

    const QString resultsPath = place.config.DataFolder + resultsFileName();
    if (!QFileInfo::exists(resultsPath)) {
        io.err(QStringLiteral("成績ファイル %1 がありません").arg(resultsPath));
        return ToolProblems;
    }
    if (overwritesSchoolData(place, cl.words[0]))
        throw UsageError{QStringLiteral("%1 は塾のデータのファイルです。CSVは別の名前（.csv）で書き出してください")
                             .arg(QFileInfo(cl.words[0]).absoluteFilePath())};
    const ResultsFile results = toolResultsFile(resultsPath, place.waitNotice);
    const ResultsCsvSource source = csvSourceOf(*state, clock.today());
    ResultsCsvReport report;
    QString error;
    const QString target = cl.words[0];
    const bool toStdout = target == u"-";
    bool ok;
    if (toStdout) {
        QFile out;
        ok = out.open(stdout, QIODevice::WriteOnly) &&
             writeResultsCsv(results, source, options, out, &report, &error);
        out.flush();
    } else {
        ok = writeResultsCsvFile(results, source, options, target, &report, &error);
    }
    if (!ok) {
        io.err(QStringLiteral("CSVを書き出せませんでした: ") + error);
        return ToolProblems;
    }
    if (!report.warning.isEmpty())
        warnings << report.warning;
    auto &say = toStdout ? io.err : io.out;
    say(QStringLiteral("CSVに書き出しました: %1（成績 %2件のうち %3行、%4）")
            .arg(toStdout ? QStringLiteral("標準出力") : QFileInfo(target).absoluteFilePath())
            .arg(report.recordCount)
            .arg(report.rowsWritten)
            .arg(options.utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Shift-JIS")));
    for (const QString &w : warnings)
        io.err(QStringLiteral("注意: ") + w);
    return warnings.isEmpty() ? ToolOk : ToolProblems;
}

} // namespace

QString dataToolHelp()
{
    return QStringLiteral(
        "tobrel-data: Tobrel の成績データを点検し、直し、バックアップし、CSVに書き出します\n"
        "\n"
        "使い方: tobrel-data [--data フォルダ] コマンド [引数]\n"
        "\n"
        "データの場所: tobrel と同じフォルダに置くと、プログラムと同じように ../パスデータ.txt の\n"
        "  データルートとこのフォルダの名前からデータフォルダを見つけます。\n"
        "  --data フォルダ   プログラムのデータフォルダ（成績累積データ.dat のあるフォルダ）を指定します。\n"
        "                    共通データ・名簿・音フォルダはその一つ上のフォルダから読みます。\n"
        "\n"
        "コマンド:\n"
        "  check\n"
        "      プログラムが読むファイル（設定・名簿・合格基準・音・成績）をすべて調べて報告します。\n"
        "      何も変えません。\n"
        "      例: tobrel-data check\n"
        "  repair [--yes]\n"
        "      成績ファイルから壊れた記録と、最後の途中で切れた記録を取り除きます。ほかの記録は\n"
        "      そのまま残ります。前のファイルはデータフォルダの「バックアップ」に残し、取り除いた\n"
        "      記録は「成績訂正記録.txt」に書きます。確かめてから行います（--yes で確かめずに）。\n"
        "      例: tobrel-data repair\n"
        "  backup [フォルダ] [--keep 個数]\n"
        "      データフォルダのファイルを日付の付いたフォルダに写します。成績ファイルは記録中の\n"
        "      パソコンを待ってから写します。フォルダの既定はデータフォルダの「バックアップ」。\n"
        "      新しいものを10個（--keep で指定、0ならすべて）残します。\n"
        "      例: tobrel-data backup /media/usb/tobrel --keep 30\n"
        "  export ファイル [--utf8] [--from 日付] [--to 日付] [--student 番号]\n"
        "      成績を1記録1行のCSVに書き出します。文字コードは Shift-JIS（Excel でそのまま開けます）、\n"
        "      --utf8 で BOM 付き UTF-8。日付は 2024/04/01 の形で、その日を含みます。\n"
        "      ファイルを - にすると標準出力に書きます。\n"
        "      例: tobrel-data export 成績2024.csv --from 2024/04/01 --to 2025/03/31\n"
        "\n"
        "終了コード: 0 問題なし / 1 問題が見つかった、または失敗した / 2 使い方の誤り\n");
}

int runDataTool(const QStringList &arguments, const QString &programFolder, ToolConsole &io,
                const Clock &clock)
{
    try {
        const CommandLine cl = parse(arguments);
        if (cl.help) {
            for (const QString &line : dataToolHelp().split(u'\n'))
                io.out(line);
            return ToolOk;
        }
        if (cl.command.isEmpty())
            throw UsageError{QStringLiteral("コマンドがありません（check、repair、backup、export）")};
        using Runner = int (*)(const CommandLine &, const DataPlace &, ToolConsole &, const Clock &);
        Runner run = nullptr;
        if (cl.command == u"check")
            run = runCheck;
        else if (cl.command == u"repair")
            run = runRepair;
        else if (cl.command == u"backup")
            run = runBackup;
        else if (cl.command == u"export")
            run = runExport;
        else
            throw UsageError{QStringLiteral("「%1」というコマンドはありません（check、repair、backup、export）").arg(cl.command)};
        if (!cl.dataFolder.isEmpty() && !QFileInfo(cl.dataFolder).isDir())
            throw UsageError{QStringLiteral("--data のフォルダ %1 がありません").arg(cl.dataFolder)};
        DataPlace place = locateData(programFolder, cl.dataFolder);
        place.waitNotice = [&io](const QString &why) { io.err(why); };
        return run(cl, place, io, clock);
    } catch (const UsageError &e) {
        io.err(QStringLiteral("tobrel-data: ") + e.text);
        io.err(QStringLiteral("使い方は tobrel-data --help で見られます。"));
        return ToolUsage;
    }
}

} // namespace tobrel
