// Whole-file reading and atomic whole-file writing.
#include "service/FileBytes.h"

#include "service/PlotwiseError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString FullPath(const QString &fileName)
{
    return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
}

QByteArray ReadFileBytes(const QString &fileName)
{
    QFile file(fileName);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PlotwiseError(
            QStringLiteral("Unable to read %1: %2").arg(FullPath(fileName), file.errorString()));
    return bytes;
}

QString WriteFileAtomically(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Flushed and checked before commit(): Qt 6.4's commit() reports success
    // after a short write (a full disk, a file size limit) and renames the
    // truncated file into place.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}
