#include "roster/NameList.h"

#include "state/SharedState.h"
#include "results/Tally.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/FixedWidth.h"
#include "text/DayNumber.h"
#include "text/Numbers.h"

#include <QFileInfo>

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace tobrel {

QString runsTodayField(long long sum)
{
    return sum == 0 ? QStringLiteral("     ")
                    : rightChars(QStringLiteral("  ") + QString::number(sum), 3) + QStringLiteral("回");
}

QString pointsTodayField(long long sum)
{
    return sum == 0 ? QStringLiteral("  　") : rightChars(QStringLiteral("   ") + QString::number(sum), 4);
}

QString runsSoFarField(long long sum)
{
    return sum == 0 ? QStringLiteral("     　")
                    : rightChars(QStringLiteral("      ") + QString::number(sum), 5) + QStringLiteral("回");
}

QString pointsSoFarField(long long sum)
{
    return sum == 0 ? QStringLiteral("       ") : rightChars(QStringLiteral("      ") + QString::number(sum), 7);
}

QString displayEntry(const RosterRecord &record, int schoolYear, int displayMode, long long runsToday,
                     long long pointsToday, long long runsSoFar, long long pointsSoFar)
{
    QString first, second;
    switch (displayMode) {
    case RunsTodaySoFar:
        first = runsTodayField(runsToday);
        second = runsSoFarField(runsSoFar);
        break;
    case PointsTodaySoFar:
        first = pointsTodayField(pointsToday);
        second = pointsSoFarField(pointsSoFar);
        break;
    case TodayPointsRuns:
        first = pointsTodayField(pointsToday);
        second = runsTodayField(runsToday);
        break;
    case SoFarPointsRuns:
        first = pointsSoFarField(pointsSoFar);
        second = runsSoFarField(runsSoFar);
        break;
    default:
        return {};
    }
    const ListGrade grade = ListGradeLabel(GradeIndexOf(schoolYear, record.BirthYear));
    const int width = (displayMode == PointsTodaySoFar || grade.gradeNumber > 0) ? 9 : 11;
    // A name longer than its column is never cut (two students must never look the
    // same): it gets no filler and its totals move right. The filler is counted in cells
    // of the fixed-pitch list, so a name in half-width kana or letters ends where a name
    // of as many full-width characters would, and the totals stay in line.
    const QString head = grade.label + u' ' + trimBlanks(record.Name);
    const QString lead = grade.label + u' ';
    const int column = displayCells(lead) + 2 * std::max<int>(0, width - static_cast<int>(lead.size()));
    const int fill = std::max(0, column - displayCells(head));
    const QString filler = QString(fill / 2, QChar(0x3000)) + (fill % 2 ? QStringLiteral(" ") : QString());
    const QString year = rightChars(QStringLiteral("0000") + QString::number(std::abs(record.BirthYear)), 4);
    return year + head + filler + first + u'/' + second + u'*' + QString::number(record.StudentNumber);
}

void sortJapanese(QStringList &texts)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale::getJapanese(), status));
    if (U_FAILURE(status) || !collator) {
        std::stable_sort(texts.begin(), texts.end());
        return;
    }
    // Each text's sort key once: keys compare byte by byte in the collator's order, so
    // the sort compares bytes instead of running the collator on every pair.
    const qsizetype n = texts.size();
    std::vector<uint8_t> keys;
    std::vector<size_t> keyAt(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        const QString &t = texts[i];
        const auto *chars = reinterpret_cast<const UChar *>(t.utf16());
        const auto length = static_cast<int32_t>(t.size());
        const size_t at = keys.size();
        keys.resize(at + 64 + 4 * static_cast<size_t>(length));
        int32_t needed = collator->getSortKey(chars, length, keys.data() + at, static_cast<int32_t>(keys.size() - at));
        if (needed > static_cast<int32_t>(keys.size() - at)) {
            keys.resize(at + static_cast<size_t>(needed));
            needed = collator->getSortKey(chars, length, keys.data() + at, needed);
        }
        keys.resize(at + static_cast<size_t>(needed)); // ends in a zero byte
        keyAt[static_cast<size_t>(i)] = at;
    }
    std::vector<qsizetype> order(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i)
        order[static_cast<size_t>(i)] = i;
    const auto *base = reinterpret_cast<const char *>(keys.data());
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return std::strcmp(base + keyAt[static_cast<size_t>(a)], base + keyAt[static_cast<size_t>(b)]) < 0;
    });
    QStringList sorted;
    sorted.reserve(n);
    for (qsizetype i : order)
        sorted << std::move(texts[i]);
    texts = std::move(sorted);
}

int studentNumberOfEntry(const QString &list3Entry)
{
    // The number follows the "*" the list appends; a name may hold "*" too.
    const qsizetype star = list3Entry.lastIndexOf(u'*');
    return star < 0 ? 0 : static_cast<int>(leadingNumber(list3Entry.mid(star + 1)));
}

namespace {

// One attempt of the procedure; errors carry the progress number reached.
struct Attempt {
    double progress = 1;
    NameListResult result;
    ReadReport resultsRead; // a results file the reader gave up on
};

// The results reader has its own retries; a failure it reports is final.
struct ReaderGaveUp {};

void build(SharedState &state, const Clock &clock, const WaitFunction &wait, int displayMode, const QString &filterText,
           Attempt &a)
{
    a.progress = 1;
    state.roster.SchoolYear = ComputeSchoolYear(clock.today(), state.config.SchoolYearStartMonth);
    a.progress = 1.5;
    const ReadReport report = TallyResults(state, clock, sharedResultsFile(state, wait));
    if (!report.ok()) {
        a.resultsRead = report;
        throw ReaderGaveUp();
    }
    a.progress = 2;
    NameListResult &r = a.result;
    r = NameListResult();
    r.List1 << namePlaceholder();

    const QString rosterPath = state.config.DataRoot + rosterFileName();
    FieldReader roster = FieldReader::openFile(rosterPath);
    a.progress = 3;
    const std::vector<RosterEntry> listed = LoadRosterTables(state, roster);
    if (listed.empty())
        r.rosterNotice = QStringLiteral("名簿 %1 に、名前の一覧に出る生徒が1人もいません。\n"
                                        "先生が名簿を確かめてください。")
                             .arg(rosterPath);
    const Tallies &t = state.tallies;
    // Only the levels the tally wrote hold anything but zeros.
    std::vector<int> levelsWithRuns;
    for (int L = 1; L <= kMaxLevel; ++L)
        if (t.cells.rowWritten(L))
            levelsWithRuns.push_back(L);
    for (const RosterEntry &e : listed) {
        a.progress = 5;
        const int s = e.record.StudentNumber;
        double runsToday = 0;
        long long pointsToday = 0, runsSoFar = 0, pointsSoFar = 0;
        for (const int L : levelsWithRuns) {
            runsToday += t.TodayRunCount(L, s);
            pointsToday += t.TodayPoints(L, s);
            runsSoFar += t.AllRunCount(L, s);
            pointsSoFar += t.AllPoints(L, s);
        }
        a.progress = 4;
        const QString entry = displayEntry(e.record, state.roster.SchoolYear, displayMode,
                                           static_cast<long long>(runsToday), pointsToday, runsSoFar, pointsSoFar);
        if (!entry.isEmpty())
            r.List2 << entry;
    }
    sortJapanese(r.List2);

    a.progress = 10;
    const QStringList offered = gradeFilterTexts();
    const bool knownFilter = offered.contains(filterText);
    const GradeFilter passes(filterText);
    for (const QString &entry : r.List2) {
        const int birthYear = static_cast<int>(leadingNumber(entry.left(4)));
        const int g = GradeIndexOf(state.roster.SchoolYear, birthYear);
        if (!knownFilter || !passes.matches(g))
            continue;
        const qsizetype star = entry.lastIndexOf(u'*');
        r.List1 << entry.mid(4, star - 4);
        r.List3 << entry.mid(4);
    }
}

} // namespace

NameListResult 名簿表示(SharedState &state, const Clock &clock, const WaitFunction &wait, int displayMode,
                        const QString &filterText)
{
    const QString whatFailed = QStringLiteral("名簿を表示できません。");
    auto where = [](double progress) { return QStringLiteral("名簿表示 ") + CStr(progress); };
    int retryCount = 0;
    for (;;) {
        Attempt a;
        try {
            build(state, clock, wait, displayMode, filterText, a);
            return a.result;
        } catch (const ReaderGaveUp &) {
            NameListResult failed;
            failed.fatalMessage =
                stopMessage(whatFailed, a.resultsRead.fatalError, a.resultsRead.fatalErrorNumber, where(a.progress));
            return failed;
        } catch (const DataFileError &e) {
            ++retryCount;
            if (retryCount >= kNameListTries) {
                NameListResult failed;
                failed.fatalMessage = stopMessage(whatFailed, e.detail(), e.number(), where(a.progress));
                return failed;
            }
            if (wait)
                wait(5.0, QStringLiteral("%1を読めません（%2）。\n5秒後にもう一度読みます（%3回目／%4回）。\n%5")
                              .arg(QFileInfo(e.file()).fileName(), e.problem())
                              .arg(retryCount + 1)
                              .arg(kNameListTries)
                              .arg(e.file()));
        }
    }
}

} // namespace tobrel

namespace tobrel {

QString shownStudentName(const SharedState &state, int student)
{
    if (student < 0 || student > kMaxStudent)
        return {};
    const RosterTables &t = state.roster;
    return ListGradeLabel(GradeIndexOf(t.SchoolYear, t.StudentBirthYears[student])).label + u' ' +
           trimBlanks(t.StudentNames[student]);
}

bool LogIn(SharedState &state, const Clock &clock, const QString &shownName, const QString &shownNumber)
{
    if (shownName == chooseYourName() || shownName.isEmpty())
        return false;
    const int s = static_cast<int>(leadingNumber(shownNumber));
    if (s < 0 || s > kMaxStudent)
        return false;
    CurrentStudentState &st = state.student;
    st.LoginTime = static_cast<double>(roundHalfEven(clock.timeOfDay()));
    st.loginDay = static_cast<int>(dayNumber(clock.today()));
    st.CurrentStudent = static_cast<int16_t>(s);
    st.CurrentStudentName = state.roster.StudentNames[s];
    st.CurrentStudentGroup = state.roster.StudentGradeLabels[s];
    return true;
}

ProgramMenuCommand programMenuCommand(const QString &programFolder, QChar sep)
{
    ProgramMenuCommand c;
    c.program = programFolder.chopped(1) + sep + QStringLiteral("..") + sep + QStringLiteral("起動") + sep +
                QStringLiteral("プログラムメニューc.exe");
    c.arguments = QStringList{QStringLiteral("001")};
    c.commandLine = c.program + QStringLiteral(" 001");
    return c;
}

} // namespace tobrel
