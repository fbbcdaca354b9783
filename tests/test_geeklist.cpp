// Geeklist import: the walk of a geeklist, the number check, the prompt, and
// the import against the sample service.
#include "geeklist/GeeklistItems.h"
#include "geeklist/GeeklistNumber.h"
#include "geeklist/u_frmGeeklist.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"
#include "tools/SampleDataLayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

static void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file and folder under dir, with its size.
static QStringList snapshot(const QString &dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        entries << it.filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size());
    }
    entries.sort();
    return entries;
}

// A showing of the prompt in which the user types text and presses OK.
static std::function<int(QDialog *)> typeAndOK(const QString &text)
{
    return [text](QDialog *dialog) {
        auto *prompt = static_cast<TfrmGeeklist *>(dialog);
        QTest::keyClicks(prompt->edtText, text);
        prompt->btnOK->click();
        return dialog->result();
    };
}

class TestGeeklist : public QObject
{
    Q_OBJECT
private slots:
    void gameIds_data();
    void gameIds();
    void number_data();
    void number();
    void prompt_data();
    void prompt();

    void initTestCase();
    void cleanupTestCase();
    void importFillsGameBox();
    void cachedGeeklistIsReused();
    void nothingQualifyingEmptiesGameBox();
    void refusedNumbers_data();
    void refusedNumbers();
    void geeklistThatIsNotXml();
    void importHoldsBusyStateAndStops();
    void refusedWhileBusy();

private:
    std::unique_ptr<MainWindowFixture> newWindow() const;
};

void TestGeeklist::gameIds_data()
{
    QTest::addColumn<QString>("items");
    QTest::addColumn<QString>("ids");

    auto item = [](const char *subtype, const char *objectid) {
        QString text = QStringLiteral("<item objecttype=\"thing\"");
        if (subtype)
            text += QStringLiteral(" subtype=\"%1\"").arg(QLatin1String(subtype));
        if (objectid)
            text += QStringLiteral(" objectid=\"%1\"").arg(QLatin1String(objectid));
        return text + QStringLiteral(" objectname=\"x\"/>");
    };

    QTest::newRow("other subtypes skipped")
        << item("boardgame", "11") + item("boardgameexpansion", "22") + item("boardgame", "33")
        << "11, 33";
    QTest::newRow("subtype case and absence")
        << item("Boardgame", "1") + item("BOARDGAME", "2") + item(nullptr, "3")
               + item("boardgame ", "4") + item("", "5") + item("boardgame", "6")
        << "6";
    QTest::newRow("missing, empty or bad objectid")
        << item("boardgame", nullptr) + item("boardgame", "") + item("boardgame", "12a")
               + item("boardgame", "99999999999") + item("boardgame", "7 ")
               + item("boardgame", "8")
        << "8";
    QTest::newRow("objectid text kept as written")
        << item("boardgame", " 007") + item("boardgame", "$1F") + item("boardgame", "-3")
        << " 007, $1F, -3";
    QTest::newRow("duplicates kept in list order")
        << item("boardgame", "5") + item("boardgame", "4") + item("boardgame", "5")
        << "5, 4, 5";
    QTest::newRow("only item children count")
        << QStringLiteral("<thing subtype=\"boardgame\" objectid=\"1\"/>"
                          "<Item subtype=\"boardgame\" objectid=\"2\"/>"
                          "<item subtype=\"boardgame\" objectid=\"3\"><item subtype=\"boardgame\""
                          " objectid=\"4\"/></item>text")
        << "3";
    QTest::newRow("nothing qualifies") << item("boardgameexpansion", "1") << "";
}

void TestGeeklist::gameIds()
{
    QFETCH(QString, items);
    QFETCH(QString, ids);

    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("geeklist_1.xml"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<geeklist id=\"1\">"
               + items.toUtf8() + "</geeklist>\n");
    file.close();
    XmlDocument document;
    document.loadFile(fileName);
    QCOMPARE(GeeklistGameIds(document), ids);
}

void TestGeeklist::number_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("trimmed");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "123" << "123" << true;
    QTest::newRow("blanks and controls around") << " \t123\r\n\x01 " << "123" << true;
    QTest::newRow("blanks only") << "  \t " << "" << false;
    QTest::newRow("blank inside") << " 1 2 " << "1 2" << false;
    QTest::newRow("letter") << "12a" << "12a" << false;
    QTest::newRow("non-ASCII digit") << QStringLiteral("1\u0663") << QStringLiteral("1\u0663")
                                     << false;
    QTest::newRow("no-break space is not trimmed") << QStringLiteral("\u00a012")
                                                   << QStringLiteral("\u00a012") << false;
    QTest::newRow("leading zeros stay") << "007" << "007" << true;
    QTest::newRow("path") << "../../x" << "../../x" << false;
    QTest::newRow("query") << "500?x=1" << "500?x=1" << false;
    QTest::newRow("sign") << "-500" << "-500" << false;
}

void TestGeeklist::number()
{
    QFETCH(QString, typed);
    QFETCH(QString, trimmed);
    QFETCH(bool, valid);
    const QString result = TrimBlanksAndControls(typed);
    QCOMPARE(result, trimmed);
    QCOMPARE(IsGeeklistNumber(result), valid);
}

void TestGeeklist::prompt_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("way");
    QTest::addColumn<QString>("geeklistId");
    QTest::newRow("OK") << " 12\t" << 0 << "12";
    QTest::newRow("Enter in the text box") << "12 " << 1 << "12";
    QTest::newRow("Cancel") << "12" << 2 << "";
    QTest::newRow("Esc") << "12" << 3 << "";
    QTest::newRow("close box") << "12" << 4 << "";
    QTest::newRow("Enter on Cancel") << "12" << 5 << "";
}

void TestGeeklist::prompt()
{
    QFETCH(QString, typed);
    QFETCH(int, way);
    QFETCH(QString, geeklistId);

    TfrmGeeklist prompt;
    prompt.show();
    QVERIFY(prompt.edtText->text().isEmpty());
    QVERIFY(prompt.GeeklistID.isEmpty());
    prompt.edtText->setText(typed);
    switch (way) {
    case 0:
        prompt.btnOK->click();
        break;
    case 1:
        QTest::keyClick(prompt.edtText, Qt::Key_Return);
        break;
    case 2:
        prompt.btnCancel->click();
        break;
    case 3:
        QTest::keyClick(prompt.edtText, Qt::Key_Escape);
        break;
    case 4:
        prompt.close();
        break;
    case 5:
        prompt.btnCancel->setFocus();
        QTest::keyClick(prompt.btnCancel, Qt::Key_Return);
        break;
    }
    QVERIFY(!prompt.isVisible());
    QCOMPARE(prompt.GeeklistID, geeklistId);
}

// One service for the whole program over geeklists written here.
static std::unique_ptr<SampleService> service;
static QTemporaryDir serviceData;

void TestGeeklist::initTestCase()
{
    auto list = [](const QByteArray &items) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<geeklist id=\"1\">\n" + items
            + "</geeklist>\n";
    };
    writeFile(SampleGeeklistPath(serviceData.path(), QStringLiteral("500")),
              list("<item objecttype=\"thing\" subtype=\"boardgame\" objectid=\"11\" "
                   "objectname=\"Salt &amp; Stone\"/>\n"
                   "<item objecttype=\"thing\" subtype=\"boardgameexpansion\" objectid=\"22\"/>\n"
                   "<item objecttype=\"thing\" subtype=\"boardgame\" objectid=\"33\"/>\n"
                   "<item objecttype=\"thing\" subtype=\"boardgame\" objectid=\"11\"/>\n"));
    writeFile(SampleGeeklistPath(serviceData.path(), QStringLiteral("501")),
              list("<item objecttype=\"thing\" subtype=\"boardgame\" objectid=\"7\"/>\n"));
    writeFile(SampleGeeklistPath(serviceData.path(), QStringLiteral("502")),
              list("<item objecttype=\"thing\" subtype=\"boardgameexpansion\" objectid=\"8\"/>\n"));
    writeFile(SampleGeeklistPath(serviceData.path(), QStringLiteral("503")),
              list("<item objecttype=\"thing\" subtype=\"boardgame\" objectid=\"9\"/>\n"));
    SampleService::Options options;
    options.dataDir = serviceData.path();
    options.serviceArgs = {QStringLiteral("--fail"),
                           QStringLiteral("/xmlapi/geeklist/501=notxml,times=1"),
                           QStringLiteral("--fail"),
                           QStringLiteral("/xmlapi/geeklist/503=trickle,interval-ms=200")};
    service = std::make_unique<SampleService>(options);
    QVERIFY2(service->start(), qPrintable(service->errorString()));
}

void TestGeeklist::cleanupTestCase()
{
    service.reset();
}

std::unique_ptr<MainWindowFixture> TestGeeklist::newWindow() const
{
    MainWindowFixture::Setup setup;
    setup.serviceOverride = service->baseUrl();
    auto fixture = std::make_unique<MainWindowFixture>(setup);
    (*fixture)->edtGame->setPlainText(QStringLiteral("1, 2"));
    service->clearRequests();
    return fixture;
}

void TestGeeklist::importFillsGameBox()
{
    auto w = newWindow();
    TfrmMain &main = w->window();
    // Blanks around the number do not reach the address or the file name.
    w->dialogs.modalActions.enqueue(typeAndOK(QStringLiteral("  500 ")));
    main.btnGeeklist->click();
    QCOMPARE(main.edtGame->toPlainText(), QStringLiteral("11, 33, 11"));
    QCOMPARE(main.stbMain->currentMessage(), QStringLiteral("Loading geeklist #500"));
    QCOMPARE(service->requests().size(), 1);
    QCOMPARE(service->requests().constFirst().target, QStringLiteral("/xmlapi/geeklist/500"));
    // The cached file is prepared.
    const QByteArray cached = readFile(GeeklistFile(w->cacheDir(), QStringLiteral("500")));
    QVERIFY(cached.contains(QByteArray("Salt ") + AmpersandMarker + "amp; Stone"));
    QVERIFY(w->dialogs.messages.isEmpty() && w->dialogs.errors.isEmpty());
}

void TestGeeklist::cachedGeeklistIsReused()
{
    auto w = newWindow();
    TfrmMain &main = w->window();
    main.ImportGeeklist(QStringLiteral("500"));
    QCOMPARE(service->requestCount(), 1);

    // The cached file is used as it stands (here changed by hand) and
    // prepared again; nothing is fetched.
    const QString file = GeeklistFile(w->cacheDir(), QStringLiteral("500"));
    writeFile(file, "<geeklist><item subtype=\"boardgame\" objectid=\"44\" objectname=\"A & B\"/>"
                    "</geeklist>");
    service->clearRequests();
    main.edtGame->setPlainText(QStringLiteral("9"));
    w->dialogs.modalActions.enqueue(typeAndOK(QStringLiteral("500")));
    main.btnGeeklist->click();
    QCOMPARE(service->requestCount(), 0);
    QCOMPARE(main.edtGame->toPlainText(), QStringLiteral("44"));
    QVERIFY(w->dialogs.errors.isEmpty());
}

void TestGeeklist::nothingQualifyingEmptiesGameBox()
{
    auto w = newWindow();
    w->window().ImportGeeklist(QStringLiteral("502"));
    QCOMPARE(w->window().edtGame->toPlainText(), QString());
    QVERIFY(QFile::exists(GeeklistFile(w->cacheDir(), QStringLiteral("502"))));
    QVERIFY(w->dialogs.messages.isEmpty() && w->dialogs.errors.isEmpty());
}

void TestGeeklist::refusedNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("messages");
    const QStringList notValid{QStringLiteral("Geeklist number not valid")};
    QTest::newRow("path") << "../../x" << notValid;
    QTest::newRow("empty: nothing said") << "" << QStringList();
}

void TestGeeklist::refusedNumbers()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, messages);

    auto w = newWindow();
    TfrmMain &main = w->window();
    main.stbMain->showMessage(QStringLiteral("before"));
    const QString root = QFileInfo(w->programDir()).path();
    const QStringList before = snapshot(root);

    w->dialogs.modalActions.enqueue(typeAndOK(typed));
    main.btnGeeklist->click();
    QVERIFY(w->dialogs.modalActions.isEmpty());
    QCOMPARE(w->dialogs.messages, messages);
    QCOMPARE(service->requestCount(), 0);
    QCOMPARE(snapshot(root), before);
    QCOMPARE(main.edtGame->toPlainText(), QStringLiteral("1, 2"));
    QCOMPARE(main.stbMain->currentMessage(), QStringLiteral("before"));
}

void TestGeeklist::geeklistThatIsNotXml()
{
    // The first answer for 501 is not XML: the error is shown, the game box
    // kept and the file dropped from the cache, so the next import fetches
    // the list again and succeeds.
    auto w = newWindow();
    TfrmMain &main = w->window();
    w->dialogs.modalActions.enqueue(typeAndOK(QStringLiteral("501")));
    main.btnGeeklist->click();
    QCOMPARE(w->dialogs.errors.size(), 1);
    QCOMPARE(main.edtGame->toPlainText(), QStringLiteral("1, 2"));
    QVERIFY(!QFile::exists(GeeklistFile(w->cacheDir(), QStringLiteral("501"))));

    w->dialogs.modalActions.enqueue(typeAndOK(QStringLiteral("501")));
    main.btnGeeklist->click();
    QCOMPARE(w->dialogs.errors.size(), 1);
    QCOMPARE(main.edtGame->toPlainText(), QStringLiteral("7"));
    QCOMPARE(service->requestCount(QStringLiteral("/xmlapi/geeklist/501")), 2);
}

void TestGeeklist::importHoldsBusyStateAndStops()
{
    // While the list trickles in, the window takes events but refuses the
    // commands that would run nested; Stop breaks the download off quietly.
    auto w = newWindow();
    TfrmMain &main = w->window();
    bool busy = false;
    bool searchEnabled = true;
    // Stop is pressed once the request has reached the service.
    QTimer poll;
    connect(&poll, &QTimer::timeout, &main, [&] {
        if (service->requestCount(QStringLiteral("/xmlapi/geeklist/503")) == 0)
            return;
        poll.stop();
        busy = main.isBusy();
        searchEnabled = main.btnSearch->isEnabled();
        main.btnLoad->click();
    });
    poll.start(10);
    main.ImportGeeklist(QStringLiteral("503"));
    QVERIFY(!poll.isActive());
    QCOMPARE(main.downloader().lastFailure(), Downloader::Failure::Aborted);
    QVERIFY(busy && !searchEnabled);
    QVERIFY(!main.isBusy());
    QVERIFY(w->dialogs.messages.isEmpty() && w->dialogs.errors.isEmpty());
    QCOMPARE(main.stbMain->currentMessage(), QStringLiteral("Operation stopped."));
    QCOMPARE(main.edtGame->toPlainText(), QStringLiteral("1, 2"));
    QVERIFY(QDir(w->cacheDir()).isEmpty());
}

void TestGeeklist::refusedWhileBusy()
{
    auto w = newWindow();
    TfrmMain &main = w->window();
    {
        TfrmMain::BusyHold busy(main);
        w->dialogs.modalActions.enqueue(typeAndOK(QStringLiteral("500")));
        main.btnGeeklistClick();
        main.ImportGeeklist(QStringLiteral("500"));
    }
    QCOMPARE(w->dialogs.modalActions.size(), 1);
    QCOMPARE(service->requestCount(), 0);
    QCOMPARE(main.edtGame->toPlainText(), QStringLiteral("1, 2"));
}

QTEST_MAIN(TestGeeklist)
#include "test_geeklist.moc"
