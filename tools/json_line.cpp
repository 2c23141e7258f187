#include "tools/json_line.h"

#include <functional>

#include "hosterrors/numbered_error.h"
#include "tools/json_writer.h"
#include "tools/outcome_name.h"
#include "tools/rcode_text.h"

namespace ombrix::tools {
namespace {

// A list of strings: addresses, or reporting addresses.
void writeStrings(JsonWriter& json, std::string_view key, const std::vector<std::string>& list) {
    json.key(key);
    json.beginArray();
    for (const auto& address : list) {
        json.string(address);
    }
    json.endArray();
}

void writeTlsa(JsonWriter& json, const lookup::TlsaLookup& tlsa) {
    json.key("tlsa");
    json.beginObject();
    json.key("name");
    json.string(tlsa.name);
    if (tlsa.asked) {
        json.key("dnssec");
        json.string(lookup::word(tlsa.dnssec));
    }
    json.key("status");
    json.string(lookup::word(tlsa.status));
    json.key("records");
    json.beginArray();
    for (const auto& record : tlsa.records) {
        json.beginObject();
        json.key("usage");
        json.number(record.usage);
        json.key("selector");
        json.number(record.selector);
        json.key("matching");
        json.number(record.matching);
        json.key("data");
        json.string(record.data);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

void writePosture(JsonWriter& json, const lookup::ExchangerPosture& posture) {
    json.key("address_dnssec");
    json.string(lookup::word(posture.addressDnssec));
    writeTlsa(json, posture.tlsa);
}

// "mta_sts" and "tls_rpt": the status, what a valid record says, or why it is not valid.
void writePolicy(JsonWriter& json, std::string_view key, lookup::PolicyRecordStatus status,
                 const std::function<void()>& writeValid, const std::string& reason) {
    json.key(key);
    json.beginObject();
    json.key("status");
    json.string(lookup::word(status));
    if (status == lookup::PolicyRecordStatus::valid) {
        writeValid();
    } else if (!reason.empty()) {
        json.key("reason");
        json.string(reason);
    }
    json.endObject();
}

// The keys --security adds after the MX answer's own.
void writeSecurity(JsonWriter& json, const lookup::MailSecurity& security) {
    json.key("dnssec");
    json.string(lookup::word(security.dnssec));
    if (security.implicitExchanger) {
        json.key("implicit_exchanger");
        json.beginObject();
        json.key("name");
        json.string(security.implicitExchanger->name);
        writePosture(json, *security.implicitExchanger);
        json.endObject();
    }
    json.key("dane");
    json.string(lookup::word(security.dane));
    writePolicy(
        json, "mta_sts", security.mtaSts.status,
        [&] {
            json.key("id");
            json.string(security.mtaSts.id);
        },
        security.mtaSts.reason);
    writePolicy(
        json, "tls_rpt", security.tlsRpt.status,
        [&] { writeStrings(json, "rua", security.tlsRpt.rua); }, security.tlsRpt.reason);
}

void writeExchangers(JsonWriter& json, const DomainReport& report) {
    const auto& exchangers = report.result.exchangers;
    const bool withAddresses = report.addressStatus.size() == exchangers.size();
    json.key("exchangers");
    json.beginArray();
    for (std::size_t i = 0; i < exchangers.size(); ++i) {
        const auto& exchanger = exchangers[i];
        json.beginObject();
        json.key("preference");
        json.number(exchanger.preference);
        json.key("name");
        json.string(exchanger.name);
        json.key("ttl");
        json.number(exchanger.ttl);
        if (withAddresses) {
            writeStrings(json, "ipv4", exchanger.ipv4);
            writeStrings(json, "ipv6", exchanger.ipv6);
            json.key("status");
            json.string(addressStatusName(report.addressStatus[i]));
        }
        if (report.security && i < report.security->exchangers.size()) {
            writePosture(json, report.security->exchangers[i]);
        }
        json.endObject();
    }
    json.endArray();
}

void writeRcode(JsonWriter& json, std::uint8_t rcode) {
    json.key("rcode");
    if (const auto name = rcodeText(rcode)) {
        json.string(*name);
    } else {
        json.number(rcode);
    }
}

void writeError(JsonWriter& json, const lookup::Fault& fault) {
    const auto error = host::numberedError(fault);
    json.key("error");
    json.beginObject();
    json.key("number");
    json.number(error.number);
    json.key("source");
    json.string(error.source);
    json.key("description");
    json.string(error.description);
    json.endObject();
}

void writeTrace(JsonWriter& json, const std::vector<TraceEvent>& trace) {
    json.key("trace");
    json.beginArray();
    for (const auto& event : trace) {
        json.beginObject();
        json.key("at_ms");
        json.milliseconds(event.at);
        json.key("event");
        json.string(event.what);
        json.endObject();
    }
    json.endArray();
}

}  // namespace

void appendJsonLine(const DomainReport& report, std::string& out) {
    const auto& result = report.result;
    JsonWriter json(out);
    json.beginObject();
    json.key("domain");
    json.string(report.domain);
    if (!result.query.empty()) {
        json.key("query");
        json.string(result.query);
    }
    json.key("outcome");
    json.string(outcomeName(result.outcome));
    json.key("temporary");
    json.boolean(result.temporary());
    if (result.rcode) {
        writeRcode(json, *result.rcode);
    }
    writeExchangers(json, report);
    if (result.outcome == lookup::Outcome::nullMxMixed) {
        json.key("null_mx_mixed");
        json.boolean(true);
    }
    if (result.canonicalName) {
        json.key("canonical");
        json.string(*result.canonicalName);
    }
    if (report.security) {
        writeSecurity(json, *report.security);
    }
    json.key("server");
    json.string(result.wire.server);
    if (result.wire.tries > 0) {
        json.key("transport");
        json.string(result.wire.transport == lookup::Transport::tcp ? "tcp" : "udp");
    }
    json.key("tries");
    json.number(result.wire.tries);
    if (result.rcode) {
        json.key("rtt_ms");
        json.milliseconds(result.wire.roundTrip);
    }
    if (result.fault) {
        writeError(json, *result.fault);
    }
    if (!report.trace.empty()) {
        writeTrace(json, report.trace);
    }
    json.endObject();
    out += '\n';
}

std::string toJsonLine(const DomainReport& report) {
    std::string line;
    appendJsonLine(report, line);
    return line;
}

}  // namespace ombrix::tools
