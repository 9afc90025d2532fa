// One entry per reader of outside input. Each takes the bytes of a file as a school
// might have it and runs them through the program's own reader and everything that
// uses what was read (tallies, views, points, sound names, WAV decoding). Bad input
// must end in the reader's own error, never in a crash, an undefined operation or a
// hang. The fuzz targets call these entries; so does the test that replays every input
// that once went wrong.
#pragma once
#include <QByteArray>
#include <QString>

#include <vector>

namespace tobrel::fuzz {

struct Entry {
    const char *name; // also the folder of its inputs under fuzz/regressions
    void (*run)(const QByteArray &bytes);
};

// All entries: field_reader, path_data, common_data, roster, criteria, cue_table,
// results, wav.
const std::vector<Entry> &entries();
const Entry *entryNamed(const QString &name);

} // namespace tobrel::fuzz
