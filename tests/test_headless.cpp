// End-to-end runs of the built program's command line against the sample
// service over the small data set in tests/data/headless. Every test copies
// the program into a fresh folder, since its settings file and page cache
// live beside it, and runs it with no display.
#include "app/HeadlessDialogs.h"
#include "service/CachePaths.h"
#include "support/SampleService.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cstdio>
#include <memory>

namespace {

struct RunLines {
    int status = -1;
    QStringList out; // lines of standard output
    QStringList err; // lines of standard error
};

QStringList lines(const QByteArray &bytes)
{
    QStringList result = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.constLast().isEmpty())
        result.removeLast();
    return result;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

// A temporary program folder holding a copy of the program, and beside it a
// working folder that the runs start in, with the sample "nodes.txt" (unless
// told otherwise), a script "s.txt" and a folder "taken.png" where a file
// cannot be written.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QByteArray &script = {}, bool withNodes = true)
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("work/taken.png"));
        QFile::copy(qEnvironmentVariable("PLOTWISE"), program());
        if (withNodes)
            QFile::copy(dataDir() + QStringLiteral("/nodes.txt"), work(QStringLiteral("nodes.txt")));
        writeFile(work(QStringLiteral("s.txt")), script);
    }

    static QString dataDir() { return TestDataDir() + QStringLiteral("/headless"); }
    QString program() const { return m_dir.filePath(QStringLiteral("plotwise")); }
    QString settings() const { return m_dir.filePath(QStringLiteral("plotwise.ini")); }
    // The page cache of the service at baseUrl, ending in "/".
    QString cache(const QString &baseUrl) const { return CacheFolder(m_dir.path(), baseUrl); }
    QString work(const QString &name) const { return m_dir.filePath(QStringLiteral("work/") + name); }

    RunLines run(const QStringList &arguments) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(work(QString()));
        process.start(program(), arguments);
        RunLines result;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            result.err << QStringLiteral("program did not end normally");
            return result;
        }
        result.status = process.exitCode();
        result.out = lines(process.readAllStandardOutput());
        result.err = lines(process.readAllStandardError());
        return result;
    }

private:
    QTemporaryDir m_dir;
};

const QString Node = QStringLiteral("ranks/rank|name=boardgame");

} // namespace

class TestHeadless : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dialogsPrintOneLineEach();
    void runWritesCsvRowsAndInfoLines();
    void runStartsFromTheSettingsAndLeavesThemAlone();
    void imageFormats_data();
    void imageFormats();
    void problems_data();
    void problems();
    void statuses_data();
    void statuses();
    void servicesKeepTheirOwnPages();
    void tailRefresh_data();
    void tailRefresh();

private:
    std::unique_ptr<SampleService> m_service;
    QStringList serviceArgs() const { return {"--service", m_service->baseUrl()}; }
};

void TestHeadless::initTestCase()
{
    QVERIFY(QFileInfo(qEnvironmentVariable("PLOTWISE")).isExecutable());
    SampleService::Options options;
    options.dataDir = ProgramFolder::dataDir();
    m_service = std::make_unique<SampleService>(options);
    QVERIFY2(m_service->start(), qPrintable(m_service->errorString()));
}

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

// A changed service is never answered from the old service's cached pages,
// and coming back to the first finds its pages still there.
void TestHeadless::servicesKeepTheirOwnPages()
{
    SampleService::Options options;
    options.dataDir = ProgramFolder::dataDir();
    SampleService other(options);
    QVERIFY2(other.start(), qPrintable(other.errorString()));
    const ProgramFolder folder("12,average,,,,,\n");
    const QString page = QStringLiteral("/xmlapi/boardgame/12?historical=1&page=1");
    const QStringList run { "--run", "s.txt", "--csv", "out.csv", "--service" };

    m_service->clearRequests();
    QCOMPARE(folder.run(run + QStringList { m_service->baseUrl() }).status, 0);
    QCOMPARE(m_service->requestCount(page), 1);
    const QByteArray csv = readAll(folder.work("out.csv"));
    QCOMPARE(folder.run(run + QStringList { other.baseUrl() }).status, 0);
    QCOMPARE(other.requestCount(page), 1);
    QCOMPARE(readAll(folder.work("out.csv")), csv);
    QCOMPARE(folder.run(run + QStringList { m_service->baseUrl() }).status, 0);
    QCOMPARE(m_service->requestCount(page), 1);
    QVERIFY(folder.cache(m_service->baseUrl()) != folder.cache(other.baseUrl()));
}

void TestHeadless::tailRefresh_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("ageHours"); // of the cached pages before the second run
    QTest::addColumn<bool>("serviceGone"); // stopped before the second run
    QTest::addColumn<QStringList>("requests"); // pages the second run fetched
    QTest::addColumn<int>("rows"); // points the second run charted
    QTest::addColumn<bool>("tags"); // the service sends ETag and answers 304
    QTest::addColumn<bool>("grows"); // by a page before the second run
    QTest::addColumn<bool>("kept"); // the cached last page with records

    const QStringList none;
    const QStringList refreshed { "2", "3", "4" };
    const QByteArray day = "[cache]\nrefresh_hours=24\n";
    QTest::newRow("no key") << QByteArray() << 48 << false << none << 20 << false << true << true;
    QTest::newRow("0 hours") << QByteArray("[cache]\nrefresh_hours=0\n") << 48 << false << none << 20 << false << true << true;
    QTest::newRow("not a number") << QByteArray("[cache]\nrefresh_hours=a day\n") << 48 << false
                                  << none << 20 << false << true << true;
    QTest::newRow("negative") << QByteArray("[cache]\nrefresh_hours=-24\n") << 48 << false << none
                              << 20 << false << true << true;
    QTest::newRow("younger than the hours") << day << 23 << false << none << 20 << false << true << true;
    // The last page with records and the end page come again, and the new
    // pages after them.
    QTest::newRow("older than the hours") << day << 25 << false << refreshed << 30 << false << true << false;
    // The refresh fails: the cached pages are read as they are.
    QTest::newRow("service gone") << day << 48 << true << none << 20 << false << true << true;
    // A service with tags answers 304 for unchanged pages: the cached pages
    // are kept, and count as fresh; changed ones come whole.
    QTest::newRow("tags, unchanged") << day << 25 << false << QStringList { "2", "3" } << 20
                                     << true << false << true;
    QTest::newRow("tags, grown") << day << 25 << false << refreshed << 30 << true << true << false;
}

// Through --run: a second run over aged cache files after the service's
// history grew by a page.
void TestHeadless::tailRefresh()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, ageHours);
    QFETCH(bool, serviceGone);
    QFETCH(QStringList, requests);
    QFETCH(int, rows);
    QFETCH(bool, tags);
    QFETCH(bool, grows);
    QFETCH(bool, kept);

    QTemporaryDir data;
    const QStringList shape { "--games", "1", "--records", "10", "--pages" };
    QString error;
    QVERIFY2(SampleService::generateData(data.path(), shape + QStringList { "2" }, &error),
        qPrintable(error));
    SampleService::Options options;
    options.dataDir = data.path();
    if (tags)
        options.serviceArgs = { QStringLiteral("--etags") };
    SampleService service(options);
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const ProgramFolder folder("1001,average,,,,,\n");
    writeFile(folder.settings(), settings);
    const QStringList run { "--run", "s.txt", "--csv", "out.csv", "--service", service.baseUrl() };
    QCOMPARE(folder.run(run).status, 0);
    QCOMPARE(lines(readAll(folder.work("out.csv"))).size(), 1 + 20);

    // The history grows by a page, and the cache grows old.
    if (grows)
        QVERIFY2(SampleService::generateData(data.path(), shape + QStringList { "3" }, &error),
            qPrintable(error));
    const QString cache = folder.cache(service.baseUrl());
    const QDateTime aged = QDateTime::currentDateTimeUtc().addSecs(-3600LL * ageHours);
    const QStringList pages = QDir(cache).entryList({ "*.xml" }, QDir::Files);
    QCOMPARE(pages, (QStringList { "1001_1.xml", "1001_2.xml", "1001_3.xml" }));
    // A mark in the cached last page with records: gone when it is replaced.
    const QByteArray mark = "<!-- cached copy -->\n";
    writeFile(cache + pages[1], readAll(cache + pages[1]) + mark);
    for (const QString &page : pages) {
        QFile file(cache + page);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(aged, QFileDevice::FileModificationTime));
    }
    service.clearRequests();
    if (serviceGone)
        service.stop();

    const RunLines second = folder.run(run);
    QCOMPARE(second.status, serviceGone ? 1 : 0);
    if (serviceGone)
        QCOMPARE(second.err,
            QStringList { "Not every page could be loaded: Game 1001, page 2: connection refused" });
    QStringList fetched;
    for (const SampleService::Request &request : service.requests())
        fetched << request.target.section(QLatin1Char('='), -1);
    QCOMPARE(fetched, requests);
    QCOMPARE(lines(readAll(folder.work("out.csv"))).size(), 1 + rows);
    // A refreshed page replaced the cached one; nothing is left beside them
    // but their tags.
    QStringList expected = pages;
    if (!requests.isEmpty() && grows)
        expected << "1001_4.xml";
    if (tags)
        for (const QString &page : QStringList(expected))
            expected << page + ".etag";
    expected.sort();
    QCOMPARE(QDir(cache).entryList(QDir::Files | QDir::Hidden), expected);
    QCOMPARE(readAll(cache + pages[1]).endsWith(mark), kept);
    if (tags && !grows) {
        // Kept on a 304, the pages count as fresh: the next run asks nothing.
        service.clearRequests();
        QCOMPARE(folder.run(run).status, 0);
        QCOMPARE(service.requests().size(), 0);
    }
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
