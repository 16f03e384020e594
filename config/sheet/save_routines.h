#pragma once

// The configuration sheet's save routines: each takes the values of one page,
// compares them with the read values, writes what differs into the section
// areas and sends the changed sections through the SectionSender. A routine
// is run only for a page whose window exists; which routines APPLY runs, and
// in which order, is the sheet's business.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/sheet/read_values.h"
#include "config/sheet/section_sender.h"
#include "config/sheet/text_room.h"
#include "core/state/app_global_state.h"

// Network page. Addresses have their first octet in the high byte.
struct NetworkPageValues {
    std::uint32_t serverAddress = 0;
    std::uint32_t gateway = 0;
    std::uint32_t netMask = 0;
    int webPort = 0;
    std::uint8_t ipType = 0;  // 0 static, 1 PPPoE, 2 DHCP
    std::string user;         // PPPoE account
    std::string password;
};

// Account page: the five edit slots and the maximum number of users.
struct AccountPageValues {
    bool slotsChanged = false;
    std::array<AccountEditRecord, 5> accounts{};
    std::uint8_t maxUsers = 0;
};

// DDNS page.
struct DdnsPageValues {
    std::uint32_t dnsServer = 0;  // first octet in the high byte
    int autoDns = 0;
    int enable = 0;
    std::string user;
    std::string password;
    std::string domain;
    int providerIndex = 0;
};

// Mail page. `recipients` are the stored forms of the list rows, in order.
struct MailPageValues {
    std::string sender;
    std::string server;
    std::string password;
    std::string user;
    std::uint8_t verifyMode = 0;
    bool recipientsChanged = false;
    std::vector<std::string> recipients;
};

// FTP page.
struct FtpPageValues {
    std::string server;
    std::string user;
    std::string password;
    std::string directory;
    std::uint16_t port = 0;
};

// Server time page. The zone's offset comes from the page's zone table row.
struct SntpPageValues {
    bool automatic = false;
    std::string server;
    int zoneIndex = 0;
    std::int8_t zoneHours = 0;
    std::int8_t zoneMinutes = 0;
    std::uint8_t syncMode = 0;
};

// Alarm page.
struct AlarmPageValues {
    std::uint8_t method = 0;
    std::uint8_t imageSize = 0;
    std::uint8_t videoSource = 0;
    std::uint8_t postNumbersIndex = 0;
    int durationRow = 0;
};

// Device page: the sixteen channels' serial devices.
struct DevicePageValues {
    bool channelsChanged = false;
    std::array<std::uint8_t, 16> types{};
    std::array<std::uint8_t, 16> ids{};
    std::array<std::uint8_t, 16> protocols{};
    std::array<std::uint32_t, 16> bauds{};
};

// Pages that edit their sections in place and mark them changed: the
// Detection page (DVRLIVE, ALARM) and the DVR page (DVRLIVE, DVRREC).
struct InPlacePageValues {
    bool firstChanged = false;
    bool secondChanged = false;
};

// Timer Record page: day-list index and times (hour × 256 + minute) per row.
struct TimerPageValues {
    std::array<std::uint8_t, 7> modes{};
    std::array<std::uint16_t, 7> starts{};
    std::array<std::uint16_t, 7> ends{};
};

// General page.
struct GeneralPageValues {
    std::string title;
    std::string channel1Name;
    std::string channel2Name;
};

// Peripheral page: list rows and ids of the two devices.
struct PeripheralPageValues {
    int device1Id = 0;
    int device2Id = 0;
    int device1ModelIndex = 0;
    int device2ModelIndex = 0;
    int device1BaudIndex = 0;
    int device2BaudIndex = 0;
};

// Video Setting page (not shown by the sheet).
struct VideoSettingPageValues {
    int sizeChoice = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    int frameRateChoice = 0;
    int twoWayChoice = 0;
    int qualityChoice = 0;
};

// The texts each page's save would write, with the room their fields keep
// for them (see text_room.h); APPLY checks them all before it sends anything.
class PageTexts {
public:
    PageTexts(const SectionSender& sender, const SheetReadValues& read)
        : m_sender(sender), m_read(read) {}

    std::vector<TextToWrite> Of(const NetworkPageValues& page) const;
    std::vector<TextToWrite> Of(const AccountPageValues& page) const;
    std::vector<TextToWrite> Of(const DdnsPageValues& page) const;
    std::vector<TextToWrite> Of(const MailPageValues& page) const;
    std::vector<TextToWrite> Of(const FtpPageValues& page) const;
    std::vector<TextToWrite> Of(const SntpPageValues& page) const;
    std::vector<TextToWrite> Of(const GeneralPageValues& page) const;

private:
    const SectionSender& m_sender;
    const SheetReadValues& m_read;
};

// The save routines compare a page's values with the read values, which
// always stand for what the device holds: taken when the sheet opened, and
// taken again from the sent bytes after every section the device accepted.
// A failed send changes neither them nor, in the end, the block (the sender
// puts the device's bytes back), so the next APPLY finds the change again.
class ConfigSaveRoutines {
public:
    ConfigSaveRoutines(SectionSender& sender, SheetReadValues& read)
        : m_sender(sender), m_read(read) {}

    // Writes PPPOE and IP and makes the address and port the device will
    // answer on pending for the command client. 1 when an IP field or the
    // IP type changed (the sheet then gives the device time to take it).
    int SaveNetwork(const NetworkPageValues& page);
    int SaveAccount(const AccountPageValues& page);
    int SaveDdns(const DdnsPageValues& page);
    int SaveMail(const MailPageValues& page);
    int SaveFtp(const FtpPageValues& page);
    int SaveSntp(const SntpPageValues& page);
    int OnSaveSntp(const SntpPageValues& page);
    int SaveAlarm(const AlarmPageValues& page);
    int SaveDevice(const DevicePageValues& page);
    int SaveDetection(const InPlacePageValues& page);
    int SaveCamera(const InPlacePageValues& page);
    int SaveTimerRecord(const TimerPageValues& page);
    int SaveGeneral(const GeneralPageValues& page);
    int SavePeripheral(const PeripheralPageValues& page);
    // Writes only the video-setting block; `videoMode` 0 NTSC, 1 PAL. Asks the
    // stream receiver to reset when the picture size or two-way changed and
    // returns 1 then.
    int SaveVideoSetting(VideoSettingPageValues& page, std::uint8_t videoMode);

    SectionSender& sender() { return m_sender; }
    SheetReadValues& read() { return m_read; }
    PageTexts Texts() const { return PageTexts(m_sender, m_read); }

private:
    SystemConfigStruct& config() { return m_sender.config(); }
    const DeviceIdentity& device() const { return m_sender.device(); }
    // The start of a routine: marks the block for the sender; false (the
    // refusal shown, nothing written) when a text does not fit its field.
    bool Begin(const std::vector<TextToWrite>& texts = {});
    // Sends one section; true when the device holds its bytes now (sent or
    // unchanged), false when the send failed or the section was never read.
    bool Send(std::uint8_t option);
    void TakeAcceptedReadValues();

    SectionSender& m_sender;
    SheetReadValues& m_read;
};
