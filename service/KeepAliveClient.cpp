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

// The body size the answer declared, when it can be checked.
std::optional<qint64> DeclaredLength(const httplib::Response &response)
{
    if (response.has_header("Content-Encoding") || !response.has_header("Content-Length"))
        return std::nullopt;
    const std::string text = response.get_header_value("Content-Length");
    qint64 length = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return length;
}

} // namespace

KeepAliveClient::KeepAliveClient(const QString &host, int port)
    : m_host(host)
    , m_port(port)
    , m_client(std::make_unique<httplib::Client>(host.toStdString(), port))
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
        m_done = {};
    }
    m_changed.notify_all();
    cancel();
    m_worker.join();
}

void KeepAliveClient::start(const TransportRequest &request, std::function<void()> done)
{
    {
        std::lock_guard lock(m_mutex);
        m_request = request;
        m_answer = {};
        m_done = std::move(done);
        ++m_number;
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

void KeepAliveClient::stop()
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

void KeepAliveClient::cancel()
{
    // A stop() can come just before the worker opens its connection, which
    // then lives on: it is repeated until the request has ended.
    do
        stop();
    while (!waitFor(10));
}

TransportAnswer KeepAliveClient::take()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_finished; });
    m_done = {}; // a wake-up still on its way finds nothing to run
    return std::move(m_answer);
}

void KeepAliveClient::deliver(quint64 number)
{
    std::function<void()> done;
    {
        std::lock_guard lock(m_mutex);
        if (number != m_number || !m_finished)
            return;
        done = std::exchange(m_done, {});
    }
    if (done)
        done();
}

void KeepAliveClient::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_quit; });
        if (m_quit && !m_pending)
            return;
        m_pending = false;
        const TransportRequest request = m_request;
        const quint64 number = m_number;
        lock.unlock();
        TransportAnswer answer = fetch(request);
        lock.lock();
        m_answer = std::move(answer);
        m_finished = true;
        m_changed.notify_all();
        // The wake-up: the caller's event loop runs done, no polling.
        if (m_done)
            QMetaObject::invokeMethod(
                &m_wakeUp, [this, number] { deliver(number); }, Qt::QueuedConnection);
    }
}

TransportAnswer KeepAliveClient::fetch(const TransportRequest &request)
{
    const auto idle = std::chrono::milliseconds(request.idleTimeoutMs);
    m_client->set_connection_timeout(idle);
    m_client->set_read_timeout(idle);
    m_client->set_write_timeout(idle);
    httplib::Headers headers { { "User-Agent", request.userAgent.toStdString() } };
    if (!request.ifNoneMatch.isEmpty())
        headers.emplace("If-None-Match", request.ifNoneMatch.toStdString());
    QByteArray target = request.url.toEncoded(
        QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    const auto cancelled = [this] {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    };

    // A kept connection that the service closed while it was idle fails
    // before any answer: the request is sent once more on a new connection.
    for (int attempt = 1;; ++attempt) {
        TransportAnswer answer;
        AnswerReader reader(answer, request.maxBodyBytes);
        bool statusSeen = false;
        Clock::time_point lastBytes = Clock::now();
        const auto takeHeaders = [&](const httplib::Response &response) {
            statusSeen = true;
            answer.location = HeaderValue(response, "Location");
            answer.retryAfter = HeaderValue(response, "Retry-After");
            answer.entityTag = HeaderValue(response, "ETag");
            return reader.headers(response.status, DeclaredLength(response));
        };
        // Called before the body is read; not at all for an answer that
        // cannot have one (204, 304).
        const auto onHeaders = [&](const httplib::Response &response) {
            lastBytes = Clock::now();
            return takeHeaders(response) && !cancelled();
        };
        const auto onBody = [&](const char *data, size_t size) {
            lastBytes = Clock::now();
            return reader.body(data, qsizetype(size)) && !cancelled();
        };
        const httplib::Result result
            = m_client->Get(target.toStdString(), headers, onHeaders, onBody);
        if (cancelled()) {
            answer.ending = DownloadFailure::Aborted;
            answer.reason = QStringLiteral("aborted");
        } else if (result) {
            takeHeaders(*result);
            answer.ending = DownloadFailure::None;
        } else if (answer.tooLarge) {
            answer.ending = DownloadFailure::TooLarge;
            answer.reason = QStringLiteral("answer too large");
        } else if (result.error() == httplib::Error::Connection) {
            answer.ending = DownloadFailure::Unreachable;
            answer.reason = QStringLiteral("connection refused");
        } else if (result.error() == httplib::Error::ConnectionTimeout
            || Clock::now() - lastBytes >= idle) {
            // A read that waited the whole idle limit for its next bytes.
            answer.ending = DownloadFailure::TimedOut;
            answer.reason = QStringLiteral("timed out");
        } else if (statusSeen) {
            answer.ending = DownloadFailure::Broken;
            answer.reason = QStringLiteral("transfer broken off");
        } else if (attempt == 1) {
            continue;
        } else {
            answer.ending = DownloadFailure::Other;
            answer.reason = QStringLiteral("connection closed without an answer");
        }
        return answer;
    }
}
