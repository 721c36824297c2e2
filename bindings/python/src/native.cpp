// adsieve._native: the typed C interface of adsieve.h as a Python module.
// Argument checking that needs no library call lives in adsieve/__init__.py;
// this layer converts texts, releases the GIL while validating and maps the
// library's error statuses to exceptions.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "adsieve.h"

namespace py = pybind11;

namespace {

struct ResultDeleter {
    void operator()(adsieve_result* r) const { adsieve_result_free(r); }
};
using ResultPtr = std::unique_ptr<adsieve_result, ResultDeleter>;

// Owns one validation result; read-only from Python.
struct NativeResult {
    ResultPtr r;
};

py::str to_str(adsieve_str s) { return py::str(s.ptr ? s.ptr : "", s.len); }

py::object to_str_or_none(adsieve_str s) {
    if (!s.ptr) return py::none();
    return to_str(s);
}

[[noreturn]] void raise_for(const adsieve_error& err) {
    switch (err.status) {
        case ADSIEVE_ERR_MEMORY: throw std::bad_alloc();
        default: throw py::value_error(err.message);
    }
}

// The document's bytes, either borrowed from an immutable object held by the
// caller or copied (for mutable buffers, which another thread could change
// while the GIL is released).
struct Text {
    std::string_view view;
    std::string copy;
};

Text document_bytes(const py::handle& xml) {
    Text t;
    PyObject* o = xml.ptr();
    if (PyUnicode_Check(o)) {
        Py_ssize_t n = 0;
        const char* p = PyUnicode_AsUTF8AndSize(o, &n);
        if (!p) {
            PyErr_Clear();
            throw py::value_error("the document is not valid UTF-8 (the text holds a lone surrogate)");
        }
        t.view = std::string_view(p, static_cast<size_t>(n));
    } else if (PyBytes_Check(o)) {
        t.view = std::string_view(PyBytes_AS_STRING(o), static_cast<size_t>(PyBytes_GET_SIZE(o)));
    } else if (PyByteArray_Check(o) || PyMemoryView_Check(o)) {
        py::buffer_info info = py::reinterpret_borrow<py::buffer>(xml).request();
        if (info.itemsize != 1 || info.ndim > 1) throw py::type_error("xml buffer must be one-dimensional bytes");
        t.copy.assign(static_cast<const char*>(info.ptr), static_cast<size_t>(info.size));
        t.view = t.copy;
    } else {
        throw py::type_error(std::string("xml must be str or bytes, not ") + Py_TYPE(o)->tp_name);
    }
    return t;
}

NativeResult validate(const py::handle& xml, uint32_t wrapper_depth, uint32_t max_wrapper_depth,
                      const std::vector<std::pair<std::string, std::string>>& rules, size_t max_issues) {
    Text text = document_bytes(xml);
    std::vector<adsieve_override> pairs;
    pairs.reserve(rules.size());
    for (const auto& [id, level] : rules) pairs.push_back({id.c_str(), level.c_str()});

    adsieve_options opts;
    adsieve_options_init(&opts);
    opts.wrapper_depth = wrapper_depth;
    opts.max_wrapper_depth = max_wrapper_depth;
    opts.overrides = pairs.data();
    opts.override_count = pairs.size();
    opts.max_issues = max_issues;

    adsieve_error err{};
    adsieve_result* r;
    {
        py::gil_scoped_release unlocked;
        r = adsieve_validate_opts(text.view.data(), text.view.size(), &opts, &err);
    }
    if (!r) raise_for(err);
    return NativeResult{ResultPtr(r)};
}

// Findings as tuples (id, severity, message, path, line, col, spec_ref).
py::list issues(const NativeResult& res) {
    size_t n = adsieve_result_issue_count(res.r.get());
    py::list out(n);
    for (size_t i = 0; i < n; ++i) {
        adsieve_issue is;
        adsieve_result_issue(res.r.get(), i, &is);
        py::object line = is.has_position ? py::object(py::int_(is.line)) : py::object(py::none());
        py::object col = is.has_position ? py::object(py::int_(is.col)) : py::object(py::none());
        out[i] = py::make_tuple(to_str(is.id), to_str(is.severity), to_str(is.message), to_str_or_none(is.path),
                                line, col, to_str(is.spec_ref));
    }
    return out;
}

// Just the (id, severity) of each finding, for bulk counting.
py::list issue_ids(const NativeResult& res) {
    size_t n = adsieve_result_issue_count(res.r.get());
    py::list out(n);
    for (size_t i = 0; i < n; ++i) {
        adsieve_issue is;
        adsieve_result_issue(res.r.get(), i, &is);
        out[i] = py::make_tuple(to_str(is.id), to_str(is.severity));
    }
    return out;
}

py::object parse_error(const NativeResult& res) {
    adsieve_str reason{};
    uint32_t line = 0, col = 0;
    if (!adsieve_result_parse_error(res.r.get(), &reason, &line, &col)) return py::none();
    return py::make_tuple(to_str(reason), line, col);
}

// The catalogue as tuples (id, default severity, description, family).
py::list rules() {
    size_t n = adsieve_rule_count();
    py::list out(n);
    for (size_t i = 0; i < n; ++i) {
        adsieve_rule_info info;
        adsieve_rule(i, &info);
        out[i] = py::make_tuple(to_str(info.id), to_str(info.default_severity), to_str(info.description),
                                to_str(info.family));
    }
    return out;
}

py::str tree_json(const py::handle& xml) {
    Text text = document_bytes(xml);
    adsieve_error err{};
    char* s;
    {
        py::gil_scoped_release unlocked;
        s = adsieve_tree_json(text.view.data(), text.view.size(), &err);
    }
    if (!s) raise_for(err);
    std::unique_ptr<char, void (*)(char*)> owned(s, adsieve_string_free);
    return py::str(owned.get());
}

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "Compiled part of adsieve; use the adsieve package instead.";
    py::class_<NativeResult>(m, "NativeResult")
        .def_property_readonly("json", [](const NativeResult& r) { return py::str(adsieve_result_json(r.r.get())); })
        .def_property_readonly("errors", [](const NativeResult& r) { return adsieve_result_errors(r.r.get()); })
        .def_property_readonly("warnings", [](const NativeResult& r) { return adsieve_result_warnings(r.r.get()); })
        .def_property_readonly("infos", [](const NativeResult& r) { return adsieve_result_infos(r.r.get()); })
        .def_property_readonly("valid", [](const NativeResult& r) { return adsieve_result_valid(r.r.get()) == 1; })
        .def_property_readonly("truncated",
                               [](const NativeResult& r) { return adsieve_result_truncated(r.r.get()) == 1; })
        .def_property_readonly("version",
                               [](const NativeResult& r) -> py::object {
                                   const char* v = adsieve_result_version(r.r.get());
                                   if (!v) return py::none();
                                   return py::str(v);
                               })
        .def("issues", &issues)
        .def("issue_ids", &issue_ids)
        .def("parse_error", &parse_error);
    m.def("validate", &validate, py::arg("xml"), py::arg("wrapper_depth"), py::arg("max_wrapper_depth"),
          py::arg("rules"), py::arg("max_issues"));
    m.def("rules", &rules);
    m.def("tree_json", &tree_json, py::arg("xml"));
    m.def("library_version", [] { return std::string(adsieve_version()); });
}
