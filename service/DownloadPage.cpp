#include "service/DownloadPage.h"

#include "service/Downloader.h"

FetchResult DownloadPage(Downloader &downloader, const QString &url, const QString &fileName)
{
    if (downloader.DownloadFile(url, fileName))
        return { FetchOutcome::Stored, {} };
    const QString reason = downloader.lastError();
    switch (downloader.lastFailure()) {
    case Downloader::Failure::Aborted:
        return { FetchOutcome::Stopped, reason };
    case Downloader::Failure::Unreachable:
    case Downloader::Failure::TimedOut:
        return { FetchOutcome::ServiceDown, reason };
    default:
        return { FetchOutcome::Failed, reason };
    }
}
