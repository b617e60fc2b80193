"""Module-level spellings that every type checker follows.

``is_ok``/``is_err``/``is_some``/``is_nothing`` narrow a ``Result`` or ``Option`` on
both branches of an ``if`` (and in comprehensions) in mypy, pyright and basedpyright.
``catch`` and ``from_optional`` call ``Result.catch`` and ``Option.from_optional``; they
exist because a type checker sees ``Result`` and ``Option`` as unions, which have no
class methods.

Each function here is typed in place (no separate stub) and has a docstring with an
example; new module-level helpers follow the same pattern.
"""

from __future__ import annotations

import sys
from collections.abc import Callable
from typing import Any, TypeVar, overload

from ._native import core
from .option import Nothing, Option, Some
from .result import Err, Ok, Result

if sys.version_info >= (3, 13):
    from typing import TypeIs
else:
    from typing_extensions import TypeIs

__all__ = ["is_ok", "is_err", "is_some", "is_nothing", "catch", "from_optional"]

_T = TypeVar("_T")
_E = TypeVar("_E")
_F = TypeVar("_F")
_X = TypeVar("_X", bound=BaseException)


def is_ok(r: Result[_T, _E]) -> TypeIs[Ok[_T, _E]]:
    """True when ``r`` is an ``Ok``; narrows ``r`` to ``Ok[T, E]``, and to ``Err[E, T]`` otherwise.

    Examples:
        >>> [r.value for r in (Ok(1), Err("e"), Ok(3)) if is_ok(r)]
        [1, 3]
    """
    return type(r) is Ok


def is_err(r: Result[_T, _E]) -> TypeIs[Err[_E, _T]]:
    """True when ``r`` is an ``Err``; narrows ``r`` to ``Err[E, T]``, and to ``Ok[T, E]`` otherwise.

    Examples:
        >>> [r.error for r in (Ok(1), Err("e")) if is_err(r)]
        ['e']
    """
    return type(r) is Err


def is_some(o: Option[_T]) -> TypeIs[Some[_T]]:
    """True when ``o`` is a ``Some``; narrows ``o`` to ``Some[T]``, and to ``Nothing[T]`` otherwise.

    Examples:
        >>> [o.value for o in (Some(1), Nothing()) if is_some(o)]
        [1]
    """
    return type(o) is Some


def is_nothing(o: Option[_T]) -> TypeIs[Nothing[_T]]:
    """True when ``o`` is ``Nothing()``; narrows ``o`` to ``Nothing[T]``, and to ``Some[T]`` otherwise.

    Examples:
        >>> is_nothing(Nothing()), is_nothing(Some(None))
        (True, False)
    """
    return type(o) is Nothing


@overload
def catch(fn_: Callable[[], _T], *, on_error: Callable[[Exception], _F]) -> Result[_T, _F]: ...
@overload
def catch(
    fn_: Callable[[], _T],
    *exceptions: type[_X] | tuple[type[_X], ...],
    on_error: Callable[[_X], _F],
) -> Result[_T, _F]: ...
def catch(
    fn_: Callable[[], _T],
    *exceptions: type[BaseException] | tuple[type[BaseException], ...],
    on_error: Callable[[Any], _F],
) -> Result[_T, _F]:
    """Call ``fn_()``: ``Ok`` of its result, or ``Err(on_error(exc))`` if it raises.

    Only the given exception classes are caught (``Exception`` when none are given);
    any other exception propagates unchanged. Same as ``Result.catch``.

    Examples:
        >>> catch(lambda: int("42"), ValueError, on_error=str)
        Ok(42)
        >>> catch(lambda: int("x"), ValueError, on_error=lambda exc: type(exc).__name__)
        Err('ValueError')
    """
    return core.Result.catch(fn_, *exceptions, on_error=on_error)


def from_optional(x: _T | None) -> Option[_T]:
    """``Nothing()`` when ``x is None``, ``Some(x)`` for any other value (``0`` and ``""`` too).

    Same as ``Option.from_optional``.

    Examples:
        >>> from_optional({"a": 1}.get("a")), from_optional({"a": 1}.get("b"))
        (Some(1), Nothing)
    """
    return core.Option.from_optional(x)
