// Fuzzes the reader of "key=value;" reply items and the saturating integer
// reader behind it. The first byte chooses how many of the next bytes form a
// key of the input's own; the rest is the reply body. The body is then read
// with the keys the program really asks for, once directly and once by
// walking repeated groups with the cursor form.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/net/cgi_command.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr std::array<std::string_view, 16> kKeys{
    "Session-ID=", "Firmware-Version=",
    "Product-ID",  "MAC-Address",
    "LIFETIME",    "MULTICH",
    "LINKDEVICE",  "MASTERNUM",
    "RETR",        "VIDEOMODE",
    "USERLEVEL",   "Boot-Version",
    "SLAVENUM",    "SID",
    "=",           "",
};
constexpr std::array<std::string_view, 5> kGroupKeys{"MID", "MTYPE", "SID", "STYPE", "SPROTOCOL"};

using fuzz_support::Check;

void ReadAll(const ReplyItems& items, std::string_view key) {
    const auto raw = items.Raw(key);
    const auto found = items.Find(key);
    const auto number = items.Number(key);
    Check(raw.has_value() == found.has_value() && found.has_value() == number.has_value());
    if (found) {
        Check(found->size() < ReplyItems::kValueCapacity);
        Check(raw->substr(0, found->size()) == *found);
        Check(raw->find(';') == std::string_view::npos);
    }
}

void WalkGroups(const ReplyItems& items) {
    std::size_t position = 0;
    const std::size_t size = items.Text().size();
    // Every hit moves the cursor forward, so the walk ends within size steps.
    for (std::size_t step = 0; step <= size + 1; ++step) {
        const std::size_t before = position;
        const auto hit = items.Number(kGroupKeys[step % kGroupKeys.size()], position);
        Check(position <= size);
        if (!hit) {
            Check(position == before);
            return;
        }
        Check(position > before);
    }
    Check(false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    (void)ParseSaturatingInt(all);

    std::string_view ownKey;
    std::string_view body = all;
    if (!all.empty()) {
        const std::size_t keyLength =
            std::min<std::size_t>(static_cast<std::uint8_t>(all[0]) % 24, all.size() - 1);
        ownKey = all.substr(1, keyLength);
        body = all.substr(1 + keyLength);
    }

    const ReplyItems items(body);
    Check(items.Text().size() <= body.size());
    Check(items.Text().find('\0') == std::string_view::npos);
    ReadAll(items, ownKey);
    for (const std::string_view key : kKeys) {
        ReadAll(items, key);
    }
    WalkGroups(items);

    // A cursor past the end finds nothing and stays where it is.
    std::size_t past = body.size() + 1;
    Check(!items.Find("SID", past) && past == body.size() + 1);
    return 0;
}
