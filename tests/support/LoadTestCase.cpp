#include "support/LoadTestCase.h"

#include "app/PlotChart.h"
#include "service/Downloader.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

namespace {

// One record a page: page n is dated 2009-01-0n and holds "average" and a
// ranked "rank" element with the given values.
QByteArray recordPage(const QByteArray &names, int day, const QByteArray &average, int rank)
{
    const QByteArray date = "200901" + QByteArray::number(day).rightJustified(2, '0');
    return HistoryPageXml(names,
        "<ratings date=\"" + date + "\"><average>" + average
            + "</average><ranks><rank name=\"boardgame\" value=\"" + QByteArray::number(rank)
            + "\"/></ranks></ratings>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

// Games 13 (three pages, a primary name with "&"), 822 (two pages), 7 (no
// names) and 5 (no values) in the sample service's folder layout.
void writeGames(const QString &dataDir)
{
    const auto page = [&](const char *id, const QString &name, const QByteArray &bytes) {
        writeFile(QDir(dataDir).filePath(
                      QStringLiteral("boardgame/%1/%2.xml").arg(QLatin1String(id), name)),
            bytes);
    };
    const QByteArray names13 = "<name>Dreizehn</name><name primary=\"true\">A &amp; B</name>";
    page("13", QStringLiteral("1"), recordPage(names13, 1, "100", 5));
    page("13", QStringLiteral("2"), recordPage(names13, 2, "90", 7));
    page("13", QStringLiteral("3"), recordPage(names13, 3, "95.5", 6));
    page("13", QStringLiteral("end"), HistoryPageXml(names13, "", false));
    const QByteArray names822 = "<name>Eight</name>";
    page("822", QStringLiteral("1"), recordPage(names822, 1, "7.5", 40));
    page("822", QStringLiteral("2"), recordPage(names822, 2, "8", 30));
    page("822", QStringLiteral("end"), HistoryPageXml(names822, "", false));
    page("7", QStringLiteral("1"), recordPage("", 1, "1", 1));
    page("7", QStringLiteral("end"), HistoryPageXml("", "", false));
    // Game 5 holds records without the plotted values.
    const QByteArray names5 = "<name>Empty</name>";
    page("5", QStringLiteral("1"),
        HistoryPageXml(names5, "<ratings date=\"20090101\"><owned>3</owned></ratings>"));
    page("5", QStringLiteral("end"), HistoryPageXml(names5, "", false));
}

} // namespace

QList<double> valuesOf(const PlotSeries *series)
{
    QList<double> values;
    for (const SeriesPoint &p : series->points())
        values << p.y;
    return values;
}

void LoadTestCase::initTestCase()
{
    writeGames(m_data.path());
}

void LoadTestCase::init()
{
    startService();
}

void LoadTestCase::startService(const QStringList &serviceArgs)
{
    m_service.reset();
    SampleService::Options options;
    options.dataDir = m_data.path();
    options.serviceArgs = serviceArgs;
    m_service = std::make_unique<SampleService>(options);
    QVERIFY2(m_service->start(), qPrintable(m_service->errorString()));
}

void LoadTestCase::cleanup()
{
    for (const auto &c : std::as_const(m_connections))
        QObject::disconnect(c);
    m_connections.clear();
    m_window.reset();
    m_service.reset();
}

MainWindowFixture &LoadTestCase::openWindow(const QString &baseUrl)
{
    MainWindowFixture::Setup setup;
    setup.nodes = QByteArrayLiteral("average\nranks/rank|name=boardgame\n");
    setup.serviceOverride = baseUrl;
    m_window = std::make_unique<MainWindowFixture>(setup);
    Downloader::Limits limits;
    limits.maxAttempts = 1;
    limits.idleTimeoutMs = 5000;
    limits.totalTimeoutMs = 20000;
    (*m_window)->downloader().setLimits(limits);
    return *m_window;
}

void LoadTestCase::load(const QString &node, const QString &games)
{
    TfrmMain &w = m_window->window();
    w.cboRank->setCurrentIndex(w.cboRank->findText(node));
    w.edtGame->setPlainText(games);
    QTest::mouseClick(w.btnLoad, Qt::LeftButton);
}

void LoadTestCase::onStatus(const QString &text, std::function<void()> fn)
{
    auto done = std::make_shared<bool>(false);
    m_connections << connect(m_window->window().stbMain, &QStatusBar::messageChanged, this,
        [text, fn, done](const QString &shown) {
            if (*done || shown != text)
                return;
            *done = true;
            fn();
        });
}
