#include "service/DownloadPage.h"

#include "service/Downloader.h"
#include "service/XmlPrepare.h"

FetchResult DownloadPage(Downloader &downloader, const QString &url, const QString &fileName,
    bool prepare, const QByteArray &ifNoneMatch)
{
    if (downloader.DownloadFile(url, fileName, prepare ? PrepareXmlBytes : nullptr, ifNoneMatch))
        return { FetchOutcome::Stored, {}, downloader.lastEntityTag() };
    const QString reason = downloader.lastError();
    switch (downloader.lastFailure()) {
    case Downloader::Failure::NotModified:
        return { FetchOutcome::NotModified, reason };
    case Downloader::Failure::Aborted:
        return { FetchOutcome::Stopped, reason };
    case Downloader::Failure::Unreachable:
    case Downloader::Failure::TimedOut:
        return { FetchOutcome::ServiceDown, reason };
    default:
        return { FetchOutcome::Failed, reason };
    }
}
