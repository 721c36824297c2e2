"""Where documents come from: directories, globs, standard input, NDJSON
streams, gzip, and the size limit."""
import gzip
import json

from conftest import INLINE_42, INVALID_41, MALFORMED, run, write, write_gz


def jsonl(p):
    return [json.loads(line) for line in p.out.splitlines()]


def test_directories_are_searched_sorted_with_excludes(work):
    write(work / "d/b.xml", INLINE_42)
    write(work / "d/a.xml", INVALID_41)
    write_gz(work / "d/sub/c.xml.gz", INLINE_42)
    write(work / "d/sub/UPPER.XML", INLINE_42)
    write(work / "d/notes.txt", "not a document")
    write(work / "d/vendor/x.xml", MALFORMED)
    write(work / "d/skip-me.xml", MALFORMED)

    p = run("--format", "jsonl", "--exclude", "vendor", "--exclude", "skip-*", "d")
    assert [r["file"] for r in jsonl(p)] == ["d/a.xml", "d/b.xml", "d/sub/UPPER.XML", "d/sub/c.xml.gz"]
    assert p.returncode == 1  # d/a.xml has errors

    p = run("--format", "jsonl", "--exclude", "d/sub/*", "d/")
    assert [r["file"] for r in jsonl(p)] == ["d/a.xml", "d/b.xml", "d/skip-me.xml", "d/vendor/x.xml"]

    # A folder without documents is said to be one, not passed over in silence.
    (work / "none").mkdir()
    p = run("none")
    assert p.returncode == 0 and p.err == "adsieve: warning: none: no *.xml or *.xml.gz file found\n"


def test_quoted_glob_patterns_expand_and_an_empty_match_is_an_error(work):
    write(work / "g/one.xml", INLINE_42)
    write(work / "g/two.xml", INLINE_42)
    p = run("--format", "jsonl", "g/*.xml")
    assert [r["file"] for r in jsonl(p)] == ["g/one.xml", "g/two.xml"]
    assert p.returncode == 0

    p = run("--format", "jsonl", "g/*.vast")
    assert jsonl(p) == [{"file": "g/*.vast", "error": "no file matches this pattern"}]
    assert p.returncode == 2


def test_standard_input_plain_and_gzip(work):
    plain = run("--json", "-", input=INVALID_41)
    packed = run("--json", "-", input=gzip.compress(INVALID_41.encode()))
    assert plain.out == packed.out and plain.out.startswith('{"version":"4.1"')
    assert plain.returncode == packed.returncode == 1
    assert run("-", input=INLINE_42).out.startswith("<stdin>: valid")


def test_ndjson_streams_name_each_document_and_report_bad_lines(work):
    lines = [
        json.dumps({"id": "imp-1", "xml": INLINE_42}),
        "",
        json.dumps({"xml": MALFORMED}),
        "{not json",
        json.dumps(["an", "array"]),
        json.dumps({"id": 42, "body": INLINE_42}),
        json.dumps({"id": 43, "xml": INLINE_42}),
    ]
    write_gz(work / "log.ndjson.gz", "\n".join(lines) + "\n")
    p = run("--ndjson", "--format", "jsonl", "log.ndjson.gz")
    rows = jsonl(p)
    assert [r["file"] for r in rows] == ["imp-1", "log.ndjson.gz:3", "log.ndjson.gz:4", "log.ndjson.gz:5", "42", "43"]
    assert rows[0]["result"]["summary"]["valid"] is True
    assert rows[1]["result"]["issues"][0]["id"] == "VAST-2.0-parse-error"
    assert rows[2]["error"] == "line is not valid JSON"
    assert rows[3]["error"] == "line is not a JSON object"
    assert "xml" in rows[4]["error"]
    assert p.returncode == 2  # unreadable lines outrank findings
    assert "adsieve: log.ndjson.gz:4: line is not valid JSON" in p.err

    # Other field names, from standard input.
    body = json.dumps({"name": "n1", "doc": INLINE_42}) + "\r\n"
    p = run("--ndjson", "--xml-field", "doc", "--id-field", "name", "-", input=body)
    assert p.out.startswith("n1: valid") and p.returncode == 0


def test_inputs_over_max_bytes_are_refused(work):
    write(work / "big.xml", INLINE_42)
    p = run("--max-bytes", "100", "big.xml")
    assert p.returncode == 2
    assert "big.xml: larger than --max-bytes (100 bytes)" in p.err

    # The limit applies after decompression, so a small gzip cannot blow up.
    write_gz(work / "bomb.xml.gz", "<VAST>" + " " * 5_000_000 + "</VAST>")
    p = run("--max-bytes", "1MiB", "bomb.xml.gz")
    assert p.returncode == 2 and "larger than --max-bytes (1048576 bytes)" in p.err

    # An endless input stops at the limit instead of filling memory.
    p = run("--max-bytes", "4MiB", "/dev/zero")
    assert p.returncode == 2 and "/dev/zero: larger than --max-bytes" in p.err

    # In a stream only the long line is refused; the next one is still read.
    body = json.dumps({"xml": INLINE_42 + " " * 300}) + "\n" + json.dumps({"id": "ok", "xml": "<VAST/>"}) + "\n"
    p = run("--ndjson", "--max-bytes", "200", "--format", "jsonl", "-", input=body)
    rows = jsonl(p)
    assert rows[0] == {"file": "<stdin>:1", "error": "line longer than --max-bytes (200 bytes)"}
    assert rows[1]["file"] == "ok" and "result" in rows[1]


def test_unreadable_inputs_are_named_and_the_rest_still_checked(work):
    write(work / "bad-utf8.xml", b"<VAST>\xff</VAST>")
    write(work / "cut.xml.gz", gzip.compress(INLINE_42.encode())[:40])
    write(work / "ok.xml", INLINE_42)
    p = run("--format", "jsonl", "missing.xml", "bad-utf8.xml", "cut.xml.gz", "ok.xml")
    rows = jsonl(p)
    assert rows[0] == {"file": "missing.xml", "error": "cannot read file: No such file or directory"}
    assert rows[1] == {"file": "bad-utf8.xml", "error": "not valid UTF-8"}
    assert rows[2]["error"].startswith("cannot decompress")
    assert rows[3]["result"]["summary"]["valid"] is True
    assert p.returncode == 2


def test_an_empty_input_is_said_to_be_empty_not_placed_at_0_0(work):
    write(work / "empty.xml", "")
    p = run("empty.xml")
    assert ":0:0:" not in p.out
    assert p.out.splitlines()[:2] == [
        "empty.xml: error: Root element must be <VAST> [VAST-2.0-root-element] (/)",
        "empty.xml: note: the input is empty",
    ]
