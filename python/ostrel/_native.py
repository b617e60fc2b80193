"""The native module, checked against this package's version before any use."""

from __future__ import annotations

from ._impl import native_version
from ._version import __version__

try:
    _found = native_version()
except ImportError as _exc:  # present but refusing to load: its own reason comes first
    raise ImportError(f"ostrel {__version__} cannot use its native module ostrel_core: {_exc}") from _exc
if _found != __version__:
    raise ImportError(
        f"ostrel {__version__} needs its native module ostrel_core {__version__}, "
        + ("but it is not installed" if _found is None else f"but found ostrel_core {_found}")
        + "; rebuild and reinstall it with: python3 -m pip install --force-reinstall ."
    )

import ostrel_core as core  # noqa: E402

__all__ = ["core"]
