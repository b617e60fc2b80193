"""Result values: ``Ok(value)`` for success, ``Err(error)`` for failure.

For the type checker ``Result[T, E]`` is the union ``Ok[T] | Err[E]``, so that ``match``,
``isinstance`` and the ``is_ok``/``is_err`` properties narrow it. At run time ``Result``
is the common base class of ``Ok`` and ``Err``.
"""

from typing import TypeVar

from ostrel_core import Err as Err
from ostrel_core import Ok as Ok
from typing_extensions import TypeAlias

__all__ = ["Result", "Ok", "Err"]

_T = TypeVar("_T")
_E = TypeVar("_E")

Result: TypeAlias = Ok[_T] | Err[_E]

def _rebuild_err(error: _E, notes: tuple[str, ...], trace: tuple[str, ...]) -> Err[_E]: ...
