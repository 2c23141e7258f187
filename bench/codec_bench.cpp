#include <benchmark/benchmark.h>

#include "bench/replies.h"
#include "control/core/query_message.h"
#include "control/core/reply.h"

namespace {

using namespace ombrix;

void BM_BuildMxQuery(benchmark::State& state) {
    for (auto _ : state) {
        auto qname = core::encodeDomain(bench::kFiveMxDomain);
        auto query = core::buildMxQuery(bench::kFiveMxId, qname.value());
        benchmark::DoNotOptimize(query.data());
    }
}
BENCHMARK(BM_BuildMxQuery);

void BM_WalkFiveMxReply(benchmark::State& state) {
    const auto qname = core::encodeDomain(bench::kFiveMxDomain).value();
    core::MxStore store;
    if (!core::walkAnswers(bench::kFiveMxReply, qname, store) || store.count() != 5) {
        state.SkipWithError("the five-MX reply does not walk into five exchangers");
        return;
    }
    for (auto _ : state) {
        auto count = core::walkAnswers(bench::kFiveMxReply, qname, store);
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_WalkFiveMxReply);

void BM_AcceptFiveMxReply(benchmark::State& state) {
    const auto qname = core::encodeDomain(bench::kFiveMxDomain).value();
    for (auto _ : state) {
        benchmark::DoNotOptimize(core::isReplyTo(bench::kFiveMxReply, bench::kFiveMxId, qname));
    }
}
BENCHMARK(BM_AcceptFiveMxReply);

}  // namespace
