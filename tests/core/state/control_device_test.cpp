#include "core/state/control_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "tests/support/core/global_state.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"

namespace {

struct Add {
    std::uint8_t id;
    std::uint8_t type;
    std::uint16_t kinds;
};

// One table-building case: the entries added, then one MakeCurrent (or none),
// then the selection state expected.
struct SelectCase {
    const char* name;
    std::vector<Add> adds;
    std::uint16_t mask;
    int n;
    int result;
    int current, previous, currentMaster, currentSlave;
    int indexOfKind;
};

class ControlDeviceSelectTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(ControlDeviceSelectTest, SelectsAsTheTableSays) {
    const SelectCase& c = GetParam();
    CControlDevice devices;
    for (const Add& a : c.adds) ASSERT_EQ(devices.AddDevice(2400, a.id, a.type, a.kinds), 0);
    EXPECT_EQ(devices.MakeCurrent(c.mask, c.n), c.result);
    EXPECT_EQ(devices.CurrentIndex(), c.current);
    EXPECT_EQ(devices.PreviousIndex(), c.previous);
    EXPECT_EQ(devices.CurrentMasterIndex(), c.currentMaster);
    EXPECT_EQ(devices.CurrentSlaveIndex(), c.currentSlave);
    EXPECT_EQ(devices.GetCurrentIndexOfKind(), c.indexOfKind);
}

const std::vector<Add> kThreeMastersOneSlave = {
    {0, 19, kDeviceMaster}, {1, 8, kDeviceMaster}, {2, 8, kDeviceMaster}, {7, 11, kDeviceSlave}};

INSTANTIATE_TEST_SUITE_P(
    Cases, ControlDeviceSelectTest,
    ::testing::Values(
        SelectCase{"OnlyMasterKeepsPrevious",
                   {{0, 14, kDeviceMaster}},
                   kDeviceMaster,
                   0,
                   0,
                   0,
                   0,
                   0,
                   0,
                   0},
        SelectCase{"SlaveAfterMasters", kThreeMastersOneSlave, kDeviceSlave, 0, 0, 3, 0, 0, 3, 0},
        SelectCase{"SecondMaster", kThreeMastersOneSlave, kDeviceMaster, 2, 0, 2, 0, 2, 0, 2},
        SelectCase{"EitherKindCountsBoth", kThreeMastersOneSlave, kDeviceMaster | kDeviceSlave, 3,
                   0, 3, 0, 0, 3, 0},
        SelectCase{"NoSuchMasterLeavesSelection", kThreeMastersOneSlave, kDeviceMaster, 3, -1, 0, 0,
                   0, 0, 0},
        SelectCase{"NoSlaveAtAll", {{0, 14, kDeviceMaster}}, kDeviceSlave, 0, -1, 0, 0, 0, 0, 0},
        SelectCase{"EmptyTable", {}, kDeviceMaster, 0, -1, 0, 0, 0, 0, 0}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(ControlDeviceTest, FullTableAndUnknownTypesAreRefused) {
    CControlDevice devices;
    EXPECT_EQ(devices.AddDevice(0, 1, 26, kDeviceMaster), -1);
    EXPECT_EQ(devices.AddDevice(0, 1, 255, kDeviceSlave), -1);
    EXPECT_EQ(devices.Count(), 0);
    for (int i = 0; i < kMaxLinkedDevices; ++i) {
        ASSERT_EQ(devices.AddDevice(0, static_cast<std::uint8_t>(i), 25, 0), 0);
    }
    EXPECT_EQ(devices.AddDevice(0, 99, 1, kDeviceMaster), -1);
    EXPECT_EQ(devices.Count(), kMaxLinkedDevices);
    EXPECT_EQ(devices.Entry(kMaxLinkedDevices - 1).id, kMaxLinkedDevices - 1);
    // Added with no kind they are valid only, so no kind mask finds them.
    EXPECT_EQ(devices.MakeCurrent(kDeviceMaster, 0), -1);

    devices.Reset();
    ASSERT_EQ(devices.AddDevice(0, 4, 11, kDeviceSlave), 0);
    devices.SetSlaveInfo(0, 40, 9);  // an unknown type never lands in the table
    EXPECT_EQ(devices.GetSlaveType(0), 11);
    devices.SetSlaveInfo(0, 18, 9);
    EXPECT_EQ(devices.GetSlaveType(0), 18);
    EXPECT_EQ(devices.Entry(0).id, 9);
    devices.SetSlaveInfo(1, 18, 9);  // no second slave: nothing happens
    EXPECT_EQ(devices.Count(), 1);
}

TEST(ControlDeviceTest, GettersFollowTheSelection) {
    CControlDevice devices;
    EXPECT_EQ(devices.GetCurrentType(), 0);  // an empty table reads a zero entry
    EXPECT_EQ(devices.GetCurrentId(), 0);
    EXPECT_EQ(devices.IsCurrentMaster(), 0);
    for (const Add& a : kThreeMastersOneSlave) devices.AddDevice(2400, a.id, a.type, a.kinds);
    ASSERT_EQ(devices.MakeCurrent(kDeviceMaster, 1), 0);
    ASSERT_EQ(devices.MakeCurrent(kDeviceSlave, 0), 0);
    EXPECT_EQ(devices.GetCurrentType(), 11);
    EXPECT_EQ(devices.GetCurrentId(), 7);
    EXPECT_EQ(devices.GetPreviousType(), 8);
    EXPECT_EQ(devices.GetPreviousId(), 1);
    EXPECT_EQ(devices.GetCurrentMasterType(), 8);
    EXPECT_EQ(devices.GetCurrentMasterId(), 1);
    EXPECT_EQ(devices.GetCurrentSlaveType(), 11);
    EXPECT_EQ(devices.GetCurrentSlaveId(), 7);
    EXPECT_EQ(devices.GetMasterType(0), 19);
    EXPECT_EQ(devices.GetMasterType(3), 0);
    EXPECT_EQ(devices.GetSlaveType(0), 11);
    EXPECT_EQ(devices.GetSlaveType(1), 0);
    EXPECT_EQ(devices.GetCurrentEntry().value, 2400u);
    EXPECT_EQ(devices.IsCurrentMaster(), 0);
}

TEST(ControlDeviceTest, KeepMasterDevicesCompactsAndReselects) {
    CControlDevice devices;
    // Slave, master, slave, master: masters move to the front in order.
    devices.AddDevice(0, 1, 11, kDeviceSlave);
    devices.AddDevice(0, 2, 19, kDeviceMaster);
    devices.AddDevice(0, 3, 11, kDeviceSlave);
    devices.AddDevice(0, 4, 8, kDeviceMaster);
    devices.StoreRetrState(1);

    ASSERT_EQ(devices.MakeCurrent(kDeviceMaster, 1), 0);  // entry 3
    devices.KeepMasterDevices();
    EXPECT_EQ(devices.Count(), 2);
    EXPECT_EQ(devices.Entry(0).id, 2);
    EXPECT_EQ(devices.Entry(1).id, 4);
    EXPECT_EQ(devices.Entry(2).kinds, 0);
    EXPECT_EQ(devices.Entry(3).kinds, 0);
    EXPECT_EQ(devices.CurrentIndex(), 1);
    EXPECT_EQ(devices.CurrentMasterIndex(), 1);
    EXPECT_EQ(devices.PreviousIndex(), 0);
    EXPECT_EQ(devices.CurrentSlaveIndex(), 0);
    EXPECT_EQ(devices.GetRetrState(), 1);

    devices.AddDevice(0, 5, 11, kDeviceSlave);
    ASSERT_EQ(devices.MakeCurrent(kDeviceSlave, 0), 0);
    devices.KeepMasterDevices();
    EXPECT_EQ(devices.Count(), 2);
    EXPECT_EQ(devices.CurrentIndex(), 0);
    EXPECT_EQ(devices.CurrentMasterIndex(), 0);
    EXPECT_EQ(devices.Entry(2).id, 0);
}

TEST(ControlDeviceTest, HasLinkedDvrOnlyCountsAddedValidMasters) {
    CControlDevice devices;
    devices.AddDevice(0, 0, 19, kDeviceSlave);
    devices.AddDevice(0, 0, 8, kDeviceMaster);
    EXPECT_EQ(devices.HasLinkedDvr(), 0);
    for (std::uint8_t type : {std::uint8_t{19}, std::uint8_t{22}, std::uint8_t{23}}) {
        CControlDevice one;
        one.AddDevice(0, 0, type, kDeviceMaster);
        EXPECT_EQ(one.HasLinkedDvr(), 1) << int{type};
    }
}

// Records the R.E.T.R. button changes the table asks the live view for.
class RetrStateTest : public test_support::GlobalStateTest {
protected:
    test_support::RecordingLiveView view;
    test_support::ScopedLiveViewRegistration registered{view};
};

TEST_F(RetrStateTest, ChangesFlipTheButtonAndTheTriggerFollowsTheOldState) {
    CControlDevice& devices = g_lpApp->C_ControlD;
    auto& settings = g_lpApp->CSettingINI;
    settings.m_byRETRAlarmRecord = 1;
    settings.m_byAlarmTriggerRecord = 1;
    settings.m_byAlarmAutoSwitchVideo = 0;

    EXPECT_EQ(devices.SetRetrState(0), 1);  // unchanged: no button, trigger recomputed
    EXPECT_TRUE(view.RetrButtons().empty());
    EXPECT_EQ(settings.m_byAlarmTriggerRecord, 0);

    EXPECT_EQ(devices.SetRetrState(2), 1);
    EXPECT_EQ(view.RetrButtons(), std::vector<bool>{true});
    EXPECT_EQ(settings.m_byAlarmAutoSwitchVideo, 1);
    EXPECT_EQ(settings.m_byAlarmTriggerRecord, 0);  // computed from the old state 0
    EXPECT_EQ(devices.GetRetrState(), 2);

    EXPECT_EQ(devices.SetRetrState(2), 1);
    EXPECT_EQ(view.RetrButtons().size(), 1u);
    EXPECT_EQ(settings.m_byAlarmTriggerRecord, 1);

    settings.m_byAlarmAutoSwitchVideo = 0;
    EXPECT_EQ(devices.SetRetrState(0), 1);
    EXPECT_EQ(view.RetrButtons(), (std::vector<bool>{true, false}));
    EXPECT_EQ(settings.m_byAlarmAutoSwitchVideo, 0);
    EXPECT_EQ(devices.GetRetrState(), 0);
}

}  // namespace
