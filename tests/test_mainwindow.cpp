// The main window's start-up and end: controls, settings restored and written
// back, the node list, window placement (the other windows' too), Esc, and the
// pure rules behind them.
#include "app/IniFile.h"
#include "app/NodeList.h"
#include "app/WindowSettings.h"
#include "geeklist/u_frmGeeklist.h"
#include "script/u_frmScript.h"
#include "search/u_frmSearch.h"
#include "service/CachePaths.h"
#include "service/u_Function.h"
#include "support/MainWindowFixture.h"
#include "ui/RadioGroup.h"
#include "ui/WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
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

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void everyCaptionFitsItsControl();
    void firstStartGivesEveryDefault();
    void storedValues_data();
    void storedValues();
    void positionOffEveryScreenComesBack_data();
    void positionOffEveryScreenComesBack();
    void chartNeverCoversThePanel();
    void shortWindowScrollsThePanel();
    void closeWritesEveryKeyInOrder();
    void closeWhileMaximizedKeepsStoredGeometry();
    void valuesSurviveARestart();
    void otherWindowsSizesAndPlaces_data();
    void otherWindowsSizesAndPlaces();
    void failedNodeListSkipsTheRestAndWritesNothing_data();
    void failedNodeListSkipsTheRestAndWritesNothing();
    void refusedSettingsWriteIsReportedAndTheWindowCloses();
    void headlessRunWritesNoSettings();
    void escClosesExceptInTheGameBox();
    void gameLabelClickAndGameBoxDoubleClick();
    void serviceBaseUrl_data();
    void serviceBaseUrl();

    void nodeListRules_data();
    void nodeListRules();
    void fitOnScreens_data();
    void fitOnScreens();
    void isRealFrame_data();
    void isRealFrame();
    void gameTextOnOneLineKeepsTheGameList_data();
    void gameTextOnOneLineKeepsTheGameList();
    void radioGroupIndex_data();
    void radioGroupIndex();
};

void TestMainWindow::everyCaptionFitsItsControl()
{
    MainWindowFixture f;
    const QList<QAbstractButton *> buttons = f->pnlLeft->findChildren<QAbstractButton *>();
    QCOMPARE(buttons.size(), 18); // 10 buttons and Lists..., 3 check boxes, 4 radio items
    for (QAbstractButton *button : buttons) {
        // The room a control leaves for its caption in the current style.
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = button->rect();
        int room = button->width() - 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
        if (qobject_cast<QCheckBox *>(button))
            room = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button).width();
        else if (qobject_cast<QRadioButton *>(button))
            room = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button).width();
        const int needed = button->fontMetrics().horizontalAdvance(button->text());
        QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1 needs %2 of %3")
                                                .arg(button->text()).arg(needed).arg(room)));
    }
    for (RadioGroup *group : {f->rgoVertAxis, f->rgoValues})
        QVERIFY(group->fontMetrics().horizontalAdvance(group->title()) < group->width() - 8);
    // The button added beside the design's controls covers no caption.
    QVERIFY(f->btnLists->x() >= f->cboDate->x() + f->cboDate->sizeHint().width());
}

void TestMainWindow::firstStartGivesEveryDefault()
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

void TestMainWindow::storedValues_data()
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

void TestMainWindow::storedValues()
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

void TestMainWindow::positionOffEveryScreenComesBack_data()
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
void TestMainWindow::positionOffEveryScreenComesBack()
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

// At the window's minimum width the chart once lay over half the panel.
void TestMainWindow::chartNeverCoversThePanel()
{
    MainWindowFixture f;
    f->resize(1, f->height());
    QCOMPARE(f->frameGeometry().width(), MainWindowMinimumSize.width());
    f->centralWidget()->layout()->activate();
    QCOMPARE(f->pnlLeft->width(), 177);
    const QWidget *chart = f->findChild<QWidget *>(QStringLiteral("chaMain"));
    // The chart's rectangle as its parents cut it off, in the window.
    QRect seen(chart->mapTo(&f.window(), QPoint()), chart->size());
    for (const QWidget *p = chart->parentWidget(); p != &f.window(); p = p->parentWidget())
        seen &= QRect(p->mapTo(&f.window(), QPoint()), p->size());
    const QRect panel = f->pnlLeft->rect().translated(f->pnlLeft->mapTo(&f.window(), QPoint()));
    QVERIFY2(!seen.intersects(panel), qPrintable(QStringLiteral("chart seen at x %1 to %2")
                                                     .arg(seen.left()).arg(seen.right())));
}

// On a screen shorter than the window's minimum (a large scale), the bottom
// strip once covered the lowest buttons.
void TestMainWindow::shortWindowScrollsThePanel()
{
    MainWindowFixture f;
    f->setMinimumSize(0, 0);
    f->resize(f->width(), 300);
    f->centralWidget()->layout()->activate();
    QVERIFY(f->pnlLeftBottom->y() > f->btnInfo->geometry().bottom());
    QVERIFY(f->pnlLeft->height() > f->centralWidget()->height());
}

void TestMainWindow::closeWritesEveryKeyInOrder()
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

void TestMainWindow::closeWhileMaximizedKeepsStoredGeometry()
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

void TestMainWindow::otherWindowsSizesAndPlaces_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("outer"); // frame included; empty: whatever the client's size gives
    QTest::addColumn<QSize>("client"); // empty: whatever the frame leaves
    QTest::newRow("search") << "search" << QSize(517, 311) << QSize();
    // Never larger than the screen's available area.
    const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
    QTest::newRow("script editor") << "script" << QSize(870, 640).boundedTo(room) << QSize();
    QTest::newRow("geeklist prompt") << "geeklist" << QSize() << QSize(249, 73);
}

// The frame once came on top of sizes meant with it, and the script editor
// was centred over the main window.
void TestMainWindow::otherWindowsSizesAndPlaces()
{
    QFETCH(QString, window);
    QFETCH(QSize, outer);
    QFETCH(QSize, client);
    MainWindowFixture f;
    f->move(0, 0); // away from the middle of the screen
    std::unique_ptr<QWidget> w;
    if (window == QLatin1String("search"))
        w = std::make_unique<TfrmSearch>(f->searchContext(), &f.window());
    else if (window == QLatin1String("script"))
        w = std::make_unique<TfrmScript>(f->scriptEditorContext(), &f.window());
    else
        w = std::make_unique<TfrmGeeklist>(&f.window());
    w->show();

    const QRect frame = w->frameGeometry();
    QVERIFY(frame.size() != w->size()); // the offscreen platform draws a frame
    if (!outer.isEmpty())
        QCOMPARE(frame.size(), outer);
    if (!client.isEmpty())
        QCOMPARE(w->size(), client);
    QCOMPARE(frame.center(), QGuiApplication::primaryScreen()->availableGeometry().center());
}

void TestMainWindow::valuesSurviveARestart()
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

void TestMainWindow::failedNodeListSkipsTheRestAndWritesNothing_data()
{
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("missing") << false;
    QTest::newRow("a folder") << true;
}

void TestMainWindow::failedNodeListSkipsTheRestAndWritesNothing()
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

void TestMainWindow::refusedSettingsWriteIsReportedAndTheWindowCloses()
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

void TestMainWindow::headlessRunWritesNoSettings()
{
    MainWindowFixture::Setup setup;
    setup.writeSettingsOnClose = false;
    MainWindowFixture f(setup);
    f.close();
    QVERIFY(!QFile::exists(f.settingsPath()));
}

void TestMainWindow::escClosesExceptInTheGameBox()
{
    MainWindowFixture f;
    QSignalSpy closed(&f.window(), &TfrmMain::closed);
    QTest::keyClick(f->edtGame, Qt::Key_Escape);
    QVERIFY(f->isVisible());
    QCOMPARE(closed.size(), 0);
    QTest::keyClick(f->btnLoad, Qt::Key_Escape);
    QVERIFY(!f->isVisible());
    QCOMPARE(closed.size(), 1);
    QVERIFY(!f.settingsText().isEmpty());
}

void TestMainWindow::gameLabelClickAndGameBoxDoubleClick()
{
    MainWindowFixture f;
    TfrmSearch search(f.window().searchContext(), &f.window());
    f->setWindows(nullptr, &search);
    f->edtGame->setPlainText(QStringLiteral("12, 34"));
    QList<QDialog *> shown;
    const auto record = [&shown](QDialog *dialog) {
        shown << dialog;
        return int(QDialog::Rejected);
    };
    f.dialogs.modalActions << record << record;

    // While a Load runs, both are ignored.
    {
        TfrmMain::BusyHold busy(f.window());
        QTest::mouseDClick(f->edtGame->viewport(), Qt::LeftButton);
        QTest::mouseClick(f->labGame, Qt::LeftButton);
        QVERIFY(shown.isEmpty());
        QCOMPARE(f->edtGame->toPlainText(), QStringLiteral("12, 34"));
    }

    QTest::mouseDClick(f->edtGame->viewport(), Qt::LeftButton);
    QCOMPARE(shown, QList<QDialog *>({&search}));
    QCOMPARE(f->edtGame->toPlainText(), QStringLiteral("12, 34"));

    QTest::mouseClick(f->labGame, Qt::LeftButton);
    QVERIFY(f->edtGame->toPlainText().isEmpty());
}

void TestMainWindow::serviceBaseUrl_data()
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

void TestMainWindow::serviceBaseUrl()
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

void TestMainWindow::nodeListRules_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("sorted, empty line first") << QByteArray("b\nA\n\n") << QStringList({"", "A", "b"});
    QTest::newRow("CR, LF and CR LF") << QByteArray("z\r\ny\rx\n") << QStringList({"x", "y", "z"});
    QTest::newRow("last line without end") << QByteArray("a\nlast") << QStringList({"a", "last"});
    QTest::newRow("final line end adds nothing") << QByteArray("a\r\n") << QStringList({"a"});
    QTest::newRow("no trimming") << QByteArray(" b \n\ta") << QStringList({"\ta", " b "});
    QTest::newRow("NUL ends the text") << QByteArray("b\na\0c\n", 6) << QStringList({"a", "b"});
    QTest::newRow("duplicates in file order") << QByteArray("B\nb\na\nA\nb")
                                              << QStringList({"a", "A", "B", "b", "b"});
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("single-byte text") << QByteArray("caf\xe9\n") << QStringList({"caf\u00e9"});
}

void TestMainWindow::nodeListRules()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    QCOMPARE(NodeListFromText(text), expected);
}

void TestMainWindow::fitOnScreens_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QList<QRect>>("areas");
    QTest::addColumn<QRect>("expected");
    const QRect primary(0, 0, 1280, 1024);
    const QList<QRect> one{primary};
    const QList<QRect> two{primary, QRect(1280, 0, 1024, 768)};
    QTest::newRow("inside") << QRect(10, 10, 650, 633) << one << QRect(10, 10, 650, 633);
    QTest::newRow("right of it") << QRect(5000, 10, 650, 633) << one << QRect(630, 10, 650, 633);
    QTest::newRow("below it") << QRect(10, 3000, 650, 633) << one << QRect(10, 391, 650, 633);
    QTest::newRow("above it") << QRect(10, -900, 650, 633) << one << QRect(10, 0, 650, 633);
    QTest::newRow("mostly left of it") << QRect(-600, 10, 650, 633) << one << QRect(0, 10, 650, 633);
    QTest::newRow("larger than the screen")
        << QRect(3000, 3000, 1400, 1100) << one << primary;
    QTest::newRow("taller than a doubled scale's screen")
        << QRect(0, 0, 650, 633) << QList<QRect>{QRect(0, 0, 640, 512)} << QRect(0, 0, 640, 512);
    QTest::newRow("a panel's strut above")
        << QRect(100, 0, 650, 633) << QList<QRect>{QRect(0, 30, 1280, 994)} << QRect(100, 30, 650, 633);
    QTest::newRow("on the second screen") << QRect(1400, 100, 650, 633) << two << QRect(1400, 100, 650, 633);
    QTest::newRow("across both, mostly on the second")
        << QRect(1000, 100, 650, 633) << two << QRect(1280, 100, 650, 633);
    QTest::newRow("off both goes to the first") << QRect(-3000, 100, 650, 633) << two
                                                << QRect(0, 100, 650, 633);
}

void TestMainWindow::fitOnScreens()
{
    QFETCH(QRect, frame);
    QFETCH(QList<QRect>, areas);
    QFETCH(QRect, expected);
    QCOMPARE(FitOnScreens(frame, areas), expected);
}

void TestMainWindow::isRealFrame_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<bool>("real");
    // The client area of the search window as one window manager framed it.
    QTest::newRow("the window manager's frame") << QRect(381, 356, 517, 311) << true;
    QTest::newRow("no frame yet") << QRect(382, 376, 515, 286) << false;
    QTest::newRow("still 1 x 1") << QRect(381, 356, 1, 1) << false;
    QTest::newRow("beside the window") << QRect(0, 0, 517, 311) << false;
    QTest::newRow("a border on one side only") << QRect(382, 376, 516, 286) << true;
    QTest::newRow("a title bar as tall as a decoration may be")
        << QRect(381, 376 - PlausibleFrameTop, 517, 286 + PlausibleFrameTop + 1) << true;
    QTest::newRow("a title bar taller") << QRect(381, 375 - PlausibleFrameTop, 517, 288 + PlausibleFrameTop)
                                        << false;
    QTest::newRow("a side wider than a border")
        << QRect(381 - PlausibleFrameSide, 356, 517 + PlausibleFrameSide, 311) << false;
}

void TestMainWindow::isRealFrame()
{
    QFETCH(QRect, frame);
    QFETCH(bool, real);
    QCOMPARE(IsRealFrame(frame, QRect(382, 376, 515, 286)), real);
}

void TestMainWindow::gameTextOnOneLineKeepsTheGameList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("LF") << QStringLiteral("1\n2") << QStringLiteral("1 2");
    QTest::newRow("CR LF and CR") << QStringLiteral("1,\r\n2\r3") << QStringLiteral("1, 2 3");
    QTest::newRow("empty line") << QStringLiteral("1\n\n2") << QStringLiteral("1  2");
}

void TestMainWindow::gameTextOnOneLineKeepsTheGameList()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString line = GameTextOnOneLine(text);
    QCOMPARE(line, expected);
    QCOMPARE(CommaTextSplit(line), CommaTextSplit(text));
}

void TestMainWindow::radioGroupIndex_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("expected");
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("last") << 1 << 1;
    QTest::newRow("above the last") << 7 << 1;
    QTest::newRow("none") << -1 << -1;
    QTest::newRow("below 0") << -5 << -1;
}

void TestMainWindow::radioGroupIndex()
{
    QFETCH(int, set);
    QFETCH(int, expected);
    RadioGroup group(QStringLiteral("Values"), {QStringLiteral("Standard"), QStringLiteral("Delta")});
    QCOMPARE(group.itemIndex(), -1);
    group.setItemIndex(0);
    group.setItemIndex(set);
    QCOMPARE(group.itemIndex(), expected);
    for (int i = 0; i < group.count(); ++i)
        QCOMPARE(group.item(i)->isChecked(), i == expected);
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
