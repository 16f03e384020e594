// The command client's smaller operations: the connection check against a
// real listener on 127.0.0.1 and the text helpers.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/net/cgi_command.h"
#include "tests/support/core/device_command_fixture.h"

namespace command_test {
namespace {

// ---- connection check ------------------------------------------------------------

struct ConnectionCase {
    const char* name;
    std::string server;  // "device": the fake device's address
    bool closedPort;
    int expected;
};

class ConnectionCheck : public DeviceCommandTest {};

TEST_F(ConnectionCheck, AnswersWhetherTheServerTakesAConnection) {
    const std::uint16_t closed = ClosedPort();
    const ConnectionCase cases[] = {
        {"listening device", "127.0.0.1", false, 1},
        {"nothing listens", "127.0.0.1", true, 0},
        {"empty address", "", false, 0},
        {"malformed dotted address", "300.1.1.1", false, 0},
        {"short dotted address", "127.1", false, 0},
        {"unresolvable name", "no-such-host.invalid", false, 0},
    };
    for (const ConnectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        settings().m_strServerName = c.server;
        settings().m_wWebPort = c.closedPort ? closed : device.port();
        EXPECT_EQ(DectectSocketConnection(std::chrono::seconds(5)), c.expected);
        // Nothing is shown and the settings stay as they were.
        EXPECT_TRUE(boxes.sink().Entries().empty());
        EXPECT_EQ(settings().m_strServerName.Get(), c.server);
        EXPECT_TRUE(settings().m_szResolvedHost.empty());
    }
}

TEST_F(ConnectionCheck, ResolvesAHostNameWithoutRewritingTheSettings) {
    settings().m_strServerName = "localhost";
    EXPECT_EQ(DectectSocketConnection(std::chrono::seconds(5)), 1);
    EXPECT_EQ(settings().m_strServerName.Get(), "localhost");
    EXPECT_TRUE(settings().m_szResolvedHost.empty());
}

// ---- ExtractKeyValue ---------------------------------------------------------------

struct ExtractCase {
    const char* name;
    std::string text;
    std::string key;
    char terminator;
    std::size_t capacity;
    int expected;
    std::string value;
};

TEST(ExtractKeyValue, CopiesTheValueUpToTheTerminator) {
    const ExtractCase cases[] = {
        {"plain item", "A=1;LIFETIME=300;B=2;", "LIFETIME=", ';', 256, 16, "300"},
        {"key without its '='", "LIFETIME=300;", "LIFETIME", ';', 256, 12, "=300"},
        {"first match wins", "X=1;X=22;", "X=", ';', 256, 3, "1"},
        {"first character taken even when it is the terminator", "K=;ab;", "K=", ';', 256, 5,
         ";ab"},
        {"other terminator", "name: cam\r\n", "name: ", '\r', 256, 9, "cam"},
        {"key absent", "A=1;", "B=", ';', 256, -1, ""},
        {"nothing after the key", "A=1;K=", "K=", ';', 256, -1, ""},
        {"no terminator after the value", "K=123", "K=", ';', 256, -1, ""},
        {"text ends at its zero byte", std::string("K=1\0;", 5), "K=", ';', 256, -1, ""},
        {"value fills the output exactly", "K=1234;", "K=", ';', 5, 6, "1234"},
        {"value one too long for the output", "K=12345;", "K=", ';', 5, -1, ""},
        {"no output at all", "K=1;", "K=", ';', 0, -1, ""},
    };
    for (const ExtractCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> output(c.capacity + 1, 'x');  // one guard byte past the capacity
        const int result =
            ExtractKeyValue(c.text, std::span(output).first(c.capacity), c.key, c.terminator);
        EXPECT_EQ(result, c.expected);
        if (c.capacity > 0) {
            EXPECT_EQ(std::string(output.data(), strnlen(output.data(), c.capacity)), c.value);
        }
        EXPECT_EQ(output[c.capacity], 'x');
    }
}

// ---- FindStringInBuffer --------------------------------------------------------------

TEST(FindStringInBuffer, GivesTheFirstOffsetOrZero) {
    struct Case {
        const char* name;
        std::string buffer;
        std::string pattern;
        std::size_t expected;
    };
    const Case cases[] = {
        {"in the middle", "xxabcabc", "abc", 2},
        {"at offset 0 looks like absent", "abcx", "abc", 0},
        {"absent", "xxxxxx", "abc", 0},
        {"ends with the buffer", "xxxabc", "abc", 3},
        {"buffer shorter than the pattern", "ab", "abc", 0},
        {"empty pattern", "abc", "", 0},
        {"zero bytes are data", std::string("\0\0a\0b", 5), std::string("a\0b", 3), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindStringInBuffer(Bytes(c.buffer), Bytes(c.pattern)), c.expected);
    }
}

// ---- MaskOnlineUserText -----------------------------------------------------------------

TEST(MaskOnlineUserText, KeepsTheWordAndZeroesEverythingElse) {
    struct Case {
        const char* name;
        std::string buffer;  // the whole buffer, zero bytes included
        std::string expected;
    };
    const std::string zeros17(17, '\0');
    const Case cases[] = {
        {"word spread over noise", std::string("o\0nXline-user-num\0\0", 20),
         std::string("o0n0line-user-num\0\0", 20)},
        {"empty text is zeroed up to the length", zeros17, std::string(17, '0')},
        {"text as long as the label is left alone", std::string("online-user-num:\0", 17),
         std::string("online-user-num:\0", 17)},
        {"buffer no longer than the label is left alone", std::string(16, '\0'),
         std::string(16, '\0')},
        {"walk stops after the last letter", std::string("online-user-num\0\0\0", 18),
         std::string("online-user-num\0\0\0", 18)},
        {"no terminator: the text is the whole buffer", std::string(20, 'z'), std::string(20, 'z')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string buffer = c.buffer;
        MaskOnlineUserText(std::span(buffer.data(), buffer.size()));
        EXPECT_EQ(buffer, c.expected);
    }
}

}  // namespace
}  // namespace command_test
