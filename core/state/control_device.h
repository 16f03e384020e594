#pragma once

#include <array>
#include <cstdint>
#include <mutex>

// One device linked to the connected one: a master (the DVR or video server
// itself) or a slave (a camera or PTZ unit on one of its channels).
struct LinkedDevice {
    std::array<std::uint8_t, 16> reserved{};
    std::uint32_t value = 0;
    std::uint8_t id = 0;
    std::uint8_t type = 0;  // device type 0 to 25
    std::uint16_t kinds = 0;
};

inline constexpr std::uint16_t kDeviceValid = 1;
inline constexpr std::uint16_t kDeviceMaster = 2;
inline constexpr std::uint16_t kDeviceSlave = 4;
inline constexpr int kMaxLinkedDevices = 30;
// Device types index the per-family skin and control-file tables, which have
// rows 0 to 25 only.
inline constexpr std::uint8_t kMaxDeviceType = 25;

// The current-device selector over the table of up to 30 linked devices.
// The login threads fill it and the live view reads it, so every operation
// takes the object's lock.
//
// It stays in the core rather than beside the main window: it owns no widget
// (the R.E.T.R. button it mirrors is reached through the live-view services,
// which queue the change on the GUI thread), and the session login thread of
// the core fills it, so keeping it here needs no upward link and no extra
// interface.
class CControlDevice {
public:
    CControlDevice() { Reset(); }

    void Reset();
    // Adds an entry (the valid kind forced on); -1 when the table is full or
    // the type is above kMaxDeviceType (such an entry would index past the
    // family tables, so it is dropped with a trace line).
    int AddDevice(std::uint32_t value, std::uint8_t id, std::uint8_t type, std::uint16_t kinds);
    // Makes the n-th valid entry sharing a kind with the mask current; -1 when
    // none, and then the selection is left exactly as it was.
    int MakeCurrent(std::uint16_t kindMask, int n);
    // Keeps only the valid masters, in order, at the front of the table. A
    // current master keeps being current under its new index; otherwise
    // entry 0 becomes current. The R.E.T.R. state is kept.
    void KeepMasterDevices();
    int IsCurrentMaster() const;
    // Number of the current entry among the valid masters (when it is a
    // master) or else among the valid slaves below it.
    std::uint8_t GetCurrentIndexOfKind() const;
    int HasLinkedDvr() const;

    LinkedDevice GetCurrentEntry() const;
    LinkedDevice GetPreviousEntry() const;
    std::uint8_t GetCurrentType() const;
    std::uint8_t GetCurrentId() const;
    std::uint8_t GetPreviousType() const;
    std::uint8_t GetPreviousId() const;
    std::uint8_t GetCurrentMasterType() const;
    std::uint8_t GetCurrentMasterId() const;
    std::uint8_t GetCurrentSlaveType() const;
    std::uint8_t GetCurrentSlaveId() const;
    // Type of the n-th valid master / slave; 0 when there is none.
    std::uint8_t GetMasterType(std::uint8_t n) const;
    std::uint8_t GetSlaveType(std::uint8_t n) const;
    // Sets type and id of the n-th valid slave (nothing when there is none or
    // the type is above kMaxDeviceType); 1.
    int SetSlaveInfo(std::uint8_t n, std::uint8_t type, std::uint8_t id);
    std::uint8_t GetRetrState() const { return RetrState(); }

    int Count() const;
    int CurrentIndex() const;
    int PreviousIndex() const;
    int CurrentMasterIndex() const;
    int CurrentSlaveIndex() const;
    LinkedDevice Entry(int index) const;  // an empty entry for an index out of range
    std::uint8_t RetrState() const;
    void StoreRetrState(std::uint8_t state);

    // Takes the R.E.T.R. state a frame header reported; 1. First sets the
    // setting "Alarm Trigger Record" to 1 when "RETR Alarm Record" is on and
    // the state stored so far is non-zero, else to 0. Then, when the new state
    // differs from the stored one: sets "Alarm auto switch video" to 1 for a
    // non-zero state, has the main window switch its R.E.T.R. button, and
    // stores the new state. Runs on the stream receive thread; never blocks.
    int SetRetrState(std::uint8_t state);

private:
    // Index of the n-th valid entry with any bit of the mask; -1 when none.
    // The caller holds m_lock.
    int FindNth(std::uint16_t kindMask, int n) const;
    int CountBelow(std::uint16_t kind, int limit) const;

    mutable std::mutex m_lock;
    std::uint8_t m_current = 0;
    std::uint8_t m_previous = 0;
    std::uint8_t m_count = 0;
    std::uint8_t m_currentMaster = 0;
    std::uint8_t m_currentSlave = 0;
    std::uint8_t m_retrState = 0;
    std::array<LinkedDevice, kMaxLinkedDevices> m_devices{};
};
