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
