#include "script/ScriptCheck.h"

#include "script/ScriptLine.h"
#include "service/TextLines.h"
#include "service/u_Function.h"

QStringList CheckScript(const QString &scriptText, const QStringList &nodes)
{
    QStringList log;
    const QStringList lines = SplitLines(scriptText);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString number = QString::number(i + 1);
        auto report = [&](const char *message, const QString &field) {
            log << number + QLatin1String(message) + field + QLatin1Char('>');
        };

        const QStringList fields = CommaTextSplit(lines[i]);
        if (fields.size() != ScriptFieldCount) {
            report(") Wrong number of parameters <", lines[i]);
            continue;
        }
        if (!WholeNumber(fields[0]))
            report(") Game ID not valid <", fields[0]);
        if (FindNodeEntry(nodes, fields[1]) < 0)
            report(") Node not valid <", fields[1]);
        for (const QString &date : { fields[2], fields[3] }) {
            if (!date.isEmpty() && TextToDate(date) == NullDate())
                report(") Date not valid <", date);
        }
        if (!fields[4].isEmpty() && !AllCharsIn(fields[4], QStringLiteral("LRSD")))
            report(") Left/Right/Standard/Delta flag not valid <", fields[4]);
        if (!fields[5].isEmpty() && !AllCharsIn(fields[5], QStringLiteral("IL")))
            report(") Inversion/Logarithmic flag not valid <", fields[5]);
        if (!fields[6].isEmpty() && !IsColorText(fields[6]))
            report(") Color not valid <", fields[6]);
    }
    if (log.isEmpty())
        log << QStringLiteral("Script OK");
    return log;
}
