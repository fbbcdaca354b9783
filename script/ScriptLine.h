// One script line: the seven comma-separated fields, what the executor applies
// from them, and the lines the add-line builder writes for a request.
#pragma once

#include "service/u_Function.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

inline constexpr int ScriptFieldCount = 7;

// A request of the main window as a script line states it: game box text,
// node entry, date range, axis and value options, inversion, logarithmic
// scale and series colour.
struct ScriptRequest {
    QString games; // text of the game box (field 1)
    QString node; // node entry (field 2); empty for none
    bool useDateRange = false; // on only when both dates are valid
    QDate dateFrom;
    QDate dateTo;
    std::optional<int> vertAxis; // item of the axis group; none: keep the window's choice
    std::optional<int> values; // item of the values group; none: keep the window's choice
    bool inverted = false;
    bool logarithmic = false;
    std::optional<ColorValue> color; // none: the chart's automatic colours
};

// The request a line states, or none when it does not split into seven
// fields. Flag letters count in either case; R wins over L and D over S. The
// colour is read here, so every capital H draws a new random digit.
[[nodiscard]] std::optional<ScriptRequest> ParseScriptLine(QStringView line);

// One line per game ID of request.games (split like a script line), each
// ended by CR LF: "12345,abc,,,LS,I,". Axis item 0 writes L, any other R;
// values item 0 writes S, any other D; the colour field stays empty. A field
// holding a blank, a control character, a comma or a double quote is written
// in double quotes with inner quotes doubled, so it reads back as one field.
[[nodiscard]] QString FormatScriptLines(const ScriptRequest &request);

// Index of the entry of nodes equal to name as a whole, letter case ignored;
// -1 when there is none.
[[nodiscard]] int FindNodeEntry(const QStringList &nodes, const QString &name);
