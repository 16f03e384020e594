#include "tools/devicesim/http_request.h"

#include <algorithm>
#include <limits>

namespace devicesim {
namespace {

constexpr std::string_view kCrLf = "\r\n";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool Fail(HttpRequest& request, std::string why) {
    request.error = std::move(why);
    return false;
}

// "METHOD SP target SP version". The target may itself hold spaces (the
// client does not escape parameter values), so the method ends at the first
// space and the version starts after the last one.
bool ParseRequestLine(std::string_view line, HttpRequest& request) {
    const auto first = line.find(' ');
    const auto last = line.rfind(' ');
    if (first == std::string_view::npos || first == 0 || last <= first + 1) {
        return Fail(request, "malformed request line");
    }
    request.method = std::string(line.substr(0, first));
    request.target = std::string(line.substr(first + 1, last - first - 1));
    request.version = std::string(line.substr(last + 1));
    if (!request.version.starts_with("HTTP/")) {
        return Fail(request, "malformed request line");
    }
    const auto question = request.target.find('?');
    request.path = request.target.substr(0, question);
    if (question != std::string::npos) {
        request.query = ParseQuery(std::string_view(request.target).substr(question + 1));
    }
    return true;
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        value = (value > (kMax - digit) / 10) ? kMax : value * 10 + digit;
    }
    return value;
}

NameValueList ParseQuery(std::string_view query) {
    NameValueList pairs;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const auto part = query.substr(0, amp);
        const auto eq = part.find('=');
        if (eq == std::string_view::npos) {
            pairs.emplace_back(std::string(part), std::string());
        } else {
            pairs.emplace_back(std::string(part.substr(0, eq)), std::string(part.substr(eq + 1)));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return pairs;
}

std::optional<std::string_view> HttpRequest::Param(std::string_view name) const {
    for (const auto& [key, value] : query) {
        if (key == name) {
            return std::string_view(value);
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsIgnoreCase(key, name)) {
            return std::string_view(value);
        }
    }
    return std::nullopt;
}

std::optional<RequestHead> ParseRequestHead(std::string_view head, HttpRequest& request) {
    // The caller hands over the block up to and including CR LF CR LF; drop
    // the final empty line so that every remaining line ends in CR LF.
    if (!head.ends_with("\r\n\r\n")) {
        Fail(request, "header not terminated");
        return std::nullopt;
    }
    head.remove_suffix(2);

    auto end = head.find(kCrLf);
    if (!ParseRequestLine(head.substr(0, end), request)) {
        return std::nullopt;
    }
    head.remove_prefix(end + kCrLf.size());

    RequestHead result;
    std::optional<std::uint64_t> length;
    while (!head.empty()) {
        end = head.find(kCrLf);
        const auto line = head.substr(0, end);
        head.remove_prefix(end + kCrLf.size());
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            Fail(request, "malformed header line");
            return std::nullopt;
        }
        const auto name = line.substr(0, colon);
        const auto value = TrimBlanks(line.substr(colon + 1));
        request.headers.emplace_back(std::string(name), std::string(value));
        if (EqualsIgnoreCase(name, "Content-Length")) {
            const auto parsed = ParseDecimal(value);
            if (!parsed || (length && *length != *parsed)) {
                Fail(request, "bad Content-Length");
                return std::nullopt;
            }
            length = parsed;
        } else if (EqualsIgnoreCase(name, "Transfer-Encoding")) {
            // Nothing the client sends is chunked; refuse rather than guess.
            Fail(request, "Transfer-Encoding not supported");
            return std::nullopt;
        }
    }
    result.contentLength = length.value_or(0);
    return result;
}

}  // namespace devicesim
