// Script files and lines: any bytes read as a script file, checked, parsed
// line by line; the checker's log is well formed, the lines the builder writes
// for any request split back into seven fields with the same meaning, and a
// script saved and read again is the same text.
#include "fuzz/FuzzSupport.h"
#include "script/ScriptCheck.h"
#include "script/ScriptFile.h"
#include "script/ScriptLine.h"
#include "service/TextLines.h"

#include <QFile>
#include <QRegularExpression>

namespace {

const QStringList &nodeList()
{
    static const QStringList nodes = { QString(), QStringLiteral("average"),
                                       QStringLiteral("ranks/rank|name=boardgame"),
                                       QStringLiteral("a b"), QStringLiteral("Ünïcode") };
    return nodes;
}

void checkLog(const QString &script, const QStringList &log)
{
    FUZZ_CHECK(!log.isEmpty());
    if (log == QStringList{ QStringLiteral("Script OK") })
        return;
    static const QRegularExpression message(QStringLiteral("^([1-9][0-9]*)\\) .* <"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const qsizetype lines = SplitLines(script).size();
    qsizetype previous = 0;
    for (const QString &entry : log) {
        const QRegularExpressionMatch match = message.match(entry);
        FUZZ_CHECK(match.hasMatch() && entry.endsWith(u'>'));
        const qsizetype number = match.captured(1).toLongLong();
        FUZZ_CHECK(number >= previous && number <= lines);
        previous = number;
    }
}

// The builder's lines for a request read back as that request, one per ID.
void checkBuilder(const ScriptRequest &request)
{
    const QStringList ids = CommaTextSplit(request.games);
    const QStringList lines = SplitLines(FormatScriptLines(request));
    FUZZ_CHECK(lines.size() == ids.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<ScriptRequest> back = ParseScriptLine(lines[i]);
        if (!back)
            FuzzDump("line", lines[i]);
        FUZZ_CHECK(back.has_value());
        QString id = ids[i];
        id.replace(u'\r', u' ').replace(u'\n', u' ');
        FUZZ_CHECK(back->games == id);
        FUZZ_CHECK(back->node == request.node);
        // Dates are written yyyy/mm/dd with as many year digits as there are,
        // which reads back from the year 1000 on (the date pickers start later).
        const bool datesReadBack = !request.useDateRange
            || (request.dateFrom.year() >= 1000 && request.dateTo.year() >= 1000);
        if (datesReadBack) {
            FUZZ_CHECK(back->useDateRange == request.useDateRange);
            if (request.useDateRange)
                FUZZ_CHECK(back->dateFrom == request.dateFrom && back->dateTo == request.dateTo);
        }
        FUZZ_CHECK(back->vertAxis == (request.vertAxis == 0 ? 0 : 1));
        FUZZ_CHECK(back->values == (request.values == 0 ? 0 : 1));
        FUZZ_CHECK(back->inverted == request.inverted && back->logarithmic == request.logarithmic);
        FUZZ_CHECK(!back->color.has_value());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzWriteScratchFile("script.txt", data, size);
    const QString script = ReadScriptFile(path);
    FUZZ_CHECK(!script.contains(u'\r') && !script.contains(QChar(u'\0')));

    checkLog(script, CheckScript(script, nodeList()));

    for (const QString &line : SplitLines(script)) {
        const std::optional<ScriptRequest> request = ParseScriptLine(line);
        if (request)
            checkBuilder(*request);
    }
    // The whole text as the game box of a request: line breaks, quotes and all.
    ScriptRequest boxed;
    boxed.games = script;
    boxed.node = nodeList().at(size % nodeList().size());
    checkBuilder(boxed);

    WriteScriptFile(path, script);
    FUZZ_CHECK(ReadScriptFile(path) == script);
    return 0;
}
