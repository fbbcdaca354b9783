#include "support/TestSupport.h"

#include "app/PlotChart.h"

#include <QTcpSocket>
#include <QtGlobal>

#include <csignal>

QString TestDataDir()
{
    return qEnvironmentVariable("PLOTWISE_TEST_DATA");
}

QByteArray HistoryPageXml(const QByteArray &names, const QByteArray &records, bool statistics)
{
    QByteArray game = names;
    if (statistics)
        game += "<statistics page=\"1\">" + records + "</statistics>";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<boardgames>\n<boardgame objectid=\"1\">"
        + game + "</boardgame>\n</boardgames>\n";
}

RawAnswer RawGet(quint16 port, const QByteArray &target)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    RawAnswer answer;
    if (!socket.waitForConnected(5000))
        return answer;
    socket.write("GET " + target
        + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: raw-check\r\n"
          "Connection: close\r\n\r\n");
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

QStringList SeriesTitles(const PlotChart *chart)
{
    QStringList titles;
    for (const PlotSeries *series : chart->series())
        titles << series->title();
    return titles;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit small = m_saved;
    small.rlim_cur = bytes;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &small) != 0)
        qFatal("cannot set the file size limit");
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
}
