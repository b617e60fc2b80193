"""Every member of the six classes, on its success and error paths, leaves no leak behind."""

import inspect
import operator
import os

import pytest
from conftest import balanced, script_output
from ostrel_core import Err, Nothing, Ok, Option, Result, Some


class Boom(Exception):
    pass


class S(str):
    pass


class Evil:
    """A payload and callable whose every dunder raises; == with another Evil gives an Evil."""

    def _boom(self, *a, **k):
        Evil.raised = Boom("evil")
        raise Evil.raised

    __repr__ = __str__ = __hash__ = __bool__ = __call__ = __deepcopy__ = _boom
    __eq__ = lambda self, other: Evil() if isinstance(other, Evil) else self._boom()  # noqa: E731


EVIL, ID, NI = Evil(), (lambda *a: a[0] if a else None), (lambda *a: NotImplemented)
RECEIVERS = {
    Some: [Some(1), Some(EVIL)], Nothing: [Nothing()], Ok: [Ok(1), Ok(EVIL)],
    Err: [Err(1).note("n").traced("t"), Err(EVIL)], Option: [Option], Result: [Result],
}
# Argument sets: a trailing dict holds keywords; an int key names the method's n-th parameter.
FN = [(ID,), (EVIL,), (NI,), (), (ID, ID), ({0: ID},), (ID, {0: ID}), ({"nope": ID},)]
VAL = [(1,), (EVIL,), (), (1, 2), ({0: 1},), ({"nope": 1},)]
TEXT = [("m",), (S("m"),), (5,), (None,), ("\ud800",), (), ({0: "m"},)]
NOARG = [(), (1,)]
OTHERS = [1, ID, EVIL, NI, Some(EVIL), Ok(EVIL), Err(EVIL), Nothing()]
ROWS = {
    **dict.fromkeys("is_ok_and is_err_and unwrap_or_else map map_err and_then or_else inspect "
                    "inspect_err filter ok_or_else".split(), FN),
    **dict.fromkeys("unwrap_or ok_or wrap_err swap_err swap_ok".split(), VAL),
    **dict.fromkeys("expect expect_err note traced".split(), TEXT),
    **dict.fromkeys("unwrap_err to_option __reduce__ __copy__".split(), NOARG),
    "unwrap": [(), ({"err": "E"},), ({"note": "n"},), ({"err": EVIL, "note": "n"},),
               ({"note": 5},), (1,), ({"nope": 1},)],
    "fold": [(ID, ID), (EVIL, EVIL), (ID,), ({0: ID, 1: ID},)],
    "_with_meta": [(("a",),), (("a",), ("t",)), (["a"],), ((), ["t"]), ((S("a"),),), (), ((), (), 3)],
    "__deepcopy__": [({},), (), ({}, 1), ({0: {}},)],
    "from_optional": [(None,), (1,), (), ({0: 1},), (1, 2)],
    "__class_getitem__": [(int,), ((int, str),), ()],
    "catch": [(ID, {"on_error": ID}), (EVIL, {"on_error": ID}), (EVIL, Boom, {"on_error": EVIL}),
              (EVIL, KeyError, {"on_error": ID}), (EVIL, (KeyError, 5), {"on_error": ID}), (ID,), ()],
    "__new__": [(1,), (EVIL,), (), (1, 2), ({0: 1},), (1, {0: 1}), ({"nope": 1},)],
    **{n: [lambda r, o, n=n: getattr(r, n)] for n in "value error notes trace is_ok is_err ok err "
       "danger_ok danger_err is_some is_nothing some danger_some".split()},
    **{f"__{f.__name__}__": [lambda r, o, f=f: f(r)] for f in (repr, str, hash, bool, iter)},
    **{f"__{k.strip('_')}__": [getattr(operator, k)] for k in "eq ne lt le gt ge or_ rshift".split()},
    "__ror__": [lambda r, o: o | r], "__rrshift__": [lambda r, o: o >> r],
}
DATA = {"__doc__", "__module__", "__match_args__"}


def members(cls):
    return {n for k in cls.__mro__[:-1] for n in vars(k)} - DATA


CASES = [(c, n) for c in RECEIVERS for n in sorted(members(c))]


@pytest.mark.parametrize("cls", RECEIVERS, ids=lambda c: c.__name__)
def test_every_member_has_a_row(cls):
    assert members(cls) - ROWS.keys() == set()


def calls(receiver, name):
    """Thunks that drive one member through every row of its table."""
    if callable(ROWS[name][0]):  # properties and slots, through the interpreter's protocols
        return [lambda o=o: ROWS[name][0](receiver, o) for o in OTHERS + [receiver]]
    cls = receiver if isinstance(receiver, type) else type(receiver)
    fn = cls if name == "__new__" else getattr(receiver, name)
    params, out = list(inspect.signature(fn).parameters), []
    for row in ROWS[name]:
        args, kw = (row[:-1], row[-1]) if row and isinstance(row[-1], dict) else (row, {})
        kw = {params[k] if isinstance(k, int) else k: v for k, v in kw.items()}
        out.append(lambda a=args, k=kw: fn(*a, **k))
    return out


@pytest.mark.filterwarnings("ignore:NotImplemented should not be used:DeprecationWarning")
@pytest.mark.parametrize("cls,name", CASES, ids=[f"{c.__name__}.{n}" for c, n in CASES])
def test_member_does_not_leak(cls, name):
    thunks = [t for r in RECEIVERS[cls] for t in calls(r, name)]
    balanced(thunks, *RECEIVERS[cls], EVIL, ID, NI, n=int(os.environ.get("OSTREL_LEAK_ROUNDS", "150")))


@pytest.mark.filterwarnings("ignore:NotImplemented should not be used:DeprecationWarning")
@pytest.mark.parametrize("cls,name", CASES, ids=[f"{c.__name__}.{n}" for c, n in CASES])
def test_member_hands_on_what_user_code_raises(cls, name):  # the very exception, its traceback, no notes added
    for thunk in [t for r in RECEIVERS[cls] for t in calls(r, name)]:
        try:
            thunk()
        except Boom as e:
            tb = e.__traceback__
            while tb.tb_next:
                tb = tb.tb_next
            assert e is Evil.raised and tb.tb_frame.f_code is Evil._boom.__code__ and not getattr(e, "__notes__", 0)
        except Exception:
            pass


try:
    from _testcapi import set_nomemory  # noqa: F401 - only whether the interpreter offers it
except ImportError:
    set_nomemory = None
# Each member's success path with the k-th allocation failing (alone, then with every later one):
# the call does what it does unfailed or raises MemoryError, never aborts, and leaks nothing.
NOMEMORY = """
import gc, sys, warnings, _testcapi
warnings.simplefilter("ignore", DeprecationWarning)
from ostrel_core import Err
from test_leaks import RECEIVERS, calls, members
cls = next(c for c in RECEIVERS if c.__name__ == sys.argv[1])
receivers = [RECEIVERS[cls][0]] + [Err(1)._with_meta(tuple("n" * 30), tuple("t" * 30))] * (cls is Err)
def outcome(thunk, k=None, stop=0):
    if k is not None:
        _testcapi.set_nomemory(k, stop)
    try:
        thunk()
    except BaseException as e:
        _testcapi.remove_mem_hooks()
        # the interpreter's own unwinding loses an exception when the traceback cannot be made
        return MemoryError if e.args == ("error return without exception set",) else type(e)
    _testcapi.remove_mem_hooks()
    return None
for name in sorted(members(cls) & set(sys.argv[2:] or members(cls))):  # or only the members named
    print(name, flush=True)
    thunks = [calls(r, name)[0] for r in receivers]
    bad = []
    def sweep():
        for thunk in thunks:
            usual = outcome(thunk)
            for k in range(1000):
                got = [outcome(thunk, k, stop) for stop in (k + 1, 0)]
                bad.extend((k, g) for g in got if g not in (usual, MemoryError))
                if k >= 40 and got[1] == usual:  # failing every allocation from the k-th on changed nothing
                    break
    for _ in range(10):
        sweep()
    refs, growth = [sys.getrefcount(r) for r in receivers], []
    for _ in range(4):  # the interpreter's own caches settle; a leak grows in every window
        gc.collect()
        blocks = sys.getallocatedblocks()
        for _ in range(10):
            sweep()
        gc.collect()
        growth.append(sys.getallocatedblocks() - blocks)
    assert not bad and min(growth) < 5 and refs == [sys.getrefcount(r) for r in receivers], (name, bad[:5], growth)
print("clean")
"""


@pytest.mark.skipif(set_nomemory is None, reason="this interpreter's _testcapi cannot make allocations fail")
@pytest.mark.filterwarnings("ignore:NotImplemented should not be used:DeprecationWarning")
@pytest.mark.parametrize("cls", RECEIVERS, ids=lambda c: c.__name__)
def test_members_under_allocation_failure(cls):
    assert script_output(NOMEMORY, cls.__name__, timeout=600).endswith("clean\n")
