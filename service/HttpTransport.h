// One way of sending a GET to the service (Qt Network, or the kept-alive
// connection to this machine) behind one small interface returning one answer
// type; the downloader's policy above it is the same whichever way is taken.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// How a download ended; the words of the downloader and of its transports.
enum class DownloadFailure {
    None,
    Unreachable, // connection refused, host not found
    TimedOut, // no data for the idle limit, or the overall deadline passed
    HttpStatus, // any status other than 200 (after the retries)
    Broken, // transfer broken off
    Aborted, // abort() was called
    Empty, // status 200 without a body: never a page
    TooLarge, // the body passed maxBodyBytes
    Other, // any other network error (too many redirects, bad URL, ...)
    NotModified, // 304 to If-None-Match: the caller's copy is current
};

struct TransportRequest {
    QUrl url; // absolute
    QByteArray userAgent;
    int idleTimeoutMs = 30000; // longest wait for the next bytes
    qint64 maxBodyBytes = 0; // a status-200 body beyond this is not read
    QByteArray ifNoneMatch; // the entity tag of the caller's copy, if any
};

// What one request brought back. ending is None when a whole HTTP answer
// came (of any status); otherwise how the transfer ended early, with reason.
struct TransportAnswer {
    DownloadFailure ending = DownloadFailure::Aborted;
    QString reason;
    int status = 0; // 0: no status line was read
    std::optional<qint64> declaredLength; // Content-Length, where it can be checked
    bool tooLarge = false; // the body passed the bound and was not read on
    QByteArray body; // kept for status 200 only
    QByteArray location; // the Location header, if any
    QByteArray retryAfter; // the Retry-After header, if any
    QByteArray entityTag; // the ETag header, if any
};

// Keeps a status-200 body as it comes, up to the bound; error pages are not
// kept. The transports feed it, so the rule is the same for both.
class AnswerReader
{
public:
    explicit AnswerReader(TransportAnswer &answer, qint64 maxBodyBytes)
        : m_answer(answer)
        , m_max(maxBodyBytes)
    {
    }
    // The status and declared length are known; false: stop reading.
    bool headers(int status, std::optional<qint64> declaredLength);
    // More body bytes; false: stop reading.
    bool body(const char *data, qsizetype size);

private:
    TransportAnswer &m_answer;
    qint64 m_max;
};

// "localhost" or a loopback address: this machine, never behind a proxy.
[[nodiscard]] bool IsLoopbackHost(const QString &host);

class HttpTransport
{
public:
    virtual ~HttpTransport() = default;

    // Starts one GET; one at a time. done is called once, on the calling
    // thread from its event loop, when the answer is ready, unless the answer
    // was taken before.
    virtual void start(const TransportRequest &request, std::function<void()> done) = 0;
    // True once the answer is ready, blocking up to ms for it without
    // running events; a transport that needs its thread's events says false.
    virtual bool waitFor(int ms) = 0;
    // Ends the running request before it returns (its answer then says
    // Aborted, unless it was complete); harmless when none runs.
    virtual void cancel() = 0;
    // The finished request's answer.
    [[nodiscard]] virtual TransportAnswer take() = 0;
};
