"""Exceptions raised by ostrel."""

from __future__ import annotations

from typing import Any

__all__ = ["UnwrapError"]


class UnwrapError(Exception):
    """A payload was taken from the wrong variant (``Err(...).unwrap()``, ``Nothing().expect(...)``).

    ``container`` is the result or option that could not be unwrapped; ``msg`` is the
    message given to ``expect``/``expect_err``, or ``None``. The text is rendered only
    when the exception is printed, and a container whose ``repr`` fails is shown by its
    type name instead, so that a broken ``__repr__`` can never break the raise.
    """

    container: Any
    msg: str | None

    def __init__(self, container: Any, msg: str | None = None) -> None:
        if msg is None:
            super().__init__(container)
        else:
            super().__init__(container, msg)
        self.container = container
        self.msg = msg

    def __str__(self) -> str:
        try:
            shown = repr(self.container)
        except Exception:  # a failing repr must not hide the failure itself
            shown = f"<{type(self.container).__name__} object; repr() failed>"
        if self.msg is None:
            return f"unwrap failed on {shown}"
        return f"{self.msg}: {shown}"
