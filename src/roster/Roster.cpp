#include "roster/Roster.h"

#include "state/SharedState.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/Numbers.h"

#include <cmath>
#include <limits>

namespace tobrel {

int ComputeSchoolYear(const QDate &date, int startMonth) { return date.year() - (date.month() < startMonth ? 1 : 0); }

ListGrade ListGradeLabel(int g)
{
    if (g < -2)
        return {QStringLiteral("幼-"), g - 6};
    if (g <= 0)
        return {QStringLiteral("幼") + QString::number(g + 3), g - 6};
    if (g <= 6)
        return {QStringLiteral("小") + QString::number(g), g};
    if (g <= 9)
        return {QStringLiteral("中") + QString::number(g - 6), g - 6};
    if (g <= 12)
        return {QStringLiteral("高") + QString::number(g - 9), g - 9};
    return {QStringLiteral("大+"), g - 9};
}

std::optional<QString> FullWidthGradeLabel(int g)
{
    static const char16_t *const digits = u"０１２３４５６７８９";
    auto fw = [&](int d) { return QString(QChar(digits[d])); };
    if (g == 0)
        return QStringLiteral("幼３");
    if (g >= 1 && g <= 6)
        return QStringLiteral("小") + fw(g);
    if (g >= 7 && g <= 9)
        return QStringLiteral("中") + fw(g - 6);
    if (g == 10)
        return QStringLiteral("高１");
    return std::nullopt;
}

QStringList gradeFilterTexts()
{
    return {QStringLiteral("全学年"), QStringLiteral("中学生全体"), QStringLiteral("小学生全体"),
            QStringLiteral("中３"),   QStringLiteral("中２"),       QStringLiteral("中１"),
            QStringLiteral("小６"),   QStringLiteral("小５"),       QStringLiteral("小４"),
            QStringLiteral("小３"),   QStringLiteral("小２"),       QStringLiteral("小１")};
}

GradeFilter::GradeFilter(const QString &filter) : m_low(1), m_high(0)
{
    if (filter == u"全学年" || filter == u"家族") {
        m_low = std::numeric_limits<int>::min();
        m_high = std::numeric_limits<int>::max();
        return;
    }
    if (filter == u"小学生全体") {
        m_low = 1;
        m_high = 6;
        return;
    }
    if (filter == u"中学生全体") {
        m_low = 7;
        m_high = 9;
        return;
    }
    static const QStringList single{QStringLiteral("小１"), QStringLiteral("小２"), QStringLiteral("小３"),
                                    QStringLiteral("小４"), QStringLiteral("小５"), QStringLiteral("小６"),
                                    QStringLiteral("中１"), QStringLiteral("中２"), QStringLiteral("中３")};
    if (const qsizetype i = single.indexOf(filter); i >= 0) {
        m_low = static_cast<int>(i) + 1;
        m_high = m_low;
    }
}

bool GradeFilterMatches(const QString &filter, int g) { return GradeFilter(filter).matches(g); }

QString fixedRosterText(const QString &text)
{
    return text.left(kRosterTextWidth).leftJustified(kRosterTextWidth, u' ');
}

void ReadRoster(FieldReader &reader, const std::function<void(const RosterEntry &)> &visitor,
                OutOfRangeStudents outOfRange)
{
    // The student number indexes the tables; a check that lists every student out of
    // range takes any 16-bit number.
    const double highestNumber = outOfRange == OutOfRangeStudents::Raise ? kMaxStudent : 32767;
    const double lowestNumber = outOfRange == OutOfRangeStudents::Raise ? 0 : -32768;
    while (!reader.atEnd()) {
        RosterEntry e;
        e.line = reader.line();
        e.record.StudentNumber = static_cast<int16_t>(
            reader.readNumberWithin(lowestNumber, highestNumber, QStringLiteral("1番目の項目（生徒番号）"), true));
        e.record.BirthYear = reader.readInteger<int16_t>(QStringLiteral("2番目の項目（生まれ年）"));
        e.record.Spare1 = reader.readInteger<int16_t>(QStringLiteral("3番目の項目"));
        e.record.Spare2 = reader.readInteger<int16_t>(QStringLiteral("4番目の項目"));
        e.record.Name = fixedRosterText(reader.readText());
        e.status = reader.readInteger<int16_t>(QStringLiteral("6番目の項目（区分）"));
        e.record.SpareText1 = fixedRosterText(reader.readText());
        e.record.SpareText2 = fixedRosterText(reader.readText());
        visitor(e);
    }
}

void ReadRosterFile(const QString &path, const std::function<void(const RosterEntry &)> &visitor,
                    OutOfRangeStudents outOfRange)
{
    FieldReader reader = FieldReader::openFile(path);
    ReadRoster(reader, visitor, outOfRange);
}

std::vector<RosterEntry> LoadRosterTables(SharedState &state, const QString &path)
{
    FieldReader reader = FieldReader::openFile(path);
    return LoadRosterTables(state, reader);
}

std::vector<RosterEntry> LoadRosterTables(SharedState &state, FieldReader &reader)
{
    const QString path = reader.fileName();
    RosterTables &t = state.roster;
    std::vector<RosterEntry> listed;
    int n = 0;
    ReadRoster(reader, [&](const RosterEntry &read) {
        RosterEntry e = read;
        ++n;
        if (n > kMaxStudent)
            throw DataFileError(path, 0, QStringLiteral("名簿の生徒が%1人を超えています").arg(kMaxStudent),
                                kErrorOutsideTables);
        t.RosterRecords[n] = e.record;
        if (e.status == 2 && state.config.CommonValue3 == 1)
            e.status = 0;
        const int number = e.record.StudentNumber;
        t.StudentNames[number] = e.record.Name;
        t.StudentBirthYears[number] = e.record.BirthYear;
        t.RosterNumbers[n] = e.record.StudentNumber;
        if (const auto label = FullWidthGradeLabel(GradeIndexOf(t.SchoolYear, e.record.BirthYear)))
            t.StudentGradeLabels[number] = *label;
        if (e.status != 0) {
            --n;
            return;
        }
        listed.push_back(e);
    });
    t.RosterCount = n;
    return listed;
}

} // namespace tobrel
