// The results held in memory after a read of the results file: the records, and the
// best times derived from them.
//
// Entries 1..RecordCount are kept as the file has them: entry i is the 44-byte record
// at byte 44 x (i - 1) of `records`. The reader reads the file into that buffer and
// closes up the gaps the records it drops leave, so holding the records costs no copy.
// RecDate[i], RecClock[i], RecStudent[i], RecLevel[i] and RecTime[i] read one field of
// entry i.
//
// PersonalBest [level 0..35][student 0..5000] and LevelBest [level 0..35] are worked
// out from the records the first time either is asked for after a read, so the screens
// that need no best time (the roster list, the points rankings) do not pay for them. A
// change made to them holds until the next read.
#pragma once
#include "state/ResultRecord.h"
#include "state/Tables.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

namespace tobrel {

template <auto Field>
class RecordField {
public:
    explicit RecordField(const QByteArray &records) : m_records(&records) {}
    RecordField(const RecordField &) = delete;
    RecordField &operator=(const RecordField &) = delete;
    auto operator[](int i) const
    {
        return ResultRecord::decodeNumbers(m_records->constData() + static_cast<qsizetype>(i - 1) * kRecordSize).*Field;
    }

private:
    const QByteArray *m_records;
};

// The time of a run that the reader dropped from memory but that still counts toward
// the best times.
struct DroppedTime {
    int16_t level;
    int16_t student;
    int32_t time;
};

class ResultsInMemory;

class PersonalBestTable {
public:
    explicit PersonalBestTable(const ResultsInMemory &owner) : m_owner(owner) {}
    PersonalBestTable(const PersonalBestTable &) = delete;
    PersonalBestTable &operator=(const PersonalBestTable &) = delete;
    int32_t &operator()(int level, int student);
    int32_t operator()(int level, int student) const;

private:
    const ResultsInMemory &m_owner;
};

class LevelBestTable {
public:
    explicit LevelBestTable(const ResultsInMemory &owner) : m_owner(owner) {}
    LevelBestTable(const LevelBestTable &) = delete;
    LevelBestTable &operator=(const LevelBestTable &) = delete;
    int32_t &operator[](int level);
    int32_t operator[](int level) const;

private:
    const ResultsInMemory &m_owner;
};

class ResultsInMemory {
public:
    ResultsInMemory() = default;
    ResultsInMemory(const ResultsInMemory &) = delete;
    ResultsInMemory &operator=(const ResultsInMemory &) = delete;

    QByteArray records; // also the read buffer, reused by every read
    RecordField<&ResultRecord::Numbers::date> RecDate{records};
    RecordField<&ResultRecord::Numbers::clock> RecClock{records};
    RecordField<&ResultRecord::Numbers::student> RecStudent{records};
    RecordField<&ResultRecord::Numbers::level> RecLevel{records};
    RecordField<&ResultRecord::Numbers::time> RecTime{records};
    int RecordCount = 0;
    // Records dropped from memory whose times still count toward the best times.
    std::vector<DroppedTime> droppedTimes;
    // The last record the latest read went through (kept or dropped), as the file holds
    // it; a read of an empty file leaves it as it was.
    ResultRecord lastRecordRead;

    PersonalBestTable PersonalBest{*this};
    LevelBestTable LevelBest{*this};

    // The reader has replaced the records: the best times are worked out again when
    // next asked for.
    void recordsReplaced() { m_bestTimesDone = false; }

private:
    friend class PersonalBestTable;
    friend class LevelBestTable;
    // Works the best times out from the records when the last read has not yet.
    void deriveBestTimes() const;

    mutable bool m_bestTimesDone = false;
    mutable LevelStudentTable<int32_t> m_personalBest;
    mutable std::array<int32_t, kLevelSlots> m_levelBest{};
};

} // namespace tobrel
