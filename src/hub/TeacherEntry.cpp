#include "hub/TeacherEntry.h"

namespace tobrel {

int64_t countDamagedRecords(const ResultsFile &file, QString *error)
{
    int64_t damaged = 0;
    const bool ok = file.scan(
        [&](int64_t, const char *bytes, int64_t count) {
            for (int64_t k = 0; k < count; ++k)
                damaged += isDamagedRecord(ResultRecord::decodeNumbers(bytes + k * kRecordSize));
            return true;
        },
        nullptr, error);
    return ok ? damaged : -1;
}

QString damagedRecordsNotice(int64_t count)
{
    if (count <= 0)
        return {};
    return QStringLiteral("成績ファイルに壊れた記録が %1 件あります。"
                          "「データ処理」→「データ変更」で消去するか直してください。")
        .arg(count);
}

} // namespace tobrel
