#!/usr/bin/python3
"""The validator page in headless Chromium, against the native library.

Serves the built page from 127.0.0.1, then checks: every golden case gives the
same JSON through window.adsieve.validate as adsieve_validate(_with_options)
of build/libadsieve.so; the rule catalogue matches; the example documents,
opened through the page, list the native findings in the table; a clicked
finding highlights its line; a file that is not UTF-8 and a bad override are
reported plainly; typing, the filters and the download work. Saves a screenshot and prints the speed of both builds.

Ends with a line "N passed, N failed"; exit status 1 when anything failed.
"""
import argparse
import ctypes
import functools
import http.server
import json
import os
import shutil
import sys
import tempfile
import threading
import time
import traceback

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.select import Select
from selenium.webdriver.support.ui import WebDriverWait

BATCH = 300  # golden cases per round trip into the page


# --------------------------------------------------------------------------
# The native library through its C interface.

class AdsieveStr(ctypes.Structure):
    _fields_ = [("ptr", ctypes.c_void_p), ("len", ctypes.c_size_t)]

    def text(self):
        return ctypes.string_at(self.ptr, self.len).decode() if self.ptr else None


class RuleInfo(ctypes.Structure):
    _fields_ = [("id", AdsieveStr), ("default_severity", AdsieveStr),
                ("description", AdsieveStr), ("family", AdsieveStr)]


class Native:
    def __init__(self, path):
        lib = ctypes.CDLL(path)
        lib.adsieve_validate.restype = ctypes.c_void_p
        lib.adsieve_validate.argtypes = [ctypes.c_char_p, ctypes.c_size_t]
        lib.adsieve_validate_with_options.restype = ctypes.c_void_p
        lib.adsieve_validate_with_options.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_uint32,
                                                      ctypes.c_uint32, ctypes.c_char_p]
        lib.adsieve_result_json.restype = ctypes.c_char_p
        lib.adsieve_result_json.argtypes = [ctypes.c_void_p]
        lib.adsieve_result_free.argtypes = [ctypes.c_void_p]
        lib.adsieve_version.restype = ctypes.c_char_p
        lib.adsieve_rule_count.restype = ctypes.c_size_t
        lib.adsieve_rule.argtypes = [ctypes.c_size_t, ctypes.POINTER(RuleInfo)]
        self.lib = lib

    def validate(self, data, options=None):
        """JSON text for bytes `data`; options as for window.adsieve.validate."""
        if options is None:
            r = self.lib.adsieve_validate(data, len(data))
        else:
            ov = options.get("rule_overrides")
            r = self.lib.adsieve_validate_with_options(
                data, len(data), options.get("wrapper_depth", 0), options.get("max_wrapper_depth", 0),
                ov.encode() if ov is not None else None)
        if not r:
            return None
        try:
            return self.lib.adsieve_result_json(r).decode()
        finally:
            self.lib.adsieve_result_free(r)

    def rules(self):
        out, info = [], RuleInfo()
        for i in range(self.lib.adsieve_rule_count()):
            self.lib.adsieve_rule(i, ctypes.byref(info))
            out.append({"id": info.id.text(), "severity": info.default_severity.text(),
                        "description": info.description.text(), "family": info.family.text()})
        return out


# --------------------------------------------------------------------------
# Test bookkeeping.

class Results:
    def __init__(self, quiet=False):
        self.passed = 0
        self.failed = 0
        self.quiet = quiet

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            if not self.quiet:
                print(f"ok   {name}")
        else:
            self.failed += 1
            print(f"FAIL {name}{': ' + detail if detail else ''}")


def load_golden(shared):
    """(name, document bytes, options or None, expected JSON) for every golden case."""
    cases = []
    with open(os.path.join(shared, "golden", "corpus.jsonl"), encoding="utf-8") as f:
        for line in f:
            c = json.loads(line)
            with open(os.path.join(shared, "corpus", c["file"]), "rb") as doc:
                cases.append(("corpus/" + c["file"], doc.read(), None, c["json"]))
    with open(os.path.join(shared, "golden", "generated.jsonl"), encoding="utf-8") as f:
        for line in f:
            c = json.loads(line)
            options = None
            if any(k in c for k in ("depth", "max", "overrides")):
                options = {"wrapper_depth": c.get("depth") or 0, "max_wrapper_depth": c.get("max") or 0,
                           "rule_overrides": c.get("overrides")}
            cases.append(("generated/" + c["name"], c["input"].encode("utf-8"), options, c["json"]))
    return cases


# Runs a batch of [text or byte list, options JSON or null] in the page.
VALIDATE_BATCH_JS = """
const out = [];
for (const [doc, options] of arguments[0]) {
  try {
    out.push(window.adsieve.validate(typeof doc === "string" ? doc : new Uint8Array(doc), options));
  } catch (e) {
    out.push("THROWN " + e.name + ": " + e.message);
  }
}
return out;
"""


def page_argument(data):
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return list(data)


def check_golden(driver, native, cases, results):
    for group in ("corpus/", "generated/"):
        subset = [c for c in cases if c[0].startswith(group)]
        differ, golden_differ, shown = 0, 0, 0
        for start in range(0, len(subset), BATCH):
            batch = subset[start:start + BATCH]
            args = [[page_argument(data), json.dumps(opts) if opts is not None else None]
                    for _, data, opts, _ in batch]
            got = driver.execute_script(VALIDATE_BATCH_JS, args)
            for (name, data, opts, expected), browser in zip(batch, got):
                want = native.validate(data, opts)
                if want != expected:
                    golden_differ += 1
                if browser != want:
                    differ += 1
                    if shown < 3:
                        shown += 1
                        print(f"  {name}\n    native  {want}\n    browser {browser}")
        results.check(f"{group[:-1]}: {len(subset)} golden cases give the native JSON in the browser",
                      differ == 0, f"{differ} differ")
        if golden_differ:
            print(f"  note: {golden_differ} {group[:-1]} cases differ between the native library and the golden "
                  "results (the native golden test reports them)")


def wait_for(driver, condition, what, timeout=10):
    try:
        return WebDriverWait(driver, timeout).until(lambda d: condition(d))
    except TimeoutException:
        raise AssertionError(f"timed out waiting for {what}")


def table_findings(driver):
    return driver.execute_script("""
      return [...document.querySelectorAll('#findings tbody tr.finding')].map(tr => {
        const td = tr.querySelectorAll('td');
        return [td[0].textContent, td[1].textContent, td[2].textContent, td[3].textContent, td[4].textContent];
      });""")


def expected_rows(result_json):
    return [[i["severity"], i["id"], i["message"], i["path"] or "",
             "—" if i["line"] is None else f"{i['line']}:{i['col']}"] for i in json.loads(result_json)["issues"]]


def active_tab(driver):
    """(number of tabs, name shown on the active tab), read in one step."""
    return driver.execute_script("""
      const tabs = document.querySelectorAll('#tabs .tab');
      const active = document.querySelector('#tabs .tab.active .tab-name');
      return [tabs.length, active ? active.firstChild.textContent : null];""")


def open_example(driver, name):
    count, _ = active_tab(driver)
    Select(driver.find_element(By.ID, "example")).select_by_value(name)
    # A new tab named after the example, or the first document replaced by it.
    wait_for(driver, lambda d: (lambda t: t[1] is not None and t[1].startswith(name) and (t[0] > count or count == 1))(
        active_tab(d)), f"the tab of {name}")


def check_examples(driver, native, examples_dir, results):
    for name in sorted(os.listdir(examples_dir)):
        if not name.endswith(".xml"):
            continue
        with open(os.path.join(examples_dir, name), "rb") as f:
            want = expected_rows(native.validate(f.read()))
        open_example(driver, name)
        shown = table_findings(driver)
        results.check(f"example {name}: the table lists the {len(want)} native findings", shown == want,
                      f"\n  native {want}\n  page   {shown}")


def check_click(driver, results):
    """Clicks the last finding that has a line; its line must be highlighted and in view."""
    open_example(driver, "vast-4.1-invalid.xml")
    rows = [r for r in driver.find_elements(By.CSS_SELECTOR, "#findings tr.finding") if r.get_attribute("data-line")]
    if not rows:
        results.check("a finding with a line is shown for vast-4.1-invalid.xml", False)
        return
    row = rows[-1]
    line = row.get_attribute("data-line")
    row.click()
    state = driver.execute_script("""
      const view = document.querySelector('#doc-view');
      const current = [...view.querySelectorAll('.line.current')];
      const box = current.length ? current[0].getBoundingClientRect() : null;
      const frame = view.getBoundingClientRect();
      const editor = document.querySelector('#editor');
      const before = editor.value.slice(0, editor.selectionStart);
      return {lines: current.map(l => l.dataset.line), visible: !!box && box.top >= frame.top && box.bottom <= frame.bottom,
              rowCurrent: document.querySelector('#findings tr.current')?.dataset.line ?? null,
              editorLine: before.split('\\n').length};""")
    results.check(f"clicking a finding highlights line {line} in the document view",
                  state["lines"] == [line] and state["visible"], json.dumps(state))
    results.check("clicking a finding marks its row and puts the editor on its line",
                  state["rowCurrent"] == line and str(state["editorLine"]) == line, json.dumps(state))


def check_open_files(driver, native, tmp, results):
    """Opens two files at once, one of them not UTF-8."""
    good = os.path.join(tmp, "good.xml")
    bad = os.path.join(tmp, "latin1.xml")
    with open(good, "wb") as f:
        f.write(b'<VAST version="4.2"><Ad><InLine/></Ad></VAST>')
    with open(bad, "wb") as f:
        f.write('<VAST version="4.2"><Ad id="caf\u00e9"/></VAST>'.encode("latin-1"))
    count, _ = active_tab(driver)
    driver.find_element(By.ID, "open").send_keys(good + "\n" + bad)
    wait_for(driver, lambda d: active_tab(d) == [count + 2, "latin1.xml"], "two new tabs")
    status = driver.find_element(By.ID, "status")
    results.check("a file that is not UTF-8 gets a clear message",
                  "not UTF-8" in status.text and "problem" in status.get_attribute("class"), status.text)
    driver.find_element(By.XPATH, "//div[@id='tabs']//button[@class='tab-name'][starts-with(., 'good.xml')]").click()
    with open(good, "rb") as f:
        want = expected_rows(native.validate(f.read()))
    results.check("the other file opened with it is validated", table_findings(driver) == want)
    thrown = driver.execute_script("""
      try { window.adsieve.validate(new Uint8Array([60, 255, 62])); return null; }
      catch (e) { return e.code + ': ' + e.message; }""")
    results.check("validate() of bytes that are not UTF-8 throws", thrown is not None and thrown.startswith("utf8"),
                  str(thrown))


def check_typing(driver, native, results):
    """A document typed into a new tab is validated after a pause."""
    driver.find_element(By.ID, "new-doc").click()
    text = '<VAST version="4.2"><Ad><InLine><AdTitle>x</AdTitle></InLine></Ad></VAST>'
    driver.find_element(By.ID, "editor").send_keys(text)
    want = expected_rows(native.validate(text.encode()))
    try:
        wait_for(driver, lambda d: table_findings(d) == want, "findings of the typed document", timeout=5)
        ok = True
    except AssertionError:
        ok = False
    results.check("a typed document is validated as you type", ok, f"\n  native {want}\n  page   {table_findings(driver)}")


def check_filters(driver, native, results):
    open_example(driver, "vast-4.1-invalid.xml")
    all_rows = table_findings(driver)
    box = driver.find_element(By.CSS_SELECTOR, '[data-severity="warning"]')
    box.click()
    rows = table_findings(driver)
    results.check("unticking warnings hides exactly the warnings",
                  rows == [r for r in all_rows if r[0] != "warning"] and len(rows) < len(all_rows))
    box.click()
    rule = all_rows[-1][1]
    Select(driver.find_element(By.ID, "rule-filter")).select_by_value(rule)
    rows = table_findings(driver)
    results.check(f"the rule filter shows only {rule}", rows == [r for r in all_rows if r[1] == rule])
    Select(driver.find_element(By.ID, "rule-filter")).select_by_value("")


def check_download(driver, native, downloads, results):
    open_example(driver, "vast-4.1-invalid.xml")
    driver.find_element(By.ID, "download").click()
    path = os.path.join(downloads, "vast-4.1-invalid.adsieve.json")
    deadline = time.time() + 10
    while time.time() < deadline and not os.path.exists(path):
        time.sleep(0.1)
    got = open(path, encoding="utf-8").read() if os.path.exists(path) else None
    with open(os.path.join(ARGS.examples, "vast-4.1-invalid.xml"), "rb") as f:
        want = native.validate(f.read())
    results.check("Download JSON saves the library's JSON text", got == want, f"got {got!r:.200}")


def check_overrides(driver, native, results):
    """Turns a rule off in the catalogue, then sets an unknown level as text."""
    open_example(driver, "vast-4.1-invalid.xml")
    rows = table_findings(driver)
    rule = rows[0][1]
    driver.find_element(By.ID, "open-rules").click()
    search = driver.find_element(By.ID, "rule-search")
    search.send_keys(rule)
    Select(driver.find_element(By.CSS_SELECTOR, f'select[aria-label="Override for {rule}"]')).select_by_value("off")
    text = driver.find_element(By.ID, "overrides-text")
    driver.find_element(By.CSS_SELECTOR, "#rules-dialog button[value=close]").click()
    with open(os.path.join(ARGS.examples, "vast-4.1-invalid.xml"), "rb") as f:
        want = expected_rows(native.validate(f.read(), {"rule_overrides": json.dumps({rule: "off"}),
                                                        "max_wrapper_depth": 5}))
    shown = table_findings(driver)
    results.check(f"turning {rule} off in the catalogue gives the native findings with that override",
                  shown == want and all(r[1] != rule for r in shown), f"\n  native {want}\n  page   {shown}")
    driver.find_element(By.ID, "open-rules").click()
    text.send_keys('{"VAST-2.0-url-cdata":"loud"}')
    driver.find_element(By.CSS_SELECTOR, "#rules-dialog button[value=close]").click()
    wait_for(driver, lambda d: "Overrides:" in d.find_element(By.ID, "status").text, "the override error")
    status = driver.find_element(By.ID, "status").text
    results.check("an unknown override level is reported with the library's reason", "loud" in status, status)
    driver.find_element(By.ID, "open-rules").click()
    driver.find_element(By.ID, "clear-overrides").click()
    driver.find_element(By.CSS_SELECTOR, "#rules-dialog button[value=close]").click()


def measure_speed(driver, native, cases):
    """MB/s over the corpus documents, native and in the page (about a second each)."""
    docs = [data for name, data, _, _ in cases if name.startswith("corpus/")]
    total = sum(len(d) for d in docs)
    rounds, start = 0, time.perf_counter()
    while time.perf_counter() - start < 1.0:
        for d in docs:
            native.validate(d)
        rounds += 1
    native_mbs = total * rounds / (time.perf_counter() - start) / 1e6
    page = driver.execute_script("""
      const docs = arguments[0].map(d => typeof d === 'string' ? d : new Uint8Array(d));
      const enc = new TextEncoder();
      const bytes = docs.map(d => typeof d === 'string' ? enc.encode(d) : d);
      let total = 0; for (const b of bytes) total += b.length;
      let rounds = 0; const start = performance.now();
      while (performance.now() - start < 1000) { for (const b of bytes) window.adsieve.validate(b); rounds++; }
      return total * rounds / ((performance.now() - start) / 1000) / 1e6;""",
                                 [page_argument(d) for d in docs])
    print(f"speed on the corpus ({len(docs)} documents, {total / 1e6:.2f} MB): "
          f"native {native_mbs:.1f} MB/s, browser {page:.1f} MB/s ({page / native_mbs:.0%} of native)")


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm",
                      ".js": "text/javascript"}

    def log_message(self, *args):
        pass


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--site", required=True, help="the built page (build/web)")
    parser.add_argument("--native", required=True, help="build/libadsieve.so")
    parser.add_argument("--shared", required=True, help="the shared test data directory")
    parser.add_argument("--examples", required=True, help="the examples/ directory")
    parser.add_argument("--screenshot", default=None, help="where to save the screenshot")
    ARGS = args = parser.parse_args()
    screenshot = args.screenshot or os.path.join(os.path.dirname(os.path.abspath(args.site)), "web-screenshot.png")

    native = Native(args.native)
    cases = load_golden(args.shared)
    results = Results()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(QuietHandler, directory=args.site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_address[1]}/"

    tmp = tempfile.mkdtemp(prefix="adsieve-web-test-")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1400,1000", f"--user-data-dir={tmp}/profile"):
        options.add_argument(flag)
    downloads = os.path.join(tmp, "downloads")
    os.mkdir(downloads)
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    driver = None
    try:
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.set_script_timeout(120)
        driver.get(url)
        version = driver.execute_async_script(
            "const done = arguments[0]; window.adsieve.ready.then(() => done(window.adsieve.version), "
            "e => done('load failed: ' + e.message));")
        results.check("the page loads adsieve.wasm", version == native.lib.adsieve_version().decode(), version)
        results.check("the rule catalogue equals the native one",
                      driver.execute_script("return window.adsieve.rules();") == native.rules())
        check_golden(driver, native, cases, results)
        for step in (lambda: check_examples(driver, native, args.examples, results),
                     lambda: check_click(driver, results),
                     lambda: check_filters(driver, native, results),
                     lambda: check_typing(driver, native, results),
                     lambda: check_open_files(driver, native, tmp, results),
                     lambda: check_overrides(driver, native, results),
                     lambda: check_download(driver, native, downloads, results)):
            try:
                step()
            except Exception as e:  # one broken step must not hide the others
                traceback.print_exc()
                results.check("page step ran", False, str(e))
        logs = [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]
        results.check("no errors in the browser console", not logs, json.dumps(logs)[:500])
        measure_speed(driver, native, cases)
        # The picture for the README: a fresh page, an example, a finding selected.
        driver.get(url)
        driver.execute_async_script("window.adsieve.ready.then(arguments[0]);")
        shot = Results(quiet=True)
        check_click(driver, shot)
        if shot.failed:
            results.check("the screenshot shows a selected finding", False)
        driver.save_screenshot(screenshot)
        print(f"screenshot: {screenshot}")
    except Exception as e:
        traceback.print_exc()
        results.check("browser session", False, str(e))
    finally:
        if driver is not None:
            driver.quit()
        server.shutdown()
        server.server_close()
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"{results.passed} passed, {results.failed} failed")
    return 1 if results.failed else 0


if __name__ == "__main__":
    sys.exit(main())
