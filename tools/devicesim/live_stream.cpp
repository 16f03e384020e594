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
constexpr int kQuality = 70;

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

LiveStream::LiveStream(DeviceModel& model, LiveStreamOptions options)
    : m_model(model), m_options(options) {
    if (m_options.framesPerSecond < 1)
        m_options.framesPerSecond = 1;
}

LiveStream::~LiveStream() = default;

std::pair<int, int> LiveStream::PictureSize(const DeviceProfile& profile, int resolution) {
    const std::string& product = profile.productId;
    if (product == "Q9C0") {
        switch (resolution) {
            case 1:
                return {320, 240};
            case 2:
                return {160, 120};
            default:
                return {640, 480};
        }
    }
    const bool pal = profile.videoMode != 0;
    const bool full = resolution != 1 && resolution != 2;
    if (IsRecorder(product))
        return {full ? 640 : 320, pal ? 276 : 228};
    return {full ? 704 : 352, pal ? 288 : 240};
}

streamgen::FrameHeaderDescription LiveStream::FrameHeader(const DeviceModel& model,
                                                          const StreamSettings& settings,
                                                          std::uint64_t n,
                                                          std::uint32_t imageLength) {
    const DeviceProfile& profile = model.profile();
    streamgen::FrameHeaderDescription header;
    header.imageLength = imageLength;
    // A Q9C0 counts its header in the image length of the new layout.
    header.lengthIncludesHeader = profile.productId == "Q9C0" && settings.newHeader;
    // The channel shown, in both fields; the new layout's four-bit index
    // says 16 with its status flag.
    const auto channel = static_cast<std::uint8_t>(settings.channel);
    header.channel = channel;
    header.channelIndex = channel;
    if (settings.newHeader && channel >= 16) {
        header.channelIndex = static_cast<std::uint8_t>(channel & 0x0F);
        header.status.channel16 = true;
    }
    header.timeValue = static_cast<std::uint32_t>(n * 40);
    header.packedDate = PackedNow();
    // The camera sensor's zoom and flips (Q9C0) and a R.E.T.R. state
    // the client switched, in the new layout's status block.
    if (profile.productId == "Q9C0")
        header.status.cameraState = model.controlCommands().CameraState();
    header.status.retrState = model.controlCommands().RetrState();
    return header;
}

const streamgen::DeviceJpegCycle& LiveStream::Cycle(int width, int height, int channel) {
    std::lock_guard lock(m_lock);
    auto& cycle = m_cycles[{width, height, channel}];
    if (!cycle) {
        cycle = std::make_unique<streamgen::DeviceJpegCycle>(width, height, kCycleFrames, kQuality,
                                                             streamgen::Chroma::k422, channel);
    }
    return *cycle;
}

void LiveStream::Serve(const HttpRequest& request, Connection& connection) {
    const std::string cookie(request.Param("Cookie").value_or(""));
    if (!m_model.StartSessionStream(cookie)) {
        connection.Send(FormatResponse(401, "Unauthorized", "text/plain", {}));
        return;
    }
    const DeviceProfile& profile = m_model.profile();
    const std::uint64_t endings = m_endings.load();
    ++m_open;
    struct Count {
        std::atomic<int>& open;
        ~Count() { --open; }
    } count{m_open};
    StreamSettings settings = m_model.LastStreamSettings();
    const auto layout = settings.newHeader ? streamgen::FrameHeaderLayout::kNew
                                           : streamgen::FrameHeaderLayout::kOld;

    const auto period = std::chrono::microseconds(1'000'000 / m_options.framesPerSecond);
    const auto started = std::chrono::steady_clock::now();
    auto next = started;
    std::string frame;
    for (;;) {
        // The device ends the stream with the session, or when told to.
        if (!m_model.IsSessionValid(cookie) || m_endings.load() != endings)
            return;
        // The picture size and channel follow "/Setresolution.cgi" and
        // "/SetChannel.cgi" while the stream runs, as on the device.
        const StreamSettings now = m_model.LastStreamSettings();
        settings.resolution = now.resolution;
        settings.channel = now.channel;
        const auto [width, height] = PictureSize(profile, settings.resolution);
        const streamgen::DeviceJpegCycle& cycle = Cycle(width, height, settings.channel);
        const std::uint64_t n = m_frameNumber++;
        const auto image = cycle.Frame(n);

        streamgen::FrameHeaderDescription header =
            FrameHeader(m_model, settings, n, static_cast<std::uint32_t>(image.size()));
        if (m_options.alarmPeriod.count() > 0) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::steady_clock::now() - started);
            if (elapsed % m_options.alarmPeriod < m_options.alarmLength)
                header.alarm = 0x0001;
        }
        const std::vector<std::uint8_t> bytes = streamgen::WriteFrameHeader(header, layout);
        // The new layout's length word has 16 bits: a frame it cannot
        // announce is left out (the test pictures stay well below).
        const bool announced =
            layout == streamgen::FrameHeaderLayout::kOld ||
            image.size() + (header.lengthIncludesHeader ? bytes.size() : 0) <= 0xFFFF;
        if (announced) {
            frame.assign(bytes.begin(), bytes.end());
            frame.append(reinterpret_cast<const char*>(image.data()), image.size());
            if (!connection.Send(frame))
                return;
        }

        next += period;
        const auto after = std::chrono::steady_clock::now();
        if (next > after) {
            if (!connection.Pause(
                    std::chrono::duration_cast<std::chrono::milliseconds>(next - after)))
                return;
        } else {
            next = after;  // a slow client: no burst to catch up
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
