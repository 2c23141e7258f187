// Any bytes as the text of a report (input domain, exchanger names, canonical name, fault,
// trace): the line is one line of valid JSON that keeps every text that was valid UTF-8.
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

bool validUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
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
    for (int i = reader.u8().value_or(0) % 4; i > 0; --i) {
        report.result.exchangers.push_back(
            {reader.u16().value_or(0), piece(reader), reader.u32().value_or(0), {}, {}});
    }
    if (reader.u8().value_or(0) % 2 == 1) {
        report.result.canonicalName = piece(reader);
    }
    if (lookup::isTemporary(report.result.outcome) ||
        report.result.outcome == lookup::Outcome::invalidDomain) {
        const auto kind = static_cast<lookup::Fault::Kind>(reader.u8().value_or(0) % 7);
        report.result.fault = lookup::Fault{kind, piece(reader)};
    }
    report.result.wire.tries = reader.u8().value_or(0) % 4;
    report.trace.push_back({std::chrono::microseconds(reader.u16().value_or(0)), piece(reader)});

    const auto line = tools::toJsonLine(report);
    require(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1);
    const auto parsed = nlohmann::json::parse(line);
    if (validUtf8(report.domain)) {
        require(parsed.at("domain") == report.domain);
    }
    require(parsed.at("exchangers").size() == report.result.exchangers.size());
    require(parsed.contains("error") == report.result.fault.has_value());
    return 0;
}
