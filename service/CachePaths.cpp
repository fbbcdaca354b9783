#include "service/CachePaths.h"

#include <QDir>
#include <QUrl>

QString DefaultServiceBaseUrl()
{
    return QStringLiteral("http://127.0.0.1:%1").arg(SampleServiceDefaultPort);
}

QString CacheFolder(const QString &cacheRoot)
{
    return QDir(cacheRoot).filePath(QStringLiteral("xml")) + QLatin1Char('/');
}

void EnsureCacheFolder(const QString &cacheRoot)
{
    // The outcome is not checked here: a folder that cannot be made shows up
    // as a file error when the page is written.
    QDir().mkpath(CacheFolder(cacheRoot));
}

static QString withoutTrailingSlash(const QString &baseUrl)
{
    QString base = baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString HistoryPageUrl(const QString &baseUrl, const QString &id, int page)
{
    return withoutTrailingSlash(baseUrl) + QStringLiteral("/xmlapi/boardgame/") + id
        + QStringLiteral("?historical=1&page=") + QString::number(page);
}

QString HistoryPageFile(const QString &cacheRoot, const QString &id, int page)
{
    return CacheFolder(cacheRoot) + id + QLatin1Char('_') + QString::number(page)
        + QStringLiteral(".xml");
}

QString GeeklistUrl(const QString &baseUrl, const QString &number)
{
    return withoutTrailingSlash(baseUrl) + QStringLiteral("/xmlapi/geeklist/") + number;
}

QString GeeklistFile(const QString &cacheRoot, const QString &number)
{
    return CacheFolder(cacheRoot) + QStringLiteral("geeklist_") + number + QStringLiteral(".xml");
}

QString SearchUrl(const QString &baseUrl, const QString &words)
{
    // Unreserved characters stay; every other byte of the UTF-8 text is
    // percent-encoded, so a space goes out as %20 and "&", "#", "?" or "+"
    // cannot break the request.
    const QByteArray query = QUrl::toPercentEncoding(words);
    return withoutTrailingSlash(baseUrl) + QStringLiteral("/xmlapi/search?search=")
        + QString::fromLatin1(query);
}

QString SearchFile(const QString &cacheRoot)
{
    return CacheFolder(cacheRoot) + QStringLiteral("search.xml");
}
