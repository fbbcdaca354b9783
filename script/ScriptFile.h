// Script files on disk: plain text, CR LF between lines. In memory a script is
// the editor's text with LF line ends.
#pragma once

#include <QString>

// The file's text with every CR, LF or CR LF made an LF, cut at the first NUL.
// Throws PlotwiseError naming the file when it cannot be read.
[[nodiscard]] QString ReadScriptFile(const QString &path);

// Writes text exactly, its line ends as CR LF (a final one only when the text
// ends with one), through a temporary file renamed over the old one. Throws
// PlotwiseError naming the file when it cannot be written; the old file then
// stays as it was.
void WriteScriptFile(const QString &path, const QString &text);
