// Golden tests of the section layouts: every field is written into a section
// filled with 0xEE and the result compared with bytes written out by hand;
// reading the hand-written bytes gives the value back. Bytes outside the
// field stay 0xEE, so "free" bytes go back to the device as they came.

#include "config/sheet/section_layouts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "core/state/app_global_state.h"
#include "tests/support/core/global_state.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kFill = 0xEE;

struct Golden {
    SectionField field;
    std::variant<std::uint32_t, std::string> value;
    std::size_t at;  // where the field's bytes start, written by hand
    Bytes bytes;     // the field's bytes as the device holds them
};

// A text's field bytes: the text, then zeros to the field's width.
Bytes TextBytes(std::string_view text, std::size_t width) {
    Bytes bytes(text.begin(), text.end());
    bytes.resize(width, 0);
    return bytes;
}

void Write(SectionBytes section, const Golden& g) {
    if (const auto* text = std::get_if<std::string>(&g.value)) {
        WriteText(section, g.field, *text);
        return;
    }
    const std::uint32_t v = std::get<std::uint32_t>(g.value);
    switch (g.field.kind) {
        case FieldKind::kByte:
            WriteByte(section, g.field, static_cast<std::uint8_t>(v));
            break;
        case FieldKind::kSignedByte:
            WriteSignedByte(section, g.field, static_cast<std::int8_t>(v));
            break;
        case FieldKind::kU16:
            WriteU16(section, g.field, static_cast<std::uint16_t>(v));
            break;
        case FieldKind::kU32:
            WriteU32(section, g.field, v);
            break;
        case FieldKind::kIpv4:
            WriteIpv4Number(section, g.field, v);
            break;
        default:
            FAIL() << g.field.name;
    }
}

std::variant<std::uint32_t, std::string> Read(ConstSectionBytes section, const Golden& g) {
    switch (g.field.kind) {
        case FieldKind::kText:
            return ReadText(section, g.field);
        case FieldKind::kByte:
            return std::uint32_t{ReadByte(section, g.field)};
        case FieldKind::kSignedByte:
            return static_cast<std::uint32_t>(
                static_cast<std::uint8_t>(ReadSignedByte(section, g.field)));
        case FieldKind::kU16:
            return std::uint32_t{ReadU16(section, g.field)};
        case FieldKind::kU32:
            return ReadU32(section, g.field);
        case FieldKind::kIpv4:
            return ReadIpv4Number(section, g.field);
        default:
            return std::string("?");
    }
}

void CheckSection(std::size_t size, const std::vector<Golden>& table) {
    for (const Golden& g : table) {
        SCOPED_TRACE(std::string(g.field.name) + " at " + std::to_string(g.at));
        Bytes section(size, kFill);
        Write(section, g);
        Bytes expected(size, kFill);
        ASSERT_LE(g.at + g.bytes.size(), size);
        std::copy(g.bytes.begin(), g.bytes.end(),
                  expected.begin() + static_cast<std::ptrdiff_t>(g.at));
        EXPECT_EQ(section, expected);
        EXPECT_EQ(Read(expected, g), g.value);
    }
}

using namespace cfg;

TEST(SectionLayout, Inf) {
    CheckSection(44, {{INF::FeatureFlags, 0x80000081u, 20, {0x81, 0, 0, 0x80}}});
}

TEST(SectionLayout, Ip) {
    CheckSection(24, {
                         {IP::ServerIp, 0xC0A8010Au, 4, {192, 168, 1, 10}},
                         {IP::NetMask, 0xFFFFFF00u, 8, {255, 255, 255, 0}},
                         {IP::Gateway, 0x0A000001u, 12, {10, 0, 0, 1}},
                         {IP::WebPort, 8080u, 16, {0x90, 0x1F}},
                         {IP::IpType, 2u, 22, {2}},
                     });
}

TEST(SectionLayout, PppoeBothLayouts) {
    CheckSection(68,
                 {
                     {PPPOE_OLD::UserName, std::string("olduser"), 36, TextBytes("olduser", 16)},
                     {PPPOE_OLD::Password, std::string("0123456789abcdef"), 52,
                      TextBytes("0123456789abcdef", 16)},
                     {PPPOE::UserName, std::string("newuser@isp"), 4, TextBytes("newuser@isp", 32)},
                     {PPPOE::Password, std::string("pw"), 36, TextBytes("pw", 32)},
                 });
}

TEST(SectionLayout, Secure) {
    CheckSection(196,
                 {
                     {SECURE::MaxUsers, 3u, 2, {3}},
                     {SECURE::UserName.At(0), std::string("admin"), 8, TextBytes("admin", 16)},
                     {SECURE::UserName.At(4), std::string("guest"), 72, TextBytes("guest", 16)},
                     {SECURE::Password.At(0), std::string("secret"), 88, TextBytes("secret", 16)},
                     {SECURE::Password.At(4), std::string("x"), 152, TextBytes("x", 16)},
                     {SECURE::Level.At(0), 30u, 168, {30}},
                     {SECURE::Level.At(4), 10u, 172, {10}},
                     {SECURE::LifeTime.At(0), 0xFFFFFFFFu, 176, {0xFF, 0xFF, 0xFF, 0xFF}},
                     {SECURE::LifeTime.At(4), 0x00010203u, 192, {3, 2, 1, 0}},
                 });
}

TEST(SectionLayout, Dns) {
    CheckSection(12, {
                         {DNS::AutoDns, 1u, 3, {1}},
                         {DNS::DnsServer, 0x08080404u, 4, {8, 8, 4, 4}},
                     });
}

TEST(SectionLayout, Smtp) {
    CheckSection(
        440,
        {
            {SMTP::VerifyPassword, 2u, 4, {2}},
            {SMTP::DdnsEnable, 1u, 5, {1}},
            {SMTP::MailServer, std::string("smtp.example.net"), 8,
             TextBytes("smtp.example.net", 64)},
            {SMTP::MailFrom, std::string("cam@example.net"), 72, TextBytes("cam@example.net", 16)},
            {SMTP::DdnsProvider, std::string("dyndns"), 88, TextBytes("dyndns", 16)},
            {SMTP::DdnsUser, std::string("duser"), 104, TextBytes("duser", 16)},
            {SMTP::DdnsPassword, std::string("dpass"), 120, TextBytes("dpass", 16)},
            {SMTP::AlarmMail.At(0), std::string("a <a@b.c>"), 136, TextBytes("a <a@b.c>", 48)},
            {SMTP::AlarmMail.At(3), std::string("<d@e.f>"), 280, TextBytes("<d@e.f>", 48)},
            {SMTP::DdnsDomain, std::string("cam.dyndns.org"), 328, TextBytes("cam.dyndns.org", 48)},
            {SMTP::MailUser, std::string("mailuser"), 376, TextBytes("mailuser", 32)},
            {SMTP::MailPassword, std::string("mailpass"), 408, TextBytes("mailpass", 32)},
        });
}

TEST(SectionLayout, Ftp) {
    CheckSection(
        104, {
                 {FTP::Server, std::string("ftp.example.net"), 4, TextBytes("ftp.example.net", 32)},
                 {FTP::User, std::string("fuser"), 36, TextBytes("fuser", 16)},
                 {FTP::Password, std::string("fpass"), 52, TextBytes("fpass", 16)},
                 {FTP::Directory, std::string("/alarm"), 68, TextBytes("/alarm", 32)},
                 {FTP::Port, 2121u, 100, {0x49, 0x08}},
             });
}

TEST(SectionLayout, System) {
    CheckSection(
        36, {
                {SYSTEM::MailFromMore, std::string("rest-of-sender"), 4,
                 TextBytes("rest-of-sender", 32)},
                {SYSTEM::MailFromMoreBelowTitle, std::string("below"), 4, TextBytes("below", 16)},
                {SYSTEM::Title, std::string("FrontDoor"), 20, TextBytes("FrontDoor", 16)},
            });
}

TEST(SectionLayout, Sntp) {
    CheckSection(36,
                 {
                     {SNTP::GmtHours, static_cast<std::uint32_t>(0xFB), 2, {0xFB}},  // -5
                     {SNTP::GmtMinutes, 30u, 3, {30}},
                     {SNTP::ZoneIndex, 12u, 5, {12}},
                     {SNTP::SyncMode, 1u, 6, {1}},
                     {SNTP::Server, std::string("pool.ntp.org"), 8, TextBytes("pool.ntp.org", 28)},
                     {SNTP::MailFromMore, std::string("more"), 8, TextBytes("more", 28)},
                 });
    const Bytes minusFive{0, 0, 0xFB, 0xE2, 0, 0, 0, 0};
    EXPECT_EQ(ReadSignedByte(minusFive, SNTP::GmtHours), -5);
    EXPECT_EQ(ReadSignedByte(minusFive, SNTP::GmtMinutes), -30);
}

TEST(SectionLayout, Rs485) {
    CheckSection(124, {
                          {RS485::DeviceId.At(0), 7u, 12, {7}},
                          {RS485::DeviceId.At(15), 9u, 27, {9}},
                          {RS485::DeviceType.At(0), 1u, 28, {1}},
                          {RS485::DeviceType.At(15), 1u, 43, {1}},
                          {RS485::Protocol.At(0), 1u, 44, {1}},
                          {RS485::Protocol.At(15), 2u, 59, {2}},
                          {RS485::BaudRate.At(0), 9600u, 60, {0x80, 0x25, 0, 0}},
                          {RS485::BaudRate.At(15), 115200u, 120, {0x00, 0xC2, 0x01, 0}},
                          {RS485::Ch1Name, std::string("CAM"), 44, TextBytes("CAM", 8)},
                          {RS485::Ch2Name, std::string("DR"), 52, TextBytes("DR", 8)},
                      });
}

TEST(SectionLayout, Alarm) {
    CheckSection(24, {
                         {ALARM::PostNumbers, 3u, 2, {3}},
                         {ALARM::Method, 3u, 3, {3}},
                         {ALARM::ImageSize, 2u, 5, {2}},
                         {ALARM::Duration, 1800u, 6, {0x08, 0x07}},
                         {ALARM::AlarmInput.At(0), 2u, 8, {2}},
                         {ALARM::AlarmInput.At(15), 1u, 23, {1}},
                         {ALARM::VideoSource, 4u, 9, {4}},
                     });
}

TEST(SectionLayout, Online) {
    CheckSection(240,
                 {
                     {ONLINE::UserName.At(0), std::string("viewer"), 0, TextBytes("viewer", 16)},
                     {ONLINE::Address.At(0), 0xC0A80102u, 16, {192, 168, 1, 2}},
                     {ONLINE::Level.At(0), 20u, 20, {20}},
                     {ONLINE::Channel.At(0), 3u, 21, {3}},
                     {ONLINE::Resolution.At(0), 1u, 22, {1}},
                     {ONLINE::Quality.At(0), 2u, 23, {2}},
                     {ONLINE::UserName.At(9), std::string("last"), 216, TextBytes("last", 16)},
                     {ONLINE::Quality.At(9), 1u, 239, {1}},
                 });
}

TEST(SectionLayout, DvrLive) {
    CheckSection(772,
                 {
                     {DVRLIVE::Brightness.At(0), 128u, 4, {128}},
                     {DVRLIVE::Contrast.At(15), 100u, 35, {100}},
                     {DVRLIVE::Hue.At(1), 5u, 37, {5}},
                     {DVRLIVE::Saturation.At(15), 6u, 67, {6}},
                     {DVRLIVE::Covert.At(2), 1u, 86, {1}},
                     {DVRLIVE::Title.At(0), std::string("GATE"), 116, TextBytes("GATE", 6)},
                     {DVRLIVE::Title.At(15), std::string("YARD12"), 206, TextBytes("YARD12", 6)},
                     {DVRLIVE::Detect.At(0), 1u, 308, {1}},
                     {DVRLIVE::Ls.At(15), 4u, 339, {4}},
                     {DVRLIVE::Ss.At(0), 5u, 340, {5}},
                     {DVRLIVE::Ts.At(15), 6u, 371, {6}},
                     {DVRLIVE::Re.At(0), 7u, 372, {7}},
                 });
    // The motion grid of channel 15 ends the section.
    EXPECT_EQ(DVRLIVE::Area.At(0).offset, 388u);
    EXPECT_EQ(DVRLIVE::Area.At(15).offset, 748u);
    Bytes live(772, 0);
    live[748] = 0xAB;
    live[771] = 0xCD;
    const auto grid = FieldBytes(live, DVRLIVE::Area.At(15));
    ASSERT_EQ(grid.size(), 24u);
    EXPECT_EQ(grid.front(), 0xAB);
    EXPECT_EQ(grid.back(), 0xCD);
}

TEST(SectionLayout, DvrRec) {
    CheckSection(132, {
                          {DVRREC::Record.At(0), 1u, 20, {1}},
                          {DVRREC::Record.At(15), 1u, 35, {1}},
                          {DVRREC::TimerMode.At(0), 3u, 87, {3}},
                          {DVRREC::TimerMode.At(6), 8u, 93, {8}},
                          {DVRREC::TimerStart.At(0), 0x081Eu, 94, {0x1E, 0x08}},  // 08:30
                          {DVRREC::TimerStart.At(6), 0x1700u, 106, {0x00, 0x17}},
                          {DVRREC::TimerEnd.At(0), 0x1200u, 108, {0x00, 0x12}},
                          {DVRREC::TimerEnd.At(6), 0x173Bu, 120, {0x3B, 0x17}},  // 23:59
                      });
}

TEST(SectionLayout, Peri) {
    CheckSection(16, {
                         {PERI::Model1, 25u, 2, {25}},
                         {PERI::Model2, 9u, 3, {9}},
                         {PERI::Baud1, 2400u, 4, {0x60, 0x09, 0, 0}},
                         {PERI::Baud2, 57600u, 8, {0x00, 0xE1, 0, 0}},
                         {PERI::Id1, 1u, 12, {1}},
                         {PERI::Id2, 255u, 13, {255}},
                     });
}

TEST(SectionLayout, VideoSettingBlock) {
    CheckSection(16, {
                         {VIDEO::TwoWay, 4u, 2, {4}},
                         {VIDEO::FrameRate, 0x99u, 4, {0x99, 0}},
                         {VIDEO::WidthCode, 2u, 7, {2}},
                         {VIDEO::HeightCode, 1u, 8, {1}},
                         {VIDEO::WidthUnits, 22u, 9, {22}},
                         {VIDEO::HeightUnits, 15u, 10, {15}},
                         {VIDEO::Quality, 70u, 11, {70}},
                         {VIDEO::SmallWidth, 1u, 12, {1}},
                     });
}

// A text that fills its field has no terminator: the read stops at the
// field's end, not at the next zero after it, and a longer text is cut to the
// field when written.
TEST(SectionLayout, TextsAreBoundedByTheirField) {
    Bytes smtp(440, 'X');
    EXPECT_EQ(ReadText(smtp, SMTP::MailFrom), std::string(16, 'X'));
    EXPECT_EQ(ReadText(smtp, SMTP::MailServer), std::string(64, 'X'));
    EXPECT_EQ(ReadText(smtp, SMTP::MailPassword), std::string(32, 'X'));  // ends the section
    EXPECT_EQ(ReadText(smtp, SMTP::MailFrom, 15), std::string(15, 'X'));

    Bytes system(36, kFill);
    EXPECT_EQ(WriteText(system, SYSTEM::Title, std::string(40, 'T')), 16u);
    Bytes expected(36, kFill);
    std::fill(expected.begin() + 20, expected.end(), 'T');
    EXPECT_EQ(system, expected);

    // A short span (a damaged section) reads as empty and takes no writes.
    Bytes shortSection(30, 'Y');
    EXPECT_EQ(ReadText(shortSection, SYSTEM::Title), "");
    EXPECT_EQ(ReadU32(shortSection, RS485::BaudRate.At(15)), 0u);
    WriteU32(shortSection, RS485::BaudRate.At(15), 1);
    EXPECT_EQ(shortSection, Bytes(30, 'Y'));
    // An index past the array is an empty field.
    EXPECT_EQ(SECURE::UserName.At(5).width, 0u);
}

// The "ALL" reply, split by each family's layout, puts every field at its
// absolute offset: INF 0, IP 44, SECURE 68, DNS 264, SMTP 276, FTP 716,
// PPPOE 820, SYSTEM 888, SNTP 924, IMG 960, RS485 972, ALARM 1096, then
// PERI 1120 (compact layout) or DVRLIVE 1120, DVROSD 1892, DVRREC 1912 (DVR).
struct AllMarker {
    std::size_t absolute;
    std::uint8_t byte;
};

class AllOffsets : public test_support::GlobalStateTest {
protected:
    SystemConfigStruct& config() { return g_lpApp->SystemConfigStruct; }

    void Split(const char* product, const char* firmware, std::size_t size,
               const std::vector<AllMarker>& markers) {
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->str_FWVersion.Set(firmware);
        Bytes reply(size, 0);
        for (const auto& m : markers) {
            reply[m.absolute] = m.byte;
        }
        ASSERT_EQ(SplitAllSections(reply, config()), 1);
    }
};

TEST_F(AllOffsets, CompactFamily) {
    Split("Q3A2", "1010", 1136 + 24,
          {{44 + 16, 0x50},
           {44 + 17, 0x00},    // IP.WebPort 80
           {68 + 2, 4},        // SECURE.MaxUsers
           {264 + 4, 9},       // DNS.DnsServer first octet
           {276 + 8, 'm'},     // SMTP.MailServer
           {716 + 100, 21},    // FTP.Port
           {820 + 4, 'p'},     // PPPOE.UserName (newer layout)
           {888 + 20, 'T'},    // SYSTEM.Title
           {924 + 5, 33},      // SNTP.ZoneIndex
           {972 + 44, 'C'},    // RS485.Ch1Name
           {1096 + 6, 15},     // ALARM.Duration
           {1120 + 13, 2},     // PERI.Id2
           {1136 + 0, 'u'}});  // ONLINE.UserName of record 0
    EXPECT_EQ(ReadU16(config().ip, IP::WebPort), 80);
    EXPECT_EQ(ReadByte(config().secure, SECURE::MaxUsers), 4);
    EXPECT_EQ(ReadIpv4(config().dns, DNS::DnsServer)[0], 9);
    EXPECT_EQ(ReadText(config().smtp, SMTP::MailServer), "m");
    EXPECT_EQ(ReadU16(config().ftp, FTP::Port), 21);
    EXPECT_EQ(ReadText(config().pppoe, PPPOE::UserName), "p");
    EXPECT_EQ(ReadText(config().system, SYSTEM::Title), "T");
    EXPECT_EQ(ReadByte(config().sntp, SNTP::ZoneIndex), 33);
    EXPECT_EQ(ReadText(config().rs485, RS485::Ch1Name), "C");
    EXPECT_EQ(ReadU16(config().alarm, ALARM::Duration), 15);
    EXPECT_EQ(ReadByte(config().peri, PERI::Id2), 2);
    EXPECT_EQ(ReadText(config().online, ONLINE::UserName.At(0)), "u");
}

TEST_F(AllOffsets, CompactFamilyOlderPppoe) {
    Split("Q7B5", "1006", 1136, {{820 + 36, 'o'}, {820 + 52, 'w'}});
    EXPECT_EQ(ReadText(config().pppoeOld, PPPOE_OLD::UserName), "o");
    EXPECT_EQ(ReadText(config().pppoeOld, PPPOE_OLD::Password), "w");
}

TEST_F(AllOffsets, DvrFamily) {
    Split("Q8A7", "1052", 2044 + 48,
          {{44 + 22, 1},                 // IP.IpType
           {820 + 36, 'q'},              // PPPOE.Password (newer layout)
           {924 + 8, 'r'},               // SNTP.MailFromMore
           {972 + 60 + 4 * 15, 0x80},    // RS485.BaudRate of channel 15
           {1096 + 8 + 15, 2},           // ALARM.AlarmInput of channel 15
           {1120 + 308 + 3, 1},          // DVRLIVE.Detect of channel 3
           {1120 + 116, 'G'},            // DVRLIVE.Title of channel 0
           {1912 + 87 + 6, 5},           // DVRREC.TimerMode row 6
           {1912 + 108 + 12 + 1, 0x17},  // DVRREC.TimerEnd row 6, high byte
           {2044 + 24 + 20, 30}});       // ONLINE.Level of record 1
    EXPECT_EQ(ReadByte(config().ip, IP::IpType), 1);
    EXPECT_EQ(ReadText(config().pppoe, PPPOE::Password), "q");
    EXPECT_EQ(ReadText(config().sntp, SNTP::MailFromMore), "r");
    EXPECT_EQ(ReadU32(config().rs485, RS485::BaudRate.At(15)), 0x80u);
    EXPECT_EQ(ReadByte(config().alarm, ALARM::AlarmInput.At(15)), 2);
    EXPECT_EQ(ReadByte(config().dvrLive, DVRLIVE::Detect.At(3)), 1);
    EXPECT_EQ(ReadText(config().dvrLive, DVRLIVE::Title.At(0)), "G");
    EXPECT_EQ(ReadByte(config().dvrRec, DVRREC::TimerMode.At(6)), 5);
    EXPECT_EQ(ReadU16(config().dvrRec, DVRREC::TimerEnd.At(6)), 0x1700);
    EXPECT_EQ(ReadByte(config().online, ONLINE::Level.At(1)), 30);
}

TEST_F(AllOffsets, DvrFamilyOlderPppoe) {
    Split("Q8A5", "1051", 2044, {{820 + 36, 'o'}});
    EXPECT_EQ(ReadText(config().pppoeOld, PPPOE_OLD::UserName), "o");
    EXPECT_EQ(ReadText(config().pppoe, PPPOE::UserName), "");
}

}  // namespace
