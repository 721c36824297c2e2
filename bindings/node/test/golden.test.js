'use strict';
// Every golden case gives the library's JSON text byte for byte, and the typed
// fields of the result say the same as that text.
const test = require('node:test');
const assert = require('node:assert/strict');
const adsieve = require('..');
const { corpusCases, generatedCases } = require('./golden');

// The typed fields, rebuilt in the shape of the JSON text.
function asJson(r) {
  return {
    version: r.version,
    issues: r.issues.map((i) => ({
      id: i.id, severity: i.severity, message: i.message, path: i.path,
      spec_ref: i.specRef, line: i.line, col: i.col,
    })),
    summary: { errors: r.errors, warnings: r.warnings, infos: r.infos, valid: r.valid },
  };
}

function check(cases) {
  let differ = 0;
  const report = [];
  for (const c of cases) {
    let problem = null;
    if (c.expected === null) {
      assert.throws(() => adsieve.validate(c.xml, c.options), TypeError, c.name);
      continue;
    }
    const r = adsieve.validate(c.xml, c.options);
    if (r.json !== c.expected) {
      problem = `json differs:\n  expected ${c.expected}\n  got      ${r.json}`;
    } else {
      try {
        assert.deepStrictEqual(asJson(r), JSON.parse(r.json));
      } catch (e) {
        problem = `typed fields differ from the JSON text: ${e.message}`;
      }
    }
    if (problem && ++differ <= 10) report.push(`${c.name}: ${problem}`);
  }
  assert.equal(differ, 0, `${differ} of ${cases.length} cases differ\n${report.join('\n')}`);
  return cases.length;
}

test('corpus documents, read from Buffers in place', () => {
  assert.ok(check(corpusCases()) > 300);
});

test('generated documents with depths and overrides, from strings', () => {
  assert.ok(check(generatedCases()) > 2000);
});
