// Downloads from servers that misbehave on the connection: nothing listening,
// redirects without end or to a local file, a kept connection closed.
#include "service/Downloader.h"
#include "support/DownloaderTests.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using Failure = Downloader::Failure;
using namespace DownloaderTests;

namespace {

// Answers the requests on 127.0.0.1 as answerFor says, given how many
// requests came before on the same connection; an empty answer closes the
// connection without answering. Counts connections and requests.
class ScriptedServer : public QTcpServer
{
public:
    explicit ScriptedServer(std::function<QByteArray(int)> answerFor)
        : m_answerFor(std::move(answerFor))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_pending[socket] += socket->readAll();
                    while (m_pending[socket].contains("\r\n\r\n")) {
                        m_pending[socket].remove(0, m_pending[socket].indexOf("\r\n\r\n") + 4);
                        ++requests;
                        const QByteArray answer = m_answerFor(m_answered[socket]++);
                        if (answer.isEmpty()) {
                            socket->abort();
                            return;
                        }
                        socket->write(answer);
                    }
                });
            }
        });
    }
    int connections = 0;
    int requests = 0;

private:
    std::function<QByteArray(int)> m_answerFor;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QHash<QTcpSocket *, int> m_answered;
};

} // namespace

class DownloaderConnectionsTest : public QObject
{
    Q_OBJECT
private slots:
    void unreachableService_data();
    void unreachableService();
    void redirectsRefused_data();
    void redirectsRefused();
    void keptConnectionClosed_data();
    void keptConnectionClosed();
};

void DownloaderConnectionsTest::unreachableService_data()
{
    QTest::addColumn<bool>("keepAlive"); // Limits::keepAliveLoopback
    QTest::newRow("keep-alive") << true;
    QTest::newRow("Qt Network") << false;
}

void DownloaderConnectionsTest::unreachableService()
{
    QFETCH(bool, keepAlive);
    // A port that was free a moment ago: nothing listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();

    QTemporaryDir cache;
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    WriteOld(page);
    Downloader::Limits limits = TestLimits();
    limits.keepAliveLoopback = keepAlive;
    Downloader downloader(Agent, limits);
    QVERIFY(
        !downloader.DownloadFile(QStringLiteral("http://127.0.0.1:%1").arg(port) + Page1, page));
    QCOMPARE(downloader.lastFailure(), Failure::Unreachable);
    QCOMPARE(downloader.lastError(), QStringLiteral("connection refused"));
    QCOMPARE(FilesIn(cache.path()), QStringList {});
}

void DownloaderConnectionsTest::redirectsRefused_data()
{
    QTest::addColumn<bool>("keepAlive"); // Limits::keepAliveLoopback
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<int>("requests"); // at most (Qt Network sends some twice)

    for (const bool keepAlive : { true, false }) {
        const auto row = [keepAlive](const char *name) -> QTestData & {
            return QTest::addRow("%s, %s", keepAlive ? "keep-alive" : "Qt Network", name)
                << keepAlive;
        };
        // Qt Network's bound of 50 redirects holds for both.
        row("redirected without end") << QByteArray("/again") << 102;
        // A service never makes the downloader read a file of this machine.
        row("redirected to a local file") << QByteArray("file:///etc/hostname") << 1;
    }
}

void DownloaderConnectionsTest::redirectsRefused()
{
    QFETCH(bool, keepAlive);
    QFETCH(QByteArray, location);
    QFETCH(int, requests);

    ScriptedServer server([&location](int) {
        return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
    });
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir cache;
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    Downloader::Limits limits = TestLimits();
    limits.keepAliveLoopback = keepAlive;
    Downloader downloader(Agent, limits);
    QVERIFY(!downloader.DownloadFile(
        QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()) + Page1, page));
    QCOMPARE(downloader.lastFailure(), Failure::HttpStatus);
    QCOMPARE(downloader.lastError(), QStringLiteral("HTTP 302"));
    QVERIFY2(server.requests >= 1 && server.requests <= requests,
        qPrintable(QString::number(server.requests)));
    QCOMPARE(FilesIn(cache.path()), QStringList {});
}

void DownloaderConnectionsTest::keptConnectionClosed_data()
{
    QTest::addColumn<int>("answered"); // requests answered on each connection
    QTest::addColumn<bool>("stored"); // the second download
    QTest::addColumn<int>("requests");

    // The service closed the kept connection as the next request went out:
    // it is sent once more, on a new connection.
    QTest::newRow("closed after one answer") << 1 << true << 3;
    // Sent once more only: a service that never answers is a failure.
    QTest::newRow("never answers") << 0 << false << 2;
}

void DownloaderConnectionsTest::keptConnectionClosed()
{
    QFETCH(int, answered);
    QFETCH(bool, stored);
    QFETCH(int, requests);

    const QByteArray body = "<boardgames/>";
    ScriptedServer server([&](int before) {
        return before < answered ? "HTTP/1.1 200 OK\r\nContent-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body
                                 : QByteArray();
    });
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir cache;
    Downloader::Limits limits = TestLimits();
    limits.maxAttempts = 1;
    Downloader downloader(Agent, limits);
    const QString url = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()) + Page1;
    if (answered > 0)
        QVERIFY(downloader.DownloadFile(url, cache.filePath(QStringLiteral("first.xml"))));
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    QCOMPARE(downloader.DownloadFile(url, page), stored);
    QCOMPARE(ReadAll(page), stored ? body : QByteArray());
    if (!stored)
        QCOMPARE(downloader.lastError(), QStringLiteral("connection closed without an answer"));
    QCOMPARE(server.requests, requests);
    QCOMPARE(server.connections, 2);
}

QTEST_GUILESS_MAIN(DownloaderConnectionsTest)
#include "test_downloaderconnections.moc"
