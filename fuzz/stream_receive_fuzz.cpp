// Fuzzes the live stream's receive thread (Jpeg_TCP_Get_Image_Data_Thread)
// as the program runs it: over a real TCP connection on 127.0.0.1, with the
// socket slots, their semaphores and the frame-header parser of the shared
// state, and this harness in the compose thread's place.
//
// A peer thread, started once, plays the device: it accepts the thread's
// connection, reads the "/Getvideo.cgi" request, sends the stream in the
// pieces the input gives and resets the connection. The thread reports every
// receive through its onReceive hook, and the peer sends a piece only once
// every byte before it has been read, so each piece reaches the thread as
// reads of exactly its bounds (a piece longer than the room left in the read
// buffer is split where the buffer ends, as a device's would be). The reset
// ends the thread with a failed read; the time-outs are a safety net only.
//
// Input layout:
//   byte 0: bit 0 the new header layout; bits 1-3 the product (kProducts);
//           bit 4 "Alarm Trigger Record", bit 5 "Alarm auto switch video",
//           bit 6 "RETR Alarm Record"
//   byte 1: n, the number of piece sizes that follow
//   n x 2 bytes: piece sizes, little-endian, each 1 + value % kLongestPiece
//   the rest: the stream; what the sizes leave over goes in pieces of one
//           full read (kStreamReadBytes)
//
// For every image handed over, the harness checks the slot's header record,
// that the image fits its slot and starts as the device's JPEGs do, and that
// it is exactly the bytes behind a header in the stream that decodes to the
// same record, later in the stream than the image before it.

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/login/kernel_message.h"
#include "core/state/app_global_state.h"
#include "core/state/system_buffers.h"
#include "fuzz/fuzz_app.h"
#include "fuzz/loopback_peer.h"
#include "media/frame_header.h"
#include "media/stream_receiver.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace {

using namespace std::chrono_literals;

constexpr std::array<std::string_view, 8> kProducts{"Q8A7", "Q9C0", "Q3A2", "Q7B5",
                                                    "Q8A3", "Q8A5", "Q7B7", ""};
constexpr std::size_t kLongestPiece = 2 * kStreamReadBytes;
constexpr std::array<std::uint8_t, 4> kDeviceJpegStart{0xFF, 0xD8, 0xFF, 0xDB};
constexpr char kCookie[] = "F00D4711";
constexpr char kHostIp[] = "192.168.7.9";

// The receive thread's own time-outs: a safety net that a sound input never
// reaches. The harness gives up a little later. Both stay below libFuzzer's
// time-out of one input (10 s in scripts/fuzz.sh) but leave a loaded machine
// seconds to schedule the peer: at 2 s and 5 s, a run beside eight busy
// processes once failed on the peer's wait with an input that passes alone.
constexpr std::chrono::milliseconds kSafetyNet = 7s;
constexpr std::chrono::milliseconds kHarnessBound = 9s;

// Names the line of the check that failed, so that a crash report says
// which one (clang 14 has no std::source_location with this library).
void Check(bool condition, unsigned line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "check failed at %s:%u\n", __FILE__, line);
        std::abort();
    }
}

// The "device": one connection per input, served in order.
class StreamPeer {
public:
    std::uint16_t Port() const { return m_peer.Port(); }

    // The stream of the next connection and the sizes of its pieces.
    void Prepare(std::span<const std::uint8_t> stream, std::vector<std::size_t> pieces) {
        std::lock_guard lock(m_mutex);
        m_stream.assign(stream.begin(), stream.end());
        m_pieces = std::move(pieces);
        m_request.clear();
        m_read = 0;
        m_clientGone = false;
        m_served = false;
    }

    // The receive thread's report of one receive.
    void ReportRead(int result) {
        {
            std::lock_guard lock(m_mutex);
            if (result > 0) {
                m_read += static_cast<std::size_t>(result);
            } else {
                m_clientGone = true;
            }
        }
        m_changed.notify_all();
    }
    // The thread has ended: nothing more will be read.
    void ClientGone() { ReportRead(-1); }

    // Waits until the peer has finished with the connection of this input;
    // false when it did not within the bound.
    bool WaitServed(std::chrono::milliseconds bound) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, bound, [this] { return m_served; });
    }

    std::size_t BytesRead() {
        std::lock_guard lock(m_mutex);
        return m_read;
    }
    std::string Request() {
        std::lock_guard lock(m_mutex);
        return m_request;
    }

private:
    void Serve(int connection) {
        std::vector<std::uint8_t> stream;
        std::vector<std::size_t> pieces;
        {
            std::lock_guard lock(m_mutex);
            stream = m_stream;
            pieces = m_pieces;
        }
        std::string request = LoopbackPeer::ReadRequest(connection, kHarnessBound);
        {
            std::lock_guard lock(m_mutex);
            m_request = std::move(request);
        }
        std::size_t sent = 0;
        for (std::size_t i = 0; sent < stream.size(); ++i) {
            const std::size_t size = i < pieces.size() ? pieces[i] : kStreamReadBytes;
            const std::size_t end = std::min(stream.size(), sent + size);
            if (!WaitAllRead(sent)) {
                break;
            }
            if (!LoopbackPeer::Send(connection, std::span(stream).subspan(sent, end - sent))) {
                break;
            }
            sent = end;
        }
        // The reset ends the thread's next read; it comes only once every
        // byte sent has been read, so none is lost to it.
        (void)WaitAllRead(sent);
        LoopbackPeer::Abort(connection);
        {
            std::lock_guard lock(m_mutex);
            m_served = true;
        }
        m_changed.notify_all();
    }

    // Lockstep: the next piece goes out once the client has read every byte
    // sent so far (or has gone).
    bool WaitAllRead(std::size_t sent) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, kHarnessBound, [&] { return m_clientGone || m_read >= sent; });
        return !m_clientGone && m_read >= sent;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::uint8_t> m_stream;
    std::vector<std::size_t> m_pieces;
    std::string m_request;
    std::size_t m_read = 0;
    bool m_clientGone = true;
    bool m_served = true;
    LoopbackPeer m_peer{[this](int connection) { Serve(connection); }};  // last: uses the above
};

StreamPeer& Peer() {
    static StreamPeer peer;
    return peer;
}

// What lives as long as the process: the socket slots (allocated as the
// program allocates them), the per-login events, the settings and the
// receive thread's time-outs with the hook that paces the peer.
void SetUpOnce() {
    static const bool done = [] {
        AppGlobalState& app = FuzzApp();
        Check(AllocateSystemBuffer() == 1);
        app.h_NotifyGetJPEGImageThreadResetEvent = std::make_unique<platform::Event>(false, false);
        app.h_FeedBackForNotifyResetEvent = std::make_unique<platform::Event>(false, false);
        app.h_StartToGetJpegImageEvent = std::make_unique<platform::Event>(false, false);
        app.h_EndofGetJpegImageEvent = std::make_unique<platform::Event>(true, false);
        app.h_StartToShowImageEvent = std::make_unique<platform::Event>(false, false);
        app.CSettingINI.m_strServerName = "127.0.0.1";
        app.CSettingINI.m_wWebPort = Peer().Port();
        g_szSessionCookie.Set(kCookie);
        g_strHostIP.Set(kHostIp);
        StreamReceiveSettings settings;
        settings.receiveTimeout = kSafetyNet;
        settings.slotWait = kSafetyNet;
        settings.sendTimeout = kSafetyNet;
        settings.connectTimeout = kSafetyNet;
        settings.onReceive = [](int result) { Peer().ReportRead(result); };
        SetStreamReceiveSettings(std::move(settings));
        return true;
    }();
    (void)done;
}

// Puts back what one run of the receive thread changes, as a new login does:
// the slot indices and semaphores as the rebuild sets them up, the events
// cleared, the stream error and the kernel mailbox fresh. The parser's alarm
// state is cleared through its own interface, with a header that carries no
// alarm field, so that every input starts from the same state.
void ResetForInput(bool newLayout) {
    AppGlobalState& app = FuzzApp();
    app.w_SocketWriteIndex = 0;
    app.w_SocketReadIndex = 0;
    Check(FreeSystemSemaphore() == 1 && InitialSemaphore() == 1);
    app.h_NotifyGetJPEGImageThreadResetEvent->Reset();
    app.h_FeedBackForNotifyResetEvent->Reset();
    app.h_StartToGetJpegImageEvent->Reset();
    app.h_EndofGetJpegImageEvent->Reset();
    app.h_StartToShowImageEvent->Reset();
    app.f_Connected = false;
    app.f_ReceiverRunning = false;
    app.f_VideoConnected = false;
    app.dw_KernelMessage = 0;
    g_dwStreamError = 0;
    CreateKernelMailbox();

    app.C_ControlD.StoreRetrState(0);
    app.st_DeviceTime.Set(SystemTime{});
    C_FrameHeaderParser.SetNewLayout(false);
    const std::array<std::uint8_t, 8> plain{0, 0, 0, 0, 0xFF, 0xD8, 0xFF, 0xDB};
    std::uint32_t headerLength = 0;
    FrameHeaderInfo record{};
    Check(C_FrameHeaderParser.Parse(plain, headerLength, record) == FrameHeaderStatus::kOk);
    Check(C_FrameHeaderParser.Evaluate(std::span(plain).subspan(headerLength)));
    (void)C_FrameHeaderParser.ResetAlarmValue();
    Check(C_FrameHeaderParser.ActiveAlarmKind() == kAlarmKindNone);
    C_FrameHeaderParser.SetNewLayout(newLayout);
}

// Takes the images the receive thread hands over and checks each against
// the stream it was sent.
class ImageChecker {
public:
    ImageChecker(std::span<const std::uint8_t> stream, bool newLayout)
        : m_stream(stream), m_newLayout(newLayout) {
        m_parser.SetNewLayout(newLayout);
    }

    void Take(std::size_t slot) {
        const AppGlobalState& app = FuzzApp();
        FrameHeaderInfo record{};
        std::memcpy(&record, app.lp_FrameHeaderTable.get() + slot * kFrameHeaderInfoBytes,
                    sizeof record);
        const std::size_t headerLength = record.dwHeaderLength;
        const std::size_t imageLength = record.dwImageLength;

        // The record is one the parser accepted.
        Check(headerLength >= (m_newLayout ? 8u : 4u));
        Check(headerLength <= (m_newLayout ? kMaxNewLayoutHeaderBytes : kMaxOldLayoutHeaderBytes));
        Check(record.byChannelIndex <= 16);
        Check(!m_newLayout || record.dwHeaderFlags == 0);
        Check(record.byReserved0 == 0);
        Check(std::all_of(record.byReserved.begin(), record.byReserved.end(),
                          [](std::uint8_t b) { return b == 0; }));

        // The image fits its slot and starts as the device's JPEGs do.
        Check(imageLength >= kDeviceJpegStart.size() && imageLength <= kSocketSlotBytes);
        const std::span<const std::uint8_t> image(
            app.lp_SocketBuffer.get() + slot * kSocketSlotBytes, imageLength);
        Check(std::equal(kDeviceJpegStart.begin(), kDeviceJpegStart.end(), image.begin()));

        // The image is the bytes behind a header of the stream that decodes
        // to this record. Its first match behind the image before is taken:
        // never later than the true one, so the next search starts no later
        // than the true frame behind it.
        for (auto at = m_stream.begin() + static_cast<std::ptrdiff_t>(m_next);;) {
            at = std::search(at, m_stream.end(), image.begin(), image.end());
            Check(at != m_stream.end());
            const std::size_t offset = static_cast<std::size_t>(at - m_stream.begin());
            if (offset >= m_next + headerLength && HeaderAt(offset - headerLength, record)) {
                m_next = offset + imageLength;
                break;
            }
            ++at;
        }
        ++m_images;
    }

    std::size_t Images() const { return m_images; }

private:
    bool HeaderAt(std::size_t offset, const FrameHeaderInfo& record) {
        std::uint32_t headerLength = 0;
        FrameHeaderInfo parsed{};
        return m_parser.Parse(m_stream.subspan(offset), headerLength, parsed) ==
                   FrameHeaderStatus::kOk &&
               headerLength == record.dwHeaderLength &&
               std::memcmp(&parsed, &record, sizeof parsed) == 0;
    }

    std::span<const std::uint8_t> m_stream;
    bool m_newLayout;
    CFrameHeaderParser m_parser;  // decodes only: never evaluated
    std::size_t m_next = 0;
    std::size_t m_images = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    SetUpOnce();
    AppGlobalState& app = FuzzApp();
    StreamPeer& peer = Peer();

    const std::uint8_t options = data[0];
    const bool newLayout = (options & 1) != 0;
    app.str_ProductID.Set(std::string(kProducts[(options >> 1) & 7]));
    app.CSettingINI.m_byAlarmTriggerRecord = (options >> 4) & 1;
    app.CSettingINI.m_byAlarmAutoSwitchVideo = (options >> 5) & 1;
    app.CSettingINI.m_byRETRAlarmRecord = (options >> 6) & 1;

    const std::size_t count = std::min<std::size_t>(data[1], (size - 2) / 2);
    std::vector<std::size_t> pieces;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t value = data[2 + 2 * i] | std::size_t{data[3 + 2 * i]} << 8;
        pieces.push_back(1 + value % kLongestPiece);
    }
    const std::span<const std::uint8_t> stream(data + 2 + 2 * count, size - 2 - 2 * count);

    ResetForInput(newLayout);
    peer.Prepare(stream, std::move(pieces));

    auto ended = std::make_shared<platform::Event>(true, false);
    platform::Thread receiver;
    Check(receiver.Start(
        [ended] {
            const std::uint32_t result = Jpeg_TCP_Get_Image_Data_Thread();
            ended->Set();
            return result;
        },
        "receive"));
    app.h_StartToGetJpegImageEvent->Set();

    // The compose thread's part: take each filled slot, check it, give it
    // back, until the receive thread has ended.
    ImageChecker checker(stream, newLayout);
    for (;;) {
        const int which =
            platform::WaitForAny({app.h_SocketFilledSem.get(), ended.get()}, kHarnessBound);
        Check(which == 0 || which == 1);  // a hang shows as a crash
        if (which == 1) {
            break;
        }
        const std::size_t slot = app.w_SocketReadIndex;
        checker.Take(slot);
        app.w_SocketReadIndex = static_cast<std::uint16_t>((slot + 1) % app.w_SocketSlots);
        Check(app.h_SocketFreeSem->Release());
    }
    Check(receiver.Stop(kHarnessBound) == platform::StopOutcome::Ended);
    // The wait reports a filled slot before the end, so none is left.
    Check(app.h_SocketFilledSem->Count() == 0);
    peer.ClientGone();
    Check(peer.WaitServed(kHarnessBound));

    // The thread read the whole stream and ended on the reset, not on a
    // time-out; it asked once for a new login, as after every failed read.
    Check(peer.Request() == BuildGetVideoRequest(kCookie, kHostIp));
    Check(peer.BytesRead() == stream.size());
    Check(g_dwStreamError == 0);
    Check(app.h_KernelMessagePostSem->Count() == 1 &&
          app.dw_KernelMessage == Get_Image_TimeOut_Message);
    Check(!app.h_FeedBackForNotifyResetEvent->IsSet());
    DestroyKernelMailbox();
    return 0;
}
