"""Native loops over many results or options; use them through ``ostrel``."""

from collections.abc import Iterable
from typing import TypeVar

from ostrel_core import Err, Nothing, Ok, Some

_T = TypeVar("_T")
_E = TypeVar("_E")

def collect(results: Iterable[Ok[_T] | Err[_E]], /) -> Ok[list[_T]] | Err[_E]:
    """``Ok`` of the list of the values, or the first ``Err`` itself; nothing after it is consumed."""

def partition(results: Iterable[Ok[_T] | Err[_E]], /) -> tuple[list[_T], list[Err[_E]]]:
    """The values of the ``Ok``s and the ``Err`` objects themselves, both in order."""

def collect_options(options: Iterable[Some[_T] | Nothing], /) -> Some[list[_T]] | Nothing:
    """``Some`` of the list of the values, or ``Nothing()`` at the first ``Nothing``."""

def somes(options: Iterable[Some[_T] | Nothing], /) -> list[_T]:
    """The values of the ``Some``s, in order; ``Nothing`` items are skipped."""

class UnwrapErrorBase(Exception):
    """Base of ``ostrel.UnwrapError``: its cause is the error of an ``Err`` container when
    that error is an exception."""
