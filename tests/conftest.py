"""Helpers shared by the test modules."""

import gc
import sys

NOTES_SUPPORTED = sys.version_info >= (3, 11)  # BaseException.add_note


def balanced(fn, *watched, n=1000, slack=64):
    """Call ``fn()`` ``n`` times and assert that nothing leaked.

    Exceptions derived from ``Exception`` are swallowed, so failure paths can be driven
    too. After a warm-up (caches, specialisation) and a ``gc.collect()``,
    ``sys.getallocatedblocks()`` must come back to within ``slack`` blocks of its start
    and ``sys.getrefcount()`` of every object in ``watched`` exactly to its start (immortal
    objects such as ``None`` on 3.12+ are skipped): a leak of one block or reference per
    call shows up as ``n`` of them.
    """
    watched = [o for o in watched if sys.getrefcount(o) < 1 << 30]

    def run(k):
        for _ in range(k):
            try:
                fn()
            except Exception:
                pass

    run(20)
    gc.collect()
    blocks = sys.getallocatedblocks()  # first: under PYTHONMALLOC=malloc it is the int 0
    refs = [sys.getrefcount(o) for o in watched]
    run(n)
    gc.collect()
    assert [sys.getrefcount(o) for o in watched] == refs, "reference leak"
    assert sys.getallocatedblocks() - blocks < slack, "memory leak"


def raised(fn):
    """The exception that ``fn()`` raises (the test fails if it returns)."""
    try:
        fn()
    except BaseException as e:  # noqa: BLE001 - InternalFailure is a BaseException
        return e
    raise AssertionError("no exception raised")


def processing_notes(name):
    """The ``__notes__`` a conversion error of parameter ``name`` carries here."""
    return [f"while processing '{name}'"] if NOTES_SUPPORTED else None
