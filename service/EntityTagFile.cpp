#include "service/EntityTagFile.h"

#include "service/FileBytes.h"

#include <QFile>

QString EntityTagFile(const QString &pageFile)
{
    return pageFile + QStringLiteral(".etag");
}

QByteArray ReadEntityTag(const QString &pageFile)
{
    QFile file(EntityTagFile(pageFile));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A tag is one short quoted string; anything else is no tag of ours.
    const QByteArray tag = file.read(1024).trimmed();
    if (tag.size() < 2 || !tag.endsWith('"') || tag.contains('\n'))
        return {};
    return tag;
}

void KeepEntityTag(const QString &pageFile, const QByteArray &tag)
{
    const QString name = EntityTagFile(pageFile);
    if (tag.isEmpty() || tag.contains('\n')
        || !WriteFileAtomically(name, tag, Durability::Unsynced).isEmpty())
        QFile::remove(name);
}
