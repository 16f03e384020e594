#include "config/sheet/section_sender.h"

#include <algorithm>

#include "core/net/sys_config.h"
#include "core/state/app_global_state.h"

namespace {

constexpr std::array kServerAllSections{
    kSysCfgInf,   kSysCfgIp,    kSysCfgSecure, kSysCfgDns,    kSysCfgSmtp,
    kSysCfgFtp,   kSysCfgPppoe, kSysCfgSystem, kSysCfgSntp,   kSysCfgImg,
    kSysCfgRs485, kSysCfgAlarm, kSysCfgPeri,   kSysCfgOnline,
};
constexpr std::array kDvrAllSections{
    kSysCfgInf,     kSysCfgIp,     kSysCfgSecure, kSysCfgDns,    kSysCfgSmtp,  kSysCfgFtp,
    kSysCfgPppoe,   kSysCfgSystem, kSysCfgSntp,   kSysCfgImg,    kSysCfgRs485, kSysCfgAlarm,
    kSysCfgDvrLive, kSysCfgDvrOsd, kSysCfgDvrRec, kSysCfgOnline,
};

// Section by section on older firmware, in this order.
constexpr std::array kServerSingleReads{
    kSysCfgIp,    kSysCfgOnline, kSysCfgAlarm, kSysCfgSecure, kSysCfgSmtp, kSysCfgFtp,
    kSysCfgRs485, kSysCfgPeri,   kSysCfgSntp,  kSysCfgPppoe,  kSysCfgDns,
};
constexpr std::array kDvrSingleReads{
    kSysCfgIp,    kSysCfgOnline,  kSysCfgAlarm,  kSysCfgSecure, kSysCfgSmtp, kSysCfgFtp,
    kSysCfgRs485, kSysCfgDvrLive, kSysCfgDvrRec, kSysCfgPppoe,  kSysCfgDns,
};

template <std::size_t N>
SectionSet SetOf(const std::array<SysCfgOptionIndex, N>& options) {
    SectionSet set;
    for (const auto option : options) {
        set.set(option);
    }
    return set;
}

// Older firmware is read section by section: the video servers below
// "0003", the others below "1024".
bool ReadsSectionBySection(const DeviceIdentity& device) {
    return device.IsServerFamily() ? !device.Meets("0003") : !device.Meets("1024");
}

// The main window reads SYSTEM as it opens (for its title); on firmware read
// section by section that read is the only one of SYSTEM.
SectionSet WithSystemReadAtOpening(SectionSet read) {
    if (g_lpApp != nullptr && g_lpApp->f_SystemSectionRead.load()) {
        read.set(kSysCfgSystem);
    }
    return read;
}

}  // namespace

SectionSet SectionsOfAllRead(const DeviceIdentity& device) {
    // Products of neither family get the DVR layout's split.
    return device.IsServerFamily() ? SetOf(kServerAllSections) : SetOf(kDvrAllSections);
}

std::optional<SectionSet> ReadConfigurationForSheet(const DeviceIdentity& device) {
    if (g_lpApp == nullptr) {
        return std::nullopt;
    }
    SystemConfigStruct& config = g_lpApp->SystemConfigStruct;
    if (!ReadsSectionBySection(device)) {
        if (ReadSysCfgSection(kSysCfgAll, {}) == 0) {
            return std::nullopt;
        }
        return SectionsOfAllRead(device);
    }
    const auto reads =
        [&]<std::size_t N>(
            const std::array<SysCfgOptionIndex, N>& options) -> std::optional<SectionSet> {
        for (const auto option : options) {
            const auto area = AreaOf(config, option, device);
            if (option == kSysCfgOnline) {
                std::fill(area.begin(), area.end(), std::uint8_t{0});
            }
            if (ReadSysCfgSection(option, area) == 0) {
                return std::nullopt;
            }
        }
        return WithSystemReadAtOpening(SetOf(options));
    };
    return device.IsServerFamily() ? reads(kServerSingleReads) : reads(kDvrSingleReads);
}

SectionSet SectionsOfConfigurationRead(const DeviceIdentity& device) {
    if (!ReadsSectionBySection(device)) {
        return SectionsOfAllRead(device);
    }
    return WithSystemReadAtOpening(device.IsServerFamily() ? SetOf(kServerSingleReads)
                                                           : SetOf(kDvrSingleReads));
}

SectionSender::SectionSender(SystemConfigStruct& config, DeviceIdentity device, SectionSet read,
                             Writer writer)
    : m_config(config),
      m_device(std::move(device)),
      m_read(read),
      m_writer(std::move(writer)),
      m_accepted(config),
      m_changeStart(config) {
    if (!m_writer) {
        m_writer = [](std::uint8_t option, std::span<const std::uint8_t> bytes) {
            return WriteSysCfgSection(option, bytes);
        };
    }
}

void SectionSender::BeginChanges() {
    m_changeStart = m_config;
}

SectionSender::Outcome SectionSender::Send(std::uint8_t option) {
    if (option >= kSysCfgAll || !m_read.test(option)) {
        // Its other bytes are not the device's: sending it would overwrite
        // them, and keeping the change would pretend the device took it.
        return Fail(Outcome::kNotRead);
    }
    const auto area = Area(option);
    const auto accepted = AreaOf(m_accepted, option, m_device);
    if (std::equal(area.begin(), area.end(), accepted.begin(), accepted.end())) {
        return Outcome::kUnchanged;
    }
    if (m_writer(option, area) == 0) {
        return Fail(Outcome::kFailed);
    }
    std::copy(area.begin(), area.end(), accepted.begin());
    return Outcome::kSent;
}

SectionSender::Outcome SectionSender::Fail(Outcome outcome) {
    ++m_failed;
    UndoChanges();
    return outcome;
}

void SectionSender::UndoChanges() {
    for (std::uint8_t option = 0; option < kSysCfgAll; ++option) {
        const auto area = Area(option);
        const auto start = AreaOf(m_changeStart, option, m_device);
        const auto accepted = AreaOf(m_accepted, option, m_device);
        for (std::size_t i = 0; i < area.size(); ++i) {
            if (area[i] != start[i]) {
                area[i] = accepted[i];
            }
        }
    }
    m_changeStart = m_config;
}
