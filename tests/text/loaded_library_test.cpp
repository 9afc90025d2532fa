#include "text/LoadedLibrary.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tobrel;

namespace {

// A library with the C library's own functions: one that is there, one that is not.
struct CLibrary : LoadedLibrary {
    size_t (*strlen)(const char *) = nullptr;
    void (*noSuchFunction)() = nullptr;
    explicit CLibrary(const char *file, bool lookForMissing) : LoadedLibrary(file)
    {
        lookUp(strlen, "strlen");
        if (lookForMissing)
            lookUp(noSuchFunction, "tobrel_no_such_function");
    }
};

#define TOBREL_C_STRING_FUNCTIONS(X) X(strlen) X(strspn)
TOBREL_LOADED_LIBRARY(CStrings, "libc.so.6", TOBREL_C_STRING_FUNCTIONS);

} // namespace

TEST(LoadedLibrary, AFoundLibraryGivesItsFunctionsAndWhatIsMissingIsNamed)
{
    const CLibrary found("libc.so.6", false);
    EXPECT_TRUE(found.problem().isEmpty()) << found.problem().toStdString();
    ASSERT_NE(found.strlen, nullptr);
    EXPECT_EQ(found.strlen("tobrel"), 6U);

    const CLibrary lacking("libc.so.6", true);
    EXPECT_EQ(lacking.noSuchFunction, nullptr);
    EXPECT_TRUE(lacking.problem().contains(QStringLiteral("libc.so.6"))) << lacking.problem().toStdString();
    EXPECT_TRUE(lacking.problem().contains(QStringLiteral("tobrel_no_such_function")));

    const CLibrary missing("libtobrel-not-installed.so.9", true);
    EXPECT_EQ(missing.strlen, nullptr);
    EXPECT_TRUE(missing.problem().contains(QStringLiteral("libtobrel-not-installed.so.9")))
        << missing.problem().toStdString();
    EXPECT_TRUE(missing.problem().contains(QStringLiteral("読み込めません")));
}

TEST(LoadedLibrary, ADeclaredLibraryHasEachListedFunctionAndIsOpenedOnce)
{
    const CStrings &strings = loadedOnce<CStrings>();
    ASSERT_TRUE(strings.problem().isEmpty()) << strings.problem().toStdString();
    EXPECT_EQ(strings.strlen("velmora"), 7U);
    EXPECT_EQ(strings.strspn("velmora", "lev"), 3U);
    EXPECT_EQ(&loadedOnce<CStrings>(), &strings);
}
