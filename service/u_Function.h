// Shared text, date and colour helpers, and the two rules by which texts
// become whole numbers and fields everywhere in the program.
#pragma once

#include <QChar>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// The whole-number conversion: optional leading blanks, one optional sign, then
// decimal digits or a hexadecimal prefix ("$", "x", "X", "0x", "0X") and up to
// eight significant hex digits taken as a 32-bit pattern. Nothing may follow.
[[nodiscard]] std::optional<qint32> WholeNumber(QStringView text);

// Comma-text splitting of the game-ID box and of script lines. A quoted field
// whose closing quote is missing takes the rest of the line.
[[nodiscard]] QStringList CommaTextSplit(QStringView text);

// Characters from 1-based position p to the end; p below 1 counts as 1.
[[nodiscard]] QString CopyToEnd(const QString &text, int p);

// Identity on the bytes: a trip through UTF-8 of a single-byte text.
[[nodiscard]] QByteArray RecodeViaUtf8(const QByteArray &line);

[[nodiscard]] QString PadLeft(const QString &text, int width, const QString &pad);

// Date values: day 0 is 30 December 1899. The null date, 31 December 1899,
// stands for "no date".
[[nodiscard]] QDate NullDate();
[[nodiscard]] double DateToDays(QDate date);
[[nodiscard]] QDate DaysToDate(double days);

// yyyy/mm/dd, and its reading (characters 1-4, 6-7, 9-10); NullDate() on failure.
[[nodiscard]] QString DateToText(QDate date);
[[nodiscard]] QDate TextToDate(const QString &text);

// Colour value: red in bits 0-7, green 8-15, blue 16-23.
using ColorValue = quint32;
[[nodiscard]] bool IsColorText(const QString &text);
// One digit of "1234567890ABCDEF" from the program-wide generator, which starts
// from the same state at every program start and is never reseeded.
[[nodiscard]] QChar RandomHexDigit();
[[nodiscard]] ColorValue TextToColor(const QString &text);

[[nodiscard]] bool AllCharsIn(const QString &text, const QString &set);
