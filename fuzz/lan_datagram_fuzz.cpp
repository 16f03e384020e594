// Fuzzes the reading of LAN search replies: the 76-byte datagram decoder,
// the matching of a reply against the search, set-address and reset
// requests, and the device entry built from a reply. Byte 0 picks the
// entry's index; the rest is the datagram as it arrived (any length).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/net/lan_search.h"
#include "fuzz/fuzz_check.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::int32_t index = data[0];
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    static const SearchDatagram search = BuildSearchRequest("192.168.1.20", 6000);
    static const DeviceNetworkText settings{"00:0e:5c:4a:17:b3", "192.168.1.30", "255.255.255.0",
                                            "192.168.1.1",       "192.168.1.1",  80};
    static const SearchDatagram setIp = BuildDeviceRequest(kSetIpCommand, settings, "admin", "pw");
    static const SearchDatagram reset = BuildDeviceRequest(kResetCommand, settings, "admin", "pw");

    const auto decoded = SearchDatagram::Decode(bytes);
    Check(decoded.has_value() == (bytes.size() == kSearchDatagramBytes));
    for (const SearchDatagram* request : {&search, &setIp, &reset}) {
        const auto match = MatchReply(*request, bytes);
        Check(!match || decoded);
    }
    if (!decoded) {
        return 0;
    }
    const auto encoded = decoded->Encode();
    Check(std::equal(encoded.begin(), encoded.end(), bytes.begin()));

    const DeviceEntry entry = DeviceEntryFromReply(*decoded, index);
    Check(entry.index == index);
    Check(IsMacText(entry.mac));
    Check(IsDottedQuad(entry.ip) && IsDottedQuad(entry.mask) && IsDottedQuad(entry.gateway) &&
          IsDottedQuad(entry.dns));
    (void)DeviceTypeName(entry.type);
    (void)CanChangeNetwork(entry.type);
    (void)CheckDeviceSettings(entry.Network());
    return 0;
}
