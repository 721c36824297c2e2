// Node-API binding of the adsieve C interface: validate (synchronous),
// validateAsync (on the libuv thread pool) and the rule catalogue.
//
// Argument checks throw TypeError for a value of the wrong type and RangeError
// for a value outside what is accepted; the library's own checks (UTF-8,
// rule ids and levels) come back as an adsieve_error and are turned into the
// same two classes. Nothing is thrown across the C boundary.
#include <napi.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "adsieve.h"

namespace {

struct ResultDeleter {
    void operator()(adsieve_result* r) const noexcept { adsieve_result_free(r); }
};
using ResultPtr = std::unique_ptr<adsieve_result, ResultDeleter>;

// The options of one call, owning their texts so a worker thread can use them
// after the JavaScript values are gone.
struct Options {
    std::uint32_t wrapper_depth = 0;
    std::uint32_t max_wrapper_depth = 0;  // 0: the library's default
    std::size_t max_issues = 0;           // 0: no cap
    std::vector<std::pair<std::string, std::string>> rules;
};

constexpr std::string_view kOptionNames[] = {"wrapperDepth", "maxWrapperDepth", "rules", "maxIssues"};
constexpr double kMaxSafeInteger = 9007199254740991.0;

// "a string", "null", "an array", ... for messages about a value's type.
std::string describe(const Napi::Value& v) {
    switch (v.Type()) {
        case napi_undefined: return "undefined";
        case napi_null: return "null";
        case napi_boolean: return "a boolean";
        case napi_number: return "a number";
        case napi_string: return "a string";
        case napi_symbol: return "a symbol";
        case napi_function: return "a function";
        case napi_bigint: return "a bigint";
        case napi_object: return v.IsArray() ? "an array" : "an object";
        default: return "an unsupported value";
    }
}

// Puts a text into a message, with NUL bytes made visible.
std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\0')
            out += "\\0";
        else
            out += c;
    }
    return out + "\"";
}

bool is_plain_object(const Napi::Value& v) {
    return v.IsObject() && !v.IsArray() && !v.IsFunction() && !v.IsTypedArray() && !v.IsBuffer();
}

// The object's own enumerable string keys, as Object.keys gives them.
Napi::Array own_keys(Napi::Env env, const Napi::Object& obj) {
    napi_value keys;
    napi_status st = napi_get_all_property_names(env, obj, napi_key_own_only,
                                                 static_cast<napi_key_filter>(napi_key_enumerable | napi_key_skip_symbols),
                                                 napi_key_numbers_to_strings, &keys);
    NAPI_THROW_IF_FAILED(env, st, Napi::Array());
    return Napi::Array(env, keys);
}

double read_integer(Napi::Env env, const Napi::Value& v, std::string_view name, double lo, double hi) {
    std::string what = "options." + std::string(name);
    if (!v.IsNumber())
        throw Napi::TypeError::New(env, what + " must be a number, got " + describe(v));
    double d = v.As<Napi::Number>().DoubleValue();
    if (!std::isfinite(d) || d != std::trunc(d) || d < lo || d > hi) {
        std::string range = hi == kMaxSafeInteger ? "an integer of at least " + std::to_string(static_cast<long long>(lo))
                                                  : "an integer from " + std::to_string(static_cast<long long>(lo)) +
                                                        " to " + std::to_string(static_cast<long long>(hi));
        throw Napi::RangeError::New(env, what + " must be " + range + ", got " + v.ToString().Utf8Value());
    }
    return d;
}

void read_rules(Napi::Env env, const Napi::Value& v, Options& out) {
    if (!is_plain_object(v))
        throw Napi::TypeError::New(env, "options.rules must be an object of rule id to level, got " + describe(v));
    Napi::Object obj = v.As<Napi::Object>();
    Napi::Array keys = own_keys(env, obj);
    out.rules.reserve(keys.Length());
    for (std::uint32_t i = 0; i < keys.Length(); ++i) {
        Napi::Value key = keys.Get(i);
        std::string id = key.As<Napi::String>().Utf8Value();
        Napi::Value level = obj.Get(key);
        if (!level.IsString())
            throw Napi::TypeError::New(env, "options.rules[" + quoted(id) +
                                                "] must be a string (error, warning, info or off), got " +
                                                describe(level));
        std::string word = level.As<Napi::String>().Utf8Value();
        // The library reads NUL-terminated texts: a NUL inside would cut the
        // text short and could turn an unknown id or level into a known one.
        if (id.find('\0') != std::string::npos)
            throw Napi::RangeError::New(env, "options.rules: unknown rule id " + quoted(id));
        if (word.find('\0') != std::string::npos)
            throw Napi::RangeError::New(env, "options.rules: unknown level " + quoted(word) + " for " + id +
                                                 " (use error, warning, info or off)");
        out.rules.emplace_back(std::move(id), std::move(word));
    }
}

Options read_options(Napi::Env env, const Napi::Value& v) {
    Options out;
    if (v.IsUndefined() || v.IsNull()) return out;
    if (!is_plain_object(v)) throw Napi::TypeError::New(env, "options must be an object, got " + describe(v));
    Napi::Object obj = v.As<Napi::Object>();
    Napi::Array keys = own_keys(env, obj);
    for (std::uint32_t i = 0; i < keys.Length(); ++i) {
        std::string key = keys.Get(i).As<Napi::String>().Utf8Value();
        bool known = false;
        for (std::string_view name : kOptionNames) known = known || key == name;
        if (!known)
            throw Napi::TypeError::New(env, "unknown option " + quoted(key) +
                                                " (known: wrapperDepth, maxWrapperDepth, rules, maxIssues)");
    }
    if (Napi::Value d = obj.Get("wrapperDepth"); !d.IsUndefined())
        out.wrapper_depth = static_cast<std::uint32_t>(read_integer(env, d, "wrapperDepth", 0, 255));
    if (Napi::Value m = obj.Get("maxWrapperDepth"); !m.IsUndefined())
        out.max_wrapper_depth = static_cast<std::uint32_t>(read_integer(env, m, "maxWrapperDepth", 1, 255));
    if (Napi::Value n = obj.Get("maxIssues"); !n.IsUndefined())
        out.max_issues = static_cast<std::size_t>(read_integer(env, n, "maxIssues", 0, kMaxSafeInteger));
    if (Napi::Value r = obj.Get("rules"); !r.IsUndefined()) read_rules(env, r, out);
    return out;
}

void check_document(Napi::Env env, const Napi::Value& v) {
    if (!v.IsString() && !(v.IsTypedArray() && v.As<Napi::TypedArray>().TypedArrayType() == napi_uint8_array))
        throw Napi::TypeError::New(env, "xml must be a string, a Buffer or a Uint8Array, got " + describe(v));
}

// Runs the library; safe on any thread, touches no JavaScript value.
ResultPtr run(const char* xml, std::size_t len, const Options& o, adsieve_error& err) {
    std::vector<adsieve_override> pairs;
    pairs.reserve(o.rules.size());
    for (const auto& [id, level] : o.rules) pairs.push_back({id.c_str(), level.c_str()});
    adsieve_options opts;
    adsieve_options_init(&opts);
    opts.wrapper_depth = o.wrapper_depth;
    opts.max_wrapper_depth = o.max_wrapper_depth;
    opts.max_issues = o.max_issues;
    opts.overrides = pairs.data();
    opts.override_count = pairs.size();
    return ResultPtr(adsieve_validate_opts(xml, len, &opts, &err));
}

Napi::Error failure(Napi::Env env, const adsieve_error& err) {
    switch (err.status) {
        case ADSIEVE_ERR_UTF8: return Napi::TypeError::New(env, "xml is not valid UTF-8");
        case ADSIEVE_ERR_OVERRIDES: return Napi::RangeError::New(env, std::string("options.rules: ") + err.message);
        case ADSIEVE_ERR_DEPTH: return Napi::RangeError::New(env, err.message);
        case ADSIEVE_ERR_NULL: return Napi::TypeError::New(env, err.message);
        default: return Napi::Error::New(env, std::string("adsieve: ") + err.message);
    }
}

Napi::Value text(Napi::Env env, adsieve_str s) {
    if (!s.ptr) return env.Null();
    return Napi::String::New(env, s.ptr, s.len);
}

void check(napi_env env, napi_status st) { NAPI_THROW_IF_FAILED_VOID(env, st); }

napi_value new_string(napi_env env, const char* s, std::size_t len) {
    napi_value v;
    check(env, napi_create_string_utf8(env, s, len, &v));
    return v;
}

// Turns the findings into JavaScript objects. Ids, severities, messages and
// references repeat across the findings of one result; a text met again at the
// same address with the same length is the same text (the handle does not
// change while read), so its JavaScript string is made once per result.
class IssueBuilder {
public:
    explicit IssueBuilder(napi_env env) : env_(env) {
        static constexpr const char* names[kFields] = {"id", "severity", "message", "path", "line", "col", "specRef"};
        for (int i = 0; i < kFields; ++i) keys_[i] = new_string(env, names[i], NAPI_AUTO_LENGTH);
        check(env, napi_get_null(env, &null_));
    }

    napi_value issue(const adsieve_issue& is) {
        napi_value values[kFields] = {
            shared(is.id), shared(is.severity), shared(is.message),
            is.path.ptr ? new_string(env_, is.path.ptr, is.path.len) : null_,
            is.has_position ? number(is.line) : null_,
            is.has_position ? number(is.col) : null_,
            shared(is.spec_ref),
        };
        napi_property_descriptor props[kFields];
        for (int i = 0; i < kFields; ++i)
            props[i] = {nullptr, keys_[i], nullptr, nullptr, nullptr, values[i], napi_default_jsproperty, nullptr};
        napi_value obj;
        check(env_, napi_create_object(env_, &obj));
        check(env_, napi_define_properties(env_, obj, kFields, props));
        return obj;
    }

private:
    static constexpr int kFields = 7;

    napi_value number(std::uint32_t n) {
        napi_value v;
        check(env_, napi_create_uint32(env_, n, &v));
        return v;
    }

    napi_value shared(adsieve_str s) {
        if (!s.ptr) return null_;
        auto it = seen_.find(s.ptr);
        if (it != seen_.end() && it->second.first == s.len) return it->second.second;
        napi_value v = new_string(env_, s.ptr, s.len);
        seen_.insert_or_assign(s.ptr, std::pair{s.len, v});
        return v;
    }

    napi_env env_;
    napi_value keys_[kFields];
    napi_value null_;
    std::unordered_map<const char*, std::pair<std::size_t, napi_value>> seen_;
};

Napi::Object to_object(Napi::Env env, const adsieve_result* r) {
    Napi::Object out = Napi::Object::New(env);
    out.Set("valid", Napi::Boolean::New(env, adsieve_result_valid(r) != 0));
    out.Set("errors", Napi::Number::New(env, static_cast<double>(adsieve_result_errors(r))));
    out.Set("warnings", Napi::Number::New(env, static_cast<double>(adsieve_result_warnings(r))));
    out.Set("infos", Napi::Number::New(env, static_cast<double>(adsieve_result_infos(r))));
    const char* version = adsieve_result_version(r);
    out.Set("version", version ? Napi::Value(Napi::String::New(env, version)) : env.Null());
    out.Set("truncated", Napi::Boolean::New(env, adsieve_result_truncated(r) != 0));
    std::size_t n = adsieve_result_issue_count(r);
    Napi::Array issues = Napi::Array::New(env, n);
    IssueBuilder build(env);
    for (std::size_t i = 0; i < n; ++i) {
        adsieve_issue is;
        if (!adsieve_result_issue(r, i, &is)) break;
        issues.Set(static_cast<std::uint32_t>(i), Napi::Value(env, build.issue(is)));
    }
    out.Set("issues", issues);
    out.Set("json", Napi::String::New(env, adsieve_result_json(r)));
    return out;
}

// validate(xml, options?): reads a Buffer in place, since no JavaScript runs
// while the library does.
Napi::Value Validate(const Napi::CallbackInfo& info) {
    Napi::Env env = info.Env();
    check_document(env, info[0]);
    // Options first: their getters may run JavaScript that changes the bytes.
    Options opts = read_options(env, info[1]);
    adsieve_error err{};
    ResultPtr r;
    if (info[0].IsString()) {
        std::string xml = info[0].As<Napi::String>().Utf8Value();
        r = run(xml.data(), xml.size(), opts, err);
    } else {
        auto bytes = info[0].As<Napi::Uint8Array>();
        r = run(reinterpret_cast<const char*>(bytes.Data()), bytes.ByteLength(), opts, err);
    }
    if (!r) throw failure(env, err);
    return to_object(env, r.get());
}

class ValidateWorker : public Napi::AsyncWorker {
public:
    ValidateWorker(Napi::Env env, std::string xml, Options opts)
        : Napi::AsyncWorker(env, "adsieve.validateAsync"),
          deferred_(Napi::Promise::Deferred::New(env)),
          xml_(std::move(xml)),
          opts_(std::move(opts)) {}

    Napi::Promise Promise() const { return deferred_.Promise(); }

protected:
    void Execute() override { result_ = run(xml_.data(), xml_.size(), opts_, err_); }

    void OnOK() override {
        Napi::Env env = Env();
        try {
            if (result_)
                deferred_.Resolve(to_object(env, result_.get()));
            else
                deferred_.Reject(failure(env, err_).Value());
        } catch (const Napi::Error& e) {
            deferred_.Reject(e.Value());
        } catch (const std::exception& e) {
            deferred_.Reject(Napi::Error::New(env, e.what()).Value());
        }
    }

    void OnError(const Napi::Error& e) override { deferred_.Reject(e.Value()); }

private:
    Napi::Promise::Deferred deferred_;
    std::string xml_;
    Options opts_;
    adsieve_error err_{};
    ResultPtr result_;
};

// validateAsync(xml, options?): the document is copied before the work is
// queued. A Buffer's memory cannot be lent to the worker: JavaScript keeps
// running meanwhile and may write to it or detach (transfer) its ArrayBuffer.
Napi::Value ValidateAsync(const Napi::CallbackInfo& info) {
    Napi::Env env = info.Env();
    check_document(env, info[0]);
    Options opts = read_options(env, info[1]);
    std::string xml;
    if (info[0].IsString()) {
        xml = info[0].As<Napi::String>().Utf8Value();
    } else {
        auto bytes = info[0].As<Napi::Uint8Array>();
        xml.assign(reinterpret_cast<const char*>(bytes.Data()), bytes.ByteLength());
    }
    auto* worker = new ValidateWorker(env, std::move(xml), std::move(opts));
    Napi::Promise promise = worker->Promise();
    worker->Queue();  // deletes itself once settled
    return promise;
}

Napi::Value Rules(const Napi::CallbackInfo& info) {
    Napi::Env env = info.Env();
    std::size_t n = adsieve_rule_count();
    Napi::Array out = Napi::Array::New(env, n);
    for (std::size_t i = 0; i < n; ++i) {
        adsieve_rule_info rule;
        if (!adsieve_rule(i, &rule)) break;
        Napi::Object o = Napi::Object::New(env);
        o.Set("id", text(env, rule.id));
        o.Set("defaultSeverity", text(env, rule.default_severity));
        o.Set("description", text(env, rule.description));
        o.Set("family", text(env, rule.family));
        out.Set(static_cast<std::uint32_t>(i), o);
    }
    return out;
}

Napi::Object Init(Napi::Env env, Napi::Object exports) {
    exports.Set("validate", Napi::Function::New(env, Validate, "validate"));
    exports.Set("validateAsync", Napi::Function::New(env, ValidateAsync, "validateAsync"));
    exports.Set("rules", Napi::Function::New(env, Rules, "rules"));
    exports.Set("libraryVersion", Napi::String::New(env, adsieve_version()));
    return exports;
}

}  // namespace

NODE_API_MODULE(adsieve, Init)
