"""Native loops over many results or options, and the ``propagate`` wrapper; use them through ``ostrel``."""

from collections.abc import Callable, Iterable
from typing import Any, TypeVar, final

from ostrel_core import Err

from ostrel.option import Option
from ostrel.result import Result

_T = TypeVar("_T")
_E = TypeVar("_E")

def collect(results: Iterable[Result[_T, _E]], /) -> Result[list[_T], _E]:
    """``Ok`` of the list of the values, or the first ``Err`` itself; nothing after it is consumed."""

def partition(results: Iterable[Result[_T, _E]], /) -> tuple[list[_T], list[Err[_E, _T]]]:
    """The values of the ``Ok``s and the ``Err`` objects themselves, both in order."""

def collect_options(options: Iterable[Option[_T]], /) -> Option[list[_T]]:
    """``Some`` of the list of the values, or ``Nothing()`` at the first ``Nothing``."""

def somes(options: Iterable[Option[_T]], /) -> list[_T]:
    """The values of the ``Some``s, in order; ``Nothing`` items are skipped."""

class UnwrapErrorBase(Exception):
    """Base of ``ostrel.UnwrapError``: its cause is the error of an ``Err`` container when
    that error is an exception."""

@final
class Propagated:
    """The wrapper that ``ostrel.propagate`` puts around a function that is not a coroutine
    function: it calls ``fn`` with the arguments as given and adds ``site`` to the trace of
    an ``Err`` it returns; on an exception of class ``caught`` it returns ``early(exc)``
    instead, unless that is ``None``. It binds as a method, and pickles by reference."""

    def __new__(
        cls, fn: Callable[..., object], site: str, caught: type[BaseException], early: Callable[[Any], object], /
    ) -> Propagated:
        """A wrapper of ``fn``; ``functools.update_wrapper`` then gives it ``fn``'s attributes."""

    def __call__(self, *args: Any, **kwargs: Any) -> Any:
        """``fn(*args, **kwargs)``, an ``Err`` traced with ``site``, or ``early(exc)`` for a ``caught`` exception."""

    def __get__(self, instance: object, owner: type | None = None, /) -> Any:
        """The wrapper itself from a class (or for ``None``), a bound method from an instance."""

    def __reduce__(self) -> str:
        """The wrapper's ``__qualname__``: it is pickled by reference, as a function is."""
