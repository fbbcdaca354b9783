// The Windows-1252 code page: the character each of its bytes stands for.
#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QString>

// Bytes 0x80-0x9F take the code page's characters (0x80 is the euro sign);
// the five bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) and every
// other byte map to the code point of the same number.
[[nodiscard]] QChar Windows1252Char(uchar byte);
[[nodiscard]] QString FromWindows1252(QByteArrayView bytes);
