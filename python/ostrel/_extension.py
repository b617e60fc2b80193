"""``ostrel._accel``, the package's own native helpers, found in the wheel or in a build tree."""

from __future__ import annotations

# ostrel_core is checked (installed, the right version, usable in this interpreter) before
# the helpers, which import it, are loaded: its refusal then reads as the package's own.
from . import _native  # noqa: F401  # pyright: ignore[reportUnusedImport]

try:
    from . import _accel as accel
except ImportError:  # pragma: no cover - a build tree ahead of the sources on sys.path
    # A development build keeps the extension in <build dir>/ostrel; let the package
    # look there as well, then try once more (a real failure still raises here).
    import pkgutil
    import sys

    _package = sys.modules[__package__ or "ostrel"]
    _package.__path__ = pkgutil.extend_path(list(_package.__path__), _package.__name__)
    from . import _accel as accel

__all__ = ["accel"]
