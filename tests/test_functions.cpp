// Whole-number conversion, comma-text splitting, dates and colours.
#include "service/u_Function.h"

#include <QtTest>

using OptInt = std::optional<qint32>;
Q_DECLARE_METATYPE(OptInt)

class TestFunctions : public QObject
{
    Q_OBJECT

private slots:
    void wholeNumber_data();
    void wholeNumber();
    void commaTextSplit_data();
    void commaTextSplit();
    void copyAndPad();
    void textToDate_data();
    void textToDate();
    void dateValues();
    void colours_data();
    void colours();
    void randomDigits();
    void allCharsIn();
};

void TestFunctions::wholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<OptInt>("expected");
    const OptInt fail;
    QTest::newRow("zero") << "0" << OptInt(0);
    QTest::newRow("leading blanks") << "   42" << OptInt(42);
    QTest::newRow("plus") << "+7" << OptInt(7);
    QTest::newRow("minus") << "-7" << OptInt(-7);
    QTest::newRow("max") << "2147483647" << OptInt(2147483647);
    QTest::newRow("min") << "-2147483648" << OptInt(-2147483647 - 1);
    QTest::newRow("min-1") << "-2147483649" << fail;
    QTest::newRow("huge") << "99999999999999999999999" << fail;
    QTest::newRow("dollar") << "$FF" << OptInt(255);
    QTest::newRow("x lower digits") << "xff" << OptInt(255);
    QTest::newRow("0x") << "0x10" << OptInt(16);
    QTest::newRow("hex pattern -1") << "$FFFFFFFF" << OptInt(-1);
    QTest::newRow("negated hex") << "-$10" << OptInt(-16);
    QTest::newRow("negated min pattern") << "-$80000000" << OptInt(-2147483647 - 1);
    QTest::newRow("nine hex digits") << "$100000000" << fail;
    QTest::newRow("empty") << "" << fail;
    QTest::newRow("blanks only") << "   " << fail;
    QTest::newRow("sign only") << "-" << fail;
    QTest::newRow("0x only") << "0x" << fail;
    QTest::newRow("trailing blank") << "12 " << fail;
    QTest::newRow("tab is not a blank") << "\t5" << fail;
    QTest::newRow("blank after sign") << "- 5" << fail;
    QTest::newRow("sign after prefix") << "$-5" << fail;
    QTest::newRow("non-ASCII digit") << QString(QChar(0x0663)) << fail;
}

void TestFunctions::wholeNumber()
{
    QFETCH(QString, text);
    QFETCH(OptInt, expected);
    QCOMPARE(WholeNumber(text), expected);
}

void TestFunctions::commaTextSplit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("blanks") << " \t " << QStringList();
    QTest::newRow("commas") << "1,2,3" << QStringList{"1", "2", "3"};
    QTest::newRow("blank separates") << "1 2" << QStringList{"1", "2"};
    QTest::newRow("tabs and newlines") << "1\t2\r\n3" << QStringList{"1", "2", "3"};
    QTest::newRow("a game box's lines") << "13\n822\n" << QStringList{"13", "822"};
    QTest::newRow("double comma") << "1,,2" << QStringList{"1", "", "2"};
    QTest::newRow("comma blank comma") << "1, ,2" << QStringList{"1", "", "2"};
    QTest::newRow("trailing comma") << "1," << QStringList{"1", ""};
    QTest::newRow("trailing comma then blank") << "1, " << QStringList{"1"};
    QTest::newRow("leading comma") << ",1" << QStringList{"", "1"};
    QTest::newRow("quoted") << "\"a b\",c" << QStringList{"a b", "c"};
    QTest::newRow("doubled quote") << "\"a\"\"b\"" << QStringList{"a\"b"};
    QTest::newRow("unterminated quote") << "1,\"open, rest " << QStringList{"1", "open, rest "};
    QTest::newRow("text after closing quote") << "\"ab\"cd" << QStringList{"ab", "cd"};
    QTest::newRow("NUL ends the text") << QStringLiteral("1 2").insert(1, QChar(0)) + ",3"
                                      << QStringList{"1"};
    QTest::newRow("script line") << "1234, boardgame, 2009/03/05, , L, S, #FF0000"
                                 << QStringList{"1234", "boardgame", "2009/03/05", "", "L", "S", "#FF0000"};
}

void TestFunctions::commaTextSplit()
{
    QFETCH(QString, text);
    QFETCH(QStringList, fields);
    QCOMPARE(CommaTextSplit(text), fields);
}

void TestFunctions::copyAndPad()
{
    QCOMPARE(CopyToEnd("a|b=c", 3), QString("b=c"));
    QCOMPARE(CopyToEnd("abc", 0), QString("abc"));
    QCOMPARE(CopyToEnd("abc", -5), QString("abc"));
    QCOMPARE(CopyToEnd("abc", 3), QString("c"));
    QCOMPARE(CopyToEnd("abc", 4), QString());
    QCOMPARE(CopyToEnd("abc", 100), QString());

    QCOMPARE(PadLeft("7", 2, "0"), QString("07"));
    QCOMPARE(PadLeft("123", 2, "0"), QString("123"));
    QCOMPARE(PadLeft("", 3, "0"), QString("000"));
    QCOMPARE(PadLeft("7", 4, "ab"), QString("abab7")); // whole pads, never cut
    QCOMPARE(PadLeft("7", 4, ""), QString("7"));       // an empty pad must not hang

    const QByteArray latin1Line("caf\xE9 \x80 \x81\xFF", 9);
    QCOMPARE(RecodeViaUtf8(latin1Line), latin1Line);
}

void TestFunctions::textToDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");
    const QDate null = NullDate();
    QTest::newRow("slashes") << "2009/03/05" << QDate(2009, 3, 5);
    QTest::newRow("any separators, tail ignored") << "2009x03y05 12:00" << QDate(2009, 3, 5);
    QTest::newRow("one-digit month") << "2009/3/5" << null;
    QTest::newRow("one-digit day at end") << "2009/03/5" << QDate(2009, 3, 5);
    QTest::newRow("empty") << "" << null;
    QTest::newRow("29 Feb common year") << "2009/02/29" << null;
    QTest::newRow("29 Feb leap year") << "2008/02/29" << QDate(2008, 2, 29);
    QTest::newRow("29 Feb 2000") << "2000/02/29" << QDate(2000, 2, 29);
    QTest::newRow("29 Feb 2100") << "2100/02/29" << null;
    QTest::newRow("31 April") << "2009/04/31" << null;
    QTest::newRow("month 13") << "2009/13/01" << null;
    QTest::newRow("month 0") << "2009/00/10" << null;
    QTest::newRow("year 0") << "0000/01/01" << null;
    QTest::newRow("year 9999") << "9999/12/31" << QDate(9999, 12, 31);
    QTest::newRow("the null date itself") << "1899/12/31" << null;
}

void TestFunctions::textToDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    QCOMPARE(TextToDate(text), expected);
}

void TestFunctions::dateValues()
{
    QCOMPARE(NullDate(), QDate(1899, 12, 31));
    QCOMPARE(DateToDays(QDate(1899, 12, 30)), 0.0);
    QCOMPARE(DateToDays(NullDate()), 1.0);
    QCOMPARE(DateToDays(QDate(2000, 1, 1)), 36526.0);
    QCOMPARE(DateToDays(QDate()), 1.0);
    QCOMPARE(DaysToDate(36526.75), QDate(2000, 1, 1));
    QCOMPARE(DaysToDate(-0.5), QDate(1899, 12, 29));
    QCOMPARE(DaysToDate(qQNaN()), NullDate());
    QCOMPARE(DaysToDate(qInf()), NullDate());

    QCOMPARE(DateToText(QDate(2010, 1, 1)), QString("2010/01/01"));
    QCOMPARE(DateToText(QDate(2009, 12, 25)), QString("2009/12/25"));
    QCOMPARE(DateToText(QDate(987, 6, 5)), QString("987/06/05"));
    for (const QDate d : {QDate(2010, 1, 1), QDate(2008, 2, 29), QDate(1999, 12, 31)})
        QCOMPARE(TextToDate(DateToText(d)), d);
}

void TestFunctions::colours_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isColor");
    QTest::addColumn<uint>("value");
    QTest::newRow("red") << "#FF0000" << true << 255u;
    QTest::newRow("green") << "#00FF00" << true << 65280u;
    QTest::newRow("blue") << "#0000FF" << true << 16711680u;
    QTest::newRow("lower case") << "#ff0000" << true << 255u;
    QTest::newRow("lower h") << "#hh0000" << true << 0u; // not replaced: red fails
    QTest::newRow("six characters") << "#12345" << true << 0u;
    QTest::newRow("short") << "#12" << true << 0u;
    QTest::newRow("second hash") << "#12#456" << true << uint(0x12 + 0x56 * 65536);
    QTest::newRow("tail ignored") << "#0000FF99" << true << 16711680u;
    QTest::newRow("empty") << "" << false << 0u;
    QTest::newRow("no hash") << "1234567" << false << uint(0x23 + 0x45 * 256 + 0x67 * 65536);
    QTest::newRow("G") << "#12G456" << false << uint(0x12 + 0x56 * 65536);
}

void TestFunctions::colours()
{
    QFETCH(QString, text);
    QFETCH(bool, isColor);
    QFETCH(uint, value);
    QCOMPARE(IsColorText(text), isColor);
    QCOMPARE(TextToColor(text), ColorValue(value));
}

void TestFunctions::randomDigits()
{
    // The generator starts from a fixed state, so these counts are the same
    // on every run; a skewed or narrowed draw shows as a count far from 1000.
    QHash<QChar, int> counts;
    for (int i = 0; i < 16000; ++i)
        ++counts[RandomHexDigit()];
    QCOMPARE(counts.size(), 16);
    for (const QChar c : QStringLiteral("1234567890ABCDEF")) {
        QVERIFY2(counts.value(c) > 850 && counts.value(c) < 1150, qPrintable(QString(c)));
    }

    // Every H is a new draw; lower-case h is not replaced.
    QSet<ColorValue> reds;
    for (int i = 0; i < 200; ++i) {
        const ColorValue c = TextToColor("#HH00FF");
        QCOMPARE(c & 0xFFFF00u, 0xFF0000u);
        reds.insert(c & 0xFF);
    }
    QVERIFY(reds.size() > 100);
    QCOMPARE(TextToColor("#00hH00") & 0xFF00u, 0u);
}

void TestFunctions::allCharsIn()
{
    QVERIFY(AllCharsIn("LS", "LRSD"));
    QVERIFY(!AllCharsIn("ls", "LRSD"));
    QVERIFY(AllCharsIn("", "LRSD"));
    QVERIFY(AllCharsIn("", ""));
    QVERIFY(!AllCharsIn("L", ""));
}

QTEST_GUILESS_MAIN(TestFunctions)
#include "test_functions.moc"
