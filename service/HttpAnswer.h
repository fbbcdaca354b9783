// An answer of the services as their answering code makes it, whichever
// HTTP library sends it.
#pragma once

#include <string>
#include <utility>
#include <vector>

inline constexpr char XmlContentType[] = "text/xml; charset=utf-8";

struct HttpAnswer {
    int status = 200;
    std::string body;
    std::string contentType = XmlContentType;
    std::vector<std::pair<std::string, std::string>> headers; // more, sent with a 304 too
};

// A small HTML page naming the status.
[[nodiscard]] HttpAnswer HttpErrorAnswer(int status);
