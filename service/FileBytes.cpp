// Whole-file reading and atomic whole-file writing.
#include "service/FileBytes.h"

#include "service/PlotwiseError.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>

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

QString WriteFileAtomically(const QString &fileName, const QByteArray &bytes, Durability durability)
{
    if (durability == Durability::Unsynced) {
        UnsyncedSaveFile file(fileName);
        if (!file.open() || !file.write(bytes) || !file.commit())
            return file.errorString();
        return QString();
    }
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

UnsyncedSaveFile::UnsyncedSaveFile(QString fileName)
    : m_fileName(std::move(fileName))
{
}

UnsyncedSaveFile::~UnsyncedSaveFile()
{
    if (!m_committed && !m_temporary.fileName().isEmpty())
        m_temporary.remove();
}

bool UnsyncedSaveFile::open()
{
    // A name nobody else uses: another program instance may write the same
    // page at the same time. Only a name that exists already is tried again.
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 16; ++attempt) {
        QString name = m_fileName + QLatin1Char('.');
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(Letters[QRandomGenerator::global()->bounded(36)]);
        m_temporary.setFileName(name);
        if (m_temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!QFileInfo::exists(name))
            break;
    }
    m_error = m_temporary.errorString();
    m_temporary.setFileName(QString());
    return false;
}

bool UnsyncedSaveFile::write(const QByteArray &bytes)
{
    if (m_temporary.write(bytes) == bytes.size())
        return true;
    m_error = m_temporary.errorString();
    return false;
}

bool UnsyncedSaveFile::commit()
{
    // A short write (a full disk) shows at the latest when the buffer goes out.
    if (!m_temporary.flush()) {
        m_error = m_temporary.errorString();
        return false;
    }
    m_temporary.close();
    m_error = ReplaceFile(m_temporary.fileName(), m_fileName);
    m_committed = m_error.isEmpty();
    return m_committed;
}

QString ReplaceFile(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return qt_error_string(errno);
    return QString();
}
