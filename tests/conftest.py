"""Helpers shared by the test modules."""

import contextlib
import gc
import subprocess
import sys
import textwrap


def balanced(fns, *watched, n=1000, slack=64):
    """Call ``fns()`` (or each of a list of functions) ``n`` times, swallowing Exceptions, and assert that neither
    allocated blocks (within ``slack``) nor the reference count of any ``watched`` non-immortal object grew.

    3.14t holds some freed blocks back for a while: a few thousand at most, however many
    calls were made, where a leak grows with the calls. So when the blocks grew, up to three
    runs of ``16 * n`` calls decide: one that leaves less than a block per two calls passes."""
    watched, fns = [o for o in watched if sys.getrefcount(o) < 1 << 30], fns if isinstance(fns, list) else [fns]

    def run(k):
        for _ in range(k):
            for fn in fns:
                with contextlib.suppress(Exception):
                    fn()

    def grown(k):
        gc.collect()
        blocks = sys.getallocatedblocks()  # first: under PYTHONMALLOC=malloc it is the int 0
        refs = [sys.getrefcount(o) for o in watched]
        run(k)
        gc.collect()
        assert [sys.getrefcount(o) for o in watched] == refs, "reference leak"
        return sys.getallocatedblocks() - blocks

    run(20)
    if grown(n) >= slack:
        left = []
        while len(left) < 3 and (not left or left[-1] >= 8 * n):
            left.append(grown(16 * n))
        assert left[-1] < 8 * n, f"memory leak: {left} blocks left by runs of {16 * n} calls"


def raised(fn):
    """The exception that ``fn()`` raises (the test fails if it returns)."""
    try:
        fn()
    except BaseException as e:  # noqa: BLE001 - InternalFailure is a BaseException
        return e
    raise AssertionError("no exception raised")


def processing_notes(name):
    """The ``__notes__`` a conversion error of parameter ``name`` carries here."""
    return [f"while processing '{name}'"] if sys.version_info >= (3, 11) else None  # BaseException.add_note


def run_script(code, *args, timeout=60, **options):
    """Run ``code`` in a fresh interpreter; the finished process (a hang fails the calling test)."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code), *args], capture_output=True, text=True,
                          timeout=timeout, cwd=__file__.rpartition("/")[0], **options)


def script_output(code, *args, **options):
    """What ``code`` prints in a fresh interpreter, which must exit normally."""
    proc = run_script(code, *args, **options)
    assert proc.returncode == 0, proc.stdout[-300:] + proc.stderr[-3000:]
    return proc.stdout


# Script prologue: the import of ostrel._exceptions sleeps for sys.argv[1] seconds.
SLOW_IMPORT = """
import importlib.machinery, sys, threading, time
class SlowFinder:
    @staticmethod
    def find_spec(name, path=None, target=None):
        if name != "ostrel._exceptions":
            return None
        spec = importlib.machinery.PathFinder.find_spec(name, path)
        run = spec.loader.exec_module
        spec.loader.exec_module = lambda module: (time.sleep(float(sys.argv[1])), run(module))
        return spec
sys.meta_path.insert(0, SlowFinder)
"""
