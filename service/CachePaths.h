// Cache folders, page-file names and request addresses of the service.
#pragma once

#include <QString>

// Default base address: the bundled sample service on its default port.
inline constexpr quint16 SampleServiceDefaultPort = 8642;
[[nodiscard]] QString DefaultServiceBaseUrl();

// The page cache of the service at baseUrl, ending in a separator. The
// default service's is "<cacheRoot>/xml/". Another service's pages never
// mix with it: they go into a subfolder named from the scheme, host and port
// (and path, if any), e.g. "xml/http_example.org_8080/". Page files end in
// ".xml" and such a name never does, and two services never share one.
[[nodiscard]] QString CacheFolder(const QString &cacheRoot, const QString &baseUrl);
// The subfolder's name; empty for the default service.
[[nodiscard]] QString ServiceFolderName(const QString &baseUrl);
// Creates the folder with its parents; the outcome is not checked here: a
// folder that cannot be made shows up as a file error when a page is written.
void EnsureCacheFolder(const QString &cacheFolder);

[[nodiscard]] QString HistoryPageUrl(const QString &baseUrl, const QString &id, int page);
[[nodiscard]] QString HistoryPageFile(const QString &cacheFolder, const QString &id, int page);
[[nodiscard]] QString GeeklistUrl(const QString &baseUrl, const QString &number);
[[nodiscard]] QString GeeklistFile(const QString &cacheFolder, const QString &number);
// The query is percent-encoded: every byte outside letters, digits and "-._~".
[[nodiscard]] QString SearchUrl(const QString &baseUrl, const QString &words);
[[nodiscard]] QString SearchFile(const QString &cacheFolder);
