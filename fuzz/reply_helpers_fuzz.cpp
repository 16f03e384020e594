// Fuzzes the command client's and the session login's small readers of
// device bytes: the key/value extractor, the buffer search, the online-user
// mask, the echo-reply check and the byte scans and record copy. Byte 0
// chooses a capacity and a key length, the rest is the reply. Whatever the
// bytes hold, nothing is read or written outside its buffer (the sanitizers
// watch) and every result points inside what it was given.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/login/session_login.h"
#include "core/net/cgi_command.h"
#include "core/net/ping_host.h"
#include "core/state/app_global_state.h"
#include "fuzz/fuzz_check.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t capacity = data[0] & 0x3F;
    const std::size_t keyLength = std::min<std::size_t>(data[0] >> 6, size - 1);
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());

    // Keys taken from the input itself and one the program would look for.
    for (const std::string_view key :
         {text.substr(0, keyLength), std::string_view("Session-ID=")}) {
        for (const char terminator : {';', '\r'}) {
            std::vector<char> output(capacity);
            const int at = ExtractKeyValue(text, output, key, terminator);
            if (at >= 0) {
                Check(static_cast<std::size_t>(at) < text.size() && text[at] == terminator);
                Check(std::find(output.begin(), output.end(), '\0') != output.end());
            }
        }
    }

    const std::size_t offset = FindStringInBuffer(rest, rest.first(keyLength));
    Check(offset == 0 || offset + keyLength <= rest.size());

    std::vector<char> masked(rest.begin(), rest.end());
    MaskOnlineUserText(masked);

    const auto request = BuildPingRequest(1, 1, 0);
    (void)IsPingReply(rest, true, request);
    (void)IsPingReply(rest, false, request);

    Check(CountBytesBeforeFF(rest) <= rest.size());
    const std::size_t marker = FindJpegEndMarker(rest);
    Check(marker == 0 || marker + 3 <= rest.size());

    const auto state = std::make_unique<AppGlobalState>();
    AppGlobalState* const previous = g_lpApp;
    g_lpApp = state.get();
    Check(CopyDeviceRecord(rest) == (rest.size() >= DeviceRecord::kPackedBytes ? 1 : 0));
    g_lpApp = previous;
    return 0;
}
