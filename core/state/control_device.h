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

// The current-device selector over the table of up to 30 linked devices.
// The login threads fill it and the live view reads it, so every operation
// takes the object's lock.
class CControlDevice {
public:
    CControlDevice() { Reset(); }

    void Reset();
    // Adds an entry (the valid kind forced on); -1 when the table is full.
    int AddDevice(std::uint32_t value, std::uint8_t id, std::uint8_t type, std::uint16_t kinds);
    // Makes the n-th valid entry sharing a kind with the mask current; -1 when none.
    int MakeCurrent(std::uint16_t kindMask, int n);
    int IsCurrentMaster() const;
    int HasLinkedDvr() const;

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
    mutable std::mutex m_lock;
    std::uint8_t m_current = 0;
    std::uint8_t m_previous = 0;
    std::uint8_t m_count = 0;
    std::uint8_t m_currentMaster = 0;
    std::uint8_t m_currentSlave = 0;
    std::uint8_t m_retrState = 0;
    std::array<LinkedDevice, kMaxLinkedDevices> m_devices{};
};
