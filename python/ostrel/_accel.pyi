"""Native loops over many results or options; use them through ``ostrel``."""

from collections.abc import Iterable
from typing import TypeVar

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
