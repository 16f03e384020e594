#include "core/application/string_table.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

struct Text {
    unsigned id;
    std::string_view text;
};

// The texts the main window loads by number: the tooltips of the skinned
// buttons (the channel and preset ranges are checked by the loop below), the
// title-bar buttons, the power button and the user levels' names.
constexpr Text kMainWindowTexts[] = {
    {3011, "SUPERVISOR"},
    {3012, "NORMAL USER"},
    {3013, "GUEST"},
    {8200, "Minimized"},
    {8201, "Full screen"},
    {8202, "Close"},
    {8203, "Application info"},
    {8220, "ZOOM"},
    {8222, "SELECT"},
    {8223, "LOCK"},
    {8224, "SEARCH"},
    {8225, "ENTER"},
    {8226, "STOP"},
    {8227, "RECORD"},
    {8228, "FAST REWIND"},
    {8229, "FAST FORWARD"},
    {8230, "PAUSE"},
    {8231, "SLOW FORWARD"},
    {8232, "PLAY"},
    {8240, "LEFT"},
    {8241, "UP"},
    {8242, "MENU"},
    {8243, "DOWN"},
    {8244, "RIGHT"},
    {8271, "4 CUT"},
    {8272, "9 CUT"},
    {8273, "16 CUT"},
    {8280, "PIP"},
    {8281, "POP"},
    {8282, "Multi CUT"},
    {8283, "AUTO"},
    {8285, "VCR"},
    {8286, "LIVE"},
    {8287, "QUAD"},
    {8288, "FREEZE"},
    {8289, "FOCUS Near"},
    {8290, "FOCUS Far"},
    {8291, "ZOOM Tele"},
    {8292, "ZOOM Wide"},
    {8310, "TURBO_ON$TURBO_OFF"},
    {8311, "Power"},
    {8312, "PTZ_CONTROL_ON$PTZ_CONTROL_OFF"},
    {8313, "+"},
    {8314, "-"},
    {8319, "Search dvr video data"},
    {8321, "Quad"},
    {8322, "PIP"},
    {8323, "Remote record"},
    {8324, "Reboot"},
    {8325, "Escape"},
    {8326, "Enter"},
    {8327, "Stop record"},
    {8328, "Record"},
    {8331, "R.E.T.R.(Enable)$R.E.T.R.(Disable)"},
    {8332, "HIGH USER"},
    {8350, "Continously zoom in"},
    {8351, "Continously Zoom out"},
    {8353, "Digital Zoom"},
    {8354, "Set"},
    {8355, "Sequence"},
    {8356, "ACTION$PRESET"},
    {8573, "8 CUT"},
};

TEST(StringTableTest, MainWindowTextsArePresent) {
    for (const Text& t : kMainWindowTexts) EXPECT_EQ(LoadText(t.id), t.text) << t.id;
    for (unsigned i = 0; i < 16; ++i) {
        EXPECT_EQ(LoadText(8250 + i), "CH " + std::to_string(i + 1)) << 8250 + i;
        EXPECT_EQ(LoadText(8333 + i), "Preset " + std::to_string(i + 1)) << 8333 + i;
    }
}

TEST(StringTableTest, UnknownNumberIsEmpty) {
    EXPECT_TRUE(LoadText(1).empty());
    EXPECT_TRUE(LoadText(8284).empty());
}

}  // namespace
