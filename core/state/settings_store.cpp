#include "core/state/settings_store.h"

#include <limits>
#include <optional>
#include <system_error>
#include <type_traits>
#include <variant>

#include "core/application/string_table.h"
#include "core/application/trace_log.h"
#include "platform/message_box.h"
#include "platform/profile_file.h"
#include "platform/program_folder.h"
#include "platform/registry_store.h"

// ------------------------------------------------------------------ Text

CSettingINI::Text& CSettingINI::Text::operator=(const Text& other) {
    if (this != &other) {
        Set(other.Get());
    }
    return *this;
}

CSettingINI::Text& CSettingINI::Text::operator=(std::string value) {
    Set(std::move(value));
    return *this;
}

std::string CSettingINI::Text::Get() const {
    std::lock_guard lock(m_lock);
    return m_value;
}

void CSettingINI::Text::Set(std::string value) {
    std::lock_guard lock(m_lock);
    m_value = std::move(value);
}

bool CSettingINI::Text::empty() const {
    std::lock_guard lock(m_lock);
    return m_value.empty();
}

bool operator==(const CSettingINI::Text& text, std::string_view value) {
    std::lock_guard lock(text.m_lock);
    return text.m_value == value;
}

// ------------------------------------------------------------------ key tables

namespace {

using Settings = CSettingINI;

// Where a number key's value lives: a member of one of the three widths, or
// (for "Turbo repeat step") the caller's variable.
using NumberMember = std::variant<std::monostate, std::atomic<std::uint8_t> CSettingINI::*,
                                  std::atomic<std::uint16_t> CSettingINI::*,
                                  std::atomic<std::uint32_t> CSettingINI::*>;

enum class LoadDefault {
    kFixed,    // the table's value
    kCurrent,  // whatever the member holds before the load
};

struct NumberKey {
    Settings::KeyIndex key;
    NumberMember member;
    LoadDefault defaultKind;
    std::uint32_t defaultValue;
    std::uint32_t minimum;  // values below (or above the member's width) take the default
};

// Every number key with its default at load. Ports must be 1..65535: a port
// of 0 in the file would make every request fail.
constexpr NumberKey kNumberKeys[] = {
    {Settings::kKeyImageQuility, &Settings::m_byImageQuality, LoadDefault::kFixed, 0, 0},
    {Settings::kKeyServerPort, &Settings::m_wWebPort, LoadDefault::kCurrent, 0, 1},
    {Settings::kKeyImageResolution, &Settings::m_dwImageResolution, LoadDefault::kFixed, 1, 0},
    {Settings::kKeyTurboRepeatStep, std::monostate{}, LoadDefault::kFixed,
     Settings::kDefaultTurboRepeatStep, 0},
    {Settings::kKeyBrightness, &Settings::m_dwBrightness, LoadDefault::kFixed, 0, 0},
    {Settings::kKeyContrast, &Settings::m_dwContrast, LoadDefault::kFixed, 96, 0},
    {Settings::kKeySaturation, &Settings::m_dwSaturation, LoadDefault::kFixed, 0, 0},
    {Settings::kKeyRetrAlarmRecord, &Settings::m_byRETRAlarmRecord, LoadDefault::kFixed, 1, 0},
    {Settings::kKeySubPortNumber, &Settings::m_dwSubPortNumber, LoadDefault::kCurrent, 0, 1},
    {Settings::kKeyZoomRatio, &Settings::m_wZoomRatio, LoadDefault::kFixed, 100, 0},
    {Settings::kKeyFrameRate, &Settings::m_wFrameRate, LoadDefault::kFixed, 30, 0},
    {Settings::kKeyTargetBitRate, &Settings::m_wTargetBitRate, LoadDefault::kFixed, 400, 0},
    {Settings::kKeyPeakBitRate, &Settings::m_wPeakBitRate, LoadDefault::kFixed, 450, 0},
    {Settings::kKeyControlBitRateType, &Settings::m_wControlBitRateType, LoadDefault::kFixed, 1, 0},
    {Settings::kKeyResolutionType, &Settings::m_byResolutionType, LoadDefault::kFixed, 3, 0},
    {Settings::kKeySelectedChannel, &Settings::m_bySelectedChannel, LoadDefault::kFixed, 1, 0},
    {Settings::kKeyDynamicDownloadOption, &Settings::m_dwDynamicDownloadOption, LoadDefault::kFixed,
     0, 0},
    {Settings::kKeyWriteCdOption, &Settings::m_dwWriteCdOption, LoadDefault::kFixed, 0, 0},
    {Settings::kKeyLastConnectionMac1, &Settings::m_wLastConnectionMAC1, LoadDefault::kFixed, 255,
     0},
    {Settings::kKeyLastConnectionMac2, &Settings::m_wLastConnectionMAC2, LoadDefault::kFixed, 255,
     0},
    {Settings::kKeyAlarmTriggerRecord, &Settings::m_byAlarmTriggerRecord, LoadDefault::kFixed, 1,
     0},
    {Settings::kKeyAlarmEnableButton, &Settings::m_wAlarmEnableButton, LoadDefault::kFixed, 3, 0},
    {Settings::kKeyAlarmTriggerQuality, &Settings::m_dwAlarmTriggerQuality, LoadDefault::kFixed, 0,
     0},
    {Settings::kKeyAlarmTriggerResolution, &Settings::m_dwAlarmTriggerResolution,
     LoadDefault::kFixed, 1, 0},
    {Settings::kKeyTriggerWavPathLoword, &Settings::m_dwTriggerWavPathLOWORD, LoadDefault::kFixed,
     0, 0},
    {Settings::kKeyTriggerCloseTimeHour, &Settings::m_byTriggerCloseTimeHour, LoadDefault::kFixed,
     0, 0},
    {Settings::kKeyTriggerCloseTimeMin, &Settings::m_byTriggerCloseTimeMin, LoadDefault::kFixed, 0,
     0},
    {Settings::kKeyTriggerCloseTimeDate, &Settings::m_byTriggerCloseTimeDate, LoadDefault::kFixed,
     0, 0},
    {Settings::kKeySearchListHdd, &Settings::m_wSearchListHDD, LoadDefault::kFixed, 0, 0},
    {Settings::kKeySearchListType, &Settings::m_bySearchListType, LoadDefault::kFixed, 0, 0},
    {Settings::kKeySearchListMaxNumber, &Settings::m_wSearchListMaxNumber, LoadDefault::kFixed, 128,
     0},
    {Settings::kKeyAlarmAutoSwitchVideo, &Settings::m_byAlarmAutoSwitchVideo, LoadDefault::kFixed,
     0, 0},
    {Settings::kKeyWriteCdCloseOption, &Settings::m_dwWriteCdCloseOption, LoadDefault::kFixed, 0,
     0},
};

struct TextKey {
    Settings::KeyIndex key;
    CSettingINI::Text CSettingINI::*member;
};

// Every stored text key ("Server Name" is saved from m_szResolvedHost when
// that is set, see SaveToFile).
constexpr TextKey kTextKeys[] = {
    {Settings::kKeyUsername, &Settings::m_strUserName},
    {Settings::kKeyServerName, &Settings::m_strServerName},
    {Settings::kKeyRecordPath, &Settings::m_strRecordPath},
    {Settings::kKeySnapshotPath, &Settings::m_strSnapshotPath},
    {Settings::kKeyUpgradeFwPath, &Settings::m_strUpgradeFWPath},
    {Settings::kKeyUpgradeDvrFwPath, &Settings::m_strUpgradeDVRFWPath},
    {Settings::kKeyTriggerWavPath, &Settings::m_strTriggerWavPath},
    {Settings::kKeyNetworkFileDirectory, &Settings::m_strNetworkFileDirectory},
};

// The numbers read in each numeric step of the load.
constexpr Settings::KeyIndex kLoadFirstNumbers[] = {
    Settings::kKeyBrightness, Settings::kKeyContrast, Settings::kKeySaturation,
    Settings::kKeyImageResolution};

constexpr Settings::KeyIndex kLoadConnectionNumbers[] = {Settings::kKeyServerPort,
                                                         Settings::kKeySubPortNumber,
                                                         Settings::kKeyZoomRatio,
                                                         Settings::kKeyFrameRate,
                                                         Settings::kKeyTargetBitRate,
                                                         Settings::kKeyPeakBitRate,
                                                         Settings::kKeyControlBitRateType,
                                                         Settings::kKeyResolutionType,
                                                         Settings::kKeyImageQuility,
                                                         Settings::kKeySelectedChannel,
                                                         Settings::kKeyDynamicDownloadOption,
                                                         Settings::kKeyWriteCdOption,
                                                         Settings::kKeyWriteCdCloseOption,
                                                         Settings::kKeyLastConnectionMac1,
                                                         Settings::kKeyLastConnectionMac2,
                                                         Settings::kKeyAlarmTriggerRecord,
                                                         Settings::kKeyAlarmEnableButton};

constexpr Settings::KeyIndex kLoadAlarmNumbers[] = {
    Settings::kKeySearchListHdd,          Settings::kKeySearchListType,
    Settings::kKeySearchListMaxNumber,    Settings::kKeyAlarmTriggerQuality,
    Settings::kKeyAlarmTriggerResolution, Settings::kKeyTriggerWavPathLoword,
    Settings::kKeyTriggerCloseTimeHour,   Settings::kKeyTriggerCloseTimeMin,
    Settings::kKeyTriggerCloseTimeDate,   Settings::kKeyAlarmAutoSwitchVideo};

// The 41 keys of Setting.ini in the order they are written.
constexpr Settings::KeyIndex kSaveOrder[] = {
    Settings::kKeyBrightness,
    Settings::kKeyContrast,
    Settings::kKeySaturation,
    Settings::kKeyImageResolution,
    Settings::kKeyUsername,
    Settings::kKeyServerName,
    Settings::kKeyServerPort,
    Settings::kKeySubPortNumber,
    Settings::kKeyZoomRatio,
    Settings::kKeyFrameRate,
    Settings::kKeyTargetBitRate,
    Settings::kKeyPeakBitRate,
    Settings::kKeyControlBitRateType,
    Settings::kKeyResolutionType,
    Settings::kKeyImageQuility,
    Settings::kKeySelectedChannel,
    Settings::kKeyDynamicDownloadOption,
    Settings::kKeyWriteCdOption,
    Settings::kKeyWriteCdCloseOption,
    Settings::kKeyLastConnectionMac1,
    Settings::kKeyLastConnectionMac2,
    Settings::kKeyAlarmTriggerRecord,
    Settings::kKeyRetrAlarmRecord,
    Settings::kKeyAlarmEnableButton,
    Settings::kKeyTurboRepeatStep,
    Settings::kKeyAlarmTriggerQuality,
    Settings::kKeyAlarmTriggerResolution,
    Settings::kKeyTriggerWavPathLoword,
    Settings::kKeyTriggerCloseTimeHour,
    Settings::kKeyTriggerCloseTimeMin,
    Settings::kKeyTriggerCloseTimeDate,
    Settings::kKeyAlarmAutoSwitchVideo,
    Settings::kKeySearchListHdd,
    Settings::kKeySearchListType,
    Settings::kKeySearchListMaxNumber,
    Settings::kKeyRecordPath,
    Settings::kKeySnapshotPath,
    Settings::kKeyUpgradeFwPath,
    Settings::kKeyUpgradeDvrFwPath,
    Settings::kKeyTriggerWavPath,
    Settings::kKeyNetworkFileDirectory,
};
static_assert(std::size(kSaveOrder) == 41);

constexpr const NumberKey* FindNumberKey(Settings::KeyIndex key) {
    for (const auto& entry : kNumberKeys) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

constexpr const TextKey* FindTextKey(Settings::KeyIndex key) {
    for (const auto& entry : kTextKeys) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

// Every key that is read or written has exactly one binding.
constexpr bool EveryKeyBound() {
    for (const auto key : kSaveOrder) {
        if ((FindNumberKey(key) != nullptr) == (FindTextKey(key) != nullptr)) {
            return false;
        }
    }
    return true;
}
static_assert(EveryKeyBound());

constexpr std::string_view Section() {
    return Settings::m_strKeyName[Settings::kKeySection];
}
constexpr std::string_view Name(Settings::KeyIndex key) {
    return Settings::m_strKeyName[key];
}

}  // namespace

// ------------------------------------------------------------------ CSettingINI

CSettingINI::CSettingINI() = default;

std::filesystem::path CSettingINI::SettingFilePath() const {
    const std::string folder = m_strProgramDir.Get();
    if (folder.empty()) {
        return {};
    }
    return std::filesystem::path(folder) / kSettingFileName;
}

bool CSettingINI::LoadFromFile(std::uint8_t& turboRepeatStep) {
    return LoadFromFile(platform::ProgramFolder(), turboRepeatStep);
}

bool CSettingINI::LoadFromFile(const std::filesystem::path& programDir,
                               std::uint8_t& turboRepeatStep) {
    std::lock_guard lock(m_fileLock);

    // The folder keeps a trailing separator, as the rest of the program
    // expects of m_strProgramDir.
    m_strProgramDir = programDir.empty() ? std::string() : (programDir / "").string();
    const std::filesystem::path file = SettingFilePath();
    const platform::ProfileFile doc =
        file.empty() ? platform::ProfileFile() : platform::ProfileFile::Load(file);

    const auto readNumber = [&](Settings::KeyIndex key) {
        const NumberKey& entry = *FindNumberKey(key);
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                std::int64_t fallback = entry.defaultValue;
                std::int64_t maximum = std::numeric_limits<std::uint8_t>::max();
                if constexpr (!std::is_same_v<Member, std::monostate>) {
                    using Value =
                        typename std::remove_reference_t<decltype(this->*member)>::value_type;
                    maximum = std::numeric_limits<Value>::max();
                    if (entry.defaultKind == LoadDefault::kCurrent) {
                        fallback = (this->*member).load();
                    }
                }
                std::int64_t value = doc.GetInt(Section(), Name(key), fallback);
                if (value < entry.minimum || value > maximum) {
                    value = fallback;
                }
                if constexpr (std::is_same_v<Member, std::monostate>) {
                    turboRepeatStep = static_cast<std::uint8_t>(value);
                } else {
                    using Value =
                        typename std::remove_reference_t<decltype(this->*member)>::value_type;
                    (this->*member).store(static_cast<Value>(value));
                }
            },
            entry.member);
    };
    const auto readText = [&](Settings::KeyIndex key, std::string_view fallback,
                              std::size_t capacity) {
        return doc.GetString(Section(), Name(key), fallback, capacity);
    };

    for (const auto key : kLoadFirstNumbers) {
        readNumber(key);
    }
    m_strUserName = readText(kKeyUsername, m_strUserName.Get(), kTextCapacity);
    m_strServerName = readText(kKeyServerName, kDefaultServerName, kTextCapacity);
    for (const auto key : kLoadConnectionNumbers) {
        readNumber(key);
    }
    // The R.E.T.R. recording switch always starts on.
    m_byRETRAlarmRecord = 1;
    readNumber(kKeyTurboRepeatStep);
    for (const auto key : kLoadAlarmNumbers) {
        readNumber(key);
    }

    if (const auto desktop = platform::DesktopFolder()) {
        m_strDesktopPath = desktop->string();
    } else {
        ShowMessage(4056);
        m_strDesktopPath = std::string();
    }
    const std::string desktop = m_strDesktopPath.Get();

    std::string recordPath = readText(kKeyRecordPath, desktop, kPathCapacity);
    std::string snapshotPath = readText(kKeySnapshotPath, desktop, kPathCapacity);
    std::string upgradePath = readText(kKeyUpgradeFwPath, desktop, kPathCapacity);
    std::string upgradeDvrPath = readText(kKeyUpgradeDvrFwPath, desktop, kPathCapacity);
    m_strNetworkFileDirectory = readText(kKeyNetworkFileDirectory, "c:\\", kPathCapacity);

    // The firmware pickers expect one folder with and one without the
    // trailing separator.
    if (upgradePath.empty() || upgradePath.back() != '/') {
        upgradePath.push_back('/');
    }
    if (!upgradeDvrPath.empty() && upgradeDvrPath.back() == '/') {
        upgradeDvrPath.pop_back();
    }
    m_strUpgradeFWPath = std::move(upgradePath);
    m_strUpgradeDVRFWPath = std::move(upgradeDvrPath);

    const std::string alarmWave =
        (std::filesystem::path(m_strProgramDir.Get()) / "alarm.wav").string();
    m_strTriggerWavPath = readText(kKeyTriggerWavPath, alarmWave, kPathCapacity);

    if (recordPath.empty()) {
        recordPath = desktop;
    }
    if (snapshotPath.empty()) {
        snapshotPath = desktop;
    }
    // Only the last level is created; an existing folder or a failure is
    // left for the recorder or the snapshot writer to meet.
    std::error_code ec;
    if (!recordPath.empty()) {
        std::filesystem::create_directory(recordPath, ec);
    }
    if (!snapshotPath.empty()) {
        std::filesystem::create_directory(snapshotPath, ec);
    }
    m_strRecordPath = std::move(recordPath);
    m_strSnapshotPath = std::move(snapshotPath);
    return true;
}

bool CSettingINI::SaveToFile(std::uint8_t turboRepeatStep) {
    bool written = false;
    bool tell = false;
    bool result = false;
    std::filesystem::path file;
    {
        std::lock_guard lock(m_fileLock);
        file = SettingFilePath();
        if (file.empty()) {
            return false;  // never loaded: there is no file to keep
        }
        result = WriteFile(turboRepeatStep, written);
        tell = !written && !m_saveFailureShown;
        m_saveFailureShown = !written;
    }
    if (tell) {
        // Shown with the lock released: a modal box runs the event loop,
        // which may save again.
        WriteTraceLine("settings not saved: " + file.string() + " cannot be written");
        platform::ShowMessageBox(0, std::string(kSaveFailedText) + "\n" + file.string(),
                                 platform::kMbOk | platform::kMbIconError);
    }
    return result;
}

bool CSettingINI::WriteFile(std::uint8_t turboRepeatStep, bool& written) {
    const std::filesystem::path file = SettingFilePath();
    // Start from the file as it is, so keys and sections this program does
    // not write survive, as they do when each key is written on its own.
    platform::ProfileFile doc = platform::ProfileFile::Load(file);
    if (doc.ReadFailed()) {
        return false;
    }

    bool allStored = true;
    for (const auto key : kSaveOrder) {
        std::string value;
        if (const NumberKey* number = FindNumberKey(key)) {
            std::visit(
                [&](auto member) {
                    if constexpr (std::is_same_v<decltype(member), std::monostate>) {
                        value = std::to_string(turboRepeatStep);
                    } else {
                        value = std::to_string((this->*member).load());
                    }
                },
                number->member);
        } else if (key == kKeyServerName) {
            value = m_szResolvedHost.Get();
            if (value.empty()) {
                value = m_strServerName.Get();
            }
        } else {
            value = (this->*(FindTextKey(key)->member)).Get();
        }
        allStored = doc.SetString(Section(), Name(key), value) && allStored;
    }
    written = doc.Save();
    return written && allStored;
}
