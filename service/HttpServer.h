// The archive service's HTTP server, built to face many clients and rude
// ones: a few event-driven threads (epoll) whatever the number of
// connections, so that slow clients hold up no one; size limits on what a
// request may send, per-address and total connection limits, an idle
// time-out and a deadline for a request's head. Turns each request into an HttpRequest and sends the
// HttpAnswer the handler makes of it.
#pragma once

#include "service/HttpRequest.h"

#include <cstddef>
#include <functional>
#include <string>

struct HttpAnswer;

struct HttpServerLimits {
    // One per core: more took more pages a second from 500 clients, but
    // time-sliced among themselves the few clients' answers (p99 at 50
    // clients 12 ms with 4 on 2 cores, 8 ms with 2).
    unsigned threads = 0; // 0: as many as cores, at least 2
    size_t connections = 10000; // in all; more are refused at once
    size_t perAddress = 0; // connections from one address; 0: any number
    unsigned idleSeconds = 60; // a connection that sends nothing so long is closed
    // A request's line and headers must all arrive within this of the
    // connection's opening or its last answer, however steadily they
    // trickle; so it is also the longest a kept-alive connection waits
    // between requests. 0: no such bound.
    unsigned headSeconds = 30;
    size_t requestLineBytes = 8192; // longer: 414
    size_t headerBytes = 32768; // more: 431
    size_t getBodyBytes = 1024; // a GET's body over this is refused unread: 413
};

using HttpHandler = std::function<HttpAnswer(const HttpRequest &)>;

// Listens on address:port (a numeric IPv4 or IPv6 address; port 0 picks a
// free port), prints "listening on ADDRESS:PORT" once ready and answers
// until the process ends. False, with a message on standard error, when it
// cannot listen.
bool ServeHttp(const std::string &address, int port, const HttpServerLimits &limits,
    HttpHandler handler, const char *program);
