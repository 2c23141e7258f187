// Any bytes as the text of a report (input domain, exchanger names, addresses, canonical
// name, fault, trace): the line is one line of valid JSON that a separate JSON library reads
// and writes back byte for byte, and every text comes out as that library writes it, bad
// UTF-8 replaced the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "byte_reader.h"
#include "tools/json_line.h"

namespace {

using namespace ombrix;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// The next piece of the input: a length byte, then that many bytes.
std::string piece(lookup::ByteReader& reader) {
    const auto length = reader.u8().value_or(0);
    const auto bytes = reader.bytes(std::min<std::size_t>(length, reader.remaining()));
    return bytes ? std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size())
                 : std::string();
}

using Json = nlohmann::ordered_json;

// The text as the reference library writes it, bad bytes replaced.
std::string referenceString(const std::string& text) {
    return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lookup::ByteReader reader(std::span<const std::uint8_t>(data, size));
    tools::DomainReport report;
    const auto outcome = reader.u8().value_or(0) % 9;
    report.result.outcome = static_cast<lookup::Outcome>(outcome);
    report.domain = piece(reader);
    report.result.query = piece(reader);
    if (const auto rcode = reader.u8(); rcode && *rcode < 32) {
        report.result.rcode = *rcode;
    }
    const bool addresses = reader.u8().value_or(0) % 2 == 1;
    for (int i = reader.u8().value_or(0) % 4; i > 0; --i) {
        report.result.exchangers.push_back(
            {reader.u16().value_or(0), piece(reader), reader.u32().value_or(0), {}, {}});
        if (addresses) {
            report.result.exchangers.back().ipv4 = {piece(reader)};
            report.addressStatus.push_back(
                static_cast<lookup::AddressStatus>(reader.u8().value_or(0) % 8));
        }
    }
    if (reader.u8().value_or(0) % 2 == 1) {
        report.result.canonicalName = piece(reader);
    }
    if (lookup::isTemporary(report.result.outcome) ||
        report.result.outcome == lookup::Outcome::invalidDomain) {
        const auto kind = static_cast<lookup::Fault::Kind>(reader.u8().value_or(0) % 8);
        report.result.fault = lookup::Fault{kind, piece(reader)};
    }
    report.result.wire.tries = reader.u8().value_or(0) % 4;
    report.result.wire.roundTrip = std::chrono::microseconds(reader.u32().value_or(0));
    report.trace.push_back({std::chrono::microseconds(reader.u32().value_or(0)), piece(reader)});

    const auto line = tools::toJsonLine(report);
    require(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1);
    const auto parsed = Json::parse(line);
    require(parsed.dump() + '\n' == line);
    require(parsed.at("domain").dump() == referenceString(report.domain));
    require(parsed.at("trace").at(0).at("event").dump() == referenceString(report.trace[0].what));
    const auto at = static_cast<double>(report.trace[0].at.count()) / 1000.0;
    require(parsed.at("trace").at(0).at("at_ms").dump() == Json(at).dump());
    require(parsed.at("exchangers").size() == report.result.exchangers.size());
    require(parsed.contains("error") == report.result.fault.has_value());
    return 0;
}
