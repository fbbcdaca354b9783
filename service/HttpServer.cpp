#include "service/HttpServer.h"

#include "service/HttpAnswer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <microhttpd.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace {

using Clock = std::chrono::steady_clock;

// Connections owing a request's head, each with the time it is due by. The
// library bounds only the silence between reads, so a client sending a
// byte a second would hold its connection for ever; a watching thread
// shuts down the socket of one past its time (the one thing another thread
// may do to a connection the library holds), and the library then closes
// it. A connection leaves before the library closes its socket, so a
// descriptor is never shut down after being given to another connection.
class HeadDeadlines
{
public:
    explicit HeadDeadlines(unsigned seconds)
        : m_span(std::chrono::seconds(seconds))
    {
    }

    void opened(MHD_Connection *connection, int socket)
    {
        const std::lock_guard lock(m_mutex);
        m_due[connection] = { socket, Clock::now() + m_span };
    }
    void headRead(MHD_Connection *connection) { due(connection, Clock::time_point::max()); }
    void answered(MHD_Connection *connection) { due(connection, Clock::now() + m_span); }
    void closed(MHD_Connection *connection)
    {
        const std::lock_guard lock(m_mutex);
        m_due.erase(connection);
    }

    [[noreturn]] void watch()
    {
        for (;;) {
            std::this_thread::sleep_for(std::min<Clock::duration>(m_span / 4, std::chrono::seconds(1)));
            const std::lock_guard lock(m_mutex);
            const Clock::time_point now = Clock::now();
            for (auto &[connection, entry] : m_due) {
                if (entry.due <= now) {
                    ::shutdown(entry.socket, SHUT_RDWR);
                    entry.due = Clock::time_point::max();
                }
            }
        }
    }

private:
    struct Entry {
        int socket;
        Clock::time_point due;
    };

    void due(MHD_Connection *connection, Clock::time_point when)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_due.find(connection);
        if (found != m_due.end())
            found->second.due = when;
    }

    const Clock::duration m_span;
    std::mutex m_mutex;
    std::unordered_map<MHD_Connection *, Entry> m_due;
};

struct Server {
    HttpServerLimits limits;
    HttpHandler handler;
    std::unique_ptr<HeadDeadlines> deadlines; // none without a bound
};

void NoteConnection(void *cls, MHD_Connection *connection, void **, MHD_ConnectionNotificationCode toe)
{
    HeadDeadlines &deadlines = *static_cast<Server *>(cls)->deadlines;
    if (toe == MHD_CONNECTION_NOTIFY_CLOSED) {
        deadlines.closed(connection);
        return;
    }
    if (const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
        deadlines.opened(connection, info->connect_fd);
}

// What MHD keeps of a request between its calls: the target as sent (its
// parser keeps only the decoded path), and whether its head was let pass.
struct Exchange {
    std::string target;
    bool passed = false;
    HttpRequest request;
};

void *KeepTarget(void *, const char *uri, MHD_Connection *)
{
    return new Exchange { uri ? uri : "" };
}

void Forget(void *cls, MHD_Connection *connection, void **context, MHD_RequestTerminationCode)
{
    if (const auto &deadlines = static_cast<Server *>(cls)->deadlines)
        deadlines->answered(connection);
    delete static_cast<Exchange *>(*context);
    *context = nullptr;
}

MHD_Result AddValue(void *into, MHD_ValueKind, const char *key, const char *value)
{
    std::string name = key ? key : "";
    auto *values = static_cast<std::multimap<std::string, std::string> *>(into);
    values->emplace(std::move(name), value ? value : "");
    return MHD_YES;
}

// The body moves to the response, which frees it once sent.
MHD_Result Send(MHD_Connection *connection, HttpAnswer answer, bool close)
{
    auto *body = new std::string(std::move(answer.body));
    MHD_Response *response = MHD_create_response_from_buffer_with_free_callback_cls(body->size(),
        body->data(), [](void *text) { delete static_cast<std::string *>(text); }, body);
    if (!response) {
        delete body;
        return MHD_NO;
    }
    if (answer.status != 304 && answer.status != 204)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    for (const auto &[name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    if (close)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, unsigned(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

// A rude request is answered with its status and the connection closed:
// what else it sent is not read.
MHD_Result Refuse(MHD_Connection *connection, int status)
{
    return Send(connection, HttpErrorAnswer(status), true);
}

MHD_Result Answer(void *cls, MHD_Connection *connection, const char *url, const char *method,
    const char *, const char *, size_t *bodyBytes, void **context)
{
    const Server &server = *static_cast<const Server *>(cls);
    auto *exchange = static_cast<Exchange *>(*context);
    // The head is judged at the first call; the answer goes at the last,
    // once a small body was read past: an answer queued at the first call
    // would close the connection.
    if (exchange->passed) {
        if (*bodyBytes == 0)
            return Send(connection, server.handler(exchange->request), false);
        *bodyBytes = 0;
        return MHD_YES;
    }
    if (server.deadlines)
        server.deadlines->headRead(connection);
    if (exchange->target.size() > server.limits.requestLineBytes)
        return Refuse(connection, 414);
    HttpRequest request;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, AddValue, &request.headers);
    size_t headerBytes = 0;
    std::multimap<std::string, std::string> headers;
    for (const auto &[name, value] : request.headers) {
        headerBytes += name.size() + value.size() + 4;
        std::string lower = name;
        for (char &c : lower)
            c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        headers.emplace(std::move(lower), value);
    }
    request.headers = std::move(headers);
    if (headerBytes > server.limits.headerBytes)
        return Refuse(connection, 431);
    request.method = method;
    if (request.method != "GET" && request.method != "HEAD")
        return Refuse(connection, 405);
    // A body on a GET is no part of the request: a small one is let be, a
    // large one (or one of unknown length) refused before it is read.
    const std::string length = request.get_header_value("Content-Length");
    if (!request.get_header_value("Transfer-Encoding").empty()
        || (!length.empty()
            && (length.size() > 18 || std::strtoull(length.c_str(), nullptr, 10) > server.limits.getBodyBytes)))
        return Refuse(connection, 413);
    request.target = std::move(exchange->target);
    request.path = url;
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, AddValue, &request.params);
    exchange->request = std::move(request);
    exchange->passed = true;
    return MHD_YES;
}

// An address's text as it goes before ":PORT"; empty for no numeric address.
std::string AddressText(const std::string &address, sockaddr_storage &socketAddress, socklen_t &size)
{
    socketAddress = {};
    auto *v4 = reinterpret_cast<sockaddr_in *>(&socketAddress);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&socketAddress);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        size = sizeof *v4;
        return address;
    }
    if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        size = sizeof *v6;
        return '[' + address + ']';
    }
    return {};
}

} // namespace

bool ServeHttp(const std::string &address, int port, const HttpServerLimits &limits,
    HttpHandler handler, const char *program)
{
    sockaddr_storage socketAddress {};
    socklen_t size = 0;
    const std::string shown = AddressText(address, socketAddress, size);
    if (shown.empty()) {
        std::fprintf(stderr, "%s: %s is no IPv4 or IPv6 address\n", program, address.c_str());
        return false;
    }
    reinterpret_cast<sockaddr_in *>(&socketAddress)->sin_port = htons(uint16_t(port)); // same place in both
    // SO_REUSEADDR alone: a restart may take over a port in TIME_WAIT, but a
    // second server cannot share the port of a running one.
    const int listener = ::socket(socketAddress.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    if (listener < 0 || ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0
        || ::bind(listener, reinterpret_cast<sockaddr *>(&socketAddress), size) != 0
        || ::listen(listener, 1024) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&socketAddress), &size) != 0) {
        std::fprintf(stderr, "%s: cannot listen on %s:%d: %s\n", program, shown.c_str(), port,
            std::strerror(errno));
        if (listener >= 0)
            ::close(listener);
        return false;
    }
    // Each connection takes a descriptor: as many as the system allows.
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    static Server server { limits, std::move(handler),
        limits.headSeconds ? std::make_unique<HeadDeadlines>(limits.headSeconds) : nullptr };
    // A request's line and headers are read into the connection's own pool:
    // larger ones are answered 414 or 431 by the library itself.
    const unsigned threads = limits.threads ? limits.threads : std::max(2u, std::thread::hardware_concurrency());
    const size_t pool = limits.requestLineBytes + limits.headerBytes + 16384;
    MHD_Daemon *daemon = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_TURBO, 0, nullptr,
        nullptr, Answer, &server, MHD_OPTION_LISTEN_SOCKET, listener, MHD_OPTION_THREAD_POOL_SIZE,
        threads, MHD_OPTION_CONNECTION_LIMIT, unsigned(limits.connections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, unsigned(limits.perAddress),
        MHD_OPTION_CONNECTION_TIMEOUT, limits.idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, pool,
        MHD_OPTION_URI_LOG_CALLBACK, KeepTarget, nullptr, MHD_OPTION_NOTIFY_COMPLETED, Forget,
        &server, MHD_OPTION_NOTIFY_CONNECTION, server.deadlines ? NoteConnection : nullptr, &server,
        MHD_OPTION_END);
    if (!daemon) {
        std::fprintf(stderr, "%s: cannot serve on %s:%d\n", program, shown.c_str(), port);
        ::close(listener);
        return false;
    }
    std::printf("listening on %s:%d\n", shown.c_str(),
        int(ntohs(reinterpret_cast<sockaddr_in *>(&socketAddress)->sin_port)));
    std::fflush(stdout);
    if (server.deadlines)
        server.deadlines->watch(); // until a signal ends the process
    for (;;)
        ::pause();
}
