#include "geeklist/GeeklistItems.h"

#include "service/XmlDocument.h"
#include "service/u_Function.h"

#include <QStringList>

QString GeeklistGameIds(const XmlDocument &document)
{
    const std::vector<XmlNode> top = document.children();
    if (top.empty())
        return {};
    QStringList ids;
    for (const XmlNode &item : top.front().children()) {
        if (item.name() != QLatin1String("item"))
            continue;
        if (item.attribute("subtype") != QStringLiteral("boardgame"))
            continue;
        const std::optional<QString> id = item.attribute("objectid");
        if (id && WholeNumber(*id))
            ids << *id;
    }
    return ids.join(QStringLiteral(", "));
}
