#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/realserver/server_under_test.h"

namespace ombrix::realserver {

// One MX record as a list shows it: the exchange without the final dot, and the preference.
struct MxRecord {
    std::string server;
    std::uint16_t pref = 0;

    friend bool operator==(const MxRecord&, const MxRecord&) = default;
};

void PrintTo(const MxRecord& record, std::ostream* out);

// What dig saw for one MX question: the response code and the MX records of the answer
// section in the order the server wrote them, names without the final dot.
struct DigAnswer {
    std::string status;
    bool truncated = false;
    std::vector<MxRecord> records;
};

enum class DigTransport { Udp, PlainUdp, Tcp };

// Asks with dig (two seconds, one try). PlainUdp sends no EDNS and ignores truncation, as
// our lookup's first datagram does. Throws when dig cannot run or gives no header.
DigAnswer digMx(const ServerUnderTest& server, const std::string& domain,
                DigTransport transport = DigTransport::Udp);

// The list a lookup should hold for what dig saw: ordered by preference, reply order among
// equals, the null MX left out.
std::vector<MxRecord> expectedStore(const DigAnswer& answer);

}  // namespace ombrix::realserver
