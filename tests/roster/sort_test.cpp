// The name list's order: the Japanese collation, texts that compare equal keeping the
// order they came in, long texts as well as short ones.
#include "roster/NameList.h"

#include <gtest/gtest.h>

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <memory>
#include <random>

using namespace tobrel;

TEST(SortJapanese, CollationOrderAndEqualTextsInTheirOrder)
{
    QStringList texts = {
        QStringLiteral("2012小5 佐藤　翔太"),
        QStringLiteral("2012小5 さとう　しょうた"),
        QStringLiteral("2012小5 サトウ　ショウタ"),
        QStringLiteral("2012小5 ｻﾄｳ ｼｮｳﾀ"),
        QStringLiteral("2010中1 髙橋"),
        QStringLiteral("2010中1 高橋"),
        QStringLiteral("2010中1 山﨑"),
        QStringLiteral("2010中1 山崎"),
        QStringLiteral("2009中2 ABC"),
        QStringLiteral("2009中2 abc"),
        QStringLiteral("2009中2 ＡＢＣ"),
        QStringLiteral("2011小6 ①郎"),
        QStringLiteral("2011小6 ～"),
        QString(),
        QStringLiteral(" "),
        QStringLiteral("2012小5 佐藤　翔太"),
        // Canonically equivalent: equal to the collation, apart in their code units.
        QStringLiteral("2009中2 caf\u00e9"),
        QStringLiteral("2009中2 cafe\u0301"),
        QStringLiteral("2012小5 ") + QString(400, QChar(u'ぱ')) + QStringLiteral("*17"),
        QStringLiteral("2012小5 ") + QString(400, QChar(u'ぱ')) + QStringLiteral("*3"),
        QStringLiteral("2012小5 ") + QString(400, QChar(u'ば')) + QStringLiteral("*9"),
    };
    // Copies that stay apart by where they were: equal texts must keep that order.
    std::mt19937 gen(3);
    QStringList shuffled;
    for (int i = 0; i < 4; ++i)
        shuffled += texts;
    std::shuffle(shuffled.begin(), shuffled.end(), gen);
    std::vector<std::pair<QString, int>> expected;
    for (int i = 0; i < shuffled.size(); ++i)
        expected.emplace_back(shuffled[i], i);

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale::getJapanese(), status));
    ASSERT_TRUE(U_SUCCESS(status));
    std::stable_sort(expected.begin(), expected.end(), [&](const auto &a, const auto &b) {
        UErrorCode st = U_ZERO_ERROR;
        return collator->compare(reinterpret_cast<const UChar *>(a.first.utf16()), static_cast<int32_t>(a.first.size()),
                                 reinterpret_cast<const UChar *>(b.first.utf16()), static_cast<int32_t>(b.first.size()),
                                 st) == UCOL_LESS;
    });

    QStringList sorted = shuffled;
    sortJapanese(sorted);
    ASSERT_EQ(sorted.size(), shuffled.size());
    for (qsizetype i = 0; i < sorted.size(); ++i)
        EXPECT_EQ(sorted[i], expected[static_cast<size_t>(i)].first) << i;
}
