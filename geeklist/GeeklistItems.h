// Reading a geeklist document: the IDs of the board games on the list.
#pragma once

#include <QString>

class XmlDocument;

// The "objectid" texts of the root's "item" children whose "subtype" is
// exactly "boardgame" and whose "objectid" passes the whole-number
// conversion, in list order (duplicates kept), joined by ", ".
[[nodiscard]] QString GeeklistGameIds(const XmlDocument &document);
