"""Exit statuses, write errors, option handling, help and version."""
import signal
import subprocess

import pytest

from conftest import BIN, EXAMPLES, INLINE_42, INVALID_41, run, write


def test_status_is_0_clean_1_findings_2_unreadable(work):
    write(work / "ok.xml", INLINE_42)
    write(work / "bad.xml", INVALID_41)
    assert run("ok.xml").returncode == 0
    assert run("ok.xml", "bad.xml").returncode == 1
    assert run("ok.xml", "bad.xml", "missing.xml").returncode == 2
    assert run("missing.xml", "ok.xml").returncode == 2


@pytest.mark.parametrize("args", [
    ["ok.xml"], ["--format", "jsonl", "ok.xml"], ["--format", "sarif", "ok.xml"], ["--json", "ok.xml"],
    ["rules"], ["rules", "--format", "json"], ["tree", "ok.xml"], ["--help"], ["--version"],
])
def test_a_full_disk_is_a_write_error(work, args):
    write(work / "ok.xml", INLINE_42)
    with open("/dev/full", "w") as full:
        p = subprocess.run([BIN, *args], stdout=full, stderr=subprocess.PIPE, text=True, timeout=60)
    assert p.returncode == 2
    assert "write error: No space left on device" in p.stderr


def test_a_vanished_reader_is_a_write_error_when_sigpipe_is_ignored(work):
    write(work / "bad.xml", INVALID_41)
    args = [BIN, "-j", "2"] + ["bad.xml"] * 400
    restore = lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN)  # noqa: E731
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=restore)
    proc.stdout.read(10)
    proc.stdout.close()
    err = proc.stderr.read().decode()
    assert proc.wait(timeout=60) == 2
    assert "adsieve: write error: Broken pipe" in err


@pytest.mark.parametrize("args, message", [
    (["--wrapper-depth", "256"], "--wrapper-depth: Value 256 not in range"),
    (["--wrapper-depth", "-1"], "--wrapper-depth"),
    (["--wrapper-depth", "x"], "--wrapper-depth"),
    (["--max-wrapper-depth", "0"], "--max-wrapper-depth"),
    (["--max-wrapper-depth", "4096"], "--max-wrapper-depth"),
    (["--format", "xml"], "--format"),
    (["--json", "--format", "text"], "disagree"),
    (["--bogus"], "--bogus"),
    (["-j", "0"], "--jobs"),
    (["--max-bytes", "lots"], "--max-bytes"),
    ([], "no input"),
])
def test_usage_errors(work, args, message):
    write(work / "ok.xml", INLINE_42)
    p = run(*args, *(["ok.xml"] if args else []))
    assert p.returncode == 2 and p.out == ""
    assert message in p.err


def test_wrapper_depth_reaches_the_library(work):
    write(work / "w.xml", (EXAMPLES / "vast-3.0-wrapper.xml").read_text())
    assert run("--wrapper-depth", "5", "w.xml").returncode == 0
    p = run("--wrapper-depth", "6", "w.xml")
    assert p.returncode == 1 and "[VAST-2.0-wrapper-depth]" in p.out
    assert run("--wrapper-depth", "255", "--max-wrapper-depth", "255", "w.xml").returncode == 0


def test_double_dash_ends_options(work):
    write(work / "--json", INLINE_42)
    write(work / "-q.xml", INVALID_41)
    p = run("--", "--json", "-q.xml")
    assert p.out.startswith("--json: valid") and "-q.xml:" in p.out and p.returncode == 1


def test_help_lists_every_option_with_examples_and_version_names_the_library():
    text = run("--help").out
    for option in ("--format", "--json", "--color", "--fail-on", "--quiet", "--statistics", "--rules", "--select",
                   "--ignore", "--max-wrapper-depth", "--wrapper-depth", "--max-issues", "--exclude", "--ndjson",
                   "--xml-field", "--id-field", "--max-bytes", "--jobs", "--no-progress", "--config", "--no-config",
                   "--version"):
        assert option in text, option
    assert text.count("\n  adsieve ") >= 3 and "Examples:" in text and "Exit status" in text
    p = run("--version")
    assert p.returncode == 0 and p.out.startswith("adsieve 0.")
