// Page-file preparation: every "&" is hidden behind a marker before parsing,
// and text values are turned back into display text afterwards.
#pragma once

#include <QByteArray>
#include <QString>

inline constexpr char AmpersandMarker[] = "_T_E_M_P_T_A_G_";

// Rewrites the page file in place (atomically): each line recoded, every "&"
// replaced by the marker, empty lines dropped, CR LF line ends, cut at NUL.
// Throws PlotwiseError when the file cannot be read or written.
void PrepareXmlFile(const QString &fileName);
// The same rewrite of a page's bytes.
[[nodiscard]] QByteArray PrepareXmlBytes(QByteArrayView data);

[[nodiscard]] QString RestoreAmpersands(const QString &text);

// Removes tags and decodes numeric character references (up to 255: the
// Windows-1252 character of that byte; above: the Unicode character of the
// low 16 bits, a lone surrogate giving "?").
[[nodiscard]] QString StripMarkup(const QString &text);
