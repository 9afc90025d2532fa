// One run as the results file stores it: 44 bytes, little-endian, no header.
//
//   0  8  day number of the run (days since 30 December 1899)
//   8  8  time of day as a fraction of a day
//  16  2  student number
//  18  2  level (0 = an empty or deleted record)
//  20  4  time in whole seconds (99999 = the time limit ran out)
//  24  5  school code, CP932, padded with blanks
//  29  5  reserved: five blanks
//  34  5  reserved: "0" and four blanks
//  39  5  reserved: five zero bytes
#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <bit>
#include <cstring>
#include <cstdint>

namespace tobrel {

constexpr int kRecordSize = 44;
constexpr int32_t kTimedOut = 99999;

// A run whose time limit ran out: stored as 99999, and any time above 99997 is read as
// one (no completed run takes that long).
constexpr bool isTimedOut(int32_t time) { return time > 99997; }

struct ResultRecord {
    double ResultRecDate = 0;
    double ResultRecClock = 0;
    int16_t ResultRecStudentNo = 0;
    int16_t ResultRecLevel = 0;
    int32_t ResultRecTime = 0;
    QByteArray ResultRecSchool = QByteArray(5, ' ');
    QByteArray Reserved1 = QByteArray(5, ' ');
    QByteArray Reserved2 = QByteArray("0    ", 5);
    QByteArray Reserved3 = QByteArray(5, '\0');

    // The school field from a school code: CP932, cut to whole characters within five
    // bytes, padded with blanks.
    void setSchool(const QString &schoolCode);
    // The school field a run of the school with this code carries.
    static QByteArray schoolField(const QString &schoolCode);

    std::array<char, kRecordSize> encode() const;
    static ResultRecord decode(const char *bytes);

    // The five bytes of the school field of an encoded record, and whether they are the
    // given field (a school's ResultRecSchool).
    static QByteArrayView schoolOf(const char *bytes) { return QByteArrayView(bytes + kSchoolAt, 5); }
    static bool isSchool(const char *bytes, const QByteArray &schoolField)
    {
        return schoolField.size() == 5 && std::memcmp(bytes + kSchoolAt, schoolField.constData(), 5) == 0;
    }

    // Only the five numeric fields, for readers that go through many records.
    struct Numbers {
        double date;
        double clock;
        int16_t student;
        int16_t level;
        int32_t time;
    };
    static Numbers decodeNumbers(const char *bytes)
    {
        Numbers n;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&n.date, bytes, 8);
            std::memcpy(&n.clock, bytes + 8, 8);
            std::memcpy(&n.student, bytes + 16, 2);
            std::memcpy(&n.level, bytes + 18, 2);
            std::memcpy(&n.time, bytes + 20, 4);
        } else {
            n = decodeNumbersPortable(bytes);
        }
        return n;
    }
    static Numbers decodeNumbersPortable(const char *bytes);

    bool operator==(const ResultRecord &) const = default;

    static constexpr int kSchoolAt = 24;
};

} // namespace tobrel
