'use strict';
// Documents per second through the Node package (sync and async) and through
// the C interface on the same documents: the shared corpus, round after round.
// Each figure is the best of three runs of SECONDS (default 1), since the
// machine may be shared.
//   node bench/bench.js [SECONDS]
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const adsieve = require('..');
const { corpusCases, sharedDir } = require('../test/golden');

const seconds = Number(process.argv[2] || 1);
const runs = 3;
const poolSize = Number(process.env.UV_THREADPOOL_SIZE || 4);
const cases = corpusCases();
const files = cases.map((c) => path.join(sharedDir, 'corpus', c.name));
const buffers = cases.map((c) => c.xml);
const strings = buffers.map((b) => b.toString('utf8'));
const capi = path.join(__dirname, '..', 'build', 'Release', 'capi_bench');

function syncRate(docs) {
  let done = 0;
  const t0 = process.hrtime.bigint();
  const end = t0 + BigInt(Math.round(seconds * 1e9));
  let now = t0;
  while (now < end) {
    adsieve.validate(docs[done % docs.length]);
    ++done;
    now = process.hrtime.bigint();
  }
  return done / (Number(now - t0) / 1e9);
}

// Keeps `inFlight` validations queued until the time is up.
function asyncRate(docs, inFlight) {
  return new Promise((resolve, reject) => {
    let started = 0;
    let done = 0;
    const t0 = process.hrtime.bigint();
    const end = t0 + BigInt(Math.round(seconds * 1e9));
    const next = () => {
      if (process.hrtime.bigint() >= end) {
        if (done === started) resolve(done / (Number(process.hrtime.bigint() - t0) / 1e9));
        return;
      }
      const doc = docs[started++ % docs.length];
      adsieve.validateAsync(doc).then(() => { ++done; next(); }, reject);
    };
    for (let i = 0; i < inFlight; ++i) next();
  });
}

function capiRate(threads) {
  return Number(execFileSync(capi, [String(seconds), String(threads), ...files], { encoding: 'utf8' }).trim());
}

async function best(measure) {
  let top = 0;
  for (let i = 0; i < runs; ++i) top = Math.max(top, await measure());
  return top;
}

function line(what, rate) {
  console.log(`${what.padEnd(44)} ${Math.round(rate).toString().padStart(8)} documents/s`);
}

(async () => {
  const bytes = buffers.reduce((n, b) => n + b.length, 0);
  console.log(`${files.length} corpus documents (${(bytes / 1024).toFixed(0)} KiB), best of ${runs} x ${seconds} s`);
  for (let i = 0; i < 3; ++i) for (const b of buffers) adsieve.validate(b);  // warm-up
  line('node validate, Buffer', await best(() => syncRate(buffers)));
  line('node validate, string', await best(() => syncRate(strings)));
  line(`node validateAsync, Buffer, ${poolSize * 4} in flight`, await best(() => asyncRate(buffers, poolSize * 4)));
  line('C API, 1 thread', await best(() => capiRate(1)));
  line(`C API, ${poolSize} threads (the libuv pool)`, await best(() => capiRate(poolSize)));
})().catch((e) => { console.error(e); process.exit(1); });
