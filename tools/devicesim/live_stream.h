#pragma once

// The simulator's live stream, "/Getvideo.cgi": an endless run of frames,
// each a frame header followed by a JPEG image as the device encodes it,
// paced to a frame rate, in the header layout the last device-information
// request asked for, in the family's own picture sizes, showing the channel
// the client chose. The stream ends when its session's lifetime is up.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>

#include "tools/devicesim/device_model.h"
#include "tools/devicesim/http_request.h"
#include "tools/devicesim/http_server.h"
#include "tools/streamgen/frame_header_writer.h"

namespace streamgen {
class DeviceJpegCycle;
}

namespace devicesim {

struct LiveStreamOptions {
    int framesPerSecond = 25;
    // Every period, raise the alarm bits for `alarmLength`; 0: never.
    std::chrono::seconds alarmPeriod{0};
    std::chrono::seconds alarmLength{5};
};

class LiveStream {
public:
    LiveStream(DeviceModel& model, LiveStreamOptions options);
    ~LiveStream();
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    // Serves one stream request until the client goes or the server stops.
    // A request without a valid session cookie gets 401.
    void Serve(const HttpRequest& request, Connection& connection);

    // The picture size the device streams for a resolution setting (0 full,
    // 1 half, 2 quarter size) in its video standard: the recorders send
    // field-height pictures 640 or 320 wide, the Q3A2 and the Q7B family
    // 704 or 352 wide, 240 lines NTSC and 288 PAL; a Q9C0 640 x 480,
    // 320 x 240 or 160 x 120 whatever the standard. Only the Q9C0 has a
    // quarter size; the others send their half size for it.
    static std::pair<int, int> PictureSize(const DeviceProfile& profile, int resolution);

    // The header of frame `n` of a stream with these settings; `imageLength`
    // is the JPEG's.
    static streamgen::FrameHeaderDescription FrameHeader(const DeviceModel& model,
                                                         const StreamSettings& settings,
                                                         std::uint64_t n,
                                                         std::uint32_t imageLength);

    // Ends every stream being served now, as a device does when its encoder
    // restarts; streams asked for later run as usual.
    void EndOpenStreams();
    // How many streams are being served now.
    int OpenStreams() const;

private:
    const streamgen::DeviceJpegCycle& Cycle(int width, int height, int channel);

    DeviceModel& m_model;
    LiveStreamOptions m_options;
    std::mutex m_lock;
    std::map<std::tuple<int, int, int>, std::unique_ptr<streamgen::DeviceJpegCycle>> m_cycles;
    std::atomic<std::uint64_t> m_frameNumber{0};
    std::atomic<std::uint64_t> m_endings{0};
    std::atomic<int> m_open{0};
};

}  // namespace devicesim
