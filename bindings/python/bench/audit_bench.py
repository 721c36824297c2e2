"""Throughput of the Python binding and of the audit.

    .venv/bin/python bindings/python/bench/audit_bench.py [--documents N] [--workers N] [--shared DIR]

Builds an NDJSON log of N documents (the corpus and the generated golden inputs,
repeated), then prints documents per second for: validate() on one thread and on
several, the audit in this process, and the audit on a local Dask cluster (the
cluster's start-up time reported apart). Figures only; nothing is asserted.
"""
import argparse
import json
import os
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import adsieve
from adsieve.audit import audit


def documents(shared: Path, n: int) -> list:
    base = [p.read_text(encoding="utf-8", errors="replace") for p in sorted((shared / "corpus").rglob("*.xml"))]
    for line in open(shared / "golden" / "generated.jsonl", encoding="utf-8"):
        base.append(json.loads(line)["input"])
    return [base[i % len(base)] for i in range(n)]


def rate(n: int, seconds: float) -> str:
    return f"{n / seconds:10,.0f} docs/s  ({seconds:6.2f} s)"


def main():
    here = Path(__file__).resolve()
    p = argparse.ArgumentParser()
    p.add_argument("--documents", type=int, default=20000)
    p.add_argument("--workers", type=int, default=2)
    p.add_argument("--shared", type=Path, default=here.parents[4] / "shared")
    args = p.parse_args()

    docs = documents(args.shared, args.documents)
    n = len(docs)
    size = sum(len(d.encode()) for d in docs)
    print(f"{n} documents, {size / 1e6:.1f} MB, {os.cpu_count()} CPUs")

    t = time.perf_counter()
    for d in docs:
        adsieve.validate(d)
    print(f"validate(), 1 thread          {rate(n, time.perf_counter() - t)}")
    def run_slice(k):
        for d in docs[k::args.workers]:
            adsieve.validate(d)

    with ThreadPoolExecutor(args.workers) as pool:
        t, cpu = time.perf_counter(), time.process_time()
        list(pool.map(run_slice, range(args.workers)))
        wall = time.perf_counter() - t
        # CPU seconds per wall second near the thread count: the threads did run at once.
        print(f"validate(), {args.workers} threads         {rate(n, wall)}  "
              f"[{(time.process_time() - cpu) / wall:.2f} CPUs busy]")

    with tempfile.TemporaryDirectory() as tmp:
        log = Path(tmp) / "responses.ndjson"
        with open(log, "w", encoding="utf-8") as f:
            for i, d in enumerate(docs):
                f.write(json.dumps({"id": f"r{i}", "xml": d, "ssp": f"ssp-{i % 7}"}) + "\n")
        blocksize = max(1 << 20, log.stat().st_size // (4 * max(1, args.workers)) + 1)

        t = time.perf_counter()
        s = audit([str(log)], workers=0, blocksize=blocksize)
        print(f"audit, this process           {rate(s['documents'], time.perf_counter() - t)}")

        from distributed import Client, LocalCluster

        t = time.perf_counter()
        with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster, Client(cluster):
            started = time.perf_counter() - t
            print(f"local cluster of {args.workers} started in {started:.2f} s")
            t = time.perf_counter()
            s = audit([str(log)], scheduler=cluster.scheduler_address, blocksize=blocksize)
            elapsed = time.perf_counter() - t
            print(f"audit, local cluster of {args.workers}    {rate(s['documents'], elapsed)}  [{s['run']['tasks']} tasks]")
            print(f"  counting the cluster start  {rate(s['documents'], elapsed + started)}")


if __name__ == "__main__":
    main()
