#pragma once

#include <istream>
#include <string>
#include <vector>

namespace ombrix::tools {

// Where the C library sends queries when resolv.conf names no server.
inline constexpr const char* kDefaultNameserver = "127.0.0.1";

// The address of every "nameserver" line of a resolv.conf, in order, as server settings (an
// IPv6 address may carry its scope, "fe80::1%eth0"); kDefaultNameserver alone when there is
// none, as the C library does.
std::vector<std::string> nameservers(std::istream& conf);

// The first of them.
std::string firstNameserver(std::istream& conf);

}  // namespace ombrix::tools
