"""Shared helpers for the tests of the adsieve command.

The command under test is $ADSIEVE_BIN (set by CTest); shared data is read
from $ADSIEVE_SHARED_DIR. Every test runs the real binary in a temporary
working directory with no config file above it.
"""
import gzip
import os
import pathlib
import subprocess

import pytest

HERE = pathlib.Path(__file__).resolve().parent
REPO = HERE.parent.parent
EXAMPLES = REPO / "examples"
DATA = REPO / "tests" / "data"
SHARED = pathlib.Path(os.environ.get("ADSIEVE_SHARED_DIR", REPO.parent / "shared"))
BIN = os.environ.get("ADSIEVE_BIN", str(REPO / "build" / "adsieve"))

INLINE_42 = (EXAMPLES / "vast-4.2-inline.xml").read_text()
INVALID_41 = (EXAMPLES / "vast-4.1-invalid.xml").read_text()
MALFORMED = (EXAMPLES / "vast-malformed.xml").read_text()


def run(*args, input=None, cwd=None, env=None, timeout=120, preexec_fn=None):
    """Runs the command; returns the CompletedProcess with text stdout/stderr."""
    full_env = {k: v for k, v in os.environ.items() if k not in ("NO_COLOR", "TERM")}
    if env:
        full_env.update(env)
    data = input.encode() if isinstance(input, str) else input
    p = subprocess.run([BIN, *map(str, args)], input=data, capture_output=True, cwd=cwd, env=full_env,
                       timeout=timeout, preexec_fn=preexec_fn)
    p.out = p.stdout.decode("utf-8", "replace")
    p.err = p.stderr.decode("utf-8", "replace")
    return p


@pytest.fixture
def work(tmp_path, monkeypatch):
    """A temporary directory, used as the working directory (the config search
    stops at the first .adsieve.toml, so an empty one is put at its top)."""
    (tmp_path / ".adsieve.toml").write_text("")
    monkeypatch.chdir(tmp_path)
    return tmp_path


def write(path, text):
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    if isinstance(text, bytes):
        path.write_bytes(text)
    else:
        path.write_text(text)
    return path


def write_gz(path, text):
    return write(path, gzip.compress(text.encode()))
