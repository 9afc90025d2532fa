#include "datatool/DataCheck.h"

#include "app/Configuration.h"
#include "app/DataSetting.h"
#include "datatool/DataBackup.h"
#include "state/ProgramProfile.h"
#include "criteria/CriteriaTable.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "sound/SoundCues.h"
#include "sound/WavCheck.h"
#include "text/DataFileError.h"
#include "text/DayNumber.h"
#include "text/Cp932.h"
#include "text/Numbers.h"
#include "text/PathCase.h"
#include "text/DurableFile.h"
#include "text/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

namespace tobrel {

void CheckReport::problem(const QString &text)
{
    lines.push_back({Kind::Problem, text});
    ++problems;
}

void CheckReport::notice(const QString &text)
{
    lines.push_back({Kind::Notice, text});
    ++notices;
}

QString CheckReport::summary() const
{
    if (problems == 0 && notices == 0)
        return QStringLiteral("まとめ: 問題はありません");
    if (problems == 0)
        return QStringLiteral("まとめ: 問題はありません（注意 %1件）").arg(notices);
    return QStringLiteral("まとめ: 問題 %1件、注意 %2件").arg(problems).arg(notices);
}

QStringList CheckReport::text() const
{
    QStringList out;
    for (const Line &l : lines) {
        switch (l.kind) {
        case Kind::Heading:
            out << QStringLiteral("【%1】").arg(l.text);
            break;
        case Kind::Info:
            out << QStringLiteral("  ") + l.text;
            break;
        case Kind::Problem:
            out << QStringLiteral("  問題: ") + l.text;
            break;
        case Kind::Notice:
            out << QStringLiteral("  注意: ") + l.text;
            break;
        }
    }
    out << summary();
    return out;
}

namespace {

constexpr int kListed = 20; // findings of one kind listed one by one; the rest counted

QString more(int64_t rest) { return QStringLiteral("    ほか %1件").arg(rest); }

QString dateText(double day) { return dateFromDayNumber(day).toString(QStringLiteral("yyyy/MM/dd")); }

// ---- configuration ----

void checkConfiguration(const DataPlace &place, CheckReport &r)
{
    const Configuration &c = place.config;
    r.heading(QStringLiteral("設定"));
    if (!place.pathDataFile.isEmpty())
        r.info(QStringLiteral("パスデータ: %1").arg(place.pathDataFile));
    if (!place.rootOrigin.isEmpty())
        r.info(QStringLiteral("データルートの指定: %1").arg(place.rootOrigin));
    if (!place.foldersKnown()) {
        r.problem(place.foldersError);
        r.info(QStringLiteral("データフォルダが分からないので、ほかのファイルは調べられません。"
                              "--data でデータフォルダを指定できます。"));
        return;
    }
    r.info(QStringLiteral("データルート: %1").arg(c.DataRoot));
    r.info(QStringLiteral("データフォルダ: %1").arg(c.DataFolder));
    if (!QFileInfo(c.DataFolder).isDir())
        r.problem(QStringLiteral("データフォルダ %1 がありません").arg(c.DataFolder));
    // A data folder that is a link inside the share works, but whoever may change the
    // link decides where every PC's runs go. A data root that is a link (a mount point,
    // say) is the PC's own business and is not noted.
    if (const QFileInfo entry(QDir::cleanPath(c.DataFolder)); entry.isSymLink())
        r.notice(QStringLiteral("データフォルダ %1 はシンボリックリンクです（リンク先: %2）。"
                                "リンクを書き換えられる人が、記録の行き先を変えられます")
                     .arg(c.DataFolder, entry.symLinkTarget()));
    if (!place.commonDataError.isEmpty()) {
        r.problem(place.commonDataError);
        return;
    }
    r.info(QStringLiteral("共通データ: 塾コード「%1」 塾名「%2」 年度の始まり %3月")
               .arg(c.SchoolCode, c.SchoolName)
               .arg(c.SchoolYearStartMonth));
}

// ---- roster ----

struct RosterFacts {
    bool read = false;
    std::vector<bool> present = std::vector<bool>(65536, false); // by student number + 32768
};

RosterFacts checkRoster(const DataPlace &place, CheckReport &r)
{
    RosterFacts facts;
    const QString path = place.config.DataRoot + rosterFileName();
    r.heading(QStringLiteral("名簿 %1").arg(path));
    std::map<int, int> statuses;
    std::map<int, std::vector<int>> linesOf; // student number -> lines
    std::map<int, QString> firstName;
    QStringList outOfRange;
    int total = 0;
    int listed = 0;
    try {
        ReadRosterFile(
            path,
            [&](const RosterEntry &e) {
                ++total;
                ++statuses[e.status];
                const int number = e.record.StudentNumber;
                const bool shown = e.status == 0 || (e.status == 2 && place.config.CommonValue3 == 1);
                if (number < 0 || number > kMaxStudent) {
                    outOfRange << QStringLiteral("%1行目 生徒番号 %2「%3」")
                                      .arg(e.line)
                                      .arg(number)
                                      .arg(e.record.Name.trimmed());
                    return;
                }
                listed += shown;
                facts.present[number + 32768] = true;
                linesOf[number].push_back(e.line);
                if (!firstName.count(number))
                    firstName[number] = e.record.Name.trimmed();
            },
            OutOfRangeStudents::PassOn);
        facts.read = true;
    } catch (const DataFileError &e) {
        r.problem(e.message());
        if (total == 0)
            return facts;
        r.info(QStringLiteral("（読めたところまで: 生徒 %1人）").arg(total));
    }
    QStringList byStatus;
    for (const auto &[status, count] : statuses)
        byStatus << QStringLiteral("状態%1: %2人").arg(status).arg(count);
    r.info(QStringLiteral("生徒 %1人（%2）、名前の一覧に出る生徒 %3人")
               .arg(total)
               .arg(byStatus.isEmpty() ? QStringLiteral("なし") : byStatus.join(QStringLiteral("、")))
               .arg(listed));
    if (total == 0)
        r.notice(QStringLiteral("名簿に生徒がいません"));
    if (listed > kMaxStudent)
        r.problem(QStringLiteral("名前の一覧に出る生徒が%1人を超えています（プログラムは名簿を読めません）")
                      .arg(kMaxStudent));
    if (!outOfRange.empty()) {
        r.problem(QStringLiteral("生徒番号が0から%1の範囲にない生徒 %2人（プログラムは名簿を読めません）")
                      .arg(kMaxStudent)
                      .arg(outOfRange.size()));
        for (qsizetype i = 0; i < outOfRange.size() && i < kListed; ++i)
            r.info(QStringLiteral("  ") + outOfRange[i]);
        if (outOfRange.size() > kListed)
            r.info(more(static_cast<int64_t>(outOfRange.size()) - kListed));
    }
    int duplicates = 0;
    for (const auto &[number, lines] : linesOf) {
        if (lines.size() < 2)
            continue;
        if (duplicates++ >= kListed)
            continue;
        QStringList at;
        for (int l : lines)
            at << QStringLiteral("%1行目").arg(l);
        r.problem(
            QStringLiteral("生徒番号 %1 が%2回あります（%3、最初は「%4」）。成績は後の行の生徒のものとして表示されます")
                .arg(number)
                .arg(lines.size())
                .arg(at.join(QStringLiteral("、")), firstName[number]));
    }
    if (duplicates > kListed) {
        r.problems += duplicates - kListed;
        r.info(more(duplicates - kListed));
    }
    return facts;
}

// ---- criteria ----

void checkCriteria(const DataPlace &place, int levelCount, CheckReport &r)
{
    const QString path = place.config.DataFolder + criteriaFileName();
    r.heading(QStringLiteral("合格基準 %1").arg(path));
    // A level whose line is missing keeps this mark.
    CriteriaTable marked;
    marked.CritTargetTime.fill(INT32_MIN);
    CriteriaTable t;
    try {
        t = LoadCriteria(path, marked);
    } catch (const DataFileError &e) {
        r.problem(e.message());
        return;
    }
    for (int L = 1; L <= levelCount; ++L) {
        if (t.CritTargetTime[L] == INT32_MIN) {
            r.problem(QStringLiteral("レベル%1の行がありません（基準がすべて0になります）").arg(L));
            continue;
        }
        r.info(QStringLiteral("レベル%1: 目標%2秒 最低%3秒 クリア%4点・%5回 倍率%6 禁止%7回・%8点 判定%9日")
                   .arg(L)
                   .arg(t.CritTargetTime[L])
                   .arg(t.CritPassTime[L])
                   .arg(t.CritClearPoints[L])
                   .arg(t.CritClearCount[L])
                   .arg(CStr(t.CritPointRate[L]), t.CritOverRuns[L].toText(), t.CritOverPoints[L].toText(),
                        t.CritPassDays[L].toText()) +
               QStringLiteral(" 禁止期間%1日").arg(t.CritOverDays[L].toText()));
        if (t.CritTargetTime[L] <= 0)
            r.problem(QStringLiteral("レベル%1の目標Timeが%2です（得点が付きません）").arg(L).arg(t.CritTargetTime[L]));
        if (t.CritPassTime[L] <= 0)
            r.problem(QStringLiteral("レベル%1の最低Timeが%2です（制限時間が0秒になり、すぐに時間切れになります）")
                          .arg(L)
                          .arg(t.CritPassTime[L]));
    }
}

// ---- sounds ----

bool playedByTheProgram(int kind)
{
    return kind == CueCorrect2 || kind == CueWrong2 || kind == CuePersonalBest2 || kind == CueFail1;
}

void checkSounds(const DataPlace &place, const WavFormatCheck &wavFormat, CheckReport &r)
{
    const QString table = place.config.SoundFolder + soundCueFileName();
    r.heading(QStringLiteral("音 %1").arg(table));
    // Each WAV once, with the cues that name it, in the order of the table.
    std::vector<std::pair<QString, QStringList>> wavs;
    auto add = [&](const QString &name, const QString &use) {
        for (auto &w : wavs)
            if (w.first == name) {
                if (!w.second.contains(use))
                    w.second << use;
                return;
            }
        wavs.push_back({name, {use}});
    };
    SoundState sound;
    try {
        LoadSoundCues(table, sound);
        for (int k = 1; k <= kCueKinds; ++k) {
            const auto &cue = sound.SoundCues[k];
            const QString kind = cueKindName(k);
            if (cue[21].isEmpty() && cue[1].isEmpty()) {
                if (playedByTheProgram(k))
                    r.problem(QStringLiteral("「%1」の音が指定されていません（鳴らすたびに失敗します）").arg(kind));
                continue;
            }
            if (cue[21].isEmpty())
                r.notice(QStringLiteral("「%1」の並びが「*」で閉じていません（いつも最初の音が鳴ります）").arg(kind));
            const int count = cue[21].isEmpty() ? 20 : static_cast<int>(leadingNumber(cue[21]));
            if (count == 0 && playedByTheProgram(k))
                r.problem(QStringLiteral("「%1」の音が1つもありません（鳴らすたびに失敗します）").arg(kind));
            for (int j = 1; j <= count && j <= 20; ++j)
                if (!cue[j].isEmpty())
                    add(cue[j], kind);
        }
    } catch (const DataFileError &e) {
        r.problem(e.message());
    }
    for (const char16_t *fixed : {u"最高1", u"合格", u"警告1"})
        add(QString::fromUtf16(fixed), QStringLiteral("決まった音"));

    int playable = 0;
    for (const auto &[name, uses] : wavs) {
        // The program plays no name that would leave the sound folder: not looked for.
        if (!isSafeCueName(name)) {
            r.problem(QStringLiteral("音の名前「%1」は音フォルダの外を指しています。鳴らしません（%2）")
                          .arg(name, uses.join(QStringLiteral("・"))));
            continue;
        }
        const QString wanted = place.config.SoundFolder + name + QStringLiteral(".wav");
        const QString path = pathIgnoringCase(wanted);
        const QString usedBy = uses.join(QStringLiteral("・"));
        const QFileInfo info(path);
        if (!info.exists()) {
            r.problem(QStringLiteral("%1 がありません（%2）").arg(wanted, usedBy));
            continue;
        }
        QFile f(path);
        errno = 0;
        if (!info.isFile() || !f.open(QIODevice::ReadOnly)) {
            r.problem(QStringLiteral("%1 を読めません（%2）: %3").arg(path, usedBy, fileFailureText(errno, path)));
            continue;
        }
        if (f.size() > kWavMaxFileBytes) {
            r.problem(QStringLiteral("%1 は大きすぎます（%2バイト、%3）").arg(path).arg(f.size()).arg(usedBy));
            continue;
        }
        const QByteArray bytes = f.readAll();
        if (bytes.size() != f.size()) {
            r.problem(QStringLiteral("%1 を最後まで読めません（%2）").arg(path, usedBy));
            continue;
        }
        const QString format = wavFormat ? wavFormat(bytes) : QString();
        if (!format.isEmpty()) {
            r.problem(QStringLiteral("%1 は鳴らせません: %2（%3）").arg(path, format, usedBy));
            continue;
        }
        ++playable;
    }
    r.info(QStringLiteral("WAVファイル %1個のうち %2個は鳴らせます").arg(wavs.size()).arg(playable));
}

// ---- results ----

struct ResultsFacts {
    int64_t damaged = 0;
    std::vector<QString> damagedListed;
    std::array<int64_t, kLevelSlots> perLevel{};
    int64_t deleted = 0;
    int64_t timedOut = 0;
    int64_t studentZero = 0; // the reader leaves them out
    double firstDay = INFINITY, lastDay = -INFINITY;
    int64_t future = 0;
    int64_t firstFuture = 0;
    std::map<QByteArray, int64_t> otherSchools;
    int64_t otherSchoolCount = 0;
    std::vector<int64_t> notInRoster = std::vector<int64_t>(65536, 0);
    int64_t notInRosterCount = 0;
};

// Runs this PC kept while the shared results file could not take them; the program
// sends them at its next open of that results file, and only of that one.
void checkPendingRuns(const DataPlace &place, CheckReport &r)
{
    const QString resultsPath = place.config.DataFolder + resultsFileName();
    ResultsFile results(resultsPath);
    results.setPendingFile(place.config.localFolder() + pendingFileName());
    const QFileInfo pending(results.pendingFile());
    if (const QString problem = results.pendingFileProblem(); !problem.isEmpty())
        r.problem(problem);
    else if (pending.exists() && pending.size() > 0)
        r.notice(QStringLiteral("このパソコンに、成績ファイル %1 へまだ送られていない記録が %2件あります（%3）。"
                                "プログラムが次にこの成績ファイルを開くときに送ります")
                     .arg(resultsPath)
                     .arg(pending.size() / kRecordSize)
                     .arg(pending.filePath()));
    if (place.userStateFolder.isEmpty())
        return;
    // Runs this user kept for other results files wait for a start on those.
    const QDir state(place.userStateFolder);
    const QString here = QFileInfo(place.config.localFolder()).absoluteFilePath();
    for (const QFileInfo &folder :
         state.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name)) {
        const QFileInfo kept(folder.absoluteFilePath() + u'/' + pendingFileName());
        if (QFileInfo(folder.absoluteFilePath() + u'/').absoluteFilePath() == here || kept.isSymLink() ||
            !kept.isFile() || kept.size() == 0)
            continue;
        const QString target = dataFolderOfKeptRuns(folder.fileName());
        if (sameFileOrFolder(target, place.config.DataFolder)) {
            // This very data folder under another name (a link, a second mount).
            r.notice(QStringLiteral("このパソコンに、成績ファイル %1 へまだ送られていない記録が %2件あります（%3。"
                                    "データフォルダを %4 と指定したプログラムが送ります）")
                         .arg(resultsPath, QString::number(kept.size() / kRecordSize), kept.filePath(), target));
            continue;
        }
        r.notice(QStringLiteral("このパソコンに、ほかの成績ファイル %1 へ送る記録が %2件あります（%3）。"
                                "そのデータでプログラムを起動すると送ります")
                     .arg(target.isEmpty() ? QStringLiteral("（フォルダ名の長いもの）") : target + resultsFileName())
                     .arg(kept.size() / kRecordSize)
                     .arg(kept.filePath()));
    }
    // Kept before runs were kept apart for each results file: where they belong is not
    // known, so they are sent nowhere until someone moves them.
    const QFileInfo unplaced(state.filePath(pendingFileName()));
    if (unplaced.isFile() && !unplaced.isSymLink() && unplaced.size() > 0 && pending.filePath() != unplaced.filePath())
        r.notice(QStringLiteral("%1 に、どの成績ファイルへ送るのか分からない記録が %2件あります。"
                                "この成績ファイル（%3）の記録なら %4 に移すと、プログラムが次に開くときに送ります")
                     .arg(unplaced.filePath())
                     .arg(unplaced.size() / kRecordSize)
                     .arg(resultsPath, place.config.localFolder()));
}

// Work folders of backups killed halfway, in the data folder's backup folder: each may
// hold a whole copy of the data folder.
void checkUnfinishedBackups(const DataPlace &place, CheckReport &r)
{
    Fd data(openFolder(place.config.DataFolder));
    Fd backups(data.get() >= 0
                   ? openSubfolderAt(data.get(), QFileInfo(defaultBackupFolder(place.config.DataFolder)).fileName())
                   : -1);
    if (backups.get() < 0)
        return;
    for (const QString &left : unfinishedBackups(backups.get(), place.config.ProgramFolderName)) {
        Fd folder(openSubfolderAt(backups.get(), left));
        int64_t bytes = 0;
        if (folder.get() >= 0) {
            QDir listing(defaultBackupFolder(place.config.DataFolder) + u'/' + left);
            for (const QFileInfo &f : listing.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks))
                bytes += f.size();
        }
        r.notice(QStringLiteral("途中で止まったバックアップの残り %1 があります（%2 MB）。次の backup で消えます")
                     .arg(defaultBackupFolder(place.config.DataFolder) + u'/' + left)
                     .arg(QString::number(bytes / 1048576.0, 'f', 1)));
    }
}

void checkResults(const DataPlace &place, const RosterFacts &roster, int levelCount, const QDate &today, CheckReport &r)
{
    const QString path = place.config.DataFolder + resultsFileName();
    r.heading(QStringLiteral("成績 %1").arg(path));
    checkPendingRuns(place, r);
    // A link at the name (even one that leads nowhere) is there: the read below refuses it.
    if (const QFileInfo named(path); !named.exists() && !named.isSymLink()) {
        r.info(QStringLiteral("成績ファイルはまだありません（最初の記録で作られます）"));
        return;
    }
    const QByteArray thisSchool = ResultRecord::schoolField(place.config.SchoolCode);
    const bool schoolKnown = place.commonDataError.isEmpty();
    const double todayNumber = dayNumber(today);

    ResultsFacts f;
    ResultsFile::ScanInfo info;
    QString error;
    const bool ok =
        toolResultsFile(path, place.waitNotice)
            .scan(
                [&](int64_t first, const char *bytes, int64_t count) {
                    for (int64_t k = 0; k < count; ++k) {
                        const char *p = bytes + k * kRecordSize;
                        const ResultRecord::Numbers n = ResultRecord::decodeNumbers(p);
                        if (isDamagedRecord(n)) {
                            if (f.damaged++ < kListed)
                                f.damagedListed.push_back(describeRecord(first + k, ResultRecord::decodeNumbers(p)));
                            continue;
                        }
                        if (n.level == 0) {
                            ++f.deleted;
                            continue;
                        }
                        ++f.perLevel[n.level];
                        f.timedOut += isTimedOut(n.time);
                        f.studentZero += n.student == 0;
                        // A record that is not damaged carries a date within 1900..2200.
                        f.firstDay = std::min(f.firstDay, n.date);
                        f.lastDay = std::max(f.lastDay, n.date);
                        if (n.date > todayNumber && f.future++ == 0)
                            f.firstFuture = first + k;
                        const bool otherSchool = schoolKnown && !ResultRecord::isSchool(p, thisSchool);
                        if (otherSchool) {
                            ++f.otherSchoolCount;
                            const QByteArray code = ResultRecord::schoolOf(p).toByteArray();
                            if (f.otherSchools.size() < kListed || f.otherSchools.count(code))
                                ++f.otherSchools[code];
                        } else if (roster.read && !roster.present[n.student + 32768]) {
                            ++f.notInRoster[n.student + 32768];
                            ++f.notInRosterCount;
                        }
                    }
                    return true;
                },
                &info, &error, 8192);
    if (!ok) {
        r.problem(error);
        return;
    }
    r.info(QStringLiteral("記録 %1件（%2バイト）")
               .arg(info.recordCount)
               .arg(info.recordCount * kRecordSize + info.tailBytes));
    if (f.lastDay >= f.firstDay)
        r.info(QStringLiteral("日付 %1 〜 %2").arg(dateText(f.firstDay), dateText(f.lastDay)));
    QStringList levels;
    for (int L = 1; L <= kMaxLevel; ++L)
        if (f.perLevel[L] > 0)
            levels << QStringLiteral("レベル%1 %2件").arg(L).arg(f.perLevel[L]);
    if (!levels.isEmpty())
        r.info(QStringLiteral("レベル別: ") + levels.join(QStringLiteral("、")));
    // A level past the program's own is kept in the file but shown nowhere: no column of
    // the hub, no sheet and no ranking counts it.
    int64_t pastLevels = 0;
    for (int L = std::max(levelCount, 0) + 1; L <= kMaxLevel; ++L)
        pastLevels += f.perLevel[L];
    if (pastLevels > 0)
        r.notice(QStringLiteral("レベル%1より上の記録 %2件（このプログラムのレベルは%1までです。集計には使われません）")
                     .arg(levelCount)
                     .arg(pastLevels));
    if (f.timedOut > 0)
        r.info(QStringLiteral("時間切れの記録 %1件").arg(f.timedOut));
    if (f.deleted > 0)
        r.info(QStringLiteral("レベル0（消去済み）の記録 %1件（集計には使われません）").arg(f.deleted));

    if (info.tailBytes > 0)
        r.problem(QStringLiteral("最後の%1バイトは途中で切れた記録です（集計には使われません。repair で取り除けます）")
                      .arg(info.tailBytes));
    if (f.damaged > 0) {
        r.problem(QStringLiteral(
                      "壊れた記録 %1件（レベル・生徒番号・日付のどれかが範囲外か、タイムが負。集計には使われません。"
                      "先生の「データ変更」か repair で直せます）")
                      .arg(f.damaged));
        for (const QString &line : f.damagedListed)
            r.info(QStringLiteral("  ") + line);
        if (f.damaged > kListed)
            r.info(more(f.damaged - kListed));
    }
    if (f.studentZero > 0)
        r.notice(QStringLiteral("生徒番号0の記録 %1件（集計には使われません）").arg(f.studentZero));
    if (f.future > 0)
        r.notice(QStringLiteral(
                     "今日（%1）より後の日付の記録 %2件（最初は%3番目。記録したパソコンの日付を確かめてください）")
                     .arg(today.toString(QStringLiteral("yyyy/MM/dd")))
                     .arg(f.future)
                     .arg(f.firstFuture));
    if (f.otherSchoolCount > 0) {
        QStringList codes;
        for (const auto &[code, count] : f.otherSchools)
            codes << QStringLiteral("「%1」%2件").arg(fromCp932(code).trimmed()).arg(count);
        r.notice(QStringLiteral("他塾の記録 %1件（この塾のコードは「%2」。記録の塾コード: %3）")
                     .arg(f.otherSchoolCount)
                     .arg(place.config.SchoolCode, codes.join(QStringLiteral("、"))));
    }
    if (f.notInRosterCount > 0) {
        QStringList numbers;
        int students = 0;
        for (int i = 0; i < 65536; ++i) {
            if (f.notInRoster[i] == 0)
                continue;
            if (students++ < kListed)
                numbers << QStringLiteral("%1番 %2件").arg(i - 32768).arg(f.notInRoster[i]);
        }
        if (students > kListed)
            numbers << QStringLiteral("ほか%1人").arg(students - kListed);
        r.notice(QStringLiteral("名簿にない生徒の記録 %1件（%2）")
                     .arg(f.notInRosterCount)
                     .arg(numbers.join(QStringLiteral("、"))));
    }
}

} // namespace

CheckReport checkData(const DataPlace &place, const QDate &today, const WavFormatCheck &wavFormat)
{
    CheckReport r;
    checkConfiguration(place, r);
    if (!place.foldersKnown())
        return r;
    // Told with the data folder's settings, where the backup folder lies.
    checkUnfinishedBackups(place, r);
    const RosterFacts roster = checkRoster(place, r);
    const auto profile = std::make_unique<SharedState>();
    ApplyProgramProfileTables(*profile);
    checkCriteria(place, profile->profile.LevelCount, r);
    checkSounds(place, wavFormat, r);
    checkResults(place, roster, profile->profile.LevelCount, today, r);
    return r;
}

} // namespace tobrel
