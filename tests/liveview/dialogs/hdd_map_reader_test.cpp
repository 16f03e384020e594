// The one reader of the device's disk map, which the playback search, the
// event page and the Network Backup page share: the request it sends and
// what it makes of replies of every length.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "liveview/dialogs/hdd_presence_map.h"
#include "tests/support/core/device_command_fixture.h"

namespace {

using test_support::Reply;

class HddMapReaderTest : public command_test::DeviceCommandTest {};

// The map is the reply's first 32 bytes; a shorter reply leaves the rest 0,
// bytes after the map are not read.
TEST_F(HddMapReaderTest, ReadsTheFirstBytesOfAReplyOfAnyLength) {
    struct Case {
        const char* name;
        std::string body;
        std::vector<int> disks;
    };
    std::string full(liveview::kHddPresenceMapBytes, '\0');
    full[0] = '\x05';   // MASTER1, MASTER2
    full[31] = '\x80';  // disk 255
    std::string longer = full + std::string(8, '\xFF');
    const Case cases[] = {
        {"empty", "", {}},
        {"short", std::string("\x12\x00\x01", 3), {1, 4, 16}},
        {"exactly the map", full, {0, 2, 255}},
        {"longer than the map", longer, {0, 2, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.SetReply("/GetDvrHDD.cgi", Reply::Ok(c.body));
        const auto map = liveview::ReadHddPresenceMap();
        ASSERT_TRUE(map.has_value());
        EXPECT_EQ(map->Disks(), c.disks);
    }
}

TEST_F(HddMapReaderTest, SendsTheSessionCookieOnlyWhenThereIsOne) {
    device.SetReply("/GetDvrHDD.cgi", Reply::Ok(std::string(32, '\0')));
    ASSERT_TRUE(liveview::ReadHddPresenceMap().has_value());
    g_szSessionCookie.Set("c0ffee");
    ASSERT_TRUE(liveview::ReadHddPresenceMap().has_value());
    const auto requests = device.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/GetDvrHDD.cgi");
    EXPECT_EQ(requests[1].target, "/GetDvrHDD.cgi?Cookie=c0ffee");
}

TEST_F(HddMapReaderTest, AFailedRequestGivesNoMap) {
    device.SetReply("/GetDvrHDD.cgi", Reply::Status(404, "Not Found"));
    EXPECT_FALSE(liveview::ReadHddPresenceMap().has_value());
}

}  // namespace
