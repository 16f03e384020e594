#pragma once

// What the configuration sheet remembers of the device's configuration when
// it opens (its read values), the device traits that choose layouts and
// rules, and the conversions between section values and the pages' list
// rows. The save routines compare a page's values with these read values;
// only what differs is written back.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/sheet/section_field.h"
#include "core/net/sys_config.h"

// The device as login reported it: product id, firmware version and the
// feature bits of INF. Passed explicitly so that every rule can be tested for
// every family without a login.
struct DeviceIdentity {
    std::string productId;
    std::string firmware;
    std::uint32_t features = 0;

    // The connected device (g_lpApp), empty without one.
    static DeviceIdentity Current();

    bool IsDvr() const;  // Q8A7, Q8A5, Q8A3
    bool IsQ3A2() const { return productId == "Q3A2"; }
    bool IsQ9C0() const { return productId == "Q9C0"; }
    bool IsQ7B() const;  // Q7B7, Q7B5, Q7B3
    // Q3A2, the Q7B family and Q9C0: the video servers' rules.
    bool IsServerFamily() const { return IsQ3A2() || IsQ9C0() || IsQ7B(); }
    // The firmware is not older than the gate (a malformed version meets it).
    bool Meets(std::string_view gate) const;
    bool HasFeature(std::uint32_t mask) const { return (features & mask) != 0; }
};

// The feature bit that limits dynamic DNS to the provider "quillmere".
inline constexpr std::uint32_t kFeatureQuillmereOnly = 0x80;

// PPPOE uses the older layout below the product's gate ("1052" for the DVR
// family, "1007" for the others).
bool UsesOlderPppoe(const DeviceIdentity& device);

// The area of a section in the block; PPPOE by the device's layout. Empty
// for "ALL" and unknown options.
std::span<std::uint8_t> AreaOf(SystemConfigStruct& config, std::uint8_t option,
                               const DeviceIdentity& device);

// Where a sender address longer than 15 characters keeps its continuation.
enum class SenderSplit : std::uint8_t {
    kNone,              // only the 15 characters of SMTP.MailFrom
    kSntp,              // SNTP bytes 8..35 (DVR family from "1027")
    kSystem,            // SYSTEM bytes 4..35 (Q3A2 from "1003" to "1009", Q7B, Q9C0 from "1003")
    kSystemBelowTitle,  // SYSTEM bytes 4..19: the title holds 20..35 (Q3A2 from "1010")
};
SenderSplit SenderSplitOf(const DeviceIdentity& device);
// The continuation's field and the characters it takes (one byte of the
// field stays zero, so the continuation always ends inside it).
SectionField SenderContinuationField(SenderSplit split);
std::size_t SenderContinuationLimit(SenderSplit split);
// The longest sender address the device keeps: 15, 42 or 30 characters.
std::size_t SenderAddressLimit(const DeviceIdentity& device);

struct SenderParts {
    std::string mailFrom;  // at most 15 characters
    std::string more;      // the continuation, at most the split's limit
};
// The sender as the sheet shows it: MailFrom with its continuation when
// MailFrom holds exactly 15 characters and the continuation is not empty.
std::string JoinSender(std::string_view mailFrom, std::string_view more);
// The inverse: the first 15 characters, the rest cut to the split's limit.
SenderParts SplitSender(std::string_view address, SenderSplit split);

// The device title lives in SYSTEM.Title on the DVR family and on a Q3A2
// from firmware "1010"; two channel names in RS485 on that Q3A2 only.
bool HasDeviceTitle(const DeviceIdentity& device);
bool HasChannelNames(const DeviceIdentity& device);
// The General page's edits hold 8 bytes of title and 3 per channel name:
// the read values are cut exactly as the page shows them (never inside a
// character), so a page left alone compares equal and nothing is written.
inline constexpr std::size_t kGeneralTitleRoom = 8;
inline constexpr std::size_t kChannelNameRoom = 3;
std::string GeneralPageTitle(const SystemConfigStruct& config, const DeviceIdentity& device);

// Baud list rows of both peripherals.
inline constexpr std::array<std::uint32_t, 7> kBaudRows{2400,  4800,  9600,  19200,
                                                        38400, 57600, 115200};
int BaudToRow(std::uint32_t baud);  // an unknown rate reads as row 0
std::uint32_t RowToBaud(int row);   // an unknown row writes 2400

// Alarm duration rows by family (seconds).
inline constexpr std::array<std::uint16_t, 6> kServerDurations{3, 15, 30, 60, 1800, 65535};
inline constexpr std::array<std::uint16_t, 4> kDvrDurations{5, 10, 20, 40};
std::span<const std::uint16_t> DurationRows(const DeviceIdentity& device);  // empty: other products
// The row of a stored duration: row 0 when it is not in the family's list,
// -1 for a product with no list.
int DurationToRow(const DeviceIdentity& device, std::uint16_t seconds);
// The seconds of a row; a row outside the list gives row 0's value; none for
// a product with no list.
std::optional<std::uint16_t> RowToDuration(const DeviceIdentity& device, int row);

// Dynamic-DNS provider keywords and list rows. -1: none of the keywords.
inline constexpr std::array<std::string_view, 4> kDdnsProviders{"custom", "dyndns", "statdns",
                                                                "quillmere"};
int ProviderIndexOf(std::string_view keyword, std::uint32_t features);
// The keyword a save writes for a row: "quillmere" whatever the row when the
// device offers only that provider; "" for a row outside the list.
std::string_view ProviderKeyword(int index, std::uint32_t features);

// Video-setting choices (the unreferenced Video Setting page).
inline constexpr std::array<std::uint16_t, 7> kFrameRateCodes{0x11, 0x15, 0x22, 0x33,
                                                              0x44, 0x66, 0x99};
inline constexpr std::array<std::uint8_t, 3> kQualityBytes{30, 50, 70};

// A time of the timer rows: hour × 256 + minute.
constexpr std::uint16_t TimerTime(int hour, int minute) {
    return static_cast<std::uint16_t>(hour * 256 + minute);
}

// The sheet's read values, taken once when the sheet opens.
struct SheetReadValues {
    std::uint32_t serverAddress = 0;  // first octet in the high byte
    std::uint32_t gateway = 0;
    std::uint32_t netMask = 0;
    std::uint16_t webPort = 0;
    std::uint8_t ipType = 0;
    std::string pppoeUser;
    std::string pppoePassword;
    std::uint32_t dnsServer = 0;
    int ddnsEnable = 0;
    int autoDns = 0;
    std::string ddnsUser;
    std::string ddnsPassword;
    std::string ddnsDomain;
    int ddnsProviderIndex = -1;
    std::string senderAddress;
    std::string mailServer;
    std::string mailPassword;
    std::string mailUser;
    std::uint8_t verifyMode = 0;
    int alarmDurationIndex = -1;
    std::uint8_t postNumbersIndex = 0;
    std::uint8_t imageSize = 0;
    std::uint8_t alarmMethod = 0;
    std::uint8_t videoSource = 0;
    std::uint8_t maxUsers = 0;
    std::string ftpServer;
    std::string ftpPassword;
    std::uint16_t ftpPort = 0;
    std::string ftpUser;
    std::string ftpDirectory;
    std::string sntpServer;
    int zoneIndex = 0;
    std::uint8_t syncMode = 0;
    std::uint8_t autoSntp = 0;
    int twoWay = 0;
    std::uint16_t pictureWidth = 0;
    std::uint16_t pictureHeight = 0;
    int frameRateRow = -1;
    int qualityRow = 0;
    bool rs485Changed = false;
    int device1BaudIndex = 0;
    int device1ModelIndex = 0;
    int device2Id = 0;
    int device1Id = 0;
    int device2ModelIndex = 0;
    int device2BaudIndex = 0;
    bool peripheralChanged = false;
    std::string title;
    std::string channel1Name;
    std::string channel2Name;
    std::array<std::uint8_t, 7> timerModes{};
    std::array<std::uint16_t, 7> timerStarts{};
    std::array<std::uint16_t, 7> timerEnds{};
};

// Takes the read values from the block; texts as the pages' edits show them
// (TextAsShown). It zeroes the last byte of
// SMTP.MailFrom, SMTP.MailServer, SMTP.MailPassword and SMTP.MailUser, so
// that the pages' texts end inside their fields as the page edits allow.
// imageWidth and imageHeight are the stream's current picture size.
SheetReadValues LoadReadValues(SystemConfigStruct& config, const DeviceIdentity& device,
                               std::uint16_t imageWidth, std::uint16_t imageHeight);
