#include <benchmark/benchmark.h>

#include "bench/replies.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"

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
    lookup::MxStore store;
    if (!lookup::walkAnswers(bench::kFiveMxReply, qname, store) || store.count() != 5) {
        state.SkipWithError("the five-MX reply does not walk into five exchangers");
        return;
    }
    for (auto _ : state) {
        auto count = lookup::walkAnswers(bench::kFiveMxReply, qname, store);
        benchmark::DoNotOptimize(count);
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
