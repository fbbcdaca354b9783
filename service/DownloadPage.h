// The downloader as the fetch of a cached page: its failures sorted into
// what the callers act on (stopped, service down, failed).
#pragma once

#include "service/CachedPage.h"

class Downloader;

// Downloads url into fileName, prepared when prepare is set; with
// ifNoneMatch, only when the answer changed from the copy of that tag
// (NotModified otherwise). Aborted is Stopped; unreachable and timed out are
// ServiceDown; every other failure is Failed. The reason is the downloader's
// lastError().
[[nodiscard]] FetchResult DownloadPage(Downloader &downloader, const QString &url,
    const QString &fileName, bool prepare, const QByteArray &ifNoneMatch = {});
