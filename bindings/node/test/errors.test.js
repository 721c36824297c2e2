'use strict';
// Bad input at every argument: the right error class with a message that names
// the problem, thrown by validate and rejected by validateAsync.
const test = require('node:test');
const assert = require('node:assert/strict');
const adsieve = require('..');

const doc = '<VAST version="4.2"><Ad><InLine/></Ad></VAST>';

// [what, xml, options, class, message pattern]
const bad = [
  ['a number as document', 42, undefined, TypeError, /xml must be a string, a Buffer or a Uint8Array, got a number/],
  ['no document', undefined, undefined, TypeError, /got undefined/],
  ['an ArrayBuffer', new ArrayBuffer(4), undefined, TypeError, /got an object/],
  ['a Uint16Array', new Uint16Array(4), undefined, TypeError, /xml must be/],
  ['invalid UTF-8 bytes', Buffer.from([0x3c, 0x41, 0x3e, 0xff]), undefined, TypeError, /not valid UTF-8/],
  ['an encoded surrogate', Buffer.from([0xed, 0xa0, 0x80]), undefined, TypeError, /not valid UTF-8/],
  ['a lone surrogate in a string', '<VAST>\ud800</VAST>', undefined, TypeError, /lone surrogate/],
  ['options not an object', doc, 'strict', TypeError, /options must be an object, got a string/],
  ['options an array', doc, [], TypeError, /options must be an object, got an array/],
  ['an unknown option', doc, { maxDepth: 3 }, TypeError, /unknown option "maxDepth"/],
  ['depth as a string', doc, { wrapperDepth: '3' }, TypeError, /options.wrapperDepth must be a number, got a string/],
  ['depth above 255', doc, { wrapperDepth: 256 }, RangeError, /options.wrapperDepth must be an integer from 0 to 255, got 256/],
  ['negative depth', doc, { wrapperDepth: -1 }, RangeError, /from 0 to 255, got -1/],
  ['fractional depth', doc, { wrapperDepth: 2.5 }, RangeError, /got 2.5/],
  ['NaN depth', doc, { wrapperDepth: NaN }, RangeError, /got NaN/],
  ['maximum depth above 255', doc, { maxWrapperDepth: 300 }, RangeError, /options.maxWrapperDepth must be an integer from 1 to 255, got 300/],
  ['maximum depth 0', doc, { maxWrapperDepth: 0 }, RangeError, /from 1 to 255, got 0/],
  ['negative maxIssues', doc, { maxIssues: -1 }, RangeError, /options.maxIssues must be an integer of at least 0, got -1/],
  ['infinite maxIssues', doc, { maxIssues: Infinity }, RangeError, /got Infinity/],
  ['maxIssues as a bigint', doc, { maxIssues: 3n }, TypeError, /must be a number, got a bigint/],
  ['rules as a string', doc, { rules: '{"VAST-2.0-url-empty":"off"}' }, TypeError, /options.rules must be an object of rule id to level, got a string/],
  ['rules as null', doc, { rules: null }, TypeError, /got null/],
  ['a level that is not a string', doc, { rules: { 'VAST-2.0-url-empty': 0 } }, TypeError, /options.rules\["VAST-2.0-url-empty"\] must be a string/],
  ['an unknown rule id', doc, { rules: { 'VAST-9.9-nothing': 'off' } }, RangeError, /options.rules: unknown rule id "VAST-9.9-nothing"/],
  ['a rule id in the wrong case', doc, { rules: { 'vast-2.0-url-empty': 'off' } }, RangeError, /unknown rule id/],
  ['an unknown level', doc, { rules: { 'VAST-2.0-url-empty': 'silent' } }, RangeError, /unknown level "silent" for VAST-2.0-url-empty \(use error, warning, info or off\)/],
  ['a level in the wrong case', doc, { rules: { 'VAST-2.0-url-empty': 'OFF' } }, RangeError, /unknown level "OFF"/],
  // A NUL would end the C text early and make these look like known ones.
  ['a rule id with a NUL', doc, { rules: { 'VAST-2.0-url-empty\0x': 'off' } }, RangeError, /unknown rule id "VAST-2.0-url-empty\\0x"/],
  ['a level with a NUL', doc, { rules: { 'VAST-2.0-url-empty': 'off\0' } }, RangeError, /unknown level "off\\0"/],
];

test('validate throws', () => {
  for (const [what, xml, options, cls, pattern] of bad) {
    assert.throws(() => adsieve.validate(xml, options), (e) => {
      assert.equal(e.constructor, cls, what);
      assert.match(e.message, pattern, what);
      return true;
    }, what);
  }
});

test('validateAsync rejects', async () => {
  for (const [what, xml, options, cls, pattern] of bad) {
    const p = adsieve.validateAsync(xml, options);
    assert.ok(p instanceof Promise, what);
    await assert.rejects(p, (e) => {
      assert.equal(e.constructor, cls, what);
      assert.match(e.message, pattern, what);
      return true;
    }, what);
  }
});

test('a throwing getter in the options propagates', () => {
  const options = { get rules() { throw new Error('boom'); } };
  assert.throws(() => adsieve.validate(doc, options), /boom/);
});

test('absent values are the defaults', () => {
  const plain = adsieve.validate(doc).json;
  for (const options of [undefined, null, {}, { wrapperDepth: undefined, rules: undefined }, { rules: {} }]) {
    assert.equal(adsieve.validate(doc, options).json, plain);
  }
  // An empty document is a document, not an error.
  assert.equal(adsieve.validate('').version, null);
  assert.equal(adsieve.validate(Buffer.alloc(0)).json, adsieve.validate('').json);
});
