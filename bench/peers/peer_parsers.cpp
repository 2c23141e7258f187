#include "bench/peers/peer_parsers.h"

#include <ares.h>
#include <arpa/nameser.h>
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <resolv.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <string>

#include "ombrix/lookup/mx_result.h"

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

namespace {

// The answers to the asked name, along its CNAME chain, as exchangers in reply order.
bool readAnswers(ns_msg& message, const char* domain, lookup::MxResult& result) {
    std::array<char, NS_MAXDNAME> name{};
    std::string chain = domain;
    for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
        ns_rr rr;
        if (ns_parserr(&message, ns_s_an, i, &rr) < 0) {
            return false;
        }
        if (ns_rr_class(rr) != ns_c_in || strcasecmp(ns_rr_name(rr), chain.c_str()) != 0) {
            continue;
        }
        const bool mx = ns_rr_type(rr) == ns_t_mx && ns_rr_rdlen(rr) >= 3;
        if (!mx && ns_rr_type(rr) != ns_t_cname) {
            continue;
        }
        if (ns_name_uncompress(ns_msg_base(message), ns_msg_end(message),
                               ns_rr_rdata(rr) + (mx ? 2 : 0), name.data(), name.size()) < 0) {
            return false;
        }
        if (!mx) {
            chain = name.data();
            result.canonicalName = chain;
            continue;
        }
        result.exchangers.push_back(lookup::Exchanger{
            static_cast<std::uint16_t>(ns_get16(ns_rr_rdata(rr))), name.data(), ns_rr_ttl(rr), {}, {}});
    }
    return true;
}

// The additional section's A and AAAA records, as text, to the exchangers they name.
bool readAddresses(ns_msg& message, lookup::MxResult& result) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    for (int i = 0; i < ns_msg_count(message, ns_s_ar); ++i) {
        ns_rr rr;
        if (ns_parserr(&message, ns_s_ar, i, &rr) < 0) {
            return false;
        }
        const bool a = ns_rr_type(rr) == ns_t_a && ns_rr_rdlen(rr) == 4;
        const bool aaaa = ns_rr_type(rr) == ns_t_aaaa && ns_rr_rdlen(rr) == 16;
        if (ns_rr_class(rr) != ns_c_in || (!a && !aaaa)) {
            continue;
        }
        inet_ntop(a ? AF_INET : AF_INET6, ns_rr_rdata(rr), text.data(), text.size());
        for (auto& exchanger : result.exchangers) {
            if (strcasecmp(exchanger.name.c_str(), ns_rr_name(rr)) == 0) {
                (a ? exchanger.ipv4 : exchanger.ipv6).emplace_back(text.data());
            }
        }
    }
    return true;
}

}  // namespace

std::size_t libresolvReadMxResult(std::span<const std::uint8_t> reply, const char* domain) {
    ns_msg message;
    if (ns_initparse(reply.data(), static_cast<int>(reply.size()), &message) < 0) {
        return 0;
    }
    lookup::MxResult result;
    result.query = domain;
    if (!readAnswers(message, domain, result) || !readAddresses(message, result)) {
        return 0;
    }
    std::stable_sort(result.exchangers.begin(), result.exchangers.end(),
                     [](const auto& a, const auto& b) { return a.preference < b.preference; });
    benchmark::DoNotOptimize(result.exchangers.data());
    return result.exchangers.size();
}

}  // namespace ombrix::bench
