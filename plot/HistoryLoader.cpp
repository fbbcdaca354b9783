#include "plot/HistoryLoader.h"

#include "plot/PageWalk.h"
#include "service/CachePaths.h"
#include "service/EntityTagFile.h"
#include "service/FileBytes.h"
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {

// Collects one game's names, points and summary while its pages are walked.
class GameReader final : public HistoryPageVisitor
{
public:
    void gameName(const QString &name, bool primary) override
    {
        names.append(name);
        if (primary)
            primaryIndex = int(names.size()) - 1;
    }

    void value(QStringView dateText, double value) override
    {
        series.AddPoint(dateText, value, options);
        summary.update(value, dateText);
    }

    QString title(const QString &rawItem) const
    {
        if (names.isEmpty())
            return QLatin1String("ID #") + rawItem;
        return names.at(primaryIndex < 0 ? 0 : primaryIndex);
    }

    SeriesOptions options;
    QStringList names;
    int primaryIndex = -1;
    SeriesBuilder series;
    GameSummary summary;
};

} // namespace

QString FailureReport(const QStringList &failures)
{
    if (failures.isEmpty())
        return {};
    return QStringLiteral("Not every page could be loaded:\n") + failures.join(QLatin1Char('\n'));
}

HistoryLoader::HistoryLoader(XmlDocument &document, QString cacheFolder, QString baseUrl,
    NodeName node, LoadHooks hooks, DownloadRun &run, int maxPages)
    : m_document(document)
    , m_cacheFolder(std::move(cacheFolder))
    , m_baseUrl(std::move(baseUrl))
    , m_node(std::move(node))
    , m_hooks(std::move(hooks))
    , m_run(run)
    , m_maxPages(maxPages)
{
}

GameResult HistoryLoader::loadGame(const QString &idText, const QString &rawItem)
{
    GameReader reader;
    bool refreshing = false;
    for (int page = 1;; ++page) {
        if (page > m_maxPages) {
            addFailure(idText, page, QStringLiteral("more than %1 pages").arg(m_maxPages));
            break;
        }
        m_hooks.showStatus(QStringLiteral("Loading game %1, page %2").arg(idText).arg(page));
        if (m_hooks.stopRequested())
            break;
        const QString fileName = HistoryPageFile(m_cacheFolder, idText, page);
        // Once a refresh starts, every cached page from there on is fetched
        // again; the first that cannot be ends it, and the cache is read on.
        if (!refreshing && m_refreshHours > 0)
            refreshing = refreshStartsAt(idText, page);
        if (refreshing && QFileInfo::exists(fileName))
            refreshing = refreshPage(idText, page, fileName);
        if (!loadPage(idText, page, fileName))
            break;
        reader.options = m_hooks.readOptions();
        if (!readPage(idText, page, fileName, reader))
            break;
    }
    return { reader.title(rawItem), reader.series.takePoints(), reader.summary };
}

bool HistoryLoader::refreshStartsAt(const QString &idText, int page)
{
    // The end page is the game's last cached page; it is read here only when
    // it is old enough, so a fresh cache costs two file look-ups a page.
    const auto staleEnd = [&](int endPage) {
        const QFileInfo end(HistoryPageFile(m_cacheFolder, idText, endPage));
        if (!end.isFile() || QFileInfo::exists(HistoryPageFile(m_cacheFolder, idText, endPage + 1)))
            return false;
        const QDateTime limit = QDateTime::currentDateTimeUtc().addSecs(-3600LL * m_refreshHours);
        if (end.lastModified().toUTC() > limit)
            return false;
        try {
            m_document.loadFile(end.filePath());
        } catch (const PlotwiseError &) {
            return false; // the walk meets it, and deletes it
        }
        return !PageHasStatistics(m_document);
    };
    if (!QFileInfo::exists(HistoryPageFile(m_cacheFolder, idText, page)))
        return false;
    // The last page with records comes again with the end page; a game whose
    // first page is its end page has only that one.
    return staleEnd(page + 1) || (page == 1 && staleEnd(page));
}

bool HistoryLoader::refreshPage(const QString &idText, int page, const QString &fileName)
{
    // Fetched beside the cached file, which it replaces only when whole.
    const QString fresh = fileName + QStringLiteral(".refresh");
    FetchResult result { FetchOutcome::Failed,
        QStringLiteral("not refreshed, the service is unavailable") };
    if (!m_run.serviceDown) {
        const QString url = HistoryPageUrl(m_baseUrl, idText, page);
        const QByteArray tag = m_hooks.refetchPage ? ReadEntityTag(fileName) : QByteArray();
        result = tag.isEmpty() ? m_hooks.fetchPage(url, fresh, true)
                               : m_hooks.refetchPage(url, fresh, true, tag);
    }
    if (result.outcome == FetchOutcome::NotModified) {
        // The cached page is current: it counts as fresh from now on.
        QFile cached(fileName);
        if (cached.open(QIODevice::ReadWrite))
            cached.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
        return true;
    }
    if (result.outcome == FetchOutcome::Stored) {
        const QString error = ReplaceFile(fresh, fileName);
        if (error.isEmpty()) {
            KeepEntityTag(fileName, result.entityTag);
            return true;
        }
        QFile::remove(fresh);
        result = { FetchOutcome::Failed, error };
    }
    if (result.outcome == FetchOutcome::ServiceDown)
        m_run.serviceDown = true;
    if (result.outcome != FetchOutcome::Stopped)
        addFailure(idText, page, result.reason);
    return false;
}

bool HistoryLoader::loadPage(const QString &idText, int page, const QString &fileName)
{
    // A page in the cache is used as it is, and never fetched again.
    const FetchResult result = LoadCachedPage(m_document, fileName,
        HistoryPageUrl(m_baseUrl, idText, page), CachedCopy::Use, Preparation::WhenFetched,
        [this](const QString &url, const QString &pageFile, bool prepare) {
            if (m_run.serviceDown)
                return FetchResult { FetchOutcome::Failed,
                    QStringLiteral("not fetched, the service is unavailable") };
            FetchResult fetched = m_hooks.fetchPage(url, pageFile, prepare);
            if (fetched.outcome == FetchOutcome::Stored)
                KeepEntityTag(pageFile, fetched.entityTag);
            return fetched;
        });
    switch (result.outcome) {
    case FetchOutcome::Stored:
        return true;
    case FetchOutcome::ServiceDown:
        m_run.serviceDown = true;
        addFailure(idText, page, result.reason);
        return false;
    case FetchOutcome::Failed:
        addFailure(idText, page, result.reason);
        return false;
    case FetchOutcome::Stopped:
    case FetchOutcome::NotModified: // never: nothing was asked conditionally
        return false;
    }
    return false;
}

bool HistoryLoader::readPage(
    const QString &idText, int page, const QString &fileName, HistoryPageVisitor &visitor)
{
    try {
        if (WalkHistoryPage(m_document, m_node, visitor))
            return true;
    } catch (const PlotwiseError &error) {
        // An element read for its text holds elements: the page parses, and
        // whether it can be read depends on the node name, so it stays.
        throw PlotwiseError(
            QStringLiteral("Game %1, page %2: %3").arg(idText).arg(page).arg(error.message()));
    }
    // A page that holds no game at all (a notice or an error page of another
    // shape) must not fail every later Load the same way: it is deleted, and
    // the next Load fetches it again.
    if (!PageHoldsGame(m_document)) {
        if (QFileInfo(fileName).isFile())
            QFile::remove(fileName);
        KeepEntityTag(fileName, {});
        addFailure(idText, page, QStringLiteral("the answer holds no game"));
    }
    return false;
}

void HistoryLoader::addFailure(const QString &idText, int page, const QString &reason)
{
    m_run.failures.append(QStringLiteral("Game %1, page %2: %3").arg(idText).arg(page).arg(reason));
}
