#pragma once

// What the core asks of the subsystems built on top of it. The core cannot
// link upward, so each later subsystem implements one of these interfaces and
// registers it at start-up; until it does, a placeholder stands in that does
// the least the core needs and never blocks.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class Event;
}

// The record button's state bit in the command bar.
inline constexpr std::uint32_t kRecordButtonBit = 0x20;

// The four skins of the main window, by video standard and picture size.
enum class LiveSkin : std::uint8_t { NtscQvga, NtscVga, PalQvga, PalVga };

// The main live-view window and its control files.
class LiveViewServices {
public:
    virtual ~LiveViewServices() = default;

    // Reads CtrlFile.ini from the program's folder: 1 when loaded, 0 after
    // showing message 4094 when it cannot be opened or read.
    virtual int LoadCtrlFile() = 0;
    // Links the device families to the loaded records; 1.
    virtual int MatchCtrlFileDevices() = 0;
    // Frees the loaded CtrlFile.ini records; safe to call twice.
    virtual void FreeCtrlFileRecords() = 0;
    // Constructs the main window, runs it modally and destroys it.
    virtual void RunMainWindow() = 0;
    // Sets the main window's status line; callable from any thread.
    virtual int SetStatusText(const std::string& text) = 0;
    // Frees the main window's memory drawing context when it exists.
    virtual void DeleteMemoryDC() = 0;
    // Draws the current frame; runs on the kernel-message thread, never on
    // the GUI thread, and sets the frame-drawn event on every path.
    virtual int DrawVideoFrame() = 0;
    // Sets the first command-bar button sharing a state bit to the state
    // (kRecordButtonBit: the record button).
    virtual int SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) = 0;
    // Empties the channel title and the alarm-channel number.
    virtual void ClearInfoTexts() = 0;
    // Empties the notice the window paints in red over the picture.
    virtual void ClearNoticeText() = 0;
    // Puts the PTZ control button (control 8312) in state 0.
    virtual void ResetPtzControlButton() = 0;
    // Re-lays out the window's items and buttons for the current device.
    // Called from the session login thread: the window does the work on the
    // GUI thread.
    virtual void RelayoutForDevice() = 0;

    // Re-layout and re-skin requested by the view-mode selection when the
    // picture size changes. These calls come from the compose thread: they
    // must neither touch widgets nor wait for the GUI thread there (the GUI
    // thread may be waiting for the compose thread to stop), so the window
    // posts the work to itself and returns at once.
    //
    // Reloads the skin for the video standard and picture size and moves the
    // skin buttons to the current view-mode row.
    virtual void ChangeItemPositionForDeviceModified() = 0;
    // Loads one of the four skins into the skinned buttons and lays them out.
    virtual void ApplySkin(LiveSkin skin) = 0;
    // Re-arranges the channel buttons for the current picture-size code.
    virtual void ArrangeChannelButtons() = 0;
    // Makes `channelIndex` (0-16, the channel the picture shows) the channel
    // bar's current channel, as CChannelBar::SetCurrentChannel does. Called
    // by the compose thread for every frame: it only queues the work for the
    // GUI thread and returns at once.
    virtual void SetCurrentChannel(int channelIndex) = 0;
    // The three below are called by the frame-header parser on the stream
    // receive thread: each only queues its work for the GUI thread and
    // returns at once, never blocking and never showing a message box there.
    //
    // Asks the channel bar to switch the device to `channel` (1-16), as
    // CChannelBar::RequestChannel does.
    virtual void RequestChannel(int channel) = 0;
    // Switches the R.E.T.R. button (control 8331) to the look and tool-tip
    // of the enabled (non-zero) or disabled state.
    virtual void SetRetrStateButton(bool enabled) = 0;
    // Hands the camera state byte of a Q9C0 frame header to the camera image
    // toolbar (WM_CAMERASTATE: bits 0-3 camera mode, bit 7 horizontal
    // reverse, bit 6 vertical reverse).
    virtual void PostCameraState(std::uint8_t state) = 0;
};

// The live media pipeline's long-lived objects: frame timer, pre-alarm ring,
// recorders and the local alarm list.
class MediaServices {
public:
    virtual ~MediaServices() = default;

    virtual void InitFrameTimer() = 0;
    virtual void StopFrameTimer() = 0;
    // Buffers of the pre-alarm ring and the alarm, user and schedule recorders.
    virtual bool AllocateBuffers() = 0;
    virtual void FreeBuffers() = 0;
    // The local alarm list's item array.
    virtual void FreeAlarmList() = 0;
    // Events and semaphores of the alarm, user and schedule recorders.
    virtual void CreateRecorderResources() = 0;
    virtual void FreeRecorderResources() = 0;
    // Stops the alarm, user and schedule recordings, in that order.
    virtual void StopRecorders() = 0;
    // Stops the alarm and the schedule recordings (a stream failure).
    virtual void StopAlarmAndScheduleRecords() = 0;

    // Bodies of the stream receive, compose and show threads.
    virtual std::uint32_t RunReceiveThread() = 0;
    virtual std::uint32_t RunComposeThread() = 0;
    virtual std::uint32_t RunShowThread() = 0;
    // Starts the alarm and user recorders' threads with the record option;
    // false when one cannot be started. Stopping ends and joins them.
    virtual bool StartRecorderThreads(std::uint8_t recordOption) = 0;
    virtual void StopRecorderThreads() = 0;

    // Loads the alarm wave file and hands the output's done event to it (the
    // play block keeps its own share of it); false when the file cannot be
    // loaded.
    virtual bool LoadAlarmWave(const std::string& path,
                               std::shared_ptr<platform::Event> waveOutDone) = 0;

    // Tells the frame-header parser which header layout the stream carries:
    // true when the device-information request asked for the new layout
    // (NEWHR), false when it did not. Called by the session login thread.
    virtual void SetNewHeaderLayout(bool newLayout) = 0;
    // After a login: lets a user recording that ran before it go on; true
    // when one does.
    virtual bool ContinueUserRecord() = 0;
    // The reason of the last stream failure, 0 while there was none.
    virtual std::uint32_t GetStreamError() = 0;
};

// The stand-ins used until a subsystem registers itself. Tests derive from
// them to change one answer.
class PlaceholderLiveView : public LiveViewServices {
public:
    int LoadCtrlFile() override { return 1; }
    int MatchCtrlFileDevices() override { return 1; }
    void FreeCtrlFileRecords() override {}
    void RunMainWindow() override {}
    int SetStatusText(const std::string&) override { return 1; }
    void DeleteMemoryDC() override {}
    // Nothing to draw; the show thread still learns the frame is done.
    int DrawVideoFrame() override;
    int SetCommandButtonsState(std::uint32_t, std::uint8_t) override { return 1; }
    void ClearInfoTexts() override {}
    void ClearNoticeText() override {}
    void ResetPtzControlButton() override {}
    void RelayoutForDevice() override {}
    void ChangeItemPositionForDeviceModified() override {}
    void ApplySkin(LiveSkin) override {}
    void ArrangeChannelButtons() override {}
    void SetCurrentChannel(int) override {}
    void RequestChannel(int) override {}
    void SetRetrStateButton(bool) override {}
    void PostCameraState(std::uint8_t) override {}
};

// Without the stream pipeline (a test that registers none) its threads only
// wait to be ended; the receive thread still answers a reset as the real one
// does.
class PlaceholderMedia : public MediaServices {
public:
    void InitFrameTimer() override {}
    void StopFrameTimer() override {}
    bool AllocateBuffers() override { return true; }
    void FreeBuffers() override {}
    void FreeAlarmList() override {}
    void CreateRecorderResources() override {}
    void FreeRecorderResources() override {}
    void StopRecorders() override {}
    void StopAlarmAndScheduleRecords() override {}
    std::uint32_t RunReceiveThread() override;
    std::uint32_t RunComposeThread() override;
    std::uint32_t RunShowThread() override;
    bool StartRecorderThreads(std::uint8_t) override { return true; }
    void StopRecorderThreads() override {}
    bool LoadAlarmWave(const std::string&, std::shared_ptr<platform::Event>) override {
        return true;
    }
    void SetNewHeaderLayout(bool) override {}
    bool ContinueUserRecord() override { return false; }
    std::uint32_t GetStreamError() override { return 0; }
};

LiveViewServices& LiveView();
MediaServices& Media();

// Registers an implementation (nullptr restores the placeholder). The
// services must outlive their use; they are registered before start-up and
// removed after shutdown.
void SetLiveViewServices(LiveViewServices* services);
void SetMediaServices(MediaServices* services);
