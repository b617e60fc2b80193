"""``catching``: a decorator that turns the exceptions of a function into ``Err`` values."""

from __future__ import annotations

import functools
import inspect
from collections.abc import Callable, Coroutine
from typing import Any, Generic, ParamSpec, Protocol, TypeVar, overload

from .result import Err, Ok, Result

__all__ = ["catching"]

P = ParamSpec("P")
R = TypeVar("R")
E = TypeVar("E")
X = TypeVar("X", bound=BaseException)
E_co = TypeVar("E_co", covariant=True)

_Targets = type[X] | tuple[Any, ...]


class Catching(Protocol, Generic[E_co]):
    """The decorator that ``catching(...)`` returns: plain and ``async def`` functions alike."""

    @overload
    def __call__(  # type: ignore[overload-overlap]
        self, fn: Callable[P, Coroutine[Any, Any, R]], /
    ) -> Callable[P, Coroutine[Any, Any, Result[R, E_co]]]: ...
    @overload
    def __call__(self, fn: Callable[P, R], /) -> Callable[P, Result[R, E_co]]: ...


def _flatten(targets: tuple[Any, ...]) -> tuple[type[BaseException], ...]:
    """The exception classes that ``targets`` matches, as one flat tuple.

    Nested tuples are searched as ``except`` searches them; an entry that is not an
    exception class is accepted and never matches, as in ``Result.catch``.
    """
    flat: list[type[BaseException]] = []
    pending: list[Any] = [targets]
    while pending:
        entry = pending.pop()
        if isinstance(entry, tuple):
            items: tuple[Any, ...] = entry  # pyright: ignore[reportUnknownVariableType]
            pending.extend(reversed(items))
        elif isinstance(entry, type) and issubclass(entry, BaseException):
            flat.append(entry)
    return tuple(flat)


@overload
def catching(*, on_error: None = None) -> Catching[Exception]: ...
@overload
def catching(*, on_error: Callable[[Exception], E]) -> Catching[E]: ...
@overload
def catching(exception: _Targets[X], /, *exceptions: _Targets[X], on_error: None = None) -> Catching[X]: ...
@overload
def catching(exception: _Targets[X], /, *exceptions: _Targets[X], on_error: Callable[[X], E]) -> Catching[E]: ...
def catching(*exceptions: Any, on_error: Callable[[Any], Any] | None = None) -> Any:
    """Decorate a function so that a call returns ``Ok(value)`` or ``Err(...)`` for an exception.

    ``@catching(KeyError, ValueError)`` catches those classes (nested tuples are
    searched; with no class given, ``Exception``); the ``Err`` holds the exception
    itself, or ``on_error(exception)`` when ``on_error`` is given. Exceptions outside the
    targets, ``KeyboardInterrupt`` and ``SystemExit`` among them by default, pass through
    unchanged, and so does an exception raised by ``on_error``. The matching rules are
    those of ``Result.catch``. ``async def`` functions get an ``async`` wrapper; the
    decorated function keeps its parameters, name and docstring.
    """
    targets = _flatten(exceptions) if exceptions else (Exception,)

    def decorate(fn: Callable[..., Any]) -> Callable[..., Any]:
        if not callable(fn):
            raise TypeError(f"catching() decorates a function, not {type(fn).__qualname__}")
        if inspect.iscoroutinefunction(fn):

            @functools.wraps(fn)
            async def async_wrapper(*args: Any, **kwargs: Any) -> Any:
                try:
                    value = await fn(*args, **kwargs)
                except targets as exc:
                    return Err(exc if on_error is None else on_error(exc))
                return Ok(value)

            return async_wrapper

        @functools.wraps(fn)
        def wrapper(*args: Any, **kwargs: Any) -> Any:
            try:
                value = fn(*args, **kwargs)
            except targets as exc:
                return Err(exc if on_error is None else on_error(exc))
            return Ok(value)

        return wrapper

    return decorate

