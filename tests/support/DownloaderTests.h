// What the downloader's test programs share: the agent and page asked for,
// short limits, and the files a download leaves.
#pragma once

#include "service/Downloader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace DownloaderTests {

inline const QString Agent = QStringLiteral("plotwise-agent-check");
inline const QString Page1 = QStringLiteral("/xmlapi/boardgame/1001?historical=1&page=1");

// Short limits so that time-outs and retries take moments, with room for a
// busy machine on the answers that should arrive.
Downloader::Limits TestLimits();

// The file's bytes; none when it cannot be read.
QByteArray ReadAll(const QString &path);

// Writes "an old copy" at path.
void WriteOld(const QString &path);

// The files in dir, hidden ones too.
QStringList FilesIn(const QString &dir);

} // namespace DownloaderTests
