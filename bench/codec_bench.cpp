#include <benchmark/benchmark.h>

#include "bench/replies.h"
#include "ombrix/lookup/mx_reply.h"
#include "ombrix/lookup/query_message.h"
#include "reply.h"

namespace {

using namespace ombrix;

void BM_BuildMxQuery(benchmark::State& state) {
    for (auto _ : state) {
        auto qname = lookup::encodeDomain(bench::kFiveMxDomain);
        auto query = lookup::buildMxQuery(bench::kFiveMxId, qname.value());
        benchmark::DoNotOptimize(query.data());
    }
}
BENCHMARK(BM_BuildMxQuery);

void BM_WalkFiveMxReply(benchmark::State& state) {
    const auto qname = lookup::encodeDomain(bench::kFiveMxDomain).value();
    if (lookup::readMxReply(bench::kFiveMxReply, qname).exchangers.size() != 5) {
        state.SkipWithError("the five-MX reply does not read as five exchangers");
        return;
    }
    for (auto _ : state) {
        auto result = lookup::readMxReply(bench::kFiveMxReply, qname);
        benchmark::DoNotOptimize(result.exchangers.data());
    }
}
BENCHMARK(BM_WalkFiveMxReply);

void BM_AcceptFiveMxReply(benchmark::State& state) {
    const auto qname = lookup::encodeDomain(bench::kFiveMxDomain).value();
    for (auto _ : state) {
        benchmark::DoNotOptimize(lookup::isReplyTo(bench::kFiveMxReply, bench::kFiveMxId, qname));
    }
}
BENCHMARK(BM_AcceptFiveMxReply);

}  // namespace
