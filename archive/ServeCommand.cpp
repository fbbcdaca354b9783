// plotwise-archive serve: answers history pages, the name search, geeklists
// (never held) and the ranking lists from an archive, over HTTP on 127.0.0.1
// or the address given.
#include "archive/ArchiveListSource.h"
#include "archive/ArchivePages.h"
#include "archive/ArchiveReader.h"
#include "archive/Commands.h"
#include "archive/Decimal.h"
#include "archive/ListQuery.h"
#include "service/HttpCaching.h"
#include "service/HttpServer.h"
#include "service/LocalHttp.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>

namespace {

bool AllDigits(std::string_view text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class Service
{
public:
    Service(ArchiveReader &reader, std::string archive, int64_t maxAge, std::FILE *log)
        : m_reader(reader)
        , m_archive(std::move(archive))
        , m_maxAge(maxAge)
        , m_log(log)
    {
    }

    HttpAnswer handle(const HttpRequest &req)
    {
        if (m_log) {
            const std::lock_guard lock(m_logMutex);
            std::fputs(RequestLogLine(req).c_str(), m_log);
            std::fflush(m_log);
        }
        try {
            return serve(req);
        } catch (const std::exception &e) {
            Complain(LogText(req.target) + ": " + e.what());
            return HttpErrorAnswer(500);
        }
    }

private:
    HttpAnswer serve(const HttpRequest &req)
    {
        static const std::string game = "/xmlapi/boardgame/", list = "/xmlapi/geeklist/";
        const std::string &path = req.path;
        if (path.starts_with(game))
            return history(path.substr(game.size()), req);
        if (path == "/xmlapi/search")
            return search(req.get_param_value("search"), req);
        if (path == "/lists/top" || path == "/lists/movers" || path == "/lists/days")
            return rankingList(path.substr(7), req);
        return HttpErrorAnswer(404); // geeklists too: snapshots hold none
    }

    // The same CSV as the commands; a bad parameter is a 400 with its reason
    // on one line. A list changes only when days are imported.
    HttpAnswer rankingList(const std::string &kind, const HttpRequest &req)
    {
        static const char CsvType[] = "text/csv; charset=utf-8";
        const ListParameters parameters(req.params.begin(), req.params.end());
        ArchiveListSource source(m_reader);
        std::string csv;
        try {
            if (kind == "top") {
                csv = TopList(source, ReadTopQuery(parameters, ""));
            } else if (kind == "movers") {
                csv = MoversList(source, ReadMoversQuery(parameters, ""));
            } else {
                if (!parameters.empty())
                    throw ListError(parameters.front().first + " is not a parameter of this list");
                csv = ListDaysText(source.days());
            }
        } catch (const ListError &e) {
            std::string reason = e.what(); // a parameter's name is the client's text
            std::replace_if(reason.begin(), reason.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
            return { 400, reason + '\n', "text/plain; charset=utf-8" };
        }
        return cacheable({ 200, std::move(csv), CsvType }, false, req);
    }

    // IDs are read as numbers ("007" is 7); one beyond any ID is not found.
    // Pages from 1; a page past the game's history is its end page.
    HttpAnswer history(const std::string &idText, const HttpRequest &req)
    {
        if (!AllDigits(idText))
            return HttpErrorAnswer(400);
        const std::string pageText = req.get_param_value("page");
        if (!AllDigits(pageText))
            return HttpErrorAnswer(400);
        const auto page = ParseWhole(pageText).value_or(INT64_MAX); // past 18 digits: huge
        if (page == 0)
            return HttpErrorAnswer(400);
        const auto id = ParseWhole(idText.substr(std::min(idText.find_first_not_of('0'), idText.size())));
        if (!id || *id == 0 || *id > UINT32_MAX)
            return HttpErrorAnswer(404);
        const auto history = m_reader.page(uint32_t(*id), int64_t(page));
        if (!history)
            return HttpErrorAnswer(404);
        // A full page changes only when a past day is imported again; the
        // last page with records and the end page change with the next day.
        return cacheable({ 200, HistoryPageXml(uint32_t(*id), int64_t(page), *history) },
            history->records.size() == size_t(PageRecords), req);
    }

    // Read after the answer was made, so never older than what it shows.
    HttpAnswer cacheable(HttpAnswer answer, bool fullPage, const HttpRequest &req) const
    {
        AnswerConditionally(answer, req, lastChange(), CacheControl(fullPage, m_maxAge));
        return answer;
    }

    // When the archive last changed: its file, or its write-ahead log, which
    // takes every import's commit before the file does (an empty log is only
    // a reader's).
    int64_t lastChange() const
    {
        int64_t latest = 0;
        for (const std::string &path : { m_archive, m_archive + "-wal" }) {
            struct stat info {};
            if (::stat(path.c_str(), &info) == 0 && (path == m_archive || info.st_size > 0))
                latest = std::max<int64_t>(latest, info.st_mtim.tv_sec);
        }
        return latest;
    }

    HttpAnswer search(const std::string &query, const HttpRequest &req)
    {
        std::vector<std::string> words;
        size_t at = 0;
        while (at < query.size()) {
            const size_t end = std::min(query.find(' ', at), query.size());
            if (end > at)
                words.push_back(FoldedForSearch(std::string_view(query).substr(at, end - at)));
            at = end + 1;
        }
        return cacheable({ 200, SearchXml(m_reader.search(words)) }, false, req);
    }

    ArchiveReader &m_reader;
    const std::string m_archive;
    const int64_t m_maxAge; // of a full page
    std::FILE *m_log;
    std::mutex m_logMutex;
};

} // namespace

int RunServe(const std::string &archive, const std::string &address, int port,
    const std::string &logFile, int64_t maxAge, size_t perAddress, unsigned headSeconds)
{
    std::FILE *log = nullptr;
    if (!logFile.empty() && !(log = std::fopen(logFile.c_str(), "a"))) {
        Complain(logFile + ": cannot open the log");
        return 2;
    }
    std::unique_ptr<ArchiveReader> reader;
    try {
        reader = std::make_unique<ArchiveReader>(archive);
    } catch (const ArchiveError &e) {
        Complain(e.what());
        return 2;
    }
    Service service(*reader, archive, maxAge, log);
    HttpServerLimits limits;
    limits.perAddress = perAddress;
    limits.headSeconds = headSeconds;
    return ServeHttp(address, port, limits, [&](const HttpRequest &req) { return service.handle(req); },
               "plotwise-archive")
        ? 0
        : 1;
}
