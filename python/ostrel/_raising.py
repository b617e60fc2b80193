"""``unwrap_or_raise``: leave the world of results at the program's edge."""

from __future__ import annotations

import sys
from typing import Any, TypeVar

from .result import Err, Ok

__all__ = ["unwrap_or_raise"]

T = TypeVar("T")


def _context_lines(err: Any) -> list[str]:
    """The ``Err``'s notes, then one line for its trace (innermost site first)."""
    lines = list(err.notes)
    if err.trace:
        lines.append("via " + " <- ".join(err.trace))
    return lines


def _add_notes(error: BaseException, lines: list[str]) -> None:
    """Add each line that the exception does not carry yet as an exception note."""
    found: Any = getattr(error, "__notes__", None)
    if found is not None and not isinstance(found, list):
        return  # notes of someone else's making; leave them alone
    existing: list[Any] = [] if found is None else found  # pyright: ignore[reportUnknownVariableType]
    for line in lines:
        if line in existing:
            continue
        if sys.version_info >= (3, 11):
            error.add_note(line)
            existing = error.__notes__  # the list add_note made or extended
        else:  # the traceback printer of 3.10 ignores __notes__, but the notes stay readable
            existing.append(line)
            error.__notes__ = existing  # type: ignore[attr-defined]


def unwrap_or_raise(result: Ok[T, object] | Err[object, T]) -> T:
    """The value of an ``Ok``; for an ``Err``, raise.

    An ``Err`` whose error is an exception raises that exception, with the ``Err``'s
    notes and a line for its trace (``via parse <- load <- main``) added as exception
    notes, so that an ordinary traceback shows the context; a note the exception
    already carries is not added again. An ``Err`` whose error is not an exception
    raises ``UnwrapError`` as ``unwrap()`` does. Anything else is a ``TypeError``.
    """
    if type(result) is Ok:
        return result.value
    if type(result) is not Err:
        raise TypeError(f"unwrap_or_raise() takes an Ok or Err, not {type(result).__qualname__}")
    error = result.error
    if isinstance(error, BaseException):
        _add_notes(error, _context_lines(result))
        raise error
    result.unwrap()  # an error that is no exception: raises UnwrapError
    raise AssertionError("Err.unwrap() returned")  # unreachable
