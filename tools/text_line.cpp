#include "tools/text_line.h"

#include <cstdio>

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

}  // namespace

std::string toTextLine(const DomainReport& report) {
    const auto& result = report.result;
    std::string line = printable(report.domain);
    line += ' ';
    line += outcomeName(result.outcome);
    const char* separator = " ";
    for (const auto& exchanger : result.exchangers) {
        line += separator + std::to_string(exchanger.preference) + ' ' + exchanger.name;
        separator = ", ";
    }
    if (result.fault) {
        line += ": " + result.fault->description;
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
