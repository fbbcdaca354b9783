#include "script/ScriptFile.h"

#include "script/ScriptLine.h"
#include "service/PlotwiseError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

// Every CR, LF or CR LF of text becomes lineEnd.
static QString withLineEnds(const QString &text, QLatin1String lineEnd)
{
    QString result = CutScriptLines(text).join(lineEnd);
    if (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')))
        result += lineEnd;
    return result;
}

QString ReadScriptFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlotwiseError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PlotwiseError(QStringLiteral("Cannot read file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return withLineEnds(QString::fromUtf8(bytes), QLatin1String("\n"));
}

void WriteScriptFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    const auto fail = [&] {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw PlotwiseError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), reason));
    };
    if (!file.open(QIODevice::WriteOnly))
        fail();
    const QByteArray bytes = withLineEnds(text, QLatin1String("\r\n")).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        fail();
}
