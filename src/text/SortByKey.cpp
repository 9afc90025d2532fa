#include "text/SortByKey.h"

namespace tobrel {
namespace {

void mergeSort(int lo, int hi, std::vector<int32_t> &keys, std::vector<int32_t> &values, std::vector<int32_t> &workKeys,
               std::vector<int32_t> &workValues)
{
    if (lo >= hi)
        return;
    const int mid = (lo + hi) / 2;
    mergeSort(lo, mid, keys, values, workKeys, workValues);
    mergeSort(mid + 1, hi, keys, values, workKeys, workValues);
    const int leftCount = mid - lo + 1;
    for (int i = 0; i < leftCount; ++i) {
        workKeys[i] = keys[lo + i];
        workValues[i] = values[lo + i];
    }
    int w = 0;
    int r = mid + 1;
    int out = lo;
    while (w < leftCount && r <= hi) {
        if (workKeys[w] < keys[r]) {
            keys[out] = workKeys[w];
            values[out] = workValues[w];
            ++w;
        } else {
            keys[out] = keys[r];
            values[out] = values[r];
            ++r;
        }
        ++out;
    }
    while (w < leftCount) {
        keys[out] = workKeys[w];
        values[out] = workValues[w];
        ++w;
        ++out;
    }
}

} // namespace

void SortByKey(int n, std::vector<int32_t> &keys, std::vector<int32_t> &values)
{
    if (n < 2)
        return;
    std::vector<int32_t> workKeys(n / 2 + 1), workValues(n / 2 + 1);
    mergeSort(1, n, keys, values, workKeys, workValues);
}

} // namespace tobrel
