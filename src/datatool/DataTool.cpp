#include "datatool/DataTool.h"

#include "admin/ResultsCsv.h"
#include "app/Configuration.h"
#include "app/ProgramOptions.h"
#include "datatool/DataBackup.h"
#include "datatool/DataCheck.h"
#include "datatool/DataPlace.h"
#include "datatool/DataRepair.h"
#include "results/CorrectionLog.h"
#include "results/ResultsFile.h"
#include "sound/WavCheck.h"
#include "state/SchoolFiles.h"
#include "text/DataFileError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

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
    bool version = false;
    QString dataFolder;
    QString dataRoot; // --data-root
    QString dataFolderName; // --data-folder: the data folder's name in the root
    QString command;
    QStringList words; // the command's arguments that are not options
    QStringList options; // the command's options, each followed by its value where it takes one
};

bool takesValue(const QString &option)
{
    return option == u"--from" || option == u"--to" || option == u"--student" || option == u"--keep" ||
           option == u"--program-menu" || option == u"--xlsx";
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
        if (a == u"--version") {
            cl.version = true;
            continue;
        }
        const bool wantsValue = a == u"--data" || a == u"--data-root" || a == u"--data-folder" || takesValue(a);
        if (wantsValue && !hasValue) {
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("%1 の後に値がありません").arg(a)};
            value = args[++i];
        } else if (!wantsValue && hasValue) {
            throw UsageError{QStringLiteral("%1 は値をとりません").arg(a)};
        }
        if (a == u"--data") {
            cl.dataFolder = value;
        } else if (a == u"--data-root") {
            if (value.isEmpty())
                throw UsageError{QStringLiteral("--data-root のフォルダが空です")};
            cl.dataRoot = value;
        } else if (a == u"--data-folder") {
            if (!isPlainFolderName(value))
                throw UsageError{QStringLiteral("--data-folder の「%1」はフォルダの名前ではありません"
                                                "（空白・/・# を含まない一つの名前にしてください）")
                                     .arg(value)};
            cl.dataFolderName = value;
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
        throw UsageError{
            QStringLiteral("%1 には余分な引数があります: %2").arg(cl.command, cl.words.mid(most).join(u' '))};
}

QDate parseDate(const QString &option, const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})[/-](\\d{1,2})[/-](\\d{1,2})$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        m = compact.match(text.trimmed());
    const QDate d = m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QDate();
    if (!d.isValid())
        throw UsageError{
            QStringLiteral("%1 の日付「%2」が読めません（2024/04/01 の形で書いてください）").arg(option, text)};
    return d;
}

int parseCount(const QString &option, const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lowest || v > highest)
        throw UsageError{
            QStringLiteral("%1 の値「%2」は%3から%4の整数で書いてください").arg(option, text).arg(lowest).arg(highest)};
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
    const QString target =
        cl.words.isEmpty() ? defaultBackupFolder(place.config.DataFolder) : QFileInfo(cl.words[0]).absoluteFilePath();
    const QDateTime now = nowOf(clock);
    BackupResult result;
    QString error;
    if (!backupDataFolder(place.config.DataFolder, place.config.ProgramFolderName, target, now, keep, &result,
                          &error)) {
        io.err(QStringLiteral("バックアップできませんでした: ") + error);
        return ToolProblems;
    }
    for (const QString &left : result.cleared)
        io.out(QStringLiteral("  途中で止まったバックアップの残りを消しました: %1").arg(left));
    io.out(QStringLiteral("バックアップしました: %1").arg(result.folder));
    for (const QString &link : result.skipped)
        io.out(QStringLiteral("  ふつうのファイルではないので写しませんでした（リンクなど）: %1").arg(link));
    io.out(QStringLiteral("  ファイル %1個: %2").arg(result.files.size()).arg(result.files.join(QStringLiteral("、"))));
    if (result.resultsBytes >= 0)
        io.out(QStringLiteral("  成績の記録 %1件").arg(result.resultsBytes / kRecordSize));
    for (const QString &old : result.removed)
        io.out(QStringLiteral("  古いバックアップを消しました: %1").arg(old));
    for (const QString &link : result.passedOver)
        io.out(
            QStringLiteral("  バックアップの名前ですがフォルダではないので、使わず消しませんでした（リンクなど）: %1")
                .arg(link));
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
    io.out(QStringLiteral("  訂正記録: %1").arg(place.config.DataFolder + correctionLogFileName()));
    return ToolOk;
}

int runExport(const CommandLine &cl, const DataPlace &place, ToolConsole &io, const Clock &clock)
{
    const Options opt(cl, {QStringLiteral("--utf8"), QStringLiteral("--from"), QStringLiteral("--to"),
                           QStringLiteral("--student"), QStringLiteral("--xlsx")});
    const bool workbook = opt.has(QStringLiteral("--xlsx"));
    if (workbook && !cl.words.isEmpty())
        throw UsageError{QStringLiteral("export はCSVファイルか --xlsx のExcelファイルのどちらか一つに書き出します")};
    if (workbook && opt.has(QStringLiteral("--utf8")))
        throw UsageError{QStringLiteral("--utf8 はCSVのためのオプションです（Excelファイルには使えません）")};
    if (!workbook && cl.words.isEmpty())
        throw UsageError{QStringLiteral(
            "export には書き出すCSVファイルの名前が要ります（標準出力なら -、Excelファイルなら --xlsx ファイル）")};
    expectWords(cl, 1);
    const QString target = workbook ? opt.value(QStringLiteral("--xlsx")) : cl.words[0];
    if (workbook && (target.isEmpty() || target == u"-"))
        throw UsageError{QStringLiteral("--xlsx には書き出すExcelファイルの名前が要ります（標準出力には書けません）")};
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
    // Never over one of the school's files, also not through a link ("out.csv" leading
    // to the results file) nor under the pending file's name.
    if (target != u"-")
        if (const QString refusal =
                schoolFileRefusal(place.config, target, workbook ? QStringLiteral(".xlsx") : QStringLiteral(".csv"),
                                  {place.userStateFolder});
            !refusal.isEmpty())
            throw UsageError{refusal};
    const ResultsFile results = toolResultsFile(resultsPath, place.waitNotice);
    const ResultsCsvSource source = csvSourceOf(*state, clock.today());
    ResultsCsvReport report;
    QString error;
    const bool toStdout = target == u"-";
    bool ok;
    if (workbook) {
        ok = writeResultsWorkbook(results, source, options, target, &report, &error);
    } else if (toStdout) {
        QFile out;
        ok = out.open(stdout, QIODevice::WriteOnly) && writeResultsCsv(results, source, options, out, &report, &error);
        out.flush();
    } else {
        ok = writeResultsCsvFile(results, source, options, target, &report, &error);
    }
    if (!ok) {
        io.err((workbook ? QStringLiteral("Excelファイルを") : QStringLiteral("CSVを")) +
               QStringLiteral("書き出せませんでした: ") + error);
        return ToolProblems;
    }
    if (!report.warning.isEmpty())
        warnings << report.warning;
    auto &say = toStdout ? io.err : io.out;
    // All in one step: a name holding "%2" stays as it is.
    if (workbook)
        say(QStringLiteral("Excelファイルに書き出しました: %1（成績 %2件のうち %3行）")
                .arg(QFileInfo(target).absoluteFilePath(), QString::number(report.recordCount),
                     QString::number(report.rowsWritten)));
    else
        say(QStringLiteral("CSVに書き出しました: %1（成績 %2件のうち %3行、%4）")
                .arg(toStdout ? QStringLiteral("標準出力") : QFileInfo(target).absoluteFilePath(),
                     QString::number(report.recordCount), QString::number(report.rowsWritten),
                     options.utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Shift-JIS")));
    for (const QString &w : warnings)
        io.err(QStringLiteral("注意: ") + w);
    return warnings.isEmpty() ? ToolOk : ToolProblems;
}

// Why "0" on the roster screen could not start this program menu, or "".
QString missingProgramMenu(const QStringList &words)
{
    const QString program = words.first();
    const bool found = program.contains(u'/') ? QFileInfo(program).isFile() && QFileInfo(program).isExecutable()
                                              : !QStandardPaths::findExecutable(program).isEmpty();
    if (found)
        return {};
    return QStringLiteral("プログラムメニュー %1 が見つからないか、起動できるプログラムではありません"
                          "（「0」で起動できないと、生徒に先生を呼ぶように言います）。")
        .arg(program);
}

// Prints what the settings files say, and where the data is found from them.
int showSettings(const SettingPlaces &places, ToolConsole &io)
{
    Settings settings;
    try {
        settings = readSettings(places);
    } catch (const DataFileError &e) {
        io.err(e.message());
        return ToolProblems;
    }
    if (!settings.has(dataRootKey())) {
        io.out(QStringLiteral("データの場所はまだ設定されていません（%1 にも %2 にも %3 がありません）。")
                   .arg(places.systemFile, places.userFile, dataRootKey()));
        io.out(QStringLiteral("設定のしかた: sudo tobrel-data setup データルート"));
        return ToolProblems;
    }
    for (const QString &key : {dataRootKey(), dataFolderKey(), programMenuKey()})
        if (settings.has(key))
            io.out(QStringLiteral("%1 = %2（%3）").arg(key, settings.value(key), settings.fileOf.value(key)));
    if (!settings.has(dataFolderKey()))
        io.out(QStringLiteral("%1 = %2（決まっていないときの名前）").arg(dataFolderKey(), defaultDataFolderName()));
    if (settings.value(programMenuKey()).isEmpty())
        io.out(QStringLiteral("%1 なし: 名前を選ぶ画面の「0」はプログラムを終わります").arg(programMenuKey()));
    return ToolOk;
}

// The settings file an installed copy reads, written for the data root given, then the
// data checked from it as the program will find it.
int runSetup(const CommandLine &cl, const QString &programFolder, const SettingPlaces &places, ToolConsole &io,
             const Clock &clock)
{
    const Options opt(cl, {QStringLiteral("--user"), QStringLiteral("--program-menu")});
    expectWords(cl, 1);
    if (!cl.dataFolder.isEmpty() || !cl.dataRoot.isEmpty())
        throw UsageError{
            QStringLiteral("setup では --data も --data-root も使えません（データルートは setup の後に書きます）")};
    if (cl.words.isEmpty()) {
        if (!cl.dataFolderName.isEmpty() || opt.has(QStringLiteral("--program-menu")))
            throw UsageError{QStringLiteral("setup にはデータルートが要ります（tobrel-data setup データルート）")};
        return showSettings(places, io);
    }
    const QString menu = opt.value(QStringLiteral("--program-menu")).trimmed();
    QString menuError;
    const QStringList menuWords = splitProgramMenu(menu, &menuError);
    if (!menuError.isEmpty())
        throw UsageError{QStringLiteral("--program-menu の「%1」が読めません: %2").arg(menu, menuError)};

    const bool forUser = opt.has(QStringLiteral("--user")) || places.userId != 0;
    const QString file = forUser ? places.userFile : places.systemFile;
    if (file.isEmpty()) {
        io.err(QStringLiteral("ユーザーの設定ファイルの置き場所が分かりません（HOME がありません）"));
        return ToolProblems;
    }
    // Nothing is written for a root that can never start the program, nor for a program
    // menu that "0" could not start.
    const QString root = asDataRoot(cl.words[0]);
    if (!QFileInfo(root).isDir()) {
        io.err(QStringLiteral("データルート %1 がありません（共有フォルダはつながっていますか）。何も書いていません。")
                   .arg(root));
        return ToolProblems;
    }
    if (!QFileInfo(root + commonDataFileName()).isFile()) {
        io.err(QStringLiteral(
                   "%1 に %2 がありません。データルートは %2・新名簿.txt・%3 のあるフォルダです。何も書いていません。")
                   .arg(root, commonDataFileName(), soundFolderName()));
        return ToolProblems;
    }
    if (!menuWords.isEmpty()) {
        if (const QString missing = missingProgramMenu(menuWords); !missing.isEmpty()) {
            io.err(missing + QStringLiteral("何も書いていません。"));
            return ToolProblems;
        }
    }

    // The other keys of the file are kept; a file that may not be trusted is made anew.
    Settings settings;
    try {
        readSettingsFile(file, forUser, places.userId, settings);
    } catch (const DataFileError &e) {
        io.err(QStringLiteral("注意: ") + e.message());
        io.err(QStringLiteral("注意: この設定ファイルは中身を引き継がずに作り直します。"));
        settings = Settings();
    }
    settings.values[dataRootKey()] = root;
    if (!cl.dataFolderName.isEmpty())
        settings.values[dataFolderKey()] = cl.dataFolderName;
    if (opt.has(QStringLiteral("--program-menu"))) {
        if (menu.isEmpty())
            settings.values.remove(programMenuKey());
        else
            settings.values[programMenuKey()] = menu;
    }
    if (const QString error = writeSettingsFile(file, settingsFileText(settings)); !error.isEmpty()) {
        io.err(error);
        if (!forUser && places.userId != 0)
            io.err(QStringLiteral("PC のすべてのユーザーの設定は root が書きます: sudo tobrel-data setup %1")
                       .arg(shellQuoted(root)));
        else if (forUser && places.userId == 0)
            io.err(QStringLiteral("ユーザーの設定は、そのユーザーが sudo を付けずに書きます: tobrel-data setup %1")
                       .arg(shellQuoted(root)));
        return ToolProblems;
    }
    io.out(QStringLiteral("設定ファイル %1 に書きました: %2 = %3").arg(file, dataRootKey(), root));
    io.out(forUser
               ? QStringLiteral("  このユーザーだけの設定です（PC のすべてのユーザーには sudo tobrel-data setup %1）。")
                     .arg(shellQuoted(root))
               : QStringLiteral("  この PC のすべてのユーザーの設定です。"));
    // A program menu kept from before is said when it cannot be started any more.
    if (const QStringList kept = splitProgramMenu(settings.value(programMenuKey()));
        !kept.isEmpty() && menuWords.isEmpty())
        if (const QString missing = missingProgramMenu(kept); !missing.isEmpty())
            io.out(QStringLiteral("  注意: ") + missing);
    if (QFileInfo::exists(pathDataFileOf(QDir::cleanPath(programFolder))))
        io.out(QStringLiteral("  注意: ここのプログラムはスイートのフォルダにあるので %1 を読みます。"
                              "設定ファイルを読むのは /usr/bin に入れたプログラムです。")
                   .arg(pathDataFileOf(QDir::cleanPath(programFolder))));
    if (!places.environmentRoot.isEmpty())
        io.out(QStringLiteral("  注意: 環境変数 TOBREL_DATA_ROOT（%1）があるあいだは、そちらが使われます。")
                   .arg(places.environmentRoot));

    // What every user without a file of their own will find, checked as check does.
    SettingPlaces readBack = places;
    if (!forUser)
        readBack.userFile.clear();
    readBack.environmentRoot.clear();
    DataPlace place = locateDataFromSettings(programFolder, readBack);
    place.waitNotice = [&io](const QString &why) { io.err(why); };
    io.out(QString());
    const CheckReport report = checkData(place, clock.today(), [](const QByteArray &bytes) { return checkWav(bytes); });
    for (const QString &line : report.text())
        io.out(line);
    return report.problems > 0 ? ToolProblems : ToolOk;
}

} // namespace

QString dataToolHelp()
{
    return QStringLiteral(
        "tobrel-data: Tobrel の成績データを点検し、直し、バックアップし、CSVに書き出します\n"
        "\n"
        "使い方: tobrel-data [--data フォルダ | --data-root フォルダ] [--data-folder 名前] コマンド [引数]\n"
        "        tobrel-data --help | --version\n"
        "\n"
        "データの場所はプログラムと同じように見つけます:\n"
        "  スイートのフォルダで tobrel と同じフォルダに置くと、../パスデータ.txt のデータルートと\n"
        "  このフォルダの名前からデータフォルダを見つけます。/usr/bin に入れたものは、setup が書く\n"
        "  設定ファイル（/etc/tobrel.conf と ~/.config/tobrel/tobrel.conf）を読みます。\n"
        "  --data フォルダ       プログラムのデータフォルダ（成績累積データ.dat のあるフォルダ）を指定します。\n"
        "                        共通データ・名簿・音フォルダはその一つ上のフォルダから読みます。\n"
        "  --data-root フォルダ  データルート（共通データ.txt のあるフォルダ）を今回だけ指定します。\n"
        "                        環境変数 TOBREL_DATA_ROOT でも同じです。このときは設定ファイルを\n"
        "                        読まず、データフォルダは tobrel（スイートのフォルダではこのフォルダの名前）です。\n"
        "  --data-folder 名前    データルートの中のデータフォルダの名前を今回だけ指定します。\n"
        "\n"
        "コマンド:\n"
        "  setup データルート [--data-folder 名前] [--program-menu コマンド] [--user]\n"
        "      この PC のプログラムが読むデータルートを設定ファイルに書き、check と同じように調べます。\n"
        "      root で実行すると /etc/tobrel.conf（すべてのユーザー）、ほかのユーザーや --user では\n"
        "      ~/.config/tobrel/tobrel.conf（そのユーザーだけ）に書きます。--data-folder はデータルートの\n"
        "      中のデータフォルダの名前（決めなければ tobrel）、--program-menu は名前を選ぶ画面の「0」で\n"
        "      起動するスイートのプログラムメニュー（なければ「0」でプログラムを終わります）。\n"
        "      コマンドは空白で区切り、空白を含む語は '…' か \"…\" で囲みます。見つからない\n"
        "      プログラムメニューやデータルートは書きません。\n"
        "      データルートを書かなければ、今の設定を表示します。\n"
        "      例: sudo tobrel-data setup /srv/juku/data\n"
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
        "  export --xlsx ファイル [--from 日付] [--to 日付] [--student 番号]\n"
        "      成績を1記録1行のCSVに書き出します。文字コードは Shift-JIS（Excel でそのまま開けます）、\n"
        "      --utf8 で BOM 付き UTF-8。日付は 2024/04/01 の形で、その日を含みます。\n"
        "      ファイルを - にすると標準出力に書きます。--xlsx では同じ列をExcelファイル（.xlsx）に\n"
        "      書き出します（日付は日付、数は数、塾コードと名前は文字のまま）。\n"
        "      例: tobrel-data export 成績2024.csv --from 2024/04/01 --to 2025/03/31\n"
        "      例: tobrel-data export --xlsx 成績2024.xlsx --from 2024/04/01\n"
        "\n"
        "終了コード: 0 問題なし / 1 問題が見つかった、または失敗した / 2 使い方の誤り\n");
}

int runDataTool(const QStringList &arguments, const QString &programFolder, ToolConsole &io, const Clock &clock,
                const SettingPlaces &places)
{
    try {
        const CommandLine cl = parse(arguments);
        if (cl.help) {
            for (const QString &line : dataToolHelp().split(u'\n'))
                io.out(line);
            return ToolOk;
        }
        if (cl.version) {
            io.out(programVersionLine(QStringLiteral("tobrel-data")));
            return ToolOk;
        }
        if (cl.command.isEmpty() && !cl.options.isEmpty())
            throw UsageError{QStringLiteral("%1 というオプションはありません").arg(cl.options.first())};
        if (cl.command.isEmpty())
            throw UsageError{QStringLiteral("コマンドがありません（check、repair、backup、export、setup）")};
        if (cl.command == u"setup")
            return runSetup(cl, programFolder, places, io, clock);
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
            throw UsageError{QStringLiteral("「%1」というコマンドはありません（check、repair、backup、export、setup）")
                                 .arg(cl.command)};
        if (!cl.dataFolder.isEmpty() && !QFileInfo(cl.dataFolder).isDir())
            throw UsageError{QStringLiteral("--data のフォルダ %1 がありません").arg(cl.dataFolder)};
        if (!cl.dataFolder.isEmpty() && !cl.dataRoot.isEmpty())
            throw UsageError{QStringLiteral("--data と --data-root はどちらか一つにしてください")};
        if (!cl.dataFolder.isEmpty() && !cl.dataFolderName.isEmpty())
            throw UsageError{QStringLiteral("--data と --data-folder はどちらか一つにしてください"
                                            "（--data はデータフォルダそのものを指します）")};
        DataPlace place = locateData(programFolder, cl.dataFolder, ThisStart{cl.dataRoot, cl.dataFolderName}, places);
        place.waitNotice = [&io](const QString &why) { io.err(why); };
        return run(cl, place, io, clock);
    } catch (const UsageError &e) {
        io.err(QStringLiteral("tobrel-data: ") + e.text);
        io.err(QStringLiteral("使い方は tobrel-data --help で見られます。"));
        return ToolUsage;
    }
}

} // namespace tobrel
