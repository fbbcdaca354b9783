#include "support/RawGet.h"

#include <QList>
#include <QTcpSocket>

RawAnswer RawGet(
    quint16 port, const QByteArray &target, const QByteArray &userAgent, const QByteArray &headers)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    RawAnswer answer;
    if (!socket.waitForConnected(5000))
        return answer;
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: " + userAgent
        + "\r\n" + headers + "Connection: close\r\n\r\n");
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        all += socket.readAll();
    all += socket.readAll();

    const qsizetype split = all.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = all.left(split).split('\n');
    answer.status = lines.value(0).split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        answer.headers.insert(
            lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    answer.body = all.mid(split + 4);
    return answer;
}
