// Fetches one service request into a page file over Qt Network. The call
// blocks its caller until the body is stored, while a local event loop keeps
// the windows repainting. A page file appears only for a complete status-200
// answer; everything else returns false with a reason.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class KeepAliveClient;
class QNetworkAccessManager;
class QUrl;

class Downloader
{
public:
    enum class Failure {
        None,
        Unreachable, // connection refused, host not found
        TimedOut, // no data for the idle limit, or the overall deadline passed
        HttpStatus, // any status other than 200 (after the retries)
        Broken, // transfer broken off
        Aborted, // abort() was called
        Empty, // status 200 without a body: never a page
        TooLarge, // the body passed maxBodyBytes
        Other, // any other network error (too many redirects, bad URL, ...)
    };

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
    bool DownloadFile(const QString &url, const QString &fileName, BodyFilter prepare = nullptr);

    // Reason for the last false result: "HTTP 404", "connection refused",
    // "timed out", "transfer broken off", ...
    [[nodiscard]] QString lastError() const { return m_lastError; }
    [[nodiscard]] Failure lastFailure() const { return m_lastFailure; }

    // Ends a running DownloadFile (it returns false with Failure::Aborted);
    // does nothing when none runs. Destroying the Downloader during a call
    // ends that call the same way.
    void abort();

    void setLimits(const Limits &limits) { m_limits = limits; }
    [[nodiscard]] const Limits &limits() const { return m_limits; }

private:
    QString m_userAgent;
    Limits m_limits;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    std::unique_ptr<KeepAliveClient> m_keepAlive; // for the last loopback host and port
    QString m_lastError;
    Failure m_lastFailure = Failure::None;

    struct Call;
    struct Outcome;
    Outcome attempt(const QString &url, QByteArray &body, Call &call);
    Outcome attemptQtNetwork(const QUrl &url, QByteArray &body, Call &call);
    // redirect: set to the next URL when the answer is a redirect (the
    // outcome is then its status).
    Outcome attemptKeepAlive(const QUrl &url, QByteArray &body, Call &call, QUrl &redirect);
    static void wait(int ms, Call &call);
    static Outcome statusFailure(int code, const QByteArray &retryAfter);
    // Running calls, innermost last (a window handler may start one while
    // another waits in its event loop).
    std::vector<Call *> m_calls;
};
