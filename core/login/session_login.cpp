#include "core/login/session_login.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/login/login_exchange.h"
#include "core/login/process_control.h"
#include "core/net/cgi_command.h"
#include "core/net/sys_config.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "platform/clock.h"
#include "platform/sync.h"
#include "platform/window.h"

namespace {

using std::chrono::milliseconds;

constexpr std::uint16_t kLoginFailedTryAgain = 100;
constexpr std::uint16_t kLoginRefusedTooManyUsers = 102;
constexpr std::uint16_t kUserLevelLoggedIn = 30;
constexpr std::size_t kDeviceInfoReplyBytes = 1024;
constexpr std::uint32_t kLinkedEntryValue = 2400;
constexpr milliseconds kInitReplyWait{5000};
constexpr milliseconds kTooManyUsersPause{20'000};
constexpr milliseconds kFailurePause{3000};
constexpr milliseconds kBeforeNextAttempt{2000};
constexpr milliseconds kBeforeStartEvents{2000};
constexpr milliseconds kLongestBackOff{30'000};

// Codes of WM_SHOWLOGINSTATUS (the second message parameter).
enum LoginStatus : std::uint64_t {
    kStatusElapsed = 0,
    kStatusStartLogin = 1,
    kStatusFailedWait = 3,
    kStatusConnected = 5,
    kStatusNotConnected = 6,
    kStatusTooManyUsers = 7,
};

// Device types that the reply's numbers stand for.
constexpr std::uint8_t kTypePtzSlave = 11;
constexpr std::uint8_t kTypePtzPelco = 18;

void PostStatus(LoginStatus code, std::uint64_t argument = 0) {
    platform::PostWindowMessage(g_lpApp->h_MainDialogHandle, WM_SHOWLOGINSTATUS, argument, code);
}

std::uint64_t NowSeconds() {
    return platform::TickCount64() / 1000;
}

// The MTYPE / STYPE value 1 stands for a PTZ slave.
std::uint8_t LinkedType(int value) {
    // Out-of-range values saturate, so the table refuses them instead of
    // taking a wrapped type.
    if (value < 0 || value > 255)
        return 255;
    return value == 1 ? kTypePtzSlave : static_cast<std::uint8_t>(value);
}

// The device sends its feature bits in the INF section; only recorders with
// recent firmware know them.
void ReadFeatureFlags() {
    if (!IsDvrFamily() || FirmwareOlderThan("1035"))
        return;
    std::array<std::uint8_t, SysCfgSize(kSysCfgInf)> inf{};
    if (ReadSysCfgSection(kSysCfgInf, inf) == 0)
        return;
    SystemConfigStruct& config = g_lpApp->SystemConfigStruct;
    config.inf = inf;
    g_lpApp->dw_FeatureFlags = InfFeatureBits(config);
}

// Whether this device's frames carry the new header layout once asked.
bool WantsNewHeaderLayout() {
    if (IsDvrFamily())
        return !FirmwareOlderThan("1046");
    if (IsQ3A2())
        return !FirmwareOlderThan("1006");
    return IsQ9C0() != 0;
}

bool RetrHonoured() {
    if (IsDvrFamily() && !FirmwareOlderThan("1035"))
        return HasFeature(0x1) != 0;
    return true;
}

}  // namespace

void ClampSelectedChannel(const std::string& productId) {
    auto& channel = g_lpApp->CSettingINI.m_bySelectedChannel;
    const std::uint8_t value = channel;
    if (productId == "Q8A7" && value > 16)
        channel = 0;
    if (productId == "Q8A5" && value > 8)
        channel = 0;
    if (productId == "Q8A3" && value > 4)
        channel = 0;
    if (productId == "Q3A2" && (value > 2 || value == 0))
        channel = 1;
}

void ReadModeAndVersionItems(const ReplyItems& items) {
    AppGlobalState& app = *g_lpApp;
    if (auto videoMode = items.Number("VIDEOMODE"))
        app.b_VideoMode = static_cast<std::uint8_t>(*videoMode);
    if (auto level = items.Number("USERLEVEL"))
        app.w_UserLevel = static_cast<std::uint16_t>(*level);
    if (auto boot = items.Find("Boot-Version"))
        app.str_BootVersion.Set(*boot);
    if (auto v2041 = items.Find("2041-Version"))
        app.str_2041Version.Set(*v2041);
    if (auto fpga = items.Find("FPGA-Version"))
        app.str_FPGAVersion.Set(*fpga);
}

CCgiUrl PrepareDeviceInfoRequest() {
    const CSettingINI& settings = g_lpApp->CSettingINI;
    CCgiUrl url(CgiCommand::kGetDeviceInfo);
    url.AddSessionCookie(g_szSessionCookie.Get());
    url.AddParamInt("RES", static_cast<std::int32_t>(settings.m_dwImageResolution.load()));
    url.AddParamInt("QUA", static_cast<std::int32_t>(settings.m_dwAlarmTriggerQuality.load()));
    url.AddParamInt("CH", settings.m_bySelectedChannel.load());
    const bool newLayout = WantsNewHeaderLayout();
    if (newLayout)
        url.AddParamInt("NEWHR", 1);
    Media().SetNewHeaderLayout(newLayout);
    return url;
}

bool ReadDeviceInformation() {
    AppGlobalState& app = *g_lpApp;
    ClampSelectedChannel(app.str_ProductID.Get());
    ReadFeatureFlags();

    const CCgiUrl url = PrepareDeviceInfoRequest();

    WriteTraceLine("start to send get device info command");
    std::array<std::uint8_t, kDeviceInfoReplyBytes> reply{};
    std::uint32_t length = 0;
    CommandStatus status;
    if (TirelSendCommand(CgiCommand::kGetDeviceInfo, url.GetUrlBuffer(), {}, &status, reply,
                         &length, 15, 15, 0) == 0) {
        WriteTraceLine("Command failed");
        return false;
    }
    WriteTraceLine("Command success");
    if (length == 0)
        return false;

    const ReplyItems items(std::span<const std::uint8_t>(reply.data(), length));
    if (auto lifeTime = items.Number("LIFETIME"))
        app.dw_LifeTime = *lifeTime;
    app.b_MultiChannel = static_cast<std::uint8_t>(items.Number("MULTICH").value_or(0));

    CControlDevice& devices = app.C_ControlD;
    std::uint8_t lastType = 0;
    if (auto linked = items.Number("LINKDEVICE")) {
        lastType = *linked < 0 || *linked > 255 ? 255 : static_cast<std::uint8_t>(*linked);
        devices.AddDevice(0, 0, lastType, kDeviceMaster);
    } else if (auto masters = items.Number("MASTERNUM")) {
        std::size_t position = 0;
        std::uint8_t id = 0;
        // At most as many groups as the table holds; a missing key ends the walk.
        const int groups = std::clamp(*masters, 0, kMaxLinkedDevices);
        for (int i = 0; i < groups; ++i) {
            const auto mid = items.Number("MID", position);
            if (!mid)
                break;
            id = static_cast<std::uint8_t>(*mid);
            const auto mtype = items.Number("MTYPE", position);
            if (!mtype)
                break;
            lastType = LinkedType(*mtype);
            devices.AddDevice(kLinkedEntryValue, id, lastType, kDeviceMaster);
        }
    }

    if (auto retr = items.Number("RETR"); retr && RetrHonoured()) {
        devices.Reset();
        if (lastType == 14)
            devices.AddDevice(0, 0, 19, kDeviceMaster);
        if (lastType == 20)
            devices.AddDevice(0, 0, 22, kDeviceMaster);
        if (lastType == 21)
            devices.AddDevice(0, 0, 23, kDeviceMaster);
        devices.SetRetrState(static_cast<std::uint8_t>(*retr));
    }

    ReadModeAndVersionItems(items);

    if (auto slaves = items.Number("SLAVENUM")) {
        std::size_t position = 0;
        const std::uint16_t kind = IsMultiChannel() ? kDeviceMaster : kDeviceSlave;
        const int groups = std::clamp(*slaves, 0, kMaxLinkedDevices);
        for (int i = 0; i < groups; ++i) {
            const auto sid = items.Number("SID", position);
            if (!sid)
                break;
            const auto stype = items.Number("STYPE", position);
            if (!stype)
                break;
            std::uint8_t type = LinkedType(*stype);
            if (const auto protocol = items.Number("SPROTOCOL", position);
                protocol && type == kTypePtzSlave && *protocol == 1) {
                type = kTypePtzPelco;
            }
            devices.AddDevice(kLinkedEntryValue, static_cast<std::uint8_t>(*sid), type, kind);
        }
    }
    return true;
}

namespace {

void ChooseCurrentDevice() {
    CControlDevice& devices = g_lpApp->C_ControlD;
    const int channel = g_lpApp->CSettingINI.m_bySelectedChannel;
    if (IsDvrFamily() && IsMultiChannel()) {
        devices.MakeCurrent(kDeviceMaster, channel);
    } else if (IsDvrFamily() || IsQ7BFamily() || IsQ9C0()) {
        devices.MakeCurrent(kDeviceMaster, 0);
    } else if (IsQ3A2()) {
        devices.MakeCurrent(kDeviceMaster, channel == 1 ? 0 : 1);
    }
}

// One login and device-information attempt; true when both succeeded.
bool Attempt(std::string& savedServer) {
    AppGlobalState& app = *g_lpApp;
    CSettingINI& settings = app.CSettingINI;
    app.w_LoginResult = kLoginFailedTryAgain;
    g_szSessionCookie.Clear();

    WriteTraceLine("Start send login command");
    const std::string server = settings.m_strServerName.Get();
    if (GetAddressKind(server) == 1)
        savedServer = server;
    const int result = LoginExchange(settings.m_strUserName.Get(), settings.m_strPassword.Get(),
                                     LoginPath::kSessionThread);
    if (result != kLoginOk) {
        app.w_LoginResult =
            result == kLoginTooManyUsers ? kLoginRefusedTooManyUsers : kLoginFailedTryAgain;
        WriteTraceLine("login failed");
        // The sender replaced a host name by its address; the next attempt
        // resolves the name again.
        if (!savedServer.empty())
            settings.m_strServerName = savedServer;
        return false;
    }
    WriteTraceLine("login success");
    app.w_LoginResult = kLoginResultLoggedIn;
    app.w_UserLevel = kUserLevelLoggedIn;
    return ReadDeviceInformation();
}

// The pause after a failed attempt; false when the thread is asked to stop.
bool RetryPause(std::uint64_t& attempts, std::uint64_t startSeconds) {
    if (g_lpApp->w_LoginResult == kLoginRefusedTooManyUsers) {
        PostStatus(kStatusTooManyUsers);
        if (!platform::Sleep(kTooManyUsersPause))
            return false;
    }
    if (!platform::Sleep(kFailurePause))
        return false;
    PostStatus(kStatusFailedWait);
    const auto backOff =
        std::min<std::uint64_t>((attempts / 2000 + 1) * 3000, kLongestBackOff.count());
    if (!platform::Sleep(milliseconds(backOff)))
        return false;
    ++attempts;
    PostStatus(kStatusElapsed, NowSeconds() - startSeconds);
    PostStatus(kStatusNotConnected);
    if (!platform::Sleep(kBeforeNextAttempt))
        return false;
    PostStatus(kStatusStartLogin);
    return true;
}

}  // namespace

std::uint32_t LoginProcessThread() {
    AppGlobalState& app = *g_lpApp;
    CSettingINI& settings = app.CSettingINI;
    const std::uint64_t startSeconds = NowSeconds();
    app.f_ReceiverRunning = false;
    app.f_LoginStatusShown = false;
    app.f_Connected = true;
    app.b_PtzClickMode = 1;
    LiveView().ClearNoticeText();
    PostStatus(kStatusStartLogin);
    if (!app.C_ControlD.IsCurrentMaster())
        LiveView().ResetPtzControlButton();
    app.C_ControlD.Reset();
    const std::string resolvedHost = settings.m_szResolvedHost.Get();
    if (!resolvedHost.empty())
        settings.m_strServerName = resolvedHost;

    std::string savedServer;
    std::uint64_t attempts = 0;
    while (!Attempt(savedServer)) {
        if (!RetryPause(attempts, startSeconds))
            return 1;
    }

    ChooseCurrentDevice();
    PostStatus(kStatusConnected);
    LiveView().RelayoutForDevice();
    app.f_LoginStatusShown = false;
    const std::uint64_t rebuild = RequestStreamingRebuild();
    // A rebuild that does not answer in time does not stop the login; being
    // stopped (the shutdown refuses the rebuild and stops this thread) does.
    if (WaitForStreamingRebuild(rebuild, kInitReplyWait) == platform::WaitResult::Stopped)
        return 1;
    if (Media().ContinueUserRecord())
        LiveView().SetCommandButtonsState(kRecordButtonBit, 1);
    if (!platform::Sleep(kBeforeStartEvents))
        return 1;
    WriteTraceLine("Send start event");
    // Starts the set built for this login; one still to be built starts as
    // soon as it stands.
    SignalStreamStartEvents(rebuild);
    return 0;
}

// ---- helpers nothing else in the login calls ----------------------------------

std::uint32_t GetStreamError() {
    return Media().GetStreamError();
}

std::size_t CountBytesBeforeFF(std::span<const std::uint8_t> bytes) {
    return static_cast<std::size_t>(std::find(bytes.begin(), bytes.end(), 0xFF) - bytes.begin());
}

std::size_t FindJpegEndMarker(std::span<const std::uint8_t> bytes) {
    static constexpr std::array<std::uint8_t, 4> kMarker{0xFF, 0xD9, 0xFF, 0xFF};
    const auto found = std::search(bytes.begin(), bytes.end(), kMarker.begin(), kMarker.end());
    return found == bytes.end() ? 0 : static_cast<std::size_t>(found - bytes.begin()) + 1;
}

namespace {

// Reads the packed fields in order.
class PackedReader {
public:
    explicit PackedReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::uint8_t Byte() { return m_bytes[m_at++]; }
    std::uint16_t Half() {
        const auto low = Byte();
        return static_cast<std::uint16_t>(low | Byte() << 8);
    }
    std::uint32_t Word() {
        const std::uint32_t low = Half();
        return low | static_cast<std::uint32_t>(Half()) << 16;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

}  // namespace

int CopyDeviceRecord(std::span<const std::uint8_t> packed) {
    if (packed.size() < DeviceRecord::kPackedBytes || g_lpApp == nullptr) {
        return 0;
    }
    PackedReader in(packed.first(DeviceRecord::kPackedBytes));
    DeviceRecord& record = g_lpApp->DeviceRecord;
    for (auto& word : record.dwWords) word = in.Word();
    for (auto& byte : record.abBytes) byte = in.Byte();
    record.bFirstByte = in.Byte();
    for (auto& word : record.dwMoreWords) word = in.Word();
    for (auto& half : record.wHalfWords) half = in.Half();
    record.bSecondByte = in.Byte();
    record.wHalfWord = in.Half();
    record.bLastByte = in.Byte();
    return 1;
}
