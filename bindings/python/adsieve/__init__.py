"""Validation of VAST 2.0-4.3, VMAP 1.0 and DAAST 1.0 ad documents.

    >>> import adsieve
    >>> r = adsieve.validate('<VAST version="4.2"><Ad><InLine/></Ad></VAST>')
    >>> r.valid, r.errors
    (False, 5)
    >>> r.issues[0].id
    'VAST-2.0-inline-adsystem'

`validate` releases the GIL while the library works, so threads scale.
Bulk audits of many documents run on Dask: ``python -m adsieve.audit --help``.
"""
from __future__ import annotations

import json as _json
from collections.abc import Mapping
from dataclasses import dataclass
from typing import Optional, Union

from . import _native

__all__ = ["validate", "rules", "tree_json", "Result", "Issue", "Rule", "__version__"]

__version__ = _native.library_version()

_MAX_DEPTH = 255


@dataclass(frozen=True)
class Issue:
    """One finding. `path`, `line` and `col` are None when the rule gives none."""

    id: str
    severity: str
    message: str
    path: Optional[str]
    line: Optional[int]
    col: Optional[int]
    spec_ref: str

    def to_dict(self) -> dict:
        return {"id": self.id, "severity": self.severity, "message": self.message, "path": self.path,
                "spec_ref": self.spec_ref, "line": self.line, "col": self.col}


@dataclass(frozen=True)
class Rule:
    """One rule of the catalogue."""

    id: str
    default_severity: str
    description: str
    family: str


class Result:
    """The outcome of one validation."""

    __slots__ = ("_native", "_issues")

    def __init__(self, native: _native.NativeResult):
        self._native = native
        self._issues = None

    @property
    def valid(self) -> bool:
        """True when there is no finding of severity error."""
        return self._native.valid

    @property
    def errors(self) -> int:
        return self._native.errors

    @property
    def warnings(self) -> int:
        return self._native.warnings

    @property
    def infos(self) -> int:
        return self._native.infos

    @property
    def version(self) -> Optional[str]:
        """The VAST version the document was judged against, or None."""
        return self._native.version

    @property
    def truncated(self) -> bool:
        """True when `max_issues` cut the list of findings (the counts stay exact)."""
        return self._native.truncated

    @property
    def issues(self) -> list:
        if self._issues is None:
            self._issues = [Issue(*t) for t in self._native.issues()]
        return list(self._issues)

    @property
    def parse_error(self) -> Optional[tuple]:
        """(reason, line, col) when the document could not be read as XML, else None."""
        return self._native.parse_error()

    @property
    def json(self) -> str:
        """The library's JSON result, byte for byte."""
        return self._native.json

    def to_dict(self) -> dict:
        return _json.loads(self._native.json)

    def __bool__(self) -> bool:
        return self.valid

    def __repr__(self) -> str:
        return (f"<adsieve.Result valid={self.valid} errors={self.errors} warnings={self.warnings} "
                f"infos={self.infos} version={self.version!r}>")


def _depth(name: str, value, low: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    if value < low or value > _MAX_DEPTH:
        raise ValueError(f"{name} {value} is out of range ({low}..{_MAX_DEPTH})")
    return value


def _text(what: str, value) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {type(value).__name__}")
    if "\0" in value:
        raise ValueError(f"{what} {value!r} contains a NUL character")
    try:
        value.encode("utf-8")
    except UnicodeEncodeError:
        raise ValueError(f"{what} {value!r} is not valid UTF-8") from None
    return value


def _rule_pairs(rules) -> list:
    if rules is None:
        return []
    if not isinstance(rules, Mapping):
        raise TypeError(f"rules must be a dict of rule id to level, not {type(rules).__name__}")
    return [(_text("rule id", k), _text(f"level for {k!r}", v)) for k, v in rules.items()]


def validate(xml: Union[str, bytes], *, wrapper_depth: int = 0, max_wrapper_depth: int = 5,
             rules: Optional[Mapping] = None, max_issues: Optional[int] = None) -> Result:
    """Validates one document.

    xml               the document, as str or as UTF-8 bytes (bytearray and memoryview too)
    wrapper_depth     wrapper documents already followed to reach it (0..255)
    max_wrapper_depth greatest acceptable wrapper depth (1..255)
    rules             severity changes, {rule id: "error" | "warning" | "info" | "off"};
                      an unknown id or level is a ValueError
    max_issues        list at most this many findings (counts stay exact), None for all

    Raises TypeError for an argument of the wrong type and ValueError, naming
    the reason, for text that is not valid UTF-8, a depth out of range or a bad
    rule override.
    """
    wrapper_depth = _depth("wrapper_depth", wrapper_depth, 0)
    max_wrapper_depth = _depth("max_wrapper_depth", max_wrapper_depth, 1)
    if max_issues is None:
        cap = 0
    elif isinstance(max_issues, bool) or not isinstance(max_issues, int):
        raise TypeError(f"max_issues must be an int or None, not {type(max_issues).__name__}")
    elif max_issues < 1:
        raise ValueError(f"max_issues must be at least 1 (None lists every finding), not {max_issues}")
    else:
        cap = min(max_issues, 2**63 - 1)
    return Result(_native.validate(xml, wrapper_depth, max_wrapper_depth, _rule_pairs(rules), cap))


def rules() -> list:
    """The rule catalogue, as a list of Rule."""
    return [Rule(*t) for t in _native.rules()]


def tree_json(xml: Union[str, bytes]) -> str:
    """The element tree as the parser read it, as a JSON text
    {"error": bool, "error_text": str or null, "root": {"name", "attrs", "text",
    "has_cdata", "line", "col", "children"}}. A text rather than Python objects,
    because a document may nest deeper than Python's recursion limit."""
    return _native.tree_json(xml)
