#include "text/Cp932.h"
#include "text/DataFileError.h"
#include "text/DayNumber.h"
#include "text/FieldReader.h"
#include "text/FixedWidth.h"
#include "text/LineWriter.h"
#include "text/Numbers.h"
#include "text/SortByKey.h"
#include "text/SystemError.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cerrno>
#include <cmath>
#include <QTemporaryDir>

using namespace tobrel;

namespace {

QStringList readAll(const QString &text)
{
    FieldReader r(text, QStringLiteral("t.txt"));
    QStringList out;
    while (!r.atEnd())
        out << r.readText();
    return out;
}

} // namespace

TEST(FieldReader, SplitsFieldsLikeTheSuiteWritesThem)
{
    struct Case {
        const char16_t *input;
        QStringList fields;
    };
    const Case cases[] = {
        {u"a,b,c\r\n", {"a", "b", "c"}},
        {u"  lead,trail  ,\tx\r\n", {"lead", "trail", "x"}},
        {u"\"a,b\",c\r\n", {"a,b", "c"}},
        {u"\"quoted\" rest skipped,next\r\n", {"quoted", "next"}},
        {u"1,2\r\n3,4\r\n", {"1", "2", "3", "4"}},
        {u"目標Time,禁期間,,,\r\n", {QStringLiteral("目標Time"), QStringLiteral("禁期間"), "", "", ""}},
        {u"a\nb\rc", {"a", "b", "c"}},
        {u"x,y\r\n\r\n\x1a", {"x", "y"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(readAll(QString::fromUtf16(c.input)), c.fields) << QString::fromUtf16(c.input).toStdString();
}

TEST(FieldReader, NumbersAndVariants)
{
    FieldReader r(QStringLiteral("12, 1.5 ,,abc,\"7\",-3,12abc\r\n"), QStringLiteral("t.txt"));
    EXPECT_EQ(r.readNumber(), 12);
    EXPECT_EQ(r.readNumber(), 1.5);
    EXPECT_EQ(r.readNumber(), 0); // empty
    EXPECT_EQ(r.readNumber(), 0); // not a number
    const Variant quoted = r.readVariant();
    EXPECT_TRUE(quoted.isText()); // quoted numeric text stays text
    const Variant neg = r.readVariant();
    EXPECT_TRUE(neg.isNumber());
    EXPECT_EQ(neg.toNumber(), -3);
    EXPECT_TRUE(r.readVariant().isText());
    FieldReader empty(QStringLiteral(",x"), QStringLiteral("t.txt"));
    EXPECT_TRUE(empty.readVariant().isEmpty());
}

TEST(FieldReader, ReadingPastTheEndNamesFileAndLine)
{
    // A last line without its line end still closes its empty last field.
    FieldReader noLineEnd(QStringLiteral("45,90,"), QStringLiteral("t.txt"));
    EXPECT_EQ(noLineEnd.readText(), QStringLiteral("45"));
    EXPECT_EQ(noLineEnd.readText(), QStringLiteral("90"));
    EXPECT_EQ(noLineEnd.readText(), QString());
    EXPECT_TRUE(noLineEnd.atEnd());
    EXPECT_THROW(noLineEnd.readText(), DataFileError);

    FieldReader r(QStringLiteral("a\r\nb\r\n"), QStringLiteral("short.txt"));
    r.readText();
    r.readText();
    EXPECT_TRUE(r.atEnd());
    try {
        r.readText();
        FAIL() << "no error";
    } catch (const DataFileError &e) {
        EXPECT_EQ(e.file(), QStringLiteral("short.txt"));
        EXPECT_EQ(e.line(), 3);
        EXPECT_TRUE(e.message().contains(QStringLiteral("short.txt")));
    }
}

TEST(Cp932, RoundTripsTheNecAndIbmExtensions)
{
    const QString text = QStringLiteral("①Ⅰ髙﨑～德　ｱｲｳ名簿ﾌﾟﾛｸﾞﾗﾑ");
    const QByteArray bytes = toCp932(text);
    EXPECT_EQ(fromCp932(bytes), text);
    // A few byte values fixed by the code page.
    EXPECT_EQ(toCp932(QStringLiteral("①")), QByteArray("\x87\x40"));
    EXPECT_EQ(toCp932(QStringLiteral("～")), QByteArray("\x81\x60"));
    EXPECT_EQ(toCp932(QStringLiteral("髙")), QByteArray("\xFB\xFC"));
}

TEST(Cp932, BadInputNeverCrashes)
{
    // A lead byte without its trail byte, and bytes that map to nothing.
    const QString s = fromCp932(QByteArray("ab\x81", 3));
    EXPECT_TRUE(s.startsWith(QStringLiteral("ab")));
    EXPECT_FALSE(fromCp932(QByteArray("\xA0\xFD\xFE\xFF", 4)).isNull());
    // Characters outside the code page become "?".
    EXPECT_EQ(toCp932(QStringLiteral("a😀b")), QByteArray("a?b"));
    EXPECT_EQ(toCp932(QStringLiteral("한")), QByteArray("?"));
}

TEST(Cp932, TextThatIsNotShiftJisIsFoundWithItsLine)
{
    using K = EncodingProblem;
    const struct {
        QByteArray bytes;
        K::Kind kind;
        int line;
        QByteArray badBytes;
    } cases[] = {
        {toCp932(QStringLiteral("1,山田　花子\r\n2,髙橋①ﾃｽﾄ～\r\n")), K::None, 1, {}},
        {QByteArray("plain ascii\r\n"), K::None, 1, {}},
        {QByteArray(), K::None, 1, {}},
        {QByteArray("\xEF\xBB\xBF"
                    "1,2\r\n"),
         K::Utf8Mark,
         1,
         {}},
        {QStringLiteral("a\r\n正解音2\r\npinpon\r\n*\r\n").toUtf8(), K::Utf8Text, 2, {}},
        {QStringLiteral("1,1996,0,0,山田　花子,0,,\r\n").toUtf8(), K::Utf8Text, 1, {}},
        {QByteArray("ok\r\nx\x81\r\n"), K::NotCp932, 2, QByteArray("\x81")},
        {QByteArray("ok\r\nok\r\n\x85\x40"), K::NotCp932, 3, QByteArray("\x85\x40")},
        {QByteArray("\xFF"), K::NotCp932, 1, QByteArray("\xFF")},
    };
    for (const auto &c : cases) {
        const EncodingProblem p = findEncodingProblem(c.bytes);
        EXPECT_EQ(p.kind, c.kind) << c.bytes.toHex().toStdString();
        if (c.kind == K::None)
            continue;
        EXPECT_EQ(p.line, c.line) << c.bytes.toHex().toStdString();
        EXPECT_EQ(p.bytes, c.badBytes) << c.bytes.toHex().toStdString();
        EXPECT_TRUE(encodingProblemText(p).contains(QStringLiteral("Shift-JISのファイルではありません")));
    }
    // The reader refuses such bytes and names the file and the line.
    try {
        FieldReader::fromBytes(QStringLiteral("一,二\r\n三\r\n").toUtf8(), QStringLiteral("新名簿.txt"));
        FAIL() << "no error";
    } catch (const DataFileError &e) {
        EXPECT_EQ(e.line(), 1);
        EXPECT_TRUE(e.message().contains(QStringLiteral("新名簿.txt")));
        EXPECT_TRUE(e.message().contains(QStringLiteral("UTF-8")));
    }
}

TEST(FieldReader, NumberFieldsThatDoNotFitNameTheFileLineAndField)
{
    const struct {
        const char *text;
        double low, high;
        bool whole;
        bool fits;
        double value;
    } cases[] = {
        {"12", 0, 100, true, true, 12},           {"", 0, 100, true, true, 0},
        {"abc", 0, 100, true, true, 0},           {"2.5", 0, 100, true, true, 2},
        {"1.5", 0, 100, false, true, 1.5},        {"-32768", -32768, 32767, true, true, -32768},
        {"32768", -32768, 32767, true, false, 0}, {"101", 0, 100, false, false, 0},
        {"nan", 0, 100, true, false, 0},          {"inf", -1e9, 1e9, false, false, 0},
        {"-inf", -1e9, 1e9, false, false, 0},     {"1e999", -1e9, 1e9, false, false, 0},
        {"1e30", -1000, 1000, false, false, 0},
    };
    for (const auto &c : cases) {
        FieldReader r(QStringLiteral("x\r\n") + QString::fromLatin1(c.text) + QStringLiteral("\r\n"),
                      QStringLiteral("t.txt"));
        r.readText();
        try {
            const double v = r.readNumberWithin(c.low, c.high, QStringLiteral("2番目の項目"), c.whole);
            EXPECT_TRUE(c.fits) << c.text;
            EXPECT_EQ(v, c.value) << c.text;
        } catch (const DataFileError &e) {
            EXPECT_FALSE(c.fits) << c.text;
            EXPECT_EQ(e.line(), 2) << c.text;
            EXPECT_TRUE(e.message().contains(QStringLiteral("t.txt"))) << c.text;
            EXPECT_TRUE(e.message().contains(QStringLiteral("2番目の項目"))) << c.text;
            EXPECT_TRUE(e.message().contains(QString::fromLatin1(c.text))) << c.text;
        }
    }
    FieldReader v(QStringLiteral("7,\"nan\",text,nan\r\n"), QStringLiteral("t.txt"));
    EXPECT_EQ(v.readFiniteVariant(QStringLiteral("a")).toNumber(), 7);
    EXPECT_TRUE(v.readFiniteVariant(QStringLiteral("b")).isText()); // quoted: a text
    EXPECT_TRUE(v.readFiniteVariant(QStringLiteral("c")).isText());
    EXPECT_THROW(v.readFiniteVariant(QStringLiteral("d")), DataFileError);
}

TEST(FieldReader, AFileEndsAtItsEndOfFileMark)
{
    // A criteria file saved by an old editor with Ctrl-Z after its last line.
    FieldReader r = FieldReader::fromBytes(toCp932(QStringLiteral("目標Time,45\r\n")) + QByteArray("\x1A"),
                                           QStringLiteral("t.txt"));
    EXPECT_EQ(r.readText(), QStringLiteral("目標Time"));
    EXPECT_EQ(r.readText(), QStringLiteral("45"));
    EXPECT_TRUE(r.atEnd());
    FieldReader cut = FieldReader::fromBytes(QByteArray("a,b\r\n\x1A"
                                                        "c,d\r\n"),
                                             QStringLiteral("t.txt"));
    EXPECT_EQ(cut.readText(), QStringLiteral("a"));
    EXPECT_EQ(cut.readText(), QStringLiteral("b"));
    EXPECT_TRUE(cut.atEnd());
}

TEST(FieldReader, FilesOverTheirLimitAreRefused)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/パスデータ.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(kSmallFileMaxBytes, 'a'));
    f.close();
    EXPECT_NO_THROW(FieldReader::openFile(path, kSmallFileMaxBytes));
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("a");
    f.close();
    try {
        FieldReader::openFile(path, kSmallFileMaxBytes);
        FAIL() << "no error";
    } catch (const DataFileError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("パスデータ.txt")));
        EXPECT_TRUE(e.message().contains(QStringLiteral("大きすぎます")));
    }
    EXPECT_NO_THROW(FieldReader::openFile(path)); // no limit asked
}

TEST(LineWriter, JoinsWithCommasAndEndsWithCrLf)
{
    LineWriter w;
    w.addLine({QStringLiteral("45"), QStringLiteral("髙"), QString()});
    w.addLine({QStringLiteral("x")});
    EXPECT_EQ(w.bytes(), QByteArray("45,\xFB\xFC,\r\nx\r\n"));
}

TEST(FixedWidth, AlignsAndCuts)
{
    EXPECT_EQ(alignRight(QStringLiteral("45"), 5), QStringLiteral("   45"));
    EXPECT_EQ(alignRight(QStringLiteral("123456"), 5), QStringLiteral("23456"));
    EXPECT_EQ(alignLeftFull(QStringLiteral("山田"), 5), QStringLiteral("山田　　　"));
    EXPECT_EQ(alignLeftFull(QStringLiteral("佐々木小次郎"), 5), QStringLiteral("佐々木小次"));
}

TEST(Numbers, StrPutsABlankBeforeNonNegativeNumbers)
{
    EXPECT_EQ(Str(12), QStringLiteral(" 12"));
    EXPECT_EQ(Str(0), QStringLiteral(" 0"));
    EXPECT_EQ(Str(-3), QStringLiteral("-3"));
    EXPECT_EQ(CStr(12), QStringLiteral("12"));
    EXPECT_EQ(CStr(1.5f), QStringLiteral("1.5"));
    EXPECT_EQ(CStr(1.1f), QStringLiteral("1.1"));
    EXPECT_EQ(leadingNumber(QStringLiteral("12*")), 12);
    EXPECT_EQ(leadingNumber(QStringLiteral("*12")), 0);
    EXPECT_EQ(leadingNumber(QString()), 0);
    EXPECT_EQ(leadingNumber(QStringLiteral("1e3x")), 1000);
    // Non-finite texts are not numbers, wherever numbers are read.
    for (const char16_t *text : {u"nan", u"NaN", u"-nan", u"inf", u"-inf", u"+INF", u"Infinity", u"1e999", u"-1e999"}) {
        const QString t = QString::fromUtf16(text);
        EXPECT_FALSE(isNumericText(t)) << t.toStdString();
        EXPECT_EQ(leadingNumber(t), 0) << t.toStdString();
        FieldReader r(t + u',' + t, QStringLiteral("t.txt"));
        EXPECT_EQ(r.readNumber(), 0) << t.toStdString();
        const Variant v = r.readVariant();
        EXPECT_TRUE(v.isText()) << t.toStdString();
        EXPECT_EQ(v.toNumber(), 0) << t.toStdString();
    }
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
}

TEST(SortByKey, EqualKeysComeOutWithTheRightHalfFirst)
{
    // Entries 1..4 with equal keys: one pass reverses them, a second restores them.
    std::vector<int32_t> keys{0, 5, 5, 5, 5};
    std::vector<int32_t> values{0, 1, 2, 3, 4};
    SortByKey(4, keys, values);
    EXPECT_EQ(values, (std::vector<int32_t>{0, 4, 3, 2, 1}));
    SortByKey(4, keys, values);
    EXPECT_EQ(values, (std::vector<int32_t>{0, 1, 2, 3, 4}));

    std::vector<int32_t> k2{99, 50, 40, 45, 45, 99999, 10};
    std::vector<int32_t> v2{-1, 1, 2, 3, 4, 5, 6};
    SortByKey(6, k2, v2);
    EXPECT_EQ(k2, (std::vector<int32_t>{99, 10, 40, 45, 45, 50, 99999}));
    EXPECT_EQ(v2, (std::vector<int32_t>{-1, 6, 2, 4, 3, 1, 5}));
    EXPECT_EQ(k2[0], 99); // entry 0 untouched

    std::vector<int32_t> one{0, 7}, oneV{0, 1};
    SortByKey(1, one, oneV);
    EXPECT_EQ(oneV[1], 1);
}

TEST(DayNumber, CountsFromThirtiethDecember1899)
{
    EXPECT_EQ(dayNumber(QDate(1899, 12, 30)), 0);
    EXPECT_EQ(dayNumber(QDate(1900, 1, 1)), 2);
    EXPECT_EQ(dayNumber(QDate(2004, 2, 7)), 38024);
    EXPECT_EQ(dateFromDayNumber(38024), QDate(2004, 2, 7));
    EXPECT_EQ(timeFromFraction(dayFraction(19 * 3600 + 5 * 60 + 3)), QTime(19, 5, 3));
    // Numbers that are no day or time give no date and midnight, never a wild value.
    for (double wild : {1e300, -1e300, std::nan(""), HUGE_VAL, 9.3e18})
        EXPECT_FALSE(dateFromDayNumber(wild).isValid()) << wild;
    EXPECT_EQ(timeFromFraction(std::nan("")), QTime(0, 0));
    EXPECT_EQ(timeFromFraction(HUGE_VAL), QTime(0, 0));
}

#include "support/TestSupport.h"
#include "text/PathCase.h"

TEST(PathCase, FindsFilesAndFoldersThatDifferInLetterCaseOnly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(tobrel::test::writeFile(dir.path() + QStringLiteral("/Pinpon.WAV"), "x"));
    QDir().mkpath(dir.path() + QStringLiteral("/Squares"));
    EXPECT_EQ(pathIgnoringCase(dir.path() + QStringLiteral("/pinpon.wav")), dir.path() + QStringLiteral("/Pinpon.WAV"));
    EXPECT_EQ(pathIgnoringCase(dir.path() + QStringLiteral("/squares/")), dir.path() + QStringLiteral("/Squares/"));
    EXPECT_EQ(pathIgnoringCase(dir.path() + QStringLiteral("/Squares/")), dir.path() + QStringLiteral("/Squares/"));
    EXPECT_EQ(pathIgnoringCase(dir.path() + QStringLiteral("/none.wav")), dir.path() + QStringLiteral("/none.wav"));
    EXPECT_EQ(pathIgnoringCase(QStringLiteral("/no/such/folder/x.wav")), QStringLiteral("/no/such/folder/x.wav"));
}

TEST(SystemError, FileFailuresAreToldInTheProgramsWords)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const struct {
        int err;
        QString path;
        const char *says;
    } cases[] = {
        {ENOENT, folder + QStringLiteral("/missing.csv"), "ファイルがありません"},
        {ENOENT, folder + QStringLiteral("/no/such/x.csv"), "ファイルを入れるフォルダがありません"},
        {0, folder + QStringLiteral("/no/such/x.csv"), "ファイルを入れるフォルダがありません"},
        {0, folder, "ファイルではなくフォルダです"},
        {EISDIR, folder, "ファイルではなくフォルダです"},
        {ENOSPC, folder + QStringLiteral("/x.csv"), "ディスクがいっぱいです"},
        {EEXIST, folder + QStringLiteral("/バックアップ"), "同じ名前のファイルかフォルダがもうあります"},
        // A share mounted without locks: named, so the school can mend the mount.
        {ENOLCK, folder + QStringLiteral("/x.dat"), "ロックを受け付けません"},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(fileFailureText(c.err, c.path).contains(QString::fromUtf8(c.says)))
            << c.err << " " << fileFailureText(c.err, c.path).toStdString();
}
