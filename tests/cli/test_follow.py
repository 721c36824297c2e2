"""adsieve follow against a local HTTP server (127.0.0.1 only, started and
stopped here): chains, failures of every kind, VMAP breaks and the formats."""
import json
import re
import subprocess
import time

import pytest

from conftest import DATA, run, write
from follow_server import SLOW_SECONDS, FollowServer


@pytest.fixture(scope="module")
def server():
    with FollowServer() as s:
        yield s


def follow(*args, fmt="json"):
    p = run("follow", "--no-config", "--format", fmt, *args, timeout=60)
    if fmt == "json" and p.out:
        p.doc = json.loads(p.out)
    return p


def chain_ids(hop):
    return [f["id"] for f in hop["chain_findings"]]


def only_chain(p, rule_id):
    found = [f for f in p.doc["summary"]["chain_findings"] if f["id"] == rule_id]
    assert len(found) == 1, p.doc["summary"]["chain_findings"]
    return found[0]


def test_three_hops_to_an_inline_ad(server):
    p = follow(f"{server.base}/chain/wrapper-1.xml", "--macro", "DOMAIN=example.org/a b")
    hops = p.doc["hops"]
    assert [(h["hop"], h["kind"], h["status"]) for h in hops] == [(0, "wrapper", 200), (1, "wrapper", 200),
                                                                   (2, "inline", 200)]
    assert [h["ad_systems"] for h in hops] == [["Exchange One"], ["Exchange Two"], ["Example Ad Server"]]
    assert all(h["size"] > 0 and h["total_ms"] >= h["first_byte_ms"] >= 0 for h in hops)

    # Macros are filled in as a player would, URL-encoded; unknown ones stay and are reported.
    second = hops[1]["url"]
    assert re.search(r"/chain/wrapper-2\.xml\?cb=\d{8}&ts=\d{4}-\d\d-\d\dT\d\d%3A\d\d%3A\d\d\.\d{3}Z"
                     r"&domain=example\.org%2Fa%20b$", second), second
    assert hops[2]["url"].endswith("/chain/inline.xml?pos=[PLAYERSTATE]")
    assert chain_ids(hops[1]) == ["FOLLOW-macro-unknown"] and "[PLAYERSTATE]" in hops[1]["chain_findings"][0]["message"]

    # Each hop carries the library's own result for its body.
    served = (DATA / "follow" / "chain" / "wrapper-2.xml").read_text().replace("{{BASE}}", server.base)
    direct = run("--json", "--wrapper-depth", "1", "-", input=served)
    assert hops[1]["result"] == json.loads(direct.out)

    summary = p.doc["summary"]
    assert summary["chains"] == [{"chain": None, "hops": 3, "depth": 2, "end": "inline",
                                  "total_ms": summary["chains"][0]["total_ms"]}]
    kinds = [(t["kind"], t["hop"]) for t in summary["trackers"]]
    assert ("impression", 0) in kinds and ("impression", 1) in kinds and ("impression", 2) in kinds
    assert ("error", 0) in kinds and ("start", 1) in kinds and ("complete", 2) in kinds
    assert summary["warnings"] == sum(h["result"]["summary"]["warnings"] for h in hops) + 1
    assert p.returncode == 0
    assert follow(f"{server.base}/chain/wrapper-1.xml", "--macro", "DOMAIN=x", "--fail-on", "warning").returncode == 1


def test_text_output_of_a_chain(server):
    p = follow(f"{server.base}/chain/wrapper-1.xml", "--macro", "DOMAIN=example.org", fmt="text")
    lines = p.out.splitlines()
    assert lines[0] == f"hop 0: {server.base}/chain/wrapper-1.xml"
    assert re.fullmatch(r"  HTTP 200, text/xml; charset=utf-8, \d+ bytes, first byte \d+ ms, total \d+ ms; "
                        r"wrapper from Exchange One", lines[1])
    assert "  warning: no value for [PLAYERSTATE]; sent as written [FOLLOW-macro-unknown]" in lines
    assert any(re.fullmatch(r"Chain: 3 hop\(s\), wrapper depth 2, ended at an inline ad, \d+ ms", l) for l in lines)
    assert "Trackers the player would fire: 11" in lines
    assert "  complete         hop 2  https://track.example.com/complete" in lines


@pytest.mark.parametrize("start, rule_id, code, kinds", [
    ("/wrap?to=/status/404", "FOLLOW-http-error", 301, ["wrapper", "failed"]),
    ("/wrap?to=/unavailable.txt", "FOLLOW-not-xml", 100, ["wrapper", "not-xml"]),
    ("/wrap?to=/empty.xml", "FOLLOW-empty", 303, ["wrapper", "empty"]),
    ("/wrap?to=/status/204", "FOLLOW-empty", 303, ["wrapper", "empty"]),
    ("/wrap?to=/latin1", "FOLLOW-not-utf8", 100, ["wrapper", "failed"]),
    ("/wrap?to=/redirect-loop/a", "FOLLOW-redirect-loop", 301, ["wrapper", "failed"]),
    ("/loop/a.xml", "FOLLOW-loop", 302, ["wrapper", "wrapper", "wrapper"]),
    ("/deep/0", "FOLLOW-too-deep", 302, ["wrapper"] * 6),
])
def test_failures_become_chain_findings_with_vast_codes(server, start, rule_id, code, kinds):
    p = follow(server.base + start)
    assert [h["kind"] for h in p.doc["hops"]] == kinds
    found = only_chain(p, rule_id)
    assert found["vast_error_code"] == code and found["severity"] == "error"
    assert found["hop"] == len(kinds) - 1
    assert p.returncode == 1


def test_failure_details(server):
    p = follow(server.base + "/wrap?to=/status/404")
    assert p.doc["hops"][1]["status"] == 404 and p.doc["hops"][1]["result"] is None
    assert only_chain(p, "FOLLOW-http-error")["message"] == "HTTP status 404"

    p = follow(server.base + "/loop/a.xml")
    assert re.search(r"leads back to .*/loop/b\.xml, already fetched", only_chain(p, "FOLLOW-loop")["message"])

    p = follow(server.base + "/deep/0", "--max-wrapper-depth", "2")
    assert [h["url"].rsplit("/", 1)[1] for h in p.doc["hops"]] == ["0", "1", "2"]
    assert "above --max-wrapper-depth 2" in only_chain(p, "FOLLOW-too-deep")["message"]

    p = follow(server.base + "/chain/wrapper-1.xml", "--max-bytes", "1000")
    assert only_chain(p, "FOLLOW-too-large")["hop"] == 2

    p = follow(server.base + "/redirect/chain/inline.xml")
    assert p.doc["hops"][0]["redirects"] == [server.base + "/chain/inline.xml"]
    assert p.doc["hops"][0]["kind"] == "inline" and p.returncode == 0


def test_a_slow_hop_times_out_within_its_limit(server):
    began = time.monotonic()
    p = follow(f"{server.base}/wrap?to=/slow/chain/inline.xml", "--timeout", "0.3")
    took = time.monotonic() - began
    found = only_chain(p, "FOLLOW-timeout")
    assert found["vast_error_code"] == 301 and found["hop"] == 1
    assert found["message"] == "no response within 0.3 s"
    assert took < SLOW_SECONDS
    assert p.doc["hops"][1]["status"] is None and p.returncode == 1
    # The first hop has its own, longer limit.
    p = follow(f"{server.base}/slow/chain/inline.xml", "--timeout", "0.3", "--first-timeout", "5")
    assert p.doc["hops"][0]["kind"] == "inline" and p.returncode == 0


def test_vmap_breaks_are_followed_as_chains_of_their_own(server):
    p = follow(f"{server.base}/playlist.xml", "--macro", "DOMAIN=example.org")
    hops = [(h["chain"], h["hop"], h["kind"]) for h in p.doc["hops"]]
    assert hops == [(None, 0, "vmap"),
                    ("preroll", 0, "wrapper"), ("preroll", 1, "wrapper"), ("preroll", 2, "inline"),
                    ("midroll", 0, "failed"),
                    ("postroll", 1, "inline")]  # after the wrapper embedded in the playlist
    ends = {c["chain"]: c["end"] for c in p.doc["summary"]["chains"]}
    assert ends == {None: "playlist", "preroll": "inline", "midroll": "failed", "postroll": "inline"}
    assert only_chain(p, "FOLLOW-http-error")["chain"] == "midroll"
    assert ("impression", None) in [(t["kind"], t["chain"]) for t in p.doc["summary"]["trackers"]]


def test_a_run_fetches_at_most_64_hops(server):
    p = follow(f"{server.base}/breaks/70")
    hops = p.doc["hops"]
    assert len(hops) == 65 and sum(1 for h in hops if h["status"] == 200) == 64
    limit = only_chain(p, "FOLLOW-hop-limit")
    assert limit["chain"] == "b63" and limit["message"].endswith("; 6 more chain(s) not followed")


def test_a_local_file_starts_a_chain_and_bad_starts_are_usage_errors(server, work):
    write(work / "start.xml", (DATA / "follow" / "chain" / "wrapper-2.xml").read_text().replace(
        "{{BASE}}", server.base))
    p = follow("start.xml")
    assert [(h["local"], h["kind"]) for h in p.doc["hops"]] == [(True, "wrapper"), (False, "inline")]
    assert p.doc["hops"][0]["status"] is None

    write(work / "relative.xml", (DATA / "follow" / "chain" / "wrapper-2.xml").read_text().replace(
        "{{BASE}}", ""))
    p = follow("relative.xml")
    assert "is not an absolute URL" in only_chain(p, "FOLLOW-bad-url")["message"]

    for start, message in [("missing.xml", "missing.xml: cannot read file"),
                           ("ftp://127.0.0.1/x.xml", "is not an http or https URL")]:
        p = follow(start)
        assert p.returncode == 2 and message in p.err and p.out == ""
    assert follow("x.xml", "--macro", "lower=1").returncode == 2
    assert follow().returncode == 2


def test_formats(server, work):
    start = f"{server.base}/wrap?to=/status/404"
    rows = [json.loads(l) for l in follow(start, fmt="jsonl").out.splitlines()]
    assert [r.get("hop") for r in rows] == [0, 1, None] and "summary" in rows[2]

    lines = follow(start, fmt="github").out.splitlines()
    failed = (server.base + "/status/404").replace(":", "%3A")
    assert lines[-1] == f"::error file={failed},title=FOLLOW-http-error::HTTP status 404 (VAST error 301)"

    p = follow(start, fmt="sarif")
    write(work / "follow.sarif", p.out)
    node = subprocess.run(["node", str(DATA.parent / "cli" / "sarif_check.js"), str(work / "follow.sarif")],
                          capture_output=True, text=True, timeout=120)
    assert node.returncode == 0, node.stdout + node.stderr
    result = [r for r in json.loads(p.out)["runs"][0]["results"] if r["ruleId"] == "FOLLOW-http-error"][0]
    rules = json.loads(p.out)["runs"][0]["tool"]["driver"]["rules"]
    assert rules[result["ruleIndex"]]["id"] == "FOLLOW-http-error"
    assert result["properties"] == {"vastErrorCode": 301}
