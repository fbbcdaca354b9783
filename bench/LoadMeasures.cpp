#include "LoadMeasures.h"

#include "app/PlotChart.h"
#include "plot/HistoryLoader.h"
#include "service/CachePaths.h"
#include "service/FileBytes.h"
#include "service/XmlDocument.h"

#include <QChart>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>

#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <netinet/in.h>
#include <pugixml.hpp>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

long long floorWalk(const QStringList &files, const char *element)
{
    long long values = 0;
    double sum = 0;
    for (const QString &file : files) {
        pugi::xml_document doc;
        if (!doc.load_file(QFile::encodeName(file).constData()))
            continue;
        for (pugi::xml_node game : doc.first_child().children("boardgame")) {
            for (pugi::xml_node record : game.child("statistics").children("ratings")) {
                const char *date = record.attribute("date").value();
                int day = 0;
                if (std::from_chars(date, date + std::strlen(date), day).ec != std::errc())
                    continue;
                for (pugi::xml_node e : record.children(element)) {
                    const char *text = e.child_value();
                    double v = 0;
                    const auto [end, ec] = std::from_chars(text, text + std::strlen(text), v);
                    if (ec == std::errc()) {
                        sum += v + day;
                        ++values;
                    }
                }
            }
        }
    }
    return sum > 0 ? values : 0;
}

double keepAlivePagesPerSecond(quint16 port, const QStringList &targets)
{
    int sock = -1;
    const auto connectAgain = [&] {
        if (sock >= 0)
            ::close(sock);
        sock = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    };
    QElapsedTimer timer;
    timer.start();
    bool ok = connectAgain();
    std::string buffer;
    char chunk[65536];
    for (const QString &target : targets) {
        if (!ok)
            break;
        const std::string request = "GET " + target.toStdString()
            + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: bench_load\r\n\r\n";
        if (::write(sock, request.data(), request.size()) != ssize_t(request.size())) {
            ok = false;
            break;
        }
        buffer.clear();
        size_t headerEnd = std::string::npos, length = 0;
        for (;;) {
            const ssize_t got = ::read(sock, chunk, sizeof chunk);
            if (got <= 0)
                break;
            buffer.append(chunk, size_t(got));
            if (headerEnd == std::string::npos && (headerEnd = buffer.find("\r\n\r\n")) != std::string::npos) {
                const size_t at = buffer.find("Content-Length: ");
                length = at < headerEnd ? std::stoul(buffer.substr(at + 16)) : 0;
            }
            if (headerEnd != std::string::npos && buffer.size() >= headerEnd + 4 + length)
                break;
        }
        ok = headerEnd != std::string::npos && buffer.compare(0, 12, "HTTP/1.1 200") == 0
            && buffer.size() == headerEnd + 4 + length && length > 0;
        if (ok && buffer.find("Connection: close") < headerEnd)
            ok = connectAgain();
    }
    const double elapsed = seconds(timer);
    if (sock >= 0)
        ::close(sock);
    return ok ? targets.size() / elapsed : 0;
}

double fileMakingMilliseconds(const QString &folder)
{
    constexpr int Files = 200;
    QDir().mkpath(folder);
    const QByteArray page(30000, 'x');
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Files; ++i) {
        const QString name = QStringLiteral("%1/%2.xml").arg(folder).arg(i);
        UnsyncedSaveFile file(name);
        if (!file.open() || !file.write(page) || !file.commit())
            return 0;
    }
    return double(timer.nsecsElapsed()) / 1e6 / Files;
}

QStringList pageFiles(const QString &cacheFolder, const QStringList &ids)
{
    QStringList files;
    for (const QString &id : ids) {
        for (int page = 1;; ++page) {
            const QString file = HistoryPageFile(cacheFolder, id, page);
            if (!QFileInfo::exists(file))
                break;
            files << file;
        }
    }
    return files;
}

size_t loopOnly(const QString &cacheFolder, const QString &node, const QStringList &ids)
{
    XmlDocument document;
    LoadHooks hooks;
    hooks.fetchPage = [](const QString &, const QString &, bool) {
        return FetchResult { FetchOutcome::Failed, QStringLiteral("not in the cache") };
    };
    hooks.showStatus = [](const QString &) {};
    hooks.readOptions = [] { return SeriesOptions {}; };
    hooks.stopRequested = [] { return false; };
    DownloadRun run;
    HistoryLoader loader(document, cacheFolder, QString(), SplitNodeName(node), hooks, run);
    size_t points = 0;
    for (const QString &id : ids)
        points += loader.loadGame(id, id).points.size();
    return points;
}

double moveMicroseconds(PlotChart &chart, Qt::KeyboardModifiers modifiers, bool paint)
{
    const QRectF area = chart.chart()->plotArea();
    constexpr int Moves = 1000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Moves; ++i) {
        const QPointF inChart(area.left() + area.width() * i / Moves, area.center().y());
        const QPointF pos = chart.mapFromScene(chart.chart()->mapToScene(inChart));
        QMouseEvent move(QEvent::MouseMove, pos, chart.viewport()->mapToGlobal(pos), Qt::NoButton,
                         Qt::NoButton, modifiers);
        QCoreApplication::sendEvent(chart.viewport(), &move);
        if (paint)
            QCoreApplication::processEvents(); // the update the move asked for
    }
    return double(timer.nsecsElapsed()) / 1e3 / Moves;
}
