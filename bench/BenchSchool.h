// A big school for the benchmarks: 5000 listed students, 6 levels, a results file of
// runs over the last 60 days, and the roster tables loaded as after the roster screen.
// Student 17 is signed in.
#pragma once
#include "BenchSupport.h"
#include "roster/NameList.h"
#include "roster/Roster.h"
#include "results/Tally.h"
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "text/DayNumber.h"
#include "text/LineWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <random>

namespace tobrel::bench {

struct School {
    QTemporaryDir dir;
    SharedState state;
    FixedClock clock;
    // records: the length of the results file. ownRunEvery: every so many records one is
    // a run of student 17 at levels 1..4 in turn (0: none), spread over the whole file.
    explicit School(int64_t records = 20000, int64_t ownRunEvery = 0)
    {
        state.config.DataRoot = dir.path() + u'/';
        state.config.DataFolder = dir.path() + QStringLiteral("/prog/");
        state.config.SchoolYearStartMonth = 4;
        state.config.SchoolName = QStringLiteral("ベンチ塾");
        QDir().mkpath(state.config.DataFolder);
        ApplyProgramProfileTables(state);
        SetProgramTitle(state);
        for (int L = 1; L <= 6; ++L) {
            state.criteria.CritTargetTime[L] = 20 + 8 * L;
            state.criteria.CritPassTime[L] = 40 + 16 * L;
            state.criteria.CritPointRate[L] = 1.5f;
            state.criteria.CritClearPoints[L] = 30;
            state.criteria.CritClearCount[L] = 3;
            state.criteria.CritPassDays[L] = Variant(7);
            state.criteria.CritOverDays[L] = Variant(1);
        }
        std::mt19937 gen(11);
        LineWriter roster;
        const char16_t *family[] = {u"佐藤", u"鈴木", u"髙橋", u"田中", u"山﨑", u"伊藤", u"渡辺", u"中村"};
        const char16_t *given[] = {u"翔太", u"美咲", u"健一", u"花子", u"大輝", u"さくら", u"蓮", u"結衣"};
        for (int s = 1; s <= 5000; ++s)
            roster.addLine({QString::number(s), QString::number(2005 + s % 14), QStringLiteral("0"),
                            QStringLiteral("0"),
                            QString::fromUtf16(family[gen() % 8]) + u'　' + QString::fromUtf16(given[gen() % 8]),
                            QStringLiteral("0"), QString(), QString()});
        roster.writeTo(state.config.DataRoot + rosterFileName());

        const double today = dayNumber(clock.today());
        int64_t own = 0;
        writeResultsFile(resultsFilePath(state), records, [&](int64_t i) {
            ResultRecord r;
            r.ResultRecDate = today - static_cast<double>(gen() % 60);
            r.ResultRecClock = (gen() % 86400) / 86400.0;
            r.ResultRecStudentNo = static_cast<int16_t>(1 + gen() % 5000);
            r.ResultRecLevel = static_cast<int16_t>(1 + gen() % 6);
            r.ResultRecTime = static_cast<int32_t>(15 + gen() % 200);
            if (ownRunEvery > 0 && i % ownRunEvery == 0) {
                r.ResultRecStudentNo = 17;
                r.ResultRecLevel = static_cast<int16_t>(1 + own % 4);
                r.ResultRecTime = static_cast<int32_t>(25 + 8 * r.ResultRecLevel + gen() % 40);
                ++own;
            }
            return r;
        });
        // The roster tables, as after the roster screen.
        名簿表示(state, clock, {}, 1, QStringLiteral("全学年"));
        state.student.CurrentStudent = 17;
        state.student.CurrentStudentName = state.roster.StudentNames[17].trimmed();
    }
};

} // namespace tobrel::bench
