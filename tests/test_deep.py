"""A million nested values: every operation succeeds or raises RecursionError, and none crashes."""

from conftest import script_output

SCRIPT = """
import copy, gc, pickle, sys
from ostrel_core import Err, Nothing, Ok, Some
def chain(kinds):
    x = Nothing()
    for i in range(1_000_000):
        x = kinds[i % len(kinds)](x)
    return x
for kinds in [(Some, Ok, Err), (Some,), (Err,)]:
    x, y = chain(kinds), chain(kinds)
    for name, op in [("hash", hash), ("repr", repr), ("str", str), ("eq", lambda v: v == y),
                     ("ne", lambda v: v != y), ("pickle", pickle.dumps), ("deepcopy", copy.deepcopy),
                     ("gc", lambda v: gc.collect())]:
        print(kinds[-1].__name__, name, flush=True)
        try:
            op(x)
        except RecursionError:
            pass
    del x, y
    print("released", flush=True)
"""


def test_deep_chains_do_not_crash():
    assert script_output(SCRIPT, timeout=300).count("released") == 3
