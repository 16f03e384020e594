// Fuzzes the readers of configuration section bytes: every field of every
// layout is read from bytes of any length (a damaged or short section), and
// the sheet's read values are taken from a block filled with the input, for
// every device family and firmware gate. Byte 0 picks the product, byte 1 the
// firmware version; the rest fills the sections in option order, repeating.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "config/sheet/read_values.h"
#include "config/sheet/section_layouts.h"
#include "config/sheet/text_room.h"

namespace {

using namespace cfg;

const FieldArray kFields[] = {
    {INF::FeatureFlags, 0, 1},
    {IP::ServerIp, 0, 1},
    {IP::NetMask, 0, 1},
    {IP::Gateway, 0, 1},
    {IP::WebPort, 0, 1},
    {IP::IpType, 0, 1},
    {PPPOE_OLD::UserName, 0, 1},
    {PPPOE_OLD::Password, 0, 1},
    {PPPOE::UserName, 0, 1},
    {PPPOE::Password, 0, 1},
    {SECURE::MaxUsers, 0, 1},
    SECURE::UserName,
    SECURE::Password,
    SECURE::Level,
    SECURE::LifeTime,
    {DNS::AutoDns, 0, 1},
    {DNS::DnsServer, 0, 1},
    {SMTP::VerifyPassword, 0, 1},
    {SMTP::DdnsEnable, 0, 1},
    {SMTP::MailServer, 0, 1},
    {SMTP::MailFrom, 0, 1},
    {SMTP::DdnsProvider, 0, 1},
    {SMTP::DdnsUser, 0, 1},
    {SMTP::DdnsPassword, 0, 1},
    SMTP::AlarmMail,
    {SMTP::DdnsDomain, 0, 1},
    {SMTP::MailUser, 0, 1},
    {SMTP::MailPassword, 0, 1},
    {FTP::Server, 0, 1},
    {FTP::User, 0, 1},
    {FTP::Password, 0, 1},
    {FTP::Directory, 0, 1},
    {FTP::Port, 0, 1},
    {SYSTEM::MailFromMore, 0, 1},
    {SYSTEM::Title, 0, 1},
    {SNTP::GmtHours, 0, 1},
    {SNTP::GmtMinutes, 0, 1},
    {SNTP::ZoneIndex, 0, 1},
    {SNTP::SyncMode, 0, 1},
    {SNTP::Server, 0, 1},
    RS485::DeviceId,
    RS485::DeviceType,
    RS485::Protocol,
    RS485::BaudRate,
    {RS485::Ch1Name, 0, 1},
    {RS485::Ch2Name, 0, 1},
    {ALARM::PostNumbers, 0, 1},
    {ALARM::Method, 0, 1},
    {ALARM::ImageSize, 0, 1},
    {ALARM::Duration, 0, 1},
    ALARM::AlarmInput,
    {ALARM::VideoSource, 0, 1},
    ONLINE::UserName,
    ONLINE::Address,
    ONLINE::Level,
    DVRLIVE::Title,
    DVRLIVE::Area,
    DVRREC::TimerMode,
    DVRREC::TimerStart,
    DVRREC::TimerEnd,
    {PERI::Model1, 0, 1},
    {PERI::Baud1, 0, 1},
    {PERI::Id2, 0, 1},
};

constexpr std::array<std::string_view, 8> kProducts{"Q8A7", "Q3A2", "Q7B5", "Q9C0",
                                                    "Q8A3", "Q7B3", "XXXX", ""};
constexpr std::array<std::string_view, 9> kFirmware{"1000", "1003", "1006", "1007", "1010",
                                                    "1027", "1052", "2000", "10"};

void ReadEverything(std::span<const std::uint8_t> bytes) {
    for (const FieldArray& array : kFields) {
        for (std::size_t i = 0; i <= array.count; ++i) {  // one past the end too
            const SectionField field = array.At(i);
            const std::string text = ReadText(bytes, field);
            if (text.size() > field.width) {
                std::abort();
            }
            (void)ReadU32(bytes, field);
            (void)ReadU16(bytes, field);
            (void)ReadIpv4Number(bytes, field);
            (void)FieldBytes(bytes, field);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::span<const std::uint8_t> body(data + 2, size - 2);
    ReadEverything(body);

    DeviceIdentity device;
    device.productId = std::string(kProducts[data[0] % kProducts.size()]);
    device.firmware = std::string(kFirmware[data[1] % kFirmware.size()]);
    device.features = data[0] & 0x80 ? 0x80u : 0u;
    SystemConfigStruct config;
    if (!body.empty()) {
        std::size_t n = 0;
        for (std::uint8_t option = 0; option < kSysCfgAll; ++option) {
            for (auto& byte : AreaOf(config, option, device)) {
                byte = body[n++ % body.size()];
            }
        }
    }
    const SheetReadValues values = LoadReadValues(config, device, 0, 0);
    // Every text read from a section is what an edit shows of its field:
    // UTF-8 as it stays, at most three bytes (U+FFFD) for each byte of the
    // field read, and the General page's texts within their room.
    for (const auto& [text, fieldBytes] : {std::pair{&values.senderAddress, std::size_t{15 + 32}},
                                           {&values.title, kGeneralTitleRoom},
                                           {&values.mailServer, std::size_t{63}},
                                           {&values.channel1Name, kChannelNameRoom},
                                           {&values.sntpServer, std::size_t{28}},
                                           {&values.ftpServer, std::size_t{31}},
                                           {&values.ddnsDomain, std::size_t{48}},
                                           {&values.pppoeUser, std::size_t{32}}}) {
        if (text->size() > 3 * fieldBytes || TextAsShown(*text) != *text) {
            std::abort();
        }
    }
    if (values.title.size() > kGeneralTitleRoom || values.channel1Name.size() > kChannelNameRoom) {
        std::abort();
    }
    return 0;
}
