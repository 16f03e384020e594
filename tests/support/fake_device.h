#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/device_model.h"
#include "tools/devicesim/http_request.h"
#include "tools/devicesim/http_server.h"

namespace test_support {

using devicesim::Connection;
using devicesim::HttpRequest;
using devicesim::NameValueList;

// How a reply announces its body length.
enum class LengthHeader {
    kNormal,     // "Content-Length: <body size>"
    kLowerCase,  // "content-length: <body size>"
    kMissing,    // no length header at all
    kHuge,       // "Content-Length: <Reply::hugeLength>", with only the body's bytes sent
};

// How the reply's bytes travel.
enum class Delivery {
    kWhole,               // one send()
    kPieces,              // one send() per piece, cut at Reply::splitAt
    kByteByByte,          // one send() per byte
    kSilence,             // read the request, never answer; hold until the peer closes
    kCloseWithoutAnswer,  // read the request, close at once without a byte
};

// One scripted reply. Every fault is a field, so they combine: a lower-case
// length header sent byte by byte, a stall in the middle of a split body.
struct Reply {
    int status = 200;
    std::string reason = "OK";
    // Extra header lines; one whose name matches a standard line (compared
    // without regard to case) replaces that line in its place.
    NameValueList headers;
    std::string body;

    LengthHeader length = LengthHeader::kNormal;
    std::uint64_t hugeLength = 4'294'967'296;  // 2^32: zero to a careless 32-bit reader
    bool blankLine = true;  // false: header lines without the terminating empty line, no body

    Delivery delivery = Delivery::kWhole;
    std::vector<std::size_t> splitAt;  // kPieces: offsets into the whole reply (head + body)
    // Hold the connection after this many bytes of the whole reply (0: before
    // answering at all) until ReleaseStalls() or Stop(); then go on.
    std::optional<std::size_t> stallAfter;
    // Send this many body bytes, then reset the connection (SO_LINGER 0).
    std::optional<std::size_t> resetAfterBody;

    static Reply Ok(std::string body = {});
    static Reply Status(int status, std::string reason, std::string body = {});

    // The bytes on the wire (header faults applied) and the header's share of them.
    std::string Bytes() const;
    std::size_t HeadSize() const;
};

// A scripted device on 127.0.0.1 for the client's tests: a real HTTP/1.1
// server on an ephemeral port, one request per connection. Replies are
// chosen per request path, in this order: the path's scripted queue, a
// handler set for the path, the device model (when enabled), the default
// reply (404). Every request that completed its header is recorded byte for
// byte, refused ones (answered 400) included.
class FakeDevice {
public:
    using Handler = devicesim::HttpServer::Handler;
    static constexpr std::chrono::seconds kGenerousWait{30};

    explicit FakeDevice(devicesim::ServerOptions options = {});
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    std::uint16_t port() const { return m_server->port(); }

    // Scripts `path`: the queue's first reply answers the first request, and
    // so on; the last one repeats. SetReply replaces the queue, AddReply
    // appends to it, ClearReply removes it.
    void SetReply(const std::string& path, Reply reply);
    void SetReplies(const std::string& path, std::vector<Reply> replies);
    void AddReply(const std::string& path, Reply reply);
    void ClearReply(const std::string& path);
    void SetDefaultReply(Reply reply);

    // Answers "/SetSysCfg.cgi" for one section (its "Option" parameter) with
    // `reply`, ahead of the path's script, handler and model: a failure
    // scripted per section. ClearSectionReply removes it.
    void SetSectionReply(const std::string& option, Reply reply);
    void ClearSectionReply(const std::string& option);

    // A path served by code that writes for as long as it likes, e.g. a
    // live stream: send until Connection::Send fails or Connection::Stopping().
    void SetHandler(const std::string& path, Handler handler);

    // Answers login, device information, configuration sections and reboot
    // like a Q8A7 recorder; scripted replies and handlers still take precedence.
    // A second call replaces the model; the earlier one stays alive.
    devicesim::DeviceModel& EnableDeviceModel(std::string user = "tresk",
                                              std::string password = "tresk",
                                              devicesim::DeviceProfile profile = {});
    devicesim::DeviceModel* model() const;

    std::vector<HttpRequest> Requests() const;
    std::vector<HttpRequest> RequestsTo(std::string_view path) const;
    std::size_t RequestCount() const;
    // Waits until `count` requests have arrived; false when the wait ran out.
    bool WaitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = kGenerousWait) const;
    // The request numbered `index` (from 0), once it has arrived.
    std::optional<HttpRequest> WaitForRequest(
        std::size_t index, std::chrono::milliseconds timeout = kGenerousWait) const;

    // Stalls: the number of connections holding now, a wait for them, and
    // the release of every connection holding at the time of the call.
    std::size_t StalledCount() const;
    bool WaitForStalls(std::size_t count, std::chrono::milliseconds timeout = kGenerousWait) const;
    void ReleaseStalls();

    // Closes the listener and every connection, wakes stalls and handlers,
    // joins every thread. Idempotent; the destructor calls it.
    void Stop();

private:
    void Serve(const HttpRequest& request, Connection& connection);
    void Record(const HttpRequest& request);
    void SendReply(const Reply& reply, Connection& connection);
    bool Stall();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::map<std::string, std::deque<Reply>, std::less<>> m_scripts;
    std::map<std::string, Handler, std::less<>> m_handlers;
    Reply m_defaultReply;
    std::map<std::string, Reply, std::less<>> m_sectionReplies;
    std::shared_ptr<devicesim::DeviceModel> m_model;
    std::vector<std::shared_ptr<devicesim::DeviceModel>> m_models;  // keeps references valid
    std::vector<HttpRequest> m_requests;
    std::size_t m_stalled = 0;
    std::uint64_t m_releases = 0;
    bool m_stopping = false;

    // Last: its threads use everything above and are joined first.
    std::unique_ptr<devicesim::HttpServer> m_server;
};

}  // namespace test_support
