// The page loop of one game: each ranking history page is taken from the
// cache folder or fetched into it, loaded into the document and walked, until
// a page without "statistics". One page is in memory at a time; the points
// and the summary are all that is kept.
#pragma once

#include "plot/GameSummary.h"
#include "plot/NodeName.h"
#include "plot/SeriesBuilder.h"
#include "service/CachedPage.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class HistoryPageVisitor;
class XmlDocument;

// What the loader needs from its surroundings; the window supplies these.
struct LoadHooks {
    // Downloads url into fileName; no file is left unless Stored. After
    // ServiceDown no further page of this Load is fetched.
    PageFetch fetchPage;
    // As fetchPage, but the service is asked for the page only if it changed
    // from the cached copy of entityTag (NotModified when it did not). Unset:
    // the tail refresh fetches pages whole.
    std::function<FetchResult(const QString &url, const QString &fileName, bool prepare,
        const QByteArray &entityTag)>
        refetchPage;
    // Shows the status text and lets pending window events run.
    std::function<void(const QString &text)> showStatus;
    // The date range and Standard/Delta choice as they stand now.
    std::function<SeriesOptions()> readOptions;
    std::function<bool()> stopRequested;
};

// What the Loads of one run met at the service: a Load by hand is a run of
// its own, a script run is one run for all its lines.
struct DownloadRun {
    // Unreachable or timed out: from then on only cached pages are read.
    bool serviceDown = false;
    // "Game 13, page 4: HTTP 503", one line per game that ended early.
    QStringList failures;
};

// The one message that lists a run's failures; empty for none.
[[nodiscard]] QString FailureReport(const QStringList &failures);

struct GameResult {
    QString title;
    std::vector<SeriesPoint> points;
    GameSummary summary;
};

class HistoryLoader
{
public:
    static constexpr int DefaultMaxPages = 10000;

    // cacheFolder: the page cache of the service at baseUrl. The service
    // state and the failures are those of run, which outlives the loader.
    HistoryLoader(XmlDocument &document, QString cacheFolder, QString baseUrl, NodeName node,
        LoadHooks hooks, DownloadRun &run, int maxPages = DefaultMaxPages);

    // Tail refresh: a game's cached end page (no "statistics") older than
    // this many hours is fetched again, with the last page with records
    // before it, and the pages after it while new records appear. A page
    // with an entity tag beside it is asked for only if it changed; one the
    // service says is unchanged is kept, and counts as fresh from then. A
    // refreshed page replaces the cached one only when it came whole; when it
    // did not, the cached pages are read as they are and the failure is
    // listed. 0 or less: cached pages are never fetched again.
    void setRefreshHours(int hours) { m_refreshHours = hours; }

    // Reads every page of the game idText ("7"); rawItem ("007") is what the
    // fallback title shows. A page that could not be had, or that holds no
    // "boardgame" element at all, ends the game with the points read so far
    // and is listed in the run's failures; such a page is deleted. A page
    // file that is not well-formed is deleted and its PlotwiseError ends the
    // Load; an element read for its text that holds elements ends it too.
    GameResult loadGame(const QString &idText, const QString &rawItem);

private:
    // True when page is the first to fetch again: the game's cached end page
    // is it or the page after it, and is older than the refresh hours.
    bool refreshStartsAt(const QString &idText, int page);
    // Fetches the cached page again over the cached file; false (with the
    // failure listed) when it could not be had whole.
    bool refreshPage(const QString &idText, int page, const QString &fileName);
    // True when the page is loaded into the document.
    bool loadPage(const QString &idText, int page, const QString &fileName);
    // Walks the loaded page; true when another page follows.
    bool readPage(
        const QString &idText, int page, const QString &fileName, HistoryPageVisitor &visitor);
    void addFailure(const QString &idText, int page, const QString &reason);

    XmlDocument &m_document;
    QString m_cacheFolder;
    QString m_baseUrl;
    NodeName m_node;
    LoadHooks m_hooks;
    DownloadRun &m_run;
    int m_maxPages;
    int m_refreshHours = 0;
};
