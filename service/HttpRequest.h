// A request as the services' answering code sees it, whichever HTTP library
// read it: the method, the target as sent, the decoded path, the query's
// parameters and the headers.
#pragma once

#include <map>
#include <string>

struct HttpRequest {
    std::string method;
    std::string target; // as the request line wrote it
    std::string path; // percent-decoded
    std::multimap<std::string, std::string> params; // decoded, in the query's order
    std::multimap<std::string, std::string> headers; // names in lower case

    // The first value of the parameter; empty when absent.
    [[nodiscard]] std::string get_param_value(const std::string &name) const
    {
        const auto found = params.find(name);
        return found == params.end() ? std::string() : found->second;
    }
    // The first value of the header (any case of name); empty when absent.
    [[nodiscard]] std::string get_header_value(std::string name) const
    {
        for (char &c : name)
            c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        const auto found = headers.find(name);
        return found == headers.end() ? std::string() : found->second;
    }
};
