#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ombrix::lookup {

// An Extended DNS Error a server attached to its reply: why it answered as it did.
struct ExtendedError {
    std::uint16_t infoCode = 0;  // 1 to 12 say DNSSEC validation failed in some way
    // The server's words for people, as sent: meant to be UTF-8, but not checked, so a caller
    // that shows it escapes it.
    std::string extraText;

    friend bool operator==(const ExtendedError&, const ExtendedError&) = default;
};

// What a reply's OPT record said.
struct ReplyEdns {
    std::uint16_t udpPayload = 0;  // the largest UDP reply the server takes, as it wrote it
    // The full 12-bit response code: the OPT's eight upper bits over the header's four.
    std::uint16_t rcode = 0;
    std::uint8_t version = 0;
    bool dnssecOk = false;              // the DO bit, echoed by a server that understood it
    std::vector<ExtendedError> errors;  // in reply order

    friend bool operator==(const ReplyEdns&, const ReplyEdns&) = default;
};

// What an accepted reply said about itself besides its records.
struct ReplySignals {
    // The AD bit: the server vouches that it validated every record. Worth only as much as the
    // trust in that server and the path to it.
    bool authenticData = false;
    bool checkingDisabled = false;  // the CD bit, as the server echoed it
    std::optional<ReplyEdns> edns;  // nothing when the reply carried no OPT record

    friend bool operator==(const ReplySignals&, const ReplySignals&) = default;
};

}  // namespace ombrix::lookup
