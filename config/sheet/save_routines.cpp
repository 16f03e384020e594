#include "config/sheet/save_routines.h"

#include <chrono>

#include "config/sheet/section_layouts.h"
#include "config/sheet/text_room.h"
#include "core/application/string_table.h"
#include "core/state/device_family.h"
#include "platform/message_box.h"

using namespace cfg;

namespace {

constexpr unsigned kChangeFailedText = 4012;  // "Change System Config is failed"
constexpr const char* kSecureFailedText = "Set the system config is failed\n";

// Writes a text that differs from its read value; true when written. The
// text fits: the routine checked it before it wrote anything.
bool WriteChangedText(SectionBytes section, const SectionField& field, const std::string& page,
                      const std::string& read) {
    if (page == read) {
        return false;
    }
    WriteText(section, field, page);
    return true;
}

// The room of a text field that ends with a zero byte inside it.
constexpr std::size_t RoomOf(const SectionField& field) {
    return field.width - 1;
}

TextToWrite Text(std::string field, const std::string& page, const std::string& device,
                 std::size_t room) {
    return TextToWrite{std::move(field), page, device, room};
}

struct SizeRow {
    std::uint16_t size;
    std::uint8_t code;
    std::uint8_t units;
};
constexpr std::array<SizeRow, 6> kWidthRows{
    {{720, 0, 45}, {704, 0, 44}, {640, 1, 40}, {352, 2, 22}, {320, 3, 20}, {176, 4, 11}}};
constexpr std::array<SizeRow, 6> kHeightRows{
    {{576, 0, 36}, {480, 0, 30}, {288, 1, 18}, {240, 1, 15}, {144, 1, 9}, {112, 1, 7}}};
constexpr SizeRow kOtherWidth{320, 3, 20};
constexpr SizeRow kOtherHeight{240, 1, 15};

template <std::size_t N>
const SizeRow* FindSize(const std::array<SizeRow, N>& rows, std::uint16_t size) {
    for (const SizeRow& row : rows) {
        if (row.size == size) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

std::vector<TextToWrite> PageTexts::Of(const NetworkPageValues& page) const {
    const bool older = UsesOlderPppoe(m_sender.device());
    const SectionField& user = older ? PPPOE_OLD::UserName : PPPOE::UserName;
    const SectionField& password = older ? PPPOE_OLD::Password : PPPOE::Password;
    return {Text("PPPoE user name", page.user, m_read.pppoeUser, RoomOf(user)),
            Text("PPPoE password", page.password, m_read.pppoePassword, RoomOf(password))};
}

std::vector<TextToWrite> PageTexts::Of(const AccountPageValues& page) const {
    std::vector<TextToWrite> texts;
    if (!page.slotsChanged) {
        return texts;
    }
    // Slot i takes record i; what the slot holds now is written back as it is.
    const auto& secure = m_sender.Accepted().secure;
    for (std::size_t i = 0; i < SECURE::kSlots; ++i) {
        const AccountEditRecord& slot = page.accounts[i];
        if (!slot.used) {
            continue;
        }
        const SectionField user = SECURE::UserName.At(i);
        const SectionField password = SECURE::Password.At(i);
        texts.push_back(Text("User name", slot.user, ReadText(secure, user), RoomOf(user)));
        texts.push_back(
            Text("Password", slot.password, ReadText(secure, password), RoomOf(password)));
    }
    return texts;
}

std::vector<TextToWrite> PageTexts::Of(const DdnsPageValues& page) const {
    return {Text("DDNS User Name", page.user, m_read.ddnsUser, RoomOf(SMTP::DdnsUser)),
            Text("DDNS Password", page.password, m_read.ddnsPassword, RoomOf(SMTP::DdnsPassword)),
            Text("DDNS Domain", page.domain, m_read.ddnsDomain, RoomOf(SMTP::DdnsDomain))};
}

std::vector<TextToWrite> PageTexts::Of(const MailPageValues& page) const {
    std::vector<TextToWrite> texts{
        Text("Mail from", page.sender, m_read.senderAddress, SenderAddressLimit(m_sender.device())),
        Text("Mail Server", page.server, m_read.mailServer, RoomOf(SMTP::MailServer)),
        Text("Mail User", page.user, m_read.mailUser, RoomOf(SMTP::MailUser)),
        Text("Mail Password", page.password, m_read.mailPassword, RoomOf(SMTP::MailPassword))};
    if (page.recipientsChanged) {
        const auto& smtp = m_sender.Accepted().smtp;
        for (std::size_t i = 0; i < page.recipients.size(); ++i) {
            const SectionField slot = SMTP::AlarmMail.At(i);
            texts.push_back(Text("Alarm email address", page.recipients[i], ReadText(smtp, slot),
                                 i < 4 ? RoomOf(slot) : 0));
        }
    }
    return texts;
}

std::vector<TextToWrite> PageTexts::Of(const FtpPageValues& page) const {
    return {Text("FTP Server", page.server, m_read.ftpServer, RoomOf(FTP::Server)),
            Text("FTP UserName", page.user, m_read.ftpUser, RoomOf(FTP::User)),
            Text("FTP Password", page.password, m_read.ftpPassword, RoomOf(FTP::Password)),
            Text("FTP Directory", page.directory, m_read.ftpDirectory, RoomOf(FTP::Directory))};
}

std::vector<TextToWrite> PageTexts::Of(const SntpPageValues& page) const {
    if (page.automatic) {
        return {};  // the server field is emptied
    }
    return {Text("SNTP Server", page.server, m_read.sntpServer, RoomOf(SNTP::Server))};
}

std::vector<TextToWrite> PageTexts::Of(const GeneralPageValues& page) const {
    std::vector<TextToWrite> texts;
    if (HasDeviceTitle(m_sender.device())) {
        texts.push_back(Text("Title", page.title, m_read.title, kGeneralTitleRoom));
    }
    if (HasChannelNames(m_sender.device())) {
        texts.push_back(Text("CH1 Name", page.channel1Name, m_read.channel1Name, kChannelNameRoom));
        texts.push_back(Text("CH2 Name", page.channel2Name, m_read.channel2Name, kChannelNameRoom));
    }
    return texts;
}

bool ConfigSaveRoutines::Begin(const std::vector<TextToWrite>& texts) {
    m_sender.BeginChanges();
    if (const auto beyond = FirstTextBeyondRoom(texts)) {
        RefuseText(*beyond);
        return false;
    }
    return true;
}

bool ConfigSaveRoutines::Send(std::uint8_t option) {
    switch (m_sender.Send(option)) {
        case SectionSender::Outcome::kSent:
            TakeAcceptedReadValues();
            return true;
        case SectionSender::Outcome::kUnchanged:
            return true;
        case SectionSender::Outcome::kNotRead:
        case SectionSender::Outcome::kFailed:
            break;
    }
    return false;
}

void ConfigSaveRoutines::TakeAcceptedReadValues() {
    SystemConfigStruct accepted = m_sender.Accepted();
    SheetReadValues fresh =
        LoadReadValues(accepted, device(), m_read.pictureWidth, m_read.pictureHeight);
    // What the sheet keeps beside the device's values.
    fresh.rs485Changed = m_read.rs485Changed;
    fresh.peripheralChanged = m_read.peripheralChanged;
    m_read = std::move(fresh);
}

namespace {

std::string DottedAddress(std::array<std::uint8_t, 4> octets) {
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

}  // namespace

int ConfigSaveRoutines::SaveNetwork(const NetworkPageValues& page) {
    g_bPendingWebPort = false;
    g_bPendingServerName = false;
    if (!Begin(Texts().Of(page))) {
        return 0;
    }

    // PPPoE account texts, in the device's layout; one byte of each field
    // stays zero so the text ends inside it.
    const bool older = UsesOlderPppoe(device());
    const SectionField& userField = older ? PPPOE_OLD::UserName : PPPOE::UserName;
    const SectionField& passwordField = older ? PPPOE_OLD::Password : PPPOE::Password;
    const auto pppoe = m_sender.Area(kSysCfgPppoe);
    bool pppoeChanged = false;
    const auto account = [&](const SectionField& field, const std::string& text,
                             const std::string& read) {
        pppoeChanged |= WriteChangedText(pppoe, field, text, read);
    };
    account(userField, page.user, m_read.pppoeUser);
    account(passwordField, page.password, m_read.pppoePassword);
    if (pppoeChanged && !Send(kSysCfgPppoe)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }

    auto& ip = config().ip;
    bool ipChanged = false;
    int result = 0;
    if (page.serverAddress != m_read.serverAddress || page.gateway != m_read.gateway ||
        page.netMask != m_read.netMask || page.webPort != m_read.webPort) {
        if (page.serverAddress != m_read.serverAddress) {
            WriteIpv4Number(ip, IP::ServerIp, page.serverAddress);
            g_strPendingServerName.Set(DottedAddress(ReadIpv4(ip, IP::ServerIp)));
            g_bPendingServerName = true;
        }
        if (page.gateway != m_read.gateway) {
            WriteIpv4Number(ip, IP::Gateway, page.gateway);
        }
        if (page.netMask != m_read.netMask) {
            WriteIpv4Number(ip, IP::NetMask, page.netMask);
        }
        if (page.webPort != m_read.webPort) {
            if (page.webPort < 1 || page.webPort > 65535) {
                // Nothing is sent, so nothing may become pending either.
                g_bPendingServerName = false;
                return 0;
            }
            const auto port = static_cast<std::uint16_t>(page.webPort);
            WriteU16(ip, IP::WebPort, port);
            g_wPendingWebPort = port;
            g_bPendingWebPort = true;
        }
        ipChanged = true;
        result = 1;
    }
    if (page.ipType != m_read.ipType) {
        WriteByte(ip, IP::IpType, page.ipType);
        ipChanged = true;
        result = 1;
        const std::string domain = ReadText(config().smtp, SMTP::DdnsDomain);
        switch (page.ipType) {
            case 0:
                g_strPendingServerName.Set(DottedAddress(ReadIpv4(ip, IP::ServerIp)));
                g_bPendingServerName = true;
                break;
            case 1:
            case 2:
                // Under PPPoE or DHCP the device is reached by its dynamic
                // name. Without one the client keeps the address it uses:
                // an empty name would leave it with nothing to reach.
                if (!domain.empty()) {
                    g_strPendingServerName.Set(domain);
                    g_bPendingServerName = true;
                } else {
                    g_bPendingServerName = false;
                }
                break;
            default:
                break;
        }
    }
    if (ipChanged && !Send(kSysCfgIp)) {
        // The device did not take the change: the client stays where it is.
        g_bPendingWebPort = false;
        g_bPendingServerName = false;
        ShowMessage(kChangeFailedText);
    }
    return result;
}

int ConfigSaveRoutines::SaveAccount(const AccountPageValues& page) {
    if (!Begin(Texts().Of(page))) {
        return 0;
    }
    auto& secure = config().secure;
    bool changed = false;
    if (page.slotsChanged) {
        for (std::size_t i = 0; i < SECURE::kSlots; ++i) {
            const AccountEditRecord& slot = page.accounts[i];
            if (slot.used) {
                WriteByte(secure, SECURE::Level.At(i), static_cast<std::uint8_t>(slot.level));
                WriteU32(secure, SECURE::LifeTime.At(i), slot.lifeTime);
                WriteText(secure, SECURE::UserName.At(i), slot.user);
                WriteText(secure, SECURE::Password.At(i), slot.password);
            } else {
                ZeroField(secure, SECURE::UserName.At(i));
                ZeroField(secure, SECURE::Password.At(i));
            }
        }
        changed = true;
    }
    // Against what the device holds: a value a failed send left behind must
    // still count as a change.
    if (page.maxUsers != m_read.maxUsers) {
        WriteByte(secure, SECURE::MaxUsers, page.maxUsers);
        changed = true;
    }
    if (changed && !Send(kSysCfgSecure)) {
        platform::ShowMessageBox(0, kSecureFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveDdns(const DdnsPageValues& page) {
    if (!Begin(Texts().Of(page))) {
        return 0;
    }
    auto& dns = config().dns;
    auto& smtp = config().smtp;
    bool dnsChanged = false;
    bool smtpChanged = false;
    if (page.dnsServer != m_read.dnsServer) {
        WriteIpv4Number(dns, DNS::DnsServer, page.dnsServer);
        dnsChanged = true;
    }
    if (page.autoDns != m_read.autoDns) {
        WriteByte(dns, DNS::AutoDns, static_cast<std::uint8_t>(page.autoDns));
        dnsChanged = true;
    }
    if (page.enable != m_read.ddnsEnable) {
        WriteByte(smtp, SMTP::DdnsEnable, static_cast<std::uint8_t>(page.enable));
        smtpChanged = true;
    }
    smtpChanged |= WriteChangedText(smtp, SMTP::DdnsUser, page.user, m_read.ddnsUser);
    smtpChanged |= WriteChangedText(smtp, SMTP::DdnsPassword, page.password, m_read.ddnsPassword);
    smtpChanged |= WriteChangedText(smtp, SMTP::DdnsDomain, page.domain, m_read.ddnsDomain);
    if (page.providerIndex != m_read.ddnsProviderIndex) {
        WriteText(smtp, SMTP::DdnsProvider, ProviderKeyword(page.providerIndex, device().features));
        smtpChanged = true;
    }
    if (dnsChanged && !Send(kSysCfgDns)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    if (smtpChanged && !Send(kSysCfgSmtp)) {
        ShowMessage(kChangeFailedText);
    }
    return 0;
}

int ConfigSaveRoutines::SaveMail(const MailPageValues& page) {
    if (!Begin(Texts().Of(page))) {
        return 0;
    }
    auto& smtp = config().smtp;
    bool smtpChanged = false;
    bool sntpChanged = false;
    bool systemChanged = false;
    if (page.sender != m_read.senderAddress) {
        const SenderSplit split = SenderSplitOf(device());
        const SenderParts parts = SplitSender(page.sender, split);
        WriteText(smtp, SMTP::MailFrom, parts.mailFrom);
        smtpChanged = true;
        const SectionField more = SenderContinuationField(split);
        if (split == SenderSplit::kSntp) {
            WriteText(config().sntp, more, parts.more);
            sntpChanged = true;
        } else if (split != SenderSplit::kNone) {
            // Below the title only where the device keeps one in 20..35.
            WriteText(config().system, more, parts.more);
            systemChanged = true;
        }
    }
    smtpChanged |= WriteChangedText(smtp, SMTP::MailServer, page.server, m_read.mailServer);
    smtpChanged |= WriteChangedText(smtp, SMTP::MailPassword, page.password, m_read.mailPassword);
    smtpChanged |= WriteChangedText(smtp, SMTP::MailUser, page.user, m_read.mailUser);
    if (page.verifyMode != m_read.verifyMode) {
        WriteByte(smtp, SMTP::VerifyPassword, page.verifyMode);
        smtpChanged = true;
    }
    if (page.recipientsChanged) {
        for (std::size_t i = 0; i < 4; ++i) {
            ZeroField(smtp, SMTP::AlarmMail.At(i));
        }
        for (std::size_t i = 0; i < page.recipients.size() && i < 4; ++i) {
            WriteText(smtp, SMTP::AlarmMail.At(i), page.recipients[i]);
        }
        smtpChanged = true;
    }
    for (const auto& [changed, option] :
         {std::pair{smtpChanged, kSysCfgSmtp}, std::pair{sntpChanged, kSysCfgSntp},
          std::pair{systemChanged, kSysCfgSystem}}) {
        if (changed && !Send(option)) {
            ShowMessage(kChangeFailedText);
            return 0;
        }
    }
    return 1;
}

int ConfigSaveRoutines::SaveFtp(const FtpPageValues& page) {
    if (!Begin(Texts().Of(page))) {
        return 0;
    }
    auto& ftp = config().ftp;
    bool changed = false;
    changed |= WriteChangedText(ftp, FTP::Server, page.server, m_read.ftpServer);
    changed |= WriteChangedText(ftp, FTP::User, page.user, m_read.ftpUser);
    changed |= WriteChangedText(ftp, FTP::Password, page.password, m_read.ftpPassword);
    changed |= WriteChangedText(ftp, FTP::Directory, page.directory, m_read.ftpDirectory);
    if (page.port != m_read.ftpPort) {
        WriteU16(ftp, FTP::Port, page.port);
        changed = true;
    }
    if (changed && !Send(kSysCfgFtp)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveSntp(const SntpPageValues& page) {
    if (!Begin(Texts().Of(page))) {
        return 0;
    }
    auto& sntp = config().sntp;
    bool changed = false;
    const std::uint8_t automatic = page.automatic ? 1 : 0;
    if (automatic != m_read.autoSntp || page.server != m_read.sntpServer) {
        ZeroField(sntp, SNTP::Server);
        if (!page.automatic) {
            WriteText(sntp, SNTP::Server, page.server);
        }
        changed = true;
    }
    if (page.zoneIndex != m_read.zoneIndex) {
        WriteSignedByte(sntp, SNTP::GmtHours, page.zoneHours);
        WriteSignedByte(sntp, SNTP::GmtMinutes, page.zoneMinutes);
        WriteByte(sntp, SNTP::ZoneIndex, static_cast<std::uint8_t>(page.zoneIndex));
        changed = true;
    }
    if (page.syncMode != m_read.syncMode) {
        WriteByte(sntp, SNTP::SyncMode, page.syncMode);
        changed = true;
    }
    if (changed && !Send(kSysCfgSntp)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::OnSaveSntp(const SntpPageValues& page) {
    // The read values are left alone: they follow the section only once the
    // device has taken it, so APPLY still finds what this send did not get
    // through.
    if (!Begin(Texts().Of(page))) {
        return 0;
    }
    auto& sntp = config().sntp;
    bool changed = false;
    if (page.syncMode != ReadByte(sntp, SNTP::SyncMode)) {
        WriteByte(sntp, SNTP::SyncMode, page.syncMode);
        changed = true;
    }
    const std::string stored = FieldTextAsShown(sntp, SNTP::Server);
    if (page.automatic && !stored.empty()) {
        ZeroField(sntp, SNTP::Server);
        changed = true;
    }
    if (!page.automatic && page.server != stored) {
        WriteText(sntp, SNTP::Server, page.server);
        changed = true;
    }
    if (page.zoneIndex != ReadByte(sntp, SNTP::ZoneIndex)) {
        WriteByte(sntp, SNTP::ZoneIndex, static_cast<std::uint8_t>(page.zoneIndex));
        WriteSignedByte(sntp, SNTP::GmtHours, page.zoneHours);
        WriteSignedByte(sntp, SNTP::GmtMinutes, page.zoneMinutes);
        changed = true;
    }
    if (changed && !Send(kSysCfgSntp)) {
        ShowMessage(kChangeFailedText);
    }
    return 0;
}

int ConfigSaveRoutines::SaveAlarm(const AlarmPageValues& page) {
    Begin();
    auto& alarm = config().alarm;
    bool changed = false;
    if (page.method != m_read.alarmMethod) {
        WriteByte(alarm, ALARM::Method, page.method);
        changed = true;
    }
    if (page.imageSize != m_read.imageSize) {
        WriteByte(alarm, ALARM::ImageSize, page.imageSize);
        changed = true;
    }
    // On the DVR family byte 9 is channel 2's alarm input, which the
    // Detection page owns.
    if (!device().IsDvr() && page.videoSource != m_read.videoSource) {
        WriteByte(alarm, ALARM::VideoSource, page.videoSource);
        changed = true;
    }
    if (page.postNumbersIndex != m_read.postNumbersIndex) {
        WriteByte(alarm, ALARM::PostNumbers, static_cast<std::uint8_t>(page.postNumbersIndex + 1));
        changed = true;
    }
    if (page.durationRow != m_read.alarmDurationIndex && page.durationRow >= 0) {
        if (const auto seconds = RowToDuration(device(), page.durationRow)) {
            WriteU16(alarm, ALARM::Duration, *seconds);
            changed = true;
        }
    }
    if (changed && !Send(kSysCfgAlarm)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveDevice(const DevicePageValues& page) {
    Begin();
    m_read.rs485Changed = false;
    if (!page.channelsChanged) {
        return 1;
    }
    auto& rs485 = config().rs485;
    for (std::size_t ch = 0; ch < RS485::kChannels; ++ch) {
        WriteByte(rs485, RS485::DeviceType.At(ch), page.types[ch]);
        WriteByte(rs485, RS485::DeviceId.At(ch), page.ids[ch]);
        WriteByte(rs485, RS485::Protocol.At(ch), page.protocols[ch]);
        WriteU32(rs485, RS485::BaudRate.At(ch), page.bauds[ch]);
    }
    m_read.rs485Changed = true;
    if (!Send(kSysCfgRs485)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveDetection(const InPlacePageValues& page) {
    Begin();
    if (page.firstChanged && !Send(kSysCfgDvrLive)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    if (page.secondChanged && !Send(kSysCfgAlarm)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveCamera(const InPlacePageValues& page) {
    Begin();
    if (page.firstChanged && !Send(kSysCfgDvrLive)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    if (page.secondChanged && !Send(kSysCfgDvrRec)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveTimerRecord(const TimerPageValues& page) {
    Begin();
    if (page.modes == m_read.timerModes && page.starts == m_read.timerStarts &&
        page.ends == m_read.timerEnds) {
        return 1;
    }
    auto& rec = config().dvrRec;
    for (std::size_t r = 0; r < DVRREC::kTimerRows; ++r) {
        WriteByte(rec, DVRREC::TimerMode.At(r), page.modes[r]);
        WriteU16(rec, DVRREC::TimerStart.At(r), page.starts[r]);
        WriteU16(rec, DVRREC::TimerEnd.At(r), page.ends[r]);
    }
    if (!Send(kSysCfgDvrRec)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveGeneral(const GeneralPageValues& page) {
    if (!Begin(Texts().Of(page))) {
        return 0;
    }
    bool systemChanged = false;
    bool rs485Changed = false;
    // A device without a title keeps other data in SYSTEM 20..35.
    if (HasDeviceTitle(device())) {
        systemChanged |= WriteChangedText(config().system, SYSTEM::Title, page.title, m_read.title);
    }
    // Each name on its own: a name left alone keeps the device's bytes,
    // longer ones included.
    if (HasChannelNames(device())) {
        auto& rs485 = config().rs485;
        rs485Changed |=
            WriteChangedText(rs485, RS485::Ch1Name, page.channel1Name, m_read.channel1Name);
        rs485Changed |=
            WriteChangedText(rs485, RS485::Ch2Name, page.channel2Name, m_read.channel2Name);
    }
    if (systemChanged) {
        if (!Send(kSysCfgSystem)) {
            ShowMessage(kChangeFailedText);
            return 0;
        }
        // The window shows the title the device has taken, no sooner.
        if (g_lpApp != nullptr) {
            g_lpApp->str_DeviceTitle.Set(ReadText(m_sender.Accepted().system, SYSTEM::Title));
        }
    }
    if (rs485Changed && !Send(kSysCfgRs485)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SavePeripheral(const PeripheralPageValues& page) {
    Begin();
    m_read.peripheralChanged = false;
    auto& peri = config().peri;
    bool& changed = m_read.peripheralChanged;
    if (page.device1Id != m_read.device1Id) {
        WriteByte(peri, PERI::Id1, static_cast<std::uint8_t>(page.device1Id));
        changed = true;
    }
    if (page.device2Id != m_read.device2Id) {
        WriteByte(peri, PERI::Id2, static_cast<std::uint8_t>(page.device2Id));
        changed = true;
    }
    if (page.device1ModelIndex != m_read.device1ModelIndex) {
        WriteByte(peri, PERI::Model1,
                  PeripheralIndexToCode(static_cast<std::uint8_t>(page.device1ModelIndex)));
        changed = true;
    }
    if (page.device2ModelIndex != m_read.device2ModelIndex) {
        WriteByte(peri, PERI::Model2,
                  PeripheralIndexToCode(static_cast<std::uint8_t>(page.device2ModelIndex)));
        changed = true;
    }
    if (page.device1BaudIndex != m_read.device1BaudIndex) {
        WriteU32(peri, PERI::Baud1, RowToBaud(page.device1BaudIndex));
        changed = true;
    }
    if (page.device2BaudIndex != m_read.device2BaudIndex) {
        WriteU32(peri, PERI::Baud2, RowToBaud(page.device2BaudIndex));
        changed = true;
    }
    if (changed && !Send(kSysCfgPeri)) {
        ShowMessage(kChangeFailedText);
        return 0;
    }
    return 1;
}

int ConfigSaveRoutines::SaveVideoSetting(VideoSettingPageValues& page, std::uint8_t videoMode) {
    constexpr std::array<std::array<std::uint16_t, 2>, 3> kNtsc{
        {{704, 480}, {352, 240}, {176, 112}}};
    constexpr std::array<std::array<std::uint16_t, 2>, 3> kPal{
        {{704, 576}, {352, 288}, {176, 144}}};
    if ((videoMode == 0 || videoMode == 1) && page.sizeChoice >= 0 && page.sizeChoice <= 2) {
        const auto& size =
            (videoMode == 0 ? kNtsc : kPal)[static_cast<std::size_t>(page.sizeChoice)];
        page.width = size[0];
        page.height = size[1];
    }
    auto& block = config().videoSetting;
    bool reset = false;
    if (page.width != m_read.pictureWidth) {
        const SizeRow* row = FindSize(kWidthRows, page.width);
        if (row == nullptr) {
            row = &kOtherWidth;
            if (g_lpApp != nullptr) {
                g_lpApp->w_ImageWidth = kOtherWidth.size;
            }
        }
        WriteByte(block, VIDEO::WidthCode, row->code);
        WriteByte(block, VIDEO::WidthUnits, row->units);
        WriteByte(block, VIDEO::SmallWidth, page.width == 176 ? 1 : 0);
        reset = true;
    }
    if (page.height != m_read.pictureHeight) {
        const SizeRow* row = FindSize(kHeightRows, page.height);
        if (row == nullptr) {
            row = &kOtherHeight;
            if (g_lpApp != nullptr) {
                g_lpApp->w_ImageHeight = kOtherHeight.size;
            }
        }
        WriteByte(block, VIDEO::HeightCode, row->code);
        WriteByte(block, VIDEO::HeightUnits, row->units);
        reset = true;
    }
    if (page.frameRateChoice != m_read.frameRateRow && page.frameRateChoice >= 0 &&
        page.frameRateChoice < static_cast<int>(kFrameRateCodes.size())) {
        WriteU16(block, VIDEO::FrameRate,
                 kFrameRateCodes[static_cast<std::size_t>(page.frameRateChoice)]);
    }
    if (page.twoWayChoice != m_read.twoWay && (page.twoWayChoice == 0 || page.twoWayChoice == 1)) {
        WriteByte(block, VIDEO::TwoWay, page.twoWayChoice == 0 ? 0 : 4);
        reset = true;
    }
    if (page.qualityChoice != m_read.qualityRow && page.qualityChoice >= 0 &&
        page.qualityChoice < static_cast<int>(kQualityBytes.size())) {
        WriteByte(block, VIDEO::Quality,
                  kQualityBytes[static_cast<std::size_t>(page.qualityChoice)]);
    }
    if (!reset) {
        return 0;
    }
    if (g_lpApp != nullptr && g_lpApp->h_NotifyGetJPEGImageThreadResetEvent &&
        g_lpApp->h_FeedBackForNotifyResetEvent) {
        g_lpApp->h_NotifyGetJPEGImageThreadResetEvent->Set();
        g_lpApp->h_FeedBackForNotifyResetEvent->Wait(std::chrono::milliseconds(30));
    }
    return 1;
}
