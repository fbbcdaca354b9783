#include "service/LocalHttp.h"

#include <cstdio>
#include <arpa/inet.h>
#include <sys/socket.h>

HttpAnswer HttpErrorAnswer(int status)
{
    const std::string code = std::to_string(status);
    return { status, "<html><body><h1>" + code + "</h1></body></html>\n", "text/html" };
}

// Bodies go out through a sized content provider, which the library never
// compresses: its packer takes longer over a page than the whole request,
// and Content-Length then states the exact body size.
void SendAnswer(const HttpAnswer &answer, httplib::Response &res)
{
    res.status = answer.status;
    for (const auto &[name, value] : answer.headers)
        res.set_header(name, value);
    if (answer.status == 204 || answer.status == 304)
        return;
    if (answer.body.empty()) { // a provider of no bytes would send no length
        res.set_content(answer.body, answer.contentType.c_str());
        return;
    }
    res.set_content_provider(answer.body.size(), answer.contentType.c_str(),
        [body = answer.body](size_t offset, size_t length, httplib::DataSink &sink) {
            return sink.write(body.data() + offset, length);
        });
}

std::string ListenAddressText(const std::string &address)
{
    unsigned char bytes[sizeof(in6_addr)];
    if (inet_pton(AF_INET, address.c_str(), bytes) == 1)
        return address;
    if (inet_pton(AF_INET6, address.c_str(), bytes) == 1)
        return '[' + address + ']';
    return {};
}

bool ListenOn(httplib::Server &server, const std::string &address, int port, const char *program)
{
    // SO_REUSEADDR alone: a restart may take over a port in TIME_WAIT, but a
    // second server cannot share the port of a running one (cpp-httplib's
    // default, SO_REUSEPORT, would let both listen and split the requests).
    server.set_socket_options([](auto sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    // Headers and body go out in separate writes: without this, the body of
    // a keep-alive answer waits for the client's delayed ACK (40 ms).
    server.set_tcp_nodelay(true);
    // A client's page loop keeps its connection instead of reconnecting
    // every fifth request (the library's default).
    server.set_keep_alive_max_count(100000);
    const std::string shown = ListenAddressText(address);
    if (shown.empty()) {
        std::fprintf(stderr, "%s: %s is no IPv4 or IPv6 address\n", program, address.c_str());
        return false;
    }
    const int bound = port == 0 ? server.bind_to_any_port(address)
                                : (server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "%s: cannot listen on %s:%d\n", program, shown.c_str(), port);
        return false;
    }
    std::printf("listening on %s:%d\n", shown.c_str(), bound);
    std::fflush(stdout);
    return server.listen_after_bind();
}

std::string LogText(std::string_view text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(Hex[byte >> 4]);
            out.push_back(Hex[byte & 0xF]);
        }
    }
    return out;
}

namespace {

template <typename Request>
std::string LogLine(const Request &req)
{
    return LogText(req.method) + ' ' + LogText(req.target) + '\t'
        + LogText(req.get_header_value("User-Agent")) + '\n';
}

} // namespace

std::string RequestLogLine(const httplib::Request &req)
{
    return LogLine(req);
}

std::string RequestLogLine(const HttpRequest &req)
{
    return LogLine(req);
}
