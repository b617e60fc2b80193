"""Spellings that mypy accepts and the pyright family rejects; the guide's "Typing" table.

pyright and basedpyright narrow neither on the truth of a property nor pass an expected
type to a lambda on the right of `|` or `>>`; is_ok/is_some and map/and_then do both.
"""

from __future__ import annotations

from ostrel import Option, Result


def by_property(r: Result[int, str], o: Option[int]) -> int:
    if r.is_ok:
        return r.value  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Err[str]"
    if o.is_some:
        return o.value  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Nothing"
    return 0


def operators(r: Result[int, str]) -> None:
    print(r | (lambda v: v + 1))  # E[pyright,basedpyright]: reportUnknownLambdaType
    print(r >> (lambda v: "x" * v))  # E[pyright,basedpyright]: reportUnknownLambdaType
