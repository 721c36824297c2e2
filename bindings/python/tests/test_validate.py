import json

from conftest import bounded_paths
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import adsieve

LEVELS = {"error", "warning", "info", "off"}
SPARSE = ('<VAST version="4.2"><Ad><InLine><Creatives><Creative><Linear>\n'
          '<MediaFiles><MediaFile>http://example.com/a.mp4</MediaFile></MediaFiles>\n'
          '</Linear></Creative></Creatives></InLine></Ad></VAST>')


def check_typed_view(r: adsieve.Result, name: str):
    """The typed fields say what the JSON says."""
    d = json.loads(r.json)
    assert r.version == d["version"], name
    assert [i.to_dict() for i in r.issues] == d["issues"], name
    s = d["summary"]
    assert (r.errors, r.warnings, r.infos, r.valid) == (s["errors"], s["warnings"], s["infos"], s["valid"]), name
    assert r.to_dict() == d


# ---- golden cases: the same JSON as the C interface -----------------------

def test_golden_corpus(shared_dir):
    cases = [json.loads(line) for line in open(shared_dir / "golden" / "corpus.jsonl", encoding="utf-8")]
    assert len(cases) == 381
    for c in cases:
        data = (shared_dir / "corpus" / c["file"]).read_bytes()
        r = adsieve.validate(data)
        assert r.json == c["json"], c["file"]
        check_typed_view(r, c["file"])
        assert adsieve.validate(data.decode("utf-8")).json == c["json"]


def strict_rules(text):
    """The overrides text as a dict when it is a JSON object of strings, else None."""
    try:
        rules = json.loads(text)
    except ValueError:
        return None
    if not isinstance(rules, dict) or not all(isinstance(v, str) for v in rules.values()):
        return None
    return rules


def test_golden_generated(shared_dir):
    catalogue = {rule.id for rule in adsieve.rules()}
    compared = rejected = 0
    for line in open(shared_dir / "golden" / "generated.jsonl", encoding="utf-8"):
        c = json.loads(line)
        depth, top = c.get("depth", 0), c.get("max", 0) or 5
        rules = None
        if c.get("overrides") is not None:
            rules = strict_rules(c["overrides"])
            if rules is None:
                continue  # a loosely written text: the dict interface has no equivalent
        kwargs = dict(wrapper_depth=depth, max_wrapper_depth=top, rules=rules)
        bad_rules = rules is not None and any(k not in catalogue or v not in LEVELS for k, v in rules.items())
        if depth > 255 or top > 255 or bad_rules:
            with pytest.raises(ValueError):
                adsieve.validate(c["input"], **kwargs)
            rejected += 1
            continue
        r = adsieve.validate(c["input"], **kwargs)
        assert r.json == bounded_paths(c["json"]), c["name"]
        check_typed_view(r, c["name"])
        compared += 1
    assert compared > 2100 and rejected > 20


# ---- options ---------------------------------------------------------------

def test_wrapper_depth_and_rules():
    wrapper = ('<VAST version="4.2"><Ad id="1"><Wrapper><AdSystem>s</AdSystem>'
               '<VASTAdTagURI><![CDATA[https://example.com/tag]]></VASTAdTagURI>'
               '<Impression><![CDATA[https://example.com/imp]]></Impression></Wrapper></Ad></VAST>')
    ids = lambda r: [i.id for i in r.issues]
    assert "VAST-2.0-wrapper-depth" not in ids(adsieve.validate(wrapper, wrapper_depth=5))
    deep = adsieve.validate(wrapper, wrapper_depth=6)
    assert "VAST-2.0-wrapper-depth" in ids(deep) and not deep.valid
    assert adsieve.validate(wrapper, wrapper_depth=255, max_wrapper_depth=255).valid
    relaxed = adsieve.validate(wrapper, wrapper_depth=6, rules={"VAST-2.0-wrapper-depth": "warning"})
    assert relaxed.valid and relaxed.warnings == deep.warnings + 1
    assert adsieve.validate(wrapper, wrapper_depth=6, rules={"VAST-2.0-wrapper-depth": "off"}).json == \
        adsieve.validate(wrapper).json


def test_max_issues():
    full = adsieve.validate(SPARSE)
    assert len(full.issues) > 3 and not full.truncated
    cut = adsieve.validate(SPARSE, max_issues=2)
    assert cut.truncated and len(cut.issues) == 2 and cut.issues == full.issues[:2]
    assert (cut.errors, cut.warnings, cut.infos) == (full.errors, full.warnings, full.infos)
    assert cut.to_dict()["summary"]["truncated"] is True
    assert not adsieve.validate(SPARSE, max_issues=len(full.issues)).truncated
    assert adsieve.validate(SPARSE, max_issues=2**70).json == full.json


def test_catalogue_and_tree():
    rules = adsieve.rules()
    assert len(rules) == 191 and len({r.id for r in rules}) == 191
    assert {r.default_severity for r in rules} == {"error", "warning", "info"}
    assert all(r.description and r.family for r in rules)
    # Every id is a valid override; all off, nothing is reported.
    silent = adsieve.validate(SPARSE, rules={r.id: "off" for r in rules})
    assert silent.issues == [] and silent.valid

    t = json.loads(adsieve.tree_json('<VAST version="4.2"><Ad id="7">x</Ad></VAST>'))
    assert t["error"] is False and t["root"]["name"] == "VAST"
    assert t["root"]["children"][0]["attrs"] == [["id", "7"]]
    broken = json.loads(adsieve.tree_json(b"<VAST><Ad>"))
    assert broken["error"] is True and broken["error_text"]
    r = adsieve.validate(b"<VAST version=\"4.2\">\n<Ad>")
    reason, line, col = r.parse_error
    assert reason and line == 2 and col >= 1
    assert adsieve.validate(SPARSE).parse_error is None


def test_inputs_of_every_accepted_type():
    expected = adsieve.validate(SPARSE).json
    data = SPARSE.encode()
    for doc in (data, bytearray(data), memoryview(data)):
        assert adsieve.validate(doc).json == expected
    # Lengths are byte counts: an empty text is an empty document, NUL bytes are read.
    assert adsieve.validate("").json == adsieve.validate(b"").json
    assert adsieve.validate("<VAST/>\0<x>").json != adsieve.validate("<VAST/>").json


# ---- bad input: clear exceptions ------------------------------------------

@pytest.mark.parametrize("xml", [None, 42, 1.5, ["<VAST/>"], object(), memoryview(b"ab").cast("B", (1, 2))])
def test_wrong_document_type(xml):
    with pytest.raises(TypeError):
        adsieve.validate(xml)


@pytest.mark.parametrize("xml", [b"<VAST>\xff</VAST>", b"<A>\xc0\xaf</A>", b"<A>\xed\xa0\x80</A>",
                                 "<VAST>\udcff</VAST>", bytearray(b"\x80")])
def test_invalid_utf8(xml):
    with pytest.raises(ValueError, match="UTF-8"):
        adsieve.validate(xml)
    with pytest.raises(ValueError, match="UTF-8"):
        adsieve.tree_json(xml)


@pytest.mark.parametrize("kwargs, kind, words", [
    (dict(wrapper_depth=256), ValueError, "wrapper_depth 256"),
    (dict(wrapper_depth=2**32 + 1), ValueError, "wrapper_depth"),
    (dict(wrapper_depth=-1), ValueError, "wrapper_depth -1"),
    (dict(max_wrapper_depth=300), ValueError, "max_wrapper_depth 300"),
    (dict(max_wrapper_depth=0), ValueError, "max_wrapper_depth 0"),
    (dict(wrapper_depth="3"), TypeError, "wrapper_depth"),
    (dict(wrapper_depth=True), TypeError, "wrapper_depth"),
    (dict(max_wrapper_depth=2.0), TypeError, "max_wrapper_depth"),
    (dict(max_issues=0), ValueError, "max_issues"),
    (dict(max_issues=-5), ValueError, "max_issues"),
    (dict(max_issues="5"), TypeError, "max_issues"),
    (dict(rules={"VAST-9.9-nothing": "off"}), ValueError, "unknown rule id \"VAST-9.9-nothing\""),
    (dict(rules={"vast-2.0-url-empty": "off"}), ValueError, "unknown rule id"),
    (dict(rules={"VAST-2.0-url-empty": "OFF"}), ValueError, "unknown level \"OFF\""),
    (dict(rules={"VAST-2.0-url-empty": ""}), ValueError, "unknown level"),
    (dict(rules={"VAST-2.0-url-empty\0x": "off"}), ValueError, "NUL"),
    (dict(rules={"VAST-2.0-url-empty": "off\0"}), ValueError, "NUL"),
    (dict(rules={"VAST-2.0-url-empty": "\udcff"}), ValueError, "UTF-8"),
    (dict(rules={"VAST-2.0-url-empty": 0}), TypeError, "level"),
    (dict(rules={1: "off"}), TypeError, "rule id"),
    (dict(rules=[("VAST-2.0-url-empty", "off")]), TypeError, "rules must be a dict"),
    (dict(rules='{"VAST-2.0-url-empty":"off"}'), TypeError, "rules must be a dict"),
])
def test_bad_options(kwargs, kind, words):
    with pytest.raises(kind, match=words.replace("[", r"\[")):
        adsieve.validate(SPARSE, **kwargs)


def test_unknown_keyword_and_positional_options():
    with pytest.raises(TypeError):
        adsieve.validate(SPARSE, 1)
    with pytest.raises(TypeError):
        adsieve.validate(SPARSE, depth=1)


def test_deep_and_large_documents():
    depth = 300_000
    doc = '<VAST version="4.2">' + "<Ad>" * depth + "</Ad>" * depth + "</VAST>"
    assert adsieve.validate(doc).json
    assert adsieve.tree_json(doc).startswith('{"error":false,')
    assert adsieve.validate(doc[: len(doc) // 2]).parse_error is not None


# ---- threads ---------------------------------------------------------------

def test_threads_give_the_same_results(corpus_docs):
    docs = [data for _, data in corpus_docs] * 2
    expected = [adsieve.validate(d).json for d in docs]
    with ThreadPoolExecutor(max_workers=4) as pool:
        got = list(pool.map(lambda d: adsieve.validate(d).json, docs))
    assert got == expected


def test_gil_released_while_validating():
    # A validation of some tens of milliseconds; while it runs in a thread,
    # this thread must keep running, a millisecond a turn. Holding the GIL
    # would block it for the whole call: a turn or two at most, at its ends.
    n = 800_000
    doc = '<VAST version="4.2">' + "<Ad>" * n + "</Ad>" * n + "</VAST>"
    started = threading.Event()

    def work():
        started.set()
        adsieve.validate(doc)

    old = sys.getswitchinterval()
    sys.setswitchinterval(0.001)
    try:
        t = threading.Thread(target=work)
        t.start()
        started.wait()
        spins = 0
        while t.is_alive():
            spins += 1
            threading.Event().wait(0.001)
        t.join()
    finally:
        sys.setswitchinterval(old)
    assert spins >= 8
