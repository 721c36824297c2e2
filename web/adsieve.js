// adsieve in the browser: loads adsieve.wasm (the library built for
// wasm32-wasi) and wraps its C interface in plain JavaScript.
//
//   const api = await loadAdsieve("adsieve.wasm");
//   api.validate(text)                      -> the library's JSON text
//   api.validate(text, '{"wrapper_depth":2,"rule_overrides":"{...}"}')
//   api.check(textOrBytes, {overrides: {"VAST-2.0-url-cdata": "off"}})
//   api.rules()                             -> the rule catalogue
//
// The module needs only a handful of WASI functions (environment, stdout and
// stderr for abort messages, exit); they are supplied here, everything else a
// newer libc might ask for answers "not supported".

const WASI_ESUCCESS = 0;
const WASI_EBADF = 8;
const WASI_ENOSYS = 52;

const STATUS_NAMES = ["ok", "null", "utf8", "depth", "overrides", "memory"];

// A failure the caller can act on: `code` is one of "utf8", "depth",
// "overrides", "null", "memory", "options", "stopped".
export class AdsieveError extends Error {
  constructor(code, message) {
    super(message);
    this.name = "AdsieveError";
    this.code = code;
  }
}

class WasiExit extends Error {
  constructor(code) {
    super(`the module exited with status ${code}`);
    this.name = "WasiExit";
  }
}

const utf8Encoder = new TextEncoder();
const utf8Decoder = new TextDecoder("utf-8", { ignoreBOM: true });

// WASI functions over the instance's memory, looked up late because the
// memory export exists only once the instance does.
function wasiFunctions(memory, console_) {
  const view = () => new DataView(memory().buffer);
  const pending = { 1: "", 2: "" };
  const flush = (fd, all) => {
    const lines = pending[fd].split("\n");
    pending[fd] = all ? "" : lines.pop();
    for (const line of all ? lines.filter((l) => l) : lines)
      (fd === 2 ? console_.error : console_.log)(`adsieve.wasm: ${line}`);
  };
  // The module has no environment and no arguments.
  const noEntries = (countPtr, sizePtr) => {
    view().setUint32(countPtr, 0, true);
    view().setUint32(sizePtr, 0, true);
    return WASI_ESUCCESS;
  };
  const nothing = () => WASI_ESUCCESS;
  return {
    environ_sizes_get: noEntries,
    environ_get: nothing,
    args_sizes_get: noEntries,
    args_get: nothing,
    fd_write(fd, iovs, iovsLen, writtenPtr) {
      if (fd !== 1 && fd !== 2) return WASI_EBADF;
      const v = view();
      let written = 0;
      for (let i = 0; i < iovsLen; i++) {
        const ptr = v.getUint32(iovs + i * 8, true);
        const len = v.getUint32(iovs + i * 8 + 4, true);
        pending[fd] += utf8Decoder.decode(new Uint8Array(memory().buffer, ptr, len));
        written += len;
      }
      flush(fd, false);
      v.setUint32(writtenPtr, written, true);
      return WASI_ESUCCESS;
    },
    fd_close() {
      return WASI_EBADF;
    },
    fd_seek() {
      return WASI_EBADF;
    },
    fd_fdstat_get() {
      return WASI_EBADF;
    },
    proc_exit(code) {
      flush(1, true);
      flush(2, true);
      throw new WasiExit(code);
    },
  };
}

function importsFor(module, memory, console_) {
  const wasi = wasiFunctions(memory, console_);
  const imports = { wasi_snapshot_preview1: {} };
  for (const imp of WebAssembly.Module.imports(module)) {
    if (imp.module !== "wasi_snapshot_preview1" || imp.kind !== "function")
      throw new Error(`adsieve.wasm needs an unknown import ${imp.module}.${imp.name}`);
    imports.wasi_snapshot_preview1[imp.name] = wasi[imp.name] || (() => WASI_ENOSYS);
  }
  return imports;
}

async function compile(source) {
  if (source instanceof WebAssembly.Module) return source;
  if (typeof source === "string" || source instanceof URL) source = fetch(source);
  if (source instanceof Promise) source = await source;
  if (typeof Response !== "undefined" && source instanceof Response) {
    if (!source.ok) throw new Error(`cannot load adsieve.wasm: HTTP ${source.status}`);
    if (WebAssembly.compileStreaming && source.headers.get("Content-Type") === "application/wasm")
      return WebAssembly.compileStreaming(source);
    source = await source.arrayBuffer();
  }
  return WebAssembly.compile(source);
}

// Reads an options object for validate(): the three settings of
// adsieve_validate_with_options, nothing else.
function lenientOptions(optionsJson) {
  let o;
  try {
    o = JSON.parse(optionsJson);
  } catch (e) {
    throw new AdsieveError("options", `options are not JSON: ${e.message}`);
  }
  if (o === null || typeof o !== "object" || Array.isArray(o))
    throw new AdsieveError("options", "options must be a JSON object");
  for (const key of Object.keys(o))
    if (!["wrapper_depth", "max_wrapper_depth", "rule_overrides"].includes(key))
      throw new AdsieveError("options", `unknown option "${key}" (use wrapper_depth, max_wrapper_depth, rule_overrides)`);
  const depth = (name) => {
    const v = o[name] ?? 0;
    if (!Number.isInteger(v) || v < 0 || v > 0xffffffff)
      throw new AdsieveError("options", `${name} must be an integer from 0 to 4294967295`);
    return v;
  };
  const overrides = o.rule_overrides ?? null;
  if (overrides !== null && typeof overrides !== "string")
    throw new AdsieveError("options", "rule_overrides must be a text such as {\"VAST-2.0-url-cdata\":\"off\"} or null");
  return { wrapperDepth: depth("wrapper_depth"), maxWrapperDepth: depth("max_wrapper_depth"), overrides };
}

function documentBytes(input) {
  if (input instanceof Uint8Array) return input;
  if (input instanceof ArrayBuffer) return new Uint8Array(input);
  if (typeof input !== "string") throw new AdsieveError("options", "the document must be a string or a Uint8Array");
  // TextEncoder would quietly replace a lone surrogate; say so instead.
  if (typeof input.isWellFormed === "function" ? !input.isWellFormed() : /[\uD800-\uDFFF]/u.test(input))
    throw new AdsieveError("utf8", "the document holds a lone UTF-16 surrogate and cannot be encoded as UTF-8");
  return utf8Encoder.encode(input);
}

// Loads the module; `source` is a URL, a fetch Response (or its promise), the
// file's bytes or a compiled WebAssembly.Module.
export async function loadAdsieve(source, { console: console_ = globalThis.console } = {}) {
  const module = await compile(source);
  let exports = null;
  let restarting = null;
  let broken = null;

  const start = async () => {
    const imports = importsFor(module, () => exports.memory, console_);
    const instance = await WebAssembly.instantiate(module, imports);
    const e = instance.exports;
    if (typeof e._initialize === "function") e._initialize();
    exports = e;
    restarting = null;
  };
  await start();

  // Runs one call into the module. A trap (out of memory, a failed check)
  // leaves the instance unusable, so it is replaced in the background and the
  // caller gets a clear error.
  const call = (fn) => {
    if (broken) throw new AdsieveError("stopped", `the validator could not be restarted: ${broken.message}; reload the page`);
    if (restarting) throw new AdsieveError("stopped", "the validator is restarting after a failure; try again");
    try {
      return fn(exports);
    } catch (err) {
      if (err instanceof WebAssembly.RuntimeError || err instanceof WasiExit) {
        restarting = start().catch((e) => {
          broken = e;
          console_.error("adsieve: restart failed", e);
        });
        throw new AdsieveError("stopped", `the validator stopped (${err.message}); it is being restarted`);
      }
      throw err;
    }
  };

  const mem = () => new Uint8Array(exports.memory.buffer);
  const view = () => new DataView(exports.memory.buffer);
  const alloc = (e, size) => {
    const p = e.malloc(Math.max(size, 1));
    if (!p) throw new AdsieveError("memory", "out of memory");
    return p;
  };
  // Copies bytes into the module, NUL-terminated; returns the pointer.
  const put = (e, bytes) => {
    const p = alloc(e, bytes.length + 1);
    mem().set(bytes, p);
    mem()[p + bytes.length] = 0;
    return p;
  };
  const cString = (p) => {
    if (!p) return null;
    const m = mem();
    let end = p;
    while (m[end]) end++;
    return utf8Decoder.decode(m.subarray(p, end));
  };
  const str = (p) => {
    // adsieve_str: {const char *ptr; size_t len;}
    const v = view();
    const ptr = v.getUint32(p, true);
    const len = v.getUint32(p + 4, true);
    return ptr ? utf8Decoder.decode(mem().subarray(ptr, ptr + len)) : null;
  };

  const version = call((e) => cString(e.adsieve_version()));

  // The library's JSON for one document, exactly as adsieve_validate (no
  // options) or adsieve_validate_with_options (an options JSON text with
  // wrapper_depth, max_wrapper_depth, rule_overrides) return it. An override
  // text that cannot be read is ignored, as there.
  function validate(text, optionsJson) {
    const bytes = documentBytes(text);
    const opts = optionsJson === undefined || optionsJson === null || optionsJson === "" ? null : lenientOptions(optionsJson);
    return call((e) => {
      const owned = [];
      try {
        const doc = put(e, bytes);
        owned.push(doc);
        let r;
        if (!opts) {
          r = e.adsieve_validate(doc, bytes.length);
        } else {
          let ov = 0;
          if (opts.overrides !== null) owned.push((ov = put(e, utf8Encoder.encode(opts.overrides))));
          r = e.adsieve_validate_with_options(doc, bytes.length, opts.wrapperDepth, opts.maxWrapperDepth, ov);
        }
        if (!r) throw new AdsieveError("utf8", "the document is not valid UTF-8");
        try {
          return cString(e.adsieve_result_json(r));
        } finally {
          e.adsieve_result_free(r);
        }
      } finally {
        for (const p of owned) e.free(p);
      }
    });
  }

  // Validates through the typed interface, which reads overrides strictly: an
  // unknown rule id or level, or a depth above 255, is an AdsieveError with
  // the library's reason. `options`: {wrapper_depth, max_wrapper_depth,
  // rule_overrides (text), overrides ({id: level}), max_issues}. Returns the
  // JSON text.
  function check(input, options = {}) {
    const bytes = documentBytes(input);
    const o = options || {};
    for (const key of Object.keys(o))
      if (!["wrapper_depth", "max_wrapper_depth", "rule_overrides", "overrides", "max_issues"].includes(key))
        throw new AdsieveError("options", `unknown option "${key}"`);
    const count = (name, max) => {
      const v = o[name] ?? 0;
      if (!Number.isInteger(v) || v < 0 || v > max)
        throw new AdsieveError("options", `${name} must be an integer from 0 to ${max}`);
      return v;
    };
    const pairs = Object.entries(o.overrides ?? {});
    for (const [id, level] of pairs)
      if (typeof level !== "string") throw new AdsieveError("options", `the level for ${id} must be a text`);
    if (o.rule_overrides != null && typeof o.rule_overrides !== "string")
      throw new AdsieveError("options", "rule_overrides must be a text");
    const wrapperDepth = count("wrapper_depth", 0xffffffff);
    const maxWrapperDepth = count("max_wrapper_depth", 0xffffffff);
    const maxIssues = count("max_issues", 0xffffffff);
    return call((e) => {
      const owned = [];
      const own = (p) => (owned.push(p), p);
      try {
        const doc = own(put(e, bytes));
        // adsieve_options (wasm32): u32 wrapper_depth, u32 max_wrapper_depth,
        // ptr rule_overrides, ptr overrides, size_t override_count, size_t max_issues
        const opts = own(alloc(e, 24));
        let pairsPtr = 0;
        if (pairs.length) {
          pairsPtr = own(alloc(e, pairs.length * 8));
          pairs.forEach(([id, level], i) => {
            const idPtr = own(put(e, utf8Encoder.encode(id)));
            const levelPtr = own(put(e, utf8Encoder.encode(level)));
            view().setUint32(pairsPtr + i * 8, idPtr, true);
            view().setUint32(pairsPtr + i * 8 + 4, levelPtr, true);
          });
        }
        const textPtr = o.rule_overrides != null ? own(put(e, utf8Encoder.encode(o.rule_overrides))) : 0;
        const v = view();
        v.setUint32(opts, wrapperDepth, true);
        v.setUint32(opts + 4, maxWrapperDepth, true);
        v.setUint32(opts + 8, textPtr, true);
        v.setUint32(opts + 12, pairsPtr, true);
        v.setUint32(opts + 16, pairs.length, true);
        v.setUint32(opts + 20, maxIssues, true);
        // adsieve_error: int status, char message[256]
        const err = own(alloc(e, 260));
        const r = e.adsieve_validate_opts(doc, bytes.length, opts, err);
        if (!r) {
          const status = view().getInt32(err, true);
          throw new AdsieveError(STATUS_NAMES[status] || "unknown", cString(err + 4) || "validation failed");
        }
        try {
          return cString(e.adsieve_result_json(r));
        } finally {
          e.adsieve_result_free(r);
        }
      } finally {
        for (const p of owned) e.free(p);
      }
    });
  }

  // The rule catalogue: [{id, severity, description, family}].
  function rules() {
    return call((e) => {
      const out = [];
      const info = alloc(e, 32); // adsieve_rule_info: four adsieve_str
      try {
        const n = e.adsieve_rule_count();
        for (let i = 0; i < n; i++) {
          if (!e.adsieve_rule(i, info)) break;
          out.push({ id: str(info), severity: str(info + 8), description: str(info + 16), family: str(info + 24) });
        }
      } finally {
        e.free(info);
      }
      return out;
    });
  }

  return {
    version,
    validate,
    check,
    rules,
    get ready() {
      return restarting || Promise.resolve();
    },
  };
}
