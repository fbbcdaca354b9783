// plotwise-sample-service: answers the service's three requests (history
// pages, name search, geeklists) from a sample data folder, over HTTP on
// 127.0.0.1 only, with an optional delay and injected faults. Every request is
// logged as it arrives, so a test that got an answer finds its request logged.
#include "FaultRules.h"
#include "SampleDataLayout.h"
#include "service/CachePaths.h"
#include "service/HttpCaching.h"
#include "service/LocalHttp.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pugixml.hpp>
#include <random>
#include <sstream>
#include <thread>

namespace {

std::optional<std::string> ReadFile(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll().toStdString();
}

bool AllDigits(const std::string &text)
{
    return !text.empty() && text.size() < 10
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Each blank-separated word must occur in one name of the game, ignoring case.
bool NameMatches(const QString &name, const QStringList &words)
{
    const QString folded = name.toCaseFolded();
    return std::all_of(words.begin(), words.end(),
        [&](const QString &w) { return folded.contains(w.toCaseFolded()); });
}

// An HTTP date (always GMT) seconds from now.
std::string HttpDate(int seconds)
{
    const QDateTime when = QDateTime::currentDateTimeUtc().addSecs(seconds);
    return QLocale::c()
        .toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
        .toStdString();
}

class Service
{
public:
    QString dataDir;
    int latencyMs = 0;
    bool entityTags = false; // history pages carry ETag and answer 304
    FaultRules faults;
    std::FILE *log = stderr;

    void handle(const httplib::Request &req, httplib::Response &res)
    {
        logRequest(req);
        if (latencyMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));

        // "/moved" is where redirects lead: served like the plain request and
        // never faulted, so a redirect rule cannot loop.
        const QString target = QString::fromStdString(req.target);
        std::string path = req.path;
        std::optional<Fault> fault;
        if (path.starts_with("/moved/"))
            path.erase(0, 6);
        else
            fault = faults.take(target);

        if (fault && fault->kind == Fault::Kind::Redirect) {
            res.set_redirect("/moved" + req.target, 302);
            return;
        }
        HttpAnswer answer = serve(path, req);
        if (fault)
            inject(*fault, answer, req, res);
        else
            SendAnswer(answer, res);
    }

private:
    std::mutex m_logMutex;

    void logRequest(const httplib::Request &req)
    {
        const std::lock_guard lock(m_logMutex);
        std::fputs(RequestLogLine(req).c_str(), log);
        std::fflush(log);
    }

    HttpAnswer serve(const std::string &path, const httplib::Request &req) const
    {
        static const std::string game = "/xmlapi/boardgame/", list = "/xmlapi/geeklist/";
        if (path.starts_with(game) && AllDigits(path.substr(game.size())))
            return historyPage(QString::fromStdString(path.substr(game.size())), req);
        if (path.starts_with(list) && AllDigits(path.substr(list.size()))) {
            const auto body = ReadFile(
                SampleGeeklistPath(dataDir, QString::fromStdString(path.substr(list.size()))));
            return body ? HttpAnswer { 200, *body } : HttpErrorAnswer(404);
        }
        if (path == "/xmlapi/search")
            return search(QString::fromStdString(req.get_param_value("search")));
        return HttpErrorAnswer(404);
    }

    // Pages past a game's history get its last page, which has no
    // "statistics"; an unknown game is not found.
    HttpAnswer historyPage(const QString &id, const httplib::Request &req) const
    {
        bool ok = false;
        const int page
            = QLocale::c().toInt(QString::fromStdString(req.get_param_value("page")), &ok);
        if (!ok || page < 1)
            return HttpErrorAnswer(400);
        QString path = SampleHistoryPagePath(dataDir, id, page);
        auto body = ReadFile(path);
        if (!body)
            body = ReadFile(path = SampleEndPagePath(dataDir, id));
        if (!body)
            return HttpErrorAnswer(404);
        HttpAnswer answer { 200, *body };
        if (entityTags)
            AnswerConditionally(
                answer, req, QFileInfo(path).lastModified().toSecsSinceEpoch(), std::string());
        return answer;
    }

    HttpAnswer search(const QString &query) const
    {
        const QStringList words = query.split(u' ', Qt::SkipEmptyParts);
        std::ostringstream out;
        out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<boardgames>\n";
        pugi::xml_document index;
        const QByteArray indexPath = QFile::encodeName(SampleSearchIndexPath(dataDir));
        if (!words.isEmpty() && index.load_file(indexPath.constData())) {
            for (const pugi::xml_node game : index.document_element().children("boardgame")) {
                const bool found = std::any_of(game.children("name").begin(),
                    game.children("name").end(), [&](const pugi::xml_node name) {
                        return NameMatches(QString::fromUtf8(name.text().get()), words);
                    });
                if (found)
                    game.print(out, "  ", pugi::format_indent, pugi::encoding_utf8, 1);
            }
        }
        out << "</boardgames>\n";
        return { 200, out.str() };
    }

    static void inject(const Fault &fault, const HttpAnswer &answer, const httplib::Request &req,
        httplib::Response &res)
    {
        using namespace std::chrono;
        const std::string body = answer.body;
        switch (fault.kind) {
        case Fault::Kind::Status:
            SendAnswer(fault.status == 200 ? answer : HttpErrorAnswer(fault.status), res);
            if (fault.retryAfterSeconds >= 0)
                res.set_header("Retry-After", std::to_string(fault.retryAfterSeconds));
            if (fault.retryDateSeconds >= 0)
                res.set_header("Retry-After", HttpDate(fault.retryDateSeconds));
            return;
        case Fault::Kind::Random: {
            // A fixed generator, so every answer holds the same bytes.
            std::mt19937 generator(20240229);
            std::string bytes(size_t(fault.bytes), '\0');
            for (char &c : bytes)
                c = char(generator() & 0xFF);
            SendAnswer({ 200, bytes, "application/octet-stream" }, res);
            return;
        }
        case Fault::Kind::Deep: {
            std::string deep = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                               "<boardgames><boardgame objectid=\"1001\">";
            for (int i = 0; i < fault.depth; ++i)
                deep += "<name>";
            for (int i = 0; i < fault.depth; ++i)
                deep += "</name>";
            SendAnswer({ 200, deep + "</boardgame></boardgames>\n" }, res);
            return;
        }
        case Fault::Kind::OtherRoot:
            SendAnswer({ 200,
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<html><head><title>Maintenance"
                     "</title></head><body><p>Back soon &amp; thanks.</p></body></html>\n" },
                res);
            return;
        case Fault::Kind::NoGames:
            SendAnswer({ 200,
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<boardgames termsofuse=\"x\">"
                     "<notice>Nothing here</notice></boardgames>\n" },
                res);
            return;
        case Fault::Kind::Statistics: {
            // One record a page, a day later on each page, and always more.
            const int page = std::max(1, std::atoi(req.get_param_value("page").c_str()));
            const std::string date = QDate(2000, 1, 1)
                                         .addDays(page)
                                         .toString(QStringLiteral("yyyyMMdd"))
                                         .toStdString();
            SendAnswer({ 200,
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<boardgames><boardgame>"
                     "<name primary=\"true\">Endless</name><statistics page=\""
                         + std::to_string(page) + "\"><ratings date=\"" + date + "\"><average>"
                         + std::to_string(page % 10) + "</average><usersrated>"
                         + std::to_string(page)
                         + "</usersrated></ratings></statistics></boardgame></boardgames>\n" },
                res);
            return;
        }
        case Fault::Kind::NotXml:
            SendAnswer({ 200,
                     "<!DOCTYPE html><html><head><title>Busy</title></head><body>"
                     "<p>Please try again later.<br></body></html>\n",
                     "text/html" },
                res);
            return;
        case Fault::Kind::Broken:
            res.set_content_provider(
                body.size(), XmlContentType, [body](size_t, size_t, httplib::DataSink &sink) {
                    sink.write(body.data(), body.size() / 2);
                    return false;
                });
            return;
        case Fault::Kind::Trickle:
            res.set_content_provider(body.size(), XmlContentType,
                [body, interval = milliseconds(fault.intervalMs)](
                    size_t offset, size_t, httplib::DataSink &sink) {
                    std::this_thread::sleep_for(interval);
                    return sink.write(body.data() + offset, 1);
                });
            return;
        case Fault::Kind::Huge:
            // Sent as a type the library does not compress (chunked bodies of
            // text types it would pack).
            res.set_chunked_content_provider("application/octet-stream",
                [total = fault.bytes](size_t offset, httplib::DataSink &sink) {
                    static const std::string block = [] {
                        std::string b;
                        while (b.size() < 65536)
                            b += "<!-- filler filler filler -->\n";
                        return b;
                    }();
                    const long long left = total - (long long)offset;
                    if (left <= 0) {
                        sink.done();
                        return true;
                    }
                    return sink.write(block.data(), size_t(std::min<long long>(left, 65536)));
                });
            return;
        case Fault::Kind::Redirect:
            return; // answered before serving
        }
    }
};

[[noreturn]] void Usage(int code)
{
    std::fprintf(code ? stderr : stdout,
        "usage: plotwise-sample-service [--port N] [--data DIR] [--latency-ms N]\n"
        "                               [--log FILE] [--fail RULE]... [--etags]\n"
        "  --port N        port on 127.0.0.1 (default %d; 0 picks a free one)\n"
        "  --data DIR      sample data folder (default: current folder)\n"
        "  --latency-ms N  delay before every answer\n"
        "  --log FILE      append one line per request (default: standard error)\n"
        "  --etags         history pages carry ETag and Last-Modified, and a matching\n"
        "                  If-None-Match or If-Modified-Since is answered 304\n"
        "  --fail RULE     PATTERN=WHAT[,retry-after=S][,retry-date=S][,times=K]"
        "[,interval-ms=N][,bytes=N][,depth=N]\n"
        "                  PATTERN matches the request target, * for any text;\n"
        "                  WHAT is a status or broken, notxml, trickle, huge, redirect,\n"
        "                  random, deep, otherroot, nogames, statistics\n"
        "The first line on standard output is \"listening on 127.0.0.1:PORT\".\n",
        int(SampleServiceDefaultPort));
    std::exit(code);
}

int NumberOption(const QStringList &args, qsizetype &i, int max)
{
    bool ok = false;
    const int value = i + 1 < args.size() ? QLocale::c().toInt(args[++i], &ok) : -1;
    if (!ok || value < 0 || value > max)
        Usage(2);
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Service service;
    service.dataDir = QStringLiteral(".");
    int port = SampleServiceDefaultPort;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--port") {
            port = NumberOption(args, i, 65535);
        } else if (arg == u"--latency-ms") {
            service.latencyMs = NumberOption(args, i, 600000);
        } else if (arg == u"--etags") {
            service.entityTags = true;
        } else if (arg == u"--data" && hasValue) {
            service.dataDir = args[++i];
        } else if (arg == u"--log" && hasValue) {
            service.log = std::fopen(QFile::encodeName(args[++i]).constData(), "a");
            if (!service.log) {
                std::perror("plotwise-sample-service: --log");
                return 1;
            }
        } else if (arg == u"--fail" && hasValue) {
            if (const auto error = service.faults.add(args[++i])) {
                std::fprintf(stderr, "plotwise-sample-service: --fail: %s\n", qPrintable(*error));
                return 2;
            }
        } else {
            Usage(arg == u"--help" ? 0 : 2);
        }
    }
    if (!QFileInfo(service.dataDir).isDir()) {
        std::fprintf(
            stderr, "plotwise-sample-service: no data folder %s\n", qPrintable(service.dataDir));
        return 1;
    }

    httplib::Server server;
    server.Get(".*",
        [&](const httplib::Request &req, httplib::Response &res) { service.handle(req, res); });
    return ListenOnLoopback(server, port, "plotwise-sample-service") ? 0 : 1;
}
