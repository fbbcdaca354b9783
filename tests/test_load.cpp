// Load through the main window against pages served by the sample service:
// the game list, series set-up and finish, the legend, the info lines, the
// cache and rejected pages. Run under several time zones. The busy state,
// Stop and closing during a Load are in test_loadstop; the page loop's own
// rules (paging, failures, the cache, locales) are tested without a window
// in test_history.
#include "app/PlotChart.h"
#include "service/CachePaths.h"
#include "service/u_Function.h"
#include "support/LoadTestCase.h"
#include "support/MainWindowFixture.h"
#include "ui/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

namespace {

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

class TestLoad : public LoadTestCase
{
    Q_OBJECT
private slots:
    void noNodeNameChangesNothing();
    void gameList_data();
    void gameList();
    void loadSetsUpTitlesAndSummarises();
    void legendCountsEarlierLoads();
    void seriesSetUpOnTheChosenAxis();
    void fixedColourWhenAutoColourIsOff();
    void valuesOutsideTheRange();
    void rejectedPageEndsTheLoadAndIsFetchedAgain();
    void infoBoxAndDateBox();
};

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

QTEST_MAIN(TestLoad)
#include "test_load.moc"
