'use strict';
// adsieve for Node: validation of VAST, VMAP and DAAST documents through the
// native addon (see index.d.ts for the types).
const native = require('./build/Release/adsieve.node');

// A JavaScript string with a lone surrogate has no UTF-8 form; the addon would
// otherwise see U+FFFD in its place and validate a document that was never given.
const isWellFormed = typeof String.prototype.isWellFormed === 'function'
  ? (s) => s.isWellFormed()
  : (s) => !/\p{Surrogate}/u.test(s);

function checkText(xml) {
  if (typeof xml === 'string' && !isWellFormed(xml)) {
    throw new TypeError('xml is not valid Unicode: it has a lone surrogate, which has no UTF-8 form');
  }
}

/** Validates a document; throws TypeError or RangeError on bad input. */
function validate(xml, options) {
  checkText(xml);
  return native.validate(xml, options);
}

/** As validate, on the libuv thread pool; bad input rejects the promise. */
async function validateAsync(xml, options) {
  checkText(xml);
  return native.validateAsync(xml, options);
}

module.exports = {
  validate,
  validateAsync,
  rules: native.rules,
  libraryVersion: native.libraryVersion,
};
