import re
import os
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[3]
SHARED = Path(os.environ.get("ADSIEVE_SHARED_DIR", ROOT.parent / "shared"))


@pytest.fixture(scope="session")
def shared_dir() -> Path:
    if not (SHARED / "golden").is_dir():
        pytest.fail(f"shared test data not found at {SHARED} (set ADSIEVE_SHARED_DIR)")
    return SHARED


@pytest.fixture(scope="session")
def corpus_docs(shared_dir) -> list:
    """(relative path, bytes) of every corpus document, in a stable order."""
    corpus = shared_dir / "corpus"
    return [(str(p.relative_to(corpus)), p.read_bytes()) for p in sorted(corpus.rglob("*.xml"))]


def bounded_paths(json_text: str) -> str:
    """The expected results predate bounded paths: the library writes a path
    of more than 64 element segments as its first 32, "...", and its last 31,
    so the few longer expected paths are shortened the same way here."""
    def shorten(m):
        segments = m.group(1)[1:].split("/")
        if len(segments) > 64:
            segments = segments[:32] + ["..."] + segments[-31:]
        return '"path":"/' + "/".join(segments) + '"'
    return re.sub(r'"path":"(/(?:[^"\\]|\\.)*)"', shorten, json_text)
