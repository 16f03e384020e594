#pragma once

// The simulator's live stream, "/Getvideo.cgi": an endless run of frames,
// each a frame header followed by a JPEG image as the device encodes it,
// paced to a frame rate, in the header layout the last device-information
// request asked for.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "tools/devicesim/device_model.h"
#include "tools/devicesim/http_request.h"
#include "tools/devicesim/http_server.h"

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
    LiveStream(const DeviceModel& model, LiveStreamOptions options);
    ~LiveStream();
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    // Serves one stream request until the client goes or the server stops.
    // A request without a valid session cookie gets 401.
    void Serve(const HttpRequest& request, Connection& connection);

    // The picture size the device streams for a resolution setting and video
    // standard: the recorder family sends field-height pictures.
    static std::pair<int, int> PictureSize(int resolution, int videoMode);

    // Ends every stream being served now, as a device does when its encoder
    // restarts; streams asked for later run as usual.
    void EndOpenStreams();
    // How many streams are being served now.
    int OpenStreams() const;

private:
    const streamgen::DeviceJpegCycle& Cycle(int width, int height);

    const DeviceModel& m_model;
    LiveStreamOptions m_options;
    std::mutex m_lock;
    std::map<std::pair<int, int>, std::unique_ptr<streamgen::DeviceJpegCycle>> m_cycles;
    std::atomic<std::uint64_t> m_frameNumber{0};
    std::atomic<std::uint64_t> m_endings{0};
    std::atomic<int> m_open{0};
};

}  // namespace devicesim
