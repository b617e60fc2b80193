"""Option values: ``Some(value)`` when present, ``Nothing()`` when absent.

For the type checker ``Option[T]`` is the union ``Some[T] | Nothing[T]``, so that ``match``,
``isinstance`` and ``ostrel.is_some``/``is_nothing`` narrow it. At run time
``Option`` is the common base class of ``Some`` and ``Nothing``.
"""

from typing import TypeVar

from ostrel_core import Nothing as Nothing
from ostrel_core import Some as Some
from typing_extensions import TypeAlias

__all__ = ["Option", "Some", "Nothing"]

_T = TypeVar("_T")

Option: TypeAlias = Some[_T] | Nothing[_T]
"""``Some[T] | Nothing[T]``: a value that may be absent.

``match``, ``isinstance`` and ``ostrel.is_some``/``ostrel.is_nothing`` narrow it to one
variant; a method called on it returns the union of what each variant returns. Both
members know ``T``, so a lambda passed to a method gets ``T`` on each.
"""
