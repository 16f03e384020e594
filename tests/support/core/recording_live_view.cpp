#include "tests/support/core/recording_live_view.h"

#include "tests/support/wait.h"

namespace test_support {

int RecordingLiveView::SetStatusText(const std::string& text) {
    {
        std::lock_guard lock(m_lock);
        m_statusTexts.push_back(text);
    }
    m_changed.notify_all();
    return 1;
}

int RecordingLiveView::SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) {
    std::lock_guard lock(m_lock);
    m_buttons.emplace_back(stateBits, state);
    return 1;
}

void RecordingLiveView::ClearInfoTexts() {
    std::lock_guard lock(m_lock);
    ++m_infoCleared;
}

void RecordingLiveView::ChangeItemPositionForDeviceModified() {
    std::lock_guard lock(m_lock);
    m_layoutCalls.emplace_back("layout");
}

void RecordingLiveView::ApplySkin(LiveSkin skin) {
    static constexpr const char* kNames[] = {"ntsc-qvga", "ntsc-vga", "pal-qvga", "pal-vga"};
    std::lock_guard lock(m_lock);
    m_layoutCalls.emplace_back(kNames[static_cast<int>(skin)]);
}

void RecordingLiveView::ArrangeChannelButtons() {
    std::lock_guard lock(m_lock);
    m_layoutCalls.emplace_back("channels");
}

void RecordingLiveView::SetCurrentChannel(int channelIndex) {
    std::lock_guard lock(m_lock);
    m_currentChannels.push_back(channelIndex);
}

void RecordingLiveView::RequestChannel(int channel) {
    std::lock_guard lock(m_lock);
    m_requestedChannels.push_back(channel);
}

void RecordingLiveView::SetRetrStateButton(bool enabled) {
    std::lock_guard lock(m_lock);
    m_retrButtons.push_back(enabled);
}

void RecordingLiveView::PostCameraState(std::uint8_t state) {
    std::lock_guard lock(m_lock);
    m_cameraStates.push_back(state);
}

std::vector<std::string> RecordingLiveView::StatusTexts() const {
    std::lock_guard lock(m_lock);
    return m_statusTexts;
}

std::vector<RecordingLiveView::ButtonState> RecordingLiveView::Buttons() const {
    std::lock_guard lock(m_lock);
    return m_buttons;
}

int RecordingLiveView::InfoCleared() const {
    std::lock_guard lock(m_lock);
    return m_infoCleared;
}

std::vector<std::string> RecordingLiveView::LayoutCalls() const {
    std::lock_guard lock(m_lock);
    return m_layoutCalls;
}

std::vector<int> RecordingLiveView::CurrentChannels() const {
    std::lock_guard lock(m_lock);
    return m_currentChannels;
}

std::vector<int> RecordingLiveView::RequestedChannels() const {
    std::lock_guard lock(m_lock);
    return m_requestedChannels;
}

std::vector<bool> RecordingLiveView::RetrButtons() const {
    std::lock_guard lock(m_lock);
    return m_retrButtons;
}

std::vector<std::uint8_t> RecordingLiveView::CameraStates() const {
    std::lock_guard lock(m_lock);
    return m_cameraStates;
}

void RecordingLiveView::Clear() {
    std::lock_guard lock(m_lock);
    m_statusTexts.clear();
    m_buttons.clear();
    m_infoCleared = 0;
    m_layoutCalls.clear();
    m_currentChannels.clear();
    m_requestedChannels.clear();
    m_retrButtons.clear();
    m_cameraStates.clear();
}

bool RecordingLiveView::WaitForStatusTexts(std::size_t count) const {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, kWaitBound, [&] { return m_statusTexts.size() >= count; });
}

}  // namespace test_support
