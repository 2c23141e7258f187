#include "bench/peers/peer_parsers.h"

#include <ares.h>
#include <arpa/nameser.h>
#include <benchmark/benchmark.h>
#include <resolv.h>

#include <array>

namespace ombrix::bench {

std::size_t caresReadMx(std::span<const std::uint8_t> reply) {
    ares_mx_reply* mx = nullptr;
    if (ares_parse_mx_reply(reply.data(), static_cast<int>(reply.size()), &mx) != ARES_SUCCESS) {
        return 0;
    }
    std::size_t found = 0;
    for (auto* entry = mx; entry != nullptr; entry = entry->next) {
        benchmark::DoNotOptimize(entry->host);
        ++found;
    }
    ares_free_data(mx);
    return found;
}

std::size_t libresolvReadMx(std::span<const std::uint8_t> reply) {
    ns_msg message;
    if (ns_initparse(reply.data(), static_cast<int>(reply.size()), &message) < 0) {
        return 0;
    }
    std::array<char, NS_MAXDNAME> exchange{};
    std::size_t found = 0;
    for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
        ns_rr rr;
        if (ns_parserr(&message, ns_s_an, i, &rr) < 0) {
            return 0;
        }
        if (ns_rr_type(rr) != ns_t_mx || ns_rr_rdlen(rr) < 3) {
            continue;
        }
        unsigned pref = ns_get16(ns_rr_rdata(rr));
        if (ns_name_uncompress(ns_msg_base(message), ns_msg_end(message), ns_rr_rdata(rr) + 2,
                               exchange.data(), exchange.size()) < 0) {
            return 0;
        }
        benchmark::DoNotOptimize(pref);
        benchmark::DoNotOptimize(exchange.data());
        ++found;
    }
    return found;
}

}  // namespace ombrix::bench
