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
    };
    Kind kind = Kind::Status;
    int status = 200;
    int retryAfterSeconds = -1; // Retry-After header when >= 0
    int intervalMs = 1000; // Trickle
    long long bytes = 256LL * 1024 * 1024; // Huge
};

class FaultRules
{
public:
    // Parses one rule; an error text on failure. PATTERN matches the whole
    // request target (path and query, as sent), "*" standing for any run of
    // characters. WHAT is a status number or broken, notxml, trickle, huge,
    // redirect. Options: retry-after=S, times=K (only the first K matching
    // requests), interval-ms=N, bytes=N.
    std::optional<QString> Add(const QString &rule);

    // The fault for this request, counting it against the rule's times.
    std::optional<Fault> Take(const QString &target);

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
