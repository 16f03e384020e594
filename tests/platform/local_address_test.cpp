#include "platform/local_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>

#include <deque>
#include <string>

namespace {

// A hand-built interface list in the shape getifaddrs returns.
class InterfaceList {
public:
    InterfaceList& AddV4(const char* name, const char* address, unsigned flags) {
        sockaddr_in& sa = m_v4.emplace_back();
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &sa.sin_addr);
        return Add(name, reinterpret_cast<sockaddr*>(&sa), flags);
    }
    InterfaceList& AddV6(const char* name, unsigned flags) {
        sockaddr_in6& sa = m_v6.emplace_back();
        sa.sin6_family = AF_INET6;
        return Add(name, reinterpret_cast<sockaddr*>(&sa), flags);
    }
    InterfaceList& AddWithoutAddress(const char* name, unsigned flags) {
        return Add(name, nullptr, flags);
    }
    const ifaddrs* Head() const { return m_entries.empty() ? nullptr : &m_entries.front(); }

private:
    InterfaceList& Add(const char* name, sockaddr* address, unsigned flags) {
        ifaddrs& entry = m_entries.emplace_back();
        entry.ifa_name = const_cast<char*>(name);
        entry.ifa_flags = flags;
        entry.ifa_addr = address;
        if (m_entries.size() > 1) {
            m_entries[m_entries.size() - 2].ifa_next = &entry;
        }
        return *this;
    }
    std::deque<ifaddrs> m_entries;  // stable addresses while growing
    std::deque<sockaddr_in> m_v4;
    std::deque<sockaddr_in6> m_v6;
};

TEST(FirstLocalIPv4, SkipsLoopbackDownV6AndAddresslessEntries) {
    InterfaceList list;
    list.AddV4("lo", "127.0.0.1", IFF_UP | IFF_LOOPBACK)
        .AddWithoutAddress("tun0", IFF_UP)
        .AddV6("eth0", IFF_UP)
        .AddV4("eth1", "10.1.2.3", 0)  // down
        .AddV4("dummy0", "127.0.1.1", IFF_UP)
        .AddV4("eth2", "192.168.7.20", IFF_UP)
        .AddV4("eth3", "172.16.0.1", IFF_UP);
    EXPECT_EQ(platform::FirstLocalIPv4(list.Head()), "192.168.7.20");
}

TEST(FirstLocalIPv4, EmptyWhenOnlyLoopbackIsUp) {
    InterfaceList list;
    list.AddV4("lo", "127.0.0.1", IFF_UP | IFF_LOOPBACK).AddV4("eth0", "10.0.0.5", 0);
    EXPECT_EQ(platform::FirstLocalIPv4(list.Head()), "");
    EXPECT_EQ(platform::FirstLocalIPv4(nullptr), "");
}

TEST(FirstLocalIPv4, TheMachinesOwnAddressIsDottedIPv4OrEmpty) {
    const std::string text = platform::FirstLocalIPv4();
    if (!text.empty()) {
        in_addr address{};
        EXPECT_EQ(::inet_pton(AF_INET, text.c_str(), &address), 1) << text;
        EXPECT_NE(ntohl(address.s_addr) >> 24, 127u) << text;
    }
}

}  // namespace
