#include "tests/support/fake_stream.h"

#include <time.h>

#include <algorithm>

namespace test_support {

namespace {

using namespace std::chrono_literals;

// How often a wait of the stream looks whether the device is stopping.
constexpr auto kStopPoll = 5ms;

std::uint64_t ThreadCpuNanoseconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(t.tv_nsec);
}

std::string_view AsText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

// ---- StreamScript -----------------------------------------------------------

std::size_t StreamScript::AddFrame(streamgen::FrameHeaderDescription description,
                                   std::span<const std::uint8_t> image) {
    if (!description.imageLength)
        description.imageLength = static_cast<std::uint32_t>(image.size());
    return AddFrameWithHeader(streamgen::WriteFrameHeader(description, m_layout), image);
}

std::size_t StreamScript::AddFrameWithHeader(std::vector<std::uint8_t> header,
                                             std::span<const std::uint8_t> image) {
    ScriptFrame frame;
    frame.offset = m_bytes.size();
    frame.header = std::move(header);
    frame.image.assign(image.begin(), image.end());
    m_cuts.insert(frame.offset);
    m_bytes.insert(m_bytes.end(), frame.header.begin(), frame.header.end());
    m_bytes.insert(m_bytes.end(), frame.image.begin(), frame.image.end());
    m_frames.push_back(std::move(frame));
    return m_frames.size() - 1;
}

void StreamScript::AddRaw(std::string_view bytes) {
    m_cuts.insert(m_bytes.size());
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void StreamScript::CutAt(std::size_t offset) {
    m_cuts.insert(offset);
}

void StreamScript::CutFrameAt(std::size_t frame, std::size_t offsetInFrame) {
    m_cuts.insert(m_frames.at(frame).offset + offsetInFrame);
}

void StreamScript::JoinWithPrevious(std::size_t frame) {
    m_cuts.erase(m_frames.at(frame).offset);
}

std::vector<std::pair<std::size_t, std::size_t>> StreamScript::Writes() const {
    std::set<std::size_t> bounds = m_cuts;
    bounds.insert(m_stalls.begin(), m_stalls.end());
    if (m_closeAt)
        bounds.insert(*m_closeAt);
    if (m_resetAt)
        bounds.insert(*m_resetAt);
    bounds.insert(0);
    bounds.insert(m_bytes.size());
    std::vector<std::pair<std::size_t, std::size_t>> writes;
    std::size_t start = 0;
    for (std::size_t bound : bounds) {
        if (bound > m_bytes.size())
            break;
        if (bound > start)
            writes.emplace_back(start, bound);
        start = std::max(start, bound);
    }
    return writes;
}

// ---- FrameCycle ---------------------------------------------------------------

FrameCycle FrameCycle::FromJpegs(const streamgen::DeviceJpegCycle& jpegs,
                                 streamgen::FrameHeaderLayout layout) {
    FrameCycle cycle;
    for (std::size_t n = 0; n < jpegs.size(); ++n) {
        const std::span<const std::uint8_t> jpeg = jpegs.Frame(n);
        streamgen::FrameHeaderDescription d;
        d.imageLength = static_cast<std::uint32_t>(jpeg.size());
        d.channelIndex = 0;
        d.timeValue = static_cast<std::uint32_t>(8 * (n + 1));  // 40 ms apart once times 5
        std::vector<std::uint8_t> frame = streamgen::WriteFrameHeader(d, layout);
        frame.insert(frame.end(), jpeg.begin(), jpeg.end());
        cycle.frames.push_back(std::move(frame));
    }
    return cycle;
}

// ---- FakeStream -----------------------------------------------------------------

struct FakeStream::State {
    std::optional<StreamScript> script;
    std::optional<FrameCycle> cycle;
    double framesPerSecond = 0;

    mutable std::mutex lock;
    mutable std::condition_variable changed;
    bool lockstep = false;
    bool clientGone = false;
    std::uint64_t readBytes = 0;
    std::uint64_t sentBytes = 0;
    std::uint64_t sentFrames = 0;
    std::size_t connections = 0;
    std::size_t stalled = 0;
    std::uint64_t releases = 0;
    bool finished = false;
    std::uint64_t cpuBefore = 0;  // of connections that have ended
    std::uint64_t cpuNow = 0;     // the running connection's share so far

    void Serve(Connection& connection);
    void ServeScript(Connection& connection);
    void ServeCycle(Connection& connection);
    bool Send(Connection& connection, std::span<const std::uint8_t> bytes);
    bool Stall(Connection& connection);
    void Finish();
    void Report(int result);
};

void FakeStream::State::Report(int result) {
    std::lock_guard guard(lock);
    if (result < 0) {
        clientGone = true;
    } else {
        readBytes += static_cast<std::uint64_t>(result);
    }
    changed.notify_all();
}

void FakeStream::State::Finish() {
    std::lock_guard guard(lock);
    finished = true;
    changed.notify_all();
}

bool FakeStream::State::Send(Connection& connection, std::span<const std::uint8_t> bytes) {
    if (!connection.Send(AsText(bytes)))
        return false;
    std::unique_lock guard(lock);
    sentBytes += bytes.size();
    changed.notify_all();
    if (!lockstep)
        return true;
    while (readBytes < sentBytes && !clientGone) {
        if (connection.Stopping())
            return false;
        changed.wait_for(guard, kStopPoll);
    }
    return !clientGone;
}

bool FakeStream::State::Stall(Connection& connection) {
    std::unique_lock guard(lock);
    ++stalled;
    changed.notify_all();
    const std::uint64_t release = releases;
    while (releases == release && !connection.Stopping()) changed.wait_for(guard, kStopPoll);
    --stalled;
    return !connection.Stopping();
}

void FakeStream::State::ServeScript(Connection& connection) {
    const StreamScript& s = *script;
    const std::span<const std::uint8_t> bytes(s.m_bytes);
    for (const auto& [start, end] : s.Writes()) {
        if (s.m_closeAt == start)
            return Finish();
        if (s.m_resetAt == start) {
            connection.Reset();
            return Finish();
        }
        if (s.m_stalls.contains(start) && !Stall(connection))
            return Finish();
        if (!Send(connection, bytes.subspan(start, end - start)))
            return Finish();
    }
    Finish();
    if (s.m_end == StreamEnd::kHold && s.m_closeAt.value_or(s.size()) >= s.size() && !s.m_resetAt) {
        connection.HoldUntilPeerCloses();
    }
}

void FakeStream::State::ServeCycle(Connection& connection) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t cpuStart = ThreadCpuNanoseconds();
    for (std::uint64_t n = 0;; ++n) {
        const std::vector<std::uint8_t>& frame = cycle->frames[n % cycle->frames.size()];
        if (!Send(connection, frame))
            break;
        {
            std::lock_guard guard(lock);
            ++sentFrames;
            cpuNow = ThreadCpuNanoseconds() - cpuStart;
        }
        if (framesPerSecond > 0) {
            const auto due =
                start +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(static_cast<double>(n + 1) / framesPerSecond));
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                due - std::chrono::steady_clock::now());
            if (wait.count() > 0 && !connection.Pause(wait))
                break;
        }
    }
    Finish();
}

void FakeStream::State::Serve(Connection& connection) {
    {
        std::lock_guard guard(lock);
        ++connections;
        readBytes = 0;
        sentBytes = 0;
        clientGone = false;
        finished = false;
        cpuBefore += cpuNow;
        cpuNow = 0;
        changed.notify_all();
    }
    if (script) {
        ServeScript(connection);
    } else if (cycle && !cycle->frames.empty()) {
        ServeCycle(connection);
    } else {
        Finish();
    }
}

FakeStream::FakeStream(StreamScript script) : m_state(std::make_shared<State>()) {
    m_state->script.emplace(std::move(script));
}

FakeStream::FakeStream(FrameCycle cycle, double framesPerSecond)
    : m_state(std::make_shared<State>()) {
    m_state->cycle.emplace(std::move(cycle));
    m_state->framesPerSecond = framesPerSecond;
}

FakeStream::~FakeStream() {
    // A handler still running keeps the state; make sure it does not wait
    // for reads that will never be reported.
    std::lock_guard guard(m_state->lock);
    m_state->clientGone = true;
    m_state->changed.notify_all();
}

FakeDevice::Handler FakeStream::Handler() const {
    return
        [state = m_state](const HttpRequest&, Connection& connection) { state->Serve(connection); };
}

void FakeStream::SetLockstep(bool on) {
    std::lock_guard guard(m_state->lock);
    m_state->lockstep = on;
    m_state->changed.notify_all();
}

void FakeStream::ReportRead(int result) {
    m_state->Report(result);
}

std::function<void(int)> FakeStream::ReadReporter() const {
    return [state = m_state](int result) { state->Report(result); };
}

bool FakeStream::WaitForStall(std::chrono::milliseconds timeout) const {
    std::unique_lock guard(m_state->lock);
    return m_state->changed.wait_for(guard, timeout, [this] { return m_state->stalled > 0; });
}

void FakeStream::ReleaseStall() {
    std::lock_guard guard(m_state->lock);
    ++m_state->releases;
    m_state->changed.notify_all();
}

bool FakeStream::WaitUntilFinished(std::chrono::milliseconds timeout) const {
    std::unique_lock guard(m_state->lock);
    return m_state->changed.wait_for(guard, timeout, [this] { return m_state->finished; });
}

std::uint64_t FakeStream::SentBytes() const {
    std::lock_guard guard(m_state->lock);
    return m_state->sentBytes;
}

std::uint64_t FakeStream::SentFrames() const {
    std::lock_guard guard(m_state->lock);
    return m_state->sentFrames;
}

std::size_t FakeStream::Connections() const {
    std::lock_guard guard(m_state->lock);
    return m_state->connections;
}

std::uint64_t FakeStream::SenderCpuNanoseconds() const {
    std::lock_guard guard(m_state->lock);
    return m_state->cpuBefore + m_state->cpuNow;
}

}  // namespace test_support
