// Fault injection for the sample service: rules given on the command line as
// PATTERN=WHAT[,option=value...] pick requests by their target and say how to
// answer them instead of serving the data.
#pragma once

#include <QString>
#include <mutex>
#include <optional>
#include <vector>

struct Fault {
    enum class Kind {
        Status, // that status, a small error body (none for 204 and 304)
        Broken, // Content-Length of the whole page, half of it sent, then close
        NotXml, // status 200 with a body that is not XML
        Trickle, // the page one byte per interval
        Huge, // status 200 with a chunked body of `bytes` bytes
        Redirect, // 302 to the same request under "/moved"
        Random, // status 200 with `bytes` pseudo-random bytes (the same each time)
        Deep, // status 200, well-formed XML nested `depth` elements deep
        OtherRoot, // status 200, a well-formed XHTML page instead of the answer
        NoGames, // status 200, the usual root with neither "boardgame" nor "item"
        Statistics, // status 200, a small history page with "statistics" for any page
    };
    Kind kind = Kind::Status;
    int status = 200;
    int retryAfterSeconds = -1; // Retry-After header when >= 0
    int retryDateSeconds = -1; // Retry-After as an HTTP date this far ahead when >= 0
    int intervalMs = 1000; // Trickle
    long long bytes = 256LL * 1024 * 1024; // Huge; Random defaults to 64 KiB
    int depth = 10000; // Deep
};

class FaultRules
{
public:
    // Parses one rule; an error text on failure. PATTERN matches the whole
    // request target (path and query, as sent), "*" standing for any run of
    // characters. WHAT is a status number or broken, notxml, trickle, huge,
    // redirect, random, deep, otherroot, nogames, statistics. Options:
    // retry-after=S, retry-date=S, times=K (only the first K matching
    // requests), interval-ms=N, bytes=N, depth=N.
    std::optional<QString> add(const QString &rule);

    // The fault for this request, counting it against the rule's times.
    std::optional<Fault> take(const QString &target);

private:
    struct Rule {
        QString pattern;
        Fault fault;
        int remaining = -1; // < 0: unlimited
    };
    std::vector<Rule> m_rules;
    std::mutex m_mutex;
};

[[nodiscard]] bool WildcardMatch(QStringView pattern, QStringView text);
