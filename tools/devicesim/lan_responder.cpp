#include "tools/devicesim/lan_responder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace devicesim {
namespace {

constexpr std::size_t kCommandAt = 16;
constexpr std::size_t kResultAt = 17;
constexpr std::size_t kMacAt = 18;
constexpr std::size_t kUserAt = 24;
constexpr std::size_t kPasswordAt = 40;
constexpr std::size_t kIpAt = 56;
constexpr std::size_t kMaskAt = 60;
constexpr std::size_t kGatewayAt = 64;
constexpr std::size_t kDnsAt = 68;
constexpr std::size_t kPortAt = 72;
constexpr std::size_t kTextBytes = 16;

struct Command {
    std::uint8_t code;
    std::string_view keyword;
};
constexpr Command kSearch{1, "KR_SEARCH"};
constexpr Command kSetIp{2, "KR_SET_IP"};
constexpr Command kReset{3, "KR_RESET"};
constexpr Command kCommands[] = {kSearch, kSetIp, kReset};

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::uint8_t Byte(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]);
}

// A NUL-padded text field, never read past its 16 bytes.
std::string_view Text(std::string_view bytes, std::size_t at) {
    const std::string_view field = bytes.substr(at, kTextBytes);
    return field.substr(0, std::min(field.find('\0'), field.size()));
}

template <std::size_t N>
std::array<std::uint8_t, N> Bytes(std::string_view bytes, std::size_t at) {
    std::array<std::uint8_t, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = Byte(bytes, at + i);
    }
    return out;
}

template <std::size_t N>
void Put(std::string& out, std::size_t at, const std::array<std::uint8_t, N>& bytes) {
    for (std::size_t i = 0; i < N; ++i) {
        out[at + i] = static_cast<char>(bytes[i]);
    }
}

// The device's state in the reply layout, under the command's keyword.
std::string Reply(const Command& command, std::uint8_t typeOrResult,
                  const LanDeviceSettings& settings) {
    std::string out(kLanDatagramBytes, '\0');
    std::copy(command.keyword.begin(), command.keyword.end(), out.begin());
    out[kCommandAt] = static_cast<char>(command.code);
    out[kResultAt] = static_cast<char>(typeOrResult);
    Put(out, kMacAt, settings.mac);
    Put(out, kIpAt, settings.ip);
    Put(out, kMaskAt, settings.mask);
    Put(out, kGatewayAt, settings.gateway);
    Put(out, kDnsAt, settings.dns);
    out[kPortAt] = static_cast<char>(settings.webPort & 0xFF);
    out[kPortAt + 1] = static_cast<char>(settings.webPort >> 8);
    return out;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

std::string LanResponder::Answer(std::string_view request, LanDeviceSettings& settings,
                                 const LanDeviceSettings& defaults, std::string_view user,
                                 std::string_view password) {
    if (request.size() != kLanDatagramBytes) {
        return {};
    }
    const std::string_view keyword = Text(request, 0);
    const auto* command =
        std::find_if(std::begin(kCommands), std::end(kCommands), [&](const Command& c) {
            return c.keyword == keyword && c.code == Byte(request, kCommandAt);
        });
    if (command == std::end(kCommands)) {
        return {};
    }
    if (command->code == kSearch.code) {
        return Reply(kSearch, settings.type, settings);
    }
    // A change or reset is for the device whose MAC it names; the others
    // that hear the broadcast stay silent.
    if (Bytes<6>(request, kMacAt) != settings.mac) {
        return {};
    }
    std::uint8_t result = kLanDone;
    if (Text(request, kUserAt) != user || Text(request, kPasswordAt) != password) {
        result = kLanWrongCredentials;
    } else if (command->code == kReset.code) {
        settings = defaults;
    } else if (!settings.staticAddress) {
        result = kLanNotStatic;
    } else {
        const auto port =
            static_cast<std::uint16_t>(Byte(request, kPortAt) | Byte(request, kPortAt + 1) << 8);
        if (port == 0) {
            result = kLanFailed;
        } else {
            settings.ip = Bytes<4>(request, kIpAt);
            settings.mask = Bytes<4>(request, kMaskAt);
            settings.gateway = Bytes<4>(request, kGatewayAt);
            settings.dns = Bytes<4>(request, kDnsAt);
            settings.webPort = port;
        }
    }
    return Reply(*command, result, settings);
}

LanResponder::LanResponder(LanResponderOptions options)
    : m_options(std::move(options)),
      m_defaults(m_options.defaults.value_or(m_options.settings)),
      m_replyPort(m_options.replyPort),
      m_settings(m_options.settings) {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        ThrowErrno("socket");
    }
    const int enable = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_options.searchPort);
    if (::inet_pton(AF_INET, m_options.bindAddress.c_str(), &address.sin_addr) != 1) {
        CloseFd(m_fd);
        throw std::system_error(EINVAL, std::generic_category(), "bind address");
    }
    socklen_t length = sizeof address;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        CloseFd(m_fd);
        throw std::system_error(error, std::generic_category(), "bind");
    }
    m_searchPort = ntohs(address.sin_port);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        CloseFd(m_fd);
        throw std::system_error(error, std::generic_category(), "pipe");
    }
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];
    m_thread = std::thread([this] { Serve(); });
}

LanResponder::~LanResponder() {
    Stop();
}

void LanResponder::Stop() {
    if (!m_stopping.exchange(true)) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_wakeWrite, &byte, 1);
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    CloseFd(m_fd);
    CloseFd(m_wakeRead);
    CloseFd(m_wakeWrite);
}

void LanResponder::SetScript(Script script) {
    std::lock_guard lock(m_mutex);
    m_script = std::move(script);
}

void LanResponder::SetLogger(std::function<void(std::string_view)> logger) {
    std::lock_guard lock(m_mutex);
    m_logger = std::move(logger);
}

LanDeviceSettings LanResponder::Settings() const {
    std::lock_guard lock(m_mutex);
    return m_settings;
}

std::vector<std::string> LanResponder::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LanResponder::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

bool LanResponder::SendToClient(std::string_view bytes) {
    std::uint32_t requester = 0;
    {
        std::lock_guard lock(m_mutex);
        requester = m_lastRequester;
    }
    if (requester == 0 || m_replyPort.load() == 0) {
        return false;
    }
    SendTo(requester, bytes);
    return true;
}

void LanResponder::SendTo(std::uint32_t address, std::string_view bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_replyPort.load());
    to.sin_addr.s_addr = address;
    ::sendto(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

void LanResponder::Serve() {
    // Room for more than a datagram of the layout, so a longer one is seen
    // as longer and ignored, not cut down to size.
    std::array<char, 2048> buffer{};
    while (!m_stopping.load()) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t received = ::recvfrom(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < 0) {
            continue;
        }
        const std::string request(buffer.data(), static_cast<std::size_t>(received));
        std::string reply;
        Script script;
        std::function<void(std::string_view)> logger;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            m_lastRequester = from.sin_addr.s_addr;
            reply = Answer(request, m_settings, m_defaults, m_options.user, m_options.password);
            script = m_script;
            logger = m_logger;
        }
        m_arrived.notify_all();
        if (logger) {
            logger(Text(request, 0).empty() ? std::string_view("datagram") : Text(request, 0));
        }
        std::vector<std::string> out;
        if (script) {
            out = script(request, std::move(reply));
        } else if (!reply.empty()) {
            out.push_back(std::move(reply));
        }
        if (m_replyPort.load() == 0) {
            continue;
        }
        for (const std::string& datagram : out) {
            SendTo(from.sin_addr.s_addr, datagram);
        }
    }
}

}  // namespace devicesim
