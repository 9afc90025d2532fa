// Fixed table bounds that every part of the program uses: levels 0..35 (levels are
// 1-based), student numbers 0..5000, and at most 20000 result records in memory.
#pragma once
#include <cstdint>
#include <algorithm>
#include <cstddef>
#include <vector>

namespace tobrel {

constexpr int kMaxLevel = 35;
constexpr int kLevelSlots = kMaxLevel + 1;
constexpr int kMaxStudent = 5000;
constexpr int kStudentSlots = kMaxStudent + 1;
constexpr int kMaxRecordsInMemory = 20000;

inline bool validLevelIndex(int level) { return level >= 0 && level <= kMaxLevel; }
inline bool validStudentIndex(int student) { return student >= 0 && student <= kMaxStudent; }

// A [level 0..35][student 0..5000] table.
template <class T>
class LevelStudentTable {
public:
    LevelStudentTable() : m_cells(static_cast<std::size_t>(kLevelSlots) * kStudentSlots, T{}) {}
    T &operator()(int level, int student)
    {
        return m_cells[static_cast<std::size_t>(level) * kStudentSlots + static_cast<std::size_t>(student)];
    }
    const T &operator()(int level, int student) const
    {
        return m_cells[static_cast<std::size_t>(level) * kStudentSlots + static_cast<std::size_t>(student)];
    }
    void fill(const T &value) { std::fill(m_cells.begin(), m_cells.end(), value); }
    T *data() { return m_cells.data(); }
    std::size_t size() const { return m_cells.size(); }
    T *row(int level) { return m_cells.data() + static_cast<std::size_t>(level) * kStudentSlots; }

private:
    std::vector<T> m_cells;
};

} // namespace tobrel
