// Script lines without windows: the checker's messages, line cutting, what a
// line asks the executor for, the add-line builder and script files.
#include "script/ScriptCheck.h"
#include "script/ScriptFile.h"
#include "script/ScriptLine.h"
#include "service/PlotwiseError.h"
#include "service/TextLines.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

Q_DECLARE_METATYPE(ScriptRequest)

static const char *const PrintColorsArg = "--print-random-colors";

// A request as one text: games|node|range|axis|values|flags|colour, "-" for
// a group kept as the window has it and for automatic colours.
static QString describe(const std::optional<ScriptRequest> &r)
{
    if (!r)
        return QStringLiteral("not seven fields");
    const auto item = [](std::optional<int> i) { return i ? QString::number(*i) : QStringLiteral("-"); };
    const QString range = r->useDateRange
        ? DateToText(r->dateFrom) + QLatin1Char('-') + DateToText(r->dateTo) : QStringLiteral("off");
    return QStringList{ r->games, r->node, range, item(r->vertAxis), item(r->values),
                        QLatin1String(r->inverted ? "I" : "") + QLatin1String(r->logarithmic ? "L" : ""),
                        r->color ? QString::number(*r->color) : QStringLiteral("-") }
        .join(QLatin1Char('|'));
}

static ScriptRequest builderRequest(const QString &games, const QString &node, bool range,
                                    int vertAxis, int values, bool inverted, bool logarithmic)
{
    ScriptRequest request;
    request.games = games;
    request.node = node;
    request.useDateRange = range;
    request.dateFrom = QDate(2009, 1, 1);
    request.dateTo = QDate(2010, 6, 30);
    if (vertAxis >= 0)
        request.vertAxis = vertAxis;
    if (values >= 0)
        request.values = values;
    request.inverted = inverted;
    request.logarithmic = logarithmic;
    return request;
}

class TestScriptLines : public QObject
{
    Q_OBJECT
private slots:
    void checker_data();
    void checker();
    void splitLines_data();
    void splitLines();
    void parseLine_data();
    void parseLine();
    void randomColorsRepeatAfterRestart();
    void buildLines_data();
    void buildLines();
    void builtLinesPassCheckAndReadBack();
    void fileRoundTrip_data();
    void fileRoundTrip();
    void refusedFiles();
};

void TestScriptLines::checker_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QStringList>("log");

    const QStringList nodes{ "abc", "rank|name=boardgame", "a b" };
    const QStringList ok{ "Script OK" };
    QTest::newRow("empty script") << "" << nodes << ok;
    QTest::newRow("valid lines, final line end")
        << "12345,abc,2009/01/01,2010/06/30,RD,IL,#FF00HH\n12345, ABC, , , LS, ,\n" << nodes << ok;
    QTest::newRow("blank line") << "1,abc,,,,,\n\n3,abc,,,,," << nodes
                                << QStringList{ "2) Wrong number of parameters <>" };
    QTest::newRow("six fields, blank inside the ID, unquoted blank in the node")
        << "12345,abc,,,LS,\n  12 345,xyz,,,LS,,\n1,a b,,,,," << nodes
        << QStringList{ "1) Wrong number of parameters <12345,abc,,,LS,>",
                        "2) Wrong number of parameters <  12 345,xyz,,,LS,,>",
                        "3) Wrong number of parameters <1,a b,,,,,>" };
    QTest::newRow("quoted node, filter syntax in other case")
        << "1,\"a b\",,,,,\n2,RANK|NAME=BoardGame,,,,," << nodes << ok;
    QTest::newRow("node matched as a whole entry")
        << "1,ab,,,,,\n1,rank,,,,," << nodes
        << QStringList{ "1) Node not valid <ab>", "2) Node not valid <rank>" };
    QTest::newRow("quoted IDs are not a game ID") << "\"13, 822\",abc,,,,," << nodes
                                                 << QStringList{ "1) Game ID not valid <13, 822>" };
    QTest::newRow("null date, no calendar day; other separator passes")
        << "1,abc,1899/12/31,2009/02/30,,,\n1,abc,2009-03-05,2008/02/29,,," << nodes
        << QStringList{ "1) Date not valid <1899/12/31>", "1) Date not valid <2009/02/30>" };
    QTest::newRow("lower-case flags") << "1,abc,,,ls,il," << nodes
                                      << QStringList{ "1) Left/Right/Standard/Delta flag not valid <ls>",
                                                      "1) Inversion/Logarithmic flag not valid <il>" };
    QTest::newRow("short and odd colours pass")
        << "1,abc,,,,,#12\n1,abc,,,,,#\n1,abc,,,,,#hh0000\n1,abc,,,,,#1234567##" << nodes << ok;
    QTest::newRow("bad node and bad colour: node first")
        << "1,xyz,,,,,123456" << nodes
        << QStringList{ "1) Node not valid <xyz>", "1) Color not valid <123456>" };
    QTest::newRow("every test of one line, in order")
        << "1,abc,,,,,\nx,xyz,2009/13/01,soon,LX,IQ,#12G456" << nodes
        << QStringList{ "2) Game ID not valid <x>", "2) Node not valid <xyz>",
                        "2) Date not valid <2009/13/01>", "2) Date not valid <soon>",
                        "2) Left/Right/Standard/Delta flag not valid <LX>",
                        "2) Inversion/Logarithmic flag not valid <IQ>",
                        "2) Color not valid <#12G456>" };
    QTest::newRow("empty node list") << "1,abc,,,,,\r\n2,,,,,," << QStringList()
                                     << QStringList{ "1) Node not valid <abc>", "2) Node not valid <>" };
}

void TestScriptLines::checker()
{
    QFETCH(QString, script);
    QFETCH(QStringList, nodes);
    QFETCH(QStringList, log);
    QCOMPARE(CheckScript(script, nodes), log);
}

void TestScriptLines::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("final line end adds no line") << "a\r\n" << QStringList{ "a" };
    QTest::newRow("CR, LF and CR LF") << "a\rb\nc\r\nd" << QStringList{ "a", "b", "c", "d" };
    QTest::newRow("blank lines") << "\na\n\r\r\nb" << QStringList{ "", "a", "", "", "b" };
}

void TestScriptLines::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitLines(text), lines);
}

void TestScriptLines::parseLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("request");
    QTest::newRow("blank line") << "" << "not seven fields";
    QTest::newRow("six fields") << "1,a,,,LS," << "not seven fields";
    QTest::newRow("example") << "12345,abc,2009/01/01,2010/06/30,RD,IL,#FF0000"
                             << "12345|abc|2009/01/01-2010/06/30|1|1|IL|255";
    QTest::newRow("R over L, D over S") << "1,a,,,LRSD,,#00ff00" << "1|a|off|1|1||65280";
    QTest::newRow("empty flags keep both groups") << "1,a,,,,," << "1|a|off|-|-||-";
    QTest::newRow("S alone keeps the axis") << "1,a,,,S,L," << "1|a|off|-|0|L|-";
    QTest::newRow("lower-case flags") << "1,a,,,rd,il," << "1|a|off|1|1|IL|-";
    QTest::newRow("lower-case l, i") << "1,a,,,l,i," << "1|a|off|0|-|I|-";
    QTest::newRow("one date only") << "1,a,2009/01/01,,,,#0000FF" << "1|a|off|-|-||16711680";
    QTest::newRow("null date") << "1,a,1899/12/31,2010/01/01,,," << "1|a|off|-|-||-";
    QTest::newRow("short colour is black") << "1,a,,,,,#12" << "1|a|off|-|-||0";
    QTest::newRow("quoted fields whole") << "\"13, 822\",\"a b\",,,,," << "13, 822|a b|off|-|-||-";
}

void TestScriptLines::parseLine()
{
    QFETCH(QString, line);
    QFETCH(QString, request);
    QCOMPARE(describe(ParseScriptLine(line)), request);
}

// Every start draws the same random digits: two fresh processes agree, and
// within one process each line draws anew.
void TestScriptLines::randomColorsRepeatAfterRestart()
{
    QStringList runs;
    for (int i = 0; i < 2; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), { QString::fromLatin1(PrintColorsArg) });
        QVERIFY(child.waitForFinished());
        runs << QString::fromLatin1(child.readAllStandardOutput());
    }
    QCOMPARE(runs[1], runs[0]);
    const QStringList colors = runs[0].split(QLatin1Char(' '));
    QCOMPARE(colors.size(), 3);
    QVERIFY(colors[0] != colors[1] || colors[1] != colors[2]);
}

void TestScriptLines::buildLines_data()
{
    QTest::addColumn<ScriptRequest>("request");
    QTest::addColumn<QString>("lines");
    QTest::newRow("two games") << builderRequest("12345, 678", "abc", false, 0, 0, true, false)
                               << "12345,abc,,,LS,I,\r\n678,abc,,,LS,I,\r\n";
    QTest::newRow("empty game box") << builderRequest("  ", "abc", false, 0, 0, false, false) << "";
    QTest::newRow("no node, no radio choice")
        << builderRequest("13\n822", "", false, -1, -1, false, true) << "13,,,,RD,L,\r\n822,,,,RD,L,\r\n";
    QTest::newRow("range") << builderRequest("1", "abc", true, 0, 1, true, true)
                           << "1,abc,2009/01/01,2010/06/30,LD,IL,\r\n";
    QTest::newRow("node with a blank") << builderRequest("1", "a b", false, 0, 0, false, false)
                                       << "1,\"a b\",,,LS,,\r\n";
    QTest::newRow("node with a comma and quotes")
        << builderRequest("\"13 822\"", "say \"x,y\"", false, 0, 0, false, false)
        << "\"13 822\",\"say \"\"x,y\"\"\",,,LS,,\r\n";
}

void TestScriptLines::buildLines()
{
    QFETCH(ScriptRequest, request);
    QFETCH(QString, lines);
    QCOMPARE(FormatScriptLines(request), lines);
}

// What the builder writes, the checker accepts and the executor reads back
// as the same request, odd node entries included.
void TestScriptLines::builtLinesPassCheckAndReadBack()
{
    const QStringList nodes{ "a b", "say \"x,y\"", "tab\there" };
    for (const QString &node : nodes) {
        const QString text = FormatScriptLines(builderRequest("7 8", node, true, 1, 0, true, false));
        QCOMPARE(CheckScript(text, nodes), QStringList{ "Script OK" });
        const QStringList lines = SplitLines(text);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(describe(ParseScriptLine(lines[1])),
                 "8|" + node + "|2009/01/01-2010/06/30|1|0|I|-");
    }
}

// Bytes of a file, the editor's text read from them, the bytes saved back.
void TestScriptLines::fileRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("empty") << QByteArray() << "" << QByteArray();
    QTest::newRow("final line end kept") << QByteArray("a\r\nb\r\n") << "a\nb\n" << QByteArray("a\r\nb\r\n");
    QTest::newRow("no final end") << QByteArray("a\nb") << "a\nb" << QByteArray("a\r\nb");
    QTest::newRow("CR, LF, CR LF, CR CR LF")
        << QByteArray("a\rb\nc\r\nd\r\r\n") << "a\nb\nc\nd\n\n" << QByteArray("a\r\nb\r\nc\r\nd\r\n\r\n");
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
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{ "s.txt" });
}

// A folder where the file should be, a missing file and a missing folder are
// refused with the file's name in the message, and nothing is left behind.
void TestScriptLines::refusedFiles()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("folder.txt");
    QVERIFY(QDir().mkdir(folder));
    const auto refused = [](const std::function<void()> &fn, const QString &name) {
        try {
            fn();
        } catch (const PlotwiseError &e) {
            return e.message().contains(QDir::toNativeSeparators(name));
        }
        return false;
    };
    QVERIFY(refused([&] { WriteScriptFile(folder, "x"); }, folder));
    QVERIFY(refused([&] { WriteScriptFile(dir.filePath("none/s.txt"), "x"); }, "none/s.txt"));
    QVERIFY(refused([&] { (void)ReadScriptFile(folder); }, folder));
    QVERIFY(refused([&] { (void)ReadScriptFile(dir.filePath("missing.txt")); }, "missing.txt"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{ "folder.txt" });
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
