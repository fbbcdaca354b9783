// Script lines without windows: the checker's messages, random colours from
// one start to the next, quoted fields from the builder read back, and the
// line ends and NUL of script files.
#include "script/ScriptCheck.h"
#include "script/ScriptFile.h"
#include "script/ScriptLine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

static const char *const PrintColorsArg = "--print-random-colors";

class TestScriptLines : public QObject
{
    Q_OBJECT
private slots:
    void checker_data();
    void checker();
    void randomColorsRepeatAfterRestart();
    void builtLinesReadBack_data();
    void builtLinesReadBack();
    void fileRoundTrip_data();
    void fileRoundTrip();
};

void TestScriptLines::checker_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QStringList>("log");

    const QStringList nodes { "abc", "rank|name=boardgame", "a b" };
    const QStringList ok { "Script OK" };
    QTest::newRow("empty script") << "" << nodes << ok;
    QTest::newRow("valid lines, final line end")
        << "12345,abc,2009/01/01,2010/06/30,RD,IL,#FF00HH\n12345, ABC, , , LS, ,\n"
        << nodes << ok;
    QTest::newRow("blank line") << "1,abc,,,,,\n\n3,abc,,,,," << nodes
                                << QStringList { "2) Wrong number of parameters <>" };
    QTest::newRow("six fields, blank inside the ID, unquoted blank in the node")
        << "12345,abc,,,LS,\n  12 345,xyz,,,LS,,\n1,a b,,,,," << nodes
        << QStringList { "1) Wrong number of parameters <12345,abc,,,LS,>",
               "2) Wrong number of parameters <  12 345,xyz,,,LS,,>",
               "3) Wrong number of parameters <1,a b,,,,,>" };
    QTest::newRow("quoted node, filter syntax in other case")
        << "1,\"a b\",,,,,\n2,RANK|NAME=BoardGame,,,,," << nodes << ok;
    QTest::newRow("node matched as a whole entry")
        << "1,ab,,,,,\n1,rank,,,,," << nodes
        << QStringList { "1) Node not valid <ab>", "2) Node not valid <rank>" };
    QTest::newRow("quoted IDs are not a game ID")
        << "\"13, 822\",abc,,,,," << nodes << QStringList { "1) Game ID not valid <13, 822>" };
    QTest::newRow("null date, no calendar day; other separator passes")
        << "1,abc,1899/12/31,2009/02/30,,,\n1,abc,2009-03-05,2008/02/29,,," << nodes
        << QStringList { "1) Date not valid <1899/12/31>", "1) Date not valid <2009/02/30>" };
    QTest::newRow("lower-case flags")
        << "1,abc,,,ls,il," << nodes
        << QStringList { "1) Left/Right/Standard/Delta flag not valid <ls>",
               "1) Inversion/Logarithmic flag not valid <il>" };
    QTest::newRow("short and odd colours pass")
        << "1,abc,,,,,#12\n1,abc,,,,,#\n1,abc,,,,,#hh0000\n1,abc,,,,,#1234567##" << nodes << ok;
    QTest::newRow("bad node and bad colour: node first")
        << "1,xyz,,,,,123456" << nodes
        << QStringList { "1) Node not valid <xyz>", "1) Color not valid <123456>" };
    QTest::newRow("every test of one line, in order")
        << "1,abc,,,,,\nx,xyz,2009/13/01,soon,LX,IQ,#12G456" << nodes
        << QStringList { "2) Game ID not valid <x>", "2) Node not valid <xyz>",
               "2) Date not valid <2009/13/01>", "2) Date not valid <soon>",
               "2) Left/Right/Standard/Delta flag not valid <LX>",
               "2) Inversion/Logarithmic flag not valid <IQ>", "2) Color not valid <#12G456>" };
    QTest::newRow("empty node list")
        << "1,abc,,,,,\r\n2,,,,,," << QStringList()
        << QStringList { "1) Node not valid <abc>", "2) Node not valid <>" };
}

void TestScriptLines::checker()
{
    QFETCH(QString, script);
    QFETCH(QStringList, nodes);
    QFETCH(QStringList, log);
    QCOMPARE(CheckScript(script, nodes), log);
}

// Every start draws the same random digits: two fresh processes agree, and
// within one process each line draws anew.
void TestScriptLines::randomColorsRepeatAfterRestart()
{
    QStringList runs;
    for (int i = 0; i < 2; ++i) {
        QProcess child;
        child.start(
            QCoreApplication::applicationFilePath(), { QString::fromLatin1(PrintColorsArg) });
        QVERIFY(child.waitForFinished());
        runs << QString::fromLatin1(child.readAllStandardOutput());
    }
    QCOMPARE(runs[1], runs[0]);
    const QStringList colors = runs[0].split(QLatin1Char(' '));
    QCOMPARE(colors.size(), 3);
    QVERIFY(colors[0] != colors[1] || colors[1] != colors[2]);
}

// What the builder writes for an odd node entry the checker accepts, and the
// executor reads back as the same request.
void TestScriptLines::builtLinesReadBack_data()
{
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("line");
    QTest::newRow("blank") << "a b"
                           << "7,\"a b\",2009/01/01,2010/06/30,RS,I,";
    QTest::newRow("comma and quotes") << "say \"x,y\""
                                      << "7,\"say \"\"x,y\"\"\",2009/01/01,2010/06/30,RS,I,";
    QTest::newRow("tab") << "tab\there"
                         << "7,\"tab\there\",2009/01/01,2010/06/30,RS,I,";
}

void TestScriptLines::builtLinesReadBack()
{
    QFETCH(QString, node);
    QFETCH(QString, line);
    ScriptRequest request;
    request.games = QStringLiteral("7");
    request.node = node;
    request.useDateRange = true;
    request.dateFrom = QDate(2009, 1, 1);
    request.dateTo = QDate(2010, 6, 30);
    request.vertAxis = 1;
    request.values = 0;
    request.inverted = true;
    QCOMPARE(FormatScriptLines(request), line + QStringLiteral("\r\n"));
    QCOMPARE(CheckScript(line, { node }), QStringList { "Script OK" });
    const std::optional<ScriptRequest> back = ParseScriptLine(line);
    QVERIFY(back);
    QCOMPARE(FormatScriptLines(*back), line + QStringLiteral("\r\n"));
    QCOMPARE(back->node, node);
}

// Bytes of a file, the editor's text read from them, the bytes saved back.
void TestScriptLines::fileRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("empty") << QByteArray() << "" << QByteArray();
    QTest::newRow("final line end kept") << QByteArray("a\r\nb\r\n") << "a\nb\n"
                                         << QByteArray("a\r\nb\r\n");
    QTest::newRow("no final end") << QByteArray("a\nb") << "a\nb" << QByteArray("a\r\nb");
    QTest::newRow("CR, LF, CR LF, CR CR LF") << QByteArray("a\rb\nc\r\nd\r\r\n") << "a\nb\nc\nd\n\n"
                                             << QByteArray("a\r\nb\r\nc\r\nd\r\n\r\n");
    QTest::newRow("NUL ends the text") << QByteArray("ab\0cd\r\nef", 9) << "ab" << QByteArray("ab");
    QTest::newRow("UTF-8") << QByteArray("\xc3\x9c") << "\u00dc" << QByteArray("\xc3\x9c");
    QTest::newRow("single-byte text") << QByteArray("\xfc") << "\u00fc" << QByteArray("\xc3\xbc");
}

void TestScriptLines::fileRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QByteArray, saved);
    QTemporaryDir dir;
    const QString path = dir.filePath("s.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    QCOMPARE(ReadScriptFile(path), text);
    WriteScriptFile(path, text);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), saved);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "s.txt" });
}

int main(int argc, char *argv[])
{
    // A fresh process's first random colours, for randomColorsRepeatAfterRestart.
    if (argc == 2 && qstrcmp(argv[1], PrintColorsArg) == 0) {
        QStringList colors;
        for (int i = 0; i < 3; ++i)
            colors << QString::number(*ParseScriptLine(u"1,n,,,,,#HHHHHH")->color);
        std::fputs(qPrintable(colors.join(QLatin1Char(' '))), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestScriptLines test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_scriptlines.moc"
