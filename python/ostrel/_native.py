"""The native module, checked against this package's version before any use."""

from __future__ import annotations

from ._impl import native_active, native_version
from ._version import __version__

if not native_active():
    _found = native_version()
    raise ImportError(
        f"ostrel {__version__} needs its native module ostrel_core {__version__}, "
        + ("but it is not installed" if _found is None else f"but found ostrel_core {_found}")
        + "; rebuild and reinstall it with: python3 -m pip install --force-reinstall ."
    )

import ostrel_core as core  # noqa: E402

__all__ = ["core"]
