#include "FuzzEntries.h"

#include "app/Configuration.h"
#include "criteria/CriteriaTable.h"
#include "drill/EndOfRun.h"
#include "hub/Availability.h"
#include "hub/ColumnTexts.h"
#include "hub/PointsRanking.h"
#include "hub/Rankings.h"
#include "hub/ResultViews.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "roster/NameList.h"
#include "roster/Roster.h"
#include "sound/SdlAudioDevice.h"
#include "sound/SoundCues.h"
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace tobrel::fuzz {
namespace {

// A clock that stands still on a Wednesday morning.
class StillClock final : public Clock {
public:
    QDate today() const override { return QDate(2024, 2, 7); }
    double timeOfDay() const override { return 10 * 3600 + 5 * 60; }
    int64_t tickMs() const override { return ++m_ticks; }

private:
    mutable int64_t m_ticks = 0;
};

class FirstRandom final : public RandomSource {
public:
    void seed(double) override {}
    double next() override
    {
        m_value += 0.37;
        m_value -= static_cast<int>(m_value);
        return m_value;
    }

private:
    double m_value = 0;
};

class NoFailure final : public SoundFailureHandler {
public:
    void soundFailed(const QString &, const QString &) override {}
};

// A temporary folder for the inputs that the program reads from files; in memory
// where the machine has a tmpfs, so that millions of inputs do not wear a disk.
const QString &scratchFolder()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        auto d = QFileInfo(shm).isWritable()
                     ? std::make_unique<QTemporaryDir>(shm + QStringLiteral("/tobrel-fuzz-XXXXXX"))
                     : std::make_unique<QTemporaryDir>();
        return d;
    }();
    static const QString path = dir->path() + u'/';
    return path;
}

void writeScratch(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// The demo school's criteria for six levels.
void demoCriteria(CriteriaTable &c)
{
    const int target[] = {0, 30, 40, 50, 60, 70, 80};
    for (int L = 1; L <= 6; ++L) {
        c.CritTargetTime[L] = target[L];
        c.CritPassTime[L] = target[L] * 2;
        c.CritClearPoints[L] = 30 + 10 * L;
        c.CritClearCount[L] = static_cast<int16_t>(3 + L);
        c.CritPointRate[L] = 1.0f + 0.25f * L;
        c.CritOverRuns[L] = Variant(L == 3 ? 0 : 20);
        c.CritOverPoints[L] = Variant(L == 4 ? 300 : 0);
        c.CritPassDays[L] = Variant(7);
        c.CritOverDays[L] = Variant(1);
    }
}

// A shared state as after a login: profile, criteria, a roster of a few students of
// several grades, the data folder in the scratch folder.
SharedState &loggedInState()
{
    static SharedState *state = [] {
        auto *s = new SharedState;
        ApplyProgramProfileTables(*s);
        SetProgramTitle(*s);
        demoCriteria(s->criteria);
        s->config.DataRoot = scratchFolder();
        s->config.DataFolder = scratchFolder() + QStringLiteral("data/");
        QDir().mkpath(s->config.DataFolder);
        s->config.SoundFolder = scratchFolder() + QStringLiteral("音フォルダ/");
        s->config.SchoolCode = QStringLiteral("01234");
        s->config.SchoolYearStartMonth = 4;
        s->roster.SchoolYear = 2023;
        for (int k = 1; k <= 12; ++k) {
            const int number = k == 12 ? 5000 : k * 3;
            s->roster.RosterNumbers[k] = static_cast<int16_t>(number);
            s->roster.StudentNames[number] = fixedRosterText(QStringLiteral("生徒%1").arg(k));
            s->roster.StudentBirthYears[number] = static_cast<int16_t>(2023 - (k - 2) - 6);
        }
        s->roster.RosterCount = 12;
        s->student.CurrentStudent = 3;
        return s;
    }();
    return *state;
}

// Reads fields in every way the readers do, until the text ends or the reader stops.
void fieldReader(const QByteArray &bytes)
{
    try {
        FieldReader r = FieldReader::fromBytes(bytes, QStringLiteral("fuzz.txt"));
        for (int i = 0; !r.atEnd() && i <= bytes.size(); ++i) {
            switch (i % 6) {
            case 0:
                r.readText();
                break;
            case 1:
                r.readNumber();
                break;
            case 2:
                r.readVariant().toText();
                break;
            case 3:
                r.readInteger<int16_t>(QStringLiteral("f"));
                break;
            case 4:
                r.readNumberWithin(-1000, 1000, QStringLiteral("f"));
                break;
            default:
                r.readFiniteVariant(QStringLiteral("f")).toNumber();
                break;
            }
        }
    } catch (const DataFileError &e) {
        e.message();
    }
}

void pathData(const QByteArray &bytes)
{
    try {
        FieldReader r = FieldReader::fromBytes(bytes, pathDataFileName());
        ReadPathData(r);
    } catch (const DataFileError &e) {
        e.message();
    }
}

void commonData(const QByteArray &bytes)
{
    try {
        FieldReader r = FieldReader::fromBytes(bytes, commonDataFileName());
        Configuration config;
        ReadCommonData(r, config);
        ResultRecord record;
        record.setSchool(config.SchoolCode);
        record.encode();
    } catch (const DataFileError &e) {
        e.message();
    }
}

// The roster load into the shared tables, then every line the roster screen makes.
void roster(const QByteArray &bytes)
{
    // A state of its own: the roster load fills the tables other entries use.
    static SharedState &copy = *[] {
        auto *s = new SharedState;
        s->roster.SchoolYear = 2023;
        s->config.CommonValue3 = 1;
        return s;
    }();
    const QString path = scratchFolder() + rosterFileName();
    writeScratch(path, bytes);
    try {
        const std::vector<RosterEntry> listed = LoadRosterTables(copy, path);
        for (const RosterEntry &e : listed) {
            for (int mode = 0; mode < 4; ++mode)
                displayEntry(e.record, copy.roster.SchoolYear, mode, e.record.Spare1, e.record.Spare2,
                             e.record.BirthYear, e.status);
            const int g = GradeIndexOf(copy.roster.SchoolYear, e.record.BirthYear);
            ListGradeLabel(g);
            for (const QString &f : gradeFilterTexts())
                GradeFilterMatches(f, g);
        }
    } catch (const DataFileError &e) {
        e.message();
    }
}

// The criteria load, then what the hub and the end screen make of every level.
void criteria(const QByteArray &bytes)
{
    SharedState &state = loggedInState();
    const QString path = scratchFolder() + criteriaFileName();
    writeScratch(path, bytes);
    const CriteriaTable before = state.criteria;
    try {
        state.criteria = LoadCriteria(path, CriteriaTable{});
        for (int L = 0; L <= kMaxLevel; ++L) {
            criteriaRowTexts(state.criteria, L);
            criteriaLine(state, L);
            passWindowLine(state, L, 3);
            LevelCleared(state, L, 3);
            LevelBarred(state, L, 3);
            for (int32_t t : {0, 1, 45, 999, 1234, 5999, kTimedOut, -7}) {
                ratedPoints(basePoints(t, shortTime(t), state.criteria.CritTargetTime[L]),
                            state.criteria.CritPointRate[L]);
                if (L >= 1 && L <= 6) {
                    state.run.CurrentLevel = static_cast<int16_t>(L);
                    state.run.RunTime = t;
                    state.run.TimeUp = t == kTimedOut;
                    endScreenContent(state);
                    endScreenTimerDecision(state);
                }
            }
        }
        availabilityPass(state);
    } catch (const DataFileError &e) {
        e.message();
    }
    state.criteria = before;
}

// The cue table, then a pick of every kind through the play procedures.
void cueTable(const QByteArray &bytes)
{
    SharedState &state = loggedInState();
    try {
        FieldReader r = FieldReader::fromBytes(bytes, soundCueFileName());
        SoundState sound;
        ReadSoundCues(r, sound);
        const SoundState before = state.sound;
        state.sound = sound;
        RecordingAudioDevice device;
        FirstRandom random;
        NoFailure failure;
        SoundPlayer player(state, device, random, failure);
        for (int k = 1; k <= kCueKinds; ++k)
            player.PlayCue(k);
        player.PlayCorrectCue();
        player.PlayWrongCue();
        state.sound = before;
    } catch (const DataFileError &e) {
        e.message();
    }
}

// The results file: the read, the tally, the damaged-record message, every view and
// ranking of the hub and the end screen's figures.
void results(const QByteArray &bytes)
{
    SharedState &state = loggedInState();
    const ResultsFile file(resultsFilePath(state));
    writeScratch(file.path(), bytes);
    const StillClock clock;
    state.reportedCorruptRecords.clear();
    const ReadReport report = TallyResults(state, clock, file);
    if (!report.ok())
        return;
    takeCorruptRecordMessage(state, report);
    availabilityPass(state);
    // Kept across inputs, as the program keeps them across log-ins.
    static KeptRankings kept;
    for (int L = 1; L <= state.profile.LevelCount; ++L) {
        for (int mode : {TimeDisplay, PointsDisplay})
            for (int order : {CumulativeOrder, TodayOrder})
                rankingLines(state, kept, L, mode, order, QStringLiteral("全学年"));
        criteriaLine(state, L);
        passWindowLine(state, L, 3);
        todayValue(state, L, 3);
        soFarValue(state, L, 3);
    }
    LevelLists lists;
    QString error;
    todayLines(state, clock, file, QStringLiteral("全学年"), lists, &error);
    for (int period = 1; period <= 5; ++period)
        periodLines(state, clock, file, QStringLiteral("小学生全体"), resultListDaysFor(period, clock.today()),
                    period % 2 ? TimeDisplay : PointsDisplay, lists, &error);
    personalTimesLines(state, clock, file, QStringLiteral("全学年"), lists, &error);
    state.run.CurrentLevel = 2;
    state.run.RunTime = state.results.RecordCount > 0 ? state.results.RecTime[state.results.RecordCount] : 0;
    endScreenContent(state);
}

void wav(const QByteArray &bytes)
{
    std::vector<uint8_t> out;
    decodeWavTo(bytes, 44100, 2, out);
}

} // namespace

const std::vector<Entry> &entries()
{
    static const std::vector<Entry> all = {
        {"field_reader", fieldReader}, {"path_data", pathData}, {"common_data", commonData}, {"roster", roster},
        {"criteria", criteria},        {"cue_table", cueTable}, {"results", results},        {"wav", wav},
    };
    return all;
}

const Entry *entryNamed(const QString &name)
{
    for (const Entry &e : entries())
        if (name == QLatin1String(e.name))
            return &e;
    return nullptr;
}

} // namespace tobrel::fuzz
