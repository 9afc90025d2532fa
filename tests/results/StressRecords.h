// The records of the concurrency and crash tests: every field tells who wrote the
// record and in which step, so a torn or mixed record is recognised at once. A changed
// record (the results manager's change) has its time turned into -1 - the step.
#pragma once
#include "state/ResultRecord.h"

#include <cstdint>

namespace tobrel::test {

inline ResultRecord stressRecord(int writer, int seq)
{
    ResultRecord r;
    r.ResultRecDate = 45000 + writer;
    r.ResultRecClock = seq / 100000.0;
    r.ResultRecStudentNo = static_cast<int16_t>(writer);
    r.ResultRecLevel = static_cast<int16_t>(1 + seq % 6);
    r.ResultRecTime = seq;
    r.ResultRecSchool = QByteArray("STRES");
    return r;
}

inline bool isStressRecord(const char *bytes)
{
    const ResultRecord r = ResultRecord::decode(bytes);
    const int writer = r.ResultRecStudentNo;
    const int seq = r.ResultRecTime >= 0 ? r.ResultRecTime : -1 - r.ResultRecTime;
    return writer >= 1 && writer <= 64 && r.ResultRecDate == 45000 + writer && r.ResultRecClock == seq / 100000.0 &&
           r.ResultRecLevel == 1 + seq % 6 && r.ResultRecSchool == "STRES" && QByteArray(bytes, kRecordSize) == [&] {
               const auto b = r.encode();
               return QByteArray(b.data(), kRecordSize);
           }();
}

inline bool isChangedStressRecord(const char *bytes) { return ResultRecord::decode(bytes).ResultRecTime < 0; }

inline ResultRecord changedStressRecord(const char *bytes)
{
    ResultRecord r = ResultRecord::decode(bytes);
    r.ResultRecTime = -1 - r.ResultRecTime;
    return r;
}

} // namespace tobrel::test
