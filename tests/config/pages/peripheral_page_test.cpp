// The Peripheral page of a Q3A2: PERI values into the page, edits, the
// values the page hands to the PERI save and the bytes the device gets.

#include "config/pages/peripheral_page.h"

#include <QComboBox>
#include <QLineEdit>

#include <functional>

#include "config/sheet/section_layouts.h"
#include "tests/config/pages/page_kit.h"
#include "tests/support/artifacts.h"

namespace {

using namespace cfg;
using section_page_test::SectionPageTest;

std::string U32(std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}
std::string Byte(unsigned v) {
    return std::string(1, static_cast<char>(v));
}

struct PeripheralCase {
    const char* name;
    // Changes the section before the page opens (what the device holds).
    std::function<void(SystemConfigStruct&)> stored;
    std::function<void(CPeripheralPage&)> edit;
    // Patches of the PERI body sent; none: PERI is not sent.
    std::optional<std::vector<std::pair<std::size_t, std::string>>> sent;
    std::vector<unsigned> boxes;
};

class PeripheralPageTest : public SectionPageTest,
                           public ::testing::WithParamInterface<PeripheralCase> {};

TEST_P(PeripheralPageTest, EditsGiveThesePeriBytes) {
    const PeripheralCase& c = GetParam();
    Open("Q3A2", "1010");
    if (c.stored) {
        c.stored(config());
        base = config();
        // The sheet's read values are taken from what the device holds.
        readValues = LoadReadValues(config(), identity, 640, 480);
    }
    CPeripheralPage page(config());
    if (c.edit) {
        c.edit(page);
    }
    routines->SavePeripheral(page.TakePageValues());
    if (c.sent) {
        EXPECT_EQ(SentOptions(), std::vector<std::string>{"PERI"});
        EXPECT_EQ(SentBody("PERI"), Patched(base.peri, *c.sent));
        EXPECT_TRUE(readValues.peripheralChanged);
    } else {
        EXPECT_TRUE(SentOptions().empty());
        EXPECT_FALSE(readValues.peripheralChanged);
    }
    EXPECT_EQ(boxes.Ids().size(), c.boxes.size());
}

const PeripheralCase kPeripheralCases[] = {
    {"Untouched", {}, {}, std::nullopt, {}},
    {"Baud1", {}, [](CPeripheralPage& p) { p.Baud1()->setCurrentIndex(3); },
     std::vector<std::pair<std::size_t, std::string>>{{4, U32(19200)}}, {}},
    {"Baud2Lowest", {}, [](CPeripheralPage& p) { p.Baud2()->setCurrentIndex(0); },
     std::vector<std::pair<std::size_t, std::string>>{{8, U32(2400)}}, {}},
    {"Model2PtzPd", {}, [](CPeripheralPage& p) { p.Model2()->setCurrentIndex(10); },
     std::vector<std::pair<std::size_t, std::string>>{{3, Byte(25)}}, {}},
    {"BothIds",
     {},
     [](CPeripheralPage& p) {
         p.Id1()->setText("0");
         p.Id2()->setText("255");
     },
     std::vector<std::pair<std::size_t, std::string>>{{12, Byte(0)}, {13, Byte(255)}},
     {}},
    // An id outside 0..255 is refused with the framework's message and never
    // stored as its low byte; the other values still go.
    {"Id300Refused",
     {},
     [](CPeripheralPage& p) {
         p.Id1()->setText("300");
         p.Model1()->setCurrentIndex(8);
     },
     std::vector<std::pair<std::size_t, std::string>>{{2, Byte(8)}},
     {0}},
    // A rate the list does not hold shows as "2400" and stays as stored.
    {"Baud1200Kept", [](SystemConfigStruct& s) { WriteU32(s.peri, PERI::Baud1, 1200); }, {},
     std::nullopt, {}},
    {"Baud1200Changed", [](SystemConfigStruct& s) { WriteU32(s.peri, PERI::Baud1, 1200); },
     [](CPeripheralPage& p) { p.Baud1()->setCurrentIndex(6); },
     std::vector<std::pair<std::size_t, std::string>>{{4, U32(115200)}}, {}},
    // A model code outside the table shows "CAMERA" and stays as stored.
    {"Model12Kept", [](SystemConfigStruct& s) { WriteByte(s.peri, PERI::Model1, 12); }, {},
     std::nullopt, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, PeripheralPageTest, ::testing::ValuesIn(kPeripheralCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(SectionPageTest, PeripheralPageShowsTheStoredValues) {
    Open("Q3A2", "1010");
    WriteU32(config().peri, PERI::Baud1, 1200);
    WriteByte(config().peri, PERI::Model1, 12);
    WriteByte(config().peri, PERI::Model2, 25);
    WriteU32(config().peri, PERI::Baud2, 57600);
    CPeripheralPage page(config());
    EXPECT_EQ(page.Baud1()->currentText(), "2400");
    EXPECT_EQ(page.Model1()->currentText(), "CAMERA");
    EXPECT_EQ(page.Model2()->currentText(), "PTZ(P-D)");
    EXPECT_EQ(page.Baud2()->currentText(), "57600");
    EXPECT_EQ(page.Id1()->text(), "1");  // the simulator's ids
    EXPECT_EQ(page.Id2()->text(), "2");

    // An id of 300 cannot be left on the page.
    page.Id2()->setText("300");
    EXPECT_FALSE(page.OnKillActive());
    EXPECT_EQ(boxes.sink().Entries().back().text, "Please enter an integer between 0 and 255.");
    page.Id2()->setText("");
    EXPECT_FALSE(page.OnKillActive());
    page.Id2()->setText("44");
    EXPECT_TRUE(page.OnKillActive());
    EXPECT_EQ(page.TakePageValues().device2Id, 44);
    test_support::SaveWidgetPicture(page, "peripheral_page.png");
}

}  // namespace
