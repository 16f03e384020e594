#pragma once

// Sends changed sections back to the device for the configuration sheet.
// It remembers which sections were read when the sheet opened and the bytes
// the device holds for each: a section never read is never sent (its area
// holds nothing the device gave) and a change to it counts as a failure, and
// a section whose bytes equal the device's is not sent again. A successful
// send makes the sent bytes the device's. A failed one is counted, so the
// sheet can stay open with the operator's edits and APPLY can be pressed
// again, and every byte the save routine wrote since it began goes back to
// what the device holds: a value the device refused never stays in the
// block, to stand for the device's value or to be sent along with a later
// change.

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

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
// filled for the device. Both count SYSTEM as read on older firmware too when
// the main window read it as it opened: its area holds the device's bytes.
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

    // Marks the block as it stands before a save routine writes into it: a
    // failing send puts the device's bytes back wherever they changed since.
    // Edits that pages make in place, before APPLY, are left as they are.
    void BeginChanges();

    // Sends the section when it was read and its bytes differ from the
    // device's. kNotRead and kFailed count as failures.
    Outcome Send(std::uint8_t option);

    std::span<std::uint8_t> Area(std::uint8_t option) { return AreaOf(m_config, option, m_device); }
    SystemConfigStruct& config() { return m_config; }
    const DeviceIdentity& device() const { return m_device; }
    const SectionSet& read() const { return m_read; }
    // The block as the device holds it: the sections as read, each as last
    // sent with success (sections never read: as they were at the start).
    const SystemConfigStruct& Accepted() const { return m_accepted; }

    // Failed sends since construction or the last ClearFailures.
    int FailedSends() const { return m_failed; }
    bool AnyFailed() const { return m_failed != 0; }
    void ClearFailures() { m_failed = 0; }

private:
    Outcome Fail(Outcome outcome);
    void UndoChanges();

    SystemConfigStruct& m_config;
    DeviceIdentity m_device;
    SectionSet m_read;
    Writer m_writer;
    SystemConfigStruct m_accepted;
    SystemConfigStruct m_changeStart;
    int m_failed = 0;
};
