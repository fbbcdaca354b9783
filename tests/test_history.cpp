// The page loop and the page walk over fixture pages: node forms, names and
// titles, paging and the cache, download failures, the page limit, rejected
// page files and the stop; all under a locale with a decimal comma, which
// must change no value read.
#include "plot/HistoryLoader.h"
#include "plot/NodeName.h"
#include "service/CachePaths.h"
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"
#include "service/u_Function.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Point = QPair<QString, double>; // yyyyMMdd, value

QByteArray record(const char *date, const QByteArray &content)
{
    return QByteArray("<ratings date=\"") + date + "\">" + content + "</ratings>";
}

// A service as the loader sees it: pages by "id_page", failures by the same
// key, every request counted.
struct FakeService {
    QMap<QString, QByteArray> pages;
    QMap<QString, FetchResult> failures;
    QStringList requests; // "id_page"
    QStringList urls;

    FetchResult fetch(const QString &url, const QString &fileName, bool prepare)
    {
        const QString key = QFileInfo(fileName).completeBaseName();
        requests << key;
        urls << url;
        if (failures.contains(key))
            return failures.value(key);
        if (!pages.contains(key))
            return { FetchOutcome::Failed, QStringLiteral("HTTP 404") };
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            return { FetchOutcome::Failed, file.errorString() };
        file.write(prepare ? PrepareXmlBytes(pages.value(key)) : pages.value(key));
        return { FetchOutcome::Stored, {} };
    }
};

QList<Point> pointsOf(const GameResult &result)
{
    QList<Point> list;
    for (const SeriesPoint &p : result.points)
        list.append({ DaysToDate(p.day).toString(QStringLiteral("yyyyMMdd")), p.y });
    return list;
}

// A game of `count` pages with one record each (value = page number * 10),
// the last page without "statistics".
void addGame(FakeService &service, const QString &id, int count)
{
    for (int page = 1; page <= count; ++page) {
        const QByteArray date
            = QStringLiteral("200901%1").arg(page, 2, 10, QLatin1Char('0')).toLatin1();
        service.pages[id + QLatin1Char('_') + QString::number(page)] = HistoryPageXml(
            "<name primary=\"true\">Game " + id.toLatin1() + "</name>",
            record(date.constData(), "<e>" + QByteArray::number(page * 10) + "</e>"), page < count);
    }
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void nodeForms_data();
    void nodeForms();
    void elementWithChildrenEndsTheLoad();
    void titles_data();
    void titles();
    void idTextInRequestsAndStatus();
    void pagingStopsAtThePageWithoutStatistics();
    void firstPageWithoutStatistics();
    void deltaAndOptionsAcrossPages();
    void failedDownloadEndsOnlyThatGame();
    void unreachableServiceStopsFetching();
    void pageLimit();
    void rejectedPageFileIsDeleted();
    void stopEndsTheGameWithItsPoints();

private:
    HistoryLoader makeLoader(
        const QString &nodeName, int maxPages = HistoryLoader::DefaultMaxPages);
    void writeCachedPage(const QString &key, const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString cache() const { return m_dir->path() + QStringLiteral("/xml/"); }
    XmlDocument m_document;
    DownloadRun m_run; // shared by the loaders of a test, as by a script's lines
    FakeService m_service;
    SeriesOptions m_options;
    QStringList m_statusTexts;
    std::function<bool()> m_stop;
};

void TestHistory::init()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    EnsureCacheFolder(cache());
    m_service = {};
    m_run = {};
    m_options = {};
    m_statusTexts.clear();
    m_stop = [] { return false; };
}

HistoryLoader TestHistory::makeLoader(const QString &nodeName, int maxPages)
{
    LoadHooks hooks;
    hooks.fetchPage
        = [this](const QString &url, const QString &file, bool prepare) {
              return m_service.fetch(url, file, prepare);
          };
    hooks.showStatus = [this](const QString &text) { m_statusTexts << text; };
    hooks.readOptions = [this] { return m_options; };
    hooks.stopRequested = [this] { return m_stop(); };
    return HistoryLoader(m_document, cache(), QStringLiteral("http://127.0.0.1:1"),
        SplitNodeName(nodeName), hooks, m_run, maxPages);
}

void TestHistory::writeCachedPage(const QString &key, const QByteArray &content)
{
    QFile file(cache() + key + QStringLiteral(".xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void TestHistory::nodeForms_data()
{
    QTest::addColumn<QString>("node");
    QTest::addColumn<QList<Point>>("points");

    const QList<Point> allE { { "20090101", 5 }, { "20090101", 6.5 }, { "20090102", 7 },
        { "20090102", 8 } };
    QTest::newRow("element text, two in one record") << "e" << allE;
    QTest::newRow("element filter") << "e|k=v" << QList<Point> { { "20090102", 7 } };
    QTest::newRow("filter without =") << "e|k" << allE;
    QTest::newRow("filter with empty name") << "e|=v" << allE;
    QTest::newRow("word text") << "w" << QList<Point> {};
    QTest::newRow("names are case-sensitive") << "E" << QList<Point> {};
    QTest::newRow("child value, filtered")
        << "ranks/rank|name=boardgame" << QList<Point> { { "20090101", 215 }, { "20090101", 16 } };
    QTest::newRow("child value, words and missing attributes")
        << "ranks/rank"
        << QList<Point> { { "20090101", 215 }, { "20090101", 9 }, { "20090101", 16 } };
    QTest::newRow("child value that is a word") << "ranks/rank|name=family" << QList<Point> {};
    QTest::newRow("decimal child value") << "ranks/rank|name=decimal" << QList<Point> {};
    QTest::newRow("second slash matches nothing") << "ranks/rank/x" << QList<Point> {};
}

void TestHistory::nodeForms()
{
    QFETCH(QString, node);
    QFETCH(QList<Point>, points);
    const QByteArray records
        = record("20090101",
              "<e>5</e><e>6.5</e><w>word</w><e>\xef\xbc\x95</e>" // a full-width five
              "<ranks><rank name=\"boardgame\" value=\"215\"/>"
              "<rank name=\"family\" value=\"Not Ranked\"/><rank value=\"9\"/><rank/>"
              "<rank name=\"decimal\" value=\"1.5\"/>"
              "<rank name=\"boardgame\" value=\"$10\"/></ranks>")
        + "<ratings><e>99</e></ratings>"
        + record("20090102", "<e k=\"v\">7</e><e k=\"x\">8</e><e k=\"v\"></e><e k=\"v\"/>")
        + record("20\xc3\xa9" "0101", "<e>3</e>") // a date with a letter beyond ASCII
        + "<other date=\"20090103\"><e>1</e></other>";
    writeCachedPage(QStringLiteral("13_1"), HistoryPageXml("", records));
    writeCachedPage(QStringLiteral("13_2"), HistoryPageXml("", "", false));

    HistoryLoader loader = makeLoader(node);
    const GameResult result = loader.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    QCOMPARE(pointsOf(result), points);
    QCOMPARE(result.summary.hasValues(), !points.isEmpty());
}

void TestHistory::elementWithChildrenEndsTheLoad()
{
    writeCachedPage(QStringLiteral("13_1"),
        HistoryPageXml("", record("20090101", "<ranks><rank value=\"1\"/></ranks>")));
    HistoryLoader loader = makeLoader(QStringLiteral("ranks"));
    QVERIFY_THROWS_EXCEPTION(
        PlotwiseError, loader.loadGame(QStringLiteral("13"), QStringLiteral("13")));
    // The page itself is sound: it stays in the cache.
    QVERIFY(QFileInfo::exists(cache() + QStringLiteral("13_1.xml")));
}

void TestHistory::titles_data()
{
    QTest::addColumn<QByteArray>("names");
    QTest::addColumn<QString>("title");

    QTest::newRow("no names: the raw item") << QByteArray() << "ID #007";
    QTest::newRow("primary second")
        << QByteArray("<name>One</name><name primary=\"true\">Two</name>") << "Two";
    QTest::newRow("no primary: the first")
        << QByteArray("<name>One</name><name>Two</name>") << "One";
    QTest::newRow("primary is exact")
        << QByteArray("<name>One</name><name primary=\"TRUE\">Two</name>") << "One";
    QTest::newRow("empty primary name skipped")
        << QByteArray("<name>One</name><name primary=\"true\"></name>") << "One";
    QTest::newRow("empty names only") << QByteArray("<name/><name primary=\"true\"/>") << "ID #007";
    QTest::newRow("ampersands and references")
        << QByteArray("<name primary=\"true\">Harbour &amp; Caf&#233;</name>")
        << QString::fromUtf8("Harbour & Caf\u00e9");
}

void TestHistory::titles()
{
    QFETCH(QByteArray, names);
    QFETCH(QString, title);
    // The same names on both pages do not change the choice.
    m_service.pages[QStringLiteral("7_1")] = HistoryPageXml(names, record("20090101", "<e>1</e>"));
    m_service.pages[QStringLiteral("7_2")] = HistoryPageXml(names, "", false);
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    QCOMPARE(loader.loadGame(QStringLiteral("7"), QStringLiteral("007")).title, title);
}

void TestHistory::idTextInRequestsAndStatus()
{
    addGame(m_service, QStringLiteral("7"), 2);
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    loader.loadGame(QStringLiteral("7"), QStringLiteral("007"));
    QCOMPARE(m_service.urls,
        (QStringList { "http://127.0.0.1:1/xmlapi/boardgame/7?historical=1&page=1",
            "http://127.0.0.1:1/xmlapi/boardgame/7?historical=1&page=2" }));
    QCOMPARE(m_statusTexts, (QStringList { "Loading game 7, page 1", "Loading game 7, page 2" }));
}

void TestHistory::pagingStopsAtThePageWithoutStatistics()
{
    addGame(m_service, QStringLiteral("13"), 4);
    addGame(m_service, QStringLiteral("822"), 2);
    HistoryLoader first = makeLoader(QStringLiteral("e"));
    const GameResult a = first.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    first.loadGame(QStringLiteral("822"), QStringLiteral("822"));
    QCOMPARE(
        m_service.requests, (QStringList { "13_1", "13_2", "13_3", "13_4", "822_1", "822_2" }));
    QCOMPARE(
        pointsOf(a), (QList<Point> { { "20090101", 10 }, { "20090102", 20 }, { "20090103", 30 } }));
    QCOMPARE(a.title, QStringLiteral("Game 13"));
    for (const QString &key : m_service.requests)
        QVERIFY(QFileInfo::exists(cache() + key + QStringLiteral(".xml")));

    // A second Load runs from the cache alone and gives the same series.
    m_service.requests.clear();
    HistoryLoader second = makeLoader(QStringLiteral("e"));
    const GameResult again = second.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    QCOMPARE(m_service.requests, QStringList());
    QCOMPARE(pointsOf(again), pointsOf(a));
    QVERIFY(m_run.failures.isEmpty());
}

void TestHistory::firstPageWithoutStatistics()
{
    addGame(m_service, QStringLiteral("13"), 1);
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    const GameResult result = loader.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    QCOMPARE(m_service.requests, QStringList { "13_1" });
    QVERIFY(result.points.empty());
    QVERIFY(!result.summary.hasValues());
    QCOMPARE(result.title, QStringLiteral("Game 13"));
}

void TestHistory::deltaAndOptionsAcrossPages()
{
    addGame(m_service, QStringLiteral("13"), 4);
    m_options.delta = true;
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    // The options are read afresh for every page: the range set after the
    // first page drops page 2, and the difference goes to the kept point.
    int pagesSeen = 0;
    m_stop = [&] {
        if (++pagesSeen == 2) {
            m_options.useDateRange = true;
            m_options.from = QDate(2009, 1, 3);
            m_options.to = QDate(2009, 1, 3);
        }
        return false;
    };
    const GameResult result = loader.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    QCOMPARE(pointsOf(result), (QList<Point> { { "20090101", 10 }, { "20090103", 20 } }));
    // The summary counts the dropped value too.
    QCOMPARE(result.summary.minimum(), 10.0);
    QCOMPARE(result.summary.maximum(), 30.0);
}

void TestHistory::failedDownloadEndsOnlyThatGame()
{
    addGame(m_service, QStringLiteral("13"), 5);
    addGame(m_service, QStringLiteral("822"), 2);
    m_service.failures[QStringLiteral("13_3")]
        = { FetchOutcome::Failed, QStringLiteral("HTTP 503") };
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    const GameResult a = loader.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    const GameResult b = loader.loadGame(QStringLiteral("822"), QStringLiteral("822"));
    QCOMPARE(pointsOf(a), (QList<Point> { { "20090101", 10 }, { "20090102", 20 } }));
    QCOMPARE(pointsOf(b), (QList<Point> { { "20090101", 10 } }));
    QCOMPARE(m_run.failures, QStringList { "Game 13, page 3: HTTP 503" });
    QVERIFY(!QFileInfo::exists(cache() + QStringLiteral("13_3.xml")));
}

void TestHistory::unreachableServiceStopsFetching()
{
    addGame(m_service, QStringLiteral("13"), 3);
    addGame(m_service, QStringLiteral("822"), 2);
    addGame(m_service, QStringLiteral("5"), 2);
    {
        // Game 5 is in the cache already.
        HistoryLoader warm = makeLoader(QStringLiteral("e"));
        warm.loadGame(QStringLiteral("5"), QStringLiteral("5"));
    }
    m_service.requests.clear();
    m_service.failures[QStringLiteral("13_2")]
        = { FetchOutcome::ServiceDown, QStringLiteral("connection refused") };
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    const GameResult a = loader.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    const GameResult b = loader.loadGame(QStringLiteral("822"), QStringLiteral("822"));
    const GameResult c = loader.loadGame(QStringLiteral("5"), QStringLiteral("5"));
    QCOMPARE(m_service.requests, (QStringList { "13_1", "13_2" }));
    QCOMPARE(a.points.size(), size_t(1));
    QVERIFY(b.points.empty());
    QCOMPARE(c.points.size(), size_t(1));
    QCOMPARE(m_run.failures,
        (QStringList { "Game 13, page 2: connection refused",
            "Game 822, page 1: not fetched, the service is unavailable" }));

    // The next Load of the same run (a script's next line) asks nothing
    // either: it reads the cache and adds its failures to the run's.
    HistoryLoader nextLine = makeLoader(QStringLiteral("e"));
    QCOMPARE(nextLine.loadGame(QStringLiteral("5"), QStringLiteral("5")).points.size(), size_t(1));
    QVERIFY(nextLine.loadGame(QStringLiteral("822"), QStringLiteral("822")).points.empty());
    QCOMPARE(m_service.requests, (QStringList { "13_1", "13_2" }));
    QCOMPARE(m_run.failures.size(), 3);
    QCOMPARE(m_run.failures.last(), "Game 822, page 1: not fetched, the service is unavailable");

    // A new run tries the service again.
    m_run = {};
    makeLoader(QStringLiteral("e")).loadGame(QStringLiteral("822"), QStringLiteral("822"));
    QCOMPARE(m_service.requests.last(), QStringLiteral("822_2"));
}

void TestHistory::pageLimit()
{
    addGame(m_service, QStringLiteral("13"), 10);
    HistoryLoader loader = makeLoader(QStringLiteral("e"), 3);
    const GameResult result = loader.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    QCOMPARE(m_service.requests, (QStringList { "13_1", "13_2", "13_3" }));
    QCOMPARE(result.points.size(), size_t(3));
    QCOMPARE(m_run.failures, QStringList { "Game 13, page 4: more than 3 pages" });
}

void TestHistory::rejectedPageFileIsDeleted()
{
    addGame(m_service, QStringLiteral("13"), 3);
    writeCachedPage(QStringLiteral("13_2"), "<html><body>Service unavailable");
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    QVERIFY_THROWS_EXCEPTION(
        PlotwiseError, loader.loadGame(QStringLiteral("13"), QStringLiteral("13")));
    QVERIFY(QFileInfo::exists(cache() + QStringLiteral("13_1.xml")));
    QVERIFY(!QFileInfo::exists(cache() + QStringLiteral("13_2.xml")));

    // The next Load fetches it again and goes through.
    m_service.requests.clear();
    HistoryLoader again = makeLoader(QStringLiteral("e"));
    QCOMPARE(again.loadGame(QStringLiteral("13"), QStringLiteral("13")).points.size(), size_t(2));
    QCOMPARE(m_service.requests, (QStringList { "13_2", "13_3" }));
}

void TestHistory::stopEndsTheGameWithItsPoints()
{
    addGame(m_service, QStringLiteral("13"), 5);
    m_stop = [this] { return m_statusTexts.size() == 3; };
    HistoryLoader loader = makeLoader(QStringLiteral("e"));
    const GameResult result = loader.loadGame(QStringLiteral("13"), QStringLiteral("13"));
    QCOMPARE(pointsOf(result), (QList<Point> { { "20090101", 10 }, { "20090102", 20 } }));
    QCOMPARE(m_service.requests, (QStringList { "13_1", "13_2" }));
    QVERIFY(m_run.failures.isEmpty());

    // A download that the stop broke off is no failure either.
    m_stop = [] { return false; };
    m_service.failures[QStringLiteral("13_3")]
        = { FetchOutcome::Stopped, QStringLiteral("aborted") };
    HistoryLoader aborted = makeLoader(QStringLiteral("e"));
    QCOMPARE(aborted.loadGame(QStringLiteral("13"), QStringLiteral("13")).points.size(), size_t(2));
    QVERIFY(m_run.failures.isEmpty());
}

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
