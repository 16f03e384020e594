#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/application/subsystem_services.h"

namespace test_support {

// A main window for tests of the core and the media pipeline: it records what
// it is asked to do and otherwise behaves as the placeholder. The calls come
// from the stream, compose, show and login threads, so every record is kept
// under a lock and read back as a copy. Tests that need one call to behave
// differently derive from it and call the base to keep the record.
class RecordingLiveView : public PlaceholderLiveView {
public:
    using ButtonState = std::pair<std::uint32_t, std::uint8_t>;

    int SetStatusText(const std::string& text) override;
    int SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) override;
    void ClearInfoTexts() override;
    // Recorded in LayoutCalls() as "layout", the skin's name ("ntsc-qvga",
    // "ntsc-vga", "pal-qvga", "pal-vga") and "channels".
    void ChangeItemPositionForDeviceModified() override;
    void ApplySkin(LiveSkin skin) override;
    void ArrangeChannelButtons() override;
    void SetCurrentChannel(int channelIndex) override;
    void RequestChannel(int channel) override;
    void SetRetrStateButton(bool enabled) override;
    void PostCameraState(std::uint8_t state) override;

    std::vector<std::string> StatusTexts() const;
    std::vector<ButtonState> Buttons() const;
    int InfoCleared() const;
    std::vector<std::string> LayoutCalls() const;
    // Channels made current (SetCurrentChannel) and asked for (RequestChannel).
    std::vector<int> CurrentChannels() const;
    std::vector<int> RequestedChannels() const;
    std::vector<bool> RetrButtons() const;
    std::vector<std::uint8_t> CameraStates() const;

    // Forgets everything recorded so far.
    void Clear();

    // Waits in real time (not on the injectable clock), up to the kit's wait
    // bound, until at least count status texts were set.
    bool WaitForStatusTexts(std::size_t count) const;

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_statusTexts;
    std::vector<ButtonState> m_buttons;
    int m_infoCleared = 0;
    std::vector<std::string> m_layoutCalls;
    std::vector<int> m_currentChannels;
    std::vector<int> m_requestedChannels;
    std::vector<bool> m_retrButtons;
    std::vector<std::uint8_t> m_cameraStates;
};

}  // namespace test_support
