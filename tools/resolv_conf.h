#pragma once

#include <istream>
#include <string>

namespace ombrix::tools {

// Where the C library sends queries when resolv.conf names no server.
inline constexpr const char* kDefaultNameserver = "127.0.0.1";

// The address of the first "nameserver" line of a resolv.conf, as a server setting (an IPv6
// address may carry its scope, "fe80::1%eth0"); kDefaultNameserver when there is none.
std::string firstNameserver(std::istream& conf);

}  // namespace ombrix::tools
