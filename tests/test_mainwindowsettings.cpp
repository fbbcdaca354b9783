// The main window's settings: every default on the first start, stored values
// restored and written back in order, placement kept on a screen and while
// maximized, a missing node list or refused write, and the service's address.
#include "app/IniFile.h"
#include "app/WindowSettings.h"
#include "service/CachePaths.h"
#include "service/u_Function.h"
#include "support/MainWindowFixture.h"
#include "ui/RadioGroup.h"
#include "ui/WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Section = QStringLiteral("form_main");

QVariantMap stateOf(const TfrmMain &w)
{
    return {
        {QStringLiteral("maximized"), w.isMaximized()},
        {QStringLiteral("width"), w.frameGeometry().width()}, // outer sizes, frame included
        {QStringLiteral("height"), w.frameGeometry().height()},
        {QStringLiteral("left"), w.x()},
        {QStringLiteral("top"), w.y()},
        {QStringLiteral("node"), w.cboRank->currentIndex()},
        {QStringLiteral("nodeText"), w.cboRank->currentText()},
        {QStringLiteral("game"), w.edtGame->toPlainText()},
        {QStringLiteral("date"), w.UseDateRange()},
        {QStringLiteral("dateControls"), w.dtpDate1->isEnabled()},
        {QStringLiteral("inverted"), w.InvertedAxis()},
        {QStringLiteral("log"), w.LogarithmicAxis()},
        {QStringLiteral("from"), w.dtpDate1->date()},
        {QStringLiteral("to"), w.dtpDate2->date()},
        {QStringLiteral("vertAxis"), w.rgoVertAxis->itemIndex()},
        {QStringLiteral("values"), w.rgoValues->itemIndex()},
    };
}

QByteArray formMain(const QByteArray &body)
{
    return "[form_main]\n" + body + "\n";
}

QStringList keysInOrder(const QByteArray &iniText)
{
    QStringList keys;
    for (const QByteArray &line : iniText.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            keys << QString::fromUtf8(line.left(eq));
    }
    return keys;
}

QRect primaryScreen()
{
    return QGuiApplication::primaryScreen()->geometry();
}

} // namespace

class TestMainWindowSettings : public QObject
{
    Q_OBJECT
private slots:
    void firstStartGivesEveryDefault();
    void storedValues_data();
    void storedValues();
    void positionOffEveryScreenComesBack_data();
    void positionOffEveryScreenComesBack();
    void closeWritesEveryKeyInOrder();
    void closeWhileMaximizedKeepsStoredGeometry();
    void valuesSurviveARestart();
    void failedNodeListSkipsTheRestAndWritesNothing_data();
    void failedNodeListSkipsTheRestAndWritesNothing();
    void refusedSettingsWriteIsReportedAndTheWindowCloses();
    void headlessRunWritesNoSettings();
    void serviceBaseUrl_data();
    void serviceBaseUrl();
};

void TestMainWindowSettings::firstStartGivesEveryDefault()
{
    MainWindowFixture f;
    QVERIFY(f.dialogs.errors.isEmpty());
    const QPoint position = DefaultWindowPosition(primaryScreen().size());
    const QDate today = QDate::currentDate();
    const QVariantMap expected{
        {QStringLiteral("maximized"), false},  {QStringLiteral("width"), 650},
        {QStringLiteral("height"), 633},       {QStringLiteral("left"), position.x()},
        {QStringLiteral("top"), position.y()}, {QStringLiteral("node"), -1},
        {QStringLiteral("nodeText"), QString()}, {QStringLiteral("game"), QString()},
        {QStringLiteral("date"), false},       {QStringLiteral("dateControls"), false},
        {QStringLiteral("inverted"), false},   {QStringLiteral("log"), false},
        {QStringLiteral("from"), today},       {QStringLiteral("to"), today},
        {QStringLiteral("vertAxis"), 0},       {QStringLiteral("values"), 0},
    };
    QCOMPARE(stateOf(f.window()), expected);
    QCOMPARE(f->windowTitle(), QStringLiteral("Plotwise - Ver1.4"));
    QCOMPARE(f->cboRank->count(), 4);
    QVERIFY(!f->btnInfo->isEnabled());
    QVERIFY(f->AutoColor);
    QVERIFY(f->InfoLines.isEmpty());
    QVERIFY(f.settingsText().isEmpty()); // nothing is written before the close
}

void TestMainWindowSettings::storedValues_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char *name, const char *body, const char *key, QVariant expected) {
        QTest::newRow(name) << QByteArray(body) << QString::fromLatin1(key) << expected;
    };
    row("width below minimum", "win_width=100", "width", 185);
    row("height below minimum", "win_height=100", "height", 633);
    row("node index", "node=1", "nodeText", QStringLiteral("bayesaverage"));
    row("node past the list", "node=4", "node", -1);
    row("node negative", "node=-7", "node", -1);
    row("game", "game=12, 34", "game", QStringLiteral("12, 34"));
    row("date range on", "date=1", "dateControls", true);
    row("date from", "date_from=2010-02-03", "from", QDate(2010, 2, 3));
    row("vert axis above last", "vert_axis=7", "vertAxis", 1);
    row("values below 0", "values=-5", "values", -1);
}

void TestMainWindowSettings::storedValues()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, key);
    QFETCH(QVariant, expected);
    MainWindowFixture::Setup setup;
    setup.settings = formMain(body);
    MainWindowFixture f(setup);
    QVERIFY(f.dialogs.errors.isEmpty());
    QCOMPARE(stateOf(f.window()).value(key), expected);
}

void TestMainWindowSettings::positionOffEveryScreenComesBack_data()
{
    QTest::addColumn<QRect>("stored"); // outer bounds
    QTest::addColumn<QRect>("expected");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("far right and down")
        << QRect(area.right() + 4000, area.bottom() + 4000, 650, 633)
        << QRect(area.right() + 1 - 650, area.bottom() + 1 - 633, 650, 633);
    QTest::newRow("partly visible") << QRect(-500, 20, 650, 633) << QRect(area.left(), 20, 650, 633);
    QTest::newRow("larger than the screen")
        << QRect(30, 40, area.width() + 500, area.height() + 300) << area;
}

// A window opens wholly on a screen, never larger than its available area.
void TestMainWindowSettings::positionOffEveryScreenComesBack()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, expected);
    MainWindowFixture::Setup setup;
    setup.settings = formMain(QStringLiteral("win_left=%1\nwin_top=%2\nwin_width=%3\nwin_height=%4")
                                  .arg(stored.x())
                                  .arg(stored.y())
                                  .arg(stored.width())
                                  .arg(stored.height())
                                  .toUtf8());
    MainWindowFixture f(setup);
    QCOMPARE(f->frameGeometry(), expected);
}

void TestMainWindowSettings::closeWritesEveryKeyInOrder()
{
    MainWindowFixture f;
    f.close();
    const QByteArray text = f.settingsText();
    QVERIFY(text.startsWith("[form_main]"));
    QCOMPARE(keysInOrder(text),
             QStringList({"maximized", "win_width", "win_height", "win_left", "win_top", "node",
                          "game", "date", "vert_inverted", "log_axis", "date_from", "date_to",
                          "vert_axis", "values"}));
    const IniFile ini(f.settingsPath());
    QCOMPARE(ini.ReadIniInteger(Section, QStringLiteral("win_height"), 0), 633);
    QCOMPARE(ini.ReadIniInteger(Section, QStringLiteral("node"), 0), -1);
    QCOMPARE(ini.ReadIniDate(Section, QStringLiteral("date_to"), {}), QDate::currentDate());
}

void TestMainWindowSettings::closeWhileMaximizedKeepsStoredGeometry()
{
    MainWindowFixture::Setup setup;
    setup.settings = formMain("maximized=0\nwin_width=700\nwin_height=640\nwin_left=11\nwin_top=12");
    MainWindowFixture f(setup);
    f->setWindowState(Qt::WindowMaximized);
    f.close();
    const IniFile ini(f.settingsPath());
    QVERIFY(ini.ReadIniBool(Section, QStringLiteral("maximized"), false));
    QCOMPARE(ini.ReadIniInteger(Section, QStringLiteral("win_width"), 0), 700);
    QCOMPARE(ini.ReadIniInteger(Section, QStringLiteral("win_height"), 0), 640);
    QCOMPARE(ini.ReadIniInteger(Section, QStringLiteral("win_left"), 0), 11);
    QCOMPARE(ini.ReadIniInteger(Section, QStringLiteral("win_top"), 0), 12);

    // The next start opens maximized; restored, it has the layout's bounds
    // centred on the screen.
    f.restart();
    QVERIFY(f->isMaximized());
    f->showNormal();
    const QRect screen = primaryScreen();
    QCOMPARE(f->frameGeometry().size(), QSize(650, 633));
    QCOMPARE(f->pos(), QPoint((screen.width() - 650) / 2, (screen.height() - 633) / 2));
}

void TestMainWindowSettings::valuesSurviveARestart()
{
    MainWindowFixture f;
    f->resize(720, 650);
    f->move(30, 40);
    f->cboRank->setCurrentIndex(2);
    f->edtGame->setPlainText(QStringLiteral("12,\n34\r\n\"56\""));
    f->setUseDateRange(true);
    f->setInvertedAxis(true);
    f->setLogarithmicAxis(true);
    f->dtpDate1->setDate(QDate(2011, 5, 6));
    f->dtpDate2->setDate(QDate(2012, 7, 8));
    f->rgoVertAxis->setItemIndex(1);
    f->rgoValues->setItemIndex(-1);
    const QString game = f->edtGame->toPlainText();
    QVariantMap before = stateOf(f.window());
    f.restart();
    QVERIFY(f.dialogs.errors.isEmpty());
    QVariantMap after = stateOf(f.window());
    // The multi-line game box comes back on one line with the same games.
    QCOMPARE(CommaTextSplit(after.take(QStringLiteral("game")).toString()),
             CommaTextSplit(before.take(QStringLiteral("game")).toString()));
    QCOMPARE(after, before);
    QCOMPARE(CommaTextSplit(game), QStringList({"12", "34", "56"}));
}

void TestMainWindowSettings::failedNodeListSkipsTheRestAndWritesNothing_data()
{
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("missing") << false;
    QTest::newRow("a folder") << true;
}

void TestMainWindowSettings::failedNodeListSkipsTheRestAndWritesNothing()
{
    QFETCH(bool, asFolder);
    MainWindowFixture::Setup setup;
    setup.nodes = std::nullopt;
    const QByteArray stored = formMain("game=12\nvert_axis=1\nvalues=1\ndate=0\nnode=0");
    setup.settings = stored;
    MainWindowFixture f(setup);
    if (asFolder) {
        QDir(f.workDir()).mkdir(QStringLiteral("nodes.txt"));
        f.dialogs.errors.clear();
        f.restart();
    }
    QCOMPARE(f.dialogs.errors.size(), 1);
    const QString error = f.dialogs.errors.constFirst();
    const QString path = QDir(f.workDir()).absoluteFilePath(QStringLiteral("nodes.txt"));
    QVERIFY2(error.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(path)), qPrintable(error));
    QVERIFY(error.size() > path.size() + 22); // the system's reason follows
    QVERIFY(error.endsWith(QLatin1Char('.')));

    // The window keeps the layout's values; the placement was restored.
    QCOMPARE(f->cboRank->count(), 0);
    QVERIFY(f->edtGame->toPlainText().isEmpty());
    QCOMPARE(f->rgoVertAxis->itemIndex(), -1);
    QCOMPARE(f->rgoValues->itemIndex(), -1);
    QVERIFY(!f->cboDate->isChecked());
    QVERIFY(f->dtpDate1->isEnabled());
    QCOMPARE(f->windowTitle(), QStringLiteral("Plotwise - Ver1.4"));

    // Closing does not write the un-restored values over the stored ones.
    f.close();
    QCOMPARE(f.settingsText(), stored);
}

void TestMainWindowSettings::refusedSettingsWriteIsReportedAndTheWindowCloses()
{
    MainWindowFixture f;
    QVERIFY(QDir().mkdir(f.settingsPath())); // a folder where the file belongs
    QSignalSpy closed(&f.window(), &TfrmMain::closed);
    f->close();
    QCOMPARE(closed.size(), 1);
    QVERIFY(!f->isVisible());
    QCOMPARE(f.dialogs.errors,
             QStringList(QStringLiteral("Unable to write to %1.").arg(f.settingsPath())));
}

void TestMainWindowSettings::headlessRunWritesNoSettings()
{
    MainWindowFixture::Setup setup;
    setup.writeSettingsOnClose = false;
    MainWindowFixture f(setup);
    f.close();
    QVERIFY(!QFile::exists(f.settingsPath()));
}

void TestMainWindowSettings::serviceBaseUrl_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("override");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default") << QByteArray() << QString() << DefaultServiceBaseUrl();
    QTest::newRow("settings") << QByteArray("[service]\nbase_url=http://127.0.0.1:9\n") << QString()
                              << QStringLiteral("http://127.0.0.1:9");
    QTest::newRow("override wins") << QByteArray("[service]\nbase_url=http://127.0.0.1:9\n")
                                   << QStringLiteral("http://127.0.0.1:7")
                                   << QStringLiteral("http://127.0.0.1:7");
}

void TestMainWindowSettings::serviceBaseUrl()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, override);
    QFETCH(QString, expected);
    MainWindowFixture::Setup setup;
    if (!settings.isEmpty())
        setup.settings = settings;
    setup.serviceOverride = override;
    MainWindowFixture f(setup);
    QCOMPARE(f->serviceBaseUrl(), expected);
}

QTEST_MAIN(TestMainWindowSettings)
#include "test_mainwindowsettings.moc"
