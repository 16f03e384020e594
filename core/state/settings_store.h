#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

// The program's settings, kept in Setting.ini (section "Kestrune") in the
// program's folder.
//
// Threads. The login dialog, the login and session threads, the command
// client, the stream threads and the main window all read and change the
// settings while the program runs, so every member below can be used from
// any thread without further locking, under its usual name:
// - numbers are std::atomic of the member's width (`m_wWebPort = 8080;`,
//   `std::uint16_t port = m_wWebPort;`);
// - texts are CSettingINI::Text, a string behind its own lock
//   (`m_strServerName = "10.0.0.2";`, `std::string host = m_strServerName;`,
//   or .Get() / .Set()).
// Each member changes in one step on its own; members that belong together
// (server name and port) are two steps, as before. LoadFromFile and
// SaveToFile are serialised with each other by the object's own mutex, and a
// save writes each member's value as it stands at the moment it is read.
//
// The "Turbo repeat step" value is kept by the global state record, not
// here: LoadFromFile hands it back through a parameter and SaveToFile takes
// it as one, so this class does not depend on the global state record.
class CSettingINI {
public:
    // A text setting: a string behind its own lock.
    class Text {
    public:
        Text() = default;
        explicit Text(std::string value) : m_value(std::move(value)) {}
        Text(const Text&) = delete;
        Text& operator=(const Text& other);
        Text& operator=(std::string value);

        std::string Get() const;
        void Set(std::string value);
        bool empty() const;
        operator std::string() const { return Get(); }
        friend bool operator==(const Text& text, std::string_view value);

    private:
        mutable std::mutex m_lock;
        std::string m_value;
    };

    // Positions in the key-name table. Index 0 is the section name; 17 is
    // empty; the keys at 1, 10, 12, 13, 33 and 34 are never read or written.
    enum KeyIndex : std::size_t {
        kKeySection = 0,
        kKeyLanguage = 1,
        kKeyImageQuility = 2,
        kKeyServerPort = 3,
        kKeyImageResolution = 4,
        kKeyTurboRepeatStep = 5,
        kKeyUsername = 6,
        kKeyBrightness = 7,
        kKeyContrast = 8,
        kKeySaturation = 9,
        kKeyAvSwitchOption = 10,
        kKeyRetrAlarmRecord = 11,
        kKeyEnableAlarm = 12,
        kKeyAlarmDuration = 13,
        kKeyServerName = 14,
        kKeySubPortNumber = 15,
        kKeyNetworkFileDirectory = 16,
        kKeyUnused17 = 17,
        kKeyZoomRatio = 18,
        kKeyFrameRate = 19,
        kKeyTargetBitRate = 20,
        kKeyPeakBitRate = 21,
        kKeyControlBitRateType = 22,
        kKeyResolutionType = 23,
        kKeySelectedChannel = 24,
        kKeyDynamicDownloadOption = 25,
        kKeyWriteCdOption = 26,
        kKeyRecordPath = 27,
        kKeySnapshotPath = 28,
        kKeyUpgradeFwPath = 29,
        kKeyLastConnectionMac1 = 30,
        kKeyLastConnectionMac2 = 31,
        kKeyAlarmTriggerRecord = 32,
        kKeyAlarmTriggerAudio = 33,
        kKeyAlarmAudioNewPath3 = 34,
        kKeyAlarmEnableButton = 35,
        kKeyAlarmTriggerQuality = 36,
        kKeyAlarmTriggerResolution = 37,
        kKeyTriggerWavPath = 38,
        kKeyTriggerWavPathLoword = 39,
        kKeyTriggerCloseTimeHour = 40,
        kKeyTriggerCloseTimeMin = 41,
        kKeyTriggerCloseTimeDate = 42,
        kKeySearchListHdd = 43,
        kKeySearchListType = 44,
        kKeySearchListMaxNumber = 45,
        kKeyUpgradeDvrFwPath = 46,
        kKeyAlarmAutoSwitchVideo = 47,
        kKeyWriteCdCloseOption = 48,
        kKeyCount = 49,
    };

    // The key-name table; index 0 is the section name.
    static constexpr std::array<std::string_view, kKeyCount> m_strKeyName = {
        "Kestrune",
        "LANGUAGE",
        "Image Quility",
        "ServerPort",
        "Image Resolution",
        "Turbo repeat step",
        "Username",
        "brightness",
        "contrast",
        "saturation",
        "AvSwitch Option",
        "RETR Alarm Record",
        "Enable_ALARM",
        "ALARM_DURATION",
        "Server Name",
        "Sub Port Number",
        "Network File Directory",
        "",
        "Zoom Ratio",
        "Frame Rate",
        "Target Bit Rate",
        "Peak Bit Rate",
        "Control Bit Rate Type",
        "Resolution Type",
        "Selected Channel",
        "Dynamic Download Option",
        "Write CD Option",
        "Record Path",
        "Snapshot Path",
        "Upgrade FW Path",
        "Last Connection MAC1",
        "Last Connection MAC2",
        "Alarm Trigger Record",
        "Alarm Trigger Audio",
        "Alarm Audio New Path III",
        "Alarm Enable Button",
        "Alarm Trigger Quality",
        "Alarm Trigger Resolution",
        "Trigger Wav Path",
        "Trigger Wav Path LOWORD",
        "Trigger Close Time Hour",
        "Trigger Close Time Min",
        "Trigger Close Time date",
        "Search List HDD",
        "Search List Type",
        "Search List Max Number",
        "Upgrade DVR FW Path",
        "Alarm auto switch video",
        "Write CD Close Option",
    };

    static constexpr std::string_view kSettingFileName = "Setting.ini";
    static constexpr std::string_view kDefaultPassword = "tresk";
    static constexpr std::string_view kDefaultServerName = "192.168.1.10";
    static constexpr std::uint16_t kDefaultWebPort = 80;
    static constexpr std::uint8_t kDefaultTurboRepeatStep = 5;
    // Texts other than paths are read back up to 255 characters.
    static constexpr std::size_t kTextCapacity = 256;
    // Folder and file paths are read back whole (up to the system's path limit).
    static constexpr std::size_t kPathCapacity = 4096;

    CSettingINI();
    CSettingINI(const CSettingINI&) = delete;
    CSettingINI& operator=(const CSettingINI&) = delete;

    // Reads Setting.ini from the program's folder (platform::ProgramFolder()),
    // or from `programDir`, applying the keys' defaults and fix-ups. A missing
    // file or key gives its default; a number that is not in the range of
    // its setting gives the default too. The "Turbo repeat step" value is
    // stored in `turboRepeatStep`. Shows message 4056 when the user has no
    // Desktop folder. Always true: there is nothing a load can fail at.
    bool LoadFromFile(std::uint8_t& turboRepeatStep);
    bool LoadFromFile(const std::filesystem::path& programDir, std::uint8_t& turboRepeatStep);

    // Writes the 41 stored settings (and `turboRepeatStep`) into Setting.ini
    // in m_strProgramDir, keeping whatever else the file holds; the file is
    // replaced in one step. False when it could not be written (the file is
    // then unchanged) or when a text holding a line break could not be
    // stored (the other settings are written; that key keeps its old value).
    // A save that cannot write the file also tells the operator, once: a
    // message box (kSaveFailedText and the file's path) and a trace line.
    // Later failures stay silent until a save succeeds again.
    bool SaveToFile(std::uint8_t turboRepeatStep);
    static constexpr std::string_view kSaveFailedText =
        "The settings could not be saved. This file cannot be written:";

    // m_strProgramDir joined with "Setting.ini"; empty before the first load.
    std::filesystem::path SettingFilePath() const;

    // ---- the settings, in the order of the key-name table's users --------
    std::atomic<std::uint32_t> m_dwImageResolution{0};  // "Image Resolution"
    std::atomic<std::uint32_t> m_dwBrightness{0};       // "brightness"
    std::atomic<std::uint32_t> m_dwContrast{96};        // "contrast"
    std::atomic<std::uint32_t> m_dwSaturation{0};       // "saturation"

    // The login password: built in, set by the login dialog, never stored.
    Text m_strPassword{std::string(kDefaultPassword)};
    Text m_strUserName{std::string(kDefaultPassword)};       // "Username"
    Text m_strServerName{std::string(kDefaultServerName)};   // "Server Name"
    std::atomic<std::uint16_t> m_wWebPort{kDefaultWebPort};  // "ServerPort"
    // The host name the user typed when the command client had to resolve it
    // (m_strServerName then holds the dotted address); saved as "Server Name"
    // in place of m_strServerName when not empty.
    Text m_szResolvedHost;

    std::atomic<std::uint32_t> m_dwSubPortNumber{8888};        // "Sub Port Number"
    std::atomic<std::uint16_t> m_wZoomRatio{100};              // "Zoom Ratio"
    std::atomic<std::uint16_t> m_wFrameRate{0};                // "Frame Rate"
    std::atomic<std::uint16_t> m_wTargetBitRate{0};            // "Target Bit Rate"
    std::atomic<std::uint16_t> m_wPeakBitRate{0};              // "Peak Bit Rate"
    std::atomic<std::uint16_t> m_wControlBitRateType{0};       // "Control Bit Rate Type"
    std::atomic<std::uint8_t> m_byResolutionType{0};           // "Resolution Type"
    std::atomic<std::uint8_t> m_byImageQuality{0};             // "Image Quility"
    std::atomic<std::uint8_t> m_byAlarmAutoSwitchVideo{0};     // "Alarm auto switch video"
    std::atomic<std::uint16_t> m_wSearchListHDD{0};            // "Search List HDD"
    std::atomic<std::uint8_t> m_bySearchListType{0};           // "Search List Type"
    std::atomic<std::uint16_t> m_wSearchListMaxNumber{0};      // "Search List Max Number"
    std::atomic<std::uint8_t> m_bySelectedChannel{0};          // "Selected Channel"
    std::atomic<std::uint16_t> m_wLastConnectionMAC1{0};       // "Last Connection MAC1"
    std::atomic<std::uint16_t> m_wLastConnectionMAC2{0};       // "Last Connection MAC2"
    std::atomic<std::uint8_t> m_byRETRAlarmRecord{0};          // "RETR Alarm Record"
    std::atomic<std::uint8_t> m_byAlarmTriggerRecord{0};       // "Alarm Trigger Record"
    std::atomic<std::uint16_t> m_wAlarmEnableButton{0};        // "Alarm Enable Button"
    std::atomic<std::uint32_t> m_dwAlarmTriggerQuality{0};     // "Alarm Trigger Quality"
    std::atomic<std::uint32_t> m_dwAlarmTriggerResolution{0};  // "Alarm Trigger Resolution"
    std::atomic<std::uint32_t> m_dwTriggerWavPathLOWORD{0};    // "Trigger Wav Path LOWORD"
    std::atomic<std::uint8_t> m_byTriggerCloseTimeHour{0};     // "Trigger Close Time Hour"
    std::atomic<std::uint8_t> m_byTriggerCloseTimeMin{0};      // "Trigger Close Time Min"
    std::atomic<std::uint8_t> m_byTriggerCloseTimeDate{0};     // "Trigger Close Time date"

    // The user's Desktop folder, the default of the path settings; empty
    // when the user has none.
    Text m_strDesktopPath;

    Text m_strRecordPath;        // "Record Path"
    Text m_strSnapshotPath;      // "Snapshot Path"
    Text m_strUpgradeFWPath;     // "Upgrade FW Path", kept with a trailing '/'
    Text m_strUpgradeDVRFWPath;  // "Upgrade DVR FW Path", kept without one

    // The program's folder with a trailing '/': Setting.ini, alarm.wav,
    // IPRecord.dat, AlarmData.dat and the player live there. Build paths
    // inside it with std::filesystem::path(m_strProgramDir.Get()) / name.
    Text m_strProgramDir;

    Text m_strTriggerWavPath;                                 // "Trigger Wav Path"
    Text m_strNetworkFileDirectory;                           // "Network File Directory"
    std::atomic<std::uint32_t> m_dwDynamicDownloadOption{0};  // "Dynamic Download Option"
    std::atomic<std::uint32_t> m_dwWriteCdOption{0};          // "Write CD Option"
    std::atomic<std::uint32_t> m_dwWriteCdCloseOption{0};     // "Write CD Close Option"

    // Whether the disc writer adds the player's installer to a disc; set by
    // the disc-writing dialog, not stored. The disc-writing code knows it as
    // m_bAppendPlayer; both names are the one flag.
    std::atomic<bool> m_fAppendPlayer{false};
    std::atomic<bool>& m_bAppendPlayer = m_fAppendPlayer;

private:
    bool WriteFile(std::uint8_t turboRepeatStep, bool& written);

    std::mutex m_fileLock;            // one load or save at a time
    bool m_saveFailureShown = false;  // under m_fileLock
};
