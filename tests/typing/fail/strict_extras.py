# mypy: enable-error-code="truthy-bool", warn-unreachable
"""With two opt-in mypy checks, a truth test and code after an unwrap that cannot succeed are reported."""

from __future__ import annotations

from ostrel import Err, Nothing, Result


def run(r: Result[int, str], flag: bool) -> int:
    if flag:
        Err("e").unwrap()
        return 0  # E[mypy]: Statement is unreachable
    print("ok" if r else "failed")  # E[mypy]: of which no members implement __bool__ or __len__
    Nothing().expect("needed")
    return 0  # E[mypy]: Statement is unreachable
