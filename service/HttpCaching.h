// What an HTTP cache may keep of the service's answers, and the conditional
// requests answered 304: strong entity tags made from an answer's bytes,
// Last-Modified dates, and the Cache-Control of each kind of answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A page that lasts until the last page with records, its end page or the
// search answers: they change with the next import.
inline constexpr int64_t ShortMaxAgeSeconds = 300;
inline constexpr int64_t DefaultFullPageMaxAgeSeconds = 86400;

// "\"16 hex digits\"": a 64-bit hash of body, the same for the same bytes.
[[nodiscard]] std::string EntityTag(std::string_view body);

// An IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT") of seconds since 1970.
[[nodiscard]] std::string HttpDate(int64_t seconds);
// Seconds since 1970 of an IMF-fixdate; nothing for any other text.
[[nodiscard]] std::optional<int64_t> ParseHttpDate(std::string_view text);

// True when a request with these header values (empty: absent) holds the
// answer of this tag and date already: If-None-Match names the tag (or is
// "*"); without If-None-Match, If-Modified-Since is not before the date (and
// not after now).
[[nodiscard]] bool ClientHoldsAnswer(std::string_view ifNoneMatch,
    std::string_view ifModifiedSince, std::string_view tag, int64_t lastModified);

// A full history page changes only when a past day is imported again:
// caches keep it for fullPageMaxAge. Other answers are kept briefly, and may
// be served stale while they are fetched again or while the service fails.
[[nodiscard]] std::string CacheControl(bool fullPage, int64_t fullPageMaxAge);

struct HttpAnswer;
struct HttpRequest;
namespace httplib {
struct Request;
}

// Gives answer its ETag (of its body), Last-Modified and, when cacheControl
// is not empty, Cache-Control; turns it into a 304 without a body when the
// request's conditions say the client holds it already.
void AnswerConditionally(HttpAnswer &answer, const httplib::Request &req, int64_t lastModified,
    const std::string &cacheControl);
void AnswerConditionally(HttpAnswer &answer, const HttpRequest &req, int64_t lastModified,
    const std::string &cacheControl);
