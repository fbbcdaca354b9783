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

using Request = std::optional<ScriptRequest>;

static const char *const PrintColorsArg = "--print-random-colors";

// The colours a fresh process draws for three "#HHHHHH" lines, one per line.
static QString randomLineColors()
{
    QStringList colors;
    for (int i = 0; i < 3; ++i)
        colors << QString::number(*ParseScriptLine(u"1,n,,,,,#HHHHHH")->color);
    return colors.join(QLatin1Char(' '));
}

static QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class TestScriptLines : public QObject
{
    Q_OBJECT
private slots:
    void checker_data();
    void checker();
    void cutLines_data();
    void cutLines();
    void parseLine_data();
    void parseLine();
    void randomColorsRepeatAfterRestart();
    void buildLines_data();
    void buildLines();
    void builtLinesPassCheckAndReadBack();
    void readFile_data();
    void readFile();
    void writeFile_data();
    void writeFile();
    void refusedFiles();
};

void TestScriptLines::checker_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QStringList>("log");

    const QStringList nodes{ QStringLiteral("abc"), QStringLiteral("rank|name=boardgame"),
                             QStringLiteral("a b") };
    const QString ok = QStringLiteral("Script OK");
    QTest::newRow("empty script") << QString() << nodes << QStringList{ ok };
    QTest::newRow("example line")
        << QStringLiteral("12345,abc,2009/01/01,2010/06/30,RD,IL,#FF00HH") << nodes
        << QStringList{ ok };
    QTest::newRow("final line end adds no line")
        << QStringLiteral("12345,abc,,,LS,,\n") << nodes << QStringList{ ok };
    QTest::newRow("blank line between valid lines")
        << QStringLiteral("1,abc,,,,,\n\n3,abc,,,,,") << nodes
        << QStringList{ QStringLiteral("2) Wrong number of parameters <>") };
    QTest::newRow("empty line after a final line end counts once")
        << QStringLiteral("1,abc,,,,,\n\n") << nodes
        << QStringList{ QStringLiteral("2) Wrong number of parameters <>") };
    QTest::newRow("six fields without the final comma")
        << QStringLiteral("12345,abc,,,LS,") << nodes
        << QStringList{ QStringLiteral("1) Wrong number of parameters <12345,abc,,,LS,>") };
    QTest::newRow("blanks after commas are skipped")
        << QStringLiteral("12345, abc, , , LS, ,") << nodes << QStringList{ ok };
    QTest::newRow("blank inside the ID gives eight fields, one message")
        << QStringLiteral("  12 345,zzz,,,LS,,") << nodes
        << QStringList{ QStringLiteral("1) Wrong number of parameters <  12 345,zzz,,,LS,,>") };
    QTest::newRow("quoted node with a blank")
        << QStringLiteral("1,\"a b\",,,,,") << nodes << QStringList{ ok };
    QTest::newRow("unquoted node with a blank")
        << QStringLiteral("1,a b,,,,,") << nodes
        << QStringList{ QStringLiteral("1) Wrong number of parameters <1,a b,,,,,>") };
    QTest::newRow("node in other letter case, filter syntax")
        << QStringLiteral("1,ABC,,,,,\n2,RANK|NAME=BoardGame,,,,,") << nodes << QStringList{ ok };
    QTest::newRow("node must match the whole entry")
        << QStringLiteral("1,ab,,,,,\n1,rank,,,,,") << nodes
        << QStringList{ QStringLiteral("1) Node not valid <ab>"),
                        QStringLiteral("2) Node not valid <rank>") };
    QTest::newRow("game IDs: zero, negative and hex pass")
        << QStringLiteral("0,abc,,,,,\n-5,abc,,,,,\n$FF,abc,,,,,") << nodes << QStringList{ ok };
    QTest::newRow("game ID not a whole number")
        << QStringLiteral("\"13, 822\",abc,,,,,") << nodes
        << QStringList{ QStringLiteral("1) Game ID not valid <13, 822>") };
    QTest::newRow("dates: null date, no calendar day, other separator")
        << QStringLiteral("1,abc,1899/12/31,2009/02/30,,,\n1,abc,2009-03-05,2008/02/29,,,") << nodes
        << QStringList{ QStringLiteral("1) Date not valid <1899/12/31>"),
                        QStringLiteral("1) Date not valid <2009/02/30>") };
    QTest::newRow("lower-case flags")
        << QStringLiteral("1,abc,,,ls,il,") << nodes
        << QStringList{ QStringLiteral("1) Left/Right/Standard/Delta flag not valid <ls>"),
                        QStringLiteral("1) Inversion/Logarithmic flag not valid <il>") };
    QTest::newRow("contradicting and repeated flags pass")
        << QStringLiteral("1,abc,,,LRSSD,IILL,") << nodes << QStringList{ ok };
    QTest::newRow("short and odd colours pass")
        << QStringLiteral("1,abc,,,,,#12\n1,abc,,,,,#\n1,abc,,,,,#hh0000\n1,abc,,,,,#1234567##")
        << nodes << QStringList{ ok };
    QTest::newRow("colours without # or with a foreign digit")
        << QStringLiteral("1,abc,,,,,123456\n2,abc,,,,,#12G456") << nodes
        << QStringList{ QStringLiteral("1) Color not valid <123456>"),
                        QStringLiteral("2) Color not valid <#12G456>") };
    QTest::newRow("bad node and bad colour: node first")
        << QStringLiteral("1,xyz,,,,,red") << nodes
        << QStringList{ QStringLiteral("1) Node not valid <xyz>"),
                        QStringLiteral("1) Color not valid <red>") };
    QTest::newRow("every test of one line, in order")
        << QStringLiteral("x,xyz,2009/13/01,soon,LX,IQ,red") << nodes
        << QStringList{ QStringLiteral("1) Game ID not valid <x>"),
                        QStringLiteral("1) Node not valid <xyz>"),
                        QStringLiteral("1) Date not valid <2009/13/01>"),
                        QStringLiteral("1) Date not valid <soon>"),
                        QStringLiteral("1) Left/Right/Standard/Delta flag not valid <LX>"),
                        QStringLiteral("1) Inversion/Logarithmic flag not valid <IQ>"),
                        QStringLiteral("1) Color not valid <red>") };
    QTest::newRow("empty node list")
        << QStringLiteral("1,abc,,,,,\r\n2,,,,,,") << QStringList()
        << QStringList{ QStringLiteral("1) Node not valid <abc>"),
                        QStringLiteral("2) Node not valid <>") };
    QStringList many(9, QStringLiteral("1,abc,,,,,"));
    many << QStringLiteral("1,abc,,,,,#zz");
    QTest::newRow("line ten") << many.join(QLatin1Char('\n')) << nodes
                              << QStringList{ QStringLiteral("10) Color not valid <#zz>") };
}

void TestScriptLines::checker()
{
    QFETCH(QString, script);
    QFETCH(QStringList, nodes);
    QFETCH(QStringList, log);
    QCOMPARE(CheckScript(script, nodes), log);
}

void TestScriptLines::cutLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("one line, no end") << QStringLiteral("a") << QStringList{ "a" };
    QTest::newRow("final CR LF") << QStringLiteral("a\r\n") << QStringList{ "a" };
    QTest::newRow("CR, LF and CR LF")
        << QStringLiteral("a\rb\nc\r\nd") << QStringList{ "a", "b", "c", "d" };
    QTest::newRow("blank lines") << QStringLiteral("a\n\nb\n") << QStringList{ "a", "", "b" };
    QTest::newRow("line end alone") << QStringLiteral("\n") << QStringList{ "" };
    QTest::newRow("LF CR is two ends") << QStringLiteral("\n\r") << QStringList{ "", "" };
    QTest::newRow("CR CR LF is two ends") << QStringLiteral("a\r\r\nb") << QStringList{ "a", "", "b" };
}

void TestScriptLines::cutLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitLines(text), lines);
}

void TestScriptLines::parseLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("seven");
    QTest::addColumn<QString>("games");
    QTest::addColumn<QString>("node");
    QTest::addColumn<bool>("range");
    QTest::addColumn<int>("vertAxis"); // -1: kept
    QTest::addColumn<int>("values");   // -1: kept
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<qint64>("color"); // -1: automatic

    QTest::newRow("blank line") << "" << false << "" << "" << false << -1 << -1 << false << false << -1LL;
    QTest::newRow("six fields") << "1,a,,,LS," << false << "" << "" << false << -1 << -1 << false
                                << false << -1LL;
    QTest::newRow("eight fields") << "1,a,,,LS,,," << false << "" << "" << false << -1 << -1
                                  << false << false << -1LL;
    QTest::newRow("example") << "12345,abc,2009/01/01,2010/06/30,RD,IL,#FF0000" << true << "12345"
                             << "abc" << true << 1 << 1 << true << true << 255LL;
    QTest::newRow("R over L, D over S") << "1,a,,,LRSD,,#00ff00" << true << "1" << "a" << false << 1
                                        << 1 << false << false << 65280LL;
    QTest::newRow("empty flags keep both groups")
        << "1,a,,,,," << true << "1" << "a" << false << -1 << -1 << false << false << -1LL;
    QTest::newRow("S alone keeps the axis")
        << "1,a,,,S,L," << true << "1" << "a" << false << -1 << 0 << false << true << -1LL;
    QTest::newRow("lower-case flags")
        << "1,a,,,rd,il," << true << "1" << "a" << false << 1 << 1 << true << true << -1LL;
    QTest::newRow("lower-case l alone")
        << "1,a,,,l,i," << true << "1" << "a" << false << 0 << -1 << true << false << -1LL;
    QTest::newRow("one date only") << "1,a,2009/01/01,,,,#0000FF" << true << "1" << "a" << false
                                   << -1 << -1 << false << false << 16711680LL;
    QTest::newRow("null date") << "1,a,1899/12/31,2010/01/01,,," << true << "1" << "a" << false
                               << -1 << -1 << false << false << -1LL;
    QTest::newRow("short colour is black")
        << "1,a,,,,,#12" << true << "1" << "a" << false << -1 << -1 << false << false << 0LL;
    QTest::newRow("quoted IDs go to the game box whole")
        << "\"13, 822\",\"a b\",,,,," << true << "13, 822" << "a b" << false << -1 << -1 << false
        << false << -1LL;
}

void TestScriptLines::parseLine()
{
    QFETCH(QString, line);
    QFETCH(bool, seven);
    const Request request = ParseScriptLine(line);
    QCOMPARE(request.has_value(), seven);
    if (!request)
        return;
    QFETCH(QString, games);
    QFETCH(QString, node);
    QFETCH(bool, range);
    QFETCH(int, vertAxis);
    QFETCH(int, values);
    QFETCH(bool, inverted);
    QFETCH(bool, logarithmic);
    QFETCH(qint64, color);
    QCOMPARE(request->games, games);
    QCOMPARE(request->node, node);
    QCOMPARE(request->useDateRange, range);
    if (range) {
        QCOMPARE(request->dateFrom, QDate(2009, 1, 1));
        QCOMPARE(request->dateTo, QDate(2010, 6, 30));
    }
    QCOMPARE(request->vertAxis.value_or(-1), vertAxis);
    QCOMPARE(request->values.value_or(-1), values);
    QCOMPARE(request->inverted, inverted);
    QCOMPARE(request->logarithmic, logarithmic);
    QCOMPARE(request->color ? qint64(*request->color) : -1LL, color);
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
        QCOMPARE(child.exitCode(), 0);
        runs << QString::fromLatin1(child.readAllStandardOutput()).trimmed();
    }
    QCOMPARE(runs[1], runs[0]);
    const QStringList colors = runs[0].split(QLatin1Char(' '));
    QCOMPARE(colors.size(), 3);
    QVERIFY(colors[0] != colors[1] || colors[1] != colors[2]);
}

void TestScriptLines::buildLines_data()
{
    QTest::addColumn<QString>("games");
    QTest::addColumn<QString>("node");
    QTest::addColumn<bool>("range");
    QTest::addColumn<int>("vertAxis");
    QTest::addColumn<int>("values");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<QString>("lines");

    QTest::newRow("two games") << "12345, 678" << "abc" << false << 0 << 0 << true << false
                               << "12345,abc,,,LS,I,\r\n678,abc,,,LS,I,\r\n";
    QTest::newRow("IDs on separate lines")
        << "13\n822" << "abc" << false << 1 << 1 << false << true << "13,abc,,,RD,L,\r\n822,abc,,,RD,L,\r\n";
    QTest::newRow("empty game box") << "  " << "abc" << false << 0 << 0 << false << false << "";
    QTest::newRow("no node") << "1" << "" << false << 0 << 0 << false << false << "1,,,,LS,,\r\n";
    QTest::newRow("no radio choice") << "1" << "abc" << false << -1 << -1 << true << true
                                     << "1,abc,,,RD,IL,\r\n";
    QTest::newRow("range") << "1" << "abc" << true << 0 << 1 << false << false
                           << "1,abc,2009/01/01,2010/06/30,LD,,\r\n";
    QTest::newRow("node with a blank") << "1" << "a b" << false << 0 << 0 << false << false
                                       << "1,\"a b\",,,LS,,\r\n";
    QTest::newRow("node with a comma and quotes")
        << "1" << "say \"x,y\"" << false << 0 << 0 << false << false
        << "1,\"say \"\"x,y\"\"\",,,LS,,\r\n";
    QTest::newRow("quoted ID with blanks") << "\"13 822\"" << "abc" << false << 0 << 0 << false
                                           << false << "\"13 822\",abc,,,LS,,\r\n";
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

void TestScriptLines::buildLines()
{
    QFETCH(QString, games);
    QFETCH(QString, node);
    QFETCH(bool, range);
    QFETCH(int, vertAxis);
    QFETCH(int, values);
    QFETCH(bool, inverted);
    QFETCH(bool, logarithmic);
    QFETCH(QString, lines);
    QCOMPARE(FormatScriptLines(
                 builderRequest(games, node, range, vertAxis, values, inverted, logarithmic)),
             lines);
}

// What the builder writes, the checker accepts and the executor reads back
// as the same request, odd node entries included.
void TestScriptLines::builtLinesPassCheckAndReadBack()
{
    const QStringList nodes{ QStringLiteral("a b"), QStringLiteral("say \"x,y\""),
                             QStringLiteral("tab\there") };
    for (const QString &node : nodes) {
        const ScriptRequest request = builderRequest(QStringLiteral("7 8"), node, true, 1, 0, true, false);
        const QString text = FormatScriptLines(request);
        QCOMPARE(CheckScript(text, nodes), QStringList{ QStringLiteral("Script OK") });
        const QStringList lines = SplitLines(text);
        QCOMPARE(lines.size(), 2);
        const Request back = ParseScriptLine(lines[1]);
        QVERIFY(back);
        QCOMPARE(back->games, QStringLiteral("8"));
        QCOMPARE(back->node, node);
        QVERIFY(back->useDateRange);
        QCOMPARE(back->dateTo, request.dateTo);
        QCOMPARE(back->vertAxis, std::optional<int>(1));
        QCOMPARE(back->values, std::optional<int>(0));
        QVERIFY(back->inverted && !back->logarithmic && !back->color);
    }
}

void TestScriptLines::readFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("CR LF lines, final end kept") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb\n");
    QTest::newRow("no final end") << QByteArray("a\r\nb") << QStringLiteral("a\nb");
    QTest::newRow("CR, LF and CR LF mixed")
        << QByteArray("a\rb\nc\r\nd") << QStringLiteral("a\nb\nc\nd");
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QStringLiteral("a\n\nb");
    QTest::newRow("NUL ends the text") << QByteArray("ab\0cd\r\nef", 9) << QStringLiteral("ab");
    QTest::newRow("single-byte text") << QByteArray("1,\xfc" "ber") << QStringLiteral("1,\u00fcber");
    QTest::newRow("UTF-8") << QByteArray("1,\xc3\x9c" "ber,,,,,") << QStringLiteral("1,\u00dcber,,,,,");
}

void TestScriptLines::readFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QCOMPARE(ReadScriptFile(path), text);
}

void TestScriptLines::writeFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("no final end") << QStringLiteral("a\nb") << QByteArray("a\r\nb");
    QTest::newRow("final end") << QStringLiteral("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("blank lines") << QStringLiteral("\n\na\n\n") << QByteArray("\r\n\r\na\r\n\r\n");
    QTest::newRow("stray CR") << QStringLiteral("a\rb") << QByteArray("a\r\nb");
}

void TestScriptLines::writeFile()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older and longer script\r\n");
    old.close();

    WriteScriptFile(path, text);
    QCOMPARE(fileBytes(path), bytes);
    QCOMPARE(ReadScriptFile(path), QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{ QStringLiteral("s.txt") });
}

// A folder where the file should be, a missing file and a missing folder are
// refused with the file's name in the message, and nothing is left behind.
void TestScriptLines::refusedFiles()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder.txt"));
    QVERIFY(QDir().mkdir(folder));
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const QString inMissingFolder = dir.filePath(QStringLiteral("none/s.txt"));

    const auto refused = [](const std::function<void()> &fn, const QString &name) {
        try {
            fn();
        } catch (const PlotwiseError &e) {
            return e.message().contains(QDir::toNativeSeparators(name));
        }
        return false;
    };
    QVERIFY(refused([&] { WriteScriptFile(folder, QStringLiteral("x")); }, folder));
    QVERIFY(refused([&] { WriteScriptFile(inMissingFolder, QStringLiteral("x")); }, inMissingFolder));
    QVERIFY(refused([&] { (void)ReadScriptFile(folder); }, folder));
    QVERIFY(refused([&] { (void)ReadScriptFile(missing); }, missing));
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{ QStringLiteral("folder.txt") });
}

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], PrintColorsArg) == 0) {
        std::fputs(randomLineColors().toLatin1().constData(), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestScriptLines test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_scriptlines.moc"
