// Game search: the walk of a search answer, the adding rule of the game box,
// the query encoding, and the search window against the sample service.
#include "search/AppendGameId.h"
#include "search/SearchAnswer.h"
#include "service/CachePaths.h"
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Loads an answer whose root holds the given items.
static void loadAnswer(XmlDocument &document, const QTemporaryDir &dir, const QString &items)
{
    const QString fileName = dir.filePath(QStringLiteral("search.xml"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<boardgames>" + items.toUtf8()
               + "</boardgames>\n");
    file.close();
    document.LoadFile(fileName);
}

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    void answerWalk_data();
    void answerWalk();
    void walkKeepsHitsReadBeforeAFailingItem();
    void appendGameId_data();
    void appendGameId();
    void queryEncoding_data();
    void queryEncoding();
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
    QTest::newRow("last year wins")
        << item("1", beta + year + "<yearpublished>2001</yearpublished>")
        << QStringList{"Beta (2001)"} << QStringList{"1"};
    QTest::newRow("primary TRUE is not primary")
        << item("1", "<name primary=\"TRUE\">Upper</name>" + beta) << QStringList{"Beta"}
        << QStringList{"1"};
    QTest::newRow("primary 1 is not primary")
        << item("1", beta + "<name primary=\"1\">One</name>") << QStringList{"One"}
        << QStringList{"1"};
    QTest::newRow("year only") << item("7", year) << QStringList{" (1995)"}
                               << QStringList{"7"};
    QTest::newRow("neither name nor year") << item("8", "<other>x</other>") << QStringList{""}
                                           << QStringList{"8"};
    QTest::newRow("empty name elements are no name")
        << item("9", beta + "<name/><name primary=\"true\"></name>" + year)
        << QStringList{"Beta (1995)"} << QStringList{"9"};
    QTest::newRow("empty year is no year") << item("9", beta + "<yearpublished/>")
                                           << QStringList{"Beta"} << QStringList{"9"};
    QTest::newRow("items without objectid keep neighbours paired")
        << item("1", "<name>One</name>") + "<boardgame><name>None</name></boardgame>"
               + item("3", "<name>Three</name>")
        << QStringList{"One", "Three"} << QStringList{"1", "3"};
    QTest::newRow("any element name counts as an item, objectid kept as text")
        << QStringLiteral("<thing objectid=\" 012\"><name>Odd</name></thing>")
        << QStringList{"Odd"} << QStringList{" 012"};
    QTest::newRow("entities are resolved, the answer is not prepared")
        << item("5", "<name>Tom &amp; Jerry</name>") << QStringList{"Tom & Jerry"}
        << QStringList{"5"};
    QTest::newRow("no items") << QString() << QStringList{} << QStringList{};
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

void TestSearch::queryEncoding_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("query");
    QTest::newRow("two words") << "red blue" << "red%20blue";
    QTest::newRow("leading and trailing space") << " red " << "%20red%20";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("ampersand") << "Tom & Jerry" << "Tom%20%26%20Jerry";
    QTest::newRow("request characters") << "a#b?c+d=e/f%" << "a%23b%3Fc%2Bd%3De%2Ff%25";
    QTest::newRow("unreserved stay") << "A-z_0.9~" << "A-z_0.9~";
    QTest::newRow("non-ASCII as UTF-8") << QStringLiteral("Caf\u00e9 \u6f22")
                                        << "Caf%C3%A9%20%E6%BC%A2";
}

void TestSearch::queryEncoding()
{
    QFETCH(QString, words);
    QFETCH(QString, query);
    QCOMPARE(SearchUrl(QStringLiteral("http://127.0.0.1:1/"), words),
             QStringLiteral("http://127.0.0.1:1/xmlapi/search?search=") + query);
}

QTEST_MAIN(TestSearch)
#include "test_search.moc"
