#include "datatool/DataRepair.h"

#include "results/CorrectionLog.h"
#include "results/Tally.h"

namespace tobrel {
namespace {

constexpr int kListed = 20;

} // namespace

bool surveyRepair(const ResultsFile &results, RepairSurvey *survey, QString *error)
{
    *survey = {};
    ResultsFile::ScanInfo info;
    const bool ok = results.scan(
        [&](int64_t first, const char *bytes, int64_t count) {
            for (int64_t k = 0; k < count; ++k) {
                const char *p = bytes + k * kRecordSize;
                if (!isDamagedRecord(ResultRecord::decodeNumbers(p)))
                    continue;
                if (survey->damaged++ < kListed)
                    survey->listed << describeRecord(first + k, ResultRecord::decodeNumbers(p));
            }
            return true;
        },
        &info, error, 8192);
    survey->records = info.recordCount;
    survey->tailBytes = info.tailBytes;
    return ok;
}

RepairResult repairResults(const ResultsFile &results, const QString &dataFolder, const QDateTime &now)
{
    RepairResult result;
    std::vector<Correction> removed;
    auto correction = [&](const QString &action, int64_t number) {
        Correction c;
        c.when = now;
        c.computer = computerName();
        c.action = action;
        c.recordNumber = number;
        return c;
    };
    // Each record taken out is written to the correction log before the file is
    // replaced: a removal whose line could not be kept is not made.
    const auto lines = [&](const RewriteOutcome &planned) {
        std::vector<Correction> out = removed;
        if (planned.tornBytes > 0)
            out.push_back(correction(QStringLiteral("修復（途中で切れた末尾 %1バイトを消去）").arg(planned.tornBytes),
                                     planned.recordsBefore + 1));
        return out;
    };
    result.outcome = correctWithLog(CorrectionLogFile(dataFolder), lines, [&](const ResultsFile::BeforeChange &secure) {
        ResultsFile::RewriteOptions options;
        options.now = now;
        options.beforeChange = secure;
        return results.rewrite(
            [&](int64_t number, const char *bytes) {
                if (!isDamagedRecord(ResultRecord::decodeNumbers(bytes)))
                    return true;
                Correction c = correction(QStringLiteral("修復（壊れた記録を消去）"), number);
                c.before = ResultRecord::decode(bytes);
                removed.push_back(std::move(c));
                return false;
            },
            options);
    });
    result.removed = static_cast<int64_t>(removed.size());
    return result;
}

} // namespace tobrel
