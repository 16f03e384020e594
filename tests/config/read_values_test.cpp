// The sheet's read values and conversions: device traits by family and
// firmware gate, list rows, provider keywords, the sender's continuation and
// the title as the General page shows it.

#include "config/sheet/read_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/sheet/section_layouts.h"

namespace {

using namespace cfg;

DeviceIdentity Device(const char* product, const char* firmware, std::uint32_t features = 0) {
    return DeviceIdentity{product, firmware, features};
}

TEST(DeviceTraits, SplitAndLimitsByFamilyAndGate) {
    struct Case {
        const char* product;
        const char* firmware;
        SenderSplit split;
        std::size_t senderLimit;
        bool title;
        bool channelNames;
        bool olderPppoe;
    };
    const std::vector<Case> cases = {
        {"Q8A7", "1026", SenderSplit::kNone, 15, true, false, true},
        {"Q8A7", "1027", SenderSplit::kSntp, 42, true, false, true},
        {"Q8A5", "1051", SenderSplit::kSntp, 42, true, false, true},
        {"Q8A3", "1052", SenderSplit::kSntp, 42, true, false, false},
        {"Q3A2", "1002", SenderSplit::kNone, 15, false, false, true},
        {"Q3A2", "1003", SenderSplit::kSystem, 42, false, false, true},
        {"Q3A2", "1007", SenderSplit::kSystem, 42, false, false, false},
        {"Q3A2", "1010", SenderSplit::kSystemBelowTitle, 30, true, true, false},
        {"Q9C0", "1010", SenderSplit::kSystem, 42, false, false, false},
        {"Q7B5", "1003", SenderSplit::kSystem, 42, false, false, true},
        {"Q7B3", "10", SenderSplit::kSystem, 42, false, false, false},  // malformed meets gates
        {"ZZZZ", "2000", SenderSplit::kNone, 15, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " " + c.firmware);
        const DeviceIdentity d = Device(c.product, c.firmware);
        EXPECT_EQ(SenderSplitOf(d), c.split);
        EXPECT_EQ(SenderAddressLimit(d), c.senderLimit);
        EXPECT_EQ(HasDeviceTitle(d), c.title);
        EXPECT_EQ(HasChannelNames(d), c.channelNames);
        EXPECT_EQ(UsesOlderPppoe(d), c.olderPppoe);
    }
}

TEST(Conversions, BaudDurationProviderRows) {
    EXPECT_EQ(BaudToRow(2400), 0);
    EXPECT_EQ(BaudToRow(115200), 6);
    EXPECT_EQ(BaudToRow(1200), 0);
    EXPECT_EQ(RowToBaud(3), 19200u);
    EXPECT_EQ(RowToBaud(7), 2400u);
    EXPECT_EQ(RowToBaud(-1), 2400u);

    const auto q3a2 = Device("Q3A2", "1010");
    const auto dvr = Device("Q8A7", "1030");
    const auto other = Device("X1Y2", "1030");
    EXPECT_EQ(DurationToRow(q3a2, 1800), 4);
    EXPECT_EQ(DurationToRow(q3a2, 45), 0);  // not in the list
    EXPECT_EQ(DurationToRow(dvr, 40), 3);
    EXPECT_EQ(DurationToRow(dvr, 3), 0);
    EXPECT_EQ(DurationToRow(other, 5), -1);
    EXPECT_EQ(RowToDuration(q3a2, 5), 65535);
    EXPECT_EQ(RowToDuration(q3a2, 9), 3);
    EXPECT_EQ(RowToDuration(dvr, 4), 5);
    EXPECT_EQ(RowToDuration(other, 0), std::nullopt);

    EXPECT_EQ(ProviderIndexOf("custom", 0), 0);
    EXPECT_EQ(ProviderIndexOf("statdns", 0), 2);
    EXPECT_EQ(ProviderIndexOf("quillmere", 0), 1);
    EXPECT_EQ(ProviderIndexOf("quillmere", 0x80), 3);
    EXPECT_EQ(ProviderIndexOf("noip", 0), -1);
    EXPECT_EQ(ProviderKeyword(2, 0), "statdns");
    EXPECT_EQ(ProviderKeyword(0, 0x80), "quillmere");
    EXPECT_EQ(ProviderKeyword(4, 0), "");
}

TEST(Conversions, SenderSplitAndJoin) {
    const std::string twenty = "abcdefghijklmnopqrst";
    auto parts = SplitSender(twenty, SenderSplit::kSntp);
    EXPECT_EQ(parts.mailFrom, "abcdefghijklmno");
    EXPECT_EQ(parts.more, "pqrst");
    EXPECT_EQ(JoinSender(parts.mailFrom, parts.more), twenty);

    const std::string fifty(50, 'x');
    EXPECT_EQ(SplitSender(fifty, SenderSplit::kSystem).more.size(), 27u);
    EXPECT_EQ(SplitSender(fifty, SenderSplit::kSystemBelowTitle).more.size(), 15u);
    EXPECT_EQ(SplitSender(fifty, SenderSplit::kNone).mailFrom.size(), 15u);
    EXPECT_EQ(SplitSender(fifty, SenderSplit::kNone).more, "");
    // Only a MailFrom of exactly 15 characters takes its continuation.
    EXPECT_EQ(JoinSender("abcdefghijklmn", "zz"), "abcdefghijklmn");
    EXPECT_EQ(JoinSender("abcdefghijklmno", ""), "abcdefghijklmno");
}

class LoadReadValuesTest : public ::testing::Test {
protected:
    SystemConfigStruct config;
};

TEST_F(LoadReadValuesTest, SenderContinuationPerFamily) {
    WriteText(config.smtp, SMTP::MailFrom, "abcdefghijklmno");
    WriteText(config.sntp, SNTP::MailFromMore, "@dvr.example");
    // The continuation fills 4..19 without an end; the title follows at 20.
    WriteText(config.system, SYSTEM::MailFromMore, "0123456789ABCDEF");
    WriteText(config.system, SYSTEM::Title, "Lobby");
    struct Case {
        const char* product;
        const char* firmware;
        std::string sender;
    };
    const std::vector<Case> cases = {
        {"Q8A7", "1026", "abcdefghijklmno"},
        {"Q8A7", "1027", "abcdefghijklmno@dvr.example"},
        {"Q3A2", "1002", "abcdefghijklmno"},
        {"Q3A2", "1009", "abcdefghijklmno0123456789ABCDEFLobby"},
        {"Q3A2", "1010", "abcdefghijklmno0123456789ABCDEF"},  // never into the title
        {"Q9C0", "1003", "abcdefghijklmno0123456789ABCDEFLobby"},
    };
    for (const Case& c : cases) {
        SystemConfigStruct copy = config;
        EXPECT_EQ(LoadReadValues(copy, Device(c.product, c.firmware), 0, 0).senderAddress, c.sender)
            << c.product << " " << c.firmware;
    }
}

TEST_F(LoadReadValuesTest, MailTextsEndInsideTheirFields) {
    std::fill(config.smtp.begin(), config.smtp.end(), 'M');
    const auto v = LoadReadValues(config, Device("Q7B7", "1000"), 0, 0);
    EXPECT_EQ(v.mailServer, std::string(63, 'M'));
    EXPECT_EQ(v.mailUser, std::string(31, 'M'));
    EXPECT_EQ(v.mailPassword, std::string(31, 'M'));
    EXPECT_EQ(v.senderAddress, std::string(15, 'M'));
    for (std::size_t at : {71u, 87u, 407u, 439u}) {
        EXPECT_EQ(config.smtp[at], 0) << at;
    }
    EXPECT_EQ(config.smtp[70], 'M');
    // Fields that may fill their bytes are read bounded all the same.
    EXPECT_EQ(v.ddnsDomain, std::string(48, 'M'));
    EXPECT_EQ(v.ddnsProviderIndex, -1);
}

TEST_F(LoadReadValuesTest, TitleAndChannelNamesAsTheGeneralPageShowsThem) {
    WriteText(config.system, SYSTEM::Title, "ReceptionDesk");
    WriteText(config.rs485, RS485::Ch1Name, "ABCDEFGH");
    WriteText(config.rs485, RS485::Ch2Name, "XY");
    auto dvr = LoadReadValues(config, Device("Q8A5", "1030"), 0, 0);
    EXPECT_EQ(dvr.title, "Receptio");
    EXPECT_EQ(dvr.channel1Name, "");
    auto q3a2 = LoadReadValues(config, Device("Q3A2", "1010"), 0, 0);
    EXPECT_EQ(q3a2.title, "Receptio");
    EXPECT_EQ(GeneralPageTitle(config, Device("Q3A2", "1010")), q3a2.title);
    EXPECT_EQ(q3a2.channel1Name, "ABC");
    EXPECT_EQ(q3a2.channel2Name, "XY");
    EXPECT_EQ(LoadReadValues(config, Device("Q3A2", "1009"), 0, 0).title, "");
    EXPECT_EQ(LoadReadValues(config, Device("Q9C0", "1010"), 0, 0).title, "");
}

TEST_F(LoadReadValuesTest, NumbersRowsAndFtpTexts) {
    WriteIpv4Number(config.ip, IP::ServerIp, 0xC0A8010A);
    WriteU16(config.ip, IP::WebPort, 8080);
    WriteByte(config.ip, IP::IpType, 1);
    WriteText(config.pppoeOld, PPPOE_OLD::UserName, "olduser");
    WriteText(config.pppoe, PPPOE::UserName, "newuser");
    WriteText(config.ftp, FTP::Server, std::string(32, 'S'));  // fills the field: not taken
    WriteText(config.ftp, FTP::User, std::string(15, 'u'));
    WriteText(config.ftp, FTP::Directory, "/up");
    WriteU16(config.alarm, ALARM::Duration, 45);
    WriteByte(config.alarm, ALARM::PostNumbers, 0);
    WriteU32(config.peri, PERI::Baud1, 38400);
    WriteByte(config.peri, PERI::Model2, 25);
    WriteU16(config.dvrRec, DVRREC::TimerStart.At(6), TimerTime(23, 5));
    WriteByte(config.videoSetting, VIDEO::TwoWay, 4);
    WriteByte(config.videoSetting, VIDEO::Quality, 55);
    WriteU16(config.videoSetting, VIDEO::FrameRate, 0x44);

    const auto q7b = LoadReadValues(config, Device("Q7B5", "1006"), 320, 240);
    EXPECT_EQ(q7b.serverAddress, 0xC0A8010Au);
    EXPECT_EQ(q7b.webPort, 8080);
    EXPECT_EQ(q7b.ipType, 1);
    EXPECT_EQ(q7b.pppoeUser, "olduser");
    EXPECT_EQ(q7b.ftpServer, "");
    EXPECT_EQ(q7b.ftpUser, std::string(15, 'u'));
    EXPECT_EQ(q7b.ftpDirectory, "/up");
    EXPECT_EQ(q7b.alarmDurationIndex, 0);
    EXPECT_EQ(q7b.postNumbersIndex, 0);
    EXPECT_EQ(q7b.device1BaudIndex, 4);
    EXPECT_EQ(q7b.device2ModelIndex, 10);
    EXPECT_EQ(q7b.autoSntp, 1);
    EXPECT_EQ(q7b.twoWay, 1);
    EXPECT_EQ(q7b.qualityRow, 1);
    EXPECT_EQ(q7b.frameRateRow, 4);
    EXPECT_EQ(q7b.pictureWidth, 320);
    EXPECT_EQ(q7b.timerStarts[6], 0);  // timer rows are the DVR family's

    const auto dvr = LoadReadValues(config, Device("Q8A7", "1052"), 0, 0);
    EXPECT_EQ(dvr.pppoeUser, "newuser");
    EXPECT_EQ(dvr.timerStarts[6], 0x1705);
    EXPECT_EQ(LoadReadValues(config, Device("ABCD", "1052"), 0, 0).alarmDurationIndex, -1);
}

}  // namespace
