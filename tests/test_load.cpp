// Load through the main window against pages served by the sample service:
// the game list, series set-up and finish, the legend, the info lines, the
// cache, rejected pages, the busy state, Stop and closing during a Load. Run
// under several time zones. The page loop's own rules (paging, failures, the
// cache, locales) are tested without a window in test_history.
#include "app/PlotChart.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "service/u_Function.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"
#include "support/TestSupport.h"
#include "ui/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QValueAxis>
#include <QtTest>

namespace {

// One record a page: page n is dated 2009-01-0n and holds "average" and a
// ranked "rank" element with the given values.
QByteArray recordPage(const QByteArray &names, int day, const QByteArray &average, int rank)
{
    const QByteArray date = "200901" + QByteArray::number(day).rightJustified(2, '0');
    return HistoryPageXml(names,
        "<ratings date=\"" + date + "\"><average>" + average
            + "</average><ranks><rank name=\"boardgame\" value=\"" + QByteArray::number(rank)
            + "\"/></ranks></ratings>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

// Games 13 (three pages, a primary name with "&"), 822 (two pages), 7 (no
// names) and 5 (no values) in the sample service's folder layout.
void writeGames(const QString &dataDir)
{
    const auto page = [&](const char *id, const QString &name, const QByteArray &bytes) {
        writeFile(QDir(dataDir).filePath(
                      QStringLiteral("boardgame/%1/%2.xml").arg(QLatin1String(id), name)),
            bytes);
    };
    const QByteArray names13 = "<name>Dreizehn</name><name primary=\"true\">A &amp; B</name>";
    page("13", QStringLiteral("1"), recordPage(names13, 1, "100", 5));
    page("13", QStringLiteral("2"), recordPage(names13, 2, "90", 7));
    page("13", QStringLiteral("3"), recordPage(names13, 3, "95.5", 6));
    page("13", QStringLiteral("end"), HistoryPageXml(names13, "", false));
    const QByteArray names822 = "<name>Eight</name>";
    page("822", QStringLiteral("1"), recordPage(names822, 1, "7.5", 40));
    page("822", QStringLiteral("2"), recordPage(names822, 2, "8", 30));
    page("822", QStringLiteral("end"), HistoryPageXml(names822, "", false));
    page("7", QStringLiteral("1"), recordPage("", 1, "1", 1));
    page("7", QStringLiteral("end"), HistoryPageXml("", "", false));
    // Game 5 holds records without the plotted values.
    const QByteArray names5 = "<name>Empty</name>";
    page("5", QStringLiteral("1"),
        HistoryPageXml(names5, "<ratings date=\"20090101\"><owned>3</owned></ratings>"));
    page("5", QStringLiteral("end"), HistoryPageXml(names5, "", false));
}

QList<double> valuesOf(const PlotSeries *series)
{
    QList<double> values;
    for (const SeriesPoint &p : series->points())
        values << p.y;
    return values;
}

// The calendar days of the points: as the model keeps them, and as the chart
// draws them in local time.
QList<QDate> modelDaysOf(const PlotSeries *series)
{
    QList<QDate> days;
    for (const SeriesPoint &p : series->points())
        days << DaysToDate(p.day);
    return days;
}

QList<QDate> drawnDaysOf(const PlotSeries *series)
{
    QList<QDate> days;
    for (const QPointF &p : series->lineSeries()->points())
        days << QDateTime::fromMSecsSinceEpoch(qint64(p.x())).date();
    return days;
}

} // namespace

class TestLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void noNodeNameChangesNothing();
    void gameList_data();
    void gameList();
    void loadSetsUpTitlesAndSummarises();
    void legendCountsEarlierLoads();
    void seriesSetUpOnTheChosenAxis();
    void fixedColourWhenAutoColourIsOff();
    void valuesOutsideTheRange();
    void rejectedPageEndsTheLoadAndIsFetchedAgain();
    void busyRefusesNestedCommands();
    void stopBetweenPages();
    void stopDuringDownload();
    void closingDuringLoadStopsAndCloses();
    void infoBoxAndDateBox();
    void heldChartCatchesUpInOneGo();

private:
    void startService(const QStringList &serviceArgs = {});
    MainWindowFixture &openWindow(const QString &baseUrl);
    void load(const QString &node, const QString &games);
    // Runs fn once, when the status bar first shows text.
    void onStatus(const QString &text, std::function<void()> fn);

    QTemporaryDir m_data;
    std::unique_ptr<SampleService> m_service;
    std::unique_ptr<MainWindowFixture> m_window;
    QList<QMetaObject::Connection> m_connections;
};

void TestLoad::initTestCase()
{
    writeGames(m_data.path());
}

void TestLoad::init()
{
    startService();
}

void TestLoad::startService(const QStringList &serviceArgs)
{
    m_service.reset();
    SampleService::Options options;
    options.dataDir = m_data.path();
    options.serviceArgs = serviceArgs;
    m_service = std::make_unique<SampleService>(options);
    QVERIFY2(m_service->start(), qPrintable(m_service->errorString()));
}

void TestLoad::cleanup()
{
    for (const auto &c : std::as_const(m_connections))
        QObject::disconnect(c);
    m_connections.clear();
    m_window.reset();
    m_service.reset();
}

MainWindowFixture &TestLoad::openWindow(const QString &baseUrl)
{
    MainWindowFixture::Setup setup;
    setup.nodes = QByteArrayLiteral("average\nranks/rank|name=boardgame\n");
    setup.serviceOverride = baseUrl;
    m_window = std::make_unique<MainWindowFixture>(setup);
    Downloader::Limits limits;
    limits.maxAttempts = 1;
    limits.idleTimeoutMs = 5000;
    limits.totalTimeoutMs = 20000;
    (*m_window)->downloader().setLimits(limits);
    return *m_window;
}

void TestLoad::load(const QString &node, const QString &games)
{
    TfrmMain &w = m_window->window();
    w.cboRank->setCurrentIndex(w.cboRank->findText(node));
    w.edtGame->setPlainText(games);
    QTest::mouseClick(w.btnLoad, Qt::LeftButton);
}

void TestLoad::onStatus(const QString &text, std::function<void()> fn)
{
    auto done = std::make_shared<bool>(false);
    m_connections << connect(m_window->window().stbMain, &QStatusBar::messageChanged, this,
        [text, fn, done](const QString &shown) {
            if (*done || shown != text)
                return;
            *done = true;
            fn();
        });
}

void TestLoad::noNodeNameChangesNothing()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    w.cboRank->setCurrentIndex(-1);
    w.edtGame->setPlainText(QStringLiteral("13"));
    QTest::mouseClick(w.btnLoad, Qt::LeftButton);
    QCOMPARE(m_window->dialogs.messages, QStringList { "Choose a node name" });
    QCOMPARE(w.stbMain->currentMessage(), QString());
    QVERIFY(!w.btnInfo->isEnabled());
    QCOMPARE(m_service->requestCount(), 0);
    QVERIFY(!QDir(m_window->cacheDir()).exists());
}

void TestLoad::gameList_data()
{
    QTest::addColumn<QString>("games");
    QTest::addColumn<QStringList>("titles");

    QTest::newRow("commas") << "13, 822" << QStringList { "A & B", "Eight" };
    QTest::newRow("empty item and a word skipped")
        << "13,,abc,822" << QStringList { "A & B", "Eight" };
    QTest::newRow("leading zeros: raw item in the title") << "007" << QStringList { "ID #007" };
    QTest::newRow("same game twice") << "822 822" << QStringList { "Eight", "Eight" };
    QTest::newRow("empty memo") << "" << QStringList {};
}

void TestLoad::gameList()
{
    QFETCH(QString, games);
    QFETCH(QStringList, titles);
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    w.InfoLines = QStringList { "from an earlier Load" };
    load(QStringLiteral("average"), games);
    QCOMPARE(SeriesTitles(w.chaMain), titles);
    QCOMPARE(w.InfoLines.size(), titles.size());
    QCOMPARE(w.stbMain->currentMessage(), QStringLiteral("Operation complete."));
    QVERIFY(w.btnInfo->isEnabled());
    QVERIFY(m_window->dialogs.messages.isEmpty());
    // Every page is fetched once: the second of a repeated game reads the cache.
    QCOMPARE(m_service->requestCount(QStringLiteral("/xmlapi/boardgame/13?")),
        titles.contains(QStringLiteral("A & B")) ? 4 : 0);
    QCOMPARE(m_service->requestCount(QStringLiteral("/xmlapi/boardgame/822?")),
        titles.contains(QStringLiteral("Eight")) ? 3 : 0);
    if (titles.size() == 2 && titles[0] == titles[1])
        QCOMPARE(valuesOf(w.chaMain->series()[0]), valuesOf(w.chaMain->series()[1]));
    if (games == QStringLiteral("007")) {
        QCOMPARE(
            m_service->requestCount(QStringLiteral("/xmlapi/boardgame/7?historical=1&page=1")), 1);
        QVERIFY(QFileInfo::exists(HistoryPageFile(m_window->cacheDir(), QStringLiteral("7"), 1)));
    }
}

void TestLoad::loadSetsUpTitlesAndSummarises()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    load(QStringLiteral("average"), QStringLiteral("13 822"));
    QCOMPARE(w.chaMain->seriesCount(), 2);
    QVERIFY(w.chaMain->legendVisible());
    QCOMPARE(valuesOf(w.chaMain->series()[0]), (QList<double> { 100, 90, 95.5 }));
    // Each point on its record's calendar day, in every time zone.
    const QList<QDate> days { QDate(2009, 1, 1), QDate(2009, 1, 2), QDate(2009, 1, 3) };
    QCOMPARE(modelDaysOf(w.chaMain->series()[0]), days);
    QCOMPARE(drawnDaysOf(w.chaMain->series()[0]), days);
    QCOMPARE(w.InfoLines,
        (QStringList { "A && B min: 90 (2009-01-02) / max: 100 (2009-01-01)",
            "Eight min: 7.5 (2009-01-01) / max: 8 (2009-01-02)" }));
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    for (int page = 1; page <= 4; ++page)
        QVERIFY(
            QFileInfo::exists(HistoryPageFile(m_window->cacheDir(), QStringLiteral("13"), page)));
}

void TestLoad::legendCountsEarlierLoads()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    load(QStringLiteral("average"), QStringLiteral("13"));
    QCOMPARE(w.chaMain->seriesCount(), 1);
    QVERIFY(!w.chaMain->legendVisible());
    load(QStringLiteral("average"), QStringLiteral("822"));
    QCOMPARE(w.chaMain->seriesCount(), 2);
    QVERIFY(w.chaMain->legendVisible());
    QCOMPARE(w.InfoLines.size(), 1); // only this Load's games
    // A game without values stays off the chart and off the info lines.
    load(QStringLiteral("average"), QStringLiteral("5"));
    QCOMPARE(w.chaMain->seriesCount(), 2);
    QVERIFY(w.InfoLines.isEmpty());
    QVERIFY(w.chaMain->legendVisible());
}

void TestLoad::seriesSetUpOnTheChosenAxis()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    w.rgoVertAxis->setItemIndex(1);
    w.setInvertedAxis(true);
    w.setLogarithmicAxis(true);
    load(QStringLiteral("average"), QStringLiteral("13"));
    const PlotSeries *right = w.chaMain->series()[0];
    QCOMPARE(right->axis(), VertAxis::Right);
    QCOMPARE(right->lineWidth(), 2);
    QVERIFY(w.chaMain->axisInverted(VertAxis::Right));
    QVERIFY(w.chaMain->axisLogarithmic(VertAxis::Right));
    QVERIFY(!w.chaMain->axisInverted(VertAxis::Left));
    QVERIFY(!w.chaMain->axisLogarithmic(VertAxis::Left));

    // A later game on the left axis leaves the right one as it is.
    w.rgoVertAxis->setItemIndex(0);
    w.setInvertedAxis(false);
    w.setLogarithmicAxis(false);
    load(QStringLiteral("average"), QStringLiteral("822"));
    QCOMPARE(w.chaMain->series()[1]->axis(), VertAxis::Left);
    QVERIFY(w.chaMain->axisInverted(VertAxis::Right));
    QVERIFY(w.chaMain->axisLogarithmic(VertAxis::Right));
}

void TestLoad::fixedColourWhenAutoColourIsOff()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    w.setAutoColor(false);
    w.setFixedColor(0x0000FF); // red
    load(QStringLiteral("average"), QStringLiteral("13 822"));
    for (const PlotSeries *s : w.chaMain->series())
        QCOMPARE(s->color(), QColor(255, 0, 0));
    w.setAutoColor(true);
    load(QStringLiteral("average"), QStringLiteral("7"));
    QVERIFY(w.chaMain->series()[2]->color() != QColor(255, 0, 0));
}

void TestLoad::valuesOutsideTheRange()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    w.cboDate->setChecked(true);
    w.cboDateClick();
    w.dtpDate1->setDate(QDate(2009, 1, 2));
    w.dtpDate2->setDate(QDate(2009, 1, 3));
    w.rgoValues->setItemIndex(1);
    load(QStringLiteral("average"), QStringLiteral("13"));
    // Delta to the previous kept point; the summary counts every value read.
    QCOMPARE(valuesOf(w.chaMain->series()[0]), (QList<double> { 90, 5.5 }));
    QCOMPARE(w.InfoLines, QStringList { "A && B min: 90 (2009-01-02) / max: 100 (2009-01-01)" });

    // "To" before "From": no points, the summary line still there.
    w.dtpDate1->setDate(QDate(2009, 1, 3));
    w.dtpDate2->setDate(QDate(2009, 1, 1));
    load(QStringLiteral("average"), QStringLiteral("13"));
    QCOMPARE(w.chaMain->seriesCount(), 1);
    QCOMPARE(w.InfoLines.size(), 1);
}

void TestLoad::rejectedPageEndsTheLoadAndIsFetchedAgain()
{
    startService({ QStringLiteral("--fail"),
        QStringLiteral("/xmlapi/boardgame/13?historical=1&page=2=notxml,times=1") });
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    load(QStringLiteral("average"), QStringLiteral("822 13 7"));
    QCOMPARE(m_window->dialogs.errors.size(), 1);
    // The game read before stays; the failing game's series is discarded and
    // the games after it are not read; the wrap-up still ran.
    QCOMPARE(SeriesTitles(w.chaMain), QStringList { "Eight" });
    QCOMPARE(m_service->requestCount(QStringLiteral("/xmlapi/boardgame/7?")), 0);
    QCOMPARE(w.stbMain->currentMessage(), QStringLiteral("Operation complete."));
    QVERIFY(w.btnInfo->isEnabled());
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(w.btnClearGraph->isEnabled());
    QCOMPARE(w.btnLoad->text(), QStringLiteral("Load"));
    QVERIFY(QFileInfo::exists(HistoryPageFile(m_window->cacheDir(), QStringLiteral("13"), 1)));
    QVERIFY(!QFileInfo::exists(HistoryPageFile(m_window->cacheDir(), QStringLiteral("13"), 2)));

    m_service->clearRequests();
    load(QStringLiteral("average"), QStringLiteral("13"));
    QCOMPARE(m_window->dialogs.errors.size(), 1);
    QCOMPARE(
        m_service->requestCount(QStringLiteral("/xmlapi/boardgame/13?historical=1&page=1")), 0);
    QCOMPARE(
        m_service->requestCount(QStringLiteral("/xmlapi/boardgame/13?historical=1&page=2")), 1);
    QCOMPARE(valuesOf(w.chaMain->series().last()), (QList<double> { 100, 90, 95.5 }));
}

void TestLoad::busyRefusesNestedCommands()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    QList<QPushButton *> refused { w.btnClearGraph, w.btnSave, w.btnPrint, w.btnClearData,
        w.btnScript, w.btnSearch, w.btnGeeklist };
    QList<bool> enabledDuringLoad;
    QString loadCaption;
    bool busy = false;
    onStatus(QStringLiteral("Loading game 13, page 2"), [&] {
        busy = w.isBusy();
        for (QPushButton *b : refused)
            enabledDuringLoad << b->isEnabled();
        loadCaption = w.btnLoad->text();
        // The game label's click would empty the game box.
        QTest::mouseClick(w.labGame, Qt::LeftButton);
    });
    load(QStringLiteral("average"), QStringLiteral("13"));
    QVERIFY(busy);
    QCOMPARE(enabledDuringLoad, QList<bool>(refused.size(), false));
    QCOMPARE(loadCaption, QStringLiteral("Stop"));
    QCOMPARE(w.edtGame->toPlainText(), QStringLiteral("13"));
    QVERIFY(!w.isBusy());
    for (QPushButton *b : refused)
        QVERIFY(b->isEnabled());
    QCOMPARE(w.btnLoad->text(), QStringLiteral("Load"));
    QCOMPARE(w.stbMain->currentMessage(), QStringLiteral("Operation complete."));

    // A script holds the busy state across its Loads; the routine still runs.
    {
        TfrmMain::BusyHold hold(w);
        w.cboRank->setCurrentIndex(0);
        w.edtGame->setPlainText(QStringLiteral("822"));
        w.runLoad();
        QVERIFY(w.isBusy());
        QVERIFY(!w.btnClearGraph->isEnabled());
        QCOMPARE(w.btnLoad->text(), QStringLiteral("Stop"));
    }
    QCOMPARE(w.chaMain->seriesCount(), 2);
    QVERIFY(w.btnClearGraph->isEnabled());
}

void TestLoad::stopBetweenPages()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    onStatus(QStringLiteral("Loading game 13, page 2"),
        [&] { QTest::mouseClick(w.btnLoad, Qt::LeftButton); });
    load(QStringLiteral("average"), QStringLiteral("13 822"));
    // The current game keeps what it read; the rest is skipped.
    QCOMPARE(SeriesTitles(w.chaMain), QStringList { "A & B" });
    QCOMPARE(valuesOf(w.chaMain->series()[0]), QList<double> { 100 });
    QCOMPARE(m_service->requestCount(QStringLiteral("/xmlapi/boardgame/822")), 0);
    QCOMPARE(w.stbMain->currentMessage(), QStringLiteral("Operation stopped."));
    QVERIFY(w.btnInfo->isEnabled());
    QCOMPARE(w.btnLoad->text(), QStringLiteral("Load"));
    QVERIFY(m_window->dialogs.messages.isEmpty());

    // The next Load starts afresh.
    load(QStringLiteral("average"), QStringLiteral("822"));
    QCOMPARE(w.stbMain->currentMessage(), QStringLiteral("Operation complete."));
    QCOMPARE(w.chaMain->seriesCount(), 2);
}

void TestLoad::stopDuringDownload()
{
    // Page 2 trickles in a byte a second: the Stop breaks the download off.
    startService({ QStringLiteral("--fail"),
        QStringLiteral("/xmlapi/boardgame/13?historical=1&page=2=trickle") });
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    onStatus(QStringLiteral("Loading game 13, page 2"), [&] {
        QTimer::singleShot(300, &w, [&] { QTest::mouseClick(w.btnLoad, Qt::LeftButton); });
    });
    load(QStringLiteral("average"), QStringLiteral("13 822"));
    QCOMPARE(w.stbMain->currentMessage(), QStringLiteral("Operation stopped."));
    QCOMPARE(SeriesTitles(w.chaMain), QStringList { "A & B" });
    QVERIFY(m_window->dialogs.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(HistoryPageFile(m_window->cacheDir(), QStringLiteral("13"), 2)));
}

void TestLoad::closingDuringLoadStopsAndCloses()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    bool closedEmitted = false;
    connect(&w, &TfrmMain::closed, this, [&] { closedEmitted = true; });
    onStatus(QStringLiteral("Loading game 13, page 2"), [&] { w.close(); });
    load(QStringLiteral("average"), QStringLiteral("13 822"));
    // The Load unwinds first, then the window closes as usual.
    QCOMPARE(w.stbMain->currentMessage(), QStringLiteral("Operation stopped."));
    QTRY_VERIFY(closedEmitted);
    QVERIFY(!w.isVisible());
    QVERIFY(m_window->settingsText().contains("game=13 822"));
}

void TestLoad::infoBoxAndDateBox()
{
    TfrmMain &w = openWindow(m_service->baseUrl()).window();
    load(QStringLiteral("average"), QStringLiteral("13 5"));
    QTest::mouseClick(w.btnInfo, Qt::LeftButton);
    QCOMPARE(m_window->dialogs.messages.last(),
        QStringLiteral("A & B min: 90 (2009-01-02) / max: 100 (2009-01-01)\n"));
    load(QStringLiteral("average"), QStringLiteral("5"));
    w.btnInfoClick();
    QCOMPARE(m_window->dialogs.messages.last(), QString());

    // The box's own state decides whether the range controls are live.
    w.cboDate->setChecked(false);
    w.cboDateClick();
    for (QWidget *c : QList<QWidget *> { w.labDate1, w.dtpDate1, w.labDate2, w.dtpDate2 })
        QVERIFY(!c->isEnabled());
    QTest::mouseClick(w.cboDate, Qt::LeftButton);
    QVERIFY(w.UseDateRange());
    for (QWidget *c : QList<QWidget *> { w.labDate1, w.dtpDate1, w.labDate2, w.dtpDate2 })
        QVERIFY(c->isEnabled());
}

void TestLoad::heldChartCatchesUpInOneGo()
{
    PlotChart chart;
    QObject owner;
    const auto attach = [&](std::initializer_list<double> values) {
        PlotSeries *s = chart.createSeries(&owner);
        int day = 40000;
        for (double v : values)
            s->addPoint(day++, v);
        chart.attachSeries(s);
        return s;
    };
    // Idle passes leave a held chart alone; holds nest. A series attached
    // meanwhile gets its line and legend entry only then: each entry added
    // lays the whole legend out again.
    const auto entries = [&] { return chart.chart()->legend()->markers().size(); };
    chart.hold();
    chart.hold();
    PlotSeries *a = attach({ 5, 6, 7 });
    PlotSeries *gone = attach({ 8 });
    delete gone;
    QCoreApplication::processEvents();
    QCOMPARE(chart.seriesCount(), 1);
    QVERIFY(!a->lineSeries());
    chart.release();
    QCoreApplication::processEvents();
    QVERIFY(!a->lineSeries());
    QCOMPARE(entries(), 0);

    // A flush brings it up to date while the hold goes on, with what was
    // changed while it waited.
    a->setAxis(VertAxis::Right);
    a->setColor(Qt::red);
    chart.flush();
    QCOMPARE(a->lineSeries()->count(), 3);
    QCOMPARE(entries(), 1);
    QVERIFY(a->lineSeries()->attachedAxes().contains(chart.verticalAxis(VertAxis::Right)));
    QCOMPARE(a->lineSeries()->color(), QColor(Qt::red));
    PlotSeries *b = attach({ 1, 2 });
    QCoreApplication::processEvents();
    QVERIFY(!b->lineSeries());

    // The end of the last hold applies everything, scales included.
    chart.release();
    QCOMPARE(b->lineSeries()->count(), 2);
    QCOMPARE(entries(), 2);
    const auto *left = static_cast<QValueAxis *>(chart.verticalAxis(VertAxis::Left));
    QVERIFY(left->min() <= 1 && left->max() >= 2);

    // Without a hold the next idle pass does it, as before.
    PlotSeries *c = attach({ 9 });
    QCoreApplication::processEvents();
    QCOMPARE(c->lineSeries()->count(), 1);
}

QTEST_MAIN(TestLoad)
#include "test_load.moc"
