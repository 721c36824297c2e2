// adsieve against a fast DOM parser on the same bytes, in the same run.
//
// For every input set there are four measurements: full validation through
// the C interface (JSON produced and freed), parse only (tree ready for the
// rules), tokenizer only, and pugixml's parse with its default options. The
// first three also report `x_pugixml`: their throughput divided by pugixml's
// on the same input, measured once per input set in this process.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "adsieve.h"
#include "generate.h"
#include "model.h"
#include "parse.h"
#include "xml/tokenizer.h"

namespace {

using Docs = std::vector<std::string>;

std::size_t total_bytes(const Docs& docs) {
    std::size_t n = 0;
    for (const std::string& d : docs) n += d.size();
    return n;
}

Docs load_corpus() {
    Docs docs;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(ADSIEVE_CORPUS_DIR))
        if (e.is_regular_file() && e.path().extension() == ".xml") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        docs.push_back(s.str());
    }
    return docs;
}

// The input sets, each made once on first use.
const Docs& inputs(const std::string& name) {
    static std::map<std::string, Docs> made;
    auto it = made.find(name);
    if (it != made.end()) return it->second;
    Docs d;
    if (name == "corpus") d = load_corpus();
    else if (name == "10KB") d = {bench::document(10 * 1000)};
    else if (name == "100KB") d = {bench::document(100 * 1000)};
    else if (name == "1MB") d = {bench::document(1000 * 1000)};
    else if (name == "10MB") d = {bench::document(10 * 1000 * 1000)};
    else if (name == "50MB") d = {bench::document(50 * 1000 * 1000)};
    else if (name == "deep1K") d = {bench::deep_document(1000)};
    else if (name == "deep10K") d = {bench::deep_document(10 * 1000)};
    else if (name == "deep100K") d = {bench::deep_document(100 * 1000)};
    else if (name == "deep1M") d = {bench::deep_document(1000 * 1000)};
    else if (name == "flood1M") d = {bench::flood_document(1000 * 1000)};
    return made.emplace(name, std::move(d)).first->second;
}

double cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void pugixml_parse(const std::string& doc) {
    pugi::xml_document d;
    pugi::xml_parse_result r = d.load_buffer(doc.data(), doc.size());
    benchmark::DoNotOptimize(r.status);
    benchmark::DoNotOptimize(d.first_child());
}

// pugixml's bytes per CPU second on an input set, measured once.
double pugixml_rate(const std::string& name) {
    static std::map<std::string, double> rates;
    auto it = rates.find(name);
    if (it != rates.end()) return it->second;
    const Docs& docs = inputs(name);
    // The clock is read once per batch: reading it costs about as much as
    // parsing a small document.
    const double start = cpu_seconds();
    double elapsed = 0;
    std::size_t bytes = 0;
    for (std::size_t batch = 1;; batch *= 2) {
        for (std::size_t k = 0; k < batch; ++k)
            for (const std::string& d : docs) pugixml_parse(d);
        bytes += batch * total_bytes(docs);
        elapsed = cpu_seconds() - start;
        if (elapsed >= 0.3) break;
    }
    return rates[name] = static_cast<double>(bytes) / elapsed;
}

// Bytes processed, and the ratio to pugixml as a counter; `cpu` is the CPU
// time the benchmark's loop took.
void finish(benchmark::State& state, const std::string& name, double cpu, bool ratio) {
    const Docs& docs = inputs(name);
    const auto bytes = static_cast<int64_t>(total_bytes(docs));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
    state.counters["docs"] = static_cast<double>(docs.size());
    if (!ratio) return;
    const double rate = static_cast<double>(bytes) * static_cast<double>(state.iterations()) / cpu;
    state.counters["x_pugixml"] = rate / pugixml_rate(name);
}

void BM_Validate(benchmark::State& state, const std::string& name) {
    const Docs& docs = inputs(name);
    const double start = cpu_seconds();
    for (auto _ : state)
        for (const std::string& d : docs) {
            adsieve_result* r = adsieve_validate(d.data(), d.size());
            benchmark::DoNotOptimize(adsieve_result_json(r));
            adsieve_result_free(r);
        }
    finish(state, name, cpu_seconds() - start, true);
}

void BM_Parse(benchmark::State& state, const std::string& name) {
    const Docs& docs = inputs(name);
    const double start = cpu_seconds();
    for (auto _ : state)
        for (const std::string& d : docs) {
            adsieve::Document doc = adsieve::parse(d);
            benchmark::DoNotOptimize(doc.nodes.size());
        }
    finish(state, name, cpu_seconds() - start, true);
}

void BM_Tokenize(benchmark::State& state, const std::string& name) {
    const Docs& docs = inputs(name);
    const double start = cpu_seconds();
    for (auto _ : state)
        for (const std::string& d : docs) {
            adsieve::xml::Tokenizer tok = adsieve::xml::make_tokenizer(d);
            tok.blank_text = false;  // as the parser reads
            tok.one_pass = true;
            std::size_t events = 0;
            for (;;) {
                adsieve::xml::Event e = adsieve::xml::next_event(tok);
                ++events;
                if (e.kind == adsieve::xml::EventKind::kEof || e.kind == adsieve::xml::EventKind::kError) break;
            }
            benchmark::DoNotOptimize(events);
        }
    finish(state, name, cpu_seconds() - start, true);
}

void BM_Pugixml(benchmark::State& state, const std::string& name) {
    const Docs& docs = inputs(name);
    const double start = cpu_seconds();
    for (auto _ : state)
        for (const std::string& d : docs) pugixml_parse(d);
    finish(state, name, cpu_seconds() - start, false);
}

void register_all() {
    const char* sets[] = {"corpus", "10KB", "100KB", "1MB", "10MB", "50MB", "deep1K", "deep10K", "deep100K", "deep1M", "flood1M"};
    for (const char* s : sets) {
        const std::string n = s;
        const bool big = n == "10MB" || n == "50MB" || n == "deep1M" || n == "flood1M";
        const double min_time = big ? 0.5 : 0.3;
        auto unit = big ? benchmark::kMillisecond : benchmark::kMicrosecond;
        benchmark::RegisterBenchmark(("Validate/" + n).c_str(), BM_Validate, n)->MinTime(min_time)->Unit(unit);
        benchmark::RegisterBenchmark(("Parse/" + n).c_str(), BM_Parse, n)->MinTime(min_time)->Unit(unit);
        benchmark::RegisterBenchmark(("Tokenize/" + n).c_str(), BM_Tokenize, n)->MinTime(min_time)->Unit(unit);
        benchmark::RegisterBenchmark(("Pugixml/" + n).c_str(), BM_Pugixml, n)->MinTime(min_time)->Unit(unit);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Both contenders run on a C heap that keeps its memory between
    // documents, as a long-running server's does. With the default settings
    // the heap hands large blocks back after every document, and the
    // timings of the large sets then measure the kernel's page faults,
    // which swing widely on a shared machine. ADSIEVE_BENCH_COLD_HEAP=1
    // keeps the defaults.
    if (!std::getenv("ADSIEVE_BENCH_COLD_HEAP")) {
        mallopt(M_MMAP_THRESHOLD, 256 << 20);
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
    }
    register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
