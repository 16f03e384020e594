#include "core/state/control_device.h"

#include "core/state/app_global_state.h"
#include "core/application/subsystem_services.h"

void CControlDevice::Reset() {
    std::lock_guard lock(m_lock);
    m_current = m_previous = m_count = m_currentMaster = m_currentSlave = m_retrState = 0;
    m_devices.fill(LinkedDevice{});
}

int CControlDevice::AddDevice(std::uint32_t value, std::uint8_t id, std::uint8_t type,
                              std::uint16_t kinds) {
    std::lock_guard lock(m_lock);
    if (m_count >= kMaxLinkedDevices) return -1;
    LinkedDevice& d = m_devices[m_count];
    d = LinkedDevice{};
    d.value = value;
    d.id = id;
    d.type = type;
    d.kinds = static_cast<std::uint16_t>(kinds | kDeviceValid);
    ++m_count;
    return 0;
}

int CControlDevice::MakeCurrent(std::uint16_t kindMask, int n) {
    std::lock_guard lock(m_lock);
    int seen = 0;
    for (int i = 0; i < m_count; ++i) {
        const LinkedDevice& d = m_devices[i];
        if ((d.kinds & kDeviceValid) == 0 || (d.kinds & kindMask) == 0) continue;
        if (seen++ != n) continue;
        if (i != m_current) {
            m_previous = m_current;
            m_current = static_cast<std::uint8_t>(i);
        }
        if (d.kinds & kDeviceMaster) m_currentMaster = static_cast<std::uint8_t>(i);
        if (d.kinds & kDeviceSlave) m_currentSlave = static_cast<std::uint8_t>(i);
        return 0;
    }
    return -1;
}

int CControlDevice::IsCurrentMaster() const {
    std::lock_guard lock(m_lock);
    return (m_devices[m_current].kinds & kDeviceMaster) ? 1 : 0;
}

int CControlDevice::HasLinkedDvr() const {
    std::lock_guard lock(m_lock);
    for (int i = 0; i < m_count; ++i) {
        const LinkedDevice& d = m_devices[i];
        const bool master = (d.kinds & kDeviceValid) && (d.kinds & kDeviceMaster);
        if (master && (d.type == 19 || d.type == 22 || d.type == 23)) return 1;
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
    if (index < 0 || index >= kMaxLinkedDevices) return {};
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
        settings.m_byAlarmTriggerRecord = (settings.m_byRETRAlarmRecord != 0 && stored != 0) ? 1 : 0;
        if (state != stored && state != 0) settings.m_byAlarmAutoSwitchVideo = 1;
    }
    if (state == stored) return 1;
    // The button only changes on the GUI thread; the live view queues it.
    LiveView().SetRetrStateButton(state != 0);
    StoreRetrState(state);
    return 1;
}
