"""The classes are per process: a sub-interpreter's import is refused, a re-import is not."""

import importlib.util

import pytest
from conftest import script_output

from ostrel._version import __version__

SUB = """
import sys, ostrel_core
try:
    import _interpreters as xi  # 3.13 and later
    interp = xi.create("legacy")
except ImportError:
    import _xxsubinterpreters as xi
    interp = xi.create(isolated=False) if sys.version_info >= (3, 12) else xi.create()
xi.run_string(interp, f'''
import os
try:
    import {sys.argv[1]}; result = "imported"
except ImportError as e:
    result = f"ImportError: {{e}}" + (f" <- {{e.__cause__}}" if e.__cause__ else "")
os.write(1, result.encode())''')
xi.destroy(interp)
"""
REIMPORT = """
import sys, ostrel_core as a
del sys.modules["ostrel_core"]
import ostrel_core as b
assert a is not b and b.__all__ == a.__all__ and all(getattr(a, n) is getattr(b, n) for n in a.__all__[1:])
print("same classes")
"""
REFUSED = "ostrel_core does not support sub-interpreters; import it from the main interpreter only"
USES = f"ostrel {__version__} cannot use its native module ostrel_core: "


@pytest.mark.parametrize("script, module, expected", [
    (SUB, "ostrel_core", f"ImportError: {REFUSED}"), (SUB, "ostrel", f"ImportError: {USES}{REFUSED} <- {REFUSED}"),
    (REIMPORT, "", "same classes")], ids=["sub-interpreter", "companion-in-sub-interpreter", "re-import"])
def test_per_process_classes(script, module, expected):
    if script is SUB and not any(importlib.util.find_spec(n) for n in ("_interpreters", "_xxsubinterpreters")):
        pytest.skip("this interpreter offers no sub-interpreters")
    assert script_output(script, module).strip() == expected
