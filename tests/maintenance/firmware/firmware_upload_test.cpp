#include "maintenance/firmware/firmware_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "tests/maintenance/firmware/upload_fakes.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/wait.h"

namespace maintenance {
namespace {

using command_test::DeviceCommandTest;
using test_support::Reply;
using test_support::WaitUntil;

struct RecordingObserver final : UploadObserver {
    std::vector<std::string> events;
    std::vector<int> progress;
    void DisableUpgrade() override { events.push_back("disable"); }
    void EnableUpgrade() override { events.push_back("enable"); }
    void CloseDialog() override { events.push_back("close"); }
    void SetProgress(int percent, bool visible) override {
        if (visible) {
            progress.push_back(percent);
        } else {
            events.push_back("hide");
        }
    }
    void ShowMessage(unsigned textId) override { events.push_back(std::to_string(textId)); }
    bool Saw(const std::string& e) const { return std::ranges::find(events, e) != events.end(); }
};

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed = 0) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
    }
    return bytes;
}

class FirmwareUploadTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        target.address = "127.0.0.1";
        target.port = device.port();
        target.cookie = "c00k1e";
        target.hostIp = std::string(command_test::kHostIp);
        timings.sideWrite = timings.oldSend = timings.oldReceive = std::chrono::seconds(10);
        timings.folderUnitWrite = timings.packedUnitWrite = timings.unitReply =
            std::chrono::seconds(10);
        // The side connection is held open until the client closes it.
        device.SetHandler("/Getvideo.cgi",
                          [](const auto&, auto& connection) { connection.HoldUntilPeerCloses(); });
        device.SetReply("/UpgradeFW.cgi", Reply::Ok());
        // New protocol: the unit's bytes follow the request raw.
        device.SetHandler("/UpgradeFW2.cgi",
                          firmware_test::UnitHandler("HTTP/1.1 200 OK", [this](std::string data) {
                              std::lock_guard lock(unitsLock);
                              units.push_back(std::move(data));
                          }));
    }

    UploadOutcome Run(const UploadPlan& plan, std::function<bool()> cancelled = {}) {
        platform::ManualClock clock;
        platform::ScopedClockSource useClock(clock);
        const UploadOutcome outcome =
            RunFirmwareUpload(plan, target, timings, observer, cancelled, std::stop_token{});
        pauses = clock.Sleeps();
        return outcome;
    }

    // The query of each "/UpgradeFW.cgi" request and its body size.
    std::vector<std::pair<std::string, std::size_t>> OldPieces() const {
        std::vector<std::pair<std::string, std::size_t>> pieces;
        for (const auto& r : device.RequestsTo("/UpgradeFW.cgi")) {
            const std::size_t query = r.target.find('?');
            pieces.emplace_back(query == std::string::npos ? "" : r.target.substr(query + 1),
                                r.body.size());
        }
        return pieces;
    }

    std::vector<std::string> Units() {
        std::lock_guard lock(unitsLock);
        return units;
    }

    UploadTarget target;
    UploadTimings timings;
    RecordingObserver observer;
    std::vector<std::chrono::milliseconds> pauses;
    std::mutex unitsLock;
    std::vector<std::string> units;
};

FirmwareFileTable TableWith(std::initializer_list<std::pair<std::size_t, std::size_t>> rows) {
    FirmwareFileTable table = *FirmwareFileTableFor("Q8A7");
    for (const auto& [row, size] : rows) {
        table[row].loaded = true;
        table[row].size = static_cast<std::uint32_t>(size);
        table[row].data = Pattern(size, static_cast<std::uint8_t>(row));
    }
    return table;
}

TEST_F(FirmwareUploadTest, OldProtocolFolderPiecesAndQueries) {
    const FirmwareFileTable table = TableWith({{1, 1800}, {5, 901}, {17, 900}});
    EXPECT_EQ(Run(FolderUploadPlan(table, UploadProtocol::kOld)), UploadOutcome::kSucceeded);

    using Piece = std::pair<std::string, std::size_t>;
    EXPECT_EQ(OldPieces(), (std::vector<Piece>{
                               {"Upgrade=Start&FileSize=1800&Type=1&Cookie=c00k1e", 900},
                               {"Upgrade=Finished&Type=1&Cookie=c00k1e", 900},
                               {"Upgrade=Start&FileSize=901&Type=5&Cookie=c00k1e", 900},
                               {"Upgrade=Finished&Type=5&Cookie=c00k1e", 1},
                               // A unit of one piece goes with the first-piece query
                               // only, so the reboot flag never travels here.
                               {"Upgrade=Start&FileSize=900&Type=17&Cookie=c00k1e", 900},
                           }));
    // The bytes arrive whole and in order.
    const auto requests = device.RequestsTo("/UpgradeFW.cgi");
    const auto expected = Pattern(1800, 1);
    EXPECT_EQ(requests[0].body + requests[1].body, std::string(expected.begin(), expected.end()));

    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"disable", "4048", "hide", "enable", "close"}));
    EXPECT_EQ(observer.progress.back(), 100);
    EXPECT_TRUE(std::ranges::is_sorted(observer.progress));
    EXPECT_EQ(pauses, (std::vector<std::chrono::milliseconds>{std::chrono::seconds(1)}));
    // The side connection asked for the stream with Fake=1 and was held.
    // Nothing answers that request, so the upload may be over before the
    // device's connection thread has read it: wait for it to arrive.
    ASSERT_TRUE(
        WaitUntil([&] { return !device.RequestsTo("/Getvideo.cgi").empty(); }, "the side request"));
    const auto side = device.RequestsTo("/Getvideo.cgi");
    ASSERT_EQ(side.size(), 1u);
    EXPECT_EQ(side[0].target, "/Getvideo.cgi?Cookie=c00k1e&Fake=1");
}

TEST_F(FirmwareUploadTest, OldProtocolPackedNamesTypesAndRebootsOnTheLastUnit) {
    PackedFirmwareImage image;
    for (const auto& [size, type] : {std::pair{1000u, 1}, {1800u, 0}, {2000u, 4}}) {
        image.recordLengths.push_back(size);
        image.recordTypes.push_back(static_cast<std::uint8_t>(type));
        image.recordData.push_back(Pattern(size));
    }
    image.recordCount = 3;
    image.fileSize = 4812;
    target.cookie.clear();
    EXPECT_EQ(Run(PackedUploadPlan(image, UploadProtocol::kOld)), UploadOutcome::kSucceeded);
    using Piece = std::pair<std::string, std::size_t>;
    EXPECT_EQ(OldPieces(), (std::vector<Piece>{
                               {"Upgrade=Start&FileSize=1000", 900},
                               {"Upgrade=Finished&Type=KERNEL", 100},
                               {"Upgrade=Start&FileSize=1800", 900},
                               {"Upgrade=Finished&Type=BOOT", 900},
                               {"Upgrade=Start&FileSize=2000", 900},
                               {"", 900},
                               {"Upgrade=Finished&Type=HTML&Reboot=1", 200},
                           }));
    // Measured against the whole file, headers included: short of 100.
    EXPECT_EQ(observer.progress.back(), 4800 * 100 / 4812);
    // The packed upload disables the button at every unit.
    EXPECT_EQ(std::ranges::count(observer.events, "disable"), 3);
}

TEST_F(FirmwareUploadTest, NewProtocolStreamsEachUnitOnItsOwnConnection) {
    PackedFirmwareImage image;
    for (const auto& [size, type] : {std::pair{2600u, 1}, {10u, 0}, {0u, 4}, {1301u, 4}}) {
        image.recordLengths.push_back(size);
        image.recordTypes.push_back(static_cast<std::uint8_t>(type));
        image.recordData.push_back(Pattern(size, static_cast<std::uint8_t>(size)));
    }
    image.recordCount = 4;
    image.fileSize = 3911 + 16;
    EXPECT_EQ(Run(PackedUploadPlan(image, UploadProtocol::kNew)), UploadOutcome::kSucceeded);

    const auto requests = device.RequestsTo("/UpgradeFW2.cgi");
    ASSERT_EQ(requests.size(), 3u);  // the empty record sends nothing
    EXPECT_EQ(requests[0].target, "/UpgradeFW2.cgi?Cookie=c00k1e&FILESIZE=2600&Type=0");
    EXPECT_EQ(requests[1].target, "/UpgradeFW2.cgi?Cookie=c00k1e&FILESIZE=10&Type=1");
    EXPECT_EQ(requests[2].target, "/UpgradeFW2.cgi?Cookie=c00k1e&FILESIZE=1301&Type=2&REBOOT=1");
    const auto received = Units();
    ASSERT_EQ(received.size(), 3u);
    const auto first = Pattern(2600, static_cast<std::uint8_t>(2600));
    EXPECT_EQ(received[0], std::string(first.begin(), first.end()));
    EXPECT_EQ(received[2].size(), 1301u);
    // The packed upload by the new protocol pauses 2 s after the side request.
    EXPECT_EQ(pauses.front(), std::chrono::seconds(2));
    EXPECT_TRUE(observer.Saw("4048"));
}

TEST_F(FirmwareUploadTest, NewProtocolFolderPausesAfterEachUnitRequest) {
    const FirmwareFileTable table = TableWith({{0, 3000}, {17, 5}});
    EXPECT_EQ(Run(FolderUploadPlan(table, UploadProtocol::kNew)), UploadOutcome::kSucceeded);
    const auto requests = device.RequestsTo("/UpgradeFW2.cgi");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/UpgradeFW2.cgi?Cookie=c00k1e&FILESIZE=3000&Type=0");
    EXPECT_EQ(requests[1].target, "/UpgradeFW2.cgi?Cookie=c00k1e&FILESIZE=5&Type=17&REBOOT=1");
    using std::chrono::seconds;
    EXPECT_EQ(pauses, (std::vector<std::chrono::milliseconds>{seconds(3), seconds(3), seconds(1)}));
}

TEST_F(FirmwareUploadTest, RefusedMiddlePieceFailsAndClosesTheDialog) {
    device.SetReplies("/UpgradeFW.cgi", {Reply::Ok(), Reply::Status(500, "Internal Server Error")});
    const FirmwareFileTable table = TableWith({{1, 2700}});
    EXPECT_EQ(Run(FolderUploadPlan(table, UploadProtocol::kOld)), UploadOutcome::kUploadFailed);
    EXPECT_EQ(OldPieces().size(), 2u);
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"disable", "4077", "enable", "hide", "close"}));
    EXPECT_FALSE(observer.Saw("4048"));
}

TEST_F(FirmwareUploadTest, LastPieceWithoutReplyIsToleratedButARefusalIsNot) {
    // Sent whole, the device closed without a word: counts as sent.
    device.SetReplies("/UpgradeFW.cgi", {Reply::Ok(), [] {
                                             Reply r;
                                             r.delivery =
                                                 test_support::Delivery::kCloseWithoutAnswer;
                                             return r;
                                         }()});
    EXPECT_EQ(Run(FolderUploadPlan(TableWith({{2, 1000}}), UploadProtocol::kOld)),
              UploadOutcome::kSucceeded);
    EXPECT_TRUE(observer.Saw("4048"));

    observer = {};
    device.SetReplies("/UpgradeFW.cgi", {Reply::Ok(), Reply::Status(500, "Internal Server Error")});
    EXPECT_EQ(Run(FolderUploadPlan(TableWith({{2, 1000}}), UploadProtocol::kOld)),
              UploadOutcome::kUploadFailed);
    EXPECT_FALSE(observer.Saw("4048"));
}

TEST_F(FirmwareUploadTest, UnreachableDeviceFailsAtTheSideConnection) {
    target.port = command_test::ClosedPort();
    EXPECT_EQ(Run(FolderUploadPlan(TableWith({{2, 10}}), UploadProtocol::kOld)),
              UploadOutcome::kSideFailed);
    // The dialog stays open for another try.
    EXPECT_EQ(observer.events, (std::vector<std::string>{"4077", "enable", "hide"}));
}

TEST_F(FirmwareUploadTest, PackedNewProtocolUnitConnectionFailureKeepsTheDialogOpen) {
    // The unit's connection is reset before the request is read whole.
    device.SetHandler("/UpgradeFW2.cgi", [](const auto&, auto& connection) { connection.Reset(); });
    PackedFirmwareImage image;
    image.recordLengths = {200'000};
    image.recordTypes = {1};
    image.recordData = {Pattern(200'000)};
    image.recordCount = 1;
    image.fileSize = 200'004;
    EXPECT_EQ(Run(PackedUploadPlan(image, UploadProtocol::kNew)), UploadOutcome::kUploadFailed);
    EXPECT_TRUE(observer.Saw("4077"));
    EXPECT_TRUE(observer.Saw("enable"));
    EXPECT_FALSE(observer.Saw("close"));
    EXPECT_FALSE(observer.Saw("4048"));
}

TEST_F(FirmwareUploadTest, NewProtocolUnitRefusedByStatusFails) {
    device.SetHandler("/UpgradeFW2.cgi",
                      firmware_test::UnitHandler("HTTP/1.1 500 Internal Server Error"));
    EXPECT_EQ(Run(FolderUploadPlan(TableWith({{3, 100}}), UploadProtocol::kNew)),
              UploadOutcome::kUploadFailed);
    EXPECT_TRUE(observer.Saw("4077"));
    EXPECT_TRUE(observer.Saw("close"));  // a folder upload closes its dialog
    EXPECT_FALSE(observer.Saw("4048"));
}

TEST_F(FirmwareUploadTest, CancelEndsAFolderUploadSilently) {
    int checks = 0;
    const FirmwareFileTable table = TableWith({{1, 4000}});
    EXPECT_EQ(Run(FolderUploadPlan(table, UploadProtocol::kOld), [&] { return ++checks > 3; }),
              UploadOutcome::kCancelled);
    EXPECT_EQ(OldPieces().size(), 2u);
    EXPECT_FALSE(observer.Saw("4048"));
    EXPECT_FALSE(observer.Saw("4077"));
}

TEST(FirmwareUploadText, RequestsAndProgress) {
    EXPECT_EQ(
        BuildUploadSideRequest("", "10.0.0.9"),
        "GET /Getvideo.cgi?Cookie=&Fake=1 HTTP/1.1\r\nAccept: */* \r\nAccept-Language: "
        "zh-tw/r/nAccept-Encoding: gzip, deflate\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE "
        "6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\nHost: 10.0.0.9\r\nConnection: "
        "Keep-Alive\r\n\r\n");
    EXPECT_TRUE(BuildUploadUnitRequest("a\r\nb", 1, 0, false, "h").empty());
    EXPECT_TRUE(BuildUploadUnitRequest(std::string(400, 'c'), 1, 0, true, "h").empty());
    EXPECT_EQ(UploadProgressPercent(0, 0), 0);
    EXPECT_EQ(UploadProgressPercent(5'000'000'000ull, 10'000'000'000ull), 50);
    EXPECT_EQ(UploadProgressPercent(100'000'000ull, 100'000'000ull), 100);
}

}  // namespace
}  // namespace maintenance
