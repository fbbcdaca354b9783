#include "plot/PageWalk.h"

#include "plot/NumberText.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"
#include "service/u_Function.h"

namespace {

class Walker
{
public:
    Walker(const NodeName &node, HistoryPageVisitor &visitor)
        : m_node(node), m_filterName(node.filterName.toUtf8()), m_visitor(visitor)
    {
    }

    void walkGame(const XmlNode &game, bool &hasStatistics)
    {
        for (const XmlNode &child : game.children()) {
            const QString name = child.name();
            if (name == QLatin1String("name")) {
                readName(child);
            } else if (name == QLatin1String("statistics")) {
                hasStatistics = true;
                for (const XmlNode &record : child.children()) {
                    if (record.name() == QLatin1String("ratings"))
                        readRecord(record);
                }
            }
        }
    }

private:
    void readName(const XmlNode &element)
    {
        const std::optional<QString> text = element.value();
        if (!text)
            return;
        const bool primary = element.attribute("primary") == QLatin1String("true");
        m_visitor.gameName(StripMarkup(RestoreAmpersands(*text)), primary);
    }

    void readRecord(const XmlNode &record)
    {
        const std::optional<QString> date = record.attribute("date");
        if (!date)
            return;
        for (const XmlNode &element : record.children()) {
            if (element.name() != m_node.element)
                continue;
            if (m_node.child.isEmpty()) {
                if (!passesFilter(element))
                    continue;
                const std::optional<QString> text = element.value();
                if (!text)
                    continue;
                if (const std::optional<double> number = ReadDecimal(*text))
                    m_visitor.value(*date, *number);
                continue;
            }
            for (const XmlNode &child : element.children()) {
                if (child.name() != m_node.child || !passesFilter(child))
                    continue;
                const std::optional<QString> text = child.attribute("value");
                if (!text)
                    continue;
                if (const std::optional<qint32> number = WholeNumber(*text))
                    m_visitor.value(*date, *number);
            }
        }
    }

    // An exact match of the filter attribute; a missing attribute never matches.
    bool passesFilter(const XmlNode &element) const
    {
        if (!m_node.hasFilter())
            return true;
        return element.attribute(m_filterName.constData()) == m_node.filterValue;
    }

    const NodeName &m_node;
    const QByteArray m_filterName;
    HistoryPageVisitor &m_visitor;
};

} // namespace

bool WalkHistoryPage(const XmlDocument &document, const NodeName &node,
                     HistoryPageVisitor &visitor)
{
    const std::vector<XmlNode> top = document.children();
    if (top.empty())
        return false;
    Walker walker(node, visitor);
    bool hasStatistics = false;
    for (const XmlNode &game : top.front().children()) {
        if (game.name() == QLatin1String("boardgame"))
            walker.walkGame(game, hasStatistics);
    }
    return hasStatistics;
}
