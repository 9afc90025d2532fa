#include "criteria/CriteriaTable.h"

#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/Numbers.h"

#include <cmath>
#include <limits>

namespace tobrel {
namespace {

// "1番目の項目（目標Time）": how a load error names a field of a level line.
QString fieldName(int field)
{
    const QString header = criteriaHeaderFields().value(field - 1);
    return header.isEmpty() ? QStringLiteral("%1番目の項目").arg(field)
                            : QStringLiteral("%1番目の項目（%2）").arg(field).arg(header);
}

// The largest point multiplier: a run earns at most 55 base points, and 20000 runs of
// 55 × 1000 points still add up within a 32-bit sum.
constexpr double kMaxPointRate = 1000;

} // namespace

QStringList criteriaHeaderFields()
{
    return {QStringLiteral("目標Time"),
            QStringLiteral("最低Time"),
            QStringLiteral("ｸﾘｱﾎﾟｲﾝﾄ"),
            QStringLiteral("ｸﾘｱ回数"),
            QStringLiteral("ﾎﾟｲﾝﾄ倍率"),
            QStringLiteral("禁回"),
            QStringLiteral("禁点"),
            QStringLiteral("判期間"),
            QStringLiteral("禁期間"),
            QString(),
            QString(),
            QString()};
}

CriteriaTable LoadCriteria(const QString &path, const CriteriaTable &current)
{
    FieldReader reader = FieldReader::openFile(path, kSmallFileMaxBytes);
    return LoadCriteria(reader, current);
}

CriteriaTable LoadCriteria(FieldReader &reader, const CriteriaTable &current)
{
    const QString &path = reader.fileName();
    CriteriaTable table = current;
    int k = -1;
    while (!reader.atEnd()) {
        ++k;
        const int line = reader.line();
        if (k > kMaxLevel)
            throw DataFileError(path, line, QStringLiteral("レベルの行が%1行を超えています").arg(kMaxLevel),
                                kErrorOutsideTables);
        table.CritTargetTime[k] = reader.readInteger<int32_t>(fieldName(1));
        // Five times the pass-line time is a run's time limit, in 32 bits as well.
        table.CritPassTime[k] = static_cast<int32_t>(reader.readNumberWithin(
            std::numeric_limits<int32_t>::min() / 5, std::numeric_limits<int32_t>::max() / 5, fieldName(2), true));
        table.CritClearPoints[k] = reader.readInteger<int32_t>(fieldName(3));
        table.CritClearCount[k] = reader.readInteger<int16_t>(fieldName(4));
        table.CritPointRate[k] =
            static_cast<float>(reader.readNumberWithin(-kMaxPointRate, kMaxPointRate, fieldName(5)));
        table.CritOverRuns[k] = reader.readFiniteVariant(fieldName(6));
        table.CritOverPoints[k] = reader.readFiniteVariant(fieldName(7));
        table.CritPassDays[k] = reader.readFiniteVariant(fieldName(8));
        table.CritOverDays[k] = reader.readFiniteVariant(fieldName(9));
        table.CritSpare10[k] = reader.readFiniteVariant(fieldName(10));
        table.CritSpare11[k] = reader.readFiniteVariant(fieldName(11));
        table.CritSpare12[k] = reader.readFiniteVariant(fieldName(12));
    }
    return table;
}

QStringList criteriaRowTexts(const CriteriaTable &t, int level)
{
    return {CStr(t.CritTargetTime[level]),      CStr(t.CritPassTime[level]),    CStr(t.CritClearPoints[level]),
            CStr(int(t.CritClearCount[level])), CStr(t.CritPointRate[level]),   t.CritOverRuns[level].toText(),
            t.CritOverPoints[level].toText(),   t.CritPassDays[level].toText(), t.CritOverDays[level].toText(),
            t.CritSpare10[level].toText(),      t.CritSpare11[level].toText(),  t.CritSpare12[level].toText()};
}

} // namespace tobrel
