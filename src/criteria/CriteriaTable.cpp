#include "criteria/CriteriaTable.h"

#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/LineWriter.h"
#include "text/Numbers.h"

#include <cmath>
#include <limits>

namespace tobrel {
namespace {

template <class Int>
Int toInteger(double value, const FieldReader &reader, int line, int field)
{
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        throw DataFileError(reader.fileName(), line,
                            QStringLiteral("%1番目の値 %2 が範囲を超えています")
                                .arg(field)
                                .arg(CStr(value)));
    return static_cast<Int>(rounded);
}

} // namespace

QStringList criteriaHeaderFields()
{
    return {QStringLiteral("目標Time"), QStringLiteral("最低Time"), QStringLiteral("ｸﾘｱﾎﾟｲﾝﾄ"),
            QStringLiteral("ｸﾘｱ回数"),  QStringLiteral("ﾎﾟｲﾝﾄ倍率"), QStringLiteral("禁回"),
            QStringLiteral("禁点"),     QStringLiteral("判期間"),   QStringLiteral("禁期間"),
            QString(),                  QString(),                  QString()};
}

CriteriaTable LoadCriteria(const QString &path, const CriteriaTable &current)
{
    CriteriaTable table = current;
    FieldReader reader = FieldReader::openFile(path);
    int k = -1;
    while (!reader.atEnd()) {
        ++k;
        const int line = reader.line();
        if (k > kMaxLevel)
            throw DataFileError(path, line,
                                QStringLiteral("レベルの行が%1行を超えています").arg(kMaxLevel));
        table.CritTargetTime[k] = toInteger<int32_t>(reader.readNumber(), reader, line, 1);
        table.CritPassTime[k] = toInteger<int32_t>(reader.readNumber(), reader, line, 2);
        table.CritClearPoints[k] = toInteger<int32_t>(reader.readNumber(), reader, line, 3);
        table.CritClearCount[k] = toInteger<int16_t>(reader.readNumber(), reader, line, 4);
        const double rate = reader.readNumber();
        if (std::fabs(rate) > static_cast<double>(std::numeric_limits<float>::max()))
            throw DataFileError(path, line, QStringLiteral("5番目の値が範囲を超えています"));
        table.CritPointRate[k] = static_cast<float>(rate);
        table.CritOverRuns[k] = reader.readVariant();
        table.CritOverPoints[k] = reader.readVariant();
        table.CritPassDays[k] = reader.readVariant();
        table.CritOverDays[k] = reader.readVariant();
        table.CritSpare10[k] = reader.readVariant();
        table.CritSpare11[k] = reader.readVariant();
        table.CritSpare12[k] = reader.readVariant();
    }
    return table;
}

QStringList criteriaRowTexts(const CriteriaTable &t, int level)
{
    return {CStr(t.CritTargetTime[level]),      CStr(t.CritPassTime[level]),
            CStr(t.CritClearPoints[level]),     CStr(int(t.CritClearCount[level])),
            CStr(t.CritPointRate[level]),       t.CritOverRuns[level].toText(),
            t.CritOverPoints[level].toText(),   t.CritPassDays[level].toText(),
            t.CritOverDays[level].toText(),     t.CritSpare10[level].toText(),
            t.CritSpare11[level].toText(),      t.CritSpare12[level].toText()};
}

QString WriteCriteriaFile(const QString &path, const QList<QStringList> &levelRows)
{
    LineWriter writer;
    writer.addLine(criteriaHeaderFields());
    for (const QStringList &row : levelRows)
        writer.addLine(row);
    return writer.writeTo(path);
}

} // namespace tobrel
