// A plain HTTP/1.1 client for one host and port that keeps its connection
// between requests and runs each GET on a worker thread of its own, so that
// the calling thread only waits for the answer. The downloader uses it for
// services on this machine: there a request takes less time than Qt
// Network's own work around it.
#pragma once

#include "service/HttpTransport.h"

#include <QObject>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Client;
}

class KeepAliveClient final : public HttpTransport
{
public:
    KeepAliveClient(const QString &host, int port);
    // Cancels a running request and waits for the worker to end.
    ~KeepAliveClient() override;
    KeepAliveClient(const KeepAliveClient &) = delete;
    KeepAliveClient &operator=(const KeepAliveClient &) = delete;

    [[nodiscard]] bool serves(const QString &host, int port) const
    {
        return host == m_host && port == m_port;
    }

    // The worker posts done to the calling thread's event loop.
    void start(const TransportRequest &request, std::function<void()> done) override;
    bool waitFor(int ms) override;
    void cancel() override;
    [[nodiscard]] TransportAnswer take() override;

private:
    void work();
    // Ends the running request soon; safe from any thread.
    void stop();
    TransportAnswer fetch(const TransportRequest &request);
    // On the calling thread: runs done for request number, if still wanted.
    void deliver(quint64 number);

    const QString m_host;
    const int m_port;
    std::unique_ptr<httplib::Client> m_client; // used on the worker only, but stop()
    QObject m_wakeUp; // lives on the calling thread; the worker posts to it

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_pending = false; // a request waits for the worker
    bool m_finished = true; // no request runs and its answer is ready
    bool m_cancelled = false;
    bool m_quit = false;
    quint64 m_number = 0; // of the latest request
    std::function<void()> m_done;
    TransportRequest m_request;
    TransportAnswer m_answer;
    std::thread m_worker; // last: started once the rest is ready
};
