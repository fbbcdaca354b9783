#include "support/DownloaderTests.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace DownloaderTests {

Downloader::Limits TestLimits()
{
    Downloader::Limits limits;
    limits.idleTimeoutMs = 1500;
    limits.totalTimeoutMs = 8000;
    limits.maxAttempts = 2;
    limits.firstRetryWaitMs = 20;
    limits.maxRetryWaitMs = 2000;
    limits.maxBodyBytes = 1024 * 1024;
    return limits;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteOld(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("an old copy");
}

QStringList FilesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace DownloaderTests
