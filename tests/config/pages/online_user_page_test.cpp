// The Online User Info page: rows from the ONLINE section for every family
// and video standard, and the refresh against the simulated device.

#include "config/pages/online_user_page.h"

#include <QPushButton>
#include <QTreeWidget>

#include "config/sheet/section_layouts.h"
#include "tests/config/pages/page_kit.h"
#include "tests/support/artifacts.h"

namespace {

using namespace cfg;
using section_page_test::Reply;
using section_page_test::SectionPageTest;

struct OnlineRecord {
    std::string name;
    std::array<std::uint8_t, 4> address;
    std::uint8_t level;
    std::uint8_t channel;
    std::uint8_t resolution;
    std::uint8_t quality;
};

std::vector<std::uint8_t> Section(const std::vector<OnlineRecord>& records,
                                  std::size_t size = kOnlineSize) {
    std::vector<std::uint8_t> bytes(kOnlineSize, 0);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const OnlineRecord& r = records[i];
        WriteText(bytes, ONLINE::UserName.At(i), r.name);
        std::copy(r.address.begin(), r.address.end(), bytes.begin() + 24 * i + 16);
        WriteByte(bytes, ONLINE::Level.At(i), r.level);
        WriteByte(bytes, ONLINE::Channel.At(i), r.channel);
        WriteByte(bytes, ONLINE::Resolution.At(i), r.resolution);
        WriteByte(bytes, ONLINE::Quality.At(i), r.quality);
    }
    bytes.resize(size);
    return bytes;
}

struct RowsCase {
    const char* name;
    OnlineUserView view;
    std::vector<OnlineRecord> records;
    std::size_t size;
    std::vector<OnlineUserRow> rows;
};

class OnlineRowsTest : public ::testing::TestWithParam<RowsCase> {};

TEST_P(OnlineRowsTest, RecordsGiveTheseRows) {
    const RowsCase& c = GetParam();
    EXPECT_EQ(OnlineUserRows(Section(c.records, c.size), c.view), c.rows);
}

using V = OnlineUserView;
using S = OnlineSizeTable;
const std::vector<OnlineRecord> kSix{
    {"ann", {10, 0, 0, 1}, 30, 0, 0, 0}, {"bob", {192, 168, 1, 20}, 10, 3, 1, 1},
    {"cat", {1, 2, 3, 4}, 20, 16, 2, 2}, {"dan", {5, 6, 7, 8}, 0, 0, 0, 0},
    {"eve", {9, 9, 9, 9}, 10, 0, 1, 2},  {"fay", {7, 7, 7, 7}, 0, 0, 0, 0}};

const RowsCase kRowsCases[] = {
    {"Q3A2Ntsc",
     V{S::kServer, 0, false},
     {kSix[0], kSix[1], kSix[2]},
     kOnlineSize,
     {{"ann", "10.0.0.1", "SUPERVISOR", "704*480", "HIGH"},
      {"bob", "192.168.1.20", "NORMAL USER", "352*240", "MIDDLE"},
      {"cat", "1.2.3.4", "HIGH USER", "176*120", "LOW"}}},
    {"Q3A2Pal",
     V{S::kServer, 1, false},
     {kSix[1]},
     kOnlineSize,
     {{"bob", "192.168.1.20", "NORMAL USER", "352*288", "MIDDLE"}}},
    {"Q9C0",
     V{S::kQ9C0, 1, false},
     {kSix[0], kSix[2]},
     kOnlineSize,
     {{"ann", "10.0.0.1", "SUPERVISOR", "640*480", "HIGH"},
      {"cat", "1.2.3.4", "HIGH USER", "160*120", "LOW"}}},
    {"MultiChannelDvrPal",
     V{S::kDvr, 1, true},
     {kSix[0], kSix[1], kSix[2]},
     kOnlineSize,
     {{"ann", "10.0.0.1", "SUPERVISOR", "640*552", "HIGH", "DVR"},
      {"bob", "192.168.1.20", "NORMAL USER", "320*276", "MIDDLE", " 3"},
      {"cat", "1.2.3.4", "HIGH USER", "160*138", "LOW", "16"}}},
    {"SingleChannelDvrNtsc",
     V{S::kDvr, 0, false},
     {kSix[1]},
     kOnlineSize,
     {{"bob", "192.168.1.20", "NORMAL USER", "320*228", "MIDDLE"}}},
    // Unknown codes leave their cells empty.
    {"UnknownCodes",
     V{S::kServer, 0, false},
     {{"odd", {0, 0, 0, 0}, 5, 0, 3, 9}},
     kOnlineSize,
     {{"odd", "0.0.0.0", "", "", ""}}},
    {"NoSizeTable",
     V{S::kNone, 0, false},
     {kSix[0]},
     kOnlineSize,
     {{"ann", "10.0.0.1", "SUPERVISOR", "", "HIGH"}}},
    // An empty name leaves no gap; records six and later never show.
    {"GapsAndSixth",
     V{S::kServer, 0, false},
     {kSix[0], {"", {1, 1, 1, 1}, 0, 0, 0, 0}, kSix[2], kSix[3], kSix[4], kSix[5]},
     kOnlineSize,
     {{"ann", "10.0.0.1", "SUPERVISOR", "704*480", "HIGH"},
      {"cat", "1.2.3.4", "HIGH USER", "176*120", "LOW"},
      {"dan", "5.6.7.8", "GUEST", "704*480", "HIGH"},
      {"eve", "9.9.9.9", "NORMAL USER", "352*240", "LOW"}}},
    // A reply cut inside a record lists the whole records before it.
    {"ShortReply",
     V{S::kServer, 0, false},
     {kSix[0], kSix[1]},
     24 + 23,
     {{"ann", "10.0.0.1", "SUPERVISOR", "704*480", "HIGH"}}},
    {"EmptyReply", V{S::kServer, 0, false}, {}, 0, {}},
    // A name filling its 16 bytes ends with the field.
    {"FullName",
     V{S::kServer, 0, false},
     {{"ABCDEFGHIJKLMNOP", {1, 2, 3, 4}, 30, 0, 0, 0}},
     kOnlineSize,
     {{"ABCDEFGHIJKLMNOP", "1.2.3.4", "SUPERVISOR", "704*480", "HIGH"}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, OnlineRowsTest, ::testing::ValuesIn(kRowsCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(OnlineUserViewTest, FamiliesChooseTheirTable) {
    const auto view = [](const char* product, bool multi) {
        return OnlineUserView::For(DeviceIdentity{product, "1052", 0}, 1, multi);
    };
    EXPECT_EQ(view("Q3A2", true).sizes, S::kServer);
    EXPECT_FALSE(view("Q3A2", true).channelColumn);
    EXPECT_EQ(view("Q7B5", false).sizes, S::kServer);
    EXPECT_EQ(view("Q9C0", false).sizes, S::kQ9C0);
    EXPECT_EQ(view("Q8A3", false).sizes, S::kDvr);
    EXPECT_FALSE(view("Q8A3", false).channelColumn);
    EXPECT_TRUE(view("Q8A7", true).channelColumn);
    EXPECT_EQ(view("Q1X1", false).sizes, S::kNone);
}

QStringList RowTexts(const QTreeWidget* list, int row) {
    QStringList texts;
    const QTreeWidgetItem* item = list->topLevelItem(row);
    for (int c = 0; item != nullptr && c < list->columnCount(); ++c) {
        texts << item->text(c);
    }
    return texts;
}

// Against the simulator: the page lists the logged-in session, a refresh
// reads the section again, a failed refresh keeps the rows and the section.
TEST_F(SectionPageTest, OnlineUserPageListsAndRefreshes) {
    Open("Q8A7", "1052", [](devicesim::DeviceProfile& p) {
        p.multiChannel = 1;
        p.videoMode = 1;
    });
    g_lpApp->b_VideoStandard = 1;
    const auto view = OnlineUserView::For(identity, 1, true);
    // A second user as the device reported it when the sheet opened.
    const auto opened = Section({kSix[0], kSix[1]});
    std::copy(opened.begin(), opened.end(), config().online.begin());
    COnlineUserPage page(config().online, view);
    QTreeWidget* list = page.List();
    ASSERT_EQ(list->columnCount(), 6);
    EXPECT_EQ(list->headerItem()->text(5), "CH");
    EXPECT_EQ(list->columnWidth(2), 60);
    EXPECT_EQ(page.RowCount(), 2);
    EXPECT_EQ(RowTexts(list, 1),
              (QStringList{"bob", "192.168.1.20", "NORMAL USER", "320*276", "MIDDLE", " 3"}));
    test_support::SaveWidgetPicture(page, "online_user_page.png");

    page.RefreshButton()->click();
    ASSERT_EQ(page.RowCount(), 1);  // the simulator knows the one session
    EXPECT_EQ(RowTexts(list, 0).at(0), "tresk");
    EXPECT_EQ(RowTexts(list, 0).at(1), "127.0.0.1");
    EXPECT_EQ(RowTexts(list, 0).at(2), "SUPERVISOR");
    const auto requests = device.RequestsTo("/GetSysCfg.cgi");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().Param("Option"), "ONLINE");
    EXPECT_EQ(requests.back().Param("Size"), "240");

    const auto before = config().online;
    device.SetReply("/GetSysCfg.cgi", Reply::Status(500, "Internal Server Error"));
    page.OnRefresh();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4029});
    EXPECT_EQ(page.RowCount(), 1);
    EXPECT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(config().online, before);

    // A reply longer than the section fails the same way.
    boxes.sink().Clear();
    device.SetReply("/GetSysCfg.cgi", Reply::Ok(std::string(241, 'x')));
    page.OnRefresh();
    EXPECT_EQ(config().online, before);
    EXPECT_EQ(list->topLevelItemCount(), 1);
}

TEST_F(SectionPageTest, OnlineUserPageColumnsOfOtherDevices) {
    Open("Q3A2", "1010");
    std::vector<std::uint8_t> online = Section({kSix[1]});
    COnlineUserPage page(online, OnlineUserView::For(identity, 1, false));
    ASSERT_EQ(page.List()->columnCount(), 5);
    EXPECT_EQ(page.List()->columnWidth(4), 80);
    EXPECT_EQ(RowTexts(page.List(), 0).at(3), "352*288");
}

}  // namespace
