// Reading one MX reply into a result: our typed result against the peers' parsers, on the same
// bytes. Each side expands every exchange name into text; one libresolv walk builds our result.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "bench/peers/nsd_replies.h"
#include "bench/peers/peer_parsers.h"
#include "bench/replies.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_reply.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

struct ReplyCase {
    const char* name;
    Bytes bytes;
    const char* domain;
    std::size_t exchangers;
};

void walkOurs(benchmark::State& state, const ReplyCase& reply) {
    auto qname = ombrix::lookup::encodeDomain(reply.domain);
    if (!qname) {
        throw std::runtime_error("cannot encode " + std::string(reply.domain));
    }
    std::size_t found = 0;
    for (auto _ : state) {
        auto result = ombrix::lookup::readMxReply(reply.bytes, qname.value());
        benchmark::DoNotOptimize(result.exchangers.data());
        found = result.exchangers.size();
    }
    if (found != reply.exchangers) {
        state.SkipWithError("our reader listed the wrong number of exchangers");
    }
}

void walkCares(benchmark::State& state, const ReplyCase& reply) {
    std::size_t found = 0;
    for (auto _ : state) {
        found = ombrix::bench::caresReadMx(reply.bytes);
    }
    if (found != reply.exchangers) {
        state.SkipWithError("ares_parse_mx_reply found the wrong number of exchangers");
    }
}

void walkLibresolv(benchmark::State& state, const ReplyCase& reply) {
    std::size_t found = 0;
    for (auto _ : state) {
        found = ombrix::bench::libresolvReadMx(reply.bytes);
    }
    if (found != reply.exchangers) {
        state.SkipWithError("libresolv found the wrong number of exchangers");
    }
}

void walkLibresolvTyped(benchmark::State& state, const ReplyCase& reply) {
    std::size_t found = 0;
    for (auto _ : state) {
        found = ombrix::bench::libresolvReadMxResult(reply.bytes, reply.domain);
    }
    if (found != reply.exchangers) {
        state.SkipWithError("libresolv into the typed result found the wrong number of exchangers");
    }
}

const ReplyCase kReplies[] = {
    {"five", ombrix::bench::kFiveMxReply, ombrix::bench::kFiveMxDomain, 5},
    {"outside", ombrix::bench::peers::kOutsideMxReply, ombrix::bench::peers::kOutsideMxDomain, 2},
    {"forty_tcp", ombrix::bench::peers::kFortyMxReply, ombrix::bench::peers::kFortyMxDomain, 40},
};

// Each reply gets our walk and both peers, so that interleaved repetitions compare them.
const bool kRegistered = [] {
    for (const ReplyCase& reply : kReplies) {
        std::string suffix = std::string("/") + reply.name;
        benchmark::RegisterBenchmark(("walk/ours" + suffix).c_str(), walkOurs, reply);
        benchmark::RegisterBenchmark(("walk/c-ares" + suffix).c_str(), walkCares, reply);
        benchmark::RegisterBenchmark(("walk/libresolv" + suffix).c_str(), walkLibresolv, reply);
        benchmark::RegisterBenchmark(("walk/libresolv_typed" + suffix).c_str(), walkLibresolvTyped,
                                     reply);
    }
    return true;
}();

}  // namespace
