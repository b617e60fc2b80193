"""Result values: ``Ok(value)`` for success, ``Err(error)`` for failure."""

from __future__ import annotations

from typing import Any

from ._native import core

Result = core.Result
Ok = core.Ok
Err = core.Err

__all__ = ["Result", "Ok", "Err"]


def _rebuild_err(error: Any, notes: tuple[Any, ...], trace: tuple[Any, ...]) -> Any:  # pyright: ignore[reportUnusedFunction]
    """Unpickle an ``Err`` together with its notes and trace."""
    return Err(error)._with_meta(notes, trace)
