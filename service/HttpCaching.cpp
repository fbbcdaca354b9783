#include "service/HttpCaching.h"

#include "service/LocalHttp.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

uint64_t Mix(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

// Eight bytes at a time: a page is tens of kilobytes, hashed on every request.
uint64_t Hash64(std::string_view bytes)
{
    uint64_t h = 0x9e3779b97f4a7c15ULL ^ bytes.size();
    size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        h = (h ^ Mix(word)) * 0x100000001b3ULL;
        h = (h << 29) | (h >> 35);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
    return Mix(h ^ Mix(tail ^ 0x5bd1e995ULL));
}

const char *const Days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
const char *const Months[]
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

bool TagListed(std::string_view list, std::string_view tag)
{
    size_t at = 0;
    while (at < list.size()) {
        size_t end = list.find(',', at);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view item = list.substr(at, end - at);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (item.starts_with("W/")) // If-None-Match compares weakly
            item.remove_prefix(2);
        if (item == "*" || item == tag)
            return true;
        at = end + 1;
    }
    return false;
}

} // namespace

std::string EntityTag(std::string_view body)
{
    char text[19];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(Hash64(body)));
    return text;
}

std::string HttpDate(int64_t seconds)
{
    const std::time_t time = seconds;
    std::tm tm {};
    gmtime_r(&time, &tm);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", Days[tm.tm_wday],
        tm.tm_mday, Months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::optional<int64_t> ParseHttpDate(std::string_view text)
{
    if (text.size() != 29 || text.substr(25) != " GMT")
        return std::nullopt;
    std::tm tm {};
    const std::string copy(text);
    char day[4], month[4];
    int read = 0;
    if (std::sscanf(copy.c_str(), "%3s, %2d %3s %4d %2d:%2d:%2d GMT%n", day, &tm.tm_mday, month,
            &tm.tm_year, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &read)
            != 7
        || read != 29)
        return std::nullopt;
    int monthIndex = 0;
    while (monthIndex < 12 && std::strcmp(Months[monthIndex], month) != 0)
        ++monthIndex;
    if (monthIndex == 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23
        || tm.tm_min > 59 || tm.tm_sec > 60)
        return std::nullopt;
    tm.tm_mon = monthIndex;
    tm.tm_year -= 1900;
    return int64_t(timegm(&tm));
}

bool ClientHoldsAnswer(std::string_view ifNoneMatch, std::string_view ifModifiedSince,
    std::string_view tag, int64_t lastModified)
{
    if (!ifNoneMatch.empty())
        return TagListed(ifNoneMatch, tag);
    if (ifModifiedSince.empty())
        return false;
    // A date later than now is not valid, and ignored.
    const std::optional<int64_t> since = ParseHttpDate(ifModifiedSince);
    return since && lastModified <= *since && *since <= int64_t(std::time(nullptr));
}

std::string CacheControl(bool fullPage, int64_t fullPageMaxAge)
{
    if (fullPage)
        return "public, max-age=" + std::to_string(fullPageMaxAge);
    return "public, max-age=" + std::to_string(ShortMaxAgeSeconds)
        + ", stale-while-revalidate=" + std::to_string(ShortMaxAgeSeconds)
        + ", stale-if-error=" + std::to_string(DefaultFullPageMaxAgeSeconds);
}

namespace {

template <typename Request>
void Conditionally(HttpAnswer &answer, const Request &req, int64_t lastModified,
    const std::string &cacheControl)
{
    const std::string tag = EntityTag(answer.body);
    answer.headers.emplace_back("ETag", tag);
    answer.headers.emplace_back("Last-Modified", HttpDate(lastModified));
    if (!cacheControl.empty())
        answer.headers.emplace_back("Cache-Control", cacheControl);
    if (ClientHoldsAnswer(req.get_header_value("If-None-Match"),
            req.get_header_value("If-Modified-Since"), tag, lastModified)) {
        // No length but the library's own: its client would wait for a
        // body of the length a 200 would have.
        answer.status = 304;
        answer.body.clear();
    }
}

} // namespace

void AnswerConditionally(HttpAnswer &answer, const httplib::Request &req, int64_t lastModified,
    const std::string &cacheControl)
{
    Conditionally(answer, req, lastModified, cacheControl);
}

void AnswerConditionally(HttpAnswer &answer, const HttpRequest &req, int64_t lastModified,
    const std::string &cacheControl)
{
    Conditionally(answer, req, lastModified, cacheControl);
}
