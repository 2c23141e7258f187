#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ombrix::testing {

// What a scripted server needs to know of a query to answer it.
struct QueryView {
    std::uint16_t id = 0;
    std::string name;  // dotted, in the case it was sent, without the final dot
    std::uint16_t type = 0;
    bool checkingDisabled = false;  // the header's CD bit
    bool edns = false;              // an OPT record among the additional records
    bool dnssecOk = false;          // the OPT's DO bit
};

// Reads a query as our clients write it: the header, one question of plain labels, then
// additional records. A message that breaks off reads as far as it goes.
QueryView readQuery(const std::vector<std::uint8_t>& message);

}  // namespace ombrix::testing
