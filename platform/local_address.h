#pragma once

#include <ifaddrs.h>

#include <string>

namespace platform {

// The machine's own address as dotted text: the first IPv4 address of an
// interface that is up and is not a loopback interface, in the order the
// system lists its interfaces. Empty when there is none.
std::string FirstLocalIPv4();

// The same choice made over a given interface list (as getifaddrs returns it).
std::string FirstLocalIPv4(const ifaddrs* interfaces);

}  // namespace platform
