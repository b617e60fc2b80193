"""``propagate``: record each hop of an error return in the ``Err``'s trace."""

from __future__ import annotations

import functools
import inspect
from typing import Any, Callable, TypeVar, overload

from .result import Err

__all__ = ["propagate"]

F = TypeVar("F", bound=Callable[..., Any])


def _traced(returned: Any, site: str) -> Any:
    # Only an Err gains a hop; an Ok or any other object is handed back as is.
    return returned.traced(site) if isinstance(returned, Err) else returned


def _decorate(fn: F, site: str | None) -> F:
    where = site if site is not None else fn.__qualname__
    if inspect.iscoroutinefunction(fn):

        @functools.wraps(fn)
        async def async_wrapper(*args: Any, **kwargs: Any) -> Any:
            return _traced(await fn(*args, **kwargs), where)

        return async_wrapper  # type: ignore[return-value]

    @functools.wraps(fn)
    def wrapper(*args: Any, **kwargs: Any) -> Any:
        return _traced(fn(*args, **kwargs), where)

    return wrapper  # type: ignore[return-value]


@overload
def propagate(fn_or_site: F, /) -> F: ...
@overload
def propagate(fn_or_site: str, /) -> Callable[[F], F]: ...
def propagate(fn_or_site: Any, /) -> Any:
    """Append a trace site to every ``Err`` that the decorated function returns.

    ``@propagate`` names the site after the function's ``__qualname__``;
    ``@propagate("load config")`` names it explicitly. ``Ok`` values and anything
    that is not a result are returned unchanged, the very same object. Coroutine
    functions get an ``async`` wrapper. Stacked over several calls, the trace reads
    innermost site first: ``Err(...; via parse <- load <- main)``.
    """
    if isinstance(fn_or_site, str):
        site = fn_or_site
        return lambda fn: _decorate(fn, site)
    if not callable(fn_or_site):
        raise TypeError(f"propagate() takes a function or a site name, not {type(fn_or_site).__name__}")
    return _decorate(fn_or_site, None)
