#include "core/state/control_device.h"

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/state/app_global_state.h"

#include <string>

namespace {

bool IsValidOf(const LinkedDevice& d, std::uint16_t kind) {
    return (d.kinds & kDeviceValid) != 0 && (d.kinds & kind) != 0;
}

}  // namespace

void CControlDevice::Reset() {
    std::lock_guard lock(m_lock);
    m_current = m_previous = m_count = m_currentMaster = m_currentSlave = m_retrState = 0;
    m_devices.fill(LinkedDevice{});
}

int CControlDevice::AddDevice(std::uint32_t value, std::uint8_t id, std::uint8_t type,
                              std::uint16_t kinds) {
    if (type > kMaxDeviceType) {
        WriteTraceLine("linked device of unknown type " + std::to_string(type) + " is not added");
        return -1;
    }
    std::lock_guard lock(m_lock);
    if (m_count >= kMaxLinkedDevices)
        return -1;
    LinkedDevice& d = m_devices[m_count];
    d = LinkedDevice{};
    d.value = value;
    d.id = id;
    d.type = type;
    d.kinds = static_cast<std::uint16_t>(kinds | kDeviceValid);
    ++m_count;
    return 0;
}

int CControlDevice::FindNth(std::uint16_t kindMask, int n) const {
    if (n < 0)
        return -1;
    int seen = 0;
    for (int i = 0; i < kMaxLinkedDevices; ++i) {
        if (!IsValidOf(m_devices[i], kindMask))
            continue;
        if (seen++ == n)
            return i;
    }
    return -1;
}

int CControlDevice::CountBelow(std::uint16_t kind, int limit) const {
    int count = 0;
    for (int i = 0; i < limit && i < kMaxLinkedDevices; ++i) {
        if (IsValidOf(m_devices[i], kind))
            ++count;
    }
    return count;
}

int CControlDevice::MakeCurrent(std::uint16_t kindMask, int n) {
    std::lock_guard lock(m_lock);
    const int i = FindNth(kindMask, n);
    if (i < 0)
        return -1;
    const LinkedDevice& d = m_devices[i];
    if (i != m_current) {
        m_previous = m_current;
        m_current = static_cast<std::uint8_t>(i);
    }
    if (d.kinds & kDeviceMaster)
        m_currentMaster = static_cast<std::uint8_t>(i);
    if (d.kinds & kDeviceSlave)
        m_currentSlave = static_cast<std::uint8_t>(i);
    return 0;
}

void CControlDevice::KeepMasterDevices() {
    std::lock_guard lock(m_lock);
    const bool currentWasMaster = (m_devices[m_current].kinds & kDeviceMaster) != 0;
    const auto number = static_cast<std::uint8_t>(CountBelow(kDeviceMaster, m_current));
    std::array<LinkedDevice, kMaxLinkedDevices> kept{};
    std::uint8_t count = 0;
    for (const LinkedDevice& d : m_devices) {
        if (IsValidOf(d, kDeviceMaster))
            kept[count++] = d;
    }
    m_devices = kept;
    m_count = count;
    m_current = m_currentMaster = currentWasMaster ? number : 0;
    m_previous = m_currentSlave = 0;
}

std::uint8_t CControlDevice::GetCurrentIndexOfKind() const {
    std::lock_guard lock(m_lock);
    const bool master = (m_devices[m_current].kinds & kDeviceMaster) != 0;
    return static_cast<std::uint8_t>(CountBelow(master ? kDeviceMaster : kDeviceSlave, m_current));
}

LinkedDevice CControlDevice::GetCurrentEntry() const {
    std::lock_guard lock(m_lock);
    return m_devices[m_current];
}

LinkedDevice CControlDevice::GetPreviousEntry() const {
    std::lock_guard lock(m_lock);
    return m_devices[m_previous];
}

std::uint8_t CControlDevice::GetCurrentType() const {
    return GetCurrentEntry().type;
}
std::uint8_t CControlDevice::GetCurrentId() const {
    return GetCurrentEntry().id;
}
std::uint8_t CControlDevice::GetPreviousType() const {
    return GetPreviousEntry().type;
}
std::uint8_t CControlDevice::GetPreviousId() const {
    return GetPreviousEntry().id;
}

std::uint8_t CControlDevice::GetCurrentMasterType() const {
    std::lock_guard lock(m_lock);
    return m_devices[m_currentMaster].type;
}

std::uint8_t CControlDevice::GetCurrentMasterId() const {
    std::lock_guard lock(m_lock);
    return m_devices[m_currentMaster].id;
}

std::uint8_t CControlDevice::GetCurrentSlaveType() const {
    std::lock_guard lock(m_lock);
    return m_devices[m_currentSlave].type;
}

std::uint8_t CControlDevice::GetCurrentSlaveId() const {
    std::lock_guard lock(m_lock);
    return m_devices[m_currentSlave].id;
}

std::uint8_t CControlDevice::GetMasterType(std::uint8_t n) const {
    std::lock_guard lock(m_lock);
    const int i = FindNth(kDeviceMaster, n);
    return i < 0 ? 0 : m_devices[i].type;
}

std::uint8_t CControlDevice::GetSlaveType(std::uint8_t n) const {
    std::lock_guard lock(m_lock);
    const int i = FindNth(kDeviceSlave, n);
    return i < 0 ? 0 : m_devices[i].type;
}

int CControlDevice::SetSlaveInfo(std::uint8_t n, std::uint8_t type, std::uint8_t id) {
    if (type > kMaxDeviceType) {
        WriteTraceLine("linked device of unknown type " + std::to_string(type) + " is not set");
        return 1;
    }
    std::lock_guard lock(m_lock);
    const int i = FindNth(kDeviceSlave, n);
    if (i >= 0) {
        m_devices[i].type = type;
        m_devices[i].id = id;
    }
    return 1;
}

int CControlDevice::IsCurrentMaster() const {
    std::lock_guard lock(m_lock);
    return (m_devices[m_current].kinds & kDeviceMaster) ? 1 : 0;
}

int CControlDevice::HasLinkedDvr() const {
    std::lock_guard lock(m_lock);
    for (int i = 0; i < m_count; ++i) {
        const LinkedDevice& d = m_devices[i];
        const bool master = IsValidOf(d, kDeviceMaster);
        if (master && (d.type == 19 || d.type == 22 || d.type == 23))
            return 1;
    }
    return 0;
}

int CControlDevice::Count() const {
    std::lock_guard lock(m_lock);
    return m_count;
}

int CControlDevice::CurrentIndex() const {
    std::lock_guard lock(m_lock);
    return m_current;
}

int CControlDevice::PreviousIndex() const {
    std::lock_guard lock(m_lock);
    return m_previous;
}

int CControlDevice::CurrentMasterIndex() const {
    std::lock_guard lock(m_lock);
    return m_currentMaster;
}

int CControlDevice::CurrentSlaveIndex() const {
    std::lock_guard lock(m_lock);
    return m_currentSlave;
}

LinkedDevice CControlDevice::Entry(int index) const {
    std::lock_guard lock(m_lock);
    if (index < 0 || index >= kMaxLinkedDevices)
        return {};
    return m_devices[index];
}

std::uint8_t CControlDevice::RetrState() const {
    std::lock_guard lock(m_lock);
    return m_retrState;
}

void CControlDevice::StoreRetrState(std::uint8_t state) {
    std::lock_guard lock(m_lock);
    m_retrState = state;
}

int CControlDevice::SetRetrState(std::uint8_t state) {
    std::uint8_t stored = 0;
    {
        std::lock_guard lock(m_lock);
        stored = m_retrState;
    }
    if (g_lpApp != nullptr) {
        ::CSettingINI& settings = g_lpApp->CSettingINI;
        settings.m_byAlarmTriggerRecord =
            (settings.m_byRETRAlarmRecord != 0 && stored != 0) ? 1 : 0;
        if (state != stored && state != 0)
            settings.m_byAlarmAutoSwitchVideo = 1;
    }
    if (state == stored)
        return 1;
    // The button toggles from the old state; it only changes on the GUI
    // thread, so the live view queues it.
    LiveView().SetRetrStateButton(stored == 0);
    StoreRetrState(state);
    return 1;
}
