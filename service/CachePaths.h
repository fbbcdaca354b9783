// Cache folder, page-file names and request addresses of the service.
#pragma once

#include <QString>

// Default base address: the bundled sample service on its default port.
inline constexpr quint16 SampleServiceDefaultPort = 8642;
[[nodiscard]] QString DefaultServiceBaseUrl();

// "<cacheRoot>/xml/"; created with its parents by EnsureCacheFolder.
[[nodiscard]] QString CacheFolder(const QString &cacheRoot);
void EnsureCacheFolder(const QString &cacheRoot);

[[nodiscard]] QString HistoryPageUrl(const QString &baseUrl, const QString &id, int page);
[[nodiscard]] QString HistoryPageFile(const QString &cacheRoot, const QString &id, int page);
[[nodiscard]] QString GeeklistUrl(const QString &baseUrl, const QString &number);
[[nodiscard]] QString GeeklistFile(const QString &cacheRoot, const QString &number);
// The query is percent-encoded: every byte outside letters, digits and "-._~".
[[nodiscard]] QString SearchUrl(const QString &baseUrl, const QString &words);
[[nodiscard]] QString SearchFile(const QString &cacheRoot);
