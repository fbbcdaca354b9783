// A plain HTTP/1.1 client for one host and port that keeps its connection
// between requests and runs each GET on a worker thread of its own, so that
// the calling thread only waits for the answer. The downloader uses it for
// services on this machine: there a request takes less time than Qt
// Network's own work around it.
#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Client;
}

class KeepAliveClient
{
public:
    struct Request {
        std::string target; // path and query, percent-encoded
        int idleTimeoutMs = 30000; // longest wait for the next bytes
        qint64 maxBodyBytes = 0; // a status-200 body beyond this is not read
    };

    // How a request ended.
    enum class Ending {
        Answered, // a whole answer: status, headers and body
        Refused, // no connection could be made
        Stalled, // no bytes for the idle limit
        Broken, // the connection failed after the status line
        NoAnswer, // the connection failed before a status line
        TooLarge, // a status-200 body passed maxBodyBytes
        Cancelled, // cancel() was called
    };

    struct Answer {
        Ending ending = Ending::Cancelled;
        int status = 0;
        QByteArray body; // kept for status 200 only
        QByteArray location; // the Location header, if any
        QByteArray retryAfter; // the Retry-After header, if any
    };

    KeepAliveClient(const QString &host, int port, const QString &userAgent);
    // Cancels a running request and waits for the worker to end.
    ~KeepAliveClient();
    KeepAliveClient(const KeepAliveClient &) = delete;
    KeepAliveClient &operator=(const KeepAliveClient &) = delete;

    [[nodiscard]] bool serves(const QString &host, int port) const
    {
        return host == m_host && port == m_port;
    }

    // Starts request on the worker; one at a time: the previous one must
    // have finished.
    void start(Request request);
    // True once the request has finished, waiting up to ms for it.
    bool waitFor(int ms);
    // Ends the running request soon (Ending::Cancelled); safe from any
    // thread, and harmless when none runs.
    void cancel();
    // Cancels the running request and waits until it has ended.
    void cancelAndWait();
    // The finished request's answer; waits for it to finish.
    [[nodiscard]] Answer answer();

private:
    void work();
    Answer fetch(const Request &request);

    const QString m_host;
    const int m_port;
    std::unique_ptr<httplib::Client> m_client; // used on the worker only, but stop()
    std::string m_userAgent;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_pending = false; // a request waits for the worker
    bool m_finished = true; // no request runs and its answer is ready
    bool m_cancelled = false;
    bool m_quit = false;
    Request m_request;
    Answer m_answer;
    std::thread m_worker; // last: started once the rest is ready
};
