// Fixed table bounds that every part of the program uses: levels 0..35 (levels are
// 1-based), student numbers 0..5000, and at most 20000 result records in memory.
#pragma once
#include <cstdint>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace tobrel {

constexpr int kMaxLevel = 35;
constexpr int kLevelSlots = kMaxLevel + 1;
constexpr int kMaxStudent = 5000;
constexpr int kStudentSlots = kMaxStudent + 1;
constexpr int kMaxRecordsInMemory = 20000;

inline bool validLevelIndex(int level) { return level >= 0 && level <= kMaxLevel; }
inline bool validStudentIndex(int student) { return student >= 0 && student <= kMaxStudent; }
// Student number 0 is nobody's: the results reader keeps no record of it, so a student
// numbered 0 has no run, no best time and no points, like any student without runs.
inline bool isRealStudent(int student) { return student >= 1 && student <= kMaxStudent; }

// A [level 0..35][student 0..5000] table. It remembers which level rows may have been
// written since they were last reset, so a table that is rebuilt often (the tallies,
// the best times) resets only those rows: a school uses a handful of the 36 levels.
// Writing a cell marks its row (dataToWrite leaves the marking to its caller); a new
// table counts as written everywhere.
//
// A new table's cells are T{} from the start without being written: the table (3 MB for
// the tallies) is taken from the system as fresh pages, which are zero and cost nothing
// until a row of them is written; a reset to zero leaves a row never written alone.
template <class T>
class LevelStudentTable {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    LevelStudentTable() : m_cells(static_cast<T *>(std::calloc(kCells, sizeof(T))))
    {
        if (!m_cells)
            throw std::bad_alloc();
        m_written.fill(true);
        const bool zero = allZeroBytes(T{});
        m_neverWritten.fill(zero);
        if (!zero)
            std::fill(begin(), end(), T{});
    }
    LevelStudentTable(const LevelStudentTable &other) : LevelStudentTable() { *this = other; }
    LevelStudentTable &operator=(const LevelStudentTable &other)
    {
        if (this != &other) {
            std::memcpy(static_cast<void *>(m_cells.get()), other.m_cells.get(), kCells * sizeof(T));
            m_written = other.m_written;
            m_neverWritten = other.m_neverWritten;
            m_listed = other.m_listed;
            m_listedCount = other.m_listedCount;
        }
        return *this;
    }
    T &operator()(int level, int student)
    {
        markWritten(level);
        return m_cells[index(level, student)];
    }
    const T &operator()(int level, int student) const { return m_cells[index(level, student)]; }
    void fill(const T &value)
    {
        std::fill(begin(), end(), value);
        m_listedCount = 0;
        m_written.fill(true);
        m_neverWritten.fill(false);
    }
    T *data()
    {
        m_written.fill(true);
        m_neverWritten.fill(false);
        return m_cells.get();
    }
    const T *data() const { return m_cells.get(); }
    std::size_t size() const { return kCells; }
    T *row(int level)
    {
        markWritten(level);
        return m_cells.get() + index(level, 0);
    }
    const T *row(int level) const { return m_cells.get() + index(level, 0); }

    // The cells for a loop that writes many of them: it marks every level row it
    // writes with markWritten.
    T *dataToWrite() { return m_cells.get(); }
    void markWritten(int level)
    {
        m_written[static_cast<std::size_t>(level)] = true;
        m_neverWritten[static_cast<std::size_t>(level)] = false;
    }

    // For a loop that writes a few cells here and there: room to list up to `most` cells
    // it writes (by index, level x 5001 + student) instead of marking their rows, and then
    // how many it listed. A reset sets the listed cells alone.
    uint32_t *cellListToWrite(std::size_t most)
    {
        m_listed.resize(m_listedCount + most);
        return m_listed.data() + m_listedCount;
    }
    void markCellsWritten(std::size_t count) { m_listedCount += count; }

    // True when the row may hold writes made since its last reset.
    bool rowWritten(int level) const { return m_written[static_cast<std::size_t>(level)]; }
    // Sets students firstStudent..5000 of the written rows among levels
    // firstLevel..lastLevel to value, and counts those rows as unwritten again.
    void resetWrittenRows(int firstLevel, int lastLevel, int firstStudent, const T &value)
    {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_listedCount; ++i) {
            const uint32_t cell = m_listed[i];
            const int level = static_cast<int>(cell / kStudentSlots);
            if (level >= firstLevel && level <= lastLevel && static_cast<int>(cell % kStudentSlots) >= firstStudent)
                m_cells[cell] = value;
            else
                m_listed[kept++] = cell;
        }
        m_listedCount = kept;
        for (int L = firstLevel; L <= lastLevel; ++L) {
            if (!m_written[static_cast<std::size_t>(L)])
                continue;
            m_written[static_cast<std::size_t>(L)] = false;
            const bool zero = allZeroBytes(value);
            // A row never written since the table was made is zero already (a listed cell
            // in it was set back above).
            if (zero && m_neverWritten[static_cast<std::size_t>(L)])
                continue;
            m_neverWritten[static_cast<std::size_t>(L)] = false;
            T *r = m_cells.get() + index(L, firstStudent);
            const std::size_t n = static_cast<std::size_t>(kStudentSlots - firstStudent);
            if (zero)
                std::memset(static_cast<void *>(r), 0, n * sizeof(T));
            else
                std::fill(r, r + n, value);
        }
    }

private:
    static bool allZeroBytes(const T &value)
    {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        return std::all_of(std::begin(bytes), std::end(bytes), [](unsigned char b) { return b == 0; });
    }
    static std::size_t index(int level, int student)
    {
        return static_cast<std::size_t>(level) * kStudentSlots + static_cast<std::size_t>(student);
    }
    static constexpr std::size_t kCells = static_cast<std::size_t>(kLevelSlots) * kStudentSlots;
    T *begin() { return m_cells.get(); }
    T *end() { return m_cells.get() + kCells; }
    struct Free {
        void operator()(T *cells) const { std::free(cells); }
    };
    std::unique_ptr<T[], Free> m_cells;
    std::array<bool, kLevelSlots> m_written{};
    std::array<bool, kLevelSlots> m_neverWritten{}; // zero from the start, never written since
    std::vector<uint32_t> m_listed; // cells written apart from the rows marked
    std::size_t m_listedCount = 0;
};

} // namespace tobrel
