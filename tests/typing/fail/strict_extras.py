# mypy: enable-error-code="truthy-bool", warn-unreachable
"""With two opt-in checks, truth tests and code after a failed unwrap are caught."""

from __future__ import annotations

from ostrel import Err, Nothing, Result


def run(r: Result[int, str]) -> int:
    if r:  # E[mypy]: of which no members implement __bool__ or __len__
        return 1
    Err("e").unwrap()
    return 0  # E[mypy]: Statement is unreachable


def missing() -> int:
    Nothing().expect("needed")
    return 0  # E[mypy]: Statement is unreachable
