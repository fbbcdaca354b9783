// Pieces shared by the programs that serve the service's requests over HTTP
// (the sample service and plotwise-archive): answers, error pages, the
// request log, and listening on 127.0.0.1 or another address.
#pragma once

#include "service/HttpAnswer.h"
#include "service/HttpRequest.h"

#include <httplib.h>
#include <string>
#include <string_view>

// Sends the answer with its exact Content-Length and never compressed.
void SendAnswer(const HttpAnswer &answer, httplib::Response &res);

// Binds to address:port (a numeric IPv4 or IPv6 address; port 0 picks a
// free port), prints "listening on ADDRESS:PORT" ("[ADDRESS]:PORT" for IPv6)
// on standard output once ready, and serves until stopped. False, with a
// message on standard error, when it cannot listen.
bool ListenOn(httplib::Server &server, const std::string &address, int port, const char *program);
inline bool ListenOnLoopback(httplib::Server &server, int port, const char *program)
{
    return ListenOn(server, "127.0.0.1", port, program);
}

// "ADDRESS" or "[ADDRESS]" for an IPv6 address, as it goes before ":PORT";
// empty when address is no numeric IPv4 or IPv6 address.
[[nodiscard]] std::string ListenAddressText(const std::string &address);

// Text from a request as a log or message shows it: every byte but printable
// ASCII, and the backslash, as \xHH, so that it stays on its line and cannot
// move a terminal's cursor, ring it or rewrite what it shows.
[[nodiscard]] std::string LogText(std::string_view text);

// "METHOD TARGET<tab>USER-AGENT" and a line end, each part as LogText gives it.
[[nodiscard]] std::string RequestLogLine(const httplib::Request &req);
[[nodiscard]] std::string RequestLogLine(const HttpRequest &req);
