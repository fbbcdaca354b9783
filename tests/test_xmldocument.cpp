// XML document access on odd documents: declaration, text nodes, mixed
// content, null versus empty, encodings, parse errors, deep nesting.
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"

#include <QtTest>

class TestXmlDocument : public QObject
{
    Q_OBJECT

private slots:
    void declarationAndComments();
    void childListsAndValues();
    void attributes();
    void encodings_data();
    void encodings();
    void preparedPage();
    void parseErrors_data();
    void parseErrors();
    void failedLoadReplacesTree();
    void deepNesting();

private:
    QTemporaryDir m_dir;
    XmlNode load(const QByteArray &bytes);
    QString writeFile(const QByteArray &bytes);
    XmlDocument m_doc;
};

QString TestXmlDocument::writeFile(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("page.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Loads the bytes and returns the root element.
XmlNode TestXmlDocument::load(const QByteArray &bytes)
{
    m_doc.loadFile(writeFile(bytes));
    const auto top = m_doc.children();
    return top.empty() ? XmlNode() : top.front();
}

void TestXmlDocument::declarationAndComments()
{
    m_doc.loadFile(writeFile("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- made -->\n"
                             "<?style x?>\n<boardgames><!-- c --><x/></boardgames>\n"));
    const auto top = m_doc.children();
    QCOMPARE(top.size(), size_t(1));
    QCOMPARE(top[0].name(), QString("boardgames"));
    QCOMPARE(top[0].children().size(), size_t(1));
    QCOMPARE(top[0].children()[0].name(), QString("x"));
}

void TestXmlDocument::childListsAndValues()
{
    const XmlNode root = load("<r>\n  <a>1</a>\n  loose text\n  <b/>\n  <c><![CDATA[x<y]]></c>\n"
                              "  <d><![CDATA[]]></d><e></e><m>t<i/></m><p><q>1</q></p>"
                              "<two>a<![CDATA[b]]></two><ws>  </ws></r>");
    const auto kids = root.children();
    QStringList names;
    for (const XmlNode &n : kids)
        names << (n.name().isEmpty() ? QStringLiteral("#text") : n.name());
    QCOMPARE(names, (QStringList{"a", "#text", "b", "c", "d", "e", "m", "p", "two", "ws"}));

    QCOMPARE(kids[0].value(), std::optional<QString>("1"));
    QCOMPARE(kids[0].children().size(), size_t(1));
    QCOMPARE(kids[0].children()[0].value(), std::optional<QString>("1"));
    QCOMPARE(kids[1].value(), std::optional<QString>("\n  loose text\n  "));
    QCOMPARE(kids[1].children().size(), size_t(0));
    QCOMPARE(kids[2].value(), std::nullopt);                     // no children
    QCOMPARE(kids[3].value(), std::optional<QString>("x<y"));    // CDATA is text
    QCOMPARE(kids[4].value(), std::nullopt);                     // empty CDATA
    QCOMPARE(kids[5].value(), std::nullopt);                     // empty element
    QVERIFY_THROWS_EXCEPTION(PlotwiseError, (void)kids[6].value()); // mixed content
    QVERIFY_THROWS_EXCEPTION(PlotwiseError, (void)kids[7].value()); // child element
    QVERIFY_THROWS_EXCEPTION(PlotwiseError, (void)kids[8].value()); // two text nodes
    QCOMPARE(kids[9].value(), std::nullopt);                     // white space alone is no text

    // Nodes compare by identity, not by content.
    QVERIFY(root.children()[0] == kids[0]);
    QVERIFY(!(kids[2] == kids[5]));
    QVERIFY(!(kids[0] == XmlNode()));

    const XmlNode none;
    QVERIFY(none.isNull());
    QVERIFY(!root.isNull());
    QVERIFY(none.children().empty());
    QCOMPARE(none.value(), std::nullopt);
    QCOMPARE(none.attribute("a"), std::nullopt);
}

void TestXmlDocument::attributes()
{
    const XmlNode root = load("<r empty=\"\" id=\"1001\" Name='x'>text</r>");
    QCOMPARE(root.attribute("empty"), std::optional<QString>(QString()));
    QVERIFY(root.attribute("empty").has_value());
    QCOMPARE(root.attribute("id"), std::optional<QString>("1001"));
    QCOMPARE(root.attribute("missing"), std::nullopt);
    QCOMPARE(root.attribute("name"), std::nullopt); // case counts
    QCOMPARE(root.children()[0].attribute("id"), std::nullopt); // text nodes have none
}

void TestXmlDocument::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QString cafe = QString::fromUtf8("Café ");
    QTest::newRow("UTF-8") << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><n a=\"\xC3\xA9\">Caf\xC3\xA9 \xE2\x82\xAC</n>")
                           << cafe + QString::fromUtf8("€");
    QTest::newRow("no declaration") << QByteArray("<n a=\"\xC3\xA9\">Caf\xC3\xA9 \xE2\x82\xAC</n>") << cafe + QString::fromUtf8("€");
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\"?><n a=\"\xC3\xA9\">Caf\xC3\xA9 \xE2\x82\xAC</n>")
                               << cafe + QString::fromUtf8("€");
    QTest::newRow("ISO-8859-1") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><n a=\"\xE9\">Caf\xE9 \x80</n>")
                                << cafe + QChar(0x80);
    QTest::newRow("latin1 single quotes") << QByteArray("<?xml version='1.0' encoding = 'latin1' ?><n a='\xE9'>Caf\xE9 \x80</n>")
                                          << cafe + QChar(0x80);
    QTest::newRow("Windows-1252") << QByteArray("<?xml version=\"1.0\" encoding=\"Windows-1252\"?><n a=\"\xE9\">Caf\xE9 \x80</n>")
                                  << cafe + QString::fromUtf8("€");
}

void TestXmlDocument::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const XmlNode root = load(bytes);
    QCOMPARE(root.name(), QString("n"));
    QCOMPARE(root.value(), std::optional<QString>(expected));
    QCOMPARE(root.attribute("a"), std::optional<QString>(QString::fromUtf8("é")));
}

void TestXmlDocument::preparedPage()
{
    // The road of a game name: prepared Latin-1 file, value, restored and stripped.
    const QString path = writeFile("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<boardgames>\n"
                                   "  <boardgame objectid=\"1001\">\n"
                                   "    <name primary=\"true\">Harbour &amp; Hinterland &#233;&#8364; \xE9</name>\n"
                                   "  </boardgame>\n</boardgames>\n");
    PrepareXmlFile(path);
    m_doc.loadFile(path);
    const XmlNode game = m_doc.children()[0].children()[0];
    QCOMPARE(game.attribute("objectid"), std::optional<QString>("1001"));
    const XmlNode name = game.children()[0];
    QCOMPARE(name.attribute("primary"), std::optional<QString>("true"));
    QCOMPARE(StripMarkup(RestoreAmpersands(*name.value())),
             QString::fromUtf8("Harbour & Hinterland é€ é"));
}

void TestXmlDocument::parseErrors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("place");
    QTest::newRow("mismatched end tag") << QByteArray("<a>\n<b>\n</a>\n") << "line 3";
    QTest::newRow("empty file") << QByteArray() << "line 1";
    QTest::newRow("not XML") << QByteArray("Too many requests") << "line 1";
    QTest::newRow("unclosed") << QByteArray("<a>\r\n<b>\r\n") << "line 2";
    QTest::newRow("two roots") << QByteArray("<a/>\n<b/>") << "line 2";
    // Columns count characters of the page's own encoding.
    QTest::newRow("ISO-8859-1 column")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xE9\xE9\xE9</b>") << "line 2, column 9";
    QTest::newRow("Windows-1252 column")
        << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<a>\x80\x80\x80</b>") << "line 2, column 9";
}

void TestXmlDocument::parseErrors()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, place);
    const QString path = writeFile(bytes);
    try {
        m_doc.loadFile(path);
        QFAIL("no error");
    } catch (const PlotwiseError &e) {
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        QVERIFY2(e.message().contains(place), qPrintable(e.message()));
    }
}

void TestXmlDocument::failedLoadReplacesTree()
{
    QCOMPARE(load("<first/>").name(), QString("first"));
    QCOMPARE(load("<second><x/></second>").name(), QString("second"));
    QVERIFY_THROWS_EXCEPTION(PlotwiseError, load("<broken>"));
    QVERIFY(m_doc.children().empty());
    QVERIFY_THROWS_EXCEPTION(PlotwiseError, m_doc.loadFile(m_dir.filePath("missing.xml")));
    QVERIFY(m_doc.children().empty());
}

void TestXmlDocument::deepNesting()
{
    const int depth = 10000;
    const QByteArray bytes = QByteArray("<e>").repeated(depth) + "leaf" + QByteArray("</e>").repeated(depth);
    XmlNode node = load(bytes);
    for (int level = 1; level < depth; ++level) {
        const auto kids = node.children();
        QCOMPARE(kids.size(), size_t(1));
        node = kids.front();
    }
    QCOMPARE(node.value(), std::optional<QString>("leaf"));
}

QTEST_GUILESS_MAIN(TestXmlDocument)
#include "test_xmldocument.moc"
