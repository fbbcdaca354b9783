// Walks one ranking history page held in an XmlDocument: the game's names and
// the dated values of the chosen node.
#pragma once

#include "plot/NodeName.h"

#include <QString>
#include <QStringView>

class XmlDocument;

class HistoryPageVisitor
{
public:
    virtual ~HistoryPageVisitor() = default;
    // A "name" with text, after RestoreAmpersands and StripMarkup.
    virtual void gameName(const QString &name, bool primary) = 0;
    // A value of the node in a record with a "date": an element's decimal
    // text, or a child's whole-number "value" attribute.
    virtual void value(QStringView dateText, double value) = 0;
};

// Hands names and values over in document order. True when some "boardgame"
// element of the page has a "statistics" child, that is when the next page is
// to be read. An element read for its text that holds child elements throws
// PlotwiseError.
bool WalkHistoryPage(
    const XmlDocument &document, const NodeName &node, HistoryPageVisitor &visitor);

// True when some "boardgame" element of the page has a "statistics" child, as
// WalkHistoryPage tells, without reading the values.
[[nodiscard]] bool PageHasStatistics(const XmlDocument &document);

// True when the page's root holds a "boardgame" element: a page without one
// is no answer about the game at all.
[[nodiscard]] bool PageHoldsGame(const XmlDocument &document);
