"""Exceptions raised by ostrel."""

from __future__ import annotations

from typing import Any

__all__ = ["UnwrapError"]

from ._extension import accel


class UnwrapError(accel.UnwrapErrorBase):
    """A payload was taken from the wrong variant (``Err(...).unwrap()``, ``Nothing().expect(...)``).

    Raised as ``UnwrapError(container)`` or ``UnwrapError(container, msg)``.
    ``container`` is the result or option that could not be unwrapped; ``msg`` is the
    message given to ``expect``/``expect_err``, or ``None``. Both are read from
    ``args``, so raising costs no more than a built-in exception. The text is rendered
    only when the exception is printed, and a container whose ``repr`` fails is shown
    by its type name instead, so that a broken ``__repr__`` can never break the raise.

    When the container is an ``Err`` whose error is an exception, that exception is the
    ``UnwrapError``'s ``__cause__``, so a traceback shows the original failure first.
    """

    @property
    def container(self) -> Any:
        """The result or option that could not be unwrapped."""
        return self.args[0] if self.args else None

    @property
    def msg(self) -> str | None:
        """The message given to ``expect``/``expect_err``, or ``None``."""
        return self.args[1] if len(self.args) > 1 else None

    def __str__(self) -> str:
        try:
            shown = repr(self.container)
        except Exception:  # a failing repr must not hide the failure itself
            shown = f"<{type(self.container).__name__} object; repr() failed>"
        if self.msg is None:
            return f"unwrap failed on {shown}"
        return f"{self.msg}: {shown}"
