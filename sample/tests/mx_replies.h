#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::sample::testing {

using ombrix::testing::Responder;
using ombrix::testing::ScriptedDnsServer;

struct Exchanger {
    std::uint16_t pref;
    std::string name;
};

// A script that answers every MX query for `domain` with the exchangers in the given order.
inline ScriptedDnsServer::Script answering(std::string domain, std::vector<Exchanger> reply) {
    return [domain = std::move(domain), reply = std::move(reply)](
               const std::vector<std::uint8_t>& query, Responder& out) {
        ombrix::testing::ReplyBuilder builder(domain, ombrix::testing::idOf(query));
        for (const auto& exchanger : reply) {
            builder.mx(exchanger.pref, ombrix::testing::name(exchanger.name));
        }
        out.send(builder.bytes());
    };
}

}  // namespace ombrix::sample::testing
