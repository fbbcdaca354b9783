#include "script/ScriptFile.h"

#include "service/PlotwiseError.h"
#include "service/TextLines.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

// Every CR, LF or CR LF of text becomes lineEnd.
static QString withLineEnds(const QString &text, QLatin1String lineEnd)
{
    QString result = SplitLines(text).join(lineEnd);
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
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PlotwiseError(QStringLiteral("Cannot read file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    return withLineEnds(DecodeText(bytes), QLatin1String("\n"));
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
