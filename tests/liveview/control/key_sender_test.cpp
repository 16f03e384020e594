// The body builder of the device key sender: control-file sequence lines of
// every form to the exact body bytes, hostile lines to no body at all.

#include "liveview/control/key_sender.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Case {
    const char* name;
    std::string line;  // as written in the file
    KeyVariables variables;
    std::uint8_t repeat;
    std::optional<Bytes> body;  // nothing: not sent
};

// Parameter bytes of the record that owns the fixture sequences.
CtrlDeviceRecord OwnerRecord() {
    CtrlDeviceRecord record;
    record.abyParam[4] = 0x44;
    record.abyParam[5] = 0x55;
    record.abyParam[9] = 0x99;
    return record;
}

std::optional<Bytes> Build(const Case& c, CtrlDeviceRecord& owner) {
    // Lines are read as the file reader keeps them; a sequence longer than a
    // file line can hold is parsed as it stands.
    std::string line = c.line;
    if (c.line.size() <= kCtrlLineChars)
        ReadCtrlLine(c.line, line);
    CtrlKeySequence sequence;
    sequence.pOwner = &owner;
    ParseKeySequence(sequence, line);
    const auto body = BuildRs485Body(sequence, c.variables, c.repeat);
    if (!body)
        return std::nullopt;
    EXPECT_LE(body->length, kRs485BodyBytes);
    return Bytes(body->bytes.begin(), body->bytes.begin() + static_cast<long>(body->length));
}

std::string Repeated(const char* group, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += group;
    return text;
}

const KeyVariables kPlain{};
const KeyVariables kIds{40, 3, 9, false};
const KeyVariables kPreset{0, 0, 0, true};

const std::vector<Case> kCases{
    // Plain sequences.
    {"LowerCaseLineIsUpperCased", "x04x01x02x03x04", kPlain, 1,
     Bytes{0x04, 0x01, 0x02, 0x03, 0x04, 0x01, 0x32}},
    {"SecondSumSeesTheFirst", "X03X10X%2X%2", kPlain, 1, Bytes{0x03, 0x10, 0x10, 0x20, 0x01, 0x32}},
    {"DeviceIdAndSum", "X04X10X%BX20X%2", kIds, 1, Bytes{0x04, 0x10, 0x03, 0x20, 0x33, 0x01, 0x32}},
    {"SumWithoutTheFirstByte", "X04XA0X01X02X%6", kPlain, 1,
     Bytes{0x04, 0xA0, 0x01, 0x02, 0x03, 0x01, 0x32}},
    {"RightsAndMasterId", "X03XD0X%1X%D", kIds, 1, Bytes{0x03, 0xD0, 0x28, 0x09, 0x01, 0x32}},
    {"ParameterBytes", "X03X%5X%9X%4", kPlain, 1, Bytes{0x03, 0x55, 0x99, 0x44, 0x01, 0x32}},
    {"SumRunsOverEightBits", "X03XF0X20X%2", kPlain, 1, Bytes{0x03, 0xF0, 0x20, 0x10, 0x01, 0x32}},
    {"TurboRepeat", "X01X20", kPlain, 5, Bytes{0x01, 0x20, 0x05, 0x32}},
    {"MissingGroupsStayZero", "X03X01", kPlain, 1, Bytes{0x03, 0x01, 0x00, 0x00, 0x01, 0x32}},
    {"UnmarkedFormBytesArePlain", "X02X0AX07", kPlain, 1, Bytes{0x02, 0x0A, 0x07, 0x01, 0x32}},
    {"LongestPlain", "X3D" + Repeated("X01", 61), kPlain, 1,
     [] {
         Bytes b{0x3D};
         b.insert(b.end(), 61, 0x01);
         b.push_back(0x01);
         b.push_back(0x32);
         return b;
     }()},
    {"TooLongForTheBody", "X3E" + Repeated("X01", 62), kPlain, 1, std::nullopt},
    {"Empty", "X00", kPlain, 1, std::nullopt},
    {"NoCount", "CH1", kPlain, 1, std::nullopt},

    // Variable 10: the data follow the first stored 0x0A.
    {"AlternativeForm", "X06X%AX11X0AX02X33X%2", kPlain, 1, Bytes{0x02, 0x33, 0x33, 0x01, 0x32}},
    {"AlternativeMarkerMayBeMarked", "X04X%AX%AX01X44", kPlain, 1, Bytes{0x01, 0x44, 0x01, 0x32}},
    {"AlternativeCountPastTheEnd", "X03X%AX0AX05", kPlain, 1, std::nullopt},
    {"AlternativeWithoutMarker", "X02X%AX11", kPlain, 1, std::nullopt},
    {"AlternativeMarkerLast", "X02X%AX0A", kPlain, 1, std::nullopt},
    {"AlternativeCountAboveTheBody", "X03X%AX0AXFF", kPlain, 1, std::nullopt},

    // Variable 7: ACTION (count at byte 1) or PRESET (after the next 7).
    {"ActionAlternative", "X07X%7X02X10X20X%7X01X30", kPlain, 1,
     Bytes{0x02, 0x10, 0x20, 0x01, 0x32}},
    {"PresetAlternative", "X07X%7X02X10X20X%7X01X30", kPreset, 1, Bytes{0x01, 0x30, 0x01, 0x32}},
    {"PresetIgnoresUnmarkedSeven", "X06X%7X01X07X%7X01X31", kPreset, 1,
     Bytes{0x01, 0x31, 0x01, 0x32}},
    {"PresetWithoutSecondSeven", "X04X%7X01X10X07", kPreset, 1, std::nullopt},
    {"ActionCountPastTheEnd", "X03X%7X05X01", kPlain, 1, std::nullopt},
    {"ActionWithoutCount", "X01X%7", kPlain, 1, std::nullopt},
    {"PresetCountLast", "X03X%7X00X%7", kPreset, 1, std::nullopt},

    // Variable 3: n, then n + 2 bytes without repeat count or trailer.
    {"CountedStopsAtZeroAboveN", "X06X%3X03XA0X%2X00X00", kPlain, 1,
     Bytes{0x03, 0xA0, 0xA0, 0x00, 0x00, 0x00}},
    {"CountedLiteralsIntoFirstSumOnly", "X08X%3X03X10X%4X00X%5X7FX%2", kPlain, 1,
     Bytes{0x03, 0x10, 0x00, 0x7F, 0x00, 0x00}},
    {"CountedSumsAndIds", "X05X%3X03X10X%DX%6", kIds, 1, Bytes{0x03, 0x10, 0x09, 0x09, 0x00, 0x00}},
    {"CountedLiteralFeedsTheSum", "X06X%3X03X10X%4X05X%2", kPlain, 1,
     Bytes{0x03, 0x10, 0x05, 0x15, 0x00, 0x00}},
    {"CountedZeroBelowNIsSent", "X05X%3X04X00X01X02", kPlain, 1,
     Bytes{0x04, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00}},
    {"CountedOtherKindsAreZero", "X03X%3X01X%9", kPlain, 1, Bytes{0x01, 0x00, 0x00, 0x00}},
    {"CountedRightsAndDevice", "X04X%3X02X%1X%B", kIds, 1, Bytes{0x02, 0x28, 0x03, 0x00, 0x00}},
    {"CountedClipsToNPlusTwo", "X06X%3X01X11X22X33X44", kPlain, 1, Bytes{0x01, 0x11, 0x22, 0x33}},
    {"CountedLiteralPastTheEnd", "X03X%3X01X%4", kPlain, 1, std::nullopt},
    {"CountedLastLiteralPastTheEnd", "X03X%3X01X%5", kPlain, 1, std::nullopt},
    {"CountedNAboveTheBody", "X02X%3X3E", kPlain, 1, std::nullopt},
    {"CountedWithoutN", "X01X%3", kPlain, 1, std::nullopt},
    {"CountedLargestN", "X02X%3X3D", kPlain, 1,
     [] {
         Bytes b{0x3D};
         b.insert(b.end(), 0x3D + 2, 0x00);
         return b;
     }()},
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class KeyBodyTest : public ::testing::TestWithParam<Case> {};

TEST_P(KeyBodyTest, GivesTheExactBody) {
    CtrlDeviceRecord owner = OwnerRecord();
    const Case& c = GetParam();
    EXPECT_EQ(Build(c, owner), c.body) << c.line;
}

INSTANTIATE_TEST_SUITE_P(Sequences, KeyBodyTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& instance) {
                             return std::string(instance.param.name);
                         });

TEST(KeyBody, SequenceWithoutOwnerSendsZeroForParameters) {
    CtrlKeySequence sequence;
    ParseKeySequence(sequence, "X02X%5X01");
    const auto body = BuildRs485Body(sequence, kPlain, 1);
    ASSERT_TRUE(body);
    EXPECT_EQ(Bytes(body->bytes.begin(), body->bytes.begin() + 5),
              (Bytes{0x02, 0x00, 0x01, 0x01, 0x32}));
}

}  // namespace
