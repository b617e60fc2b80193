"""Selection of the native backend."""

from __future__ import annotations

from ._version import __version__

__all__ = ["native_active", "native_version"]


def native_version() -> str | None:
    """The ``__version__`` of ``ostrel_core``, or ``None`` if it is not installed.

    Only a missing ``ostrel_core`` counts as not installed: any other ``ImportError`` raised
    while importing it (for example its refusal to load into a sub-interpreter) propagates.
    """
    try:
        import ostrel_core
    except ModuleNotFoundError as exc:
        if exc.name != "ostrel_core":
            raise
        return None
    return getattr(ostrel_core, "__version__", None)


def native_active() -> bool:
    """True when ``ostrel_core`` imports and its version is exactly this package's."""
    return native_version() == __version__
