#include "plot/NodeName.h"

NodeName SplitNodeName(const QString &text)
{
    NodeName node;
    QString path = text;
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    if (bar >= 0) {
        path = text.left(bar);
        const QString filter = text.mid(bar + 1);
        const qsizetype equals = filter.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            node.filterName = filter.left(equals);
            node.filterValue = filter.mid(equals + 1);
        }
    }
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        node.element = path.left(slash);
        node.child = path.mid(slash + 1);
    } else {
        node.element = path;
    }
    return node;
}
