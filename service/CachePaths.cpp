#include "service/CachePaths.h"

#include <QDir>
#include <QUrl>

QString DefaultServiceBaseUrl()
{
    return QStringLiteral("http://127.0.0.1:%1").arg(SampleServiceDefaultPort);
}

static QString withoutTrailingSlash(const QString &baseUrl)
{
    QString base = baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

// "<scheme>_<host>_<port>[_<path>]". Percent-encoding keeps the name one
// service's alone: "_" separates the parts and is encoded inside them, as is
// "." in a path, so that no name ends in ".xml".
static QString folderNameOf(const QString &baseUrl)
{
    const QUrl url(withoutTrailingSlash(baseUrl));
    const QString scheme = url.scheme().toLower();
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    QString name = QString::fromLatin1(QUrl::toPercentEncoding(scheme, {}, "_")) + QLatin1Char('_')
        + QString::fromLatin1(QUrl::toPercentEncoding(url.host(), {}, "_")) + QLatin1Char('_')
        + QString::number(port);
    if (const QString path = url.path(); !path.isEmpty())
        name += QLatin1Char('_') + QString::fromLatin1(QUrl::toPercentEncoding(path, {}, "_."));
    return name;
}

QString ServiceFolderName(const QString &baseUrl)
{
    const QString name = folderNameOf(baseUrl);
    return name == folderNameOf(DefaultServiceBaseUrl()) ? QString() : name;
}

QString CacheFolder(const QString &cacheRoot, const QString &baseUrl)
{
    const QString root = QDir(cacheRoot).filePath(QStringLiteral("xml")) + QLatin1Char('/');
    const QString name = ServiceFolderName(baseUrl);
    return name.isEmpty() ? root : root + name + QLatin1Char('/');
}

void EnsureCacheFolder(const QString &cacheFolder)
{
    QDir().mkpath(cacheFolder);
}

QString HistoryPageUrl(const QString &baseUrl, const QString &id, int page)
{
    return withoutTrailingSlash(baseUrl) + QStringLiteral("/xmlapi/boardgame/") + id
        + QStringLiteral("?historical=1&page=") + QString::number(page);
}

QString HistoryPageFile(const QString &cacheFolder, const QString &id, int page)
{
    return cacheFolder + id + QLatin1Char('_') + QString::number(page)
        + QStringLiteral(".xml");
}

QString GeeklistUrl(const QString &baseUrl, const QString &number)
{
    return withoutTrailingSlash(baseUrl) + QStringLiteral("/xmlapi/geeklist/") + number;
}

QString GeeklistFile(const QString &cacheFolder, const QString &number)
{
    return cacheFolder + QStringLiteral("geeklist_") + number + QStringLiteral(".xml");
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

QString SearchFile(const QString &cacheFolder)
{
    return cacheFolder + QStringLiteral("search.xml");
}
