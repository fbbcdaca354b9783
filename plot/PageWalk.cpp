#include "plot/PageWalk.h"

#include "plot/NumberText.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"
#include "service/u_Function.h"

#include <algorithm>

namespace {

// Names are compared in UTF-8, as the document holds them, and children are
// stepped through in place: a page has thousands of nodes.
class Walker
{
public:
    Walker(const NodeName &node, HistoryPageVisitor &visitor)
        : m_element(node.element.toUtf8())
        , m_child(node.child.toUtf8())
        , m_filterName(node.filterName.toUtf8())
        , m_filterValue(node.filterValue)
        , m_hasFilter(node.hasFilter())
        , m_visitor(visitor)
    {
    }

    // True when the game has a "statistics" child.
    bool walkGame(const XmlNode &game)
    {
        bool hasStatistics = false;
        for (XmlNode child = game.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (child.hasName("name")) {
                readName(child);
            } else if (child.hasName("statistics")) {
                hasStatistics = true;
                for (XmlNode record = child.firstChild(); !record.isNull();
                     record = record.nextSibling()) {
                    if (record.hasName("ratings"))
                        readRecord(record);
                }
            }
        }
        return hasStatistics;
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
        const std::optional<QByteArrayView> date = record.attributeBytes("date");
        if (!date)
            return;
        setDate(*date);
        for (XmlNode element = record.firstChild(); !element.isNull();
             element = element.nextSibling()) {
            if (!element.hasName(m_element.constData()))
                continue;
            if (m_child.isEmpty())
                readText(element, m_date);
            else
                readChildValues(element, m_date);
        }
    }

    // The record's "date" as text, in one buffer for every record of the
    // page: assigning an ASCII date reuses the buffer's room.
    void setDate(QByteArrayView utf8)
    {
        if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; }))
            m_date = QLatin1StringView(utf8.data(), utf8.size());
        else
            m_date = QString::fromUtf8(utf8);
    }

    // The element's own text, a decimal number.
    void readText(const XmlNode &element, const QString &date)
    {
        if (!passesFilter(element))
            return;
        const std::optional<QByteArrayView> text = element.valueBytes();
        if (!text)
            return;
        if (const std::optional<double> number = ReadDecimal(*text))
            m_visitor.value(date, *number);
    }

    // The "value" attribute, a whole number, of each matching child.
    void readChildValues(const XmlNode &element, const QString &date)
    {
        for (XmlNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (!child.hasName(m_child.constData()) || !passesFilter(child))
                continue;
            const std::optional<QString> text = child.attribute("value");
            if (!text)
                continue;
            if (const std::optional<qint32> number = WholeNumber(*text))
                m_visitor.value(date, *number);
        }
    }

    // An exact match of the filter attribute; a missing attribute never matches.
    bool passesFilter(const XmlNode &element) const
    {
        return !m_hasFilter || element.attribute(m_filterName.constData()) == m_filterValue;
    }

    const QByteArray m_element;
    const QByteArray m_child;
    const QByteArray m_filterName;
    const QString m_filterValue;
    const bool m_hasFilter;
    HistoryPageVisitor &m_visitor;
    QString m_date;
};

// The "boardgame" element at node or the first among its next siblings;
// null when there is none.
XmlNode NextGame(XmlNode node)
{
    while (!node.isNull() && !node.hasName("boardgame"))
        node = node.nextSibling();
    return node;
}

// The page's first "boardgame" element under its top element, or null.
XmlNode FirstGame(const XmlDocument &document)
{
    const std::vector<XmlNode> top = document.children();
    return top.empty() ? XmlNode() : NextGame(top.front().firstChild());
}

} // namespace

bool WalkHistoryPage(const XmlDocument &document, const NodeName &node, HistoryPageVisitor &visitor)
{
    Walker walker(node, visitor);
    bool hasStatistics = false;
    for (XmlNode game = FirstGame(document); !game.isNull(); game = NextGame(game.nextSibling())) {
        if (walker.walkGame(game))
            hasStatistics = true;
    }
    return hasStatistics;
}

bool PageHasStatistics(const XmlDocument &document)
{
    for (XmlNode game = FirstGame(document); !game.isNull(); game = NextGame(game.nextSibling())) {
        for (XmlNode child = game.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (child.hasName("statistics"))
                return true;
        }
    }
    return false;
}

bool PageHoldsGame(const XmlDocument &document)
{
    return !FirstGame(document).isNull();
}
