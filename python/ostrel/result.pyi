"""Result values: ``Ok(value)`` for success, ``Err(error)`` for failure.

For the type checker ``Result[T, E]`` is the union ``Ok[T, E] | Err[E, T]``, so that ``match``,
``isinstance`` and ``ostrel.is_ok``/``is_err`` narrow it. At run time ``Result``
is the common base class of ``Ok`` and ``Err``.
"""

from typing import TypeVar

from ostrel_core import Err as Err
from ostrel_core import Ok as Ok
from typing_extensions import TypeAlias

__all__ = ["Result", "Ok", "Err"]

_T = TypeVar("_T")
_E = TypeVar("_E")

Result: TypeAlias = Ok[_T, _E] | Err[_E, _T]
"""``Ok[T, E] | Err[E, T]``: the outcome of an operation that can fail.

``match``, ``isinstance`` and ``ostrel.is_ok``/``ostrel.is_err`` narrow it to one
variant; a method called on it returns the union of what each variant returns. Both
members know both types, so a lambda passed to a method gets ``T`` (or ``E``) on each.
"""

def _rebuild_err(error: _E, notes: tuple[str, ...], trace: tuple[str, ...]) -> Err[_E]:
    """Unpickle an ``Err`` together with its notes and trace."""
