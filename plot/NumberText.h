// Decimal numbers as they appear in history pages and in the info line:
// "." is always the decimal point, whatever the user's locale.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// Reads a decimal text: an optional sign, digits with an optional "." and
// fraction (at least one digit in all), an optional exponent ("e" or "E", an
// optional sign, digits). Nothing else is accepted: no blanks, no group
// separators, no "inf" or "nan", no hexadecimal, no value beyond the range of
// a double.
[[nodiscard]] std::optional<double> ReadDecimal(QStringView text);
// The same for a text given as UTF-8 bytes.
[[nodiscard]] std::optional<double> ReadDecimal(QByteArrayView utf8);

// The general decimal form with up to 15 significant digits: fixed-point,
// unless the value has more than 15 integer digits or lies below 0.00001,
// then scientific ("1e+16", "1.5e-06").
[[nodiscard]] QString FormatGeneral(double value);
