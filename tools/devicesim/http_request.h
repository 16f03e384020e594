#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devicesim {

// Name/value pairs in the order they arrived (query parameters, header lines).
using NameValueList = std::vector<std::pair<std::string, std::string>>;

// One request as the simulated device received it. `raw` holds the bytes
// exactly as they came off the wire (header block and body); the other
// fields are what could be read from them.
struct HttpRequest {
    std::string raw;
    std::string method;
    std::string target;  // path and query as sent
    std::string path;    // target up to the first '?'
    std::string version;
    NameValueList query;    // undecoded: the client sends values as they are
    NameValueList headers;  // names as sent, values without surrounding blanks
    std::string body;       // the Content-Length bytes that followed the header
    std::string peer;       // "a.b.c.d:port" of the client
    std::string error;      // why the request was refused; empty when it was well formed

    bool ok() const { return error.empty(); }

    // First query parameter of exactly this name.
    std::optional<std::string_view> Param(std::string_view name) const;
    // First header of this name, compared without regard to letter case.
    std::optional<std::string_view> Header(std::string_view name) const;
};

// Result of reading the header block of a request.
struct RequestHead {
    std::uint64_t contentLength = 0;  // 0 when the header announced none
};

// Reads the request line and header lines of `head` (everything up to and
// including the blank line) into `request`. On a malformed header sets
// request.error and returns nullopt.
std::optional<RequestHead> ParseRequestHead(std::string_view head, HttpRequest& request);

// Splits "a=1&b=2" into pairs; a part without '=' gets an empty value.
NameValueList ParseQuery(std::string_view query);

// Decimal digits to an unsigned value, saturating instead of overflowing.
// Returns nullopt when `text` is empty or holds anything but digits.
std::optional<std::uint64_t> ParseDecimal(std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace devicesim
