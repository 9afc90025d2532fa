// Replays every saved fuzz input through the entry it was found with. Each folder of
// fuzz/regressions is named after an entry; every file in it is one input. An input
// passes when its entry returns (bad input ends in the reader's own error).
#include "FuzzEntries.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tobrel::fuzz;

TEST(FuzzRegressions, EveryFolderIsAnEntry)
{
    const QDir root(QStringLiteral(TOBREL_FUZZ_REGRESSIONS));
    ASSERT_TRUE(root.exists());
    for (const QString &folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        EXPECT_NE(entryNamed(folder), nullptr) << folder.toStdString();
}

TEST(FuzzRegressions, SavedInputsRunThroughTheirEntries)
{
    const QDir root(QStringLiteral(TOBREL_FUZZ_REGRESSIONS));
    int replayed = 0;
    for (const Entry &entry : entries()) {
        const QDir folder(root.filePath(QString::fromLatin1(entry.name)));
        for (const QString &name : folder.entryList(QDir::Files)) {
            QFile f(folder.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
            SCOPED_TRACE(std::string(entry.name) + "/" + name.toStdString());
            entry.run(f.readAll());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}
