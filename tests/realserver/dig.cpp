#include "tests/realserver/dig.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace ombrix::realserver {

namespace {

std::string transportOptions(DigTransport transport) {
    switch (transport) {
        case DigTransport::Udp:
            return "";
        case DigTransport::PlainUdp:
            return " +noedns +ignore";
        case DigTransport::Tcp:
            return " +tcp";
    }
    return "";
}

std::string run(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        throw std::runtime_error("cannot run: " + command);
    }
    std::string output;
    std::array<char, 4096> chunk{};
    while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe.get()) != nullptr) {
        output += chunk.data();
    }
    return output;
}

std::string withoutFinalDot(std::string name) {
    if (name.size() > 1 && name.back() == '.') {
        name.pop_back();
    }
    return name;
}

// ";; ->>HEADER<<- opcode: QUERY, status: NOERROR, id: 123" and ";; flags: qr aa tc rd; ...".
void readHeaderLine(const std::string& line, DigAnswer& answer) {
    if (auto at = line.find("status: "); at != std::string::npos) {
        auto start = at + 8;
        answer.status = line.substr(start, line.find(',', start) - start);
    }
    if (line.starts_with(";; flags:")) {
        auto flags = line.substr(0, line.find(';', 3));
        answer.truncated = flags.find(" tc") != std::string::npos;
    }
}

// "five.mx.example.	3600	IN	MX	10 mx2.five.mx.example."
void readAnswerLine(const std::string& line, DigAnswer& answer) {
    std::istringstream fields(line);
    std::string owner, ttl, cls, type, exchange;
    unsigned pref = 0;
    if (fields >> owner >> ttl >> cls >> type && cls == "IN" && type == "MX" &&
        fields >> pref >> exchange) {
        answer.records.push_back({withoutFinalDot(exchange), static_cast<std::uint16_t>(pref)});
    }
}

}  // namespace

DigAnswer digMx(const ServerUnderTest& server, const std::string& domain, DigTransport transport) {
    std::string command = "dig @" + server.host + " -p " + std::to_string(server.port) +
                          " +time=2 +tries=1 +noidnin +noidnout +noall +comments +answer" +
                          transportOptions(transport) + " MX '" + domain + "' 2>&1";
    std::istringstream lines(run(command));
    DigAnswer answer;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(";")) {
            readHeaderLine(line, answer);
        } else {
            readAnswerLine(line, answer);
        }
    }
    if (answer.status.empty()) {
        throw std::runtime_error("dig gave no answer: " + command);
    }
    return answer;
}

std::vector<MxRecord> expectedStore(const DigAnswer& answer) {
    std::vector<MxRecord> records;
    std::copy_if(answer.records.begin(), answer.records.end(), std::back_inserter(records),
                 [](const MxRecord& r) { return r.server != "."; });
    std::stable_sort(records.begin(), records.end(),
                     [](const MxRecord& a, const MxRecord& b) { return a.pref < b.pref; });
    return records;
}

}  // namespace ombrix::realserver
