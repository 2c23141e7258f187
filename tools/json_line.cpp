#include "tools/json_line.h"

#include <chrono>
#include <nlohmann/json.hpp>

#include "ombrix/lookup/numbered_error.h"
#include "tools/outcome_name.h"
#include "tools/rcode_text.h"

namespace ombrix::tools {
namespace {

using Json = nlohmann::ordered_json;

double milliseconds(std::chrono::microseconds duration) {
    return static_cast<double>(duration.count()) / 1000.0;
}

Json tlsaOf(const lookup::TlsaLookup& tlsa) {
    Json entry{{"name", tlsa.name}};
    if (tlsa.asked) {
        entry["dnssec"] = lookup::word(tlsa.dnssec);
    }
    entry["status"] = lookup::word(tlsa.status);
    auto records = Json::array();
    for (const auto& record : tlsa.records) {
        records.push_back({{"usage", record.usage},
                           {"selector", record.selector},
                           {"matching", record.matching},
                           {"data", record.data}});
    }
    entry["records"] = std::move(records);
    return entry;
}

void addPosture(Json& entry, const lookup::ExchangerPosture& posture) {
    entry["address_dnssec"] = lookup::word(posture.addressDnssec);
    entry["tlsa"] = tlsaOf(posture.tlsa);
}

// The keys --security adds after the MX answer's own.
void addSecurity(Json& line, const lookup::MailSecurity& security) {
    line["dnssec"] = lookup::word(security.dnssec);
    if (security.implicitExchanger) {
        Json implicit{{"name", security.implicitExchanger->name}};
        addPosture(implicit, *security.implicitExchanger);
        line["implicit_exchanger"] = std::move(implicit);
    }
    line["dane"] = lookup::word(security.dane);
    Json mtaSts{{"status", lookup::word(security.mtaSts.status)}};
    if (security.mtaSts.status == lookup::PolicyRecordStatus::valid) {
        mtaSts["id"] = security.mtaSts.id;
    } else if (!security.mtaSts.reason.empty()) {
        mtaSts["reason"] = security.mtaSts.reason;
    }
    line["mta_sts"] = std::move(mtaSts);
    Json tlsRpt{{"status", lookup::word(security.tlsRpt.status)}};
    if (security.tlsRpt.status == lookup::PolicyRecordStatus::valid) {
        tlsRpt["rua"] = security.tlsRpt.rua;
    } else if (!security.tlsRpt.reason.empty()) {
        tlsRpt["reason"] = security.tlsRpt.reason;
    }
    line["tls_rpt"] = std::move(tlsRpt);
}

Json exchangersOf(const DomainReport& report) {
    const auto& exchangers = report.result.exchangers;
    const bool withAddresses = report.addressStatus.size() == exchangers.size();
    auto list = Json::array();
    for (std::size_t i = 0; i < exchangers.size(); ++i) {
        const auto& exchanger = exchangers[i];
        Json entry{
            {"preference", exchanger.preference}, {"name", exchanger.name}, {"ttl", exchanger.ttl}};
        if (withAddresses) {
            entry["ipv4"] = exchanger.ipv4;
            entry["ipv6"] = exchanger.ipv6;
            entry["status"] = addressStatusName(report.addressStatus[i]);
        }
        if (report.security && i < report.security->exchangers.size()) {
            addPosture(entry, report.security->exchangers[i]);
        }
        list.push_back(std::move(entry));
    }
    return list;
}

Json traceOf(const DomainReport& report) {
    auto list = Json::array();
    for (const auto& event : report.trace) {
        list.push_back({{"at_ms", milliseconds(event.at)}, {"event", event.what}});
    }
    return list;
}

}  // namespace

std::string toJsonLine(const DomainReport& report) {
    const auto& result = report.result;
    Json line;
    line["domain"] = report.domain;
    if (!result.query.empty()) {
        line["query"] = result.query;
    }
    line["outcome"] = outcomeName(result.outcome);
    line["temporary"] = result.temporary();
    if (result.rcode) {
        const auto name = rcodeText(*result.rcode);
        line["rcode"] = name ? Json(*name) : Json(*result.rcode);
    }
    line["exchangers"] = exchangersOf(report);
    if (result.outcome == lookup::Outcome::nullMxMixed) {
        line["null_mx_mixed"] = true;
    }
    if (result.canonicalName) {
        line["canonical"] = *result.canonicalName;
    }
    if (report.security) {
        addSecurity(line, *report.security);
    }
    line["server"] = result.wire.server;
    if (result.wire.tries > 0) {
        line["transport"] = result.wire.transport == lookup::Transport::tcp ? "tcp" : "udp";
    }
    line["tries"] = result.wire.tries;
    if (result.rcode) {
        line["rtt_ms"] = milliseconds(result.wire.roundTrip);
    }
    if (result.fault) {
        const auto error = lookup::numberedError(*result.fault);
        line["error"] = {
            {"number", error.number}, {"source", error.source}, {"description", error.description}};
    }
    if (!report.trace.empty()) {
        line["trace"] = traceOf(report);
    }
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

}  // namespace ombrix::tools
