// The node list: the lines of "nodes.txt", sorted as the node box shows them.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file's lines in the box's order: a line ends at CR, LF or CR LF; a last
// line without an end still counts; nothing is trimmed (an empty line is an
// empty entry); the text ends at the first NUL. Sorted case-insensitively,
// duplicates kept in file order.
[[nodiscard]] QStringList NodeListFromText(const QByteArray &text);

// Reads fileName (relative names resolve against the current directory).
// Throws PlotwiseError "Cannot open file "<full path>". <reason>" when the file
// is missing or cannot be read.
[[nodiscard]] QStringList ReadNodeList(const QString &fileName);
