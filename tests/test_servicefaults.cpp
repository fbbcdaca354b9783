// Faults of the service met by a Load of several games, a geeklist import and
// a search, injected through the sample service: every failure is reported in
// words, nothing crashes or waits past the download limits, no page file is
// left that is not a complete status-200 answer, the Load goes on with the
// other games wherever it should, and the settings file stays intact.
#include "app/PlotChart.h"
#include "search/u_frmSearch.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"
#include "support/TestSupport.h"
#include "tools/SampleDataLayout.h"
#include "ui/HandlerGuard.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QtTest>

namespace {

const QString Games = QStringLiteral("1001, 1002, 1003");
const QByteArray Settings = "[form_main]\r\nmaximized=0\r\nnode=0\r\ngame=1001, 1002, 1003\r\n"
                            "[service]\r\nbase_url=http://127.0.0.1:9\r\n";
const QString Faulted = QStringLiteral("/xmlapi/boardgame/1002?*");
// The Load's bound on one game's pages, lowered from 10,000 to keep the
// endless service's case short.
constexpr int MaxPages = 40;

// Short limits keep the suite fast: one byte a second outlasts the overall
// deadline, and retries wait a fraction of a second.
Downloader::Limits testLimits()
{
    Downloader::Limits limits;
    limits.idleTimeoutMs = 2500;
    limits.totalTimeoutMs = 4000;
    limits.maxAttempts = 3;
    limits.firstRetryWaitMs = 50;
    limits.maxRetryWaitMs = 300;
    return limits;
}

// A base address where nothing listens: a port that was free a moment ago.
QString closedPortUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
}

// What a fault comes to, whichever command meets it.
enum class Outcome {
    NoAnswer, // no complete status-200 answer: nothing stored, the reason told
    NotXml,   // an answer that does not parse: the parser's words, nothing kept
    NoGames,  // a well-formed answer about no game at all
    Deep,     // a well-formed game whose "name" holds 10,000 levels of elements
    Endless,  // a history page with "statistics" for every page number
};

} // namespace

Q_DECLARE_METATYPE(Outcome)

class TestServiceFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void load_data();
    void load();
    void failuresOfARun_data();
    void failuresOfARun();
    void geeklist_data();
    void geeklist();
    void search_data();
    void search();

private:
    // The fault rows for the requests that pattern matches; with unreachable,
    // also a row with no rule, for a service that cannot be reached at all.
    void faultRows(const QString &pattern, bool unreachable);
    // The sample service with that fault rule, or a closed port for none.
    QString serviceWith(const QString &rule);
    // A window on the given service, with the test's limits and settings.
    MainWindowFixture &openWindow(const QString &baseUrl);
    void startService(const QStringList &rules);
    // No file in the cache folder but complete answers of the given names.
    void checkCache(const QStringList &allowed);
    // The window closes, and the settings file it wrote reads back.
    void checkSettingsAfterClose(const QString &game);

    QTemporaryDir m_data;
    std::unique_ptr<SampleService> m_service;
    std::unique_ptr<MainWindowFixture> m_window;
};

void TestServiceFaults::initTestCase()
{
    QString error;
    QVERIFY2(SampleService::generateData(m_data.path(),
                                         { QStringLiteral("--games"), QStringLiteral("3"),
                                           QStringLiteral("--pages"), QStringLiteral("2"),
                                           QStringLiteral("--records"), QStringLiteral("3") },
                                         &error),
             qPrintable(error));
}

void TestServiceFaults::cleanup()
{
    m_window.reset();
    m_service.reset();
}

void TestServiceFaults::startService(const QStringList &rules)
{
    SampleService::Options options;
    options.dataDir = m_data.path();
    for (const QString &rule : rules)
        options.serviceArgs << QStringLiteral("--fail") << rule;
    m_service = std::make_unique<SampleService>(options);
    QVERIFY2(m_service->start(), qPrintable(m_service->errorString()));
}

MainWindowFixture &TestServiceFaults::openWindow(const QString &baseUrl)
{
    MainWindowFixture::Setup setup;
    setup.settings = Settings;
    setup.serviceOverride = baseUrl;
    setup.maxPagesPerGame = MaxPages;
    m_window = std::make_unique<MainWindowFixture>(setup);
    m_window->window().downloader().setLimits(testLimits());
    return *m_window;
}

void TestServiceFaults::checkCache(const QStringList &allowed)
{
    const QStringList present = QDir(m_window->cacheDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : present)
        QVERIFY2(allowed.contains(name), qPrintable(QStringLiteral("left in the cache: ") + name));
}

void TestServiceFaults::checkSettingsAfterClose(const QString &game)
{
    QCOMPARE(m_window->settingsText(), Settings);
    const qsizetype errors = m_window->dialogs.errors.size();
    m_window->close();
    QCOMPARE(m_window->dialogs.errors.size(), errors);
    const QByteArray written = m_window->settingsText();
    QVERIFY(written.startsWith("[form_main]\r\n"));
    QVERIFY(written.contains("\r\ngame=" + game.toUtf8() + "\r\n"));
    QVERIFY(written.contains("[service]\r\nbase_url=http://127.0.0.1:9\r\n"));
}


// The faults every command meets, on the requests that pattern matches.
void TestServiceFaults::faultRows(const QString &pattern, bool unreachable)
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("reason");
    const auto row = [&](const char *name, const char *what, Outcome outcome, const char *reason) {
        QTest::newRow(name) << (pattern + u'=' + QLatin1String(what)) << outcome
                            << QString::fromLatin1(reason);
    };
    row("404", "404", Outcome::NoAnswer, "HTTP 404");
    row("500", "500", Outcome::NoAnswer, "HTTP 500");
    row("429", "429", Outcome::NoAnswer, "HTTP 429");
    row("429 retry-after", "429,retry-after=1", Outcome::NoAnswer, "HTTP 429");
    row("503", "503", Outcome::NoAnswer, "HTTP 503");
    row("503 retry-after", "503,retry-after=1", Outcome::NoAnswer, "HTTP 503");
    row("503 retry-after date", "503,retry-date=2", Outcome::NoAnswer, "HTTP 503");
    row("503 retry-after a day", "503,retry-after=86400", Outcome::NoAnswer, "HTTP 503");
    row("broken off", "broken", Outcome::NoAnswer, "transfer broken off");
    row("100 MB", "huge,bytes=100000000", Outcome::NoAnswer, "answer too large");
    row("one byte a second", "trickle,interval-ms=1000", Outcome::NoAnswer, "timed out");
    row("random bytes", "random", Outcome::NotXml, "not well-formed");
    row("html page", "notxml", Outcome::NotXml, "not well-formed");
    row("another root", "otherroot", Outcome::NoGames, "");
    row("no game element", "nogames", Outcome::NoGames, "");
    row("10,000 levels", "deep", Outcome::Deep, "holds more than one text");
    row("statistics on every page", "statistics", Outcome::Endless, "more than 40 pages");
    if (unreachable)
        QTest::newRow("unreachable") << QString() << Outcome::NoAnswer << QStringLiteral("connection refused");
}

QString TestServiceFaults::serviceWith(const QString &rule)
{
    if (rule.isEmpty())
        return closedPortUrl();
    startService({ rule });
    return m_service ? m_service->baseUrl() : QString();
}

void TestServiceFaults::load_data()
{
    faultRows(Faulted, false);
}

void TestServiceFaults::load()
{
    QFETCH(QString, rule);
    QFETCH(Outcome, outcome);
    QFETCH(QString, reason);
    startService({ rule });
    MainWindowFixture &w = openWindow(m_service->baseUrl());
    w->cboRank->setCurrentIndex(w->cboRank->findText(QStringLiteral("average")));
    w->edtGame->setPlainText(Games);

    w->btnLoad->click();

    QCOMPARE(w->stbMain->currentMessage(), QStringLiteral("Operation complete."));
    const QStringList titles = SeriesTitles(w->chaMain);
    const QStringList pages1001 = { QStringLiteral("1001_1.xml"), QStringLiteral("1001_2.xml"),
                                    QStringLiteral("1001_3.xml") };
    const QStringList pages1003 = { QStringLiteral("1003_1.xml"), QStringLiteral("1003_2.xml"),
                                    QStringLiteral("1003_3.xml") };
    if (outcome == Outcome::NotXml || outcome == Outcome::Deep) {
        // The page ends the Load in the parser's or the walk's words; the
        // games before it stay. A page that does not parse is not kept: the
        // next Load fetches it again.
        QCOMPARE(w.dialogs.errors.size(), 1);
        QVERIFY2(w.dialogs.errors[0].contains(reason), qPrintable(w.dialogs.errors[0]));
        QCOMPARE(titles.size(), 1);
        checkCache(outcome == Outcome::Deep ? pages1001 + QStringList(QStringLiteral("1002_1.xml")) : pages1001);
    } else if (outcome == Outcome::Endless) {
        // The page bound ends game 1002 with the points it read and says so;
        // every page it stored is a complete answer.
        QVERIFY2(w.dialogs.errors.isEmpty(), qPrintable(w.dialogs.errors.join(u'\n')));
        QCOMPARE(w.dialogs.messages.size(), 1);
        QVERIFY2(w.dialogs.messages[0].endsWith(QStringLiteral("Game 1002, page 41: ") + reason),
                 qPrintable(w.dialogs.messages[0]));
        QCOMPARE(titles.size(), 3);
        QCOMPARE(titles[1], QStringLiteral("Endless"));
        QCOMPARE(w->chaMain->series().at(1)->pointCount(), MaxPages);
        QCOMPARE(m_service->requestCount(QStringLiteral("/xmlapi/boardgame/1002")), MaxPages);
        QStringList pages1002;
        for (int page = 1; page <= MaxPages; ++page)
            pages1002 << QStringLiteral("1002_%1.xml").arg(page);
        checkCache(pages1001 + pages1002 + pages1003);
    } else {
        // Game 1002 ends with what it has, the others load, and one message
        // after the Load says why.
        QVERIFY2(w.dialogs.errors.isEmpty(), qPrintable(w.dialogs.errors.join(u'\n')));
        QCOMPARE(w.dialogs.messages.size(), 1);
        const QString expected = QStringLiteral("Game 1002, page 1: ")
            + (outcome == Outcome::NoGames ? QStringLiteral("the answer holds no game") : reason);
        QVERIFY2(w.dialogs.messages[0].contains(expected), qPrintable(w.dialogs.messages[0]));
        if (reason == u"timed out") {
            // A service that times out is not asked again in this Load.
            QVERIFY2(w.dialogs.messages[0].contains(QStringLiteral("Game 1003, page 1: not fetched")),
                     qPrintable(w.dialogs.messages[0]));
            QCOMPARE(titles.size(), 1);
            checkCache(pages1001);
        } else {
            QCOMPARE(titles.size(), 2);
            checkCache(pages1001 + pages1003);
        }
    }
    checkSettingsAfterClose(Games);
}

// A Load by hand and a script run are each one unit for download failures:
// once the service is down nothing more is fetched (cached pages are still
// read), the failures are told once at the end, and an error that ends the
// run tells the failures met before it.
void TestServiceFaults::failuresOfARun_data()
{
    QTest::addColumn<bool>("script");
    QTest::addColumn<QStringList>("rules"); // none: a service that cannot be reached
    QTest::addColumn<QString>("message");   // empty: none
    QTest::addColumn<QString>("error");     // the end of the error box; empty: none
    QTest::addColumn<int>("seriesLeft");

    const QString down = QStringLiteral("Not every page could be loaded:\n"
                                        "Game 1001, page 1: connection refused\n"
                                        "Game 1002, page 1: not fetched, the service is unavailable");
    const QStringList failThenReject = { QStringLiteral("/xmlapi/boardgame/1001?historical=1&page=2=503"),
                                         QStringLiteral("/xmlapi/boardgame/1002?*=notxml") };
    const QString told = QStringLiteral("\n\nNot every page could be loaded:\nGame 1001, page 2: HTTP 503");
    for (const bool script : { false, true }) {
        const char *by = script ? "script" : "by hand";
        QTest::addRow("%s, service down", by) << script << QStringList() << down << QString() << 1;
        QTest::addRow("%s, failure then a page error", by)
            << script << failThenReject << QString() << told << 1;
    }
}

void TestServiceFaults::failuresOfARun()
{
    QFETCH(bool, script);
    QFETCH(QStringList, rules);
    QFETCH(QString, message);
    QFETCH(QString, error);
    if (!rules.isEmpty())
        startService(rules);
    MainWindowFixture &w = openWindow(rules.isEmpty() ? closedPortUrl() : m_service->baseUrl());
    // Game 1003 is in the cache already.
    QDir().mkpath(w.cacheDir());
    for (int page = 1; page <= 3; ++page) {
        const QString sample = page < 3 ? SampleHistoryPagePath(m_data.path(), QStringLiteral("1003"), page)
                                        : SampleEndPagePath(m_data.path(), QStringLiteral("1003"));
        QVERIFY(QFile::copy(sample, HistoryPageFile(w.cacheDir(), QStringLiteral("1003"), page)));
    }
    w->cboRank->setCurrentIndex(w->cboRank->findText(QStringLiteral("average")));
    w->edtGame->setPlainText(Games);

    if (script)
        RunGuarded(&w.dialogs, &w.window(), [&] {
            w->ExecuteScript(QStringLiteral("1001,average,,,,,\n1002,average,,,,,\n1003,average,,,,,"));
        });
    else
        w->btnLoad->click();

    QCOMPARE(w.dialogs.messages, message.isEmpty() ? QStringList() : QStringList(message));
    QCOMPARE(w.dialogs.errors.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty())
        QVERIFY2(w.dialogs.errors[0].endsWith(error), qPrintable(w.dialogs.errors[0]));
    QTEST(w->chaMain->seriesCount(), "seriesLeft");
    checkSettingsAfterClose(w->edtGame->toPlainText());
}

void TestServiceFaults::geeklist_data()
{
    faultRows(QStringLiteral("/xmlapi/geeklist/*"), true);
}

void TestServiceFaults::geeklist()
{
    QFETCH(QString, rule);
    QFETCH(Outcome, outcome);
    QFETCH(QString, reason);
    MainWindowFixture &w = openWindow(serviceWith(rule));
    w->edtGame->setPlainText(Games);
    w.importGeeklist(QStringLiteral("500"));

    QVERIFY(w.dialogs.modalActions.isEmpty());
    switch (outcome) {
    case Outcome::NoAnswer:
        QCOMPARE(w.dialogs.messages,
                 QStringList(QStringLiteral("Can't continue, Geeklist data not downloaded! (%1)").arg(reason)));
        QCOMPARE(w->edtGame->toPlainText(), Games);
        QCOMPARE(w->stbMain->currentMessage(), QStringLiteral("Loading geeklist #500"));
        break;
    case Outcome::NotXml:
        QCOMPARE(w.dialogs.errors.size(), 1);
        QVERIFY2(w.dialogs.errors[0].contains(reason), qPrintable(w.dialogs.errors[0]));
        QCOMPARE(w->edtGame->toPlainText(), Games);
        break;
    case Outcome::NoGames:
    case Outcome::Deep:
    case Outcome::Endless:
        // Well-formed, but no board game on it: the box is emptied, as for a
        // list of expansions only, and the status bar says so.
        QVERIFY(w.dialogs.errors.isEmpty() && w.dialogs.messages.isEmpty());
        QVERIFY(w->edtGame->toPlainText().isEmpty());
        QCOMPARE(w->stbMain->currentMessage(), QStringLiteral("Geeklist #500 holds no board games"));
        break;
    }
    checkCache(outcome == Outcome::NoGames || outcome == Outcome::Deep || outcome == Outcome::Endless
                   ? QStringList(QStringLiteral("geeklist_500.xml"))
                   : QStringList());
    checkSettingsAfterClose(w->edtGame->toPlainText());
}

void TestServiceFaults::search_data()
{
    faultRows(QStringLiteral("/xmlapi/search*"), true);
}

void TestServiceFaults::search()
{
    QFETCH(QString, rule);
    QFETCH(Outcome, outcome);
    QFETCH(QString, reason);
    MainWindowFixture &w = openWindow(serviceWith(rule));
    w->setWindows(nullptr, new TfrmSearch(w.window().searchContext(), &w.window())); // the main window owns it
    w->edtGame->setPlainText(Games);
    const auto [lines, status] = w.search(QStringLiteral("harbour"));

    QCOMPARE(lines, 0);
    QCOMPARE(w->edtGame->toPlainText(), Games);
    switch (outcome) {
    case Outcome::NoAnswer:
        QCOMPARE(status, QStringLiteral("Search failed: ") + reason);
        checkCache({});
        break;
    case Outcome::NotXml:
    case Outcome::Deep:
        QCOMPARE(w.dialogs.errors.size(), 1);
        QVERIFY2(w.dialogs.errors[0].contains(reason), qPrintable(w.dialogs.errors[0]));
        break;
    case Outcome::NoGames:
    case Outcome::Endless:
        QVERIFY(w.dialogs.errors.isEmpty());
        QCOMPARE(status, QStringLiteral("No games found."));
        break;
    }
    checkSettingsAfterClose(Games);
}

QTEST_MAIN(TestServiceFaults)
#include "test_servicefaults.moc"
