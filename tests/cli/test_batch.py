"""Batches: the thread pool keeps input order, results equal the golden ones,
and the progress line shows on a terminal only."""
import json
import os
import pty
import subprocess
import time

import pytest

from conftest import BIN, INLINE_42, SHARED, run, write

CORPUS = SHARED / "corpus"
GOLDEN = SHARED / "golden" / "corpus.jsonl"


@pytest.fixture(scope="module")
def corpus():
    if not CORPUS.is_dir():
        pytest.fail(f"shared corpus not found at {CORPUS}")
    return CORPUS


@pytest.mark.parametrize("fmt", ["text", "jsonl", "sarif", "github"])
def test_parallel_output_is_identical_to_one_job(corpus, fmt, tmp_path):
    # Unreadable inputs mixed in keep their place too.
    args = ["--no-config", "--format", fmt, str(corpus), str(tmp_path / "missing.xml"), str(corpus)]
    one = run("-j", "1", *args)
    assert one.returncode == 2 and one.out
    for jobs in ("2", "7"):
        many = run("-j", jobs, *args)
        assert (many.returncode, many.out, many.err) == (one.returncode, one.out, one.err), jobs


def test_batch_results_equal_the_golden_results(corpus):
    golden = {}
    with open(GOLDEN) as f:
        for line in f:
            case = json.loads(line)
            golden[case["file"]] = case["json"]
    p = run("--no-config", "--format", "jsonl", "-j", "2", str(corpus))
    rows = p.out.splitlines()
    assert len(rows) == len(golden) == 381
    for row in rows:
        name = json.loads(row)["file"].split("/corpus/", 1)[1]
        prefix = '{"file":' + json.dumps(json.loads(row)["file"], ensure_ascii=False) + ',"result":'
        assert row.startswith(prefix) and row.endswith("}")
        assert row[len(prefix):-1] == golden[name], name


def test_progress_line_appears_on_a_terminal_for_long_batches(work):
    doc = json.dumps({"xml": INLINE_42}) + "\n"
    leader, follower = pty.openpty()
    proc = subprocess.Popen([BIN, "--ndjson", "-j", "2", "-"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=follower)
    os.close(follower)
    for _ in range(3):
        proc.stdin.write(doc.encode())
        proc.stdin.flush()
        time.sleep(0.6)
    proc.stdin.close()
    assert proc.wait(timeout=60) == 0
    seen = b""
    try:
        while chunk := os.read(leader, 65536):
            seen += chunk
    except OSError:
        pass
    os.close(leader)
    assert b"documents, " in seen and b"/s" in seen
    assert seen.endswith(b"\r\x1b[K")  # cleared at the end

    # Not a terminal: nothing but the results.
    p = run("--ndjson", "-", input=doc * 3)
    assert p.err == ""
