// End-to-end runs of the built program's command line against the sample
// service over the small data set in tests/data/headless: the CSV, the info
// lines, the settings, the image formats, problems and exit statuses, and
// the boxes printed as lines. The page cache across runs is tested in
// test_headlesscache.
#include "app/HeadlessDialogs.h"
#include "support/HeadlessTestCase.h"
#include "support/SampleService.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

#include <cstdio>

using namespace HeadlessTests;

namespace {

const QString Node = QStringLiteral("ranks/rank|name=boardgame");

} // namespace

class TestHeadless : public HeadlessTestCase
{
    Q_OBJECT
private slots:
    void dialogsPrintOneLineEach();
    void runWritesCsvRowsAndInfoLines();
    void runStartsFromTheSettingsAndLeavesThemAlone();
    void imageFormats_data();
    void imageFormats();
    void problems_data();
    void problems();
    void statuses_data();
    void statuses();
};

// Each box is one line; only message and error boxes count as problems.
void TestHeadless::dialogsPrintOneLineEach()
{
    std::FILE *out = std::tmpfile();
    HeadlessDialogs dialogs(out);
    QCOMPARE(dialogs.ask(nullptr, "Are you sure?", "Confirm", false), Dialogs::Answer::No);
    QCOMPARE(dialogs.ask(nullptr, "Save?", QString(), true), Dialogs::Answer::Cancel);
    QVERIFY(!dialogs.problemReported());
    dialogs.message(nullptr, "Not loaded:\r\nGame 1, page 2: HTTP 503\n\nGame 3, page 1: timed out\r\n");
    QVERIFY(dialogs.problemReported());
    dialogs.error(nullptr, "Bad page.");
    std::rewind(out);
    QByteArray printed(4096, '\0');
    printed.truncate(qsizetype(std::fread(printed.data(), 1, size_t(printed.size()), out)));
    std::fclose(out);
    QCOMPARE(lines(printed), (QStringList{"Are you sure?", "Save?",
                                          "Not loaded: Game 1, page 2: HTTP 503; Game 3, page 1: timed out",
                                          "Bad page."}));
}

// Several lines with different options: the CSV holds every point of every
// series in chart order, and --info the last line's summaries with "&" once.
void TestHeadless::runWritesCsvRowsAndInfoLines()
{
    const ProgramFolder folder("11," + Node.toUtf8() + ",,,LS,I,#FF0000\r\n"
                               "12,average,2020/01/02,2020/12/31,RD,,\r\n"
                               "\r\n"
                               "\"11,12\",average,,,S,,#0000ff\r\n");
    const RunLines result = folder.run(QStringList{"--run", "s.txt", "--csv", "out.csv", "--info"}
                                        + serviceArgs());
    QCOMPARE(result.err, QStringList());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, (QStringList{"Alpha, the \"Game\" min: 0.1 (2020-01-03) / max: 8 (2019-12-31)",
                                      "Beta & Co min: 6 (2020-01-01) / max: 6.75 (2020-01-05)"}));

    QStringList rows = lines(readAll(folder.work("out.csv")));
    QCOMPARE(rows.size(), 16);
    // The second line's series takes the chart's automatic colour.
    const QString automatic = rows[5].section(',', 3, 3);
    QVERIFY2(QRegularExpression("^#[0-9A-F]{6}$").match(automatic).hasMatch(), qPrintable(automatic));
    QVERIFY(automatic != "#FF0000" && automatic != "#0000FF");
    rows.replaceInStrings(automatic, "AUTO");
    const QString a = "\"Alpha, the \"\"Game\"\"\"";
    QCOMPARE(rows, (QStringList{
                       "series,title,axis,color,date,value",
                       // Page 2's earlier date comes first: points are in date order.
                       "1," + a + ",left,#FF0000,2019-12-31,130", "1," + a + ",left,#FF0000,2020-01-01,120",
                       "1," + a + ",left,#FF0000,2020-01-02,110", "1," + a + ",left,#FF0000,2020-01-03,105",
                       // Delta inside the range; equal dates keep their order.
                       "2,Beta & Co,right,AUTO,2020-01-03,6.5", "2,Beta & Co,right,AUTO,2020-01-05,-0.25",
                       "2,Beta & Co,right,AUTO,2020-01-05,0.5",
                       // No axis letter: the right axis of the line before stays.
                       "3," + a + ",right,#0000FF,2019-12-31,8", "3," + a + ",right,#0000FF,2020-01-01,7.5",
                       "3," + a + ",right,#0000FF,2020-01-02,7.25", "3," + a + ",right,#0000FF,2020-01-03,0.1",
                       "4,Beta & Co,right,#0000FF,2020-01-01,6", "4,Beta & Co,right,#0000FF,2020-01-03,6.5",
                       "4,Beta & Co,right,#0000FF,2020-01-05,6.25", "4,Beta & Co,right,#0000FF,2020-01-05,6.75"}));
}

// The run starts with the options of the settings file beside the program,
// uses the cache folder there, and writes nothing back.
void TestHeadless::runStartsFromTheSettingsAndLeavesThemAlone()
{
    const ProgramFolder folder("12,average,,,,,\n");
    // Right axis and Delta values; the stored address is unreachable, so the
    // run only succeeds through --service.
    const QByteArray settings = "[form_main]\r\nvert_axis=1\r\nvalues=1\r\ngame=999\r\n"
                                "[service]\r\nbase_url=http://127.0.0.1:1\r\n";
    writeFile(folder.settings(), settings);
    QCOMPARE(folder.run(QStringList{"--run", "s.txt", "--csv", "out.csv"} + serviceArgs()).err,
             QStringList());
    QStringList rows = lines(readAll(folder.work("out.csv"))).mid(1);
    QVERIFY(!rows.isEmpty());
    rows.replaceInStrings(rows[0].section(',', 3, 3), "AUTO");
    QCOMPARE(rows, (QStringList{"1,Beta & Co,right,AUTO,2020-01-01,6", "1,Beta & Co,right,AUTO,2020-01-03,0.5",
                                "1,Beta & Co,right,AUTO,2020-01-05,-0.25",
                                "1,Beta & Co,right,AUTO,2020-01-05,0.5"}));
    QCOMPARE(readAll(folder.settings()), settings);
    QVERIFY(QFileInfo::exists(folder.cache(m_service->baseUrl()) + "12_1.xml"));

    QFile::remove(folder.settings());
    QCOMPARE(folder.run(QStringList{"--run", "s.txt"} + serviceArgs()).status, 0);
    QVERIFY(!QFileInfo::exists(folder.settings()));
}

void TestHeadless::imageFormats_data()
{
    QTest::addColumn<QString>("file");
    for (const char *file : {"chart.png", "chart.jpg", "chart.BMP", "chart.pdf", "chart.svg"})
        QTest::newRow(file) << file;
}

// Each format is written at the requested size and decodes.
void TestHeadless::imageFormats()
{
    QFETCH(QString, file);
    const ProgramFolder folder("\"11 12\"," + Node.toUtf8() + ",,,,,\n");
    const RunLines result = folder.run(QStringList{"--run", "s.txt", "--save", file, "--size", "320x200"}
                                        + serviceArgs());
    QCOMPARE(result.err, QStringList());
    QCOMPARE(result.status, 0);
    const QByteArray bytes = readAll(folder.work(file));
    if (file.endsWith(".pdf")) {
        QVERIFY(bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF"));
        QVERIFY(QRegularExpression(R"(/MediaBox \[0 0 320(\.0+)? 200(\.0+)?\])")
                    .match(QString::fromLatin1(bytes)).hasMatch());
    } else if (file.endsWith(".svg")) {
        QXmlStreamReader xml(bytes);
        QVERIFY(xml.readNextStartElement() && xml.name() == QLatin1String("svg"));
        QCOMPARE(xml.attributes().value("viewBox"), QLatin1String("0 0 320 200"));
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    } else {
        QImage image;
        QVERIFY(image.loadFromData(bytes));
        QCOMPARE(image.size(), QSize(320, 200));
        // A white background with the chart drawn on it.
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        QVERIFY(dark > 100);
    }
    // Written through a temporary file that is renamed: nothing else is left.
    QCOMPARE(QDir(folder.work("")).entryList(QDir::Files), (QStringList{file, "nodes.txt", "s.txt"}));
}

// What the window would show in a box goes to standard error, one line each,
// and makes the status 1; the outputs still hold what the chart had.
void TestHeadless::problems_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("withNodes");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("messages"); // held by the lines of standard error, in order
    QTest::addColumn<int>("seriesLeft");       // series in the CSV after the run

    const QByteArray two = "11,average,,,,,\n99,average,,,,,\n";
    QTest::newRow("no nodes.txt") << two << false << QStringList()
                                  << QStringList{"Cannot open file \"", "Choose a node name",
                                                 "Choose a node name"} << 0;
    QTest::newRow("node not in the list") << QByteArray("11,average,,,,,\n12,rating,,,,,\n") << true
                                          << QStringList() << QStringList{"Choose a node name"} << 1;
    QTest::newRow("unknown game") << two << true << QStringList()
                                  << QStringList{"Game 99, page 1: HTTP 404"} << 1;
    QTest::newRow("service unreachable") << two << true
                                         << QStringList{"--service", "http://127.0.0.1:1"}
                                         << QStringList{"could be loaded: Game 11, page 1: connection refused; "
                                                        "Game 99, page 1: not fetched, the service is unavailable"}
                                         << 0;
    // The failures before a page error are told with it.
    QTest::newRow("download failure, then page not XML")
        << QByteArray("99,average,,,,,\n13,average,,,,,\n") << true << QStringList()
        << QStringList{"Not every page could be loaded: Game 99, page 1: HTTP 404"} << 0;
    // The page error ends the script: the third line never runs.
    QTest::newRow("page not XML, image not writable")
        << QByteArray("12,average,,,,,\n13,average,,,,,\n11,average,,,,,\n") << true
        << QStringList{"--save", "taken.png"}
        << QStringList{"13_1.xml", "Cannot create file \""}
        << 1;
}

void TestHeadless::problems()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, args);
    QFETCH(QStringList, messages);
    QFETCH(bool, withNodes);
    const ProgramFolder folder(script, withNodes);
    if (!args.contains("--service"))
        args += serviceArgs();
    const RunLines result = folder.run(QStringList{"--run", "s.txt", "--csv", "out.csv"} + args);
    QCOMPARE(result.status, 1);
    QCOMPARE(result.out, QStringList());
    QCOMPARE(result.err.size(), messages.size());
    for (int i = 0; i < messages.size(); ++i)
        QVERIFY2(result.err[i].contains(messages[i]), qPrintable(result.err[i]));
    QSet<QString> series;
    for (const QString &row : lines(readAll(folder.work("out.csv"))).mid(1))
        series << row.section(',', 0, 0);
    QTEST(int(series.size()), "seriesLeft");
}

// --check, --help, --version and the refusals, with their exit statuses.
void TestHeadless::statuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("script"); // written to s.txt
    QTest::addColumn<bool>("withNodes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("errStart"); // first line of standard error; empty: none

    const QStringList check{"--check", "s.txt"};
    const QByteArray good = "11,AVERAGE,2020/01/01,2020/02/01,LS,IL,#FF00HH\r\n12," + Node.toUtf8() + ",,,,,";
    QTest::newRow("help") << QStringList{"--help"} << good << true << 0 << QStringList{"Usage:"} << "";
    QTest::newRow("version") << QStringList{"--version"} << good << true << 0
                             << QStringList{"Plotwise 1.4"} << "";
    QTest::newRow("unknown option") << QStringList{"--run", "s.txt", "--png", "a.png"} << good << true
                                    << 2 << QStringList() << "unknown option --png";
    QTest::newRow("missing argument") << QStringList{"--check"} << good << true << 2 << QStringList()
                                      << "--check needs an argument";
    QTest::newRow("run, no script") << QStringList{"--run", "none.txt", "--csv", "out.csv"} << good
                                    << true << 2 << QStringList() << "Unable to read ";
    QTest::newRow("run, script is a folder") << QStringList{"--run", "taken.png", "--csv", "out.csv"}
                                             << good << true << 2 << QStringList() << "Unable to read ";
    QTest::newRow("check, no script") << QStringList{"--check", "none.txt"} << good << true << 2
                                      << QStringList() << "Unable to read ";
    QTest::newRow("check OK") << check << good << true << 0 << QStringList{"Script OK"} << "";
    QTest::newRow("check empty") << check << QByteArray() << true << 0 << QStringList{"Script OK"} << "";
    QTest::newRow("check faults") << check << QByteArray("11,average,,,,,\nx,nosuch,,,ls,,\n\n") << true
                                  << 1
                                  << QStringList{"2) Game ID not valid <x>", "2) Node not valid <nosuch>",
                                                 "2) Left/Right/Standard/Delta flag not valid <ls>",
                                                 "3) Wrong number of parameters <>"}
                                  << "";
    QTest::newRow("check, no nodes.txt") << check << QByteArray("11,average,,,,,\n") << false << 1
                                         << QStringList{"1) Node not valid <average>"}
                                         << "Cannot open file \"";
}

void TestHeadless::statuses()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, script);
    QFETCH(QString, errStart);
    QFETCH(bool, withNodes);
    const ProgramFolder folder(script, withNodes);
    const RunLines result = folder.run(args);
    QTEST(result.status, "status");
    QTEST(args.constFirst() == "--help" ? result.out.mid(0, 1) : result.out, "out");
    QCOMPARE(result.err.value(0).left(errStart.size()), errStart);
    if (result.status == 2 && !errStart.startsWith("Unable to read"))
        QCOMPARE(result.err.value(1), QStringLiteral("Usage:"));
    else
        QCOMPARE(result.err.size(), errStart.isEmpty() ? 0 : 1);
    QVERIFY(!QFileInfo::exists(folder.work("out.csv")) && !QFileInfo::exists(folder.settings()));
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
