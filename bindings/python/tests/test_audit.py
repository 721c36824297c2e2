import csv
import faulthandler
import gzip
import json
import subprocess
import sys

import pytest

import adsieve
from adsieve.audit import audit, tally, write_report

SYSTEMS = ["ssp-a", "ssp-b", "ssp-c"]

# Malformed lines and the reason each must be counted under.
MALFORMED = [
    (b'{"id": "cut", "xml": "<VAST', "bad JSON"),
    (b'{"id": "no-xml", "body": "<VAST/>"}', "missing xml field"),
    (b'{"id": "bytes", "xml": "<VAST version=\\"4.2\\">\xff\xfe</VAST>"}', "invalid UTF-8"),
    (b'{"id": "surrogate", "xml": "<VAST>\\ud800</VAST>"}', "invalid UTF-8"),
    (b'[1, 2, 3]', "not a JSON object"),
    (b'{"id": "number", "xml": 5}', "xml field is not a string"),
    (b'not json at all', "bad JSON"),
]


def golden_inputs(shared_dir):
    for line in open(shared_dir / "golden" / "generated.jsonl", encoding="utf-8"):
        c = json.loads(line)
        yield c["name"], c["input"]


def write_logs(directory, shared_dir):
    """A plain and a gzip NDJSON log of the generated documents, with malformed
    and blank lines among them. Returns (paths, good lines, malformed reasons)."""
    lines, reasons = [], {}
    for i, (name, xml) in enumerate(golden_inputs(shared_dir)):
        record = {"id": name, "xml": xml, "ssp": SYSTEMS[i % 3], "slot": i % 2 == 0}
        lines.append(json.dumps(record).encode())
        if i % 150 == 7:
            bad, reason = MALFORMED[(i // 150) % len(MALFORMED)]
            lines.append(bad)
            reasons[reason] = reasons.get(reason, 0) + 1
        if i % 400 == 3:
            lines.append(b"   ")
    half = len(lines) // 2
    plain = directory / "responses.ndjson"
    plain.write_bytes(b"\n".join(lines[:half]) + b"\n")
    packed = directory / "more.jsonl.gz"
    with gzip.open(packed, "wb") as f:
        f.write(b"\r\n".join(lines[half:]))  # CRLF and no final newline
    good = sum(1 for line in lines if line.startswith(b'{"id": "') and b'"ssp"' in line)
    return [plain, packed], good, reasons


@pytest.fixture(scope="module")
def inputs(tmp_path_factory, shared_dir):
    d = tmp_path_factory.mktemp("logs")
    logs, good, reasons = write_logs(d, shared_dir)
    return [str(shared_dir / "corpus"), *map(str, logs)], good, reasons


@pytest.fixture(scope="module")
def single(inputs):
    # Small blocks so the plain log is cut into several byte ranges.
    return audit(inputs[0], workers=0, blocksize=256 << 10, files_per_task=50)


def without_run(summary):
    return {k: v for k, v in summary.items() if k != "run"}


@pytest.fixture(scope="module")
def cluster():
    from distributed import LocalCluster

    faulthandler.dump_traceback_later(300, exit=True)  # never hang the suite
    try:
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as c:
            yield c
    finally:
        faulthandler.cancel_dump_traceback_later()


def test_counts(single, inputs, corpus_docs):
    paths, good, reasons = inputs
    s = single
    assert s["documents"] == len(corpus_docs) + good
    assert s["malformed"]["count"] == sum(reasons.values())
    assert s["malformed"]["reasons"] == reasons
    assert len(s["malformed"]["listed"]) == sum(reasons.values())
    assert all(m["source"].split("@")[0] in paths[1:] for m in s["malformed"]["listed"])
    assert s["blank_lines"] == 6
    assert sum(s["kinds"].values()) == sum(s["versions"].values()) == s["documents"]
    assert sum(a["documents"] for a in s["ad_systems"]) == s["documents"]
    assert {v["value"] for v in s["dimensions"]["ssp"]["values"]} == set(SYSTEMS)
    assert sum(v["documents"] for v in s["dimensions"]["slot"]["values"]) == good
    assert {v["value"] for v in s["dimensions"]["slot"]["values"]} == {"true", "false"}
    # Totals agree with validating every document one by one.
    direct = [adsieve.validate(data) for _, data in corpus_docs]
    direct += [adsieve.validate(xml) for _, xml in golden_inputs_from(paths)]
    assert s["valid"] == sum(r.valid for r in direct)
    assert s["findings"] == {"errors": sum(r.errors for r in direct), "warnings": sum(r.warnings for r in direct),
                             "infos": sum(r.infos for r in direct)}
    assert sum(r["findings"] for r in s["rules"]) == sum(s["findings"].values())
    for r in s["rules"]:
        assert 0 < len(r["first_documents"]) == min(r["documents"], tally.FIRST_IDS)


def golden_inputs_from(paths):
    for p in paths[1:]:
        opener = gzip.open if p.endswith(".gz") else open
        with opener(p, "rb") as f:
            for line in f:
                try:
                    obj = json.loads(line)
                except ValueError:
                    continue
                if isinstance(obj, dict) and "ssp" in obj:
                    yield obj["id"], obj["xml"]


def test_local_cluster_matches_single_process(cluster, single, inputs):
    summary = audit(inputs[0], scheduler=cluster.scheduler_address, blocksize=256 << 10, files_per_task=50)
    assert summary["run"]["tasks"] > 10
    assert without_run(summary) == without_run(single)


def test_existing_client(cluster, shared_dir):
    from distributed import Client

    with Client(cluster) as client:
        summary = audit([str(shared_dir / "corpus")], client=client, files_per_task=100)
    assert summary["documents"] == 381 and summary["run"]["tasks"] == 4
    assert summary["run"]["ignored_files"] == 2  # MANIFEST.tsv and README.md


def test_command_line(inputs, tmp_path):
    # The command starts (and stops) its own local cluster.
    out = tmp_path / "report"
    cmd = [sys.executable, "-m", "adsieve.audit", "--workers", "2", "--out", str(out),
           "--blocksize", "0.5", "--quiet", *inputs[0]]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    summary = json.loads((out / "summary.json").read_text())
    assert summary["documents"] > 2500 and "documents" in done.stdout
    rows = list(csv.DictReader(open(out / "rules.csv", encoding="utf-8")))
    assert [r["id"] for r in rows] == [r["id"] for r in summary["rules"]]
    page = (out / "report.html").read_text()
    assert "<svg" in page and "ssp-b" in page and "missing xml field" in page
    for remote in ("src=", "href=", "@import", "url("):
        assert remote not in page


@pytest.mark.parametrize("argv, words", [
    (["--workers", "0", "/no/such/folder"], "no such file"),
    (["--workers", "0", "--rules", '{"VAST-9.9-nothing":"off"}', "."], "unknown rule id"),
    (["--workers", "0", "--rules", "{not json", "."], "not JSON"),
    (["--workers", "-1", "."], "workers"),
])
def test_command_line_errors(argv, words, tmp_path):
    done = subprocess.run([sys.executable, "-m", "adsieve.audit", "--out", str(tmp_path), *argv],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 2 and words in done.stderr


def test_block_boundaries(tmp_path, monkeypatch):
    # Every cut of a small log gives the same result, malformed lines included.
    monkeypatch.setattr(tally, "DIMENSION_VALUES", 4)
    lines = []
    for i in range(40):
        lines.append(json.dumps({"id": f"d{i}", "xml": f'<VAST version="4.{i % 4}"><Ad/></VAST>' * (i % 3 + 1),
                                 "n": i % 5, "unique": i}).encode())
        if i % 9 == 0:
            lines.append(MALFORMED[i % len(MALFORMED)][0])
    log = tmp_path / "small.ndjson"
    log.write_bytes(b"\n".join(lines))
    whole = audit([str(log)], workers=0, blocksize=1 << 30)
    assert whole["documents"] == 40 and whole["malformed"]["count"] == 5
    assert whole["dimensions"]["unique"]["too_many_values"] is True
    assert whole["dimensions"]["n"]["too_many_values"] is True
    monkeypatch.setattr(tally, "DIMENSION_VALUES", 5)
    whole = audit([str(log)], workers=0, blocksize=1 << 30)
    assert [v["documents"] for v in whole["dimensions"]["n"]["values"]] == [8] * 5
    for size in (1, 2, 7, 64, 500, len(log.read_bytes()) - 1):
        cut = audit([str(log)], workers=0, blocksize=size)
        assert without_run(cut) == without_run(whole), size


def test_document_kind_and_ad_system():
    kind = tally.document_kind
    assert kind('\ufeff<?xml version="1.0"?><!-- c --><!DOCTYPE VAST [<!ENTITY a "b">]>\n<VAST/>') == "vast"
    assert kind(b'<vmap:VMAP xmlns:vmap="x"/>') == "vmap" and kind("<DAAST>") == "daast"
    assert kind("<html/>") == kind("") == kind("no markup") == "other"
    system = tally.ad_system
    assert system("<AdSystem version='1'> <![CDATA[ Big  Ads ]]> </AdSystem>") == "Big Ads"
    assert system(b"<AdSystem>A &amp; B</AdSystem><AdSystem>C</AdSystem>") == "A & B"
    assert system("<AdSystem></AdSystem>") == "(empty)" and system("<VAST/>") == "(none)"


def test_report_is_self_contained(single, tmp_path):
    hostile = dict(single)
    hostile["ad_systems"] = [dict(single["ad_systems"][0], ad_system="<script>alert(1)</script>")]
    write_report(hostile, str(tmp_path))
    page = (tmp_path / "report.html").read_text()
    assert "<script>" not in page and "&lt;script&gt;" in page
    assert "<svg" in page and "<style>" in page
