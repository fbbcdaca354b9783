// Load benchmark, run by hand (see docs/benchmarks.md). Generates games of history pages
// with the sample-data generator and measures, in one run:
//  - a cold Load through the sample service with a latency per request (or,
//    with --archive, through plotwise-archive serving generated snapshots), and
//    the service's own pace: a plain keep-alive client fetching the same
//    pages one after another (the most a client's page loop could reach);
//  - the page loop alone (reading, walking, series building) over the warm
//    cache, and the whole Load through the offscreen main window, drawing
//    included;
//  - the floor: pugixml alone parsing the same page files and walking them
//    for the same values;
//  - peak memory after each step.
#include "app/PlotChart.h"
#include "app/u_frmMain.h"
#include "plot/HistoryLoader.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "service/FileBytes.h"
#include "service/XmlDocument.h"
#include "support/SampleService.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QChart>
#include <QPlainTextEdit>
#include <QProcess>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pugixml.hpp>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Settings {
    int games = 20;
    int pages = 55;
    int records = 100;
    int latencyMs = 20;
    int repeats = 5;
    bool archive = false;
    QString node = QStringLiteral("average");
};

// plotwise-archive serving an archive imported from generated snapshots:
// `days` daily files in which the first `games` games are ranked every day,
// so each has days / 100 full pages and an end page.
class ArchiveService
{
public:
    bool start(const QString &folder, int games, int days)
    {
        const QString snapshots = folder + QStringLiteral("/snapshots");
        const QString archive = folder + QStringLiteral("/archive.sqlite");
        m_log = folder + QStringLiteral("/requests.log");
        // Three in five games are ranked from the first day.
        if (!run(PLOTWISE_SAMPLE_SNAPSHOTS_PATH,
                { QStringLiteral("--days"), QString::number(days), QStringLiteral("--games"),
                    QString::number((games * 5 + 2) / 3), snapshots }, { 0 })
            || !run(PLOTWISE_ARCHIVE_PATH, { QStringLiteral("import"), archive, snapshots }, { 0, 1 }))
            return false;
        // The first day's file has the ID first on every line.
        QFile first(snapshots + QStringLiteral("/2016-10-12.csv"));
        if (!first.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("no first snapshot"));
        first.readLine(); // the header
        while (m_ids.size() < games && !first.atEnd())
            m_ids << QString::fromLatin1(first.readLine().split(',').value(0));
        m_process.start(QStringLiteral(PLOTWISE_ARCHIVE_PATH),
            { QStringLiteral("serve"), archive, QStringLiteral("--port"), QStringLiteral("0"),
                QStringLiteral("--log"), m_log });
        if (!m_process.waitForReadyRead(60000))
            return fail(QStringLiteral("plotwise-archive serve did not start"));
        const QByteArray line = m_process.readLine().trimmed();
        if (!line.startsWith("listening on 127.0.0.1:"))
            return fail(QString::fromLatin1(line));
        m_port = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
        return true;
    }
    ~ArchiveService()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    [[nodiscard]] QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] const QStringList &ids() const { return m_ids; }
    [[nodiscard]] QString errorString() const { return m_error; }
    [[nodiscard]] int requestCount(const QString &part) const
    {
        QFile log(m_log);
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        return int(QString::fromUtf8(log.readAll()).count(part));
    }

private:
    bool run(const char *program, const QStringList &args, const QList<int> &good)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QString::fromLocal8Bit(program), args);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
            || !good.contains(process.exitCode()))
            return fail(QStringLiteral("%1 %2 failed").arg(QString::fromLocal8Bit(program), args.value(0)));
        return true;
    }
    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }
    QProcess m_process;
    QString m_log;
    QString m_error;
    QStringList m_ids;
    quint16 m_port = 0;
};

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// This process's processor time so far (user and system), in seconds: on a
// busy machine a steadier measure of the program's own work than the clock.
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

// The floor: parse each page file with pugixml and walk it for the same
// (date, value) pairs: the record's "date" digits and the element's text,
// read as numbers, in the order the Load reads them.
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

// The service's own pace: every target fetched in turn by a blocking HTTP/1.1
// client on one keep-alive connection (a new one when the service closes it).
// Pages per second, or 0 when an answer was not a whole status-200 one.
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

// The mean time to make a file of a page's size through a temporary file
// renamed into place, as the cache does, in a new folder.
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

// Every page file of the games, in Load order: up to and including the page
// without "statistics".
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

// The page loop alone, with hooks that do nothing.
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

int intArgument(const QStringList &args, const QString &name, int value)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : value;
}

// A thousand mouse moves across the middle of the plot area, each finding
// the point under the pointer (or, with Shift held, every game's value at
// the day under it, for the date cursor): the mean time of one. With paint,
// each move's repaint of what it changed is timed with it.
double moveMicroseconds(PlotChart &chart, Qt::KeyboardModifiers modifiers, bool paint = false)
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

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The sample tools, unless the caller names others.
    if (qEnvironmentVariableIsEmpty("PLOTWISE_SAMPLE_SERVICE"))
        qputenv("PLOTWISE_SAMPLE_SERVICE", PLOTWISE_SAMPLE_SERVICE_PATH);
    if (qEnvironmentVariableIsEmpty("PLOTWISE_SAMPLE_DATA"))
        qputenv("PLOTWISE_SAMPLE_DATA", PLOTWISE_SAMPLE_DATA_PATH);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plotwise"));

    const QStringList args = app.arguments();
    Settings s;
    s.games = intArgument(args, QStringLiteral("--games"), s.games);
    s.pages = intArgument(args, QStringLiteral("--pages"), s.pages);
    s.records = intArgument(args, QStringLiteral("--records"), s.records);
    s.latencyMs = intArgument(args, QStringLiteral("--latency-ms"), s.latencyMs);
    s.repeats = std::max(1, intArgument(args, QStringLiteral("--repeats"), s.repeats));
    s.archive = args.contains(QStringLiteral("--archive"));

    // The program folder, and so the page cache, beside the benchmark, as a
    // user's is beside the program: not in /tmp, where on a busy machine
    // making a file can cost more than fetching the page.
    // --folder DIR puts it elsewhere: on a file system without a journal,
    // making a file in a block group where many were deleted in the last
    // half-minute can cost a millisecond.
    const qsizetype folderAt = args.indexOf(QStringLiteral("--folder"));
    const QString parent = folderAt >= 0 && folderAt + 1 < args.size()
        ? args.at(folderAt + 1)
        : QCoreApplication::applicationDirPath();
    QTemporaryDir folder(parent + QStringLiteral("/load-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(parent));
        return 1;
    }
    const QString programDir = folder.path();

    QStringList ids;
    std::unique_ptr<SampleService> sample;
    std::unique_ptr<ArchiveService> archive;
    if (s.archive) {
        // Each game's history is pages x records days; the archive serves
        // 100 records a page, and the sample service's latency does not apply.
        s.records = 100;
        std::printf("plotwise-archive: games %d x %d days, node \"%s\"\n", s.games,
            s.pages * s.records, qPrintable(s.node));
        archive = std::make_unique<ArchiveService>();
        if (!archive->start(folder.path(), s.games, s.pages * s.records)) {
            std::fprintf(stderr, "plotwise-archive: %s\n", qPrintable(archive->errorString()));
            return 1;
        }
        ids = archive->ids();
    } else {
        std::printf("sample service: games %d x pages %d x records %d, node \"%s\", latency %d ms\n",
            s.games, s.pages, s.records, qPrintable(s.node), s.latencyMs);
        SampleService::Options serviceOptions;
        serviceOptions.dataArgs = { QStringLiteral("--games"), QString::number(s.games),
            QStringLiteral("--pages"), QString::number(s.pages), QStringLiteral("--records"),
            QString::number(s.records) };
        serviceOptions.serviceArgs
            = { QStringLiteral("--latency-ms"), QString::number(s.latencyMs) };
        sample = std::make_unique<SampleService>(serviceOptions);
        if (!sample->start()) {
            std::fprintf(stderr, "sample service: %s\n", qPrintable(sample->errorString()));
            return 1;
        }
        for (const QFileInfo &info :
            QDir(QDir(sample->dataDir()).filePath(QStringLiteral("boardgame")))
                .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            ids << info.fileName();
    }
    const QString baseUrl = s.archive ? archive->baseUrl() : sample->baseUrl();
    const quint16 port = s.archive ? archive->port() : sample->port();
    const auto requestCount = [&](const QString &part) {
        return s.archive ? archive->requestCount(part) : sample->requestCount(part);
    };
    {
        QFile nodes(QDir(programDir).filePath(QStringLiteral("nodes.txt")));
        if (!nodes.open(QIODevice::WriteOnly))
            return 1;
        nodes.write(s.node.toUtf8() + '\n');
    }
    QDir::setCurrent(programDir);

    ScriptedDialogs dialogs;
    AppContext context;
    context.settingsFile = QDir(programDir).filePath(QStringLiteral("plotwise.ini"));
    context.cacheRoot = programDir;
    context.programName = QStringLiteral("plotwise");
    context.dialogs = &dialogs;
    context.writeSettingsOnClose = false;
    context.serviceOverride = baseUrl;
    TfrmMain window(context);
    window.resize(1280, 900);
    window.show();
    window.cboRank->setCurrentIndex(0);
    window.edtGame->setPlainText(ids.join(QStringLiteral(", ")));
    QCoreApplication::processEvents();
    const QString cacheFolder = CacheFolder(programDir, baseUrl);

    // Cold: every page through the service, first over Qt Network alone (as
    // every request went before the keep-alive client), then as the program
    // fetches now. The first Load's cache folder is moved aside, not deleted:
    // on a file system without a journal, files made where many were just
    // deleted cost far more.
    constexpr double GoalPagesPerSecond = 1000;
    int requests = 0; // of the last cold Load
    int coldRequests = 0; // of both
    double cold = 0;
    const auto coldLoad = [&](const char *label, bool keepAlive) {
        Downloader::Limits limits = window.downloader().limits();
        limits.keepAliveLoopback = keepAlive;
        window.downloader().setLimits(limits);
        window.btnClearGraphClick();
        QCoreApplication::processEvents();
        const int requestsBefore = requestCount(QStringLiteral("/xmlapi/boardgame/"));
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = cpuSeconds();
        window.runLoad();
        window.chaMain->repaintNow();
        cold = seconds(timer);
        const double coldCpu = cpuSeconds() - cpuBefore;
        requests = requestCount(QStringLiteral("/xmlapi/boardgame/")) - requestsBefore;
        coldRequests += requests;
        std::printf("%-23s %8.3f s  %d requests  %.1f pages/s (%.2f x the goal of %.0f)  "
                    "Plotwise's processor time %.2f ms a page  (peak %.1f MB)\n",
            label, cold, requests, requests / cold, requests / cold / GoalPagesPerSecond,
            GoalPagesPerSecond, 1000 * coldCpu / requests, peakMegabytes());
        if (dialogs.messages.isEmpty() && dialogs.errors.isEmpty())
            return true;
        std::fprintf(stderr, "the cold Load reported: %s\n",
            qPrintable((dialogs.messages + dialogs.errors).join(u'\n')));
        return false;
    };
    const QString cacheName = QDir(cacheFolder).absolutePath(); // without the separator
    if (!coldLoad("cold Load, Qt Network:", false)
        || !QDir().rename(cacheName, cacheName + QStringLiteral("-qt")))
        return 1;
    EnsureCacheFolder(cacheFolder);
    if (!coldLoad("cold Load:", true))
        return 1;
    std::printf("making a page file: %.3f ms in this folder (the file system's part of a page)\n",
        fileMakingMilliseconds(programDir + QStringLiteral("/probe")));

    // The service's own pace over the same pages, best of the repeats.
    QStringList targets;
    for (const QString &id : ids) {
        for (int page = 1; QFileInfo::exists(HistoryPageFile(cacheFolder, id, page)); ++page)
            targets << HistoryPageUrl(QString(), id, page);
    }
    double servicePace = 0;
    for (int i = 0; i < s.repeats; ++i)
        servicePace = std::max(servicePace, keepAlivePagesPerSecond(port, targets));
    std::printf("service:    %8.1f pages/s  one keep-alive client, same pages  (Load: %.2f x)\n",
        servicePace, servicePace > 0 ? requests / cold / servicePace : 0.0);

    const QStringList files = pageFiles(cacheFolder, ids);
    qint64 bytes = 0;
    for (const QString &file : files)
        bytes += QFileInfo(file).size();
    std::printf("cache: %lld page files, %.1f MB\n", (long long)files.size(), bytes / 1048576.0);

    // The three are taken in turn, best of each, so that other work on the
    // machine weighs on all of them alike.
    const QByteArray element = s.node.toUtf8();
    double floor = 0, loop = 0, whole = 0;
    long long floorValues = 0;
    size_t loopPoints = 0;
    const auto best = [](double &best, double t) { best = best == 0 ? t : std::min(best, t); };
    for (int i = 0; i < s.repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        floorValues = floorWalk(files, element.constData());
        best(floor, seconds(timer));
        timer.restart();
        loopPoints = loopOnly(cacheFolder, s.node, ids);
        best(loop, seconds(timer));
        window.btnClearGraphClick();
        QCoreApplication::processEvents();
        timer.restart();
        window.runLoad();
        window.chaMain->repaintNow();
        best(whole, seconds(timer));
    }
    std::printf("floor:      %8.3f s  pugixml parse + walk, %lld values\n", floor, floorValues);
    std::printf("page loop:  %8.3f s  %.2f x floor, %zu points\n", loop, loop / floor, loopPoints);
    std::printf("whole Load: %8.3f s  %.2f x floor, %d series\n", whole, whole / floor,
        window.chaMain->seriesCount());
    std::printf("read-out:   %8.1f us a mouse move over %d series\n",
        moveMicroseconds(*window.chaMain, Qt::NoModifier), window.chaMain->seriesCount());
    std::printf("date cursor: %7.1f us a mouse move over %d series (goal 2000 us)\n",
        moveMicroseconds(*window.chaMain, Qt::ShiftModifier), window.chaMain->seriesCount());
    std::printf("with repaint: read-out %.1f us, date cursor %.1f us a move\n",
        moveMicroseconds(*window.chaMain, Qt::NoModifier, true),
        moveMicroseconds(*window.chaMain, Qt::ShiftModifier, true));
    std::printf("peak memory: %.1f MB\n", peakMegabytes());
    std::printf("warm requests: %d\n",
        requestCount(QStringLiteral("/xmlapi/boardgame/")) - coldRequests
            - targets.size() * s.repeats);
    return 0;
}
