"""Inputs of an audit: finding the files, cutting them into tasks, and
streaming the documents of one task.

A task is a plain tuple so it travels to Dask workers cheaply:
  ("xml", (path, ...))             a batch of XML files
  ("ndjson", path, start, end)     the lines of a plain NDJSON file that start
                                   at a byte offset in [start, end)
  ("ndjson.gz", path)              a whole gzip-compressed NDJSON file (gzip
                                   cannot be entered midway)
Workers read the files themselves, so on a cluster the paths must be visible
to every worker (a shared file system).
"""
from __future__ import annotations

import gzip
import json
import os
from typing import Iterator, NamedTuple, Optional, Union

XML_SUFFIXES = (".xml",)
NDJSON_SUFFIXES = (".ndjson", ".jsonl", ".json")


class Document(NamedTuple):
    id: str
    xml: Union[str, bytes]
    dimensions: dict
    source: str  # file, or file@byte offset of the line


class Malformed(NamedTuple):
    source: str  # file, or file@byte offset of the line
    reason: str
    detail: str


class Blank(NamedTuple):
    source: str


def classify(path: str) -> Optional[str]:
    """'xml', 'ndjson', 'ndjson.gz' or None from the file name."""
    name = path.lower()
    gz = name.endswith(".gz")
    if gz:
        name = name[:-3]
    if name.endswith(NDJSON_SUFFIXES):
        return "ndjson.gz" if gz else "ndjson"
    if name.endswith(XML_SUFFIXES) and not gz:
        return "xml"
    return None


def _sniff(path: str) -> str:
    """The kind of an explicitly named file whose name says nothing."""
    with open(path, "rb") as f:
        head = f.read(2)
    if head == b"\x1f\x8b":
        return "ndjson.gz"
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(4096), b""):
            stripped = chunk.lstrip(b" \t\r\n\xef\xbb\xbf")
            if stripped:
                return "ndjson" if stripped[:1] == b"{" else "xml"
    return "xml"


def find_files(inputs: list) -> tuple:
    """([(kind, path)], [ignored paths]) for files and folders (walked in name order)."""
    found, ignored = [], []
    for item in inputs:
        if os.path.isdir(item):
            for root, dirs, files in os.walk(item):
                dirs.sort()
                for name in sorted(files):
                    path = os.path.join(root, name)
                    kind = classify(path)
                    (found.append((kind, path)) if kind else ignored.append(path))
        elif os.path.isfile(item):
            found.append((classify(item) or _sniff(item), item))
        else:
            raise FileNotFoundError(f"no such file or folder: {item}")
    return found, ignored


def plan(inputs: list, blocksize: int = 32 << 20, files_per_task: int = 64) -> tuple:
    """(tasks, ignored paths) covering every input once, in input order."""
    if blocksize < 1 or files_per_task < 1:
        raise ValueError("blocksize and files_per_task must be positive")
    found, ignored = find_files(inputs)
    tasks, batch = [], []

    def flush():
        if batch:
            tasks.append(("xml", tuple(batch)))
            batch.clear()

    for kind, path in found:
        if kind == "xml":
            batch.append(path)
            if len(batch) == files_per_task:
                flush()
            continue
        flush()
        if kind == "ndjson.gz":
            tasks.append(("ndjson.gz", path))
        else:
            size = os.path.getsize(path)
            for start in range(0, max(size, 1), blocksize):
                tasks.append(("ndjson", path, start, min(start + blocksize, size)))
    flush()
    return tasks, ignored


# ---- reading one task -------------------------------------------------------

def _text_value(value) -> str:
    text = value if isinstance(value, str) else json.dumps(value, ensure_ascii=False, sort_keys=True)
    return text if len(text) <= 200 else text[:199] + "…"


def parse_line(line: bytes, source: str):
    """A Document, Malformed or Blank for one NDJSON line."""
    if not line.strip():
        return Blank(source)
    try:
        text = line.decode("utf-8")
    except UnicodeDecodeError as e:
        return Malformed(source, "invalid UTF-8", f"byte {e.start} of the line")
    try:
        obj = json.loads(text)
    except ValueError as e:
        return Malformed(source, "bad JSON", str(e))
    if not isinstance(obj, dict):
        return Malformed(source, "not a JSON object", type(obj).__name__)
    if "xml" not in obj:
        return Malformed(source, "missing xml field", ", ".join(sorted(map(str, obj)))[:200])
    xml = obj.pop("xml")
    if not isinstance(xml, str):
        return Malformed(source, "xml field is not a string", type(xml).__name__)
    doc_id = obj.pop("id", None)
    doc_id = source if doc_id is None else _text_value(doc_id)
    return Document(doc_id, xml, {k: _text_value(v) for k, v in obj.items()}, source)


def _lines(f, start: int, end: Optional[int]) -> Iterator:
    """(offset, line) for the lines that start in [start, end) (end None: all)."""
    if start:
        f.seek(start - 1)
        if f.read(1) != b"\n":
            f.readline()  # the line began in the previous block
    pos = f.tell()
    while end is None or pos < end:
        line = f.readline()
        if not line:
            break
        yield pos, line
        pos += len(line)


def read_task(task) -> Iterator:
    """Streams the Documents, Malformed and Blank entries of one task."""
    kind = task[0]
    if kind == "xml":
        for path in task[1]:
            try:
                with open(path, "rb") as f:
                    data = f.read()
            except OSError as e:
                yield Malformed(path, "unreadable file", e.strerror or str(e))
                continue
            yield Document(path, data, {}, path)
        return
    path = task[1]
    try:
        if kind == "ndjson.gz":
            with gzip.open(path, "rb") as f:
                for pos, line in _lines(f, 0, None):
                    yield parse_line(line, f"{path}@{pos}")
        else:
            with open(path, "rb") as f:
                for pos, line in _lines(f, task[2], task[3]):
                    yield parse_line(line, f"{path}@{pos}")
    except (OSError, EOFError) as e:
        yield Malformed(path, "unreadable file", str(e))
