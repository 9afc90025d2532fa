// Top-down merge sort of entries 1..n of a key array (ascending), moving a parallel
// value array with the keys. Entry 0 is not used. On equal keys the entry of the right
// half is taken first, so one pass reverses equal keys and a second pass restores them;
// the rankings rely on this exact order.
#pragma once
#include <cstdint>
#include <vector>

namespace tobrel {

void SortByKey(int n, std::vector<int32_t> &keys, std::vector<int32_t> &values);

} // namespace tobrel
