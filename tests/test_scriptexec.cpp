// The script executor against the sample service: what each line does to the
// main window's controls and colour choice, the progress captions, skipped
// lines, a failing Load and the user's Stop ending the script.
#include "app/PlotChart.h"
#include "script/u_frmScript.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"
#include "ui/RadioGroup.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

// The controls and colour choice a script line sets, as one text.
static QString describe(TfrmMain &w)
{
    const QString range = w.cboDate->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
    return QStringList { w.edtGame->toPlainText(), w.cboRank->currentText(), range,
        w.dtpDate1->date().toString(Qt::ISODate), w.dtpDate2->date().toString(Qt::ISODate),
        QString::number(w.rgoVertAxis->itemIndex()), QString::number(w.rgoValues->itemIndex()),
        QLatin1String(w.cboInverted->isChecked() ? "I" : "")
            + QLatin1String(w.cboLogAxis->isChecked() ? "L" : ""),
        w.AutoColor ? QStringLiteral("auto") : QString::number(w.FixedColor) }
        .join(QLatin1Char('|'));
}

static QStringList seriesColors(TfrmMain &w)
{
    QStringList colors;
    for (const PlotSeries *series : w.chaMain->series())
        colors << series->color().name();
    return colors;
}

class TestScriptExec : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void progressAndSkippedLines();
    void fixedAndRandomColors();
    void failingLoadEndsScript();
    void stopEndsScript();
    void repeatedRunsKeepOnlyTheirSeries();

private:
    TfrmMain &w() const { return m_main->window(); }
    void loadByHand(const QString &game);
    std::unique_ptr<SampleService> m_service;
    std::unique_ptr<MainWindowFixture> m_main;
    std::unique_ptr<TfrmScript> m_editor;
};

void TestScriptExec::initTestCase()
{
    SampleService::Options options;
    options.dataArgs = { "--games", "20", "--pages", "1", "--records", "10" };
    m_service = std::make_unique<SampleService>(options);
    QVERIFY2(m_service->start(), qPrintable(m_service->errorString()));
}

void TestScriptExec::init()
{
    MainWindowFixture::Setup setup;
    setup.serviceOverride = m_service->baseUrl();
    m_main = std::make_unique<MainWindowFixture>(setup);
    m_editor = std::make_unique<TfrmScript>(w().scriptEditorContext());
    w().setWindows(m_editor.get(), nullptr);
    m_service->clearRequests();
}

void TestScriptExec::cleanup()
{
    QVERIFY(!m_main->dialogs.unexpected);
    m_editor.reset();
    m_main.reset();
}

void TestScriptExec::loadByHand(const QString &game)
{
    w().edtGame->setPlainText(game);
    w().cboRank->setCurrentIndex(w().cboRank->findText(QStringLiteral("average")));
    w().runLoad();
}

void TestScriptExec::controls_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("state");
    // Before each line: game "old", node usersrated, range on 2001-01-01 to
    // 2001-12-31, Right, Delta, inverted and logarithmic, fixed colour 123.
    QTest::newRow("every field") << "1001,AVERAGE,2009/01/01,2010/06/30,LR,I,#FF0000"
                                 << "1001|average|on|2009-01-01|2010-06-30|1|1|I|255";
    QTest::newRow("empty fields keep groups, uncheck boxes, automatic colour")
        << "1001,average,,,,,"
        << "1001|average|off|2001-01-01|2001-12-31|1|1||auto";
    QTest::newRow("S alone keeps the axis") << "1001,average,,,S,L,"
                                            << "1001|average|off|2001-01-01|2001-12-31|1|0|L|auto";
    QTest::newRow("lower-case flags") << "1001,average,,,l,il,#00ff00"
                                      << "1001|average|off|2001-01-01|2001-12-31|0|1|IL|65280";
    QTest::newRow("one date only: range off") << "1001,average,2009/01/01,,,,#12"
                                              << "1001|average|off|2001-01-01|2001-12-31|1|1||0";
    QTest::newRow("unknown node clears the selection")
        << "\"1001, 1002\",nonode,,,RD,,"
        << "1001, 1002||off|2001-01-01|2001-12-31|1|1||auto";
}

void TestScriptExec::controls()
{
    QFETCH(QString, line);
    QFETCH(QString, state);
    w().edtGame->setPlainText(QStringLiteral("old"));
    w().cboRank->setCurrentIndex(w().cboRank->findText(QStringLiteral("usersrated")));
    w().setUseDateRange(true);
    w().dtpDate1->setDate(QDate(2001, 1, 1));
    w().dtpDate2->setDate(QDate(2001, 12, 31));
    w().rgoVertAxis->setItemIndex(1);
    w().rgoValues->setItemIndex(1);
    w().setInvertedAxis(true);
    w().setLogarithmicAxis(true);
    w().setAutoColor(false);
    w().setFixedColor(123);

    w().ExecuteScript(line);
    QCOMPARE(describe(w()), state);
    // The range box went through its click handler: the pickers follow it.
    QCOMPARE(w().dtpDate1->isEnabled(), w().cboDate->isChecked());
    const bool noNode = w().cboRank->currentIndex() < 0;
    QCOMPARE(
        m_main->dialogs.messages, noNode ? QStringList { "Choose a node name" } : QStringList());
    QCOMPARE(m_service->requestCount(), noNode ? 0 : 2); // history page and the end page
}

// Clear graph once, then "Script i/n" for every line, blank ones counted.
void TestScriptExec::progressAndSkippedLines()
{
    loadByHand(QStringLiteral("1003"));
    QCOMPARE(w().chaMain->seriesCount(), 1);
    w().ExecuteScript(QString());
    QCOMPARE(w().chaMain->seriesCount(), 0);
    QCOMPARE(w().btnScript->text(), QStringLiteral("Script"));

    QStringList seen;
    connect(w().stbMain, &QStatusBar::messageChanged, this, [&](const QString &status) {
        if (status.startsWith(QLatin1String("Loading")))
            seen << w().btnScript->text() + QLatin1Char(' ') + status;
    });
    w().ExecuteScript(QStringLiteral("1001,average,,,,,\r\n\r\n1002,average,,,,,\n"));
    QCOMPARE(seen,
        (QStringList { "Script 1/3 Loading game 1001, page 1",
            "Script 1/3 Loading game 1001, page 2", "Script 3/3 Loading game 1002, page 1",
            "Script 3/3 Loading game 1002, page 2" }));
    QCOMPARE(w().chaMain->seriesCount(), 2);
    QCOMPARE(w().btnScript->text(), QStringLiteral("Script 3/3"));
    QVERIFY(!w().isBusy());
}

void TestScriptExec::fixedAndRandomColors()
{
    w().ExecuteScript(QStringLiteral("1001,average,,,,,#FF0000\n1001,average,,,,,#0000ff\n"
                                     "\"1002 1003\",average,,,,,#HHHHHH"));
    const QStringList colors = seriesColors(w());
    QCOMPARE(colors.size(), 4);
    QCOMPARE(colors[0], QStringLiteral("#ff0000"));
    QCOMPARE(colors[1], QStringLiteral("#0000ff"));
    QCOMPARE(colors[3], colors[2]); // one draw per line, shared by its series
    QVERIFY(!w().AutoColor);
    // A Load by hand after the script keeps the last line's colour.
    loadByHand(QStringLiteral("1004"));
    QCOMPARE(seriesColors(w()).last(), colors[3]);
    w().ExecuteScript(QStringLiteral("1001,average,,,,,#HHHHHH"));
    QVERIFY(seriesColors(w()).first() != colors[2]); // drawn anew
}

// A page that is not XML ends its Load with an error: the script stops at
// that line, the error reaches the handler's box once, earlier series stay.
void TestScriptExec::failingLoadEndsScript()
{
    QDir().mkpath(m_main->cacheDir());
    QFile broken(m_main->cacheDir() + QStringLiteral("1002_1.xml"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<boardgames><boardgame>");
    broken.close();

    ScriptedDialogs &dialogs = m_main->dialogs;
    dialogs.modalActions << [](QDialog *dialog) {
        auto *editor = static_cast<TfrmScript *>(dialog);
        editor->memScript->setPlainText(
            QStringLiteral("1001,average,,,,,\n1002,average,,,,,\n1003,average,,,,,"));
        editor->btnExecute->click();
        return int(QDialog::Accepted);
    };
    dialogs.answers << Dialogs::Answer::No;
    w().btnScript->click();
    QCOMPARE(dialogs.errors.size(), 1);
    QCOMPARE(w().btnScript->text(), QStringLiteral("Script 2/3"));
    QCOMPARE(m_service->requestCount(QStringLiteral("/1003")), 0);
    QCOMPARE(w().chaMain->seriesCount(), 1);
    QVERIFY(!w().isBusy() && w().btnScript->isEnabled());
}

// Stop pressed during the first line's Load: the user's other commands are
// refused meanwhile, and the rest of the script does not run.
void TestScriptExec::stopEndsScript()
{
    bool refused = false;
    connect(w().stbMain, &QStatusBar::messageChanged, this, [&](const QString &status) {
        if (status != QLatin1String("Loading game 1001, page 1"))
            return;
        refused = !w().btnScript->isEnabled() && !w().btnClearGraph->isEnabled()
            && w().btnLoad->text() == QLatin1String("Stop");
        w().btnLoad->click();
    });
    w().ExecuteScript(QStringLiteral("1001,average,,,,,\n1002,average,,,,,"));
    QVERIFY(refused);
    QCOMPARE(m_service->requestCount(QStringLiteral("/1002")), 0);
    QCOMPARE(w().btnScript->text(), QStringLiteral("Script 1/2"));
    QVERIFY(!w().isBusy() && w().btnScript->isEnabled());
    QCOMPARE(w().btnLoad->text(), QStringLiteral("Load"));
}

// Each run clears the chart first; the series it removes are freed, so a long
// session of runs holds only the current run's series.
void TestScriptExec::repeatedRunsKeepOnlyTheirSeries()
{
    QString script;
    for (int line = 0; line < 2; ++line) {
        QStringList games;
        for (int game = 1; game <= 10; ++game)
            games << QString::number(1000 + line * 10 + game);
        script += QLatin1Char('"') + games.join(QLatin1Char(' ')) + QStringLiteral("\",average,,,,,\n");
    }
    for (int run = 0; run < 100; ++run)
        w().ExecuteScript(script);
    QCOMPARE(w().chaMain->seriesCount(), 20);
    QCOMPARE(w().findChildren<PlotSeries *>().size(), 20);
    QCOMPARE(w().chaMain->chart()->series().size(), 20);
    QVERIFY(m_main->dialogs.messages.isEmpty() && m_main->dialogs.errors.isEmpty());
}

QTEST_MAIN(TestScriptExec)
#include "test_scriptexec.moc"
