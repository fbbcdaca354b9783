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
#include "LoadArchiveService.h"
#include "LoadMeasures.h"

#include "app/PlotChart.h"
#include "app/u_frmMain.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "support/SampleService.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>

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

int intArgument(const QStringList &args, const QString &name, int value)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : value;
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
    std::unique_ptr<LoadArchiveService> archive;
    if (s.archive) {
        // Each game's history is pages x records days; the archive serves
        // 100 records a page, and the sample service's latency does not apply.
        s.records = 100;
        std::printf("plotwise-archive: games %d x %d days, node \"%s\"\n", s.games,
            s.pages * s.records, qPrintable(s.node));
        archive = std::make_unique<LoadArchiveService>();
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
