// The cached-page helper: cache or fetch, preparation, loading, and the
// deletion of a page file that does not parse; each service's cache folder.
#include "service/CachePaths.h"
#include "service/CachedPage.h"
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"

#include <QtTest>

Q_DECLARE_METATYPE(CachedCopy)
Q_DECLARE_METATYPE(Preparation)
Q_DECLARE_METATYPE(FetchOutcome)

static const QByteArray CachedPage = "<cached>a &amp; b</cached>";
static const QByteArray FetchedPage = "<fetched>c &amp; d</fetched>";
static const QByteArray Marker = "_T_E_M_P_T_A_G_";

class TestCachedPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void load_data();
    void load();
    void parseFailure_data();
    void parseFailure();
    void serviceFolder_data();
    void serviceFolder();

private:
    // A fetch that stores answer (when outcome is Stored) and counts its calls.
    PageFetch fetchWith(FetchOutcome outcome, const QByteArray &answer);
    [[nodiscard]] QByteArray fileBytes() const;
    void writeFile(const QByteArray &bytes) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    int m_fetches = 0;
};

void TestCachedPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("page.xml"));
    m_fetches = 0;
}

PageFetch TestCachedPage::fetchWith(FetchOutcome outcome, const QByteArray &answer)
{
    return [this, outcome, answer](const QString &url, const QString &fileName, bool prepare) {
        ++m_fetches;
        if (url != QLatin1String("http://127.0.0.1:1/page"))
            qFatal("wrong address %s", qPrintable(url));
        if (outcome == FetchOutcome::Stored) {
            QFile file(fileName);
            const QByteArray stored = prepare ? PrepareXmlBytes(answer) : answer;
            if (!file.open(QIODevice::WriteOnly) || file.write(stored) != stored.size())
                qFatal("cannot write %s", qPrintable(fileName));
        }
        return FetchResult { outcome, QStringLiteral("the reason") };
    };
}

QByteArray TestCachedPage::fileBytes() const
{
    QFile file(m_file);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void TestCachedPage::writeFile(const QByteArray &bytes) const
{
    QFile file(m_file);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(m_file));
}

void TestCachedPage::load_data()
{
    QTest::addColumn<bool>("inCache");
    QTest::addColumn<CachedCopy>("cached");
    QTest::addColumn<Preparation>("preparation");
    QTest::addColumn<FetchOutcome>("fetchOutcome");
    QTest::addColumn<int>("fetches");
    QTest::addColumn<FetchOutcome>("outcome");
    QTest::addColumn<QString>("loadedRoot"); // "before" when nothing was loaded
    QTest::addColumn<bool>("prepared");

    const auto use = CachedCopy::Use;
    const auto again = CachedCopy::FetchAgain;
    const auto stored = FetchOutcome::Stored;
    const auto failed = FetchOutcome::Failed;
    const QString cachedRoot = QStringLiteral("cached");
    const QString fetchedRoot = QStringLiteral("fetched");
    const QString before = QStringLiteral("before");
    // The history pages: prepared once, when fetched.
    QTest::newRow("cached, prepared when fetched")
        << true << use << Preparation::WhenFetched << stored << 0 << stored << cachedRoot << false;
    QTest::newRow("fetched, prepared when fetched")
        << false << use << Preparation::WhenFetched << stored << 1 << stored << fetchedRoot << true;
    // The geeklist: prepared on every import.
    QTest::newRow("cached, always prepared")
        << true << use << Preparation::Always << stored << 0 << stored << cachedRoot << true;
    QTest::newRow("fetched, always prepared")
        << false << use << Preparation::Always << stored << 1 << stored << fetchedRoot << true;
    // The search: fetched again every time, never prepared.
    QTest::newRow("cached, fetched again")
        << true << again << Preparation::Never << stored << 1 << stored << fetchedRoot << false;
    QTest::newRow("missing, fetched again")
        << false << again << Preparation::Never << stored << 1 << stored << fetchedRoot << false;
    // A fetch that did not store the page: nothing loaded, the outcome handed back.
    for (const FetchOutcome outcome :
        { failed, FetchOutcome::ServiceDown, FetchOutcome::Stopped }) {
        const QByteArray name = "fetch outcome " + QByteArray::number(int(outcome));
        QTest::newRow(name.constData())
            << false << use << Preparation::WhenFetched << outcome << 1 << outcome << before << false;
    }
    QTest::newRow("cached, fetch again fails")
        << true << again << Preparation::Always << failed << 1 << failed << before << false;
}

void TestCachedPage::load()
{
    QFETCH(bool, inCache);
    QFETCH(CachedCopy, cached);
    QFETCH(Preparation, preparation);
    QFETCH(FetchOutcome, fetchOutcome);
    QFETCH(int, fetches);
    QFETCH(FetchOutcome, outcome);
    QFETCH(QString, loadedRoot);
    QFETCH(bool, prepared);

    const QString beforeFile = m_dir->filePath(QStringLiteral("before.xml"));
    QFile before(beforeFile);
    QVERIFY(before.open(QIODevice::WriteOnly) && before.write("<before/>") > 0);
    before.close();
    XmlDocument document;
    document.loadFile(beforeFile);
    if (inCache)
        writeFile(CachedPage);

    const FetchResult result = LoadCachedPage(document, m_file,
        QStringLiteral("http://127.0.0.1:1/page"), cached, preparation,
        fetchWith(fetchOutcome, FetchedPage));

    QCOMPARE(m_fetches, fetches);
    QCOMPARE(result.outcome, outcome);
    if (outcome != FetchOutcome::Stored)
        QCOMPARE(result.reason, QStringLiteral("the reason"));
    QCOMPARE(document.children().at(0).name(), loadedRoot);
    if (loadedRoot != QLatin1String("before"))
        QCOMPARE(fileBytes().contains(Marker), prepared);
}

void TestCachedPage::parseFailure_data()
{
    QTest::addColumn<bool>("inCache");
    QTest::addColumn<Preparation>("preparation");

    QTest::newRow("cached") << true << Preparation::WhenFetched;
    QTest::newRow("cached, prepared") << true << Preparation::Always;
    QTest::newRow("fetched") << false << Preparation::WhenFetched;
    QTest::newRow("fetched, not prepared") << false << Preparation::Never;
}

// A page file that does not parse would fail every later call the same way:
// it is deleted, and the error goes on to the caller.
void TestCachedPage::parseFailure()
{
    QFETCH(bool, inCache);
    QFETCH(Preparation, preparation);

    const QByteArray broken = "<page>unclosed";
    if (inCache)
        writeFile(broken);
    XmlDocument document;
    QVERIFY_THROWS_EXCEPTION(PlotwiseError,
        LoadCachedPage(document, m_file, QStringLiteral("http://127.0.0.1:1/page"),
            CachedCopy::Use, preparation, fetchWith(FetchOutcome::Stored, broken)));
    QVERIFY(!QFileInfo::exists(m_file));
}

void TestCachedPage::serviceFolder_data()
{
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("folder"); // below "xml/"
    QTest::newRow("default service") << DefaultServiceBaseUrl() << "";
    QTest::newRow("default, trailing slash") << "http://127.0.0.1:8642/" << "";
    QTest::newRow("another port") << "http://127.0.0.1:9000" << "http_127.0.0.1_9000/";
    QTest::newRow("another host") << "http://localhost:8642" << "http_localhost_8642/";
    QTest::newRow("https, port implied") << "https://Example.org" << "https_example.org_443/";
    QTest::newRow("https, port given") << "https://example.org:443/" << "https_example.org_443/";
    QTest::newRow("https, another port") << "https://example.org:80" << "https_example.org_80/";
    QTest::newRow("underscore in the host") << "http://a_b:1" << "http_a%5Fb_1/";
    QTest::newRow("IPv6") << "http://[::1]:8642" << "http_%3A%3A1_8642/";
    // A path is part of the service; its "." is encoded, so that the folder
    // cannot pass for a page file.
    QTest::newRow("path") << "http://h/api/v1.xml" << "http_h_80_%2Fapi%2Fv1%2Exml/";
}

void TestCachedPage::serviceFolder()
{
    QFETCH(QString, baseUrl);
    QFETCH(QString, folder);
    QCOMPARE(CacheFolder(QStringLiteral("/p"), baseUrl), QStringLiteral("/p/xml/") + folder);
}

QTEST_GUILESS_MAIN(TestCachedPage)
#include "test_cachedpage.moc"
