// Fetches one service request into a page file. The call blocks its caller
// until the body is stored, while a local event loop keeps the windows
// repainting. A page file appears only for a complete status-200 answer;
// everything else returns false with a reason. The policy (which way, the
// redirects, retries, deadline, the outcome and the file) is written here
// once, above the two ways a request goes (HttpTransport).
#pragma once

#include "service/HttpTransport.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class KeepAliveClient;
class QtNetworkTransport;
class QUrl;

class Downloader
{
public:
    using Failure = DownloadFailure;

    struct Limits {
        int idleTimeoutMs = 30000;
        int totalTimeoutMs = 120000;
        int maxAttempts = 4; // for 429, 503 and time-outs
        int firstRetryWaitMs = 1000; // doubles at every retry
        int maxRetryWaitMs = 30000; // bound on waits, Retry-After included
        qint64 maxBodyBytes = 64LL * 1024 * 1024;
        // Plain http to this machine through a kept-alive connection on a
        // worker thread (KeepAliveClient); false: Qt Network for every URL.
        bool keepAliveLoopback = true;
    };

    // userAgent: the program file's name.
    explicit Downloader(QString userAgent);
    Downloader(QString userAgent, Limits limits);
    ~Downloader();

    // Rewrites a whole body before it is stored (PrepareXmlBytes).
    using BodyFilter = QByteArray (*)(QByteArrayView body);

    // True once the whole body of a status-200 answer, passed through prepare
    // when given, is stored in fileName (written through a temporary file and
    // renamed). False otherwise, with no file left behind (an existing file of
    // that name is deleted first). Throws PlotwiseError when the file itself
    // cannot be written.
    // With ifNoneMatch (the entity tag of the caller's copy), a 304 answer
    // is false with Failure::NotModified.
    bool DownloadFile(const QString &url, const QString &fileName, BodyFilter prepare = nullptr,
        const QByteArray &ifNoneMatch = {});

    // Reason for the last false result: "HTTP 404", "connection refused",
    // "timed out", "transfer broken off", ...
    [[nodiscard]] QString lastError() const { return m_lastError; }
    [[nodiscard]] Failure lastFailure() const { return m_lastFailure; }
    // The ETag of the last stored answer; empty when it had none.
    [[nodiscard]] QByteArray lastEntityTag() const { return m_lastEntityTag; }

    // Ends a running DownloadFile (it returns false with Failure::Aborted);
    // does nothing when none runs. Destroying the Downloader during a call
    // ends that call the same way.
    void abort();

    void setLimits(const Limits &limits) { m_limits = limits; }
    [[nodiscard]] const Limits &limits() const { return m_limits; }

private:
    QString m_userAgent;
    Limits m_limits;
    std::unique_ptr<QtNetworkTransport> m_qtNetwork;
    std::unique_ptr<KeepAliveClient> m_keepAlive; // for the last loopback host and port
    QString m_lastError;
    Failure m_lastFailure = Failure::None;
    QByteArray m_lastEntityTag;

    struct Call;
    struct Outcome;
    // One attempt, its redirects followed.
    Outcome attempt(const QString &url, const QByteArray &ifNoneMatch, TransportAnswer &answer,
        Call &call);
    HttpTransport &transportFor(const QUrl &url);
    // One request on transport, awaited in an event loop until it is
    // answered, the deadline passes or the call ends.
    TransportAnswer exchange(
        HttpTransport &transport, const QUrl &url, const QByteArray &ifNoneMatch, Call &call);
    static Outcome judge(const TransportAnswer &answer, bool conditional);
    static void wait(int ms, Call &call);
    // Running calls, innermost last (a window handler may start one while
    // another waits in its event loop).
    std::vector<Call *> m_calls;
};
