#include "app/CacheClearing.h"

#include <QDir>
#include <QFile>

void DeleteCachedPages(const QString &cacheFolder)
{
    const QDir dir(cacheFolder);
    const QStringList names = dir.entryList({QStringLiteral("*.xml"), QStringLiteral("*.xml.etag")},
                                            QDir::AllEntries | QDir::Hidden | QDir::System
                                                | QDir::NoDotAndDotDot,
                                            QDir::NoSort);
    for (const QString &name : names)
        QFile::remove(dir.filePath(name)); // a failure leaves the entry; the rest go on
}
