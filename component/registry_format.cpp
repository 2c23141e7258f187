#include "ombrix/component/registry_format.h"

#include <array>

namespace component {
namespace {

constexpr std::string_view kHeader = "component-registry 1";
constexpr std::string_view kClassTag = "class";
constexpr std::string_view kEndLine = "end";
constexpr std::size_t kClassFields = 5;

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool validProgId(std::string_view progId) {
    if (progId.empty())
        return false;
    for (const char c : progId) {
        if (isControl(c) || c == ' ')
            return false;
    }
    return true;
}

bool validPath(std::string_view path) {
    if (path.empty() || path.front() != '/')
        return false;
    for (const char c : path) {
        if (isControl(c))
            return false;
    }
    return true;
}

// Splits a class line into exactly kClassFields tab-separated fields.
std::optional<std::array<std::string_view, kClassFields>> splitFields(std::string_view line) {
    std::array<std::string_view, kClassFields> fields;
    for (std::size_t i = 0; i < kClassFields; ++i) {
        const std::size_t tab = line.find('\t');
        const bool last = i + 1 == kClassFields;
        if (last != (tab == std::string_view::npos))
            return std::nullopt;
        fields[i] = line.substr(0, tab);
        if (!last)
            line.remove_prefix(tab + 1);
    }
    return fields;
}

// Reads a class line, or tells what is wrong with it.
std::optional<std::string> parseClassLine(std::string_view line, Registration& out) {
    const auto fields = splitFields(line);
    if (!fields || (*fields)[0] != kClassTag) {
        return "expected a class line of five tab-separated fields or \"end\"";
    }
    const auto clsid = Guid::parse((*fields)[1]);
    if (!clsid)
        return "the class identifier is not a braced identifier";
    const auto typeLibrary = Guid::parse((*fields)[2]);
    if (!typeLibrary)
        return "the type library identifier is not a braced identifier";
    out = {std::string((*fields)[3]), *clsid, *typeLibrary, std::string((*fields)[4])};
    if (auto problem = registrationProblem(out))
        return problem;
    return std::nullopt;
}

std::string damageText(std::string_view fileName, std::size_t line, std::string_view reason) {
    return "The registry file '" + std::string(fileName) + "' is damaged at line " +
           std::to_string(line) + ": " + std::string(reason);
}

}  // namespace

std::string formatRegistry(const std::vector<Registration>& registrations) {
    std::string text(kHeader);
    text += '\n';
    for (const Registration& r : registrations) {
        text += std::string(kClassTag) + '\t' + r.clsid.toString() + '\t' +
                r.typeLibrary.toString() + '\t' + r.progId + '\t' + r.libraryPath + '\n';
    }
    text += kEndLine;
    text += '\n';
    return text;
}

ResultCode parseRegistry(std::string_view text, std::string_view fileName,
                         std::vector<Registration>& out, ErrorInfo& error) {
    auto damaged = [&](std::size_t line, std::string_view reason) {
        error = layerError(kErrInvalidFileFormat, damageText(fileName, line, reason));
        return kFail;
    };
    std::vector<Registration> registrations;
    std::size_t lineNumber = 0;
    bool ended = false;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos) {
            return damaged(lineNumber, "the last line is cut off (truncated file)");
        }
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        if (ended)
            return damaged(lineNumber, "text after the \"end\" line");
        if (lineNumber == 1) {
            if (line != kHeader)
                return damaged(1, "not a registry file (unknown first line)");
            continue;
        }
        if (line == kEndLine) {
            ended = true;
            continue;
        }
        Registration registration;
        if (auto problem = parseClassLine(line, registration))
            return damaged(lineNumber, *problem);
        registrations.push_back(std::move(registration));
    }
    if (lineNumber == 0)
        return damaged(1, "the file is empty");
    if (!ended)
        return damaged(lineNumber + 1, "the \"end\" line is missing (truncated file)");
    out = std::move(registrations);
    return kOk;
}

std::optional<std::string> registrationProblem(const Registration& registration) {
    if (!validProgId(registration.progId)) {
        return "the programmatic identifier '" + registration.progId +
               "' is empty or holds blanks or control characters";
    }
    if (!validPath(registration.libraryPath)) {
        return "the library path '" + registration.libraryPath +
               "' is not absolute or holds control characters";
    }
    return std::nullopt;
}

}  // namespace component
