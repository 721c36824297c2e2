"""The audit report: summary.json, rules.csv and report.html (self-contained:
inline CSS and SVG, nothing fetched)."""
from __future__ import annotations

import csv
import html
import json
import os

import adsieve


def _share(part: int, whole: int) -> float:
    return round(part / whole, 6) if whole else 0.0


def summarize(t: dict, run: dict) -> dict:
    """The summary document from a merged tally and facts about the run."""
    docs = t["documents"]
    catalogue = {r.id: r for r in adsieve.rules()}
    rules = [
        {"id": rule_id, "severity": sev, "findings": findings, "documents": documents,
         "document_share": _share(documents, docs), "first_documents": first,
         "description": catalogue[rule_id].description if rule_id in catalogue else ""}
        for rule_id, (findings, documents, sev, first) in t["rules"].items()
    ]
    rules.sort(key=lambda r: (-r["findings"], r["id"]))
    systems = []
    for name, s in t["ad_systems"].items():
        top = sorted(s["rules"].items(), key=lambda kv: (-kv[1], kv[0]))
        systems.append({"ad_system": name, "documents": s["documents"], "valid": s["valid"],
                        "valid_share": _share(s["valid"], s["documents"]), "errors": s["errors"],
                        "warnings": s["warnings"], "infos": s["infos"],
                        "findings": dict(top)})
    systems.sort(key=lambda s: (-s["documents"], s["ad_system"]))
    dimensions = {}
    for field in sorted(t["dimensions"]):
        d = t["dimensions"][field]
        values = [{"value": v, "documents": c[0], "valid": c[1], "valid_share": _share(c[1], c[0]),
                   "errors": c[2], "warnings": c[3], "infos": c[4]} for v, c in d["values"].items()]
        values.sort(key=lambda v: (-v["documents"], v["value"]))
        dimensions[field] = {"too_many_values": d["overflow"], "values": values}
    mal = t["malformed"]
    return {
        "documents": docs,
        "valid": t["valid"],
        "valid_share": _share(t["valid"], docs),
        "findings": {"errors": t["errors"], "warnings": t["warnings"], "infos": t["infos"]},
        "kinds": dict(sorted(t["kinds"].items())),
        "versions": dict(sorted(t["versions"].items())),
        "rules": rules,
        "ad_systems": systems,
        "dimensions": dimensions,
        "malformed": {"count": mal["count"], "reasons": dict(sorted(mal["reasons"].items())),
                      "listed": [{"source": s, "reason": r, "detail": d} for s, r, d in mal["listed"]]},
        "blank_lines": t["blank_lines"],
        "run": run,
    }


def write_rules_csv(summary: dict, path: str):
    with open(path, "w", newline="", encoding="utf-8") as f:
        w = csv.writer(f)
        w.writerow(["id", "severity", "findings", "documents", "document_share", "first_documents", "description"])
        for r in summary["rules"]:
            w.writerow([r["id"], r["severity"], r["findings"], r["documents"], r["document_share"],
                        " ".join(r["first_documents"]), r["description"]])


# ---- HTML ---------------------------------------------------------------------

_CSS = """
body{font:14px/1.45 system-ui,-apple-system,"Segoe UI",sans-serif;margin:2em auto;max-width:72em;padding:0 1em;color:#1d2330}
h1{font-size:1.6em}h2{font-size:1.2em;margin-top:2em;border-bottom:1px solid #d6dae3;padding-bottom:.2em}
table{border-collapse:collapse;margin:.5em 0;width:100%}th,td{padding:.25em .6em;border-bottom:1px solid #e6e9ef;text-align:left;vertical-align:top}
th{background:#f3f5f9}td.n{text-align:right;font-variant-numeric:tabular-nums}code{font-size:.92em}
.cards{display:flex;gap:1em;flex-wrap:wrap}.card{border:1px solid #d6dae3;border-radius:6px;padding:.6em 1em;min-width:9em}
.card b{display:block;font-size:1.5em}.error{color:#b3261e}.warning{color:#8a5a00}.info{color:#1f5fa8}
.bar{height:.8em;background:#e6e9ef;border-radius:3px;min-width:6em}.bar span{display:block;height:100%;background:#4b6fd6;border-radius:3px}
svg text{font:12px system-ui,sans-serif}
"""
_COLOURS = {"error": "#c0392b", "warning": "#d68910", "info": "#2e86c1"}


def _e(x) -> str:
    return html.escape(str(x), quote=True)


def _pct(x: float) -> str:
    return f"{100 * x:.1f} %"


def _rule_chart(rules: list, top: int = 20) -> str:
    """Horizontal bar chart of the rules with the most findings, as inline SVG."""
    rows = rules[:top]
    if not rows:
        return "<p>No findings.</p>"
    most = max(r["findings"] for r in rows)
    label_w, bar_w, row_h = 330, 470, 20
    height = row_h * len(rows) + 10
    parts = [f'<svg role="img" aria-label="Findings per rule" width="{label_w + bar_w + 80}" '
             f'height="{height}">']
    for i, r in enumerate(rows):
        y = 5 + i * row_h
        w = max(1, round(bar_w * r["findings"] / most))
        parts.append(f'<text x="{label_w - 6}" y="{y + 14}" text-anchor="end">{_e(r["id"])}</text>'
                     f'<rect x="{label_w}" y="{y + 3}" width="{w}" height="{row_h - 6}" '
                     f'fill="{_COLOURS.get(r["severity"], "#777")}"><title>{_e(r["id"])}: {r["findings"]} findings '
                     f'in {r["documents"]} documents</title></rect>'
                     f'<text x="{label_w + w + 6}" y="{y + 14}">{r["findings"]}</text>')
    parts.append("</svg>")
    return "".join(parts)


def _bar(share: float) -> str:
    return f'<div class="bar"><span style="width:{100 * share:.1f}%"></span></div>'


def _table(head: list, rows: list, numeric: set = frozenset()) -> str:
    out = ["<table><tr>", *(f"<th>{_e(h)}</th>" for h in head), "</tr>"]
    for row in rows:
        out.append("<tr>")
        for i, cell in enumerate(row):
            cls = ' class="n"' if i in numeric else ""
            out.append(f"<td{cls}>{cell}</td>")
        out.append("</tr>")
    out.append("</table>")
    return "".join(out)


def render_html(summary: dict) -> str:
    s = summary
    docs = s["documents"]
    f = s["findings"]
    cards = "".join(f'<div class="card">{label}<b class="{cls}">{value}</b></div>' for label, value, cls in [
        ("documents", docs, ""), ("valid", _pct(s["valid_share"]), ""), ("errors", f["errors"], "error"),
        ("warnings", f["warnings"], "warning"), ("infos", f["infos"], "info"),
        ("malformed lines", s["malformed"]["count"], "error" if s["malformed"]["count"] else "")])
    kinds = _table(["kind", "documents"], [[_e(k), n] for k, n in s["kinds"].items()], {1})
    versions = _table(["VAST version judged", "documents"], [[_e(k), n] for k, n in s["versions"].items()], {1})
    rule_rows = [[f"<code>{_e(r['id'])}</code>", f'<span class="{_e(r["severity"])}">{_e(r["severity"])}</span>',
                  r["findings"], r["documents"], _pct(r["document_share"]),
                  "<br>".join(_e(d) for d in r["first_documents"])] for r in s["rules"]]
    rules = _table(["rule", "severity", "findings", "documents", "share of documents", "first documents"],
                   rule_rows, {2, 3, 4})
    system_rows = []
    for a in s["ad_systems"]:
        top = ", ".join(f"<code>{_e(k)}</code> {n}" for k, n in list(a["findings"].items())[:3])
        system_rows.append([_e(a["ad_system"]), a["documents"], _pct(a["valid_share"]), _bar(a["valid_share"]),
                            a["errors"], a["warnings"], a["infos"], top])
    systems = _table(["AdSystem", "documents", "valid", "", "errors", "warnings", "infos", "top rules"],
                     system_rows, {1, 2, 4, 5, 6})
    dims = []
    for field, d in s["dimensions"].items():
        if d["too_many_values"]:
            dims.append(f"<h3>{_e(field)}</h3><p>Too many distinct values to break down.</p>")
            continue
        rows = [[_e(v["value"]), v["documents"], _pct(v["valid_share"]), v["errors"], v["warnings"], v["infos"]]
                for v in d["values"][:50]]
        more = f"<p>{len(d['values']) - 50} more values in summary.json.</p>" if len(d["values"]) > 50 else ""
        dims.append(f"<h3>{_e(field)}</h3>" + _table(["value", "documents", "valid", "errors", "warnings", "infos"],
                                                      rows, {1, 2, 3, 4, 5}) + more)
    mal = s["malformed"]
    if mal["count"]:
        reasons = _table(["reason", "lines"], [[_e(k), n] for k, n in mal["reasons"].items()], {1})
        listed = _table(["where", "reason", "detail"],
                        [[f"<code>{_e(m['source'])}</code>", _e(m["reason"]), _e(m["detail"])] for m in mal["listed"]])
        shown = len(mal["listed"])
        note = f"<p>The first {shown} of {mal['count']}.</p>" if shown < mal["count"] else ""
        malformed = reasons + listed + note
    else:
        malformed = "<p>None.</p>"
    run = s["run"]
    return f"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>adsieve audit</title>
<style>{_CSS}</style></head><body>
<h1>adsieve audit</h1>
<p>{docs} documents from {len(run.get("inputs", []))} inputs, validated with adsieve {_e(run.get("adsieve", ""))}
in {run.get("seconds", 0):.1f} s on {_e(run.get("scheduler", ""))}.</p>
<div class="cards">{cards}</div>
<h2>Documents</h2><div class="cards"><div>{kinds}</div><div>{versions}</div></div>
<h2>Top rules</h2>{_rule_chart(s["rules"])}
<h2>Findings per ad system</h2>{systems}
<h2>All rules</h2>{rules}
{"<h2>Dimensions</h2>" + "".join(dims) if dims else ""}
<h2>Malformed input</h2>{malformed}
</body></html>
"""


def write_report(summary: dict, out_dir: str):
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "summary.json"), "w", encoding="utf-8") as f:
        json.dump(summary, f, indent=1, ensure_ascii=False)
        f.write("\n")
    write_rules_csv(summary, os.path.join(out_dir, "rules.csv"))
    with open(os.path.join(out_dir, "report.html"), "w", encoding="utf-8") as f:
        f.write(render_html(summary))
