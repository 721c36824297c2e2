"""Bulk audit of ad documents on Dask.

    python -m adsieve.audit [--scheduler tcp://HOST:PORT | --workers N] [--out DIR] INPUT...

INPUT is a folder (its *.xml files and NDJSON logs, walked in name order), an
XML file, or an NDJSON log (.ndjson, .jsonl or .json, plain or .gz) with one
JSON object a line: an `xml` field, an optional `id`, and other fields that are
counted as dimensions. The inputs are cut into tasks (batches of files, byte
ranges of plain logs, whole gzip logs) that Dask workers stream; each task
returns a small tally, and the tallies are merged in input order.

From Python:

    from adsieve.audit import audit
    summary = audit(["logs/"], workers=2)          # a local cluster of 2 processes
    summary = audit(["logs/"], scheduler="tcp://10.0.0.5:8786")
    summary = audit(["logs/"], workers=0)          # in this process, no cluster
"""
from __future__ import annotations

import sys
import time
from typing import Optional

import adsieve

from .report import summarize, write_report
from .sources import plan
from .tally import merge_all, tally_partition

__all__ = ["audit", "write_report"]


def _check_rules(rules):
    if rules is not None:
        adsieve.validate("", rules=rules)  # raises ValueError/TypeError for a bad override


def _bag(tasks, rules):
    import dask.bag as db

    return db.from_sequence(tasks, npartitions=len(tasks)).map_partitions(tally_partition, rules)


def audit(inputs: list, *, scheduler: Optional[str] = None, workers: int = 2, client=None, rules=None,
          blocksize: int = 32 << 20, files_per_task: int = 64, progress: bool = False) -> dict:
    """Audits the inputs and returns the summary (see summarize()).

    client     an existing distributed.Client to run on (wins over the others)
    scheduler  address of a running Dask scheduler to join
    workers    processes of the local cluster to start; 0 runs in this process
    rules      severity overrides as for adsieve.validate
    """
    _check_rules(rules)
    if workers < 0:
        raise ValueError("workers must be 0 or more")
    started = time.perf_counter()
    tasks, ignored = plan(inputs, blocksize, files_per_task)
    run = {"adsieve": adsieve.__version__, "inputs": [str(i) for i in inputs], "tasks": len(tasks),
           "ignored_files": len(ignored), "ignored_first": ignored[:20]}
    tallies = []
    if not tasks:
        run["scheduler"] = "none (nothing to read)"
    elif client is not None:
        run["scheduler"] = f"Dask scheduler {client.scheduler_info().get('address', '?')}"
        tallies = _on_client(client, _bag(tasks, rules), progress)
    elif scheduler is not None:
        from distributed import Client

        with Client(scheduler, timeout="30s") as c:
            run["scheduler"] = f"Dask scheduler {scheduler}"
            tallies = _on_client(c, _bag(tasks, rules), progress)
    elif workers == 0:
        run["scheduler"] = "this process"
        bag = _bag(tasks, rules)
        if progress:
            from dask.diagnostics import ProgressBar

            with ProgressBar():
                tallies = bag.compute(scheduler="sync")
        else:
            tallies = bag.compute(scheduler="sync")
    else:
        from distributed import Client, LocalCluster

        t0 = time.perf_counter()
        with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster) as c:
            run["cluster_start_seconds"] = round(time.perf_counter() - t0, 3)
            run["scheduler"] = f"local cluster of {workers} worker processes"
            tallies = _on_client(c, _bag(tasks, rules), progress)
    summary = summarize(merge_all(tallies), run)
    run["seconds"] = round(time.perf_counter() - started, 3)
    return summary


def _on_client(client, bag, progress: bool) -> list:
    persisted = client.persist(bag)
    if progress:
        from distributed import progress as dask_progress

        dask_progress(persisted)
        print(file=sys.stderr)
    return client.compute(persisted, sync=True)
