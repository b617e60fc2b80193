"""ostrel: explicit, typed, fast Result and Option values for Python.

``Ok``/``Err`` carry the outcome of an operation that can fail, ``Some``/``Nothing`` a
value that may be absent. Errors gather context on their way up (``note``,
``wrap_err``, ``traced``) and are taken out only where the caller wants them.
``is_ok``/``is_err``/``is_some``/``is_nothing`` narrow in every type checker, and
``catch``/``from_optional`` build a result or an option from code that raises or returns
``None``.
"""

from __future__ import annotations

from ._exceptions import UnwrapError
from ._propagate import propagate
from ._typed import catch, from_optional, is_err, is_nothing, is_ok, is_some
from ._version import __version__
from .option import Nothing, Option, Some
from .result import Err, Ok, Result

__all__ = [
    "__version__",
    "Result",
    "Ok",
    "Err",
    "Option",
    "Some",
    "Nothing",
    "UnwrapError",
    "propagate",
    "is_ok",
    "is_err",
    "is_some",
    "is_nothing",
    "catch",
    "from_optional",
]

# Everyday use: early return (in propagate), many results at once, catching, raising.
from ._catching import catching  # noqa: E402
from ._many import collect, collect_options, partition, somes  # noqa: E402
from ._raising import unwrap_or_raise  # noqa: E402

__all__ += ["collect", "partition", "collect_options", "somes", "catching", "unwrap_or_raise"]
