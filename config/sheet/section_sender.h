#pragma once

// Sends changed sections back to the device for the configuration sheet.
// It remembers which sections were read when the sheet opened and the bytes
// the device holds for each: a section never read is never sent (its area
// holds nothing the device gave), and a section whose bytes equal the
// device's is not sent again. A successful send makes the sent bytes the
// device's; a failed one is counted, so the sheet can stay open with the
// operator's edits and APPLY can be pressed again.

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "config/sheet/read_values.h"

using SectionSet = std::bitset<kSysCfgAll>;

// The sections one "ALL" read fills for the device's family.
SectionSet SectionsOfAllRead(const DeviceIdentity& device);

// Reads the configuration as the sheet's opener does: one "ALL" read, or
// section by section on older firmware (the video servers below "0003", the
// others below "1024"). Each step must succeed; the sections read, or none
// when a step failed.
std::optional<SectionSet> ReadConfigurationForSheet(const DeviceIdentity& device);

// The sections that a successful ReadConfigurationForSheet (or the main
// window's read of the configuration, which follows the same rules) has
// filled for the device.
SectionSet SectionsOfConfigurationRead(const DeviceIdentity& device);

class SectionSender {
public:
    // Writes one section; 1 on success. The default is WriteSysCfgSection.
    using Writer = std::function<int(std::uint8_t option, std::span<const std::uint8_t> bytes)>;

    enum class Outcome { kSent, kUnchanged, kNotRead, kFailed };

    // Takes the bytes of every section read as the device's. Construct it
    // right after the read, before LoadReadValues, a page or a save routine
    // changes the block.
    SectionSender(SystemConfigStruct& config, DeviceIdentity device, SectionSet read,
                  Writer writer = {});

    // Sends the section when it was read and its bytes differ from the
    // device's.
    Outcome Send(std::uint8_t option);

    std::span<std::uint8_t> Area(std::uint8_t option) { return AreaOf(m_config, option, m_device); }
    SystemConfigStruct& config() { return m_config; }
    const DeviceIdentity& device() const { return m_device; }
    const SectionSet& read() const { return m_read; }

    // Failed sends since construction or the last ClearFailures.
    int FailedSends() const { return m_failed; }
    bool AnyFailed() const { return m_failed != 0; }
    void ClearFailures() { m_failed = 0; }

private:
    SystemConfigStruct& m_config;
    DeviceIdentity m_device;
    SectionSet m_read;
    Writer m_writer;
    std::array<std::vector<std::uint8_t>, kSysCfgAll> m_deviceBytes;
    int m_failed = 0;
};
