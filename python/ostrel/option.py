"""Option values: ``Some(value)`` when present, ``Nothing()`` when absent."""

from __future__ import annotations

from ._native import core

Option = core.Option
Some = core.Some
Nothing = core.Nothing

__all__ = ["Option", "Some", "Nothing"]
