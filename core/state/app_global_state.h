#pragma once

// The one record of shared state of the program, reached by every thread
// through g_lpApp. It lives from CreateGlobalState at start-up to the end of
// ExitInstance. Handles are owned pointers: "0" is an empty pointer, and every
// release routine resets them, so releasing twice is harmless.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/application/trace_log.h"
#include "core/state/control_device.h"
#include "core/state/settings_store.h"
#include "core/state/sys_config_sections.h"
#include "core/state/system_time.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "platform/window.h"

class CDravelinDlg;
struct CtrlDeviceRecord;

// A text read and written by several threads: every access takes the lock.
class SharedText {
public:
    SharedText() = default;
    explicit SharedText(std::string value) : m_value(std::move(value)) {}
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string Get() const {
        std::lock_guard lock(m_lock);
        return m_value;
    }
    void Set(std::string value) {
        std::lock_guard lock(m_lock);
        m_value = std::move(value);
    }
    void Clear() { Set({}); }
    bool Empty() const {
        std::lock_guard lock(m_lock);
        return m_value.empty();
    }

private:
    mutable std::mutex m_lock;
    std::string m_value;
};

// One record of the configuration sheet's Account page edit buffer.
struct AccountEditRecord {
    bool used = false;
    std::uint16_t level = 0;
    std::uint32_t lifeTime = 0;
    std::string user;
    std::string password;
};

// State shared by the backup download and the external player.
struct NetworkBackupRecord {
    platform::WindowHandle playerWindow = 0;
    std::atomic<bool> playerReady{false};
    std::atomic<bool> playerGone{false};
    std::string mutexName;
    // The named mutex of the player hand-off; released at shutdown when set.
    std::shared_ptr<void> mutexHandle;
};

using EventPtr = std::unique_ptr<platform::Event>;
using SemaphorePtr = std::unique_ptr<platform::Semaphore>;
using ThreadPtr = std::unique_ptr<platform::Thread>;
using BufferPtr = std::unique_ptr<std::uint8_t[]>;

// Sizes of the system buffers.
inline constexpr std::size_t kSocketSlotBytes = 102'400;
inline constexpr std::size_t kSocketBufferBytes = 2 * kSocketSlotBytes;
inline constexpr std::size_t kImageSlotBytes = 1'572'864;
inline constexpr std::size_t kFrameHeaderInfoBytes = 72;
inline constexpr std::size_t kFrameHeaderTableBytes = 2 * kFrameHeaderInfoBytes;

// A device record as the device packs it into 45 bytes (little-endian, no
// padding); filled by CopyDeviceRecord, read by nothing yet.
struct DeviceRecord {
    static constexpr std::size_t kPackedBytes = 45;
    std::array<std::uint32_t, 5> dwWords{};
    std::array<std::uint8_t, 6> abBytes{};
    std::uint8_t bFirstByte = 0;
    std::array<std::uint32_t, 2> dwMoreWords{};
    std::array<std::uint16_t, 3> wHalfWords{};
    std::uint8_t bSecondByte = 0;
    std::uint16_t wHalfWord = 0;
    std::uint8_t bLastByte = 0;
};

struct AppGlobalState {
    AppGlobalState();
    ~AppGlobalState();
    AppGlobalState(const AppGlobalState&) = delete;
    AppGlobalState& operator=(const AppGlobalState&) = delete;

    // Process-control and streaming threads, events and semaphores.
    ThreadPtr h_Process_KernelMessageThread;
    ThreadPtr h_Process_Terminate_Thread;
    ThreadPtr h_Process_Init_Thread;
    // The kernel-message mailbox's semaphores are shared: a poster keeps
    // them alive while it waits, even if shutdown closes the mailbox then.
    std::shared_ptr<platform::Semaphore> h_KernelMessagePostSem;
    std::shared_ptr<platform::Semaphore> h_KernelMessageMutexSem;
    // Set when the kernel-message thread has ended: posters stop waiting.
    std::shared_ptr<platform::Event> h_KernelMailboxClosedEvent;
    std::mutex m_KernelMailboxLock;  // guards the three pointers above
    EventPtr h_Process_Notify_TerminateEvent;
    EventPtr h_Process_Reply_TerminateEvent;
    EventPtr h_Process_Notify_InitEvent;
    EventPtr h_Process_Reply_InitEvent;
    EventPtr h_NotifyGetJPEGImageThreadResetEvent;
    EventPtr h_FeedBackForNotifyResetEvent;
    ThreadPtr h_ConnectionThread;
    ThreadPtr h_GetJpegImageThread;
    ThreadPtr h_ComposeImageDataThread;
    ThreadPtr h_ShowImageDataThread;
    ThreadPtr h_ReLoginThread;
    ThreadPtr h_UpgradeFirmwareThread;
    ThreadPtr h_PlayAudioWavThread;
    EventPtr h_StartToGetJpegImageEvent;
    EventPtr h_EndofGetJpegImageEvent;
    EventPtr h_StartToShowImageEvent;
    EventPtr h_EndofShowImageEvent;
    EventPtr h_FinishShowImageJobEvent;
    EventPtr h_StartConnectionThreadEvent;
    EventPtr h_EndConnectionThreadEvent;
    // Shared with the alarm sound's play block and playing thread, which may
    // still hold them when these are replaced or closed.
    std::shared_ptr<platform::Event> h_WaveOutDoneEvent;
    std::shared_ptr<platform::Event> h_StopAlarmAudioEvent;

    // Connection and viewing state.
    std::atomic<bool> f_Connected{false};
    std::atomic<bool> f_LoginStatusShown{false};
    std::atomic<bool> f_ReceiverRunning{false};
    std::atomic<std::uint8_t> b_PtzClickMode{1};
    std::atomic<std::uint16_t> w_PtzPointX{0};
    std::atomic<std::uint16_t> w_PtzPointY{0};
    std::array<int, 2> pt_MousePoint{};
    // Written by the PTZ click on the GUI thread, read by the frame drawing.
    std::array<std::atomic<std::uint16_t>, 4> w_HotPointRect{50, 50, 50, 50};
    std::atomic<std::uint16_t> w_HotPointFrames{0};
    bool f_MMX = false;
    std::atomic<bool> f_VideoConnected{false};
    std::atomic<std::uint8_t> b_VideoStandard{0};
    std::atomic<std::int32_t> dw_LifeTime{-1};

    // Buffers and rings.
    BufferPtr lp_SocketBuffer;
    BufferPtr lp_JpegCopyBuffer;
    BufferPtr lp_ImageBuffer;
    BufferPtr lp_FullScreenBuffer;
    std::size_t dw_FullScreenBufferBytes = 0;
    BufferPtr lp_DoubleLineBuffer;
    std::atomic<std::uint8_t*> lp_CurrentImage{nullptr};
    SemaphorePtr h_SocketFreeSem;
    SemaphorePtr h_SocketFilledSem;
    SemaphorePtr h_ImageFreeSem;
    SemaphorePtr JPEGImageBufferRelSem;
    std::uint16_t w_SocketSlots = 2;
    std::uint16_t w_ImageSlots = 1;
    std::uint16_t w_SocketWriteIndex = 0;
    std::uint16_t w_SocketReadIndex = 0;
    BufferPtr lp_FrameHeaderTable;
    std::uint16_t w_TirelMp4DecodeIndex = 0;
    std::uint16_t w_ImageWriteIndex = 0;

    // Kernel-message mailbox.
    std::uint32_t dw_KernelMessage = 0;
    std::array<std::uintptr_t, 2> dw_KernelMessageArg{};
    // The file to play of kernel message 7, copied into the mailbox.
    std::string str_KernelMessageText;

    // View and frame state.
    std::uint8_t b_SkinIndex = 0;
    std::atomic<std::uint8_t> b_VideoMode{0};
    std::atomic<std::uint8_t> b_ViewSize{0};
    std::uint8_t b_ViewSizeOld = 0;
    std::uint16_t w_CopyWidth = 0;
    std::uint16_t w_CopyHeight = 0;
    BufferPtr lp_FrameCopyBuffer;
    std::atomic<bool> f_FrameCopyRequest{false};
    SemaphorePtr h_FrameCopySem;
    std::atomic<bool> f_AlarmAudioReload{false};
    std::atomic<bool> f_AlarmAudioPlaying{false};
    std::atomic<bool> f_AlarmAudioStarted{false};
    std::atomic<std::uint32_t> dw_RateTick{0};
    std::atomic<std::uint32_t> dw_ByteCount{0};
    std::atomic<std::uint32_t> dw_DataRate{0};
    std::atomic<std::uint32_t> dw_FrameCount{0};
    std::atomic<std::uint16_t> w_ViewMode{0};
    std::atomic<bool> f_FirstFrame{false};
    std::atomic<bool> f_SnapshotRequest{false};

    // Login result and device identity.
    std::atomic<std::uint16_t> w_LoginResult{0};
    std::atomic<std::uint16_t> w_UserLevel{0};
    std::atomic<platform::WindowHandle> h_MainDialogHandle{0};
    std::atomic<CDravelinDlg*> lp_MainDialog{nullptr};
    SharedText str_FWVersion;
    SharedText str_BootVersion;
    SharedText str_2041Version;
    SharedText str_FPGAVersion;
    SharedText str_AppVersion;
    std::atomic<std::uint32_t> dw_LifeSeconds{0};
    std::uint16_t w_DpiX = 96;
    std::uint16_t w_DpiY = 96;
    float fl_DpiScale = 1.0f;
    std::atomic<std::uint8_t> b_TurboRepeatStep{5};
    std::atomic<bool> f_PowerState{false};
    std::shared_ptr<void> h_LanguageDll;
    std::atomic<bool> f_Turbo{false};
    std::array<std::uint8_t, 12> b_RecordOptions{};
    std::uint16_t w_LanguageID = 1033;
    std::atomic<bool> f_KeyToggleState{false};
    std::atomic<std::uint16_t> w_ImageWidth{0};
    std::atomic<std::uint16_t> w_ImageHeight{0};
    std::atomic<std::uint32_t> dw_FrameCountMark{0};
    std::atomic<std::uint32_t> dw_FrameCountNow{0};

    // Member objects and device data.
    CControlDevice C_ControlD;
    std::array<AccountEditRecord, 5> AccountEdit{};
    CDebugTrace C_DebugTrace;
    // The records of CtrlFile.ini (the live view's control-file loader fills
    // them at start-up; ExitProcessResource frees them).
    std::atomic<std::int32_t> dw_CtrlDeviceCount{0};
    std::shared_ptr<CtrlDeviceRecord[]> lp_CtrlDevices;
    // The device's clock as the last frame header reported it; written by the
    // stream receive thread, read by the main window.
    SharedSystemTime st_DeviceTime;
    std::atomic<bool> b_InfoHover{false};
    std::atomic<std::uint32_t> dw_FeatureFlags{0};
    std::atomic<bool> f_VideoLoss{false};
    ::DeviceRecord DeviceRecord;
    ::CSettingINI CSettingINI;
    // The client's copy of the device's configuration sections.
    ::SystemConfigStruct SystemConfigStruct;
    // Set when the main window's own read of SYSTEM, as it opened, filled
    // SystemConfigStruct.system with the connected device's bytes.
    std::atomic<bool> f_SystemSectionRead{false};
    SharedText str_ProductID;
    // 12 hexadecimal characters and room for the terminator.
    std::array<char, 13> sz_MacAddress{};
    SharedText str_HostName;
    std::atomic<std::uint8_t> b_MultiChannel{0};
    SharedText str_DeviceTitle;
    NetworkBackupRecord NetworkBackupState;
    std::atomic<int> f_ConfigDialogOpen{0};
    // The row of the user-level table chosen for the user's level when the
    // main window opens (0 supervisor, 1 high user, 2 guest, 3 normal user).
    std::atomic<std::uint8_t> b_UserLevelRow{0};
    // The control panel's ACTION/PRESET key state.
    std::atomic<bool> f_PresetMode{false};
};

// The record, valid from CreateGlobalState to the end of shutdown.
extern AppGlobalState* g_lpApp;

// The client's own first IPv4 address as dotted text.
extern SharedText g_strHostIP;

// The session cookie of the current login: at most 63 characters. Written by
// the login threads, read with every later command.
extern SharedText g_szSessionCookie;
inline constexpr std::size_t kSessionCookieCapacity = 64;

// A server address and web port that the configuration sheet changed on the
// device; the command client applies and clears them after its next
// successful reply.
extern std::atomic<std::uint16_t> g_wPendingWebPort;
extern std::atomic<bool> g_bPendingWebPort;
extern SharedText g_strPendingServerName;
extern std::atomic<bool> g_bPendingServerName;
