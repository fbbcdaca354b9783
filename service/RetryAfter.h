// Reading the Retry-After header of a 429 or 503 answer.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <optional>

// The wait the header asks for, in milliseconds from now: a count of seconds,
// or an HTTP date (the IMF-fixdate, RFC 850 and asctime forms; a date already
// past asks for no wait). Null for anything else.
[[nodiscard]] std::optional<qint64> RetryAfterMs(const QByteArray &value, const QDateTime &now);
