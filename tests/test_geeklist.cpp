// Geeklist import: the walk of a geeklist, the number check, the prompt, and
// the import against the sample service.
#include "geeklist/GeeklistItems.h"
#include "geeklist/GeeklistNumber.h"
#include "service/XmlDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestGeeklist : public QObject
{
    Q_OBJECT
private slots:
    void gameIds_data();
    void gameIds();
    void number_data();
    void number();
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
    QTest::newRow("empty list") << QString() << "";
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
    document.LoadFile(fileName);
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
    QTest::newRow("empty") << "" << "" << false;
    QTest::newRow("blank inside") << " 1 2 " << "1 2" << false;
    QTest::newRow("letter") << "12a" << "12a" << false;
    QTest::newRow("path") << "../../x" << "../../x" << false;
    QTest::newRow("sign") << "+12" << "+12" << false;
    QTest::newRow("hexadecimal") << "$1F" << "$1F" << false;
    QTest::newRow("request characters") << "1?a=b" << "1?a=b" << false;
    QTest::newRow("non-ASCII digit") << QStringLiteral("1\u0663") << QStringLiteral("1\u0663")
                                     << false;
    QTest::newRow("no-break space is not trimmed") << QStringLiteral("\u00a012")
                                                   << QStringLiteral("\u00a012") << false;
    QTest::newRow("leading zeros stay") << "007" << "007" << true;
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

QTEST_MAIN(TestGeeklist)
#include "test_geeklist.moc"
