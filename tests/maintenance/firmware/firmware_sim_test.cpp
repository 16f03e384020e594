// The firmware upgrade against the simulated device: the upload engine and
// the upgrade dialog on 127.0.0.1, with the device checking every piece and
// unit against what came before, and refusing, closing or stalling where it
// is told to.

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <sstream>
#include <stop_token>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "maintenance/firmware/firmware_upload.h"
#include "maintenance/firmware/upgrade_fw_dlg.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"

namespace maintenance {
namespace {

namespace fs = std::filesystem;
using command_test::DeviceCommandTest;
using devicesim::FirmwareCommands;
using devicesim::FirmwareFaults;
using test_support::WaitUntil;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + seed + i / 251);
    }
    return bytes;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

FirmwareFaults RefuseAt(std::uint32_t piece) {
    FirmwareFaults faults;
    faults.refuseAt = piece;
    return faults;
}
FirmwareFaults CloseAt(std::uint32_t piece) {
    FirmwareFaults faults;
    faults.closeAt = piece;
    return faults;
}
FirmwareFaults StallAt(std::uint32_t piece) {
    FirmwareFaults faults;
    faults.stallAt = piece;
    return faults;
}

// Sockets of connections to `port` whose end closed first, by side: {the
// client's ends, the device's}. Such an end is in FIN_WAIT1, FIN_WAIT2,
// CLOSING or TIME_WAIT (04, 05, 0B, 06 in /proc/net/tcp): counting them all
// does not depend on how far the closing handshake has come.
std::pair<int, int> TimeWaits(std::uint16_t port) {
    std::pair<int, int> counts{0, 0};
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        const auto portOf = [](const std::string& end) {
            return std::stoul(end.substr(end.find(':') + 1), nullptr, 16);
        };
        if (state != "04" && state != "05" && state != "06" && state != "0B") {
            continue;
        }
        if (portOf(remote) == port) {
            ++counts.first;
        } else if (portOf(local) == port) {
            ++counts.second;
        }
    }
    return counts;
}

struct RecordingObserver final : UploadObserver {
    std::mutex lock;
    std::vector<std::string> events;
    void Add(std::string event) {
        std::lock_guard guard(lock);
        events.push_back(std::move(event));
    }
    void DisableUpgrade() override {}
    void EnableUpgrade() override { Add("enable"); }
    void CloseDialog() override { Add("close"); }
    void SetProgress(int, bool) override {}
    void ShowMessage(unsigned textId) override { Add(std::to_string(textId)); }
};

// Three folder rows (a unit of three pieces, one of one piece, one of three)
// and three packed records (KERNEL, BOOT of one piece, HTML).
FirmwareFileTable FolderTable() {
    FirmwareFileTable table = *FirmwareFileTableFor("Q8A7");
    for (const auto& [row, size] : {std::pair{0u, 2000u}, {5u, 900u}, {17u, 1801u}}) {
        table[row].loaded = true;
        table[row].size = size;
        table[row].data = Pattern(size, static_cast<std::uint8_t>(row));
    }
    return table;
}

// Records of {size, type}.
PackedFirmwareImage PackedImage(std::initializer_list<std::pair<std::uint32_t, int>> records = {
                                    {3000u, 1}, {900u, 0}, {1301u, 4}}) {
    PackedFirmwareImage image;
    for (const auto& [size, type] : records) {
        image.recordLengths.push_back(size);
        image.recordTypes.push_back(static_cast<std::uint8_t>(type));
        image.recordData.push_back(Pattern(size, static_cast<std::uint8_t>(size)));
        image.fileSize += 4 + size;
    }
    image.recordCount = static_cast<std::uint8_t>(records.size());
    return image;
}

// A packed file on disk: header word, then the record's bytes.
std::string PackedFileBytes(const PackedFirmwareImage& image) {
    std::string file;
    for (std::size_t i = 0; i < image.recordData.size(); ++i) {
        const std::uint32_t word = image.recordLengths[i] << 4 | image.recordTypes[i];
        for (int shift = 0; shift < 32; shift += 8) {
            file.push_back(static_cast<char>(word >> shift));
        }
        file += Text(image.recordData[i]);
    }
    return file;
}

class FirmwareSimTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        DeviceCommandTest::SetUp();
        for (auto* limit :
             {&timings.sideWrite, &timings.oldSend, &timings.oldReceive, &timings.folderUnitWrite,
              &timings.packedUnitWrite, &timings.unitReply, &timings.connect}) {
            *limit = std::chrono::seconds(10);
        }
        timings.packedNewPauseAfterSide = timings.folderNewPauseAfterRequest = timings.pauseAtEnd =
            std::chrono::milliseconds(0);
    }

    // The simulated device of `product` with `version`, logged in to.
    FirmwareCommands& Sim(const char* product, const char* version) {
        devicesim::DeviceProfile profile = *devicesim::ProfileForProduct(product);
        profile.firmwareVersion = version;
        auto& model = device.EnableDeviceModel("tresk", "tresk", profile);
        const Outcome login = Send(kCgiLogin, "/Login.cgi?Username=tresk&Password=tresk");
        EXPECT_EQ(login.result, 1);
        const std::string cookie = ReplyItems(login.body).Find("Session-ID").value_or("");
        target =
            UploadTarget{"127.0.0.1", device.port(), cookie, std::string(command_test::kHostIp)};
        g_szSessionCookie.Set(cookie);
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->str_FWVersion.Set(version);
        return model.firmware();
    }

    // The units the device completed: Type, bytes and reboot flag.
    static std::vector<std::tuple<std::string, std::string, bool>> Taken(
        const FirmwareCommands& sim) {
        std::vector<std::tuple<std::string, std::string, bool>> taken;
        for (const auto& unit : sim.Units()) {
            if (unit.complete) {
                taken.emplace_back(unit.type, unit.bytes, unit.reboot);
            }
        }
        return taken;
    }

    void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    // The dialog for the simulated device, with the test's timings.
    void Prepare(CUpgradeFWDlg& dialog) {
        dialog.SetTimings(timings);
        ASSERT_TRUE(dialog.OnInitDialog());
    }

    static QPushButton* ButtonNamed(QWidget& dialog, const char* text) {
        for (auto* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == QLatin1String(text)) {
                return button;
            }
        }
        return nullptr;
    }

    static void RunUntilEnded(CUpgradeFWDlg& dialog) {
        dialog.JoinUpload();
        platform::ProcessPostedMessages();
        QApplication::processEvents();
    }

    UploadTarget target;
    UploadTimings timings;
    test_support::TempDir dir;
};

struct ProtocolCase {
    const char* name;
    UploadSource source;
    UploadProtocol protocol;
    std::vector<std::string> types;  // as the device receives them
};

TEST_F(FirmwareSimTest, EveryUnitArrivesWholeInOrderWithItsTypeAndTheLastRebootFlag) {
    const ProtocolCase cases[] = {
        {"folder old", UploadSource::kFolder, UploadProtocol::kOld, {"0", "5", "17"}},
        {"folder new", UploadSource::kFolder, UploadProtocol::kNew, {"0", "5", "17"}},
        // The one-piece BOOT unit goes with the Start query only: no name.
        {"packed old", UploadSource::kPacked, UploadProtocol::kOld, {"KERNEL", "", "HTML"}},
        {"packed new", UploadSource::kPacked, UploadProtocol::kNew, {"0", "1", "2"}},
    };
    const FirmwareFileTable table = FolderTable();
    const PackedFirmwareImage image = PackedImage();
    for (const ProtocolCase& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareCommands& sim = Sim("Q8A7", "1052");
        const UploadPlan plan = c.source == UploadSource::kFolder
                                    ? FolderUploadPlan(table, c.protocol)
                                    : PackedUploadPlan(image, c.protocol);
        RecordingObserver observer;
        EXPECT_EQ(RunFirmwareUpload(plan, target, timings, observer, {}, {}),
                  UploadOutcome::kSucceeded);
        EXPECT_EQ(sim.Violations(), std::vector<std::string>{});
        std::vector<std::tuple<std::string, std::string, bool>> expected;
        for (std::size_t i = 0; i < plan.units.size(); ++i) {
            const auto& data = plan.units[i].data;
            expected.emplace_back(c.types[i], std::string(data.begin(), data.end()),
                                  i + 1 == plan.units.size());
        }
        EXPECT_EQ(Taken(sim), expected);
        EXPECT_EQ(sim.RebootCount(), 1);
        // The device serves the side connection on a thread of its own, which
        // may first run after the upload has ended.
        EXPECT_TRUE(WaitUntil([&] { return sim.SideConnectionsSeen() >= 1; }, "side seen"));
        EXPECT_EQ(sim.SideConnectionsSeen(), 1u);
        EXPECT_TRUE(WaitUntil([&] { return sim.SideConnectionsOpen() == 0; }, "side closed"));
        EXPECT_EQ(sim.SideConnectionsSeen(), 1u);
    }
}

struct FaultCase {
    const char* name;
    UploadProtocol protocol;
    FirmwareFaults faults;
    UploadOutcome outcome;
    std::size_t unitsTaken;
};

TEST_F(FirmwareSimTest, FaultsAtAPieceEndTheUploadAsTheyShould) {
    // Old protocol: pieces 1-3 are row 0, 4 is row 5, 5-7 row 17. New: one per unit.
    const FaultCase cases[] = {
        {"old refused middle", UploadProtocol::kOld, RefuseAt(2), UploadOutcome::kUploadFailed, 0},
        {"old refused last", UploadProtocol::kOld, RefuseAt(7), UploadOutcome::kUploadFailed, 2},
        {"old closed middle", UploadProtocol::kOld, CloseAt(2), UploadOutcome::kUploadFailed, 0},
        // A unit's last piece taken without a reply is sent.
        {"old closed last", UploadProtocol::kOld, CloseAt(3), UploadOutcome::kSucceeded, 3},
        {"new refused middle", UploadProtocol::kNew, RefuseAt(2), UploadOutcome::kUploadFailed, 1},
        {"new reset middle", UploadProtocol::kNew, CloseAt(2), UploadOutcome::kUploadFailed, 1},
        {"new refused last", UploadProtocol::kNew, RefuseAt(3), UploadOutcome::kUploadFailed, 2},
    };
    const FirmwareFileTable table = FolderTable();
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareCommands& sim = Sim("Q8A7", "1052");
        sim.SetFaults(c.faults);
        RecordingObserver observer;
        EXPECT_EQ(RunFirmwareUpload(FolderUploadPlan(table, c.protocol), target, timings, observer,
                                    {}, {}),
                  c.outcome);
        EXPECT_EQ(Taken(sim).size(), c.unitsTaken);
        const bool flashed = std::ranges::count(observer.events, "4048") == 1;
        EXPECT_EQ(flashed, c.outcome == UploadOutcome::kSucceeded);
        if (!flashed) {
            EXPECT_EQ(observer.events, (std::vector<std::string>{"4077", "enable", "close"}));
        }
    }
}

TEST_F(FirmwareSimTest, AStopDuringAStallEndsTheUploadSilently) {
    // The device holds the piece (old protocol: the first piece of row 17;
    // new protocol: the unit of row 5) until the upload is stopped.
    const FaultCase cases[] = {
        {"old", UploadProtocol::kOld, StallAt(5), UploadOutcome::kCancelled, 2},
        {"new", UploadProtocol::kNew, StallAt(2), UploadOutcome::kCancelled, 1},
    };
    const FirmwareFileTable table = FolderTable();
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareCommands& sim = Sim("Q8A7", "1052");
        sim.SetFaults(c.faults);
        std::stop_source stop;
        std::thread stopper([&] {
            EXPECT_TRUE(WaitUntil([&] { return sim.StalledCount() == 1; }, "the stall"));
            stop.request_stop();
        });
        RecordingObserver observer;
        EXPECT_EQ(RunFirmwareUpload(FolderUploadPlan(table, c.protocol), target, timings, observer,
                                    {}, stop.get_token()),
                  c.outcome);
        stopper.join();
        EXPECT_EQ(Taken(sim).size(), c.unitsTaken);
        EXPECT_EQ(observer.events, std::vector<std::string>{});  // no message, no close
        EXPECT_TRUE(WaitUntil([&] { return sim.StalledCount() == 0; }, "the stall's end"));
    }
}

TEST_F(FirmwareSimTest, PiecesThatDoNotFollowWhatCameBeforeAreRefused) {
    FirmwareCommands& sim = Sim("Q8A7", "1052");
    const std::string c = "&Cookie=" + target.cookie;
    const std::string k900(900, 'k');
    struct Step {
        std::string target;
        std::string body;
        int status;
    };
    const Step steps[] = {
        {"/UpgradeFW.cgi?Cookie=" + target.cookie, k900, 400},  // no Start before it
        {"/UpgradeFW.cgi?Upgrade=Finished&Type=1" + c, "x", 400},
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Type=18" + c, k900, 400},
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Type=3" + c, "short", 400},
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=99999999999&Type=3" + c, k900, 400},
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=2000&Type=3" + c, k900, 200},
        {"/UpgradeFW.cgi?Cookie=" + target.cookie, "short", 400},  // a middle piece is 900
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=2000&Type=3" + c, k900, 200},
        {"/UpgradeFW.cgi?Upgrade=Finished&Type=4" + c, std::string(1100, 'k'), 400},
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Type=3" + c, k900, 200},
        {"/UpgradeFW.cgi?Upgrade=Finished&Type=4" + c, std::string(100, 'k'), 400},  // not 3
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000" + c, k900, 200},
        {"/UpgradeFW.cgi?Upgrade=Finished&Type=KERNAL" + c, std::string(100, 'k'), 400},
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000" + c, k900, 200},
        {"/UpgradeFW.cgi?Upgrade=Finished&Type=KERNEL&Reboot=1" + c, std::string(100, 'k'), 200},
        {"/UpgradeFW.cgi?Upgrade=Start&FileSize=10&Type=3", std::string(10, 'k'), 401},
        {"/UpgradeFW2.cgi?Cookie=" + target.cookie + "&FILESIZE=&Type=1", "", 400},
        {"/UpgradeFW2.cgi?Cookie=" + target.cookie + "&FILESIZE=1&Type=x", "", 400},
        {"/UpgradeFW2.cgi?Cookie=" + target.cookie + "&FILESIZE=1&Type=1&REBOOT=2", "", 400},
        {"/GetVersion.cgi?Cookie=" + target.cookie, "", 200},
        {"/GetVersion.cgi", "", 401},
        {"/CancelUPFW.cgi?Cookie=" + target.cookie, "", 200},
    };
    for (const Step& step : steps) {
        const Outcome outcome = Send(9, step.target, 4096, kTimeouts, step.body);
        const int status = outcome.result == 1 ? 200 : static_cast<int>(outcome.status.status);
        EXPECT_EQ(status, step.status) << step.target;
    }
    EXPECT_EQ(Send(24, "/GetVersion.cgi?Cookie=" + target.cookie).body, "1052");
    EXPECT_EQ(Taken(sim), (std::vector<std::tuple<std::string, std::string, bool>>{
                              {"KERNEL", std::string(1000, 'k'), true}}));
    EXPECT_EQ(sim.RebootCount(), 1);
    EXPECT_EQ(sim.CancelCount(), 1);
}

TEST_F(FirmwareSimTest, OldProtocolPiecesLeaveTheirTimeWaitWithTheDevice) {
    // The device's reply says it closes; the client lets it close first, so
    // the thousands of pieces of a large upload do not hold the client's
    // ports. The bound is generous: the device closes at once.
    Sim("Q8A7", "1052");
    timings.oldPeerClose = std::chrono::seconds(10);
    const auto before = TimeWaits(device.port());
    RecordingObserver observer;
    ASSERT_EQ(RunFirmwareUpload(FolderUploadPlan(FolderTable(), UploadProtocol::kOld), target,
                                timings, observer, {}, {}),
              UploadOutcome::kSucceeded);
    ASSERT_TRUE(WaitUntil([&] { return TimeWaits(device.port()).second - before.second >= 7; },
                          "the device's closing of the seven pieces"));
    // The client's only one is the side connection's, which it ends itself.
    EXPECT_LE(TimeWaits(device.port()).first - before.first, 1);
}

struct DialogCase {
    const char* product;
    const char* version;
    UploadProtocol protocol;
};

TEST_F(FirmwareSimTest, TheDialogUploadsAFolderAndAPackedFileByBothProtocols) {
    const DialogCase cases[] = {
        {"Q8A7", "1069", UploadProtocol::kOld},
        {"Q8A5", "1070", UploadProtocol::kNew},
        {"Q9C0", "1100", UploadProtocol::kOld},
        {"Q3A2", "1013", UploadProtocol::kNew},
    };
    const PackedFirmwareImage image = PackedImage();
    Write(dir / "KERNEL.BIN", PackedFileBytes(image));
    Write(dir / "KERNEL16.BIN", std::string(2500, '6'));
    Write(dir / "kernel8.bin", std::string(2500, '8'));  // found whatever its case
    Write(dir / "PLAYER.BIN", std::string(950, 'p'));
    settings().m_strUpgradeDVRFWPath = dir.path().string();
    settings().m_strUpgradeFWPath = dir.path().string() + "/";
    settings().m_strProgramDir = dir.path().string();
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.product);
        boxes.sink().Clear();
        FirmwareCommands& sim = Sim(c.product, c.version);
        CUpgradeFWDlg dialog;
        ASSERT_NO_FATAL_FAILURE(Prepare(dialog));
        ASSERT_EQ(dialog.ChosenProtocol(), c.protocol);
        dialog.show();
        dialog.OnUpgradeButton();
        RunUntilEnded(dialog);
        EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4048}));
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(sim.Violations(), std::vector<std::string>{});
        EXPECT_EQ(Taken(sim).size(),
                  dialog.GetVariant() == CUpgradeFWDlg::Variant::kFolder ? 2u : 3u);
        // The device serves the side connection on a thread of its own, which
        // may first run after the upload has ended.
        EXPECT_TRUE(WaitUntil([&] { return sim.SideConnectionsSeen() >= 1; }, "side seen"));
        EXPECT_EQ(sim.SideConnectionsSeen(), 1u);
    }
}

// A packed file whose last record is of a type no protocol names goes out
// whole, that record under the Type of the record before it.
TEST_F(FirmwareSimTest, ARecordOfAnotherTypeGoesOutUnderTheTypeBeforeIt) {
    const DialogCase cases[] = {
        {"Q3A2", "1013", UploadProtocol::kNew},
        {"Q3A2", "1012", UploadProtocol::kOld},
    };
    const PackedFirmwareImage image = PackedImage({{3000u, 1}, {1000u, 0}, {1301u, 4}, {950u, 7}});
    const fs::path file = dir / "q3a2_1047.bin";
    Write(file, PackedFileBytes(image));
    settings().m_strUpgradeFWPath = dir.path().string() + "/";
    settings().m_strProgramDir = dir.path().string();
    CUpgradeFWDlg::SetFilePicker([file](QWidget*, const fs::path&) { return std::optional(file); });
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.version);
        boxes.sink().Clear();
        FirmwareCommands& sim = Sim(c.product, c.version);
        CUpgradeFWDlg dialog;
        ASSERT_NO_FATAL_FAILURE(Prepare(dialog));
        dialog.show();
        ASSERT_TRUE(test_support::ExpectReachable(ButtonNamed(dialog, "Find...")));
        test_support::UserClick(ButtonNamed(dialog, "Find..."));
        EXPECT_EQ(dialog.findChild<QLineEdit*>()->text().toStdString(), file.string());
        test_support::SaveWidgetPicture(
            dialog, std::string("upgrade_firmware_type7_") + c.version + ".png");
        ASSERT_TRUE(test_support::ExpectReachable(dialog.UpgradeButton()));
        test_support::UserClick(dialog.UpgradeButton());
        RunUntilEnded(dialog);
        EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4048}));
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(sim.Violations(), std::vector<std::string>{});
        // The old protocol names a unit on its Finished piece only.
        const std::vector<std::string> types =
            c.protocol == UploadProtocol::kNew
                ? std::vector<std::string>{"0", "1", "2", "2"}
                : std::vector<std::string>{"KERNEL", "BOOT", "HTML", "HTML"};
        const auto taken = Taken(sim);
        ASSERT_EQ(taken.size(), image.recordData.size());
        for (std::size_t i = 0; i < taken.size(); ++i) {
            const auto& [type, bytes, reboot] = taken[i];
            EXPECT_EQ(type, types[i]) << "record " << i;
            EXPECT_TRUE(bytes == Text(image.recordData[i])) << "record " << i;
            EXPECT_EQ(reboot, i + 1 == taken.size()) << "record " << i;
        }
    }
    CUpgradeFWDlg::SetFilePicker({});
}

TEST_F(FirmwareSimTest, TheDialogShowsARefusalAtAMiddlePieceAsFailure) {
    const DialogCase cases[] = {
        {"Q8A7", "1069", UploadProtocol::kOld},  // the dialog closes
        {"Q3A2", "1013", UploadProtocol::kNew},  // the dialog stays open for another try
    };
    Write(dir / "KERNEL.BIN", PackedFileBytes(PackedImage()));
    Write(dir / "KERNEL16.BIN", std::string(2500, '6'));
    settings().m_strUpgradeDVRFWPath = dir.path().string();
    settings().m_strUpgradeFWPath = dir.path().string() + "/";
    settings().m_strProgramDir = dir.path().string();
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.product);
        boxes.sink().Clear();
        FirmwareCommands& sim = Sim(c.product, c.version);
        sim.SetFaults(RefuseAt(2));
        CUpgradeFWDlg dialog;
        ASSERT_NO_FATAL_FAILURE(Prepare(dialog));
        dialog.show();
        dialog.OnUpgradeButton();
        RunUntilEnded(dialog);
        EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4077}));
        const bool staysOpen = c.protocol == UploadProtocol::kNew;
        EXPECT_EQ(dialog.isVisible(), staysOpen);
        EXPECT_TRUE(dialog.UpgradeButton()->isEnabled());
        EXPECT_FALSE(dialog.ProgressBar()->isVisible());
    }
}

TEST_F(FirmwareSimTest, CancelDuringAStalledPieceStopsTheUploadAndTellsTheDevice) {
    struct StallCase {
        const char* product;
        const char* version;
        std::uint32_t stallAt;
    };
    const StallCase cases[] = {
        {"Q8A5", "1070", 1},  // new protocol, its one unit; "/CancelUPFW.cgi"
        {"Q9C0", "1100", 2},  // old protocol; "/UpgradeFW.cgi" with Upgrade=Cancel
    };
    Write(dir / "KERNEL.BIN", PackedFileBytes(PackedImage()));
    Write(dir / "KERNEL8.BIN", std::string(2500, '8'));
    settings().m_strUpgradeDVRFWPath = dir.path().string();
    settings().m_strUpgradeFWPath = dir.path().string() + "/";
    settings().m_strProgramDir = dir.path().string();
    for (const StallCase& c : cases) {
        SCOPED_TRACE(c.product);
        boxes.sink().Clear();
        FirmwareCommands& sim = Sim(c.product, c.version);
        sim.SetFaults(StallAt(c.stallAt));
        CUpgradeFWDlg dialog;
        ASSERT_NO_FATAL_FAILURE(Prepare(dialog));
        dialog.show();
        dialog.OnUpgradeButton();
        ASSERT_TRUE(WaitUntil([&] { return sim.StalledCount() == 1; }, "the stall"));
        // The side connection is held while the upload waits.
        EXPECT_TRUE(WaitUntil([&] { return sim.SideConnectionsOpen() == 1; }, "side held"));
        dialog.OnCancel();
        RunUntilEnded(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{});
        EXPECT_EQ(sim.CancelCount(), 1);
        EXPECT_EQ(sim.RebootCount(), 0);
        EXPECT_TRUE(WaitUntil([&] { return sim.StalledCount() == 0; }, "the stall's end"));
        EXPECT_TRUE(WaitUntil([&] { return sim.SideConnectionsOpen() == 0; }, "side closed"));
    }
}

}  // namespace
}  // namespace maintenance
