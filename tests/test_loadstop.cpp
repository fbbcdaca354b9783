// A Load under way in the main window: the busy state refusing other
// commands, Stop between pages and during a download, and closing the
// window. Run under several time zones.
#include "app/PlotChart.h"
#include "service/CachePaths.h"
#include "support/LoadTestCase.h"
#include "support/MainWindowFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

class TestLoadStop : public LoadTestCase
{
    Q_OBJECT
private slots:
    void busyRefusesNestedCommands();
    void stopBetweenPages();
    void stopDuringDownload();
    void closingDuringLoadStopsAndCloses();
};

void TestLoadStop::busyRefusesNestedCommands()
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

void TestLoadStop::stopBetweenPages()
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

void TestLoadStop::stopDuringDownload()
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

void TestLoadStop::closingDuringLoadStopsAndCloses()
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

QTEST_MAIN(TestLoadStop)
#include "test_loadstop.moc"
