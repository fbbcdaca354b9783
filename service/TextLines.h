// Plain text as the program reads it from files and text boxes: the bytes'
// decoding and the cutting into lines.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

// The text of a file's bytes up to the first NUL: UTF-8 when the bytes are
// valid UTF-8, otherwise each byte its Latin-1 character, so that a
// single-byte text loses nothing.
[[nodiscard]] QString DecodeText(const QByteArray &bytes);

// Cuts text into lines at CR, LF or CR LF. A line end at the very end gives
// no further line; blank lines are lines; an empty text has none.
[[nodiscard]] QStringList SplitLines(QStringView text);
