"""Counting the findings of many documents into one mergeable tally.

A tally is plain dicts and lists (cheap to send between Dask processes). Tallies
of consecutive parts of the input merge in input order, so the result is the
same however the input was cut and wherever the parts ran.
"""
from __future__ import annotations

import html
import re

import adsieve

from .sources import Blank, Document, Malformed, read_task

FIRST_IDS = 5          # document ids kept per rule
MALFORMED_LISTED = 1000  # malformed entries listed (all are counted)
DIMENSION_VALUES = 1000  # distinct values kept per dimension before it is dropped as too varied

_ROOT_PATTERN = r"""\A(?:\ufeff)?(?:\s+|<\?.*?\?>|<!--.*?-->|<!DOCTYPE(?:[^>\[]|\[.*?\])*>)*<([A-Za-z_][\w.\-]*(?::[\w.\-]+)?)"""
_ROOT_STR = re.compile(_ROOT_PATTERN, re.S)
_ROOT_BYTES = re.compile(_ROOT_PATTERN.replace(r"(?:\ufeff)?", r"(?:\xef\xbb\xbf)?").encode(), re.S)
_ADSYSTEM_PATTERN = r"<(?:[\w.\-]+:)?AdSystem\b[^>]*>(.*?)</(?:[\w.\-]+:)?AdSystem\s*>"
_ADSYSTEM_STR = re.compile(_ADSYSTEM_PATTERN, re.S)
_ADSYSTEM_BYTES = re.compile(_ADSYSTEM_PATTERN.encode(), re.S)
_CDATA = re.compile(r"<!\[CDATA\[(.*?)\]\]>", re.S)
_KINDS = {"VAST": "vast", "VMAP": "vmap", "DAAST": "daast"}


def document_kind(xml) -> str:
    """vast, vmap, daast or other, from the local name of the root element."""
    m = (_ROOT_STR if isinstance(xml, str) else _ROOT_BYTES).match(xml)
    if not m:
        return "other"
    name = m.group(1)
    if isinstance(name, bytes):
        name = name.decode("ascii", "replace")
    return _KINDS.get(name.rsplit(":", 1)[-1], "other")


def ad_system(xml) -> str:
    """The text of the first <AdSystem> (the demand partner), or "(none)"."""
    m = (_ADSYSTEM_STR if isinstance(xml, str) else _ADSYSTEM_BYTES).search(xml)
    if not m:
        return "(none)"
    raw = m.group(1)
    if isinstance(raw, bytes):
        raw = raw.decode("utf-8", "replace")
    text = " ".join(html.unescape(_CDATA.sub(r"\1", raw)).split())
    if not text:
        return "(empty)"
    return text if len(text) <= 120 else text[:119] + "…"


def new_tally() -> dict:
    return {
        "documents": 0, "valid": 0, "errors": 0, "warnings": 0, "infos": 0, "blank_lines": 0,
        "kinds": {}, "versions": {},
        "rules": {},       # id -> [findings, documents, severity, [first ids]]
        "ad_systems": {},  # name -> {"documents", "valid", "errors", "warnings", "infos", "rules": {id: n}}
        "dimensions": {},  # field -> {"overflow": bool, "values": {value: [documents, valid, errors, warnings, infos]}}
        "malformed": {"count": 0, "reasons": {}, "listed": []},
    }


def _bump(d: dict, key, n: int = 1):
    d[key] = d.get(key, 0) + n


def add_malformed(t: dict, m: Malformed):
    mal = t["malformed"]
    mal["count"] += 1
    _bump(mal["reasons"], m.reason)
    if len(mal["listed"]) < MALFORMED_LISTED:
        mal["listed"].append([m.source, m.reason, m.detail])


def add_document(t: dict, doc: Document, rules=None) -> bool:
    """Validates one document into the tally; False when it could not be validated."""
    try:
        r = adsieve.validate(doc.xml, rules=rules)
    except ValueError as e:
        reason = "invalid UTF-8" if "UTF-8" in str(e) else "rejected"
        detail = str(e) if doc.id == doc.source else f"id {doc.id}: {e}"
        add_malformed(t, Malformed(doc.source, reason, detail))
        return False
    native = r._native
    valid, errors, warnings, infos = native.valid, native.errors, native.warnings, native.infos
    t["documents"] += 1
    t["valid"] += valid
    t["errors"] += errors
    t["warnings"] += warnings
    t["infos"] += infos
    _bump(t["kinds"], document_kind(doc.xml))
    _bump(t["versions"], native.version or "none")

    system = ad_system(doc.xml)
    s = t["ad_systems"].get(system)
    if s is None:
        s = t["ad_systems"][system] = {"documents": 0, "valid": 0, "errors": 0, "warnings": 0, "infos": 0,
                                       "rules": {}}
    s["documents"] += 1
    s["valid"] += valid
    s["errors"] += errors
    s["warnings"] += warnings
    s["infos"] += infos

    seen = set()
    rules_t = t["rules"]
    for rule_id, severity in native.issue_ids():
        entry = rules_t.get(rule_id)
        if entry is None:
            entry = rules_t[rule_id] = [0, 0, severity, []]
        entry[0] += 1
        _bump(s["rules"], rule_id)
        if rule_id not in seen:
            seen.add(rule_id)
            entry[1] += 1
            if len(entry[3]) < FIRST_IDS:
                entry[3].append(doc.id)

    for field, value in doc.dimensions.items():
        dim = t["dimensions"].setdefault(field, {"overflow": False, "values": {}})
        if dim["overflow"]:
            continue
        counts = dim["values"].get(value)
        if counts is None:
            if len(dim["values"]) >= DIMENSION_VALUES:
                dim["overflow"], dim["values"] = True, {}
                continue
            counts = dim["values"][value] = [0, 0, 0, 0, 0]
        counts[0] += 1
        counts[1] += valid
        counts[2] += errors
        counts[3] += warnings
        counts[4] += infos
    return True


def tally_task(task, rules=None) -> dict:
    t = new_tally()
    for entry in read_task(task):
        if isinstance(entry, Document):
            add_document(t, entry, rules)
        elif isinstance(entry, Malformed):
            add_malformed(t, entry)
        elif isinstance(entry, Blank):
            t["blank_lines"] += 1
    return t


def tally_partition(tasks, rules=None) -> list:
    """A Dask bag partition of tasks -> a one-element list with their tally."""
    t = new_tally()
    for task in tasks:
        merge_into(t, tally_task(task, rules))
    return [t]


def merge_into(a: dict, b: dict) -> dict:
    """Adds tally b (later input) into tally a (earlier input); returns a."""
    for key in ("documents", "valid", "errors", "warnings", "infos", "blank_lines"):
        a[key] += b[key]
    for key in ("kinds", "versions"):
        for k, n in b[key].items():
            _bump(a[key], k, n)
    for rule_id, (findings, documents, severity, first) in b["rules"].items():
        entry = a["rules"].get(rule_id)
        if entry is None:
            a["rules"][rule_id] = [findings, documents, severity, list(first)]
            continue
        entry[0] += findings
        entry[1] += documents
        entry[3].extend(first[: FIRST_IDS - len(entry[3])])
    for name, sb in b["ad_systems"].items():
        sa = a["ad_systems"].get(name)
        if sa is None:
            a["ad_systems"][name] = {**sb, "rules": dict(sb["rules"])}
            continue
        for key in ("documents", "valid", "errors", "warnings", "infos"):
            sa[key] += sb[key]
        for rule_id, n in sb["rules"].items():
            _bump(sa["rules"], rule_id, n)
    for field, db_ in b["dimensions"].items():
        da = a["dimensions"].setdefault(field, {"overflow": False, "values": {}})
        if da["overflow"]:
            continue
        if db_["overflow"]:
            da["overflow"], da["values"] = True, {}
            continue
        for value, counts in db_["values"].items():
            have = da["values"].get(value)
            if have is None:
                da["values"][value] = list(counts)
            else:
                for i, n in enumerate(counts):
                    have[i] += n
        if len(da["values"]) > DIMENSION_VALUES:
            da["overflow"], da["values"] = True, {}
    ma, mb = a["malformed"], b["malformed"]
    ma["count"] += mb["count"]
    for reason, n in mb["reasons"].items():
        _bump(ma["reasons"], reason, n)
    ma["listed"].extend(mb["listed"][: MALFORMED_LISTED - len(ma["listed"])])
    return a


def merge_all(tallies) -> dict:
    total = new_tally()
    for t in tallies:
        merge_into(total, t)
    return total
