#pragma once

// A device's live stream ("/Getvideo.cgi") for FakeDevice::SetHandler: frame
// headers in either layout with JPEG images behind them, sent in writes cut
// where a test wants them, with scripted faults.
//
// Two ways to use it:
// - a StreamScript: every byte of the stream decided up front (frames, raw
//   bytes such as an HTTP status line, damaged headers), where each write
//   ends, where the device stalls, closes or resets. The script records each
//   frame's offset, header and image, so a test compares what the client
//   received with what was sent. After the last byte the connection is held
//   open (or closed, if the script says so).
// - a FrameCycle: an endless stream of pre-encoded frames, one write per
//   frame, as fast as the client reads them or at a given frame rate (for the
//   benchmark and for long-running pipeline tests).
//
// Lockstep: real TCP may join writes on the way, so a client could see two
// writes in one read. With lockstep on, the stream sends a write only when
// the client has read every byte before it (the client reports its reads
// through ReportRead), so on 127.0.0.1 each write of up to one read's size
// arrives as exactly one read.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fake_device.h"
#include "tools/streamgen/device_jpeg.h"
#include "tools/streamgen/frame_header_writer.h"

namespace test_support {

// One frame of a script, as it goes on the wire.
struct ScriptFrame {
    std::size_t offset = 0;            // of its first byte in the stream
    std::vector<std::uint8_t> header;  // the header bytes
    std::vector<std::uint8_t> image;   // the bytes behind the header
    std::size_t size() const { return header.size() + image.size(); }
    std::size_t end() const { return offset + size(); }
};

// What happens once every byte of the script has been sent.
enum class StreamEnd {
    kHold,   // keep the connection open until the client closes or the device stops
    kClose,  // close (FIN)
};

class StreamScript {
public:
    explicit StreamScript(streamgen::FrameHeaderLayout layout) : m_layout(layout) {}

    streamgen::FrameHeaderLayout layout() const { return m_layout; }

    // Appends a frame: the header described, then `image`. The header's
    // image length is image.size() unless the description gives one. The
    // frame starts a new write. Returns its index.
    std::size_t AddFrame(streamgen::FrameHeaderDescription description,
                         std::span<const std::uint8_t> image);
    // Appends a frame with header bytes of the caller's (damaged ones).
    std::size_t AddFrameWithHeader(std::vector<std::uint8_t> header,
                                   std::span<const std::uint8_t> image);
    // Appends bytes that are no frame (a status line, noise), as a write of
    // their own.
    void AddRaw(std::string_view bytes);

    // Write boundaries: a write ends in front of the byte at `offset`.
    void CutAt(std::size_t offset);
    void CutFrameAt(std::size_t frame, std::size_t offsetInFrame);
    // Sends frame `frame` in the same write as the bytes before it.
    void JoinWithPrevious(std::size_t frame);

    // Faults at stream offsets: hold before sending the byte at `offset`
    // until FakeStream::ReleaseStall (or the device stops); end the
    // connection there, with a close or a reset.
    void StallAt(std::size_t offset) { m_stalls.insert(offset); }
    void CloseAt(std::size_t offset) { m_closeAt = offset; }
    void ResetAt(std::size_t offset) { m_resetAt = offset; }
    void SetEnd(StreamEnd end) { m_end = end; }

    const std::vector<ScriptFrame>& Frames() const { return m_frames; }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

    // The writes: [start, end) ranges of the stream, cut at every boundary,
    // stall, close and reset offset.
    std::vector<std::pair<std::size_t, std::size_t>> Writes() const;

private:
    friend class FakeStream;

    streamgen::FrameHeaderLayout m_layout;
    std::vector<std::uint8_t> m_bytes;
    std::vector<ScriptFrame> m_frames;
    std::set<std::size_t> m_cuts;
    std::set<std::size_t> m_stalls;
    std::optional<std::size_t> m_closeAt;
    std::optional<std::size_t> m_resetAt;
    StreamEnd m_end = StreamEnd::kHold;
};

// Frames sent over and over by a FrameCycle stream.
struct FrameCycle {
    // The frames on the wire, header and image, one write each.
    std::vector<std::vector<std::uint8_t>> frames;

    // Frame n: the cycle's JPEG n with a header in `layout` carrying the
    // channel index 0 and a time value that grows by 40 ms per frame.
    static FrameCycle FromJpegs(const streamgen::DeviceJpegCycle& jpegs,
                                streamgen::FrameHeaderLayout layout);
};

class FakeStream {
public:
    // A scripted stream.
    explicit FakeStream(StreamScript script);
    // An endless stream of the cycle's frames; `framesPerSecond` 0 sends as
    // fast as the client reads.
    explicit FakeStream(FrameCycle cycle, double framesPerSecond = 0);
    ~FakeStream();
    FakeStream(const FakeStream&) = delete;
    FakeStream& operator=(const FakeStream&) = delete;

    // The handler to give FakeDevice::SetHandler("/Getvideo.cgi", ...). It
    // holds the stream's state, so it may outlive this object.
    FakeDevice::Handler Handler() const;

    // Lockstep (see the top of this file): off by default.
    void SetLockstep(bool on);
    // The client's report of one receive (a byte count, or -1).
    void ReportRead(int result);
    // A ReportRead for StreamReceiveSettings::onReceive.
    std::function<void(int)> ReadReporter() const;

    // Stalls: waits until a connection holds at a stall; lets every holding
    // connection go on.
    bool WaitForStall(std::chrono::milliseconds timeout = FakeDevice::kGenerousWait) const;
    void ReleaseStall();

    // Waits until the stream has sent everything it will send (the script's
    // end, a close or a reset), or the client went away.
    bool WaitUntilFinished(std::chrono::milliseconds timeout = FakeDevice::kGenerousWait) const;

    std::uint64_t SentBytes() const;
    std::uint64_t SentFrames() const;  // FrameCycle streams
    std::size_t Connections() const;
    // CPU time the sending threads used, in nanoseconds.
    std::uint64_t SenderCpuNanoseconds() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace test_support
