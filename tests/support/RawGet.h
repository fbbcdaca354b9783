// A plain-socket HTTP GET for the tests of the loopback services.
#pragma once

#include <QByteArray>
#include <QMap>

// An HTTP answer as a server wrote it.
struct RawAnswer {
    int status = 0;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// One GET request over a plain socket to 127.0.0.1:port, so that status,
// headers and the bytes sent are seen exactly as the server wrote them. The
// target and the User-Agent go as they are, whatever bytes they hold;
// headers are more header lines, each ending in "\r\n".
RawAnswer RawGet(quint16 port, const QByteArray &target, const QByteArray &userAgent = "raw-check",
    const QByteArray &headers = {});
