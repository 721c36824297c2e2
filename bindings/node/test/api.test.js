'use strict';
// The options, the result fields, the catalogue and the async path.
const test = require('node:test');
const assert = require('node:assert/strict');
const adsieve = require('..');
const { generatedCases } = require('./golden');

const wrapper = '<VAST version="4.2"><Ad id="1"><Wrapper><AdSystem>s</AdSystem>'
  + '<VASTAdTagURI><![CDATA[https://example.com/tag]]></VASTAdTagURI>'
  + '<Impression><![CDATA[https://example.com/imp]]></Impression></Wrapper></Ad></VAST>';
const inline = '<VAST version="4.2"><Ad><InLine/></Ad></VAST>';
const ids = (r) => r.issues.map((i) => i.id);

test('wrapper depths', () => {
  assert.ok(ids(adsieve.validate(wrapper, { wrapperDepth: 6 })).includes('VAST-2.0-wrapper-depth'));
  assert.ok(!ids(adsieve.validate(wrapper, { wrapperDepth: 5 })).includes('VAST-2.0-wrapper-depth'));
  assert.ok(!ids(adsieve.validate(wrapper, { wrapperDepth: 6, maxWrapperDepth: 6 })).includes('VAST-2.0-wrapper-depth'));
  assert.ok(ids(adsieve.validate(wrapper, { wrapperDepth: 2, maxWrapperDepth: 1 })).includes('VAST-2.0-wrapper-depth'));
  assert.ok(!ids(adsieve.validate(wrapper, { wrapperDepth: 255, maxWrapperDepth: 255 })).includes('VAST-2.0-wrapper-depth'));
});

test('rules change severities and switch rules off', () => {
  const plain = adsieve.validate(inline);
  assert.equal(plain.errors, 5);
  assert.equal(plain.valid, false);
  const rules = Object.fromEntries(plain.issues.map((i) => [i.id, 'warning']));
  const softened = adsieve.validate(inline, { rules });
  assert.equal(softened.errors, 0);
  assert.equal(softened.warnings, 5);
  assert.equal(softened.valid, true);
  rules[plain.issues[0].id] = 'off';
  assert.equal(adsieve.validate(inline, { rules }).issues.length, 4);
  // Inherited keys are not rules.
  const inherited = Object.create({ [plain.issues[0].id]: 'off' });
  assert.equal(adsieve.validate(inline, { rules: inherited }).errors, 5);
});

test('maxIssues cuts the list but keeps the counts', () => {
  const all = adsieve.validate(inline);
  const cut = adsieve.validate(inline, { maxIssues: 2 });
  assert.equal(cut.issues.length, 2);
  assert.deepEqual(cut.issues, all.issues.slice(0, 2));
  assert.equal(cut.errors, all.errors);
  assert.equal(cut.truncated, true);
  assert.equal(JSON.parse(cut.json).summary.truncated, true);
  assert.equal(all.truncated, false);
  assert.equal(adsieve.validate(inline, { maxIssues: 0 }).issues.length, all.issues.length);
  assert.equal(adsieve.validate(inline, { maxIssues: Number.MAX_SAFE_INTEGER }).truncated, false);
});

test('strings, Buffers, Uint8Arrays and slices of them give the same result', () => {
  const expected = adsieve.validate(inline).json;
  const bytes = Buffer.from(`xx${inline}yy`);
  const views = [
    Buffer.from(inline),
    new TextEncoder().encode(inline),
    bytes.subarray(2, bytes.length - 2),
    new Uint8Array(bytes.buffer, bytes.byteOffset + 2, bytes.length - 4),
  ];
  for (const v of views) {
    assert.equal(adsieve.validate(v).json, expected);
  }
  // Non-ASCII text and NUL bytes reach the library as they are.
  const accented = '<VAST version="4.2"><Ad><InLine><AdTitle>Été — 30s 🎬</AdTitle></InLine></Ad></VAST>';
  assert.equal(adsieve.validate(accented).json, adsieve.validate(Buffer.from(accented)).json);
  assert.equal(adsieve.validate('<VAST version="4.2">\0<Ad>').json,
    adsieve.validate(Buffer.from('<VAST version="4.2">\0<Ad>')).json);
});

test('a deeply nested document', () => {
  const depth = 200000;
  const doc = `<VAST version="4.2">${'<Ad>'.repeat(depth)}${'</Ad>'.repeat(depth)}</VAST>`;
  assert.equal(typeof adsieve.validate(doc).json, 'string');
  assert.ok(ids(adsieve.validate(doc.slice(0, 20 + 4 * depth))).includes('VAST-2.0-parse-error'));
});

test('the catalogue', () => {
  const rules = adsieve.rules();
  assert.ok(rules.length > 100);
  assert.equal(new Set(rules.map((r) => r.id)).size, rules.length);
  for (const r of rules) {
    assert.deepEqual(Object.keys(r), ['id', 'defaultSeverity', 'description', 'family']);
    assert.ok(['error', 'warning', 'info'].includes(r.defaultSeverity), r.id);
    assert.ok(r.description.length > 0 && r.family.length > 0, r.id);
  }
  // Every catalogue id is accepted as an override.
  const off = Object.fromEntries(rules.map((r) => [r.id, 'off']));
  assert.deepEqual(adsieve.validate(inline, { rules: off }).issues, []);
  assert.match(adsieve.libraryVersion, /^\d+\.\d+\.\d+$/);
});

test('validateAsync on many documents at once equals validate', async () => {
  const cases = generatedCases().filter((_, i) => i % 4 === 0);
  const results = await Promise.all(cases.map((c, i) =>
    adsieve.validateAsync(i % 2 ? Buffer.from(c.xml) : c.xml, c.options)));
  assert.ok(cases.length > 500);
  cases.forEach((c, i) => assert.deepStrictEqual(results[i], adsieve.validate(c.xml, c.options), c.name));
});

test('validateAsync works on its own copy of a Buffer', async () => {
  const buf = Buffer.from(inline);
  const pending = adsieve.validateAsync(buf);
  buf.fill(0xff);  // invalid UTF-8 by the time the worker runs
  assert.equal((await pending).json, adsieve.validate(inline).json);
});
