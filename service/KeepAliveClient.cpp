#include "service/KeepAliveClient.h"

#include <httplib.h>

#include <charconv>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray HeaderValue(const httplib::Response &response, const char *name)
{
    return QByteArray::fromStdString(response.get_header_value(name));
}

} // namespace

KeepAliveClient::KeepAliveClient(const QString &host, int port, const QString &userAgent)
    : m_host(host)
    , m_port(port)
    , m_client(std::make_unique<httplib::Client>(host.toStdString(), port))
    , m_userAgent(userAgent.toStdString())
    , m_worker([this] { work(); })
{
    m_client->set_keep_alive(true);
    // An answer's last bytes and the next request go out at once.
    m_client->set_tcp_nodelay(true);
}

KeepAliveClient::~KeepAliveClient()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    cancelAndWait();
    m_worker.join();
}

void KeepAliveClient::start(Request request)
{
    {
        std::lock_guard lock(m_mutex);
        m_request = std::move(request);
        m_answer = {};
        m_cancelled = false;
        m_finished = false;
        m_pending = true;
    }
    m_changed.notify_all();
}

bool KeepAliveClient::waitFor(int ms)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_finished; });
}

void KeepAliveClient::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return;
        m_cancelled = true;
    }
    // Thread-safe in the library: it shuts the connection of a running
    // request, so that a wait for bytes ends at once.
    m_client->stop();
}

void KeepAliveClient::cancelAndWait()
{
    // A stop() can come just before the worker opens its connection, which
    // then lives on: it is repeated until the request has ended.
    do
        cancel();
    while (!waitFor(10));
}

KeepAliveClient::Answer KeepAliveClient::answer()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_finished; });
    return std::move(m_answer);
}

void KeepAliveClient::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_quit; });
        if (m_quit && !m_pending)
            return;
        m_pending = false;
        const Request request = m_request;
        lock.unlock();
        Answer answer = fetch(request);
        lock.lock();
        m_answer = std::move(answer);
        m_finished = true;
        m_changed.notify_all();
    }
}

KeepAliveClient::Answer KeepAliveClient::fetch(const Request &request)
{
    const auto idle = std::chrono::milliseconds(request.idleTimeoutMs);
    m_client->set_connection_timeout(idle);
    m_client->set_read_timeout(idle);
    m_client->set_write_timeout(idle);
    const httplib::Headers headers { { "User-Agent", m_userAgent } };
    const auto cancelled = [this] {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    };

    // A kept connection that the service closed while it was idle fails
    // before any answer: the request is sent once more on a new connection.
    for (int attempt = 1;; ++attempt) {
        Answer answer;
        bool statusSeen = false, tooLarge = false;
        Clock::time_point lastBytes = Clock::now();
        const auto takeHeaders = [&](const httplib::Response &response) {
            statusSeen = true;
            answer.status = response.status;
            answer.location = HeaderValue(response, "Location");
            answer.retryAfter = HeaderValue(response, "Retry-After");
        };
        // Called before the body is read; not at all for an answer that
        // cannot have one (204, 304).
        const auto onHeaders = [&](const httplib::Response &response) {
            lastBytes = Clock::now();
            takeHeaders(response);
            const std::string length = response.get_header_value("Content-Length");
            qint64 declared = 0;
            if (response.status == 200 && !length.empty()
                && std::from_chars(length.data(), length.data() + length.size(), declared).ec
                    == std::errc()
                && declared > request.maxBodyBytes)
                tooLarge = true;
            else if (response.status == 200 && declared > 0)
                answer.body.reserve(declared); // one block, not regrown as it comes
            return !tooLarge && !cancelled();
        };
        const auto onBody = [&](const char *data, size_t size) {
            lastBytes = Clock::now();
            if (answer.status == 200) { // error pages are not kept
                if (answer.body.size() + qint64(size) > request.maxBodyBytes)
                    tooLarge = true;
                else
                    answer.body.append(data, qsizetype(size));
            }
            return !tooLarge && !cancelled();
        };
        const httplib::Result result = m_client->Get(request.target, headers, onHeaders, onBody);
        if (cancelled()) {
            answer.ending = Ending::Cancelled;
        } else if (result) {
            takeHeaders(*result);
            answer.ending = Ending::Answered;
        } else if (tooLarge) {
            answer.ending = Ending::TooLarge;
        } else if (result.error() == httplib::Error::Connection) {
            answer.ending = Ending::Refused;
        } else if (result.error() == httplib::Error::ConnectionTimeout
            || Clock::now() - lastBytes >= idle) {
            // A read that waited the whole idle limit for its next bytes.
            answer.ending = Ending::Stalled;
        } else if (statusSeen) {
            answer.ending = Ending::Broken;
        } else if (attempt == 1) {
            continue;
        } else {
            answer.ending = Ending::NoAnswer;
        }
        return answer;
    }
}
