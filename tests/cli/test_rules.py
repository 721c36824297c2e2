"""Rule selection, severities, the config file, and the rules and tree commands."""
import json

import pytest

from conftest import INLINE_42, INVALID_41, MALFORMED, REPO, run, write


def ids(p):
    return [i["id"] for i in json.loads(p.out)["issues"]]


@pytest.mark.parametrize("text, named", [
    ('{"VAST-2.0-tracking-https":"error",}', 'found ""'),
    ('{"VAST-2.0-no-such-rule":"error"}', 'unknown rule id "VAST-2.0-no-such-rule"'),
    ('{"VAST-2.0-tracking-https":"loud"}', 'unknown level "loud" for VAST-2.0-tracking-https'),
    ('VAST-2.0-tracking-https=error', "expected an object"),
])
def test_rules_text_is_strict(work, text, named):
    write(work / "a.xml", INLINE_42)
    p = run("--rules", text, "a.xml")
    assert p.returncode == 2 and p.out == ""
    assert named in p.err and p.err.startswith("adsieve: --rules: ")


def test_rules_text_changes_severities(work):
    write(work / "a.xml", INVALID_41)
    p = run("--json", "--rules", '{"VAST-2.0-tracking-https":"error", "VAST-2.0-url-cdata":"off"}', "a.xml")
    issues = json.loads(p.out)["issues"]
    assert {i["severity"] for i in issues if i["id"] == "VAST-2.0-tracking-https"} == {"error"}
    assert "VAST-2.0-url-cdata" not in ids(p)
    write(work / "m.xml", MALFORMED)
    assert run("--rules", '{"VAST-2.0-parse-error":"warning"}', "m.xml").returncode == 0


def test_select_and_ignore_take_ids_and_prefixes(work):
    write(work / "a.xml", INVALID_41)
    everything = ids(run("--json", "a.xml"))
    assert {i for i in ids(run("--json", "--select", "VAST-2.0-", "a.xml"))} == \
        {i for i in everything if i.startswith("VAST-2.0-")}
    assert ids(run("--json", "--select", "VAST-4.1-,VAST-4.0-universaladid-present", "a.xml")) == \
        [i for i in everything if i.startswith("VAST-4.1-") or i == "VAST-4.0-universaladid-present"]
    assert ids(run("--json", "--select", "VAST-2.0-", "--ignore", "VAST-2.0-tracking-https", "--ignore",
                   "VAST-2.0-url-", "a.xml")) == \
        [i for i in everything if i.startswith("VAST-2.0-") and i not in ("VAST-2.0-tracking-https", "VAST-2.0-url-cdata")]
    # --ignore wins over an override that raises the rule.
    assert "VAST-2.0-url-cdata" not in ids(run("--json", "--rules", '{"VAST-2.0-url-cdata":"error"}', "--ignore",
                                                "VAST-2.0-url-cdata", "a.xml"))
    p = run("--select", "SIMID-9", "a.xml")
    assert p.returncode == 2 and '--select: "SIMID-9" matches no rule id' in p.err


def test_fail_on_quiet_statistics_and_max_issues(work):
    write(work / "w.xml", INVALID_41)
    write(work / "ok.xml", INLINE_42)
    only_warnings = ["--select", "VAST-2.0-tracking-https,VAST-4.1-mezzanine-recommended"]
    assert run(*only_warnings, "w.xml").returncode == 0
    assert run(*only_warnings, "--fail-on", "warning", "w.xml").returncode == 1
    assert run("--select", "VAST-4.1-mezzanine-recommended", "--fail-on", "warning", "w.xml").returncode == 0
    assert run("--select", "VAST-4.1-mezzanine-recommended", "--fail-on", "info", "w.xml").returncode == 1

    quiet = run("-q", "w.xml", "ok.xml").out.splitlines()
    assert quiet and all(": error: " in line for line in quiet)
    assert len(quiet) == json.loads(run("--json", "w.xml").out)["summary"]["errors"]

    stats = run("--statistics", "-q", "w.xml", "w.xml", "ok.xml").out
    table = stats[stats.index("Findings per rule:"):].splitlines()[1:]
    counted = {}
    for i in json.loads(run("--json", "w.xml").out)["issues"]:
        counted[i["id"]] = counted.get(i["id"], 0) + 2
    assert {line.split()[2]: int(line.split()[0]) for line in table} == counted

    p = run("--max-issues", "2", "w.xml")
    summary = json.loads(run("--json", "w.xml").out)["summary"]
    total = summary["errors"] + summary["warnings"] + summary["infos"]
    assert f"w.xml: note: {total - 2} more finding(s) not listed (--max-issues)" in p.out
    assert f"w.xml: invalid, {summary['errors']} error(s)" in p.out
    assert json.loads(run("--json", "--max-issues", "2", "w.xml").out)["summary"]["truncated"] is True


def test_config_file_is_found_above_and_the_command_line_wins(work):
    write(work / "a.xml", INVALID_41)
    write(work / ".adsieve.toml", '# project settings\nformat = "jsonl"\nignore = ["VAST-2.0-url-"]\n'
                                  '[rules]\n"VAST-2.0-tracking-https" = "off"\n"VAST-2.0-mediafile-https" = "error"\n')
    sub = work / "deep" / "er"
    sub.mkdir(parents=True)
    row = json.loads(run("../../a.xml", cwd=sub).out)
    found = [i["id"] for i in row["result"]["issues"]]
    assert "VAST-2.0-tracking-https" not in found and "VAST-2.0-url-cdata" not in found
    assert {i["severity"] for i in row["result"]["issues"] if i["id"] == "VAST-2.0-mediafile-https"} == {"error"}

    # Options given beat the file's; --rules entries beat its [rules] ones.
    p = run("--format", "json", "--ignore", "VAST-3.0-", "--rules", '{"VAST-2.0-tracking-https":"info"}', "a.xml")
    issues = json.loads(p.out)["issues"]
    assert "VAST-2.0-url-cdata" in [i["id"] for i in issues]
    assert {i["severity"] for i in issues if i["id"] == "VAST-2.0-tracking-https"} == {"info"}
    assert {i["severity"] for i in issues if i["id"] == "VAST-2.0-mediafile-https"} == {"error"}

    assert run("--no-config", "a.xml").out.startswith("a.xml:")
    write(work / "other.toml", 'format = "github"\n')
    assert run("--config", "other.toml", "a.xml").out.startswith("::")


@pytest.mark.parametrize("body, message", [
    ("formt = 'json'\n", ':1: unknown key "formt"'),
    ("\n\nfail-on = 'fatal'\n", ":3: fail-on: expected one of error, warning, info"),
    ("wrapper-depth = 300\n", "wrapper-depth: expected a whole number from 0 to 255"),
    ("select = 'VAST-'\n", "select: expected a list of strings"),
    ("format = \n", ":1:10: "),
    ("[rules]\n'VAST-2.0-url-cdata' = 'loud'\n", '[rules]: unknown level "loud"'),
])
def test_config_file_mistakes_are_usage_errors(work, body, message):
    write(work / "a.xml", INLINE_42)
    write(work / ".adsieve.toml", body)
    p = run("a.xml")
    assert p.returncode == 2 and p.out == ""
    assert ".adsieve.toml" in p.err and message in p.err


def test_rules_command_formats(work):
    text = run("rules").out.splitlines()
    catalogue = json.loads(run("rules", "--format", "json").out)
    markdown = run("rules", "--format", "markdown").out.splitlines()
    assert len(text) == len(catalogue) == len(markdown) - 2 > 150
    first = catalogue[0]
    assert set(first) == {"id", "default_severity", "family", "description"}
    assert text[0].split()[:2] == [first["id"], first["default_severity"]]
    assert markdown[0] == "| id | family | default | description |"
    assert markdown[2].startswith(f"| `{first['id']}` | {first['family']} | {first['default_severity']} | ")
    assert "<" not in "".join(markdown)  # element names are escaped for Markdown
    assert run("rules", "--format", "yaml").returncode == 2


def test_readme_rule_table_is_the_catalogue():
    # The README's table is this command's output; regenerate it with
    # scripts/rules-table.sh after changing a rule.
    readme = (REPO / "README.md").read_text(encoding="utf-8")
    begin, end = "<!-- rules:begin -->\n", "<!-- rules:end -->"
    table = readme[readme.index(begin) + len(begin):readme.index(end)]
    assert table == run("rules", "--format", "markdown").out


def test_tree_command(work):
    write(work / "v.xml", '<VMAP version="1.0"/>')
    p = run("tree", "v.xml")
    assert json.loads(p.out) == {"error": False, "error_text": None, "root": {
        "name": "VMAP", "attrs": [["version", "1.0"]], "text": "", "has_cdata": False, "line": 1, "col": 1,
        "children": []}}
    write(work / "bad.xml", b"<A>\xff</A>")
    p = run("tree", "bad.xml")
    assert p.returncode == 2 and p.err == "adsieve: bad.xml: not valid UTF-8\n"
    assert run("tree").returncode == 2
