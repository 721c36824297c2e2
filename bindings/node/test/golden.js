'use strict';
// Reads the shared golden cases (../shared/golden beside the repository, or
// ADSIEVE_SHARED_DIR) as { name, xml, options, expected } objects.
const fs = require('node:fs');
const path = require('node:path');
const adsieve = require('..');

const sharedDir = process.env.ADSIEVE_SHARED_DIR || path.resolve(__dirname, '../../../../shared');

function readLines(file) {
  return fs.readFileSync(path.join(sharedDir, 'golden', file), 'utf8')
    .split('\n').filter((l) => l.trim() !== '').map((l) => JSON.parse(l));
}

// The cases give overrides as the lenient text of adsieve_validate_with_options,
// which skips pieces with an unknown id or level and ignores the whole text when
// it cannot be split into pieces. The Node API takes an object and is strict,
// so the text is turned into the object it amounts to.
const WS = '[\\t-\\r \\u0085\\u00a0\\u1680\\u2000-\\u200a\\u2028\\u2029\\u202f\\u205f\\u3000]';
const trimRe = new RegExp(`^${WS}+|${WS}+$`, 'g');
const trim = (s) => s.replace(trimRe, '');
const unquote = (s) => trim(s).replace(/^"+|"+$/g, '');
const knownIds = new Set(adsieve.rules().map((r) => r.id));
const levels = new Set(['error', 'warning', 'info', 'off']);

function rulesFromText(text) {
  if (text == null) return undefined;
  const t = trim(text);
  if (t.length < 2 || t[0] !== '{' || t[t.length - 1] !== '}') return undefined;
  const rules = {};
  for (const raw of t.slice(1, -1).split(',')) {
    const piece = trim(raw);
    const colon = piece.indexOf(':');
    if (colon < 0) return undefined;
    const id = unquote(piece.slice(0, colon));
    const level = unquote(piece.slice(colon + 1));
    if (knownIds.has(id) && levels.has(level)) rules[id] = level;
  }
  return Object.keys(rules).length ? rules : undefined;
}

// The expected results predate bounded paths: the library writes a path of
// more than 64 element segments as its first 32, "...", and its last 31, so
// the few longer expected paths are shortened the same way here.
function boundedPaths(json) {
  if (json == null) return json;
  return json.replace(/"path":"(\/(?:[^"\\]|\\.)*)"/g, (_, p) => {
    let segments = p.slice(1).split('/');
    if (segments.length > 64) segments = [...segments.slice(0, 32), '...', ...segments.slice(-31)];
    return `"path":"/${segments.join('/')}"`;
  });
}

function corpusCases() {
  return readLines('corpus.jsonl').map((c) => ({
    name: c.file,
    xml: fs.readFileSync(path.join(sharedDir, 'corpus', c.file)),  // a Buffer
    options: undefined,
    expected: boundedPaths(c.json),
  }));
}

function generatedCases() {
  return readLines('generated.jsonl').map((c) => {
    const options = {};
    // The C function uses the low 8 bits of both depths, and a maximum of 0 means 5.
    if (c.depth !== undefined) options.wrapperDepth = c.depth & 0xff;
    if (c.max !== undefined && (c.max & 0xff) !== 0) options.maxWrapperDepth = c.max & 0xff;
    const rules = rulesFromText(c.overrides);
    if (rules) options.rules = rules;
    return { name: c.name, xml: c.input, options, expected: boundedPaths(c.json) };
  });
}

module.exports = { corpusCases, generatedCases, sharedDir };
