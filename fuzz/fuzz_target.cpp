// A libFuzzer target: one entry of FuzzEntries, named by TOBREL_FUZZ_ENTRY.
#include "FuzzEntries.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const tobrel::fuzz::Entry *entry = tobrel::fuzz::entryNamed(QStringLiteral(TOBREL_FUZZ_ENTRY));
    if (!entry)
        std::abort();
    entry->run(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    return 0;
}
