#include "config/sheet/read_values.h"

#include <algorithm>

#include "config/sheet/section_layouts.h"
#include "config/sheet/text_room.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

using namespace cfg;

DeviceIdentity DeviceIdentity::Current() {
    DeviceIdentity device;
    if (g_lpApp != nullptr) {
        device.productId = g_lpApp->str_ProductID.Get();
        device.firmware = g_lpApp->str_FWVersion.Get();
        device.features = g_lpApp->dw_FeatureFlags.load();
    }
    return device;
}

bool DeviceIdentity::IsDvr() const {
    return IsDvrFamilyId(productId);
}
bool DeviceIdentity::IsQ7B() const {
    return IsQ7BFamilyId(productId);
}
bool DeviceIdentity::Meets(std::string_view gate) const {
    return CompareVersion(gate, firmware) != 2;
}

bool UsesOlderPppoe(const DeviceIdentity& device) {
    return !device.Meets(PppoeGate(device.productId));
}

std::span<std::uint8_t> AreaOf(SystemConfigStruct& config, std::uint8_t option,
                               const DeviceIdentity& device) {
    if (option == kSysCfgPppoe) {
        return UsesOlderPppoe(device) ? std::span<std::uint8_t>(config.pppoeOld)
                                      : std::span<std::uint8_t>(config.pppoe);
    }
    return SysCfgArea(config, option);
}

SenderSplit SenderSplitOf(const DeviceIdentity& device) {
    if (device.IsDvr()) {
        return device.Meets("1027") ? SenderSplit::kSntp : SenderSplit::kNone;
    }
    if (device.IsServerFamily() && device.Meets("1003")) {
        return HasDeviceTitle(device) ? SenderSplit::kSystemBelowTitle : SenderSplit::kSystem;
    }
    return SenderSplit::kNone;
}

SectionField SenderContinuationField(SenderSplit split) {
    switch (split) {
        case SenderSplit::kSntp:
            return SNTP::MailFromMore;
        case SenderSplit::kSystem:
            return SYSTEM::MailFromMore;
        case SenderSplit::kSystemBelowTitle:
            return SYSTEM::MailFromMoreBelowTitle;
        case SenderSplit::kNone:
            break;
    }
    return {};
}

std::size_t SenderContinuationLimit(SenderSplit split) {
    switch (split) {
        case SenderSplit::kSntp:
        case SenderSplit::kSystem:
            return 27;
        case SenderSplit::kSystemBelowTitle:
            return SYSTEM::MailFromMoreBelowTitle.width - 1;
        case SenderSplit::kNone:
            break;
    }
    return 0;
}

namespace {
constexpr std::size_t kMailFromChars = 15;
}  // namespace

std::size_t SenderAddressLimit(const DeviceIdentity& device) {
    return kMailFromChars + SenderContinuationLimit(SenderSplitOf(device));
}

std::string JoinSender(std::string_view mailFrom, std::string_view more) {
    std::string joined(mailFrom);
    if (mailFrom.size() == kMailFromChars && !more.empty()) {
        joined.append(more);
    }
    return joined;
}

SenderParts SplitSender(std::string_view address, SenderSplit split) {
    SenderParts parts;
    if (split == SenderSplit::kNone || address.size() <= kMailFromChars) {
        parts.mailFrom = std::string(address.substr(0, kMailFromChars));
        return parts;
    }
    parts.mailFrom = std::string(address.substr(0, kMailFromChars));
    parts.more = std::string(address.substr(kMailFromChars, SenderContinuationLimit(split)));
    return parts;
}

bool HasDeviceTitle(const DeviceIdentity& device) {
    return device.IsDvr() || (device.IsQ3A2() && device.Meets("1010"));
}

bool HasChannelNames(const DeviceIdentity& device) {
    return device.IsQ3A2() && device.Meets("1010");
}

std::string GeneralPageTitle(const SystemConfigStruct& config, const DeviceIdentity& device) {
    if (!HasDeviceTitle(device)) {
        return {};
    }
    return FieldTextAsShown(config.system, SYSTEM::Title, kGeneralTitleRoom);
}

int BaudToRow(std::uint32_t baud) {
    const auto it = std::find(kBaudRows.begin(), kBaudRows.end(), baud);
    return it == kBaudRows.end() ? 0 : static_cast<int>(it - kBaudRows.begin());
}

std::uint32_t RowToBaud(int row) {
    return row >= 0 && row < static_cast<int>(kBaudRows.size())
               ? kBaudRows[static_cast<std::size_t>(row)]
               : kBaudRows[0];
}

std::span<const std::uint16_t> DurationRows(const DeviceIdentity& device) {
    if (device.IsServerFamily()) {
        return kServerDurations;
    }
    if (device.IsDvr()) {
        return kDvrDurations;
    }
    return {};
}

int DurationToRow(const DeviceIdentity& device, std::uint16_t seconds) {
    const auto rows = DurationRows(device);
    if (rows.empty()) {
        return -1;
    }
    const auto it = std::find(rows.begin(), rows.end(), seconds);
    return it == rows.end() ? 0 : static_cast<int>(it - rows.begin());
}

std::optional<std::uint16_t> RowToDuration(const DeviceIdentity& device, int row) {
    const auto rows = DurationRows(device);
    if (rows.empty()) {
        return std::nullopt;
    }
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        return rows[0];
    }
    return rows[static_cast<std::size_t>(row)];
}

int ProviderIndexOf(std::string_view keyword, std::uint32_t features) {
    const auto it = std::find(kDdnsProviders.begin(), kDdnsProviders.end(), keyword);
    if (it == kDdnsProviders.end()) {
        return -1;
    }
    const int index = static_cast<int>(it - kDdnsProviders.begin());
    if (index == 3) {
        return (features & kFeatureQuillmereOnly) != 0 ? 3 : 1;
    }
    return index;
}

std::string_view ProviderKeyword(int index, std::uint32_t features) {
    if ((features & kFeatureQuillmereOnly) != 0) {
        return kDdnsProviders[3];
    }
    if (index < 0 || index >= static_cast<int>(kDdnsProviders.size())) {
        return {};
    }
    return kDdnsProviders[static_cast<std::size_t>(index)];
}

SheetReadValues LoadReadValues(SystemConfigStruct& config, const DeviceIdentity& device,
                               std::uint16_t imageWidth, std::uint16_t imageHeight) {
    SheetReadValues v;
    // 1. IP.
    v.serverAddress = ReadIpv4Number(config.ip, IP::ServerIp);
    v.gateway = ReadIpv4Number(config.ip, IP::Gateway);
    v.netMask = ReadIpv4Number(config.ip, IP::NetMask);
    v.webPort = ReadU16(config.ip, IP::WebPort);
    v.ipType = ReadByte(config.ip, IP::IpType);
    // 2. PPPoE account of the device's layout.
    if (UsesOlderPppoe(device)) {
        v.pppoeUser = FieldTextAsShown(config.pppoeOld, PPPOE_OLD::UserName);
        v.pppoePassword = FieldTextAsShown(config.pppoeOld, PPPOE_OLD::Password);
    } else {
        v.pppoeUser = FieldTextAsShown(config.pppoe, PPPOE::UserName);
        v.pppoePassword = FieldTextAsShown(config.pppoe, PPPOE::Password);
    }
    // 3, 4. DNS and dynamic DNS.
    v.dnsServer = ReadIpv4Number(config.dns, DNS::DnsServer);
    v.autoDns = ReadByte(config.dns, DNS::AutoDns);
    v.ddnsEnable = ReadByte(config.smtp, SMTP::DdnsEnable);
    v.ddnsUser = FieldTextAsShown(config.smtp, SMTP::DdnsUser);
    v.ddnsPassword = FieldTextAsShown(config.smtp, SMTP::DdnsPassword);
    v.ddnsDomain = FieldTextAsShown(config.smtp, SMTP::DdnsDomain);
    v.ddnsProviderIndex =
        ProviderIndexOf(ReadText(config.smtp, SMTP::DdnsProvider), device.features);
    // 5. The mail texts end inside their fields, as the Mail page's edits
    // hold one character less than each field.
    for (const SectionField& field :
         {SMTP::MailFrom, SMTP::MailServer, SMTP::MailPassword, SMTP::MailUser}) {
        config.smtp[field.end() - 1] = 0;
    }
    // 6. The sender with its continuation (joined as bytes: a character may
    // run on from MailFrom into the continuation).
    const std::string mailFrom = ReadText(config.smtp, SMTP::MailFrom);
    switch (const SenderSplit split = SenderSplitOf(device)) {
        case SenderSplit::kSntp:
            v.senderAddress =
                JoinSender(mailFrom, ReadText(config.sntp, SenderContinuationField(split)));
            break;
        case SenderSplit::kSystem:
        case SenderSplit::kSystemBelowTitle:
            v.senderAddress =
                JoinSender(mailFrom, ReadText(config.system, SenderContinuationField(split)));
            break;
        case SenderSplit::kNone:
            v.senderAddress = mailFrom;
            break;
    }
    v.senderAddress = TextAsShown(v.senderAddress);
    // 7. Mail server and credentials.
    v.mailServer = FieldTextAsShown(config.smtp, SMTP::MailServer);
    v.mailPassword = FieldTextAsShown(config.smtp, SMTP::MailPassword);
    v.mailUser = FieldTextAsShown(config.smtp, SMTP::MailUser);
    v.verifyMode = ReadByte(config.smtp, SMTP::VerifyPassword);
    // 8. FTP: a text that fills its field is not taken.
    const auto ftpText = [&config](const SectionField& field) {
        const std::string text = ReadText(config.ftp, field);
        return text.size() < field.width ? TextAsShown(text) : std::string();
    };
    v.ftpServer = ftpText(FTP::Server);
    v.ftpPassword = ftpText(FTP::Password);
    v.ftpPort = ReadU16(config.ftp, FTP::Port);
    v.ftpUser = ftpText(FTP::User);
    v.ftpDirectory = ftpText(FTP::Directory);
    // 9. SNTP.
    v.sntpServer = FieldTextAsShown(config.sntp, SNTP::Server);
    v.zoneIndex = ReadByte(config.sntp, SNTP::ZoneIndex);
    v.syncMode = ReadByte(config.sntp, SNTP::SyncMode);
    v.autoSntp = v.sntpServer.empty() ? 1 : 0;
    // 10. Alarm and accounts.
    v.alarmDurationIndex = DurationToRow(device, ReadU16(config.alarm, ALARM::Duration));
    const std::uint8_t post = ReadByte(config.alarm, ALARM::PostNumbers);
    v.postNumbersIndex = post == 0 ? 0 : static_cast<std::uint8_t>(post - 1);
    v.imageSize = ReadByte(config.alarm, ALARM::ImageSize);
    v.alarmMethod = ReadByte(config.alarm, ALARM::Method);
    v.videoSource = ReadByte(config.alarm, ALARM::VideoSource);
    v.maxUsers = ReadByte(config.secure, SECURE::MaxUsers);
    // 11. The video-setting block and the stream's picture size.
    const std::uint8_t twoWay = ReadByte(config.videoSetting, VIDEO::TwoWay);
    if (twoWay == 0 || twoWay == 4) {
        v.twoWay = twoWay == 0 ? 0 : 1;
    }
    const std::uint8_t quality = ReadByte(config.videoSetting, VIDEO::Quality);
    if (quality >= 1 && quality <= 49) {
        v.qualityRow = 0;
    } else if (quality >= 50 && quality <= 69) {
        v.qualityRow = 1;
    } else if (quality >= 70 && quality <= 100) {
        v.qualityRow = 2;
    }
    const std::uint16_t rate = ReadU16(config.videoSetting, VIDEO::FrameRate);
    const auto rateRow = std::find(kFrameRateCodes.begin(), kFrameRateCodes.end(), rate);
    v.frameRateRow =
        rateRow == kFrameRateCodes.end() ? -1 : static_cast<int>(rateRow - kFrameRateCodes.begin());
    v.pictureWidth = imageWidth;
    v.pictureHeight = imageHeight;
    // 12. Peripherals.
    v.device1BaudIndex = BaudToRow(ReadU32(config.peri, PERI::Baud1));
    v.device1ModelIndex = PeripheralCodeToIndex(ReadByte(config.peri, PERI::Model1));
    v.device2Id = ReadByte(config.peri, PERI::Id2);
    v.device1Id = ReadByte(config.peri, PERI::Id1);
    v.device2ModelIndex = PeripheralCodeToIndex(ReadByte(config.peri, PERI::Model2));
    v.device2BaudIndex = BaudToRow(ReadU32(config.peri, PERI::Baud2));
    // 13. Title, channel names, timer rows.
    v.title = GeneralPageTitle(config, device);
    if (HasChannelNames(device)) {
        v.channel1Name = FieldTextAsShown(config.rs485, RS485::Ch1Name, kChannelNameRoom);
        v.channel2Name = FieldTextAsShown(config.rs485, RS485::Ch2Name, kChannelNameRoom);
    }
    if (device.IsDvr()) {
        for (std::size_t r = 0; r < DVRREC::kTimerRows; ++r) {
            v.timerModes[r] = ReadByte(config.dvrRec, DVRREC::TimerMode.At(r));
            v.timerStarts[r] = ReadU16(config.dvrRec, DVRREC::TimerStart.At(r));
            v.timerEnds[r] = ReadU16(config.dvrRec, DVRREC::TimerEnd.At(r));
        }
    }
    return v;
}
