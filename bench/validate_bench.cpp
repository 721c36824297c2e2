// Parse and full validation throughput on generated VAST documents.
#include <benchmark/benchmark.h>

#include <string>

#include "adsieve.h"
#include "generate.h"
#include "model.h"
#include "parse.h"

namespace {

const std::string& small_doc() {
    static const std::string d = bench::document(10 * 1024);
    return d;
}
const std::string& large_doc() {
    static const std::string d = bench::document(5 * 1024 * 1024);
    return d;
}

void parse_doc(benchmark::State& state, const std::string& doc) {
    for (auto _ : state) {
        adsieve::Document d = adsieve::parse(doc);
        benchmark::DoNotOptimize(d.root().children().count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
}

void validate_doc(benchmark::State& state, const std::string& doc) {
    for (auto _ : state) {
        adsieve_result* r = adsieve_validate(doc.data(), doc.size());
        benchmark::DoNotOptimize(adsieve_result_json(r));
        adsieve_result_free(r);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
}

void BM_Parse10KB(benchmark::State& s) { parse_doc(s, small_doc()); }
void BM_Parse5MB(benchmark::State& s) { parse_doc(s, large_doc()); }
void BM_Validate10KB(benchmark::State& s) { validate_doc(s, small_doc()); }
void BM_Validate5MB(benchmark::State& s) { validate_doc(s, large_doc()); }

}  // namespace

BENCHMARK(BM_Parse10KB);
BENCHMARK(BM_Parse5MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Validate10KB);
BENCHMARK(BM_Validate5MB)->Unit(benchmark::kMillisecond);
