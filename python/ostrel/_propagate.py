"""``propagate``: record each hop of an error return in the ``Err``'s trace, and return early.

The synchronous wrapper is ``ostrel._accel.Propagated`` (src/accel/propagated.cpp); this
module decides, when an unwrap fails, whether the failure was the body's own.

Inside a decorated function, an unwrap that fails in the function's own body returns the
failing ``Err`` from the function instead of raising (Rust's ``?`` operator). An unwrap
that fails deeper down, in a function that is not itself decorated, still raises: that
is a bug, not a result.
"""

from __future__ import annotations

import functools
import inspect
from types import CodeType, TracebackType
from collections.abc import Iterator
from typing import Any, Callable, TypeVar, cast, overload

from ._exceptions import UnwrapError
from ._extension import accel
from .option import Nothing
from .result import Err

__all__ = ["propagate"]

F = TypeVar("F", bound=Callable[..., Any])

# Comprehensions and generator expressions run in frames of their own on some versions
# (generator expressions on all of them); an unwrap written in one is still the body's.
_COMPREHENSIONS = frozenset({"<listcomp>", "<setcomp>", "<dictcomp>", "<genexpr>"})


def _chain(fn: Any, *, into_call: bool = False) -> Iterator[Any]:
    """``fn``, then what it wraps: a partial's function, a wrapper's ``__wrapped__`` and, with
    ``into_call``, a callable instance's ``__call__``; at most 100 links."""
    for _ in range(100):
        yield fn
        if isinstance(fn, functools.partial):
            fn = fn.func
        elif hasattr(fn, "__wrapped__"):
            fn = fn.__wrapped__
        elif into_call and not isinstance(fn, type) and callable(fn):
            fn = type(fn).__call__
        else:
            return


def _site_of(fn: Any) -> str:
    """The trace site of a callable: its qualified name, a partial's or wrapper's function's, else its class's."""
    last = fn
    for last in _chain(fn):
        name = getattr(last, "__qualname__", None)
        if isinstance(name, str):
            return name
    return type(last).__qualname__


def _body_code(fn: Any) -> CodeType | None:
    """The code object whose frame runs the body of ``fn``, or ``None`` if it has none."""
    for link in _chain(fn, into_call=True):
        code = getattr(link, "__code__", None)
        if isinstance(code, CodeType):
            return code
    return None


def _own_codes(body: CodeType) -> frozenset[CodeType]:
    """The comprehensions and generator expressions written in ``body`` (nested ones too)."""
    found: set[CodeType] = set()
    pending = [body]
    while pending:
        for const in pending.pop().co_consts:
            if isinstance(const, CodeType) and const.co_name in _COMPREHENSIONS and const not in found:
                found.add(const)
                pending.append(const)
    return frozenset(found)


def _is_own(tb: TracebackType | None, body: CodeType, nested: frozenset[CodeType]) -> bool:
    """Whether a traceback that starts where the wrapper called the decorated callable ends in the body itself.

    There must be the body's frame and below it only frames of the body's own
    comprehensions (``unwrap`` is a C method and adds no frame of its own).
    """
    if tb is None or tb.tb_frame.f_code is not body:
        return False
    below = tb.tb_next
    while below is not None:
        if below.tb_frame.f_code not in nested:
            return False
        below = below.tb_next
    return True


def _early_return(
    exc: UnwrapError, tb: TracebackType | None, body: CodeType | None, nested: frozenset[CodeType], site: str
) -> Any:
    """What the wrapper returns for an unwrap failure whose traceback from the wrapper's call on is ``tb``,
    or ``None`` to raise it on."""
    if body is None or not _is_own(tb, body, nested):
        return None
    container = exc.container
    kind = type(container)  # pyright: ignore[reportUnknownVariableType] - compared, never narrowed
    if kind is Err:
        msg = exc.msg
        if isinstance(msg, str):
            container = container.note(msg)
        return container.traced(site)
    if kind is Nothing:
        return container
    return None  # an Ok or Some: unwrap_err/expect_err failed, a bug to report


def _decorate(fn: F, site: str | None) -> F:
    if isinstance(fn, (classmethod, staticmethod)):
        # Wrap the function inside, and keep the kind of method: in either order of the
        # decorators the wrapper then receives the arguments the function expects.
        method = cast(Any, fn)
        return cast(F, type(method)(_decorate(method.__func__, site)))
    if not callable(fn):
        raise TypeError(f"propagate() takes a function or a site name, not {type(fn).__qualname__}")
    where = site if site is not None else _site_of(fn)
    body = _body_code(fn)
    nested = _own_codes(body) if body is not None else frozenset[CodeType]()

    if inspect.iscoroutinefunction(fn):

        @functools.wraps(fn)
        async def async_wrapper(*args: Any, **kwargs: Any) -> Any:
            try:
                returned = await fn(*args, **kwargs)
            except UnwrapError as exc:
                # The traceback starts at this frame; the call of fn is the entry below it.
                tb = exc.__traceback__
                early = _early_return(exc, tb.tb_next if tb is not None else None, body, nested, where)
                if early is None:
                    raise
                return early
            return returned.traced(where) if type(returned) is Err else returned  # pyright: ignore[reportUnknownVariableType]

        return async_wrapper  # type: ignore[return-value]

    def early(exc: UnwrapError) -> Any:
        # Called by the native wrapper, which has no frame: the traceback starts at fn's call.
        return _early_return(exc, exc.__traceback__, body, nested, where)

    # Native: the call, the type test of what fn returns and the trace of an Err cost no
    # Python; Python runs again only on an unwrap failure, in early().
    return functools.update_wrapper(accel.Propagated(fn, where, UnwrapError, early), fn)  # type: ignore[return-value]


@overload
def propagate(fn_or_site: F, /) -> F: ...
@overload
def propagate(fn_or_site: str, /) -> Callable[[F], F]: ...
def propagate(fn_or_site: Any, /) -> Any:
    """Append a trace site to every ``Err`` that the decorated function returns, and return early.

    ``@propagate`` names the site after the function's ``__qualname__`` (a
    ``functools.partial`` after its function's, a callable instance after its class's);
    ``@propagate("load config")`` names it explicitly. ``Ok`` values and anything that is
    not a result are returned unchanged, the very same object. Coroutine functions get an
    ``async`` wrapper, other callables a native one, which costs less than a one-line
    Python wrapper; both bind as methods, and work above or below ``classmethod`` and
    ``staticmethod``. Stacked over several calls, the trace reads innermost site first:
    ``Err(...; via parse <- load <- main)``.

    Early return: in the decorated function's own body (its comprehensions included),
    ``r.unwrap()`` or ``r.expect(msg)`` on an ``Err``, or ``r.unwrap(err=..., note=...)``
    on either family, returns the failing ``Err`` from the function (traced with its
    site; ``expect``'s message becomes a note); ``Nothing().unwrap()`` returns
    ``Nothing()``. Unwraps that fail in called functions that are not themselves
    decorated, and ``unwrap_err``/``expect_err`` failures, still raise ``UnwrapError``.
    """
    if isinstance(fn_or_site, str):
        site = fn_or_site

        def decorate(fn: F) -> F:
            return _decorate(fn, site)

        return decorate
    return _decorate(fn_or_site, None)
