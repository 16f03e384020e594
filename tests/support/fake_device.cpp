#include "tests/support/fake_device.h"

#include <algorithm>
#include <utility>

namespace test_support {
namespace {

// The header block of a reply with its length faults applied.
std::string RenderHead(const Reply& reply) {
    NameValueList lines = {
        {"Content-Type", "text/plain"},
        {"Content-Length", std::to_string(reply.body.size())},
        {"Connection", "close"},
    };
    switch (reply.length) {
        case LengthHeader::kNormal:
            break;
        case LengthHeader::kLowerCase:
            lines[1].first = "content-length";
            break;
        case LengthHeader::kMissing:
            lines.erase(lines.begin() + 1);
            break;
        case LengthHeader::kHuge:
            lines[1].second = std::to_string(reply.hugeLength);
            break;
    }
    for (const auto& [name, value] : reply.headers) {
        const auto same = std::find_if(lines.begin(), lines.end(), [&](const auto& line) {
            return devicesim::EqualsIgnoreCase(line.first, name);
        });
        if (same != lines.end()) {
            *same = {name, value};
        } else {
            lines.emplace_back(name, value);
        }
    }
    std::string head = devicesim::FormatResponseHead(reply.status, reply.reason, lines);
    if (!reply.blankLine) {
        head.resize(head.size() - 2);  // the empty line's CR LF
    }
    return head;
}

}  // namespace

Reply Reply::Ok(std::string body) {
    Reply reply;
    reply.body = std::move(body);
    return reply;
}

Reply Reply::Status(int status, std::string reason, std::string body) {
    Reply reply;
    reply.status = status;
    reply.reason = std::move(reason);
    reply.body = std::move(body);
    return reply;
}

std::string Reply::Bytes() const {
    std::string bytes = RenderHead(*this);
    if (blankLine) {
        bytes += body;
    }
    return bytes;
}

std::size_t Reply::HeadSize() const {
    return RenderHead(*this).size();
}

FakeDevice::FakeDevice(devicesim::ServerOptions options)
    : m_defaultReply(Reply::Status(404, "Not Found")) {
    m_server = std::make_unique<devicesim::HttpServer>(
        [this](const HttpRequest& request, Connection& connection) { Serve(request, connection); },
        [this](const HttpRequest& request) { Record(request); }, options);
}

FakeDevice::~FakeDevice() {
    Stop();
}

void FakeDevice::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_server->Stop();
}

void FakeDevice::SetReply(const std::string& path, Reply reply) {
    std::lock_guard lock(m_mutex);
    m_scripts[path] = std::deque<Reply>{std::move(reply)};
}

void FakeDevice::SetReplies(const std::string& path, std::vector<Reply> replies) {
    std::lock_guard lock(m_mutex);
    auto& queue = m_scripts[path];
    queue.assign(std::make_move_iterator(replies.begin()), std::make_move_iterator(replies.end()));
}

void FakeDevice::AddReply(const std::string& path, Reply reply) {
    std::lock_guard lock(m_mutex);
    m_scripts[path].push_back(std::move(reply));
}

void FakeDevice::ClearReply(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_scripts.erase(path);
}

void FakeDevice::SetDefaultReply(Reply reply) {
    std::lock_guard lock(m_mutex);
    m_defaultReply = std::move(reply);
}

void FakeDevice::SetSectionReply(const std::string& option, Reply reply) {
    std::lock_guard lock(m_mutex);
    m_sectionReplies[option] = std::move(reply);
}

void FakeDevice::ClearSectionReply(const std::string& option) {
    std::lock_guard lock(m_mutex);
    m_sectionReplies.erase(option);
}

void FakeDevice::SetHandler(const std::string& path, Handler handler) {
    std::lock_guard lock(m_mutex);
    m_handlers[path] = std::move(handler);
}

devicesim::DeviceModel& FakeDevice::EnableDeviceModel(std::string user, std::string password,
                                                      devicesim::DeviceProfile profile) {
    auto model = std::make_shared<devicesim::DeviceModel>(std::move(user), std::move(password),
                                                          std::move(profile));
    std::lock_guard lock(m_mutex);
    m_model = model;
    m_models.push_back(model);
    return *model;
}

devicesim::DeviceModel* FakeDevice::model() const {
    std::lock_guard lock(m_mutex);
    return m_model.get();
}

void FakeDevice::Record(const HttpRequest& request) {
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    m_changed.notify_all();
}

void FakeDevice::Serve(const HttpRequest& request, Connection& connection) {
    Record(request);

    std::optional<Reply> scripted;
    Handler handler;
    std::shared_ptr<devicesim::DeviceModel> model;
    Reply fallback;
    {
        std::lock_guard lock(m_mutex);
        const auto section = request.path == "/SetSysCfg.cgi"
                                 ? m_sectionReplies.find(request.Param("Option").value_or(""))
                                 : m_sectionReplies.end();
        if (section != m_sectionReplies.end()) {
            scripted = section->second;
        } else if (auto script = m_scripts.find(request.path);
                   script != m_scripts.end() && !script->second.empty()) {
            scripted = script->second.front();
            if (script->second.size() > 1) {
                script->second.pop_front();
            }
        } else if (auto found = m_handlers.find(request.path); found != m_handlers.end()) {
            handler = found->second;
        } else {
            model = m_model;
            fallback = m_defaultReply;
        }
    }

    if (scripted) {
        SendReply(*scripted, connection);
    } else if (handler) {
        handler(request, connection);
    } else if (model && model->firmware().Serve(request, connection)) {
        // the firmware upgrade's paths answer on the connection themselves
    } else if (auto answer = model ? model->Answer(request) : std::nullopt) {
        Reply reply =
            Reply::Status(answer->status, std::move(answer->reason), std::move(answer->body));
        reply.headers = {{"Content-Type", answer->contentType}};
        SendReply(reply, connection);
    } else {
        SendReply(fallback, connection);
    }
}

void FakeDevice::SendReply(const Reply& reply, Connection& connection) {
    if (reply.delivery == Delivery::kSilence) {
        connection.HoldUntilPeerCloses();
        return;
    }
    if (reply.delivery == Delivery::kCloseWithoutAnswer) {
        return;
    }

    const std::string bytes = reply.Bytes();
    const std::string_view wire = bytes;
    std::size_t end = bytes.size();
    if (reply.resetAfterBody) {
        end = std::min(end, reply.HeadSize() + *reply.resetAfterBody);
    }
    std::optional<std::size_t> stallAt;
    if (reply.stallAfter) {
        stallAt = std::min(*reply.stallAfter, end);
    }

    // Each piece is its own send() on a TCP_NODELAY socket, so it leaves at
    // once; a stall point is also a piece boundary.
    std::size_t pos = 0;
    for (;;) {
        if (stallAt && pos == *stallAt) {
            stallAt.reset();
            if (!Stall()) {
                return;
            }
        }
        if (pos >= end) {
            break;
        }
        std::size_t next = end;
        if (reply.delivery == Delivery::kByteByByte) {
            next = pos + 1;
        } else if (reply.delivery == Delivery::kPieces) {
            for (const auto cut : reply.splitAt) {
                if (cut > pos && cut < next) {
                    next = cut;
                }
            }
        }
        if (stallAt && *stallAt > pos && *stallAt < next) {
            next = *stallAt;
        }
        if (!connection.Send(wire.substr(pos, next - pos))) {
            return;
        }
        pos = next;
    }
    if (reply.resetAfterBody) {
        connection.Reset();
    }
}

bool FakeDevice::Stall() {
    std::unique_lock lock(m_mutex);
    if (m_stopping) {
        return false;
    }
    const auto ticket = m_releases;
    ++m_stalled;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_stopping || m_releases != ticket; });
    --m_stalled;
    m_changed.notify_all();
    return !m_stopping;
}

std::size_t FakeDevice::StalledCount() const {
    std::lock_guard lock(m_mutex);
    return m_stalled;
}

bool FakeDevice::WaitForStalls(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_stalled >= count; });
}

void FakeDevice::ReleaseStalls() {
    {
        std::lock_guard lock(m_mutex);
        ++m_releases;
    }
    m_changed.notify_all();
}

std::vector<HttpRequest> FakeDevice::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<HttpRequest> FakeDevice::RequestsTo(std::string_view path) const {
    std::lock_guard lock(m_mutex);
    std::vector<HttpRequest> matching;
    std::copy_if(m_requests.begin(), m_requests.end(), std::back_inserter(matching),
                 [&](const HttpRequest& request) { return request.path == path; });
    return matching;
}

std::size_t FakeDevice::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

bool FakeDevice::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

std::optional<HttpRequest> FakeDevice::WaitForRequest(std::size_t index,
                                                      std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, timeout, [&] { return m_requests.size() > index; })) {
        return std::nullopt;
    }
    return m_requests[index];
}

}  // namespace test_support
