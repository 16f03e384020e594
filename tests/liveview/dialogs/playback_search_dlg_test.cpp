// The playback search on real widgets against the fake device: the disk map
// and its labels, the lists the set-up fills, the search request on the
// wire, and what happens when the device fails or nothing can be searched.

#include "liveview/dialogs/playback_search_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "liveview/dialogs/hdd_presence_map.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"

namespace {

using liveview::CPlaybackSearchDlg;
using test_support::Reply;

std::string MapBytes(std::initializer_list<int> disks) {
    std::string bytes(liveview::kHddPresenceMapBytes, '\0');
    for (const int disk : disks) {
        bytes[static_cast<std::size_t>(disk >> 3)] |= static_cast<char>(1 << (disk & 7));
    }
    return bytes;
}

std::vector<std::string> Items(const QComboBox* combo) {
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i) {
        items.push_back(combo->itemText(i).toStdString());
    }
    return items;
}

// The map is the reply's first 32 bytes; a shorter reply leaves the rest 0.
TEST(HddPresenceMap, TheFirstBytesOfAReplyOfAnyLength) {
    struct Case {
        std::size_t length;
        std::vector<int> disks;
    };
    // A reply of 40 bytes with every bit set: what the map holds of it.
    const std::vector<int> firstSixteenBytes = [] {
        std::vector<int> disks;
        for (int disk = 0; disk < 128; ++disk) disks.push_back(disk);
        return disks;
    }();
    std::vector<int> all = firstSixteenBytes;
    for (int disk = 128; disk < liveview::kHddCount; ++disk) all.push_back(disk);
    for (const Case& c :
         {Case{0, {}}, Case{1, {0, 1, 2, 3, 4, 5, 6, 7}}, Case{16, firstSixteenBytes},
          Case{31, std::vector<int>(all.begin(), all.end() - 8)}, Case{32, all}, Case{40, all},
          Case{1024, all}}) {
        SCOPED_TRACE(c.length);
        const std::vector<std::uint8_t> reply(c.length, 0xFF);
        EXPECT_EQ(liveview::ParseHddPresenceMap(reply).Disks(), c.disks);
    }
    const std::string bytes = MapBytes({0, 1, 4, 255});
    const auto map = liveview::ParseHddPresenceMap(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_EQ(map.Disks(), (std::vector<int>{0, 1, 4, 255}));
    EXPECT_FALSE(map.Present(-1));
    EXPECT_FALSE(map.Present(256));
}

TEST(HddPresenceMap, LabelsAndTheirNumbers) {
    struct Case {
        int disk;
        const char* label;
    };
    for (const Case& c :
         {Case{0, "MASTER1"}, Case{1, "SLAVE1"}, Case{2, "MASTER2"}, Case{3, "SLAVE2"},
          Case{4, "EXT-01"}, Case{12, "EXT-09"}, Case{13, "EXT-10"}, Case{102, "EXT-99"},
          Case{103, "EXT-100"}, Case{255, "EXT-252"}, Case{-1, ""}, Case{256, ""}}) {
        EXPECT_EQ(liveview::HddLabel(c.disk), c.label) << c.disk;
    }
    for (int disk = 0; disk < liveview::kHddCount; ++disk) {
        EXPECT_EQ(liveview::HddNumberOfLabel(liveview::HddLabel(disk)), disk);
    }
    for (const char* text : {"ALL", "", "master1", "EXT-", "EXT-1", "EXT-00", "EXT-000", "EXT-253",
                             "EXT-1x", "EXT-001", "EXT-0100", "EXT--1"}) {
        EXPECT_FALSE(liveview::HddNumberOfLabel(text).has_value()) << text;
    }
}

TEST(PlaybackSearch, ChannelCountsByModel) {
    EXPECT_EQ(liveview::PlaybackChannelCount("Q8A3"), 4);
    EXPECT_EQ(liveview::PlaybackChannelCount("Q8A5"), 8);
    EXPECT_EQ(liveview::PlaybackChannelCount("Q8A7"), 16);
    for (const char* other : {"Q3A2", "Q9C0", "Q7B7", "", "q8a7"}) {
        EXPECT_EQ(liveview::PlaybackChannelCount(other), 0) << other;
    }
}

class PlaybackSearchTest : public command_test::DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        test_support::EnsureQtApp();
        g_lpApp->str_ProductID.Set("Q8A5");
        g_szSessionCookie.Set("C00C1E");
        device.SetReply("/GetDvrHDD.cgi", Reply::Ok(MapBytes({0, 1, 4})));
        device.SetReply("/SearchPlayBack.cgi", Reply::Ok());
    }

    static void Choose(QComboBox* combo, const std::string& text) {
        const int index = combo->findText(QString::fromStdString(text));
        ASSERT_GE(index, 0) << text;
        combo->setCurrentIndex(index);
    }

    std::vector<std::string> SearchTargets() const {
        std::vector<std::string> targets;
        for (const auto& request : device.RequestsTo("/SearchPlayBack.cgi")) {
            targets.push_back(request.target);
        }
        return targets;
    }
};

TEST_F(PlaybackSearchTest, ListsTheDisksSortedAndTheModelsChannels) {
    CPlaybackSearchDlg dialog;
    EXPECT_TRUE(dialog.SetupCompleted());
    EXPECT_EQ(RawRequest(0),
              "GET /GetDvrHDD.cgi?Cookie=C00C1E HTTP/1.1\r\n" + command_test::FixedHeaders());
    EXPECT_EQ(Items(dialog.searchTypeCombo()),
              (std::vector<std::string>{"EVENT SEARCH", "TIME SEARCH"}));
    EXPECT_EQ(Items(dialog.hddCombo()),
              (std::vector<std::string>{"ALL", "EXT-01", "MASTER1", "SLAVE1"}));
    EXPECT_EQ(Items(dialog.channelCombo()),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(Items(dialog.eventTypeCombo()), (std::vector<std::string>{"ALARM", "MOTION"}));
    for (QComboBox* combo : {dialog.searchTypeCombo(), dialog.hddCombo(), dialog.channelCombo(),
                             dialog.eventTypeCombo()}) {
        EXPECT_EQ(combo->currentIndex(), 0);
    }
    EXPECT_TRUE(dialog.okButton()->isEnabled());
}

TEST_F(PlaybackSearchTest, AnEmptyMapListsOnlyAll) {
    device.SetReply("/GetDvrHDD.cgi", Reply::Ok(MapBytes({})));
    CPlaybackSearchDlg dialog;
    EXPECT_EQ(Items(dialog.hddCombo()), (std::vector<std::string>{"ALL"}));
}

TEST_F(PlaybackSearchTest, RequestBytesForEachChoice) {
    struct Case {
        const char* name;
        const char* cookie;
        const char* searchType;
        const char* disk;
        const char* channel;
        const char* eventType;
        QDateTime when;
        const char* target;
    };
    const Case cases[] = {
        {"event on SLAVE1", "C00C1E", "EVENT SEARCH", "SLAVE1", "2", "MOTION",
         QDateTime(QDate(2006, 3, 1), QTime(14, 5, 9)),
         "/SearchPlayBack.cgi?Cookie=C00C1E&searchType=event&channelNum=1&eventType=1&year=6"
         "&month=3&day=1&hour=14&min=5&sec=9&hddNum=1"},
        {"alarm on the last channel of EXT-01", "C00C1E", "EVENT SEARCH", "EXT-01", "8", "ALARM",
         QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58)),
         "/SearchPlayBack.cgi?Cookie=C00C1E&searchType=event&channelNum=7&eventType=0&year=24"
         "&month=12&day=31&hour=23&min=59&sec=58&hddNum=4"},
        {"time search on every disk", "C00C1E", "TIME SEARCH", "ALL", "3", "MOTION",
         QDateTime(QDate(2010, 7, 4), QTime(0, 0, 0)),
         "/SearchPlayBack.cgi?Cookie=C00C1E&searchType=time&year=10&month=7&day=4&hour=0&min=0"
         "&sec=0&hddNum=ALL"},
        {"no session cookie", "", "TIME SEARCH", "MASTER1", "1", "ALARM",
         QDateTime(QDate(2006, 1, 2), QTime(3, 4, 5)),
         "/SearchPlayBack.cgi?searchType=time&year=6&month=1&day=2&hour=3&min=4&sec=5&hddNum=0"},
        {"a date before 2000", "", "EVENT SEARCH", "MASTER1", "1", "ALARM",
         QDateTime(QDate(1999, 12, 31), QTime(12, 0, 0)),
         "/SearchPlayBack.cgi?searchType=event&channelNum=0&eventType=0&year=-1&month=12&day=31"
         "&hour=12&min=0&sec=0&hddNum=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.ClearReply("/SearchPlayBack.cgi");
        device.SetReply("/SearchPlayBack.cgi", Reply::Ok());
        g_szSessionCookie.Set(c.cookie);
        const std::size_t before = SearchTargets().size();
        CPlaybackSearchDlg dialog;
        Choose(dialog.searchTypeCombo(), c.searchType);
        Choose(dialog.hddCombo(), c.disk);
        Choose(dialog.channelCombo(), c.channel);
        Choose(dialog.eventTypeCombo(), c.eventType);
        dialog.dateEdit()->setDate(c.when.date());
        dialog.timeEdit()->setTime(c.when.time());
        dialog.show();
        dialog.okButton()->click();
        const auto targets = SearchTargets();
        ASSERT_EQ(targets.size(), before + 1);
        EXPECT_EQ(targets.back(), c.target);
        const bool event = std::string(c.searchType) == "EVENT SEARCH";
        // Only a sent event search closes the dialog.
        EXPECT_EQ(dialog.isVisible(), !event);
        EXPECT_EQ(dialog.result(), event ? QDialog::Accepted : QDialog::Rejected);
        dialog.reject();
    }
    const auto raw = device.RequestsTo("/SearchPlayBack.cgi").front().raw;
    EXPECT_EQ(raw, "GET " + std::string(cases[0].target) + " HTTP/1.1\r\n" +
                       command_test::FixedHeaders());
}

TEST_F(PlaybackSearchTest, TimeSearchDisablesChannelAndEventType) {
    CPlaybackSearchDlg dialog;
    Choose(dialog.searchTypeCombo(), "TIME SEARCH");
    EXPECT_FALSE(dialog.channelCombo()->isEnabled());
    EXPECT_FALSE(dialog.eventTypeCombo()->isEnabled());
    Choose(dialog.searchTypeCombo(), "EVENT SEARCH");
    EXPECT_TRUE(dialog.channelCombo()->isEnabled());
    EXPECT_TRUE(dialog.eventTypeCombo()->isEnabled());
}

TEST_F(PlaybackSearchTest, AFailedSearchLeavesTheDialogOpenWithoutAMessage) {
    device.SetReply("/SearchPlayBack.cgi", Reply::Status(500, "Internal Server Error"));
    CPlaybackSearchDlg dialog;
    dialog.show();
    dialog.okButton()->click();
    EXPECT_EQ(SearchTargets().size(), 1u);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(boxes.Ids().empty());
    dialog.reject();
}

// A disk-map reply of any length lists the disks of its first 32 bytes (a
// short one the disks it has), and the set-up goes on.
TEST_F(PlaybackSearchTest, DiskMapRepliesOfAnyLength) {
    struct Case {
        std::size_t length;
        std::vector<std::string> disks;
    };
    // Bits 0 and 1 (MASTER1, SLAVE1) in byte 0, bit 130 (EXT-127) in byte
    // 16, bit 257 beyond the map in byte 32.
    std::string reply(40, '\0');
    reply[0] = 0x03;
    reply[16] = 0x04;
    reply[32] = 0x02;
    const Case cases[] = {
        {0, {"ALL"}},
        {16, {"ALL", "MASTER1", "SLAVE1"}},
        {32, {"ALL", "EXT-127", "MASTER1", "SLAVE1"}},
        {40, {"ALL", "EXT-127", "MASTER1", "SLAVE1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        device.SetReply("/GetDvrHDD.cgi", Reply::Ok(reply.substr(0, c.length)));
        CPlaybackSearchDlg dialog;
        EXPECT_TRUE(dialog.SetupCompleted());
        EXPECT_EQ(Items(dialog.hddCombo()), c.disks);
        EXPECT_EQ(dialog.hddCombo()->currentIndex(), 0);
        EXPECT_TRUE(dialog.okButton()->isEnabled());
    }
}

// A disk map that does not come, or does not fit the reply buffer, stops the
// set-up: no list is filled beyond the fixed ones, nothing is chosen, and OK
// sends nothing.
TEST_F(PlaybackSearchTest, AFailedDiskMapRequestStopsTheSetUp) {
    struct Case {
        const char* name;
        Reply reply;
    };
    const Case cases[] = {
        {"status 500", Reply::Status(500, "Internal Server Error", MapBytes({0}))},
        {"longer than the buffer", Reply::Ok(std::string(2000, '\xFF'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.SetReply("/GetDvrHDD.cgi", c.reply);
        CPlaybackSearchDlg dialog;
        EXPECT_FALSE(dialog.SetupCompleted());
        EXPECT_EQ(dialog.hddCombo()->count(), 0);
        EXPECT_EQ(dialog.channelCombo()->count(), 0);
        for (QComboBox* combo : {dialog.searchTypeCombo(), dialog.hddCombo(), dialog.channelCombo(),
                                 dialog.eventTypeCombo()}) {
            EXPECT_EQ(combo->currentIndex(), -1);
        }
        EXPECT_FALSE(dialog.okButton()->isEnabled());
        dialog.OnOK();
        EXPECT_TRUE(SearchTargets().empty());
    }
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(PlaybackSearchTest, AModelWithoutChannelsSendsNothing) {
    g_lpApp->str_ProductID.Set("Q3A2");
    CPlaybackSearchDlg dialog;
    EXPECT_FALSE(dialog.SetupCompleted());
    EXPECT_EQ(Items(dialog.hddCombo()),
              (std::vector<std::string>{"ALL", "EXT-01", "MASTER1", "SLAVE1"}));
    EXPECT_EQ(dialog.channelCombo()->count(), 0);
    EXPECT_EQ(dialog.hddCombo()->currentIndex(), -1);
    dialog.OnOK();
    // Choosing a disk and an event search still leaves the channel open.
    Choose(dialog.searchTypeCombo(), "EVENT SEARCH");
    Choose(dialog.hddCombo(), "ALL");
    Choose(dialog.eventTypeCombo(), "ALARM");
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    dialog.OnOK();
    EXPECT_TRUE(SearchTargets().empty());
    // A time search needs no channel.
    Choose(dialog.searchTypeCombo(), "TIME SEARCH");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    dialog.OnOK();
    EXPECT_EQ(SearchTargets().size(), 1u);
}

TEST_F(PlaybackSearchTest, AgainstTheDeviceModel) {
    device.ClearReply("/GetDvrHDD.cgi");
    device.ClearReply("/SearchPlayBack.cgi");
    auto& model = device.EnableDeviceModel("tresk", "tresk", *devicesim::ProfileForProduct("Q8A7"));
    model.dialogCommands().SetDiskMap(MapBytes({0, 2, 5}));
    const Outcome login = Send(kCgiLogin, "/Login.cgi?Username=tresk&Password=tresk");
    ASSERT_EQ(login.result, 1);
    const auto session = ReplyItems(login.body).Find("Session-ID");
    ASSERT_TRUE(session.has_value());
    g_szSessionCookie.Set(*session);
    g_lpApp->str_ProductID.Set("Q8A7");

    CPlaybackSearchDlg dialog;
    ASSERT_TRUE(dialog.SetupCompleted());
    EXPECT_EQ(Items(dialog.hddCombo()),
              (std::vector<std::string>{"ALL", "EXT-02", "MASTER1", "MASTER2"}));
    EXPECT_EQ(dialog.channelCombo()->count(), 16);
    Choose(dialog.hddCombo(), "EXT-02");
    Choose(dialog.channelCombo(), "16");
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(model.dialogCommands().SearchCount(), 1);
    const auto search = *model.dialogCommands().LastSearch();
    EXPECT_EQ(search[2], (std::pair<std::string, std::string>{"channelNum", "15"}));
    EXPECT_EQ(search.back(), (std::pair<std::string, std::string>{"hddNum", "5"}));
}

TEST_F(PlaybackSearchTest, Picture) {
    CPlaybackSearchDlg dialog;
    dialog.dateEdit()->setDate(QDate(2006, 3, 1));
    dialog.timeEdit()->setTime(QTime(14, 5, 9));
    dialog.show();
    QApplication::processEvents();
    test_support::SaveImagePicture(dialog.grab().toImage(), "playback_search.png");
    dialog.reject();
}

}  // namespace
