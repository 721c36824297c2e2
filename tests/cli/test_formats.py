"""The output formats: text, json, jsonl, github and sarif."""
import json
import os
import pty
import subprocess

import pytest

from conftest import BIN, HERE, INLINE_42, INVALID_41, MALFORMED, run, write

# A document whose element name and text try to drive the terminal.
HOSTILE = ('<VAST version="4.2"><Ad><InLine><X\x1b]0;pwned\x07\x1b[2J/>'
           '<Y\u202eevil/></InLine></Ad></VAST>')


def library_json(path):
    return json.loads(run("--json", path).out)


def test_text_lines_match_the_library_findings_sorted_by_position(work):
    write(work / "a.xml", INVALID_41)
    issues = library_json("a.xml")["issues"]
    p = run("a.xml")
    lines = p.out.splitlines()
    expected = sorted(issues, key=lambda i: (i["line"] or 0, i["col"] or 0))
    assert lines[:len(expected)] == [
        f"a.xml:{i['line']}:{i['col']}: {i['severity']}: {i['message']} [{i['id']}] ({i['path']})" for i in expected
    ]
    s = library_json("a.xml")["summary"]
    assert lines[len(expected)] == f"a.xml: invalid, {s['errors']} error(s), {s['warnings']} warning(s), {s['infos']} info(s)"
    assert lines[-1] == (f"1 document(s) checked: 0 valid, 1 invalid, 0 unreadable; {s['errors']} error(s), "
                         f"{s['warnings']} warning(s), {s['infos']} info(s)")


def test_a_parse_error_is_followed_by_the_parsers_reason_and_position(work):
    write(work / "m.xml", MALFORMED)
    lines = run("m.xml").out.splitlines()
    assert lines[0] == "m.xml: error: XML parse error — document may be malformed [VAST-2.0-parse-error] (/VAST)"
    assert lines[1] == "m.xml:6:5: note: ill-formed document: expected `</InLine>`, but `</Wrapper>` was found"


def test_control_characters_never_reach_the_terminal(work):
    write(work / "evil\x1b[31m.xml", HOSTILE)
    for fmt in ("text", "github"):
        p = run("--format", fmt, "--color", "never", ".")
        assert "\x1b" not in p.out and "\x07" not in p.out and "\u202e" not in p.out
        assert "X\\x1b]0;pwned\\x07\\x1b[2J" in p.out
        assert "Y\\u202eevil" in p.out
        assert "evil\\x1b[31m.xml" in p.out


def test_colour_follows_the_terminal_and_no_color(work):
    write(work / "a.xml", INVALID_41)
    assert "\x1b[" not in run("a.xml").out  # not a terminal
    assert "\x1b[1;31merror\x1b[0m" in run("--color", "always", "a.xml").out
    assert "\x1b[" not in run("--color", "always", "--format", "github", "a.xml").out

    def on_terminal(env):
        leader, follower = pty.openpty()
        full = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
        full.update(env)
        proc = subprocess.run([BIN, "a.xml"], stdout=follower, stderr=subprocess.DEVNULL, env=full, timeout=60)
        os.close(follower)
        chunks = []
        try:
            while chunk := os.read(leader, 65536):
                chunks.append(chunk)
        except OSError:
            pass
        os.close(leader)
        assert proc.returncode == 1
        return b"".join(chunks).decode()

    assert "\x1b[1;31merror" in on_terminal({"TERM": "xterm"})
    assert "\x1b[" not in on_terminal({"TERM": "xterm", "NO_COLOR": "1"})
    assert "\x1b[" not in on_terminal({"TERM": "dumb"})


def test_json_is_the_library_result_and_jsonl_names_every_input(work):
    write(work / "a.xml", INVALID_41)
    write(work / "b.xml", INLINE_42)
    p = run("--format", "json", "a.xml", "missing.xml", "b.xml")
    assert run("--json", "a.xml", "missing.xml", "b.xml").out == p.out
    lines = p.out.splitlines()
    assert len(lines) == 2 and lines[1] == '{"version":"4.2","issues":[],"summary":{"errors":0,"warnings":0,"infos":0,"valid":true}}'

    rows = run("--format", "jsonl", "a.xml", "missing.xml", "b.xml").out.splitlines()
    assert rows[0] == '{"file":"a.xml","result":' + lines[0] + "}"
    assert rows[1] == '{"file":"missing.xml","error":"cannot read file: No such file or directory"}'
    assert rows[2] == '{"file":"b.xml","result":' + lines[1] + "}"


def test_github_annotations(work):
    write(work / "a,b:c%.xml", INVALID_41)
    write(work / "m.xml", MALFORMED)
    p = run("--format", "github", "a,b:c%.xml", "m.xml", "gone.xml")
    lines = p.out.splitlines()
    issues = sorted(library_json("a,b:c%.xml")["issues"], key=lambda i: (i["line"], i["col"]))
    command = {"error": "error", "warning": "warning", "info": "notice"}
    for line, i in zip(lines, issues):
        assert line == (f"::{command[i['severity']]} file=a%2Cb%3Ac%25.xml,line={i['line']},col={i['col']},"
                        f"title={i['id']}::{i['message'].replace('%', '%25')} ({i['path']})")
    assert lines[len(issues)] == (
        "::error file=m.xml,line=6,col=5,title=VAST-2.0-parse-error::XML parse error — document may be malformed: "
        "ill-formed document: expected `</InLine>`, but `</Wrapper>` was found (line 6, column 5) (/VAST)")
    assert lines[-1] == "::error file=gone.xml,title=adsieve::cannot read file: No such file or directory"
    assert p.returncode == 2


@pytest.fixture(scope="module")
def sarif_validator():
    modules = HERE / "node_modules"
    if not (modules / "ajv-draft-04").is_dir() or not (modules / "@microsoft" / "jest-sarif").is_dir():
        pytest.fail("the SARIF schema and validator are missing: run scripts/cli-test-deps.sh")
    return HERE / "sarif_check.js"


def test_sarif_log_validates_against_the_schema_and_carries_every_finding(work, sarif_validator):
    write(work / "dir name/a.xml", INVALID_41)
    write(work / "m.xml", MALFORMED)
    write(work / "h.xml", HOSTILE)
    p = run("--format", "sarif", "dir name", "m.xml", "h.xml", "gone.xml")
    assert p.returncode == 2
    write(work / "out.sarif", p.out)
    check = subprocess.run(["node", str(sarif_validator), str(work / "out.sarif")], capture_output=True, text=True,
                           timeout=120)
    assert check.returncode == 0, check.stdout + check.stderr

    log = json.loads(p.out)
    run_ = log["runs"][0]
    rules = run_["tool"]["driver"]["rules"]
    catalogue = json.loads(run("rules", "--format", "json").out)
    assert [r["id"] for r in rules] == [r["id"] for r in catalogue]
    level = {"error": "error", "warning": "warning", "info": "note"}
    assert [r["defaultConfiguration"]["level"] for r in rules] == [level[r["default_severity"]] for r in catalogue]

    results = run_["results"]
    issues = library_json("dir name/a.xml")["issues"]
    mine = [r for r in results if r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"] == "dir%20name/a.xml"]
    assert len(mine) == len(issues)
    for r in mine:
        assert rules[r["ruleIndex"]]["id"] == r["ruleId"]
    assert sorted((r["ruleId"], r["locations"][0]["logicalLocations"][0]["fullyQualifiedName"],
                   r["locations"][0]["physicalLocation"]["region"]["startLine"]) for r in mine) == \
        sorted((i["id"], i["path"], i["line"]) for i in issues)

    parse = [r for r in results if r["ruleId"] == "VAST-2.0-parse-error"][0]
    assert parse["locations"][0]["physicalLocation"]["region"] == {"startLine": 6, "startColumn": 5}
    assert "expected `</InLine>`" in parse["message"]["text"]

    invocation = run_["invocations"][0]
    assert invocation["executionSuccessful"] is False
    assert invocation["toolExecutionNotifications"][0]["locations"][0]["physicalLocation"]["artifactLocation"] == \
        {"uri": "gone.xml"}


def test_sarif_of_a_clean_run_is_valid_too(work, sarif_validator):
    write(work / "ok.xml", INLINE_42)
    p = run("--format", "sarif", "ok.xml")
    assert p.returncode == 0
    write(work / "ok.sarif", p.out)
    assert subprocess.run(["node", str(sarif_validator), str(work / "ok.sarif")], timeout=120).returncode == 0
    assert json.loads(p.out)["runs"][0]["results"] == []
