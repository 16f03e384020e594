#include "platform/local_address.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <array>
#include <cstdint>

namespace platform {

std::string FirstLocalIPv4(const ifaddrs* interfaces) {
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        // 127/8 on an interface not flagged loopback is still not reachable
        // from another machine.
        if ((ntohl(address->sin_addr.s_addr) >> 24) == 127) {
            continue;
        }
        std::array<char, INET_ADDRSTRLEN> text{};
        if (::inet_ntop(AF_INET, &address->sin_addr, text.data(), text.size()) != nullptr) {
            return text.data();
        }
    }
    return {};
}

std::string FirstLocalIPv4() {
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return {};
    }
    std::string text = FirstLocalIPv4(interfaces);
    ::freeifaddrs(interfaces);
    return text;
}

}  // namespace platform
