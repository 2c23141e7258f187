#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/reply_signals.h"

namespace ombrix::lookup {

// What a reply to a query for one record type came to.
enum class RecordStatus : std::uint8_t {
    found,          // records of the type asked, at the name or at the end of its CNAME chain
    noData,         // the name exists without records of the type asked
    nxdomain,       // the name (or the end of its CNAME chain) does not exist
    serverFailure,  // the server answered with a failure code
    malformed,      // the reply broke the rules of the protocol
};

// The records of one type that a reply gave for one name, typed.
template <class Record>
struct RecordReply {
    RecordStatus status = RecordStatus::malformed;
    std::vector<Record> records;  // in reply order
    // Where the CNAME chain from the asked name ended, in presentation form, when there was one.
    std::optional<std::string> canonicalName;
    std::optional<Fault> fault;  // set exactly when the reply failed or broke a rule
    // The full response code, the OPT's bits included; nothing when the header was cut short.
    std::optional<std::uint16_t> rcode = {};
    ReplySignals reply = {};  // what the reply said about itself, as in MxResult
    // How many seconds the answer may be kept: the smallest TTL of the records, or for an
    // answer without them the time its SOA record allows (the smaller of the SOA's TTL and its
    // MINIMUM); 0 when the reply says nothing about it.
    std::uint32_t ttl = 0;

    bool failed() const {
        return status == RecordStatus::serverFailure || status == RecordStatus::malformed;
    }
};

}  // namespace ombrix::lookup
