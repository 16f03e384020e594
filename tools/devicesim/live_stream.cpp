#include "tools/devicesim/live_stream.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "tools/streamgen/device_jpeg.h"
#include "tools/streamgen/frame_header_writer.h"

namespace devicesim {

namespace {

constexpr std::size_t kCycleFrames = 50;

std::uint32_t PackedNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return streamgen::PackFrameDate(
        static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
        static_cast<unsigned>(local.tm_mday), static_cast<unsigned>(local.tm_hour),
        static_cast<unsigned>(local.tm_min), static_cast<unsigned>(local.tm_sec));
}

}  // namespace

LiveStream::LiveStream(const DeviceModel& model, LiveStreamOptions options)
    : m_model(model), m_options(options) {
    if (m_options.framesPerSecond < 1)
        m_options.framesPerSecond = 1;
}

LiveStream::~LiveStream() = default;

std::pair<int, int> LiveStream::PictureSize(int resolution, int videoMode) {
    const int height = videoMode != 0 ? 276 : 228;
    return {resolution == 1 ? 320 : 640, height};
}

const streamgen::DeviceJpegCycle& LiveStream::Cycle(int width, int height) {
    std::lock_guard lock(m_lock);
    auto& cycle = m_cycles[{width, height}];
    if (!cycle)
        cycle = std::make_unique<streamgen::DeviceJpegCycle>(width, height, kCycleFrames);
    return *cycle;
}

void LiveStream::Serve(const HttpRequest& request, Connection& connection) {
    const auto cookie = request.Param("Cookie");
    if (!cookie || !m_model.IsSessionValid(*cookie)) {
        connection.Send(FormatResponse(401, "Unauthorized", "text/plain", {}));
        return;
    }
    const std::uint64_t endings = m_endings.load();
    ++m_open;
    struct Count {
        std::atomic<int>& open;
        ~Count() { --open; }
    } count{m_open};
    StreamSettings settings = m_model.LastStreamSettings();
    const auto [width, height] = PictureSize(settings.resolution, m_model.profile().videoMode);
    const streamgen::DeviceJpegCycle* cycle = &Cycle(width, height);
    const auto layout = settings.newHeader ? streamgen::FrameHeaderLayout::kNew
                                           : streamgen::FrameHeaderLayout::kOld;

    const auto period = std::chrono::microseconds(1'000'000 / m_options.framesPerSecond);
    const auto started = std::chrono::steady_clock::now();
    auto next = started;
    std::string frame;
    for (;;) {
        if (m_endings.load() != endings)
            return;
        // The picture size and channel follow "/Setresolution.cgi" and
        // "/SetChannel.cgi" while the stream runs, as on the device.
        if (const StreamSettings now = m_model.LastStreamSettings();
            now.resolution != settings.resolution || now.channel != settings.channel) {
            const auto [w, h] = PictureSize(now.resolution, m_model.profile().videoMode);
            cycle = &Cycle(w, h);
            settings.resolution = now.resolution;
            settings.channel = now.channel;
        }
        const std::uint64_t n = m_frameNumber++;
        const auto image = cycle->Frame(n);

        streamgen::FrameHeaderDescription header;
        header.imageLength = static_cast<std::uint32_t>(image.size());
        header.channel = 0;
        header.channelIndex =
            static_cast<std::uint8_t>(settings.channel > 0 ? settings.channel - 1 : 0);
        header.timeValue = static_cast<std::uint32_t>(n * 40);
        header.packedDate = PackedNow();
        // The camera sensor's zoom and flips (Q9C0) and a R.E.T.R. state
        // the client switched, in the new layout's status block.
        if (m_model.profile().productId == "Q9C0")
            header.status.cameraState = m_model.controlCommands().CameraState();
        header.status.retrState = m_model.controlCommands().RetrState();
        if (m_options.alarmPeriod.count() > 0) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::steady_clock::now() - started);
            if (elapsed % m_options.alarmPeriod < m_options.alarmLength)
                header.alarm = 0x0001;
        }
        const std::vector<std::uint8_t> bytes = streamgen::WriteFrameHeader(header, layout);

        frame.assign(bytes.begin(), bytes.end());
        frame.append(reinterpret_cast<const char*>(image.data()), image.size());
        if (!connection.Send(frame))
            return;

        next += period;
        const auto now = std::chrono::steady_clock::now();
        if (next > now) {
            if (!connection.Pause(
                    std::chrono::duration_cast<std::chrono::milliseconds>(next - now)))
                return;
        } else {
            next = now;  // a slow client: no burst to catch up
        }
    }
}

void LiveStream::EndOpenStreams() {
    ++m_endings;
}

int LiveStream::OpenStreams() const {
    return m_open.load();
}

}  // namespace devicesim
