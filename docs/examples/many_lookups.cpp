// many_lookups SERVER DOMAIN...
//
// Asks for the mail exchangers of every domain at once through the asynchronous API, from a
// poll() loop of its own, and prints one line per domain as each lookup completes: the domain,
// its outcome, and for "mx" the exchangers in preference order. Exit status 0 when every
// domain got an answer from a server, 1 otherwise.
#include <poll.h>

#include <cstdio>
#include <string>

#include "ombrix/lookup/lookup_engine.h"

namespace {

using ombrix::lookup::Outcome;

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::exchangers:
        case Outcome::nullMxMixed:
            return "mx";
        case Outcome::nullMx:
            return "null_mx";
        case Outcome::noMx:
            return "no_mx";
        case Outcome::nxdomain:
            return "nxdomain";
        case Outcome::serverFailure:
            return "server_failure";
        case Outcome::noReply:
            return "timeout";
        case Outcome::malformed:
            return "malformed";
        case Outcome::invalidDomain:
            return "invalid";
    }
    return "invalid";
}

bool answeredByServer(Outcome outcome) {
    return outcome == Outcome::exchangers || outcome == Outcome::nullMxMixed ||
           outcome == Outcome::nullMx || outcome == Outcome::noMx || outcome == Outcome::nxdomain;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: many_lookups SERVER DOMAIN...\n");
        return 2;
    }
    ombrix::lookup::LookupEngine engine;
    bool allAnswered = true;
    for (int i = 2; i < argc; ++i) {
        ombrix::lookup::LookupRequest request;
        request.server = argv[1];
        request.domain = argv[i];
        const std::string domain = argv[i];
        engine.submitMx(request, [domain, &allAnswered](ombrix::lookup::MxResult&& result) {
            std::string line = domain + ' ' + outcomeName(result.outcome);
            if (result.outcome == Outcome::exchangers || result.outcome == Outcome::nullMxMixed) {
                for (const auto& exchanger : result.exchangers) {
                    line += ' ' + exchanger.name;
                }
            }
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            allAnswered = allAnswered && answeredByServer(result.outcome);
        });
    }
    // The loop a program with other descriptors to watch would have: the engine's descriptor
    // among them, and process() whenever it is readable or its time has come.
    while (const auto wait = engine.process()) {
        pollfd watched{engine.fd(), POLLIN, 0};
        ::poll(&watched, 1, static_cast<int>(wait->count()));
    }
    return allAnswered ? 0 : 1;
}
