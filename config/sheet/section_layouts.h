#pragma once

// The byte layout of every configuration section, as the device sends it
// with "/GetSysCfg.cgi" and takes it back with "/SetSysCfg.cgi". Offsets are
// inside the section; bytes no field names are carried back as they were
// read. Some fields share bytes on purpose: which one a device uses follows
// its family and firmware (see the comments at SYSTEM, RS485 and ALARM).

#include <cstddef>

#include "config/sheet/section_field.h"
#include "core/net/sys_config.h"

namespace cfg {

using K = FieldKind;

// Section sizes, from the option table.
inline constexpr std::size_t kInfSize = SysCfgSize(kSysCfgInf);
inline constexpr std::size_t kIpSize = SysCfgSize(kSysCfgIp);
inline constexpr std::size_t kSecureSize = SysCfgSize(kSysCfgSecure);
inline constexpr std::size_t kDnsSize = SysCfgSize(kSysCfgDns);
inline constexpr std::size_t kSmtpSize = SysCfgSize(kSysCfgSmtp);
inline constexpr std::size_t kFtpSize = SysCfgSize(kSysCfgFtp);
inline constexpr std::size_t kPppoeSize = SysCfgSize(kSysCfgPppoe);
inline constexpr std::size_t kSystemSize = SysCfgSize(kSysCfgSystem);
inline constexpr std::size_t kSntpSize = SysCfgSize(kSysCfgSntp);
inline constexpr std::size_t kImgSize = SysCfgSize(kSysCfgImg);
inline constexpr std::size_t kRs485Size = SysCfgSize(kSysCfgRs485);
inline constexpr std::size_t kAlarmSize = SysCfgSize(kSysCfgAlarm);
inline constexpr std::size_t kOnlineSize = SysCfgSize(kSysCfgOnline);
inline constexpr std::size_t kDvrLiveSize = SysCfgSize(kSysCfgDvrLive);
inline constexpr std::size_t kDvrOsdSize = SysCfgSize(kSysCfgDvrOsd);
inline constexpr std::size_t kDvrRecSize = SysCfgSize(kSysCfgDvrRec);
inline constexpr std::size_t kPeriSize = SysCfgSize(kSysCfgPeri);
inline constexpr std::size_t kVideoSettingSize = 16;

constexpr bool Inside(const SectionField& field, std::size_t size) {
    return field.width != 0 && field.end() <= size;
}
constexpr bool Inside(const FieldArray& array, std::size_t size) {
    return array.count != 0 && array.stride >= array.first.width && array.end() <= size;
}

// INF: read only; the device's feature bits.
namespace INF {
inline constexpr SectionField FeatureFlags{"INF.FeatureFlags", 20, 4, K::kU32};
}  // namespace INF
static_assert(Inside(INF::FeatureFlags, kInfSize));

namespace IP {
inline constexpr SectionField ServerIp{"IP.ServerIp", 4, 4, K::kIpv4};
inline constexpr SectionField NetMask{"IP.NetMask", 8, 4, K::kIpv4};
inline constexpr SectionField Gateway{"IP.Gateway", 12, 4, K::kIpv4};
inline constexpr SectionField WebPort{"IP.WebPort", 16, 2, K::kU16};
inline constexpr SectionField IpType{"IP.IpType", 22, 1, K::kByte};  // 0 static, 1 PPPoE, 2 DHCP
}  // namespace IP
static_assert(Inside(IP::IpType, kIpSize));

// PPPOE has two layouts, each in its own area: the older one for firmware
// below the product's PPPOE gate, the newer one from the gate on.
namespace PPPOE_OLD {
inline constexpr SectionField UserName{"PPPOE.UserName", 36, 16, K::kText};
inline constexpr SectionField Password{"PPPOE.Password", 52, 16, K::kText};
}  // namespace PPPOE_OLD
namespace PPPOE {
inline constexpr SectionField UserName{"PPPOE.UserName", 4, 32, K::kText};
inline constexpr SectionField Password{"PPPOE.Password", 36, 32, K::kText};
}  // namespace PPPOE
static_assert(Inside(PPPOE_OLD::Password, kPppoeSize) && Inside(PPPOE::Password, kPppoeSize));

// SECURE: five user slots.
namespace SECURE {
inline constexpr std::size_t kSlots = 5;
inline constexpr SectionField MaxUsers{"SECURE.MaxUsers", 2, 1, K::kByte};
inline constexpr FieldArray UserName{{"SECURE.UserName", 8, 16, K::kText}, 16, kSlots};
inline constexpr FieldArray Password{{"SECURE.Password", 88, 16, K::kText}, 16, kSlots};
inline constexpr FieldArray Level{{"SECURE.Level", 168, 1, K::kByte}, 1, kSlots};
inline constexpr FieldArray LifeTime{{"SECURE.LifeTime", 176, 4, K::kU32}, 4, kSlots};
}  // namespace SECURE
static_assert(Inside(SECURE::LifeTime, kSecureSize) && SECURE::UserName.end() == 88 &&
              SECURE::Password.end() == 168 && SECURE::Level.end() == 173);

namespace DNS {
inline constexpr SectionField AutoDns{"DNS.AutoDns", 3, 1, K::kByte};
inline constexpr SectionField DnsServer{"DNS.DnsServer", 4, 4, K::kIpv4};
}  // namespace DNS
static_assert(Inside(DNS::DnsServer, kDnsSize));

// SMTP: the mail settings and the dynamic-DNS settings.
namespace SMTP {
inline constexpr SectionField VerifyPassword{"SMTP.VerifyPassword", 4, 1, K::kByte};
inline constexpr SectionField DdnsEnable{"SMTP.DdnsEnable", 5, 1, K::kByte};
inline constexpr SectionField MailServer{"SMTP.MailServer", 8, 64, K::kText};
inline constexpr SectionField MailFrom{"SMTP.MailFrom", 72, 16, K::kText};
inline constexpr SectionField DdnsProvider{"SMTP.DdnsProvider", 88, 16, K::kText};
inline constexpr SectionField DdnsUser{"SMTP.DdnsUser", 104, 16, K::kText};
inline constexpr SectionField DdnsPassword{"SMTP.DdnsPassword", 120, 16, K::kText};
inline constexpr FieldArray AlarmMail{{"SMTP.AlarmMail", 136, 48, K::kText}, 48, 4};
inline constexpr SectionField DdnsDomain{"SMTP.DdnsDomain", 328, 48, K::kText};
inline constexpr SectionField MailUser{"SMTP.MailUser", 376, 32, K::kText};
inline constexpr SectionField MailPassword{"SMTP.MailPassword", 408, 32, K::kText};
}  // namespace SMTP
static_assert(Inside(SMTP::MailPassword, kSmtpSize) && SMTP::AlarmMail.end() == 328 &&
              SMTP::MailPassword.end() == kSmtpSize);

namespace FTP {
inline constexpr SectionField Server{"FTP.Server", 4, 32, K::kText};
inline constexpr SectionField User{"FTP.User", 36, 16, K::kText};
inline constexpr SectionField Password{"FTP.Password", 52, 16, K::kText};
inline constexpr SectionField Directory{"FTP.Directory", 68, 32, K::kText};
inline constexpr SectionField Port{"FTP.Port", 100, 2, K::kU16};
}  // namespace FTP
static_assert(Inside(FTP::Port, kFtpSize));

// SYSTEM: the sender's continuation (Q3A2, Q7B family, Q9C0 from firmware
// "1003") and the device title (DVR family, Q3A2 from "1010") share bytes
// 20..35. Where a device has both, the continuation keeps to the bytes
// below the title (MailFromMoreBelowTitle).
namespace SYSTEM {
inline constexpr SectionField MailFromMore{"SYSTEM.MailFromMore", 4, 32, K::kText};
inline constexpr SectionField MailFromMoreBelowTitle{"SYSTEM.MailFromMore", 4, 16, K::kText};
inline constexpr SectionField Title{"SYSTEM.Title", 20, 16, K::kText};
}  // namespace SYSTEM
static_assert(Inside(SYSTEM::MailFromMore, kSystemSize) && Inside(SYSTEM::Title, kSystemSize) &&
              SYSTEM::MailFromMoreBelowTitle.end() == SYSTEM::Title.offset);

// SNTP: bytes 8..35 hold the sender's continuation on DVR-family devices
// from firmware "1027" (which have no SNTP page), the server otherwise.
namespace SNTP {
inline constexpr SectionField GmtHours{"SNTP.GmtHours", 2, 1, K::kSignedByte};
inline constexpr SectionField GmtMinutes{"SNTP.GmtMinutes", 3, 1, K::kSignedByte};
inline constexpr SectionField ZoneIndex{"SNTP.ZoneIndex", 5, 1, K::kByte};
inline constexpr SectionField SyncMode{"SNTP.SyncMode", 6, 1, K::kByte};
inline constexpr SectionField Server{"SNTP.Server", 8, 28, K::kText};
inline constexpr SectionField MailFromMore{"SNTP.MailFromMore", 8, 28, K::kText};
}  // namespace SNTP
static_assert(Inside(SNTP::Server, kSntpSize) && SNTP::Server.end() == kSntpSize);

// RS485: sixteen channels on the DVR family; a Q3A2 from firmware "1010"
// keeps two channel names in bytes 44..59 instead.
namespace RS485 {
inline constexpr std::size_t kChannels = 16;
inline constexpr FieldArray DeviceId{{"RS485.DeviceId", 12, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray DeviceType{{"RS485.DeviceType", 28, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Protocol{{"RS485.Protocol", 44, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray BaudRate{{"RS485.BaudRate", 60, 4, K::kU32}, 4, kChannels};
inline constexpr SectionField Ch1Name{"RS485.Ch1Name", 44, 8, K::kText};
inline constexpr SectionField Ch2Name{"RS485.Ch2Name", 52, 8, K::kText};
// The bytes the two names share with the protocols.
inline constexpr SectionField ChannelNames{"RS485.ChannelNames", 44, 16, K::kBytes};
}  // namespace RS485
static_assert(Inside(RS485::BaudRate, kRs485Size) && RS485::BaudRate.end() == kRs485Size &&
              RS485::Ch2Name.end() == RS485::ChannelNames.end());

// ALARM: byte 9 is the video source on Q3A2, the Q7B family and Q9C0, and
// the alarm input of the second channel (ch 1) on the DVR family.
namespace ALARM {
inline constexpr SectionField PostNumbers{"ALARM.PostNumbers", 2, 1, K::kByte};
inline constexpr SectionField Method{"ALARM.Method", 3, 1, K::kByte};
inline constexpr SectionField ImageSize{"ALARM.ImageSize", 5, 1, K::kByte};
inline constexpr SectionField Duration{"ALARM.Duration", 6, 2, K::kU16};
inline constexpr FieldArray AlarmInput{{"ALARM.AlarmInput", 8, 1, K::kByte}, 1, 16};
inline constexpr SectionField VideoSource{"ALARM.VideoSource", 9, 1, K::kByte};
}  // namespace ALARM
static_assert(Inside(ALARM::AlarmInput, kAlarmSize) && ALARM::AlarmInput.end() == kAlarmSize);

// ONLINE: read only, ten records of 24 bytes.
namespace ONLINE {
inline constexpr std::size_t kRecords = 10;
inline constexpr FieldArray UserName{{"ONLINE.UserName", 0, 16, K::kText}, 24, kRecords};
inline constexpr FieldArray Address{{"ONLINE.Address", 16, 4, K::kIpv4}, 24, kRecords};
inline constexpr FieldArray Level{{"ONLINE.Level", 20, 1, K::kByte}, 24, kRecords};
inline constexpr FieldArray Channel{{"ONLINE.Channel", 21, 1, K::kByte}, 24, kRecords};
inline constexpr FieldArray Resolution{{"ONLINE.Resolution", 22, 1, K::kByte}, 24, kRecords};
inline constexpr FieldArray Quality{{"ONLINE.Quality", 23, 1, K::kByte}, 24, kRecords};
}  // namespace ONLINE
static_assert(Inside(ONLINE::Quality, kOnlineSize) && ONLINE::Quality.end() == kOnlineSize);

// DVRLIVE: the DVR family's cameras and motion detection, ch = 0..15.
namespace DVRLIVE {
inline constexpr std::size_t kChannels = 16;
inline constexpr FieldArray Brightness{{"DVRLIVE.Brightness", 4, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Contrast{{"DVRLIVE.Contrast", 20, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Hue{{"DVRLIVE.Hue", 36, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Saturation{{"DVRLIVE.Saturation", 52, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Covert{{"DVRLIVE.Covert", 84, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Title{{"DVRLIVE.Title", 116, 6, K::kText}, 6, kChannels};
inline constexpr FieldArray Detect{{"DVRLIVE.Detect", 308, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Ls{{"DVRLIVE.Ls", 324, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Ss{{"DVRLIVE.Ss", 340, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Ts{{"DVRLIVE.Ts", 356, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Re{{"DVRLIVE.Re", 372, 1, K::kByte}, 1, kChannels};
inline constexpr FieldArray Area{{"DVRLIVE.Area", 388, 24, K::kBytes}, 24, kChannels};
}  // namespace DVRLIVE
static_assert(Inside(DVRLIVE::Area, kDvrLiveSize) && DVRLIVE::Area.end() == kDvrLiveSize &&
              DVRLIVE::Title.end() == 212 && DVRLIVE::Saturation.end() == 68);

// DVRREC: the DVR family's recording switches and seven timer rows.
namespace DVRREC {
inline constexpr std::size_t kTimerRows = 7;
inline constexpr FieldArray Record{{"DVRREC.Record", 20, 1, K::kByte}, 1, 16};
inline constexpr FieldArray TimerMode{{"DVRREC.TimerMode", 87, 1, K::kByte}, 1, kTimerRows};
inline constexpr FieldArray TimerStart{{"DVRREC.TimerStart", 94, 2, K::kU16}, 2, kTimerRows};
inline constexpr FieldArray TimerEnd{{"DVRREC.TimerEnd", 108, 2, K::kU16}, 2, kTimerRows};
}  // namespace DVRREC
static_assert(Inside(DVRREC::TimerEnd, kDvrRecSize) && DVRREC::TimerMode.end() == 94 &&
              DVRREC::TimerStart.end() == 108 && DVRREC::TimerEnd.end() == 122);

// PERI: two serial peripherals.
namespace PERI {
inline constexpr SectionField Model1{"PERI.Model1", 2, 1, K::kByte};
inline constexpr SectionField Model2{"PERI.Model2", 3, 1, K::kByte};
inline constexpr SectionField Baud1{"PERI.Baud1", 4, 4, K::kU32};
inline constexpr SectionField Baud2{"PERI.Baud2", 8, 4, K::kU32};
inline constexpr SectionField Id1{"PERI.Id1", 12, 1, K::kByte};
inline constexpr SectionField Id2{"PERI.Id2", 13, 1, K::kByte};
}  // namespace PERI
static_assert(Inside(PERI::Id2, kPeriSize));

// The 16-byte video-setting block that no section transfer carries.
namespace VIDEO {
inline constexpr SectionField TwoWay{"VIDEO.TwoWay", 2, 1, K::kByte};
inline constexpr SectionField FrameRate{"VIDEO.FrameRate", 4, 2, K::kU16};
inline constexpr SectionField WidthCode{"VIDEO.WidthCode", 7, 1, K::kByte};
inline constexpr SectionField HeightCode{"VIDEO.HeightCode", 8, 1, K::kByte};
inline constexpr SectionField WidthUnits{"VIDEO.WidthUnits", 9, 1, K::kByte};
inline constexpr SectionField HeightUnits{"VIDEO.HeightUnits", 10, 1, K::kByte};
inline constexpr SectionField Quality{"VIDEO.Quality", 11, 1, K::kByte};
inline constexpr SectionField SmallWidth{"VIDEO.SmallWidth", 12, 1, K::kByte};
}  // namespace VIDEO
static_assert(Inside(VIDEO::SmallWidth, kVideoSettingSize));

}  // namespace cfg
