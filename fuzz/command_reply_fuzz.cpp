// Fuzzes the command client's reply reader (status line, headers,
// Content-Length, body) and the length checks of the configuration reads
// behind it, over a real TCP connection on 127.0.0.1.
//
// A peer thread, started once, accepts each connection, reads the request,
// writes the reply bytes in pieces cut where the input says, and resets the
// connection; the client therefore never waits out a time-out. Input layout:
//   byte 0: bits 0-2 the caller (see kCallers), bits 3-7 a configuration
//           option for the configuration reads; for a command, bit 7 also
//           has it wait for the device's close after a reply that says
//           "Connection: close"
//   bytes 1-3: where the reply is cut into writes
//   the rest: the bytes the "device" answers with

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <span>
#include <vector>

#include "core/net/cgi_command.h"
#include "core/net/sys_config.h"
#include "fuzz/fuzz_app.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/loopback_peer.h"

namespace {

using fuzz_support::Check;

// The "device": one connection per input, served in order.
class ReplyPeer {
public:
    std::uint16_t Port() const { return m_peer.Port(); }

    // The reply of the next connection and where it is cut.
    void Prepare(std::span<const std::uint8_t> reply, std::array<std::size_t, 3> cuts) {
        std::lock_guard lock(m_mutex);
        m_reply.assign(reply.begin(), reply.end());
        m_cuts = cuts;
        m_served = false;
    }
    // Waits until the peer has finished with the connection of this input.
    void WaitServed() {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_served; });
    }

private:
    void Serve(int connection) {
        std::vector<std::uint8_t> reply;
        std::array<std::size_t, 3> cuts{};
        {
            std::lock_guard lock(m_mutex);
            reply = m_reply;
            cuts = m_cuts;
        }
        (void)LoopbackPeer::ReadRequest(connection, std::chrono::seconds(5));
        std::size_t sent = 0;
        std::sort(cuts.begin(), cuts.end());
        for (std::size_t cut : cuts) {
            cut = std::min(cut, reply.size());
            if (cut > sent) {
                (void)LoopbackPeer::Send(connection, std::span(reply).subspan(sent, cut - sent));
                sent = cut;
            }
        }
        (void)LoopbackPeer::Send(connection, std::span(reply).subspan(sent));
        LoopbackPeer::Abort(connection);
        {
            std::lock_guard lock(m_mutex);
            m_served = true;
        }
        m_done.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_done;
    std::vector<std::uint8_t> m_reply;
    std::array<std::size_t, 3> m_cuts{};
    bool m_served = true;
    LoopbackPeer m_peer{[this](int connection) { Serve(connection); }};  // last: uses the above
};

ReplyPeer& Peer() {
    static ReplyPeer peer;
    return peer;
}

// The reply buffers the program's callers give.
constexpr std::array<std::size_t, 5> kReplyCapacities{256, 1024, 4096, kCommandReceiveBufferBytes,
                                                      8192};

const CommandTimeouts kTimeouts{std::chrono::milliseconds(2000), std::chrono::milliseconds(2000),
                                std::chrono::milliseconds(2000)};

void SendCommand(std::uint8_t choice) {
    const std::size_t capacity = kReplyCapacities[(choice >> 3) % kReplyCapacities.size()];
    std::vector<std::uint8_t> reply(capacity, 0xEE);
    std::uint32_t length = 0xFFFFFFFF;
    CommandStatus status;
    const bool wantsBody = (choice & 1) == 0;
    CommandTimeouts timeouts = kTimeouts;
    if ((choice & 0x80) != 0) {
        timeouts.peerClose = std::chrono::milliseconds(2000);
    }
    const int result = TirelSendCommand(kCgiGetDeviceInfo, "/Getdeviceinfo.cgi?CH=1", {}, &status,
                                        reply, wantsBody ? &length : nullptr, timeouts, 0);
    Check(result == 0 || result == 1);
    if (!wantsBody) {
        Check(length == 0xFFFFFFFF);
        return;
    }
    Check(length <= capacity && length <= kCommandReceiveBufferBytes);
    if (result == 0) {
        Check(length == 0);
        Check(std::all_of(reply.begin(), reply.end(), [](std::uint8_t b) { return b == 0xEE; }));
    } else {
        Check(status.status == 0);
    }
}

void ReadSection(std::uint8_t choice) {
    const auto option = static_cast<std::uint8_t>((choice >> 3) % kSysCfgOptionCount);
    SystemConfigStruct& config = FuzzApp().SystemConfigStruct;
    if (option == kSysCfgAll) {
        (void)ReadSysCfgSection(option, {});
        return;
    }
    // The area itself, with a guard behind it that no read may touch.
    const std::size_t size = SysCfgSize(static_cast<SysCfgOptionIndex>(option));
    std::vector<std::uint8_t> area(size + 16, 0x5A);
    const int result = ReadSysCfgSection(option, std::span(area).first(size));
    Check(result == 0 || result == 1);
    Check(std::all_of(area.begin() + static_cast<std::ptrdiff_t>(size), area.end(),
                      [](std::uint8_t b) { return b == 0x5A; }));
    if (result == 0) {
        Check(std::all_of(area.begin(), area.end(), [](std::uint8_t b) { return b == 0x5A; }));
    }
    (void)config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    AppGlobalState& app = FuzzApp();
    ReplyPeer& peer = Peer();
    app.CSettingINI.m_strServerName = "127.0.0.1";
    app.CSettingINI.m_wWebPort = peer.Port();
    app.str_ProductID.Set(data[0] & 2 ? "Q3A2" : "Q8A7");

    const std::span<const std::uint8_t> reply(data + 4, size - 4);
    peer.Prepare(reply, {data[1] * reply.size() / 256, data[2] * reply.size() / 256,
                         static_cast<std::size_t>(data[3])});
    if ((data[0] & 4) == 0) {
        SendCommand(data[0]);
    } else {
        ReadSection(data[0]);
    }
    peer.WaitServed();
    return 0;
}
