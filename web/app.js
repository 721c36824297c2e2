// The validator page: documents in tabs, findings as a table and inline in
// the document view, filters, overrides and the rule catalogue. All text from
// documents and results is put on the page as text, never as markup.
import { loadAdsieve, AdsieveError } from "./adsieve.js";

const LEVELS = ["error", "warning", "info", "off"];
const SEVERITIES = ["error", "warning", "info"];
const TYPING_DELAY_MS = 300;

const $ = (sel) => document.querySelector(sel);

// element(tag, {attributes, class, dataset, on*}, ...children as nodes or text)
function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (v === undefined || v === null || v === false) continue;
    if (k === "class") node.className = v;
    else if (k === "dataset") Object.assign(node.dataset, v);
    else if (k.startsWith("on")) node.addEventListener(k.slice(2), v);
    else node.setAttribute(k, v === true ? "" : v);
  }
  for (const c of children.flat()) if (c !== null && c !== undefined) node.append(c);
  return node;
}

const state = {
  api: null,
  docs: [], // {name, text, bytes (only for a file that is not UTF-8), result, error}
  active: -1,
  overrides: {}, // rule id -> level, from the catalogue
  overridesText: "",
  filter: { severities: new Set(SEVERITIES), rule: "" },
  current: null, // index of the selected finding
  catalogue: [],
};

// ---------------------------------------------------------------------------
// The test and console interface.

let resolveReady;
const readyPromise = new Promise((resolve, reject) => {
  resolveReady = { resolve, reject };
});
window.adsieve = {
  // Resolves once the module is loaded (and again after a restart).
  get ready() {
    return state.api ? state.api.ready : readyPromise;
  },
  // The library's JSON text for one document, as adsieve_validate /
  // adsieve_validate_with_options return it; optionsJson, when given, holds
  // wrapper_depth, max_wrapper_depth and rule_overrides.
  validate(text, optionsJson) {
    if (!state.api) throw new AdsieveError("stopped", "adsieve.wasm is not loaded yet; await adsieve.ready");
    return state.api.validate(text, optionsJson);
  },
  check(input, options) {
    if (!state.api) throw new AdsieveError("stopped", "adsieve.wasm is not loaded yet; await adsieve.ready");
    return state.api.check(input, options);
  },
  rules: () => state.api.rules(),
  get version() {
    return state.api ? state.api.version : null;
  },
};

// ---------------------------------------------------------------------------
// Documents.

function activeDoc() {
  return state.docs[state.active] || null;
}

function addDocument(name, text, bytes = null) {
  state.docs.push({ name, text, bytes, result: null, error: null });
  selectDocument(state.docs.length - 1);
}

function uniqueName(base) {
  const names = new Set(state.docs.map((d) => d.name));
  if (!names.has(base)) return base;
  for (let i = 2; ; i++) if (!names.has(`${base} (${i})`)) return `${base} (${i})`;
}

function selectDocument(i) {
  state.active = i;
  state.current = null;
  const doc = activeDoc();
  $("#editor").value = doc ? doc.text : "";
  if (doc && !doc.result && !doc.error) validateDoc(doc);
  render();
}

function emptyDocument() {
  return { name: "untitled.xml", text: "", bytes: null, result: null, error: null };
}

function closeDocument(i) {
  state.docs.splice(i, 1);
  if (!state.docs.length) state.docs.push(emptyDocument());
  let next = state.active;
  if (i < next) next -= 1;
  selectDocument(Math.min(next, state.docs.length - 1));
}

async function openFiles(files) {
  for (const file of files) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    let text;
    let raw = null;
    try {
      text = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true }).decode(bytes);
    } catch {
      // Kept as bytes so the library itself gives the verdict; shown lossily.
      text = new TextDecoder("utf-8", { ignoreBOM: true }).decode(bytes);
      raw = bytes;
    }
    // An untouched empty first document is replaced.
    if (state.docs.length === 1 && !state.docs[0].text && !state.docs[0].bytes) state.docs = [];
    addDocument(uniqueName(file.name), text, raw);
  }
}

// ---------------------------------------------------------------------------
// Validation.

function depthValue(input, fallback) {
  const v = Number(input.value);
  return Number.isInteger(v) ? v : fallback;
}

function currentOptions() {
  const options = {
    wrapper_depth: depthValue($("#wrapper-depth"), 0),
    max_wrapper_depth: depthValue($("#max-depth"), 5),
  };
  if (state.overridesText.trim()) options.rule_overrides = state.overridesText;
  if (Object.keys(state.overrides).length) options.overrides = { ...state.overrides };
  return options;
}

function validateDoc(doc) {
  if (!state.api) return;
  if (!doc.bytes && doc.text === "") {
    // Nothing to judge yet: no verdict rather than the empty document's.
    doc.result = null;
    doc.error = null;
    return;
  }
  try {
    const json = state.api.check(doc.bytes || doc.text, currentOptions());
    doc.result = { json, data: JSON.parse(json) };
    doc.error = null;
  } catch (err) {
    doc.result = null;
    doc.error = describeError(err, doc);
    if (err instanceof AdsieveError && err.code === "stopped") state.api.ready.then(() => validateAll());
  }
}

function describeError(err, doc) {
  if (!(err instanceof AdsieveError)) return `Unexpected failure: ${err.message}`;
  switch (err.code) {
    case "utf8":
      return `“${doc.name}” is not UTF-8 text, so it cannot be validated. Save it as UTF-8 ` +
        "(for example: iconv -f latin1 -t utf-8) and open it again. It is shown with replacement characters.";
    case "overrides":
      return `Overrides: ${err.message}. Fix them under “Rules & overrides”.`;
    case "depth":
    case "options":
      return `Settings: ${err.message}.`;
    default:
      return err.message;
  }
}

function validateAll() {
  for (const doc of state.docs) validateDoc(doc);
  render();
}

let typingTimer = 0;
function onEdit() {
  const doc = activeDoc();
  if (!doc) return;
  doc.text = $("#editor").value;
  doc.bytes = null; // edited text replaces the original bytes
  if (!$("#live").checked) return;
  clearTimeout(typingTimer);
  typingTimer = setTimeout(() => {
    validateDoc(doc);
    state.current = null;
    render();
  }, TYPING_DELAY_MS);
}

// ---------------------------------------------------------------------------
// Rendering.

function visibleIssues(doc) {
  if (!doc || !doc.result) return [];
  return doc.result.data.issues
    .map((issue, index) => ({ ...issue, index }))
    .filter((i) => state.filter.severities.has(i.severity) && (!state.filter.rule || i.id === state.filter.rule));
}

function render() {
  renderTabs();
  renderStatus();
  renderFilters();
  renderTable();
  renderDocView();
  $("#download").disabled = !(activeDoc() && activeDoc().result);
}

function renderTabs() {
  const tabs = state.docs.map((doc, i) => {
    const s = doc.result && doc.result.data.summary;
    const badge = doc.error ? el("span", { class: "badge error" }, "!")
      : s ? el("span", { class: `badge ${s.errors ? "error" : s.warnings ? "warning" : "ok"}` },
        s.errors ? `${s.errors}` : s.warnings ? `${s.warnings}` : "✓") : null;
    return el("div", { class: `tab${i === state.active ? " active" : ""}`, role: "tab", "aria-selected": String(i === state.active) },
      el("button", { type: "button", class: "tab-name", onclick: () => selectDocument(i) }, doc.name, badge),
      el("button", { type: "button", class: "tab-close", title: `Close ${doc.name}`, onclick: () => closeDocument(i) }, "×"));
  });
  $("#tabs").replaceChildren(...tabs);
}

function renderStatus() {
  const doc = activeDoc();
  const status = $("#status");
  if (!state.api) return;
  if (!doc) return status.replaceChildren();
  if (doc.error) {
    status.className = "problem";
    return status.replaceChildren(doc.error);
  }
  if (!doc.result) {
    status.className = "hint";
    return status.replaceChildren("Paste or type a document, drop or open files, or pick an example.");
  }
  const { version, summary } = doc.result.data;
  const kind = version ? `VAST ${version}` : "no VAST version (VMAP, DAAST or unreadable)";
  status.className = summary.valid ? "valid" : "invalid";
  status.replaceChildren(
    el("strong", {}, summary.valid ? "Valid" : "Not valid"),
    ` — ${kind} · ${summary.errors} error${summary.errors === 1 ? "" : "s"} · ` +
      `${summary.warnings} warning${summary.warnings === 1 ? "" : "s"} · ${summary.infos} info${summary.infos === 1 ? "" : "s"}`,
  );
}

function renderFilters() {
  const doc = activeDoc();
  const issues = doc && doc.result ? doc.result.data.issues : [];
  for (const sev of SEVERITIES)
    document.querySelector(`[data-count="${sev}"]`).textContent = issues.filter((i) => i.severity === sev).length;
  const counts = new Map();
  for (const i of issues) counts.set(i.id, (counts.get(i.id) || 0) + 1);
  if (state.filter.rule && !counts.has(state.filter.rule)) counts.set(state.filter.rule, 0);
  const select = $("#rule-filter");
  select.replaceChildren(el("option", { value: "" }, `All rules (${counts.size})`),
    ...[...counts].sort().map(([id, n]) => el("option", { value: id, selected: id === state.filter.rule }, `${id} (${n})`)));
}

function position(issue) {
  return issue.line === null ? "—" : `${issue.line}:${issue.col}`;
}

function renderTable() {
  const doc = activeDoc();
  const rows = visibleIssues(doc).map((issue) =>
    el("tr", {
      class: `finding ${issue.severity}${issue.index === state.current ? " current" : ""}`,
      dataset: { index: issue.index, line: issue.line ?? "" },
      tabindex: "0",
      title: issue.spec_ref,
      onclick: () => showFinding(issue.index),
      onkeydown: (e) => e.key === "Enter" && showFinding(issue.index),
    },
    el("td", {}, el("span", { class: `sev-badge ${issue.severity}` }, issue.severity)),
    el("td", {}, el("code", {}, issue.id)),
    el("td", {}, issue.message),
    el("td", {}, el("code", {}, issue.path ?? "")),
    el("td", { class: "pos" }, position(issue))));
  if (!rows.length) {
    const text = !doc || !doc.result ? "" : doc.result.data.issues.length ? "No finding matches the filters." : "No findings.";
    rows.push(el("tr", { class: "empty" }, el("td", { colspan: "5" }, text)));
  }
  $("#findings tbody").replaceChildren(...rows);
}

// The document with line numbers; lines with findings are tinted by their
// worst severity and followed by the findings themselves.
function renderDocView() {
  const doc = activeDoc();
  const view = $("#doc-view");
  if (!doc) return view.replaceChildren();
  const byLine = new Map();
  for (const issue of visibleIssues(doc)) {
    if (issue.line === null) continue;
    if (!byLine.has(issue.line)) byLine.set(issue.line, []);
    byLine.get(issue.line).push(issue);
  }
  const lines = doc.text.split(/\r\n|\n|\r/);
  const currentLine = state.current !== null && doc.result ? doc.result.data.issues[state.current]?.line : null;
  const out = [];
  const rank = { error: 3, warning: 2, info: 1 };
  lines.forEach((text, i) => {
    const n = i + 1;
    const issues = byLine.get(n) || [];
    const worst = issues.reduce((w, x) => (rank[x.severity] > rank[w] ? x.severity : w), "none");
    out.push(el("div", { class: `line${issues.length ? ` has-${worst}` : ""}${n === currentLine ? " current" : ""}`, dataset: { line: n } },
      el("span", { class: "ln" }, String(n)), el("span", { class: "code" }, text || " ")));
    for (const issue of issues)
      out.push(el("div", {
        class: `inline-finding ${issue.severity}${issue.index === state.current ? " current" : ""}`,
        dataset: { index: issue.index },
        onclick: () => showFinding(issue.index),
      }, el("span", { class: `sev-badge ${issue.severity}` }, issue.severity), ` ${issue.message} `,
      el("code", {}, issue.id), issue.col ? ` (col ${issue.col})` : ""));
  });
  // Findings without a position come first.
  const unplaced = visibleIssues(doc).filter((i) => i.line === null);
  if (unplaced.length)
    out.unshift(el("div", { class: "unplaced" }, el("strong", {}, "Without a line: "),
      ...unplaced.map((i) => el("span", { class: `sev-badge ${i.severity}`, title: i.message }, i.id))));
  view.replaceChildren(...out);
}

// Selects a finding: highlights its line in the document view, scrolls to it,
// and puts the editor's caret on that line.
function showFinding(index) {
  state.current = index;
  renderTable();
  renderDocView();
  const doc = activeDoc();
  const issue = doc.result.data.issues[index];
  if (issue.line === null) return;
  const line = document.querySelector(`#doc-view .line[data-line="${issue.line}"]`);
  if (line) line.scrollIntoView({ block: "center" });
  const editor = $("#editor");
  const starts = [0];
  for (let i = 0; i < editor.value.length; i++) if (editor.value[i] === "\n") starts.push(i + 1);
  const start = starts[issue.line - 1] ?? 0;
  const end = starts[issue.line] !== undefined ? starts[issue.line] - 1 : editor.value.length;
  editor.setSelectionRange(start, end);
  const lineHeight = parseFloat(getComputedStyle(editor).lineHeight) || 16;
  editor.scrollTop = Math.max(0, (issue.line - 1) * lineHeight - editor.clientHeight / 2);
}

// ---------------------------------------------------------------------------
// Rule catalogue and overrides.

function overrideCount() {
  return Object.keys(state.overrides).length + (state.overridesText.trim() ? 1 : 0);
}

function renderCatalogue() {
  const query = $("#rule-search").value.trim().toLowerCase();
  const family = $("#family-filter").value;
  const rows = state.catalogue
    .filter((r) => (!family || r.family === family) &&
      (!query || `${r.id} ${r.family} ${r.description}`.toLowerCase().includes(query)))
    .map((r) => el("tr", { class: state.overrides[r.id] ? "overridden" : "" },
      el("td", {}, el("code", {}, r.id)),
      el("td", {}, el("span", { class: `sev-badge ${r.severity}` }, r.severity)),
      el("td", {}, el("select", {
        "aria-label": `Override for ${r.id}`,
        onchange: (e) => setOverride(r.id, e.target.value),
      }, el("option", { value: "" }, "default"),
      ...LEVELS.map((l) => el("option", { value: l, selected: state.overrides[r.id] === l }, l)))),
      el("td", {}, r.family),
      el("td", {}, r.description)));
  $("#rules-table tbody").replaceChildren(...rows);
  $("#override-count").textContent = overrideCount() ? `(${overrideCount()})` : "";
}

function setOverride(id, level) {
  if (level) state.overrides[id] = level;
  else delete state.overrides[id];
  renderCatalogue();
  validateAll();
}

// ---------------------------------------------------------------------------
// Wiring.

function download() {
  const doc = activeDoc();
  if (!doc || !doc.result) return;
  const blob = new Blob([doc.result.json], { type: "application/json" });
  const url = URL.createObjectURL(blob);
  const a = el("a", { href: url, download: `${doc.name.replace(/\.[^.]*$/, "")}.adsieve.json` });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

async function loadExamples() {
  try {
    const names = await (await fetch("examples/index.json")).json();
    $("#example").append(...names.map((n) => el("option", { value: n }, n)));
  } catch {
    $("#example").disabled = true;
  }
}

async function loadExample(name) {
  const bytes = new Uint8Array(await (await fetch(`examples/${encodeURIComponent(name)}`)).arrayBuffer());
  if (state.docs.length === 1 && !state.docs[0].text && !state.docs[0].bytes) state.docs = [];
  addDocument(uniqueName(name), new TextDecoder("utf-8", { ignoreBOM: true }).decode(bytes));
}

function wire() {
  $("#editor").addEventListener("input", onEdit);
  $("#validate").addEventListener("click", () => {
    const doc = activeDoc();
    if (doc) doc.text = $("#editor").value;
    validateAll();
  });
  $("#new-doc").addEventListener("click", () => addDocument(uniqueName("untitled.xml"), ""));
  $("#open").addEventListener("change", async (e) => {
    await openFiles([...e.target.files]);
    e.target.value = "";
  });
  $("#example").addEventListener("change", async (e) => {
    if (e.target.value) await loadExample(e.target.value);
    e.target.value = "";
  });
  for (const id of ["#wrapper-depth", "#max-depth"]) $(id).addEventListener("change", validateAll);
  $("#download").addEventListener("click", download);
  for (const box of document.querySelectorAll("[data-severity]"))
    box.addEventListener("change", () => {
      if (box.checked) state.filter.severities.add(box.dataset.severity);
      else state.filter.severities.delete(box.dataset.severity);
      state.current = null;
      render();
    });
  $("#rule-filter").addEventListener("change", (e) => {
    state.filter.rule = e.target.value;
    state.current = null;
    render();
  });
  $("#open-rules").addEventListener("click", () => {
    renderCatalogue();
    $("#rules-dialog").showModal();
  });
  $("#rule-search").addEventListener("input", renderCatalogue);
  $("#family-filter").addEventListener("change", renderCatalogue);
  $("#overrides-text").addEventListener("input", (e) => {
    state.overridesText = e.target.value;
    clearTimeout(typingTimer);
    typingTimer = setTimeout(() => {
      renderCatalogue();
      validateAll();
    }, TYPING_DELAY_MS);
  });
  $("#clear-overrides").addEventListener("click", () => {
    state.overrides = {};
    state.overridesText = "";
    $("#overrides-text").value = "";
    renderCatalogue();
    validateAll();
  });
  // Files dropped anywhere on the page.
  document.addEventListener("dragover", (e) => {
    e.preventDefault();
    document.body.classList.add("dropping");
  });
  document.addEventListener("dragleave", (e) => {
    if (!e.relatedTarget) document.body.classList.remove("dropping");
  });
  document.addEventListener("drop", async (e) => {
    e.preventDefault();
    document.body.classList.remove("dropping");
    if (e.dataTransfer.files.length) await openFiles([...e.dataTransfer.files]);
  });
}

async function main() {
  wire();
  loadExamples();
  state.docs.push(emptyDocument());
  state.active = 0;
  $("#status").replaceChildren("Loading the validator…");
  try {
    state.api = await loadAdsieve("adsieve.wasm");
  } catch (err) {
    $("#status").className = "problem";
    $("#status").replaceChildren(`The validator could not be loaded: ${err.message}`);
    resolveReady.reject(err);
    return;
  }
  state.catalogue = state.api.rules();
  const families = [...new Set(state.catalogue.map((r) => r.family))].sort();
  $("#family-filter").append(...families.map((f) => el("option", { value: f }, f)));
  $("#version").textContent = state.api.version;
  $("#footer-version").textContent = state.api.version;
  $("#status").replaceChildren();
  validateAll();
  resolveReady.resolve();
}

main();
