#include "media/stream_receiver.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <span>

#include "core/application/trace_log.h"
#include "core/login/kernel_message.h"
#include "core/login/process_control.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "media/frame_header.h"
#include "media/jpeg_codec_adapter.h"
#include "platform/clock.h"
#include "platform/stop_token.h"
#include "platform/sync.h"

std::atomic<std::uint32_t> g_dwStreamError{0};

namespace {

std::mutex g_settingsLock;
StreamReceiveSettings g_settings;

// Every image of the device starts so; a piece that ends inside these bytes
// needs more before the frame can be judged.
constexpr std::array<std::uint8_t, 4> kDeviceJpegStart{0xFF, 0xD8, 0xFF, 0xDB};
constexpr std::uint8_t kMarkerLead = 0xFF;
constexpr std::uint8_t kEndOfImage = 0xD9;

constexpr std::size_t kSlotsInBuffer = kSocketBufferBytes / kSocketSlotBytes;

// The ways the thread ends, and what each leaves behind.
enum class StreamExit {
    kConnectFailed,
    kWriteFailed,
    kSlotEndEvent,
    kSlotTimeout,
    kSlotWaitFailed,
    kHeaderReadFailed,
    kHeaderReadEmpty,
    kImageReadFailed,
    kImageReadEmpty,
};

struct ExitRow {
    StreamExit exit;
    std::uint32_t error;  // 0: g_dwStreamError stays as it is
    std::string_view trace;
    bool clearFlags;  // f_Connected and f_ReceiverRunning set to 0
};

constexpr std::array kExitTable{
    ExitRow{StreamExit::kConnectFailed, kStreamErrorConnect, kTraceConnectFailed, true},
    ExitRow{StreamExit::kWriteFailed, 0, kTraceWriteFailed, true},
    ExitRow{StreamExit::kSlotEndEvent, kStreamErrorEndEvent, kTraceSlotEndEvent, true},
    ExitRow{StreamExit::kSlotTimeout, kStreamErrorSlotTimeout, kTraceSlotTimeout, true},
    ExitRow{StreamExit::kSlotWaitFailed, 0, kTraceSlotWaitFailed, true},
    ExitRow{StreamExit::kHeaderReadFailed, 0, kTraceHeaderReadFailed, false},
    ExitRow{StreamExit::kHeaderReadEmpty, kStreamErrorNoBytes, kTraceHeaderReadEmpty, false},
    ExitRow{StreamExit::kImageReadFailed, 0, kTraceImageReadFailed, false},
    ExitRow{StreamExit::kImageReadEmpty, kStreamErrorNoBytes, kTraceImageReadEmpty, false},
};

constexpr const ExitRow& RowOf(StreamExit exit) {
    for (const ExitRow& row : kExitTable) {
        if (row.exit == exit)
            return row;
    }
    return kExitTable.front();
}

// One connection's worth of receiving. The read buffer holds the piece being
// worked on; bytes that belong to the next frame stay at its front (the
// carry-over) and the next receive lands behind them.
class StreamReceiver {
public:
    StreamReceiver(AppGlobalState& app, StreamReceiveSettings settings)
        : m_app(app), m_settings(std::move(settings)) {}

    std::uint32_t Run();

private:
    // Outcome of receiving one frame into a slot.
    enum class FrameResult { kFilled, kFailed };

    bool Connect();
    bool SendRequest();
    FrameResult ReceiveFrame(std::size_t slotIndex);
    // Receives behind the bytes held; false on -1 or 0 (m_exit is set).
    bool ReadBehindHeld();
    // Looks for FF D9 in the bytes held; keeps what follows it (or a final
    // FF that may be the first half of the pair) and leaves resync mode at a
    // match.
    void ScanForImageEnd();
    // Drops the first `count` bytes held; the rest moves to the front.
    void DropFront(std::size_t count);
    // A damaged frame: resynchronise, starting with the bytes behind the
    // header already held.
    void Resynchronise(std::size_t from);
    int Receive(std::uint8_t* at, std::size_t capacity);

    std::uint32_t Fail(StreamExit exit);
    std::uint32_t EndQuietly();
    bool StopAsked() const;
    void AnswerStop();

    AppGlobalState& m_app;
    const StreamReceiveSettings m_settings;
    CBlockingSocket sClient;
    std::array<std::uint8_t, kStreamReadBytes> m_piece{};
    std::size_t m_held = 0;  // bytes at the front of m_piece
    bool m_resync = false;
    std::uint32_t m_headerLength = 0;
    StreamExit m_exit = StreamExit::kHeaderReadFailed;
};

bool StreamReceiver::StopAsked() const {
    if (platform::CurrentStopToken().stop_requested())
        return true;
    const auto isSet = [](const EventPtr& event) { return event && event->IsSet(); };
    return isSet(m_app.h_NotifyGetJPEGImageThreadResetEvent) ||
           isSet(m_app.h_EndofGetJpegImageEvent);
}

// The stopper sets the reset request and the end event and waits for this
// answer before it asks the thread itself to stop. The thread answers
// whichever of the two made it end, so that the stopper does not wait in
// vain; once the thread itself is asked to stop, the stopper waits no longer
// and an answer would only mislead the next one who asks.
void StreamReceiver::AnswerStop() {
    if (platform::CurrentStopToken().stop_requested())
        return;
    const auto isSet = [](const EventPtr& event) { return event && event->IsSet(); };
    if ((isSet(m_app.h_NotifyGetJPEGImageThreadResetEvent) ||
         isSet(m_app.h_EndofGetJpegImageEvent)) &&
        m_app.h_FeedBackForNotifyResetEvent) {
        m_app.h_FeedBackForNotifyResetEvent->Set();
    }
}

std::uint32_t StreamReceiver::EndQuietly() {
    m_app.f_Connected = false;
    m_app.f_ReceiverRunning = false;
    sClient.CloseQuietly();
    AnswerStop();
    return 0;
}

std::uint32_t StreamReceiver::Fail(StreamExit exit) {
    const ExitRow& row = RowOf(exit);
    if (row.error != 0)
        g_dwStreamError = row.error;
    if (row.clearFlags) {
        m_app.f_Connected = false;
        m_app.f_ReceiverRunning = false;
    }
    sClient.CloseQuietly();
    WriteTraceLine(row.trace);
    // A stream that is being stopped (reset request, end event, or the
    // thread itself) has not failed: asking for a new login then would start
    // one in the middle of a disconnect or a shutdown.
    if (StopAsked()) {
        AnswerStop();
    } else {
        // Named by its set: once that set has been replaced, the failure
        // is answered already and asks for no new login.
        PostKernelMessage(Get_Image_TimeOut_Message, StreamingSetNumber());
    }
    return 0;
}

int StreamReceiver::Receive(std::uint8_t* at, std::size_t capacity) {
    const int result = sClient.Receive(at, static_cast<int>(capacity), m_settings.receiveTimeout);
    if (m_settings.onReceive)
        m_settings.onReceive(result);
    return result;
}

bool StreamReceiver::Connect() {
    const std::string server = m_app.CSettingINI.m_strServerName;
    const CSocketAddress address(server, m_app.CSettingINI.m_wWebPort.load());
    if (!address.IsValid())
        return false;
    try {
        sClient.Create(SOCK_STREAM);
        sClient.Connect(address, m_settings.connectTimeout);
    } catch (const CBlockingSocketException&) {
        return false;
    }
    return true;
}

bool StreamReceiver::SendRequest() {
    const std::string request = BuildGetVideoRequest(g_szSessionCookie.Get(), g_strHostIP.Get());
    if (request.empty())
        return false;
    std::array<char, kStreamRequestBytes> buffer{};
    std::memcpy(buffer.data(), request.data(), request.size());
    try {
        sClient.WriteWithSelect(buffer.data(), static_cast<int>(request.size()),
                                m_settings.sendTimeout);
    } catch (const CBlockingSocketException&) {
        return false;
    }
    return true;
}

void StreamReceiver::DropFront(std::size_t count) {
    count = std::min(count, m_held);
    std::memmove(m_piece.data(), m_piece.data() + count, m_held - count);
    m_held -= count;
}

void StreamReceiver::ScanForImageEnd() {
    const std::span<const std::uint8_t> held(m_piece.data(), m_held);
    for (std::size_t i = 0; i + 1 < held.size(); ++i) {
        if (held[i] == kMarkerLead && held[i + 1] == kEndOfImage) {
            m_resync = false;
            DropFront(i + 2);
            return;
        }
    }
    // No pair: the last byte may still be the first half of one.
    if (!held.empty() && held.back() == kMarkerLead) {
        DropFront(m_held - 1);
    } else {
        m_held = 0;
    }
}

void StreamReceiver::Resynchronise(std::size_t from) {
    m_resync = true;
    DropFront(from);
    ScanForImageEnd();
}

bool StreamReceiver::ReadBehindHeld() {
    // The carry-over never fills the buffer (see ReceiveFrame), so there is
    // always room for at least one byte; should that ever not hold, the held
    // bytes are given up rather than overrun.
    if (m_held >= m_piece.size()) {
        m_held = 0;
        m_resync = true;
    }
    const int n = Receive(m_piece.data() + m_held, m_piece.size() - m_held);
    if (n < 0) {
        m_exit = StreamExit::kHeaderReadFailed;
        return false;
    }
    if (n == 0) {
        m_exit = StreamExit::kHeaderReadEmpty;
        return false;
    }
    m_held += static_cast<std::size_t>(n);
    return true;
}

// Carry-over bounds: a header is at least 4 bytes, so what stays behind one
// is at most kStreamReadBytes - 4; the tail behind FF D9 is at most the
// piece less two; the surplus behind an image leaves at least one byte of
// the piece in the slot; a header still being gathered is shorter than the
// longest header plus four image bytes. So the held bytes stay below
// kStreamReadBytes and every receive has room.
StreamReceiver::FrameResult StreamReceiver::ReceiveFrame(std::size_t slotIndex) {
    std::uint8_t* slot = m_app.lp_SocketBuffer.get() + slotIndex * kSocketSlotBytes;
    std::uint8_t* slotRecord = m_app.lp_FrameHeaderTable.get() + slotIndex * kFrameHeaderInfoBytes;
    FrameHeaderInfo header{};
    std::size_t imageLength = 0;
    std::size_t received = 0;

    // Header search, until a frame is accepted. Bytes already held (what
    // came behind the last image, or behind a dropped header or an image
    // end) are worked on before anything more is read: they may hold a
    // whole frame, and a device that then pauses would otherwise keep that
    // frame back until the next read returns, or for good if the read times
    // out. A read comes first only when the bytes held cannot take the
    // search further: none at all, a header or image start cut short, or a
    // resync scan that found no image end. Every step that does not read
    // drops bytes, so the search never turns without reading or shrinking.
    bool readFirst = m_held == 0;
    const auto readNext = [this] { return m_resync || m_held == 0; };
    for (;;) {
        header = FrameHeaderInfo{};
        std::memcpy(slotRecord, &header, sizeof header);
        if (readFirst && !ReadBehindHeld())
            return FrameResult::kFailed;
        readFirst = true;
        if (m_resync) {
            ScanForImageEnd();
            readFirst = readNext();
            continue;
        }

        const std::span<const std::uint8_t> piece(m_piece.data(), m_held);
        const FrameHeaderStatus status = C_FrameHeaderParser.Parse(piece, m_headerLength, header);
        if (status == FrameHeaderStatus::kTruncated) {
            // TCP may cut anywhere: keep the bytes and read the rest.
            continue;
        }
        if (status != FrameHeaderStatus::kOk) {
            Resynchronise(0);
            readFirst = readNext();
            continue;
        }

        const std::size_t headerLength = m_headerLength;
        const std::span<const std::uint8_t> rest = piece.subspan(headerLength);
        imageLength = header.dwImageLength;
        if (imageLength == 0) {
            // No image: what follows is the next header.
            DropFront(headerLength);
            readFirst = readNext();
            continue;
        }
        // An image shorter than the start every device JPEG has is damaged:
        // the bytes behind it belong to the next frame and must not pass
        // the start test in its place.
        if (imageLength < kDeviceJpegStart.size() || imageLength > kSocketSlotBytes) {
            Resynchronise(headerLength);
            readFirst = readNext();
            continue;
        }
        if (rest.size() < kDeviceJpegStart.size()) {
            // The image starts in the next read: keep the header with it,
            // unless what is there already rules the image out.
            if (std::equal(rest.begin(), rest.end(), kDeviceJpegStart.begin()))
                continue;
            Resynchronise(headerLength);
            readFirst = readNext();
            continue;
        }
        if (IsJpegStart(rest) == 0) {
            Resynchronise(headerLength);
            readFirst = readNext();
            continue;
        }

        // Accepted.
        m_app.dw_ByteCount.fetch_add(static_cast<std::uint32_t>(m_held));
        C_FrameHeaderParser.Evaluate(rest);
        std::memcpy(slotRecord, &header, sizeof header);
        received = std::min(rest.size(), imageLength);
        std::memcpy(slot, rest.data(), received);
        DropFront(headerLength + received);
        break;
    }

    // Image completion, read straight into the slot: the rest of the image
    // and at most a piece less one byte behind it, so that one read takes
    // what would otherwise take many piece-sized ones, and what comes behind
    // the image (the next frame's start) fits the piece buffer as the
    // carry-over, as the bounds above require. Nothing is held here until
    // the last read.
    while (received < imageLength) {
        const std::size_t remaining = imageLength - received;
        const std::size_t room =
            std::min(kSocketSlotBytes - received, remaining + m_piece.size() - 1);
        const int n = Receive(slot + received, room);
        if (n < 0) {
            m_exit = StreamExit::kImageReadFailed;
            return FrameResult::kFailed;
        }
        if (n == 0) {
            m_exit = StreamExit::kImageReadEmpty;
            return FrameResult::kFailed;
        }
        m_app.dw_ByteCount.fetch_add(static_cast<std::uint32_t>(n));
        const std::size_t take = std::min(static_cast<std::size_t>(n), remaining);
        m_held = static_cast<std::size_t>(n) - take;
        std::memcpy(m_piece.data(), slot + received + take, m_held);
        received += take;
    }
    return FrameResult::kFilled;
}

bool ReceiveResourcesExist(const AppGlobalState& app) {
    return app.h_StartToGetJpegImageEvent && app.h_NotifyGetJPEGImageThreadResetEvent &&
           app.h_FeedBackForNotifyResetEvent && app.h_EndofGetJpegImageEvent &&
           app.h_StartToShowImageEvent && app.h_SocketFreeSem && app.h_SocketFilledSem &&
           app.lp_SocketBuffer && app.lp_FrameHeaderTable;
}

std::uint32_t StreamReceiver::Run() {
    AppGlobalState& app = m_app;
    if (!ReceiveResourcesExist(app))
        return 0;
    {
        // Also ends at once when the streaming set is torn down before it
        // ever started.
        const int which = platform::WaitForAny(
            {app.h_StartToGetJpegImageEvent.get(), app.h_NotifyGetJPEGImageThreadResetEvent.get(),
             app.h_EndofGetJpegImageEvent.get()},
            platform::kInfinite);
        if (which == 1) {
            // The wait took the reset request; answer it all the same.
            app.h_NotifyGetJPEGImageThreadResetEvent->Set();
        }
        if (which != 0) {
            AnswerStop();
            return 0;
        }
    }
    WriteTraceLine(kTraceGotStartEvent);

    app.f_Connected = true;
    app.h_NotifyGetJPEGImageThreadResetEvent->Reset();
    if (app.h_Process_Reply_TerminateEvent)
        app.h_Process_Reply_TerminateEvent->Reset();
    app.h_StartToShowImageEvent->Set();

    app.dw_RateTick = platform::TickCount();
    app.dw_ByteCount.exchange(0);
    app.dw_FrameCount.exchange(0);
    app.dw_FrameCountMark.exchange(0);
    app.dw_FrameCountNow.exchange(0);
    app.dw_DataRate.exchange(0);

    if (!Connect())
        return Fail(StreamExit::kConnectFailed);
    if (!SendRequest())
        return Fail(StreamExit::kWriteFailed);

    const std::size_t slots = std::clamp<std::size_t>(app.w_SocketSlots, 1, kSlotsInBuffer);
    for (;;) {
        if (app.h_NotifyGetJPEGImageThreadResetEvent->IsSet())
            return EndQuietly();

        const int waited = platform::WaitForAny(
            {app.h_SocketFreeSem.get(), app.h_EndofGetJpegImageEvent.get()}, m_settings.slotWait);
        if (waited == 1)
            return Fail(StreamExit::kSlotEndEvent);
        if (waited == platform::kWaitTimeout)
            return Fail(StreamExit::kSlotTimeout);
        if (waited != 0)
            return Fail(StreamExit::kSlotWaitFailed);

        if (!app.f_ReceiverRunning)
            app.f_ReceiverRunning = true;
        if (!app.f_VideoConnected)
            app.f_VideoConnected = true;

        const std::size_t slotIndex = app.w_SocketWriteIndex % slots;
        if (ReceiveFrame(slotIndex) != FrameResult::kFilled)
            return Fail(m_exit);

        app.w_SocketWriteIndex = static_cast<std::uint16_t>((slotIndex + 1) % slots);
        app.h_SocketFilledSem->Release();
    }
}

}  // namespace

void SetStreamReceiveSettings(StreamReceiveSettings settings) {
    std::lock_guard lock(g_settingsLock);
    g_settings = std::move(settings);
}

StreamReceiveSettings GetStreamReceiveSettings() {
    std::lock_guard lock(g_settingsLock);
    return g_settings;
}

std::string BuildGetVideoRequest(std::string_view cookie, std::string_view hostIp) {
    std::string request = BuildKeepAliveGet("/Getvideo.cgi?Cookie=" + std::string(cookie), hostIp);
    // The request buffer keeps a terminating zero behind the text.
    if (request.size() >= kStreamRequestBytes)
        return {};
    return request;
}

std::uint32_t Jpeg_TCP_Get_Image_Data_Thread() {
    if (g_lpApp == nullptr)
        return 0;
    StreamReceiver receiver(*g_lpApp, GetStreamReceiveSettings());
    return receiver.Run();
}
