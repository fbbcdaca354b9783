#include "search/SearchAnswer.h"

#include "service/XmlDocument.h"

QString SearchHitLine(const QString &primaryName, const QString &otherName, const QString &year)
{
    QString line = primaryName.isEmpty() ? otherName : primaryName;
    if (!year.isEmpty())
        line += QStringLiteral(" (") + year + QLatin1Char(')');
    return line;
}

// The value of a "name" element's first child node. A "name" element with no
// child node at all counts as no name, so the walk goes on instead of failing.
static std::optional<QString> firstChildValue(const XmlNode &element)
{
    const std::vector<XmlNode> children = element.children();
    if (children.empty())
        return std::nullopt;
    return children.front().value();
}

static SearchHit readItem(const XmlNode &item, const QString &id)
{
    QString primaryName;
    QString otherName;
    QString year;
    // A later element overwrites what an earlier one set.
    for (const XmlNode &child : item.children()) {
        const QString name = child.name();
        if (name == QLatin1String("name")) {
            const std::optional<QString> text = firstChildValue(child);
            if (!text)
                continue;
            otherName = *text;
            if (child.attribute("primary") == QStringLiteral("true"))
                primaryName = *text;
        } else if (name == QLatin1String("yearpublished")) {
            if (const std::optional<QString> text = child.value())
                year = *text;
        }
    }
    return {id, SearchHitLine(primaryName, otherName, year)};
}

void WalkSearchAnswer(const XmlDocument &document, const std::function<void(const SearchHit &)> &add)
{
    const std::vector<XmlNode> top = document.children();
    if (top.empty())
        return;
    for (const XmlNode &item : top.front().children()) {
        const std::optional<QString> id = item.attribute("objectid");
        if (!id)
            continue;
        add(readItem(item, *id));
    }
}
