// The node name of the node list: which value of each dated rating record is
// plotted. Form: element ["/" child element] ["|" attribute "=" value].
#pragma once

#include <QString>

struct NodeName {
    QString element;
    QString child; // empty: the value is the element's own text
    QString filterName; // empty: no filter
    QString filterValue;

    [[nodiscard]] bool hasFilter() const { return !filterName.isEmpty(); }
};

// Splits at the first "|", then the filter at its first "=" (without "=" there
// is no filter), then the path at its first "/". Nothing is trimmed.
[[nodiscard]] NodeName SplitNodeName(const QString &text);
