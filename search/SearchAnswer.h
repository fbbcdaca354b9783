// Reading the service's answer to a name search: one hit per game, in the
// order the service listed them.
#pragma once

#include <QString>
#include <functional>

class XmlDocument;

struct SearchHit {
    QString id;   // the "objectid" text, unchanged
    QString line; // "Name (1995)", " (1995)" without a name, "" without either
};

// The display line of a hit: the primary name, else the other name, then
// " (" year ")" when there is a year.
[[nodiscard]] QString SearchHitLine(const QString &primaryName, const QString &otherName,
                                    const QString &year);

// Walks the children of the root element; every child with an "objectid"
// attribute is handed to add as soon as it is read, so the hits read before a
// failing item are kept when the walk throws (PlotwiseError from an element
// whose value is not plain text). Items without "objectid" give no hit.
void WalkSearchAnswer(const XmlDocument &document, const std::function<void(const SearchHit &)> &add);
