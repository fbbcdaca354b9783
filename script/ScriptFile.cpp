#include "script/ScriptFile.h"

#include "service/FileBytes.h"
#include "service/PlotwiseError.h"
#include "service/TextLines.h"

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
    return withLineEnds(DecodeText(ReadFileBytes(path)), QLatin1String("\n"));
}

void WriteScriptFile(const QString &path, const QString &text)
{
    const QString reason
        = WriteFileAtomically(path, withLineEnds(text, QLatin1String("\r\n")).toUtf8());
    if (!reason.isEmpty())
        throw PlotwiseError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(FullPath(path), reason));
}
