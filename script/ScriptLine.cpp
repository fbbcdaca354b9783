#include "script/ScriptLine.h"

#include <algorithm>

// Whether field holds the ASCII letter capital, in either case.
static bool hasLetter(const QString &field, char capital)
{
    return field.contains(QLatin1Char(capital))
        || field.contains(QLatin1Char(char(capital - 'A' + 'a')));
}

std::optional<ScriptRequest> ParseScriptLine(QStringView line)
{
    const QStringList fields = CommaTextSplit(line);
    if (fields.size() != ScriptFieldCount)
        return std::nullopt;

    ScriptRequest request;
    request.games = fields[0];
    request.node = fields[1];

    const QDate from = TextToDate(fields[2]);
    const QDate to = TextToDate(fields[3]);
    request.useDateRange = from != NullDate() && to != NullDate();
    if (request.useDateRange) {
        request.dateFrom = from;
        request.dateTo = to;
    }

    const QString &sides = fields[4];
    if (hasLetter(sides, 'R'))
        request.vertAxis = 1;
    else if (hasLetter(sides, 'L'))
        request.vertAxis = 0;
    if (hasLetter(sides, 'D'))
        request.values = 1;
    else if (hasLetter(sides, 'S'))
        request.values = 0;

    request.inverted = hasLetter(fields[5], 'I');
    request.logarithmic = hasLetter(fields[5], 'L');

    if (!fields[6].isEmpty())
        request.color = TextToColor(fields[6]);
    return request;
}

// A field that comma-text splitting would cut or unquote goes in quotes. A
// line break cannot stand inside a script line, not even quoted (the quoted
// game box text "12<LF>34" is one field), so it is written as a blank.
static QString scriptField(const QString &field)
{
    const bool needsQuotes = std::any_of(field.cbegin(), field.cend(), [](QChar c) {
        return c.unicode() <= 32 || c == QLatin1Char(',') || c == QLatin1Char('"');
    });
    if (!needsQuotes)
        return field;
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    quoted.replace(QLatin1Char('\r'), QLatin1Char(' '));
    quoted.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString FormatScriptLines(const ScriptRequest &request)
{
    QString dates = QStringLiteral(",,");
    if (request.useDateRange)
        dates = DateToText(request.dateFrom) + QLatin1Char(',') + DateToText(request.dateTo)
            + QLatin1Char(',');
    QString flags = QLatin1String(request.vertAxis == 0 ? "L" : "R")
        + QLatin1String(request.values == 0 ? "S" : "D") + QLatin1Char(',');
    if (request.inverted)
        flags += QLatin1Char('I');
    if (request.logarithmic)
        flags += QLatin1Char('L');
    flags += QLatin1Char(',');

    const QString rest = scriptField(request.node) + QLatin1Char(',') + dates + flags;
    QString text;
    for (const QString &id : CommaTextSplit(request.games))
        text += scriptField(id) + QLatin1Char(',') + rest + QStringLiteral("\r\n");
    return text;
}

int FindNodeEntry(const QStringList &nodes, const QString &name)
{
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        if (nodes[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}
