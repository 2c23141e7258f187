#include "tools/text_line.h"

#include <cstdio>

#include "hosterrors/numbered_error.h"
#include "tools/outcome_name.h"

namespace ombrix::tools {
namespace {

std::string printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\%03u", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

// " [192.0.2.1 2001:db8::1]", with the status first when it is not plain "ok":
// " [cname 192.0.2.1]", " [no_address]".
std::string addressesText(const lookup::Exchanger& exchanger, lookup::AddressStatus status) {
    std::string text = " [";
    const char* separator = "";
    if (status != lookup::AddressStatus::found) {
        text += addressStatusName(status);
        separator = " ";
    }
    for (const auto* family : {&exchanger.ipv4, &exchanger.ipv6}) {
        for (const auto& address : *family) {
            text += separator + address;
            separator = " ";
        }
    }
    return text + ']';
}

// " {secure usable}": the exchanger's address status and what its TLSA came to.
std::string postureText(const lookup::ExchangerPosture& posture) {
    return " {" + std::string(lookup::word(posture.addressDnssec)) + ' ' +
           std::string(lookup::word(posture.tlsa.status)) + '}';
}

// "; dnssec secure, dane verified, mta_sts valid, tls_rpt absent", with the implicit
// exchanger of a domain without MX first.
std::string securityText(const lookup::MailSecurity& security) {
    std::string text;
    if (security.implicitExchanger) {
        text += "; implicit " + security.implicitExchanger->name +
                postureText(*security.implicitExchanger);
    }
    text += "; dnssec " + std::string(lookup::word(security.dnssec));
    text += ", dane " + std::string(lookup::word(security.dane));
    text += ", mta_sts " + std::string(lookup::word(security.mtaSts.status));
    text += ", tls_rpt " + std::string(lookup::word(security.tlsRpt.status));
    return text;
}

}  // namespace

std::string toTextLine(const DomainReport& report) {
    const auto& result = report.result;
    std::string line = printable(report.domain);
    line += ' ';
    line += outcomeName(result.outcome);
    const char* separator = " ";
    const bool withAddresses = report.addressStatus.size() == result.exchangers.size();
    for (std::size_t i = 0; i < result.exchangers.size(); ++i) {
        const auto& exchanger = result.exchangers[i];
        line += separator + std::to_string(exchanger.preference) + ' ' + exchanger.name;
        if (withAddresses) {
            line += addressesText(exchanger, report.addressStatus[i]);
        }
        if (report.security && i < report.security->exchangers.size()) {
            line += postureText(report.security->exchangers[i]);
        }
        separator = ", ";
    }
    if (report.security) {
        line += securityText(*report.security);
    }
    if (result.fault) {
        line += ": " + host::hostDescription(*result.fault);
    }
    return line + '\n';
}

std::string toTraceText(const DomainReport& report) {
    std::string text;
    for (const auto& event : report.trace) {
        char at[32];
        std::snprintf(at, sizeof at, " +%.3f ms ", static_cast<double>(event.at.count()) / 1000.0);
        text += printable(report.domain) + at + event.what + '\n';
    }
    return text;
}

}  // namespace ombrix::tools
