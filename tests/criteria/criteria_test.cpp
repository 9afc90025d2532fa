#include "criteria/CriteriaFile.h"
#include "support/TestSupport.h"
#include "text/DataFileError.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const QString kHeader = QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n");

CriteriaTable load(const QString &text, const CriteriaTable &before = {})
{
    QTemporaryDir dir;
    const QString path = dir.path() + u'/' + criteriaFileName();
    writeCp932(path, text);
    return LoadCriteria(path, before);
}

} // namespace

TEST(Criteria, EditorFileReadsHeaderIntoEntryZeroAndLevelsAfterIt)
{
    const CriteriaTable t = load(kHeader + QStringLiteral("45,90,100,5,1.5,10,0,7,1,,,\r\n"
                                                          "60,120,9999,9999,1,0,200,14,3,a,,\r\n"));
    EXPECT_EQ(t.CritTargetTime[0], 0);
    EXPECT_EQ(t.CritPointRate[0], 0.0f);
    EXPECT_EQ(t.CritOverRuns[0].toText(), QStringLiteral("禁回"));
    EXPECT_EQ(t.CritOverDays[0].toText(), QStringLiteral("禁期間"));
    EXPECT_TRUE(t.CritSpare10[0].isEmpty());
    EXPECT_EQ(t.CritTargetTime[1], 45);
    EXPECT_EQ(t.CritPassTime[1], 90);
    EXPECT_EQ(t.CritClearPoints[1], 100);
    EXPECT_EQ(t.CritClearCount[1], 5);
    EXPECT_EQ(t.CritPointRate[1], 1.5f);
    EXPECT_TRUE(t.CritOverRuns[1].isNumber());
    EXPECT_EQ(t.CritOverRuns[1].toNumber(), 10);
    EXPECT_EQ(t.CritPassDays[1].toNumber(), 7);
    EXPECT_EQ(t.CritClearCount[2], 9999);
    EXPECT_EQ(t.CritSpare10[2].toText(), QStringLiteral("a"));
    EXPECT_EQ(t.CritTargetTime[3], 0);
}

TEST(Criteria, HeaderOnlyLeavesEveryLevelAtZero)
{
    const CriteriaTable t = load(kHeader);
    for (int L = 1; L <= 35; ++L) {
        EXPECT_EQ(t.CritPassTime[L], 0);
        EXPECT_TRUE(t.CritPassDays[L].isEmpty());
    }
}

TEST(Criteria, EntriesPastTheLastLineKeepWhatTheyHeld)
{
    CriteriaTable before;
    before.CritTargetTime[2] = 77;
    const CriteriaTable t = load(kHeader + QStringLiteral("45,90,100,5,1.5,10,0,7,1,,,\r\n"), before);
    EXPECT_EQ(t.CritTargetTime[2], 77);
}

TEST(Criteria, AShortLineBorrowsFieldsFromTheNextLine)
{
    // Level 1 has only 10 fields; its fields 11 and 12 come from the next line, and
    // level 2 starts two fields into that line.
    const CriteriaTable t = load(kHeader + QStringLiteral("45,90,100,5,1.5,10,0,7,1,x\r\n"
                                                          "s11,s12,60,120,30,3,1,0,0,7,1,,,\r\n"));
    EXPECT_EQ(t.CritSpare11[1].toText(), QStringLiteral("s11"));
    EXPECT_EQ(t.CritSpare12[1].toText(), QStringLiteral("s12"));
    EXPECT_EQ(t.CritTargetTime[2], 60);
    EXPECT_EQ(t.CritPassTime[2], 120);
}

TEST(Criteria, BadFilesNameFileAndLineAndChangeNothing)
{
    QString tooMany = kHeader;
    for (int i = 0; i < 36; ++i)
        tooMany += QStringLiteral("45,90,100,5,1.5,10,0,7,1,,,\r\n");
    const QString level1 = QStringLiteral("45,90,100,5,1.5,10,0,7,1,,,\r\n");
    const struct {
        QString text;
        int line;
        QString field; // how the message names the field
    } cases[] = {
        {tooMany, 37, {}}, // the 36th level line
        {kHeader + QStringLiteral("45,90,100,40000,1.5,10,0,7,1,,,\r\n"), 2, QStringLiteral("4番目の項目（ｸﾘｱ回数）")},
        {kHeader + QStringLiteral("45,3000000000,100,5,1.5,10,0,7,1,,,\r\n"), 2,
         QStringLiteral("2番目の項目（最低Time）")},
        // Numbers that are no numbers, or whose sums or products would not fit.
        {kHeader + level1 + QStringLiteral("nan,90,100,5,1.5,10,0,7,1,,,\r\n"), 3,
         QStringLiteral("1番目の項目（目標Time）")},
        {kHeader + QStringLiteral("1e10,90,100,5,1.5,10,0,7,1,,,\r\n"), 2, QStringLiteral("目標Time")},
        {kHeader + QStringLiteral("45,90,100,5,1e30,10,0,7,1,,,\r\n"), 2, QStringLiteral("5番目の項目（ﾎﾟｲﾝﾄ倍率）")},
        {kHeader + QStringLiteral("45,90,100,5,1e8,10,0,7,1,,,\r\n"), 2, QStringLiteral("ﾎﾟｲﾝﾄ倍率")},
        {kHeader + QStringLiteral("45,90,100,5,1000.5,10,0,7,1,,,\r\n"), 2, QStringLiteral("ﾎﾟｲﾝﾄ倍率")},
        {kHeader + QStringLiteral("45,90,100,5,nan,10,0,7,1,,,\r\n"), 2, QStringLiteral("ﾎﾟｲﾝﾄ倍率")},
        {kHeader + QStringLiteral("45,500000000,100,5,1.5,10,0,7,1,,,\r\n"), 2, QStringLiteral("最低Time")},
        {kHeader + QStringLiteral("45,90,inf,5,1.5,10,0,7,1,,,\r\n"), 2, QStringLiteral("ｸﾘｱﾎﾟｲﾝﾄ")},
        {kHeader + QStringLiteral("45,90,100,5,1.5,10,0,inf,1,,,\r\n"), 2, QStringLiteral("8番目の項目（判期間）")},
        {kHeader + QStringLiteral("45,90,100,5,1.5,1e999,0,7,1,,,\r\n"), 2, QStringLiteral("禁回")},
        {kHeader + QStringLiteral("45,90,100,5,1.5,10,0,7,1,,,NaN\r\n"), 2, QStringLiteral("12番目の項目")},
    };
    for (const auto &c : cases) {
        try {
            load(c.text);
            FAIL() << "no error: " << c.text.toStdString();
        } catch (const DataFileError &e) {
            EXPECT_TRUE(e.file().endsWith(criteriaFileName()));
            EXPECT_EQ(e.line(), c.line) << c.text.toStdString();
            EXPECT_TRUE(e.message().contains(c.field)) << e.message().toStdString();
        }
    }
    // The largest values that still fit are read as written.
    const CriteriaTable edge = load(kHeader + QStringLiteral("2147483647,429496729,-2147483648,-32768,1000,1e300,0,"
                                                             "1e300,-1e300,,,\r\n45,90,100,5,-1000,,,,,,,\r\n"));
    EXPECT_EQ(edge.CritTargetTime[1], 2147483647);
    EXPECT_EQ(edge.CritPassTime[1], 429496729);
    EXPECT_EQ(edge.CritClearCount[1], -32768);
    EXPECT_EQ(edge.CritPointRate[1], 1000.0f);
    EXPECT_EQ(edge.CritPointRate[2], -1000.0f);
    EXPECT_EQ(edge.CritPassDays[1].toNumber(), 1e300);
    QTemporaryDir dir;
    EXPECT_THROW(LoadCriteria(dir.path() + QStringLiteral("/missing.txt"), {}), DataFileError);
}

TEST(Criteria, WrittenFileReadsBackAsTheSameTable)
{
    const CriteriaTable original = load(kHeader + QStringLiteral("45,90,100,5,1.5,10,0,7,1,,,\r\n"
                                                                 "60,120,9999,9999,1.1,0,200,14,3,memo,2,\r\n"
                                                                 "20,40,30,3,0.7,,,7,1,,,\r\n"));
    QTemporaryDir dir;
    const QString path = dir.path() + u'/' + criteriaFileName();
    QList<QStringList> rows;
    for (int L = 1; L <= 3; ++L)
        rows << criteriaRowTexts(original, L);
    ASSERT_EQ(WriteCriteriaFile(path, rows), QString());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith(toCp932(kHeader)));
    EXPECT_TRUE(bytes.contains("45,90,100,5,1.5,10,0,7,1,,,\r\n"));
    EXPECT_EQ(LoadCriteria(path, {}), original);
}
