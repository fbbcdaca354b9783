// Game search: the walk of a search answer, the adding rule of the game box,
// the query encoding, and the search window against the sample service.
#include "search/AppendGameId.h"
#include "search/SearchAnswer.h"
#include "search/u_frmSearch.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

// Loads an answer whose root holds the given items.
static void loadAnswer(XmlDocument &document, const QTemporaryDir &dir, const QString &items)
{
    const QString fileName = dir.filePath(QStringLiteral("search.xml"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<boardgames>" + items.toUtf8()
               + "</boardgames>\n");
    file.close();
    document.loadFile(fileName);
}

// The service's search index: every game a search can find.
static const char SearchIndex[] = R"(<?xml version="1.0" encoding="utf-8"?>
<boardgames>
  <boardgame objectid="101"><name primary="true">Red Harbour</name><name>Roter Hafen</name><yearpublished>1995</yearpublished></boardgame>
  <boardgame objectid="102"><name>Blue Red Moon</name></boardgame>
  <boardgame><name primary="true">Red Orphan</name></boardgame>
  <boardgame objectid="103"><name primary="true">Tom &amp; Red</name><yearpublished>2001</yearpublished></boardgame>
  <boardgame objectid="104"><name primary="true">Café Rouge</name></boardgame>
  <boardgame objectid="105"><name primary="true">Plus+Minus #2?</name></boardgame>
</boardgames>
)";

// A main window on its own program folder, talking to the shared service,
// with the search window handed over as the program entry does.
struct SearchWindow {
    explicit SearchWindow(const QString &baseUrl)
        : fixture([&] {
              MainWindowFixture::Setup setup;
              setup.serviceOverride = baseUrl;
              return setup;
          }())
    {
        frmSearch = std::make_unique<TfrmSearch>(fixture.window().searchContext(), &fixture.window());
        fixture->setWindows(nullptr, frmSearch.get());
    }
    TfrmMain &main() { return fixture.window(); }
    ScriptedDialogs &dialogs() { return fixture.dialogs; }

    MainWindowFixture fixture;
    std::unique_ptr<TfrmSearch> frmSearch;
};

static QStringList lines(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

// A showing in which the user searches for words and picks a line (none: -1)
// with the Select button.
static std::function<int(QDialog *)> searchAndSelect(const QString &words, int row)
{
    return [words, row](QDialog *dialog) {
        auto *search = static_cast<TfrmSearch *>(dialog);
        search->edtSearch->setText(words);
        search->btnSearch->click();
        if (row >= 0)
            search->lboResult->setCurrentRow(row);
        search->btnSelect->click();
        return dialog->result();
    };
}

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void searchFillsListsInStep();
    void queryReachesService_data();
    void queryReachesService();
    void chosenIdIsAddedToGameBox();
    void closingAddsNothing_data();
    void closingAddsNothing();
    void selectWithoutSelection();
    void doubleClicks();
    void failedSearchLeavesListEmpty_data();
    void failedSearchLeavesListEmpty();
    void searchRunsWithoutFreezing();
    void refusedWhileBusy();
    void answerWalk_data();
    void answerWalk();
    void walkKeepsHitsReadBeforeAFailingItem();
    void appendGameId_data();
    void appendGameId();
};

void TestSearch::answerWalk_data()
{
    QTest::addColumn<QString>("items");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("ids");

    const QString alpha = QStringLiteral("<name primary=\"true\">Alpha</name>");
    const QString beta = QStringLiteral("<name>Beta</name>");
    const QString year = QStringLiteral("<yearpublished>1995</yearpublished>");
    auto item = [](const QString &id, const QString &children) {
        return QStringLiteral("<boardgame objectid=\"%1\">%2</boardgame>").arg(id, children);
    };

    QTest::newRow("primary first") << item("1", alpha + beta + year)
                                   << QStringList{"Alpha (1995)"} << QStringList{"1"};
    QTest::newRow("primary last") << item("1", year + beta + alpha)
                                  << QStringList{"Alpha (1995)"} << QStringList{"1"};
    QTest::newRow("last unmarked name wins")
        << item("1", beta + "<name>Gamma</name>" + year) << QStringList{"Gamma (1995)"}
        << QStringList{"1"};
    QTest::newRow("last primary name wins")
        << item("1", alpha + "<name primary=\"true\">Delta</name>" + beta)
        << QStringList{"Delta"} << QStringList{"1"};
    QTest::newRow("primary TRUE or 1 is not primary")
        << item("1", "<name primary=\"TRUE\">Upper</name><name primary=\"1\">One</name>")
        << QStringList{"One"} << QStringList{"1"};
    QTest::newRow("year only") << item("7", year) << QStringList{" (1995)"}
                               << QStringList{"7"};
    QTest::newRow("neither name nor year") << item("8", "<other>x</other>") << QStringList{""}
                                           << QStringList{"8"};
    QTest::newRow("empty name elements are no name")
        << item("9", beta + "<name/><name primary=\"true\"></name>" + year)
        << QStringList{"Beta (1995)"} << QStringList{"9"};
    QTest::newRow("items without objectid keep neighbours paired")
        << item("1", "<name>One</name>") + "<boardgame><name>None</name></boardgame>"
               + item("3", "<name>Three</name>")
        << QStringList{"One", "Three"} << QStringList{"1", "3"};
    QTest::newRow("any element name counts as an item, objectid kept as text")
        << QStringLiteral("<thing objectid=\" 012\"><name>Odd</name></thing>")
        << QStringList{"Odd"} << QStringList{" 012"};
}

void TestSearch::answerWalk()
{
    QFETCH(QString, items);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, ids);

    QTemporaryDir dir;
    XmlDocument document;
    loadAnswer(document, dir, items);
    QStringList gotLines;
    QStringList gotIds;
    WalkSearchAnswer(document, [&](const SearchHit &hit) {
        gotLines << hit.line;
        gotIds << hit.id;
    });
    QCOMPARE(gotLines, lines);
    QCOMPARE(gotIds, ids);
}

void TestSearch::walkKeepsHitsReadBeforeAFailingItem()
{
    // A year holding an element is no plain value: the walk ends with an
    // error, and the item read before keeps its hit while the failing one
    // gets none.
    QTemporaryDir dir;
    XmlDocument document;
    loadAnswer(document, dir,
               QStringLiteral("<boardgame objectid=\"1\"><name>One</name></boardgame>"
                              "<boardgame objectid=\"2\"><name>Two</name>"
                              "<yearpublished><b>1</b><b>2</b></yearpublished></boardgame>"
                              "<boardgame objectid=\"3\"><name>Three</name></boardgame>"));
    QStringList ids;
    QVERIFY_THROWS_EXCEPTION(PlotwiseError, WalkSearchAnswer(document, [&](const SearchHit &hit) {
                                 ids << hit.id;
                             }));
    QCOMPARE(ids, QStringList{"1"});
}

void TestSearch::appendGameId_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("expected");
    QTest::newRow("to a list") << "1234" << "5678" << "1234, 5678";
    QTest::newRow("to an empty box") << "" << "5678" << "5678";
    QTest::newRow("already there: added again") << "1234, 5678" << "5678" << "1234, 5678, 5678";
    QTest::newRow("no choice") << "1234" << "" << "1234";
    QTest::newRow("after the last line, line breaks kept") << "1\n2\n" << "3" << "1\n2\n, 3";
    QTest::newRow("blanks only count as text") << " " << "3" << " , 3";
}

void TestSearch::appendGameId()
{
    QFETCH(QString, text);
    QFETCH(QString, id);
    QFETCH(QString, expected);
    QCOMPARE(AppendGameId(text, id), expected);
}

// One service for the whole program; fault rules pick requests by the
// words searched for.
static std::unique_ptr<SampleService> service;
static QTemporaryDir serviceData;

void TestSearch::initTestCase()
{
    QFile index(serviceData.filePath(QStringLiteral("search.xml")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write(SearchIndex);
    index.close();
    SampleService::Options options;
    options.dataDir = serviceData.path();
    options.serviceArgs = {
        QStringLiteral("--fail"), QStringLiteral("*search=fail500=500"),
        QStringLiteral("--fail"), QStringLiteral("*search=notxml=notxml"),
        QStringLiteral("--fail"), QStringLiteral("*search=slow=trickle,interval-ms=200"),
    };
    service = std::make_unique<SampleService>(options);
    QVERIFY2(service->start(), qPrintable(service->errorString()));
}

void TestSearch::cleanupTestCase()
{
    service.reset();
}

void TestSearch::searchFillsListsInStep()
{
    SearchWindow w(service->baseUrl());
    TfrmSearch *search = w.frmSearch.get();
    search->edtSearch->setText(QStringLiteral("red"));
    search->btnSearch->click();

    QCOMPARE(lines(search->lboResult),
             (QStringList{"Red Harbour (1995)", "Blue Red Moon", "Tom & Red (2001)"}));
    QCOMPARE(search->ResultIDs, (QStringList{"101", "102", "103"}));
    QVERIFY(w.dialogs().errors.isEmpty());
    // The answer is parsed as it came: not prepared.
    QFile answer(SearchFile(w.fixture.cacheDir()));
    QVERIFY(answer.open(QIODevice::ReadOnly));
    QVERIFY(!answer.readAll().contains(AmpersandMarker));

    // A new search replaces lines and IDs together.
    search->edtSearch->setText(QStringLiteral("moon"));
    search->btnSearch->click();
    QCOMPARE(lines(search->lboResult), QStringList{"Blue Red Moon"});
    QCOMPARE(search->ResultIDs, QStringList{"102"});
}

void TestSearch::queryReachesService_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("blanks") << " red harbour " << "/xmlapi/search?search=%20red%20harbour%20"
                            << QStringList{"101"};
    QTest::newRow("ampersand") << "tom & red" << "/xmlapi/search?search=tom%20%26%20red"
                               << QStringList{"103"};
    QTest::newRow("request characters") << "plus+minus #2?"
                                        << "/xmlapi/search?search=plus%2Bminus%20%232%3F"
                                        << QStringList{"105"};
    QTest::newRow("non-ASCII") << QStringLiteral("café") << "/xmlapi/search?search=caf%C3%A9"
                               << QStringList{"104"};
    QTest::newRow("empty") << "" << "/xmlapi/search?search=" << QStringList{};
}

void TestSearch::queryReachesService()
{
    QFETCH(QString, words);
    QFETCH(QString, target);
    QFETCH(QStringList, ids);

    SearchWindow w(service->baseUrl());
    service->clearRequests();
    w.frmSearch->edtSearch->setText(words);
    w.frmSearch->btnSearch->click();
    const QList<SampleService::Request> requests = service->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.constFirst().target, target);
    QCOMPARE(w.frmSearch->ResultIDs, ids);
}

void TestSearch::chosenIdIsAddedToGameBox()
{
    SearchWindow w(service->baseUrl());
    w.main().edtGame->setPlainText(QStringLiteral("1234"));
    w.dialogs().modalActions.enqueue(searchAndSelect(QStringLiteral("red"), 1));
    w.main().btnSearch->click();
    QCOMPARE(w.main().edtGame->toPlainText(), QStringLiteral("1234, 102"));

    // The window kept its text, results and selection: Select alone chooses
    // the same game again, and it is added again.
    w.dialogs().modalActions.enqueue([](QDialog *dialog) {
        auto *search = static_cast<TfrmSearch *>(dialog);
        if (search->edtSearch->text() != QLatin1String("red") || search->lboResult->count() != 3
            || search->lboResult->currentRow() != 1)
            return -1;
        search->btnSelect->click();
        return dialog->result();
    });
    w.main().btnSearch->click();
    QCOMPARE(w.main().edtGame->toPlainText(), QStringLiteral("1234, 102, 102"));

    // An empty box takes the ID alone; the label click empties the box.
    QTest::mouseClick(w.main().labGame, Qt::LeftButton);
    QCOMPARE(w.main().edtGame->toPlainText(), QString());
    w.dialogs().modalActions.enqueue(searchAndSelect(QStringLiteral("red"), 2));
    w.main().btnSearch->click();
    QCOMPARE(w.main().edtGame->toPlainText(), QStringLiteral("103"));
    QVERIFY(w.dialogs().messages.isEmpty());
}

void TestSearch::closingAddsNothing_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Close button") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("close box") << 2;
}

void TestSearch::closingAddsNothing()
{
    QFETCH(int, way);
    SearchWindow w(service->baseUrl());
    w.main().edtGame->setPlainText(QStringLiteral("1"));
    w.dialogs().modalActions.enqueue(searchAndSelect(QStringLiteral("red"), 0));
    w.main().btnSearch->click();
    QCOMPARE(w.main().edtGame->toPlainText(), QStringLiteral("1, 101"));

    // A choice made in an earlier showing does not count in this one.
    w.dialogs().modalActions.enqueue([way](QDialog *dialog) {
        auto *search = static_cast<TfrmSearch *>(dialog);
        if (way == 0)
            search->btnClose->click();
        else if (way == 1)
            QTest::keyClick(search, Qt::Key_Escape);
        else
            search->close();
        return dialog->result();
    });
    w.main().btnSearch->click();
    QVERIFY(w.dialogs().modalActions.isEmpty());
    QCOMPARE(w.frmSearch->SelectedID, QString());
    QCOMPARE(w.main().edtGame->toPlainText(), QStringLiteral("1, 101"));
}

void TestSearch::selectWithoutSelection()
{
    SearchWindow w(service->baseUrl());
    bool stayedOpen = false;
    w.dialogs().modalActions.enqueue([&](QDialog *dialog) {
        auto *search = static_cast<TfrmSearch *>(dialog);
        search->btnSelect->click(); // empty list
        search->edtSearch->setText(QStringLiteral("red"));
        search->btnSearch->click();
        search->lboResult->clearSelection();
        search->btnSelect->click(); // lines, none selected
        stayedOpen = dialog->isVisible();
        search->btnClose->click();
        return dialog->result();
    });
    w.main().btnSearch->click();
    QVERIFY(stayedOpen);
    QCOMPARE(w.dialogs().messages,
             QStringList(2, QStringLiteral("You must select a game name")));
    QCOMPARE(w.main().edtGame->toPlainText(), QString());
}

void TestSearch::doubleClicks()
{
    SearchWindow w(service->baseUrl());
    w.dialogs().modalActions.enqueue([](QDialog *dialog) {
        auto *search = static_cast<TfrmSearch *>(dialog);
        search->edtSearch->setText(QStringLiteral("red"));
        search->btnSearch->click();
        QListWidget *list = search->lboResult;
        // The first click of a double click selects the line.
        const QPoint line = list->visualItemRect(list->item(2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line);
        return dialog->result();
    });
    // A double click in the game box opens the search; a double click on a
    // line chooses it.
    QTest::mouseDClick(w.main().edtGame->viewport(), Qt::LeftButton);
    QVERIFY(w.dialogs().modalActions.isEmpty());
    QCOMPARE(w.main().edtGame->toPlainText(), QStringLiteral("103"));

    // A double click in the search box empties it.
    w.frmSearch->edtSearch->setText(QStringLiteral("red"));
    QTest::mouseDClick(w.frmSearch->edtSearch, Qt::LeftButton);
    QCOMPARE(w.frmSearch->edtSearch->text(), QString());
}

void TestSearch::failedSearchLeavesListEmpty_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("errors");
    QTest::newRow("download failed: said in the window") << "fail500" << "HTTP 500" << 0;
    QTest::newRow("not XML: error box") << "notxml" << "" << 1;
}

void TestSearch::failedSearchLeavesListEmpty()
{
    QFETCH(QString, words);
    QFETCH(QString, status);
    QFETCH(int, errors);

    SearchWindow w(service->baseUrl());
    TfrmSearch *search = w.frmSearch.get();
    search->edtSearch->setText(QStringLiteral("red"));
    search->btnSearch->click();
    QCOMPARE(search->lboResult->count(), 3);

    search->edtSearch->setText(words);
    search->btnSearch->click();
    QCOMPARE(search->lboResult->count(), 0);
    QVERIFY(search->ResultIDs.isEmpty());
    QCOMPARE(w.dialogs().errors.size(), errors);
    QVERIFY(w.dialogs().messages.isEmpty());
    QCOMPARE(search->labStatus->isHidden(), status.isEmpty());
    QVERIFY2(search->labStatus->text().contains(status), qPrintable(search->labStatus->text()));
    QVERIFY(search->btnSearch->isEnabled() && search->btnSelect->isEnabled());

    // The next good search clears the failure.
    search->edtSearch->setText(QStringLiteral("moon"));
    search->btnSearch->click();
    QVERIFY(search->labStatus->isHidden());
    QCOMPARE(search->ResultIDs, QStringList{"102"});
}

void TestSearch::searchRunsWithoutFreezing()
{
    // The answer trickles in a byte at a time. While it runs the window
    // takes events: Search and Select are refused, and closing the window
    // stops the search.
    SearchWindow w(service->baseUrl());
    bool searchEnabled = true;
    bool selectEnabled = true;
    QString status;
    w.dialogs().modalActions.enqueue([&](QDialog *dialog) {
        auto *search = static_cast<TfrmSearch *>(dialog);
        search->edtSearch->setText(QStringLiteral("slow"));
        QTimer::singleShot(0, search, [&, search] {
            searchEnabled = search->btnSearch->isEnabled();
            selectEnabled = search->btnSelect->isEnabled();
            status = search->labStatus->text();
            search->btnClose->click();
        });
        search->btnSearch->click();
        return dialog->result();
    });
    w.main().btnSearch->click();
    QVERIFY(!searchEnabled && !selectEnabled);
    QCOMPARE(status, QStringLiteral("Searching..."));
    QVERIFY(!w.frmSearch->isFetching());
    QCOMPARE(w.frmSearch->lboResult->count(), 0);
    QCOMPARE(w.main().edtGame->toPlainText(), QString());
    QVERIFY(w.frmSearch->btnSearch->isEnabled());
    QVERIFY(w.dialogs().errors.isEmpty());
    QCOMPARE(w.main().downloader().lastFailure(), Downloader::Failure::Aborted);
}

void TestSearch::refusedWhileBusy()
{
    SearchWindow w(service->baseUrl());
    w.main().edtGame->setPlainText(QStringLiteral("1"));
    {
        TfrmMain::BusyHold busy(w.main());
        w.dialogs().modalActions.enqueue(searchAndSelect(QStringLiteral("red"), 0));
        w.main().btnSearchClick();
        w.main().edtGameDblClick();
        w.main().labGameClick();
    }
    QCOMPARE(w.dialogs().modalActions.size(), 1);
    QCOMPARE(w.main().edtGame->toPlainText(), QStringLiteral("1"));
}

QTEST_MAIN(TestSearch)
#include "test_search.moc"
