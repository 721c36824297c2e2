// adsieve [OPTIONS] INPUT...: reads inputs, checks them on a pool of threads
// and prints the reports in input order.
#include <cstdio>
#include <new>
#include <thread>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "document.h"
#include "escape.h"
#include "formats.h"
#include "inputs.h"
#include "output.h"
#include "pool.h"

namespace cli {

namespace {

// Documents read ahead of the pool (NDJSON lines, standard input) are held to
// this many bytes in all.
constexpr std::size_t kInFlightBytes = 256u << 20;

// One document to check, as the reading thread hands it to the pool.
struct Item {
    std::string name;
    std::string path;         // a file the worker reads
    bool read_path = false;
    std::string text;         // the document, or an NDJSON line
    bool ndjson_line = false;
    std::string error;        // the input failed before it reached the pool
};

struct Done {
    Report report;
    Rendered rendered;
};

// A document out of one NDJSON line; false with `error` set when the line
// holds none.
bool document_from_line(const Settings& s, const std::string& line, std::string& name, std::string& xml,
                        std::string& error) {
    nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    if (j.is_discarded()) {
        error = "line is not valid JSON";
        return false;
    }
    if (!j.is_object()) {
        error = "line is not a JSON object";
        return false;
    }
    auto id = j.find(s.id_field);
    if (id != j.end()) {
        if (id->is_string())
            name = id->get_ref<const std::string&>();
        else if (id->is_number())
            name = id->dump();
    }
    auto field = j.find(s.xml_field);
    if (field == j.end() || !field->is_string()) {
        error = "no \"" + s.xml_field + "\" field holding a document as a string";
        return false;
    }
    xml = std::move(field->get_ref<std::string&>());
    return true;
}

Report check_item(const Settings& s, const Checker& checker, Item&& item) {
    if (!item.error.empty()) return input_error(std::move(item.name), std::move(item.error));
    if (item.read_path) {
        std::string error;
        if (!read_file(item.path, s.max_bytes, item.text, error)) return input_error(std::move(item.name), error);
    } else if (item.ndjson_line) {
        std::string xml, error;
        if (!document_from_line(s, item.text, item.name, xml, error))
            return input_error(std::move(item.name), error);
        if (xml.size() > s.max_bytes)
            return input_error(std::move(item.name),
                               "larger than --max-bytes (" + std::to_string(s.max_bytes) + " bytes)");
        item.text = std::move(xml);
    }
    return check_document(checker, std::move(item.name), item.text, s.wrapper_depth);
}

// Hands out the documents of every source in order.
struct Producer {
    const Settings& settings;
    const std::vector<Source>& sources;
    std::size_t next_source = 0;
    StreamPtr stream;  // the NDJSON source being read
    std::string stream_name;
    std::size_t line_number = 0;

    bool next(Item& item) {
        while (true) {
            if (stream) {
                std::string error;
                LineStatus st = next_line(*stream, settings.max_bytes, item.text, error);
                ++line_number;
                item.name = stream_name + ":" + std::to_string(line_number);
                if (st == LineStatus::end) {
                    stream.reset();
                    continue;
                }
                if (st == LineStatus::line) {
                    if (item.text.find_first_not_of(" \t") == std::string::npos) continue;
                    item.ndjson_line = true;
                    return true;
                }
                if (st == LineStatus::too_long) {
                    item.error = "line longer than --max-bytes (" + std::to_string(settings.max_bytes) + " bytes)";
                    return true;
                }
                item.error = error;
                stream.reset();
                return true;
            }
            if (next_source >= sources.size()) return false;
            const Source& src = sources[next_source++];
            item = Item{};
            item.name = src.shown;
            if (!src.error.empty()) {
                item.error = src.error;
                return true;
            }
            if (settings.ndjson) {
                std::string error;
                stream = open_stream(src.path, error);
                if (!stream) {
                    item.error = error;
                    return true;
                }
                stream_name = src.shown;
                line_number = 0;
                continue;
            }
            if (src.path.empty()) {
                // Standard input is read here, once, rather than by a worker.
                std::string error;
                if (!read_file(src.path, settings.max_bytes, item.text, error)) item.error = error;
                return true;
            }
            item.path = src.path;
            item.read_path = true;
            return true;
        }
    }
};

}  // namespace

int run_check(const Settings& s) {
    const Catalog catalog = load_catalog();
    Checker checker;
    if (std::string why = build_checker(s, catalog, checker); !why.empty()) {
        std::fprintf(stderr, "adsieve: %s\n", why.c_str());
        return kExitUsage;
    }
    std::vector<std::string> warnings;
    const std::vector<Source> sources = expand_inputs(s.inputs, s.exclude, warnings);
    for (const std::string& w : warnings) std::fprintf(stderr, "adsieve: warning: %s\n", printable(w).c_str());

    Style style;
    style.format = s.format;
    style.color = s.format == Format::text &&
                  (s.color == Color::always || (s.color == Color::automatic && auto_color()));
    style.quiet = s.quiet;
    style.catalog = &catalog;

    unsigned jobs = s.jobs ? s.jobs : std::max(1u, std::thread::hardware_concurrency());
    if (!s.ndjson && sources.size() < 2) jobs = 1;

    Output out = open_output(s.progress && !s.quiet);
    out.total = s.ndjson ? 0 : sources.size();
    Totals totals;
    bool first_result = true;
    if (s.format == Format::sarif) write_out(out, sarif_head(catalog));

    Producer producer{s, sources, 0, nullptr, {}, 0};
    run_ordered<Item, Done>(
        jobs, kInFlightBytes, [&](Item& item) { return producer.next(item); },
        [&](Item&& item) {
            Done d;
            std::string name = item.name;
            try {
                d.report = check_item(s, checker, std::move(item));
                d.rendered = render_report(d.report, style);
            } catch (const std::bad_alloc&) {
                d.report = input_error(std::move(name), "out of memory");
                d.rendered = Rendered{{}, "adsieve: " + d.report.name + ": out of memory\n"};
            }
            return d;
        },
        [&](Done&& d) {
            tally(totals, d.report, s.fail_on);
            write_err(out, d.rendered.err);
            std::string_view text = d.rendered.out;
            if (s.format == Format::sarif && first_result && !text.empty()) {
                text.remove_prefix(1);  // the comma before the first result
                first_result = false;
            }
            bool ok = write_out(out, text);
            progress_tick(out, totals.documents);
            return ok;
        },
        [](const Item& item) { return item.text.size(); });

    if (s.format == Format::sarif) write_out(out, sarif_tail(totals));
    if (s.statistics) {
        std::string stats = render_statistics(totals, style);
        if (s.format == Format::text)
            write_out(out, stats);
        else
            write_err(out, stats);
    }
    if (s.format == Format::text && !s.quiet) write_out(out, render_summary(totals, style));
    if (!finish_output(out)) return kExitUsage;
    return exit_status(totals);
}

}  // namespace cli
