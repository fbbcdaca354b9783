// plotwise-archive serve and its clients: slow and vanishing ones, the
// address it listens on, rude requests, and connections per address.
#include "support/ArchiveService.h"
#include "support/ArchiveTests.h"
#include "support/RawGet.h"
#include "support/TestSupport.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/socket.h>

namespace {

// What a server wrote back to bytes sent at once on one connection: the
// status and body of each of the first answers, and whether it then closed.
struct Exchange {
    QList<int> statuses;
    QByteArrayList bodies;
    bool closed = false;
};

Exchange Exchanged(quint16 port, const QByteArray &bytes, qsizetype answers, bool halfClose)
{
    Exchange exchange;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return exchange;
    socket.write(bytes);
    socket.waitForBytesWritten(5000);
    if (halfClose)
        ::shutdown(int(socket.socketDescriptor()), SHUT_WR);
    QByteArray all;
    while (exchange.statuses.size() < answers) {
        const qsizetype end = all.indexOf("\r\n\r\n");
        const QByteArray head = all.left(end).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype length = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (end >= 0 && all.size() >= end + 4 + length) {
            exchange.statuses << all.mid(9, 3).toInt();
            exchange.bodies << all.mid(end + 4, length);
            all.remove(0, end + 4 + length);
        } else if (!socket.waitForReadyRead(10000)) {
            return exchange;
        } else {
            all += socket.readAll();
        }
    }
    exchange.closed = socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(10000);
    return exchange;
}

} // namespace

class TestArchiveConnections : public QObject
{
    Q_OBJECT
private slots:
    void slowAndVanishingClientsWaitForNobody();
    void listenAddress_data();
    void listenAddress();
    void rudeRequests_data();
    void rudeRequests();
    void connectionsPerAddress();
};

// Clients that send half a request and wait, or leave mid-request, hold up
// nobody: a request is answered while they are still connected.
void TestArchiveConnections::slowAndVanishingClientsWaitForNobody()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    QCOMPARE(Archive({ "import", archive, GeneratedSnapshots("small", { "--days", "12", "--games", "40" }) }).status, 0);
    ArchiveService service(archive);
    QVERIFY(service.port() != 0);
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 8; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, service.port());
        QVERIFY(socket->waitForConnected(5000));
        socket->write("GET /xmlapi/boardgame/90?histo");
        QVERIFY(socket->waitForBytesWritten(5000));
        slow.push_back(std::move(socket));
    }
    for (int i = 0; i < 4; ++i) {
        QTcpSocket leaving;
        leaving.connectToHost(QHostAddress::LocalHost, service.port());
        QVERIFY(leaving.waitForConnected(5000));
        leaving.write(PageTarget(90, "1").prepend("GET ") + " HTTP/1.1\r\nHost: x\r\n\r\n");
        leaving.waitForBytesWritten(5000);
        leaving.abort();
    }
    QCOMPARE(RawGet(service.port(), PageTarget(90, "1")).status, 200);
    for (const auto &socket : slow)
        QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
}

// The service answers on 127.0.0.1, or the address --listen gives, only.
void TestArchiveConnections::listenAddress_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("answering"); // empty: refused at the start
    QTest::addColumn<QString>("silent");
    QTest::newRow("by default") << QStringList() << "127.0.0.1" << "127.0.0.2";
    QTest::newRow("another address") << QStringList { "--listen", "127.0.0.2" } << "127.0.0.2" << "127.0.0.1";
    QTest::newRow("a name") << QStringList { "--listen", "localhost" } << QString() << QString();
}

void TestArchiveConnections::listenAddress()
{
    QFETCH(QStringList, options);
    QFETCH(QString, answering);
    QFETCH(QString, silent);
    ArchiveService service(CachingArchive(), options);
    if (answering.isEmpty()) {
        QCOMPARE(service.port(), 0);
        QVERIFY2(service.errors().contains("serve: --listen takes a numeric IPv4 or IPv6 address"),
            qPrintable(service.errors()));
        return;
    }
    QCOMPARE(service.address(), answering);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(answering), service.port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(PageTarget(13, "1").prepend("GET ") + " HTTP/1.1\r\nHost: x\r\n\r\n");
    while (!socket.canReadLine() && socket.waitForReadyRead(10000)) {
    }
    QCOMPARE(socket.readLine(), QByteArray("HTTP/1.1 200 OK\r\n"));
    QTcpSocket other;
    other.connectToHost(QHostAddress(silent), service.port());
    QVERIFY(!other.waitForConnected(5000));
    QCOMPARE(other.error(), QAbstractSocket::ConnectionRefusedError);
}

// Requests too large, with a body, pipelined, half-closed: each answered at
// once as it should be; the rude ones with the connection closed, their
// excess never waited for.
void TestArchiveConnections::rudeRequests_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("halfClose");
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<QByteArrayList>("bodies"); // each held by its answer
    QTest::addColumn<bool>("closes");

    const QByteArray get = "GET " + PageTarget(13, "1") + " HTTP/1.1\r\nHost: x\r\n";
    QByteArray headers;
    for (int i = 0; i < 5; ++i)
        headers += "X-Big-" + QByteArray::number(i) + ": " + QByteArray(7000, 'v') + "\r\n";
    QTest::newRow("a request line over 8 KB")
        << "GET /xmlapi/search?search=" + QByteArray(9000, 'q') + " HTTP/1.1\r\nHost: x\r\n\r\n" << false
        << QList<int> { 414 } << QByteArrayList { "414" } << true;
    QTest::newRow("headers over 32 KB") << get + headers + "\r\n" << false << QList<int> { 431 }
                                        << QByteArrayList { "431" } << true;
    QTest::newRow("a GET with a body over 1 KB, never sent")
        << get + "Content-Length: 2000\r\n\r\n" << false << QList<int> { 413 } << QByteArrayList { "413" } << true;
    QTest::newRow("a GET with a body in chunks") << get + "Transfer-Encoding: chunked\r\n\r\n" << false
                                                 << QList<int> { 413 } << QByteArrayList { "413" } << true;
    QTest::newRow("a GET with a small body") << get + "Content-Length: 10\r\n\r\n0123456789" << false
                                             << QList<int> { 200 } << QByteArrayList { "page=\"1\"" } << false;
    QTest::newRow("pipelined requests, answered in order")
        << get + "\r\nGET " + PageTarget(13, "2") + " HTTP/1.1\r\nHost: x\r\n\r\n"
            + "GET /xmlapi/search?search=alpha HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
        << false << QList<int> { 200, 200, 200 }
        << QByteArrayList { "page=\"1\"", "page=\"2\"", "objectid=\"13\"" } << true;
    QTest::newRow("half-closed after the request") << get + "\r\n" << true << QList<int> { 200 }
                                                   << QByteArrayList { "page=\"1\"" } << true;
    QTest::newRow("a head never finished, closed at the deadline")
        << get << false << QList<int> {} << QByteArrayList {} << true;
    QTest::newRow("a method other than GET") << QByteArray("DELETE /xmlapi/search?search=a HTTP/1.1\r\nHost: x\r\n\r\n")
                                             << false << QList<int> { 405 } << QByteArrayList { "405" } << true;
}

void TestArchiveConnections::rudeRequests()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, halfClose);
    QFETCH(QList<int>, statuses);
    QFETCH(QByteArrayList, bodies);
    QFETCH(bool, closes);
    // Idle connections are closed after 60 s; a head must be whole in 2.
    static ArchiveService service(CachingArchive(), { "--head-seconds", "2" });
    QVERIFY(service.port() != 0);
    const Exchange exchange = Exchanged(service.port(), bytes, statuses.size(), halfClose);
    QCOMPARE(exchange.statuses, statuses);
    for (qsizetype i = 0; i < bodies.size(); ++i)
        QVERIFY2(exchange.bodies[i].contains(bodies[i]), exchange.bodies[i].left(300).constData());
    if (closes)
        QVERIFY(exchange.closed);
}

// Past --per-address connections from one address, the next is closed at
// once, unanswered; those held go on being answered.
void TestArchiveConnections::connectionsPerAddress()
{
    ArchiveService service(CachingArchive(), { "--per-address", "2" });
    QVERIFY(service.port() != 0);
    std::vector<std::unique_ptr<QTcpSocket>> held;
    const QByteArray request = "GET " + PageTarget(13, "3") + " HTTP/1.1\r\nHost: x\r\n\r\n";
    const auto answered = [&](QTcpSocket &socket) {
        socket.write(request);
        QByteArray all;
        while (!all.contains("</boardgames>") && socket.waitForReadyRead(10000))
            all += socket.readAll();
        return all.startsWith("HTTP/1.1 200");
    };
    for (int i = 0; i < 2; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, service.port());
        QVERIFY(held.back()->waitForConnected(5000));
        QVERIFY(answered(*held.back()));
    }
    QTcpSocket third;
    third.connectToHost(QHostAddress::LocalHost, service.port());
    QVERIFY(third.waitForConnected(5000));
    third.write(request);
    QVERIFY(third.state() == QAbstractSocket::UnconnectedState || third.waitForDisconnected(10000));
    QCOMPARE(third.readAll(), QByteArray());
    QVERIFY(answered(*held.front()));
}

QTEST_GUILESS_MAIN(TestArchiveConnections)
#include "test_archiveconnections.moc"
