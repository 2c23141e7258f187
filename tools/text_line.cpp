#include "tools/text_line.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "hosterrors/numbered_error.h"
#include "tools/outcome_name.h"

namespace ombrix::tools {
namespace {

// Control characters as "\DDD".
void appendPrintable(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += '\\';
            out += static_cast<char>('0' + byte / 100);
            out += static_cast<char>('0' + byte / 10 % 10);
            out += static_cast<char>('0' + byte % 10);
        } else {
            out += c;
        }
    }
}

void appendNumber(std::string& out, unsigned number) {
    std::array<char, 12> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
    out.append(digits.data(), end);
}

// " [192.0.2.1 2001:db8::1]", with the status first when it is not plain "ok":
// " [cname 192.0.2.1]", " [no_address]".
void appendAddresses(std::string& out, const lookup::Exchanger& exchanger,
                     lookup::AddressStatus status) {
    out += " [";
    const char* separator = "";
    if (status != lookup::AddressStatus::found) {
        out += addressStatusName(status);
        separator = " ";
    }
    for (const auto* family : {&exchanger.ipv4, &exchanger.ipv6}) {
        for (const auto& address : *family) {
            out += separator;
            out += address;
            separator = " ";
        }
    }
    out += ']';
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

void appendTextLine(const DomainReport& report, std::string& out) {
    const auto& result = report.result;
    appendPrintable(out, report.domain);
    out += ' ';
    out += outcomeName(result.outcome);
    const char* separator = " ";
    const bool withAddresses = report.addressStatus.size() == result.exchangers.size();
    for (std::size_t i = 0; i < result.exchangers.size(); ++i) {
        const auto& exchanger = result.exchangers[i];
        out += separator;
        appendNumber(out, exchanger.preference);
        out += ' ';
        out += exchanger.name;
        if (withAddresses) {
            appendAddresses(out, exchanger, report.addressStatus[i]);
        }
        if (report.security && i < report.security->exchangers.size()) {
            out += postureText(report.security->exchangers[i]);
        }
        separator = ", ";
    }
    if (report.security) {
        out += securityText(*report.security);
    }
    if (result.fault) {
        out += ": ";
        out += host::hostDescription(*result.fault);
    }
    out += '\n';
}

std::string toTextLine(const DomainReport& report) {
    std::string line;
    appendTextLine(report, line);
    return line;
}

std::string toTraceText(const DomainReport& report) {
    std::string text;
    for (const auto& event : report.trace) {
        char at[32];
        std::snprintf(at, sizeof at, " +%.3f ms ", static_cast<double>(event.at.count()) / 1000.0);
        appendPrintable(text, report.domain);
        text += at;
        text += event.what;
        text += '\n';
    }
    return text;
}

}  // namespace ombrix::tools
