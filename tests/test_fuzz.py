"""Every member called with every shape of arguments and at random: each returns or raises an Exception,
binding errors word for word.

A long session: OSTREL_FUZZ_EXAMPLES=100000 python3 -m pytest -q tests/test_fuzz.py
"""

import contextlib
import copy
import inspect
import operator
import os
import pickle
import types
import warnings

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from ostrel_core import Err, Nothing, Ok, Option, Result, Some
from test_leaks import EVIL, ID, NI, RECEIVERS, Boom, S, members

FUZZ = settings(max_examples=int(os.environ.get("OSTREL_FUZZ_EXAMPLES", "300")), deadline=None,
                database=None, suppress_health_check=list(HealthCheck))


class T(tuple):
    pass


def deep(n):
    x = Nothing()
    for i in range(n):
        x = (Some, Ok, Err)[i % 3](x)
    return x


PARAMS = "fn_ _fn pred msg _msg site err note notes trace memo _memo value x on_error".split()
ODD = [EVIL, ID, NI, Boom, KeyError, (KeyError, 5), S("m"), T(("a",)), Some(1), Nothing(), Ok(2),
       Err(3), deep(3000), list(range(10**5)), "x" * 10**6, Some, Option, Err, None, ()]
text = st.text(st.characters(codec=None, exclude_categories=()), max_size=8)
leaf = st.one_of(st.integers(), st.floats(), st.booleans(), text, st.binary(max_size=8), st.builds(dict),
                 st.integers(0, len(ODD) - 1).map(lambda i: ODD[i]))
values = st.recursive(leaf, lambda c: st.one_of(
    st.lists(c, max_size=3), st.lists(c, max_size=3).map(T), st.builds(S, text),
    *(st.builds(k, c) for k in (Some, Ok, Err))), max_leaves=8)
keys = st.one_of(st.sampled_from(PARAMS), text, st.sampled_from(PARAMS).map(S))
POOL = [r for rs in RECEIVERS.values() for r in rs] + [Some, Nothing, Ok, Err]
receivers = st.integers(0, len(POOL) - 1).map(lambda i: POOL[i])
CALLS = [(r, n) for r in POOL for n in sorted(members(r if isinstance(r, type) else type(r)))]


def name_list(names):
    q = [f"'{n}'" for n in names]
    return " and ".join(q) if len(q) < 3 else ", ".join(q[:-1]) + ", and " + q[-1]


def binding_error(fn, full, nargs, kwargs):
    """The TypeError text binding must produce, or None when the arguments bind."""
    ps = list(inspect.signature(fn).parameters.values())
    if not ps or any(p.kind == p.VAR_KEYWORD for p in ps):
        return None
    pos = [p.name for p in ps if p.kind == p.POSITIONAL_OR_KEYWORD]
    req = [p.name for p in ps if p.kind == p.POSITIONAL_OR_KEYWORD and p.default is p.empty]
    kwo = [p.name for p in ps if p.kind == p.KEYWORD_ONLY]
    if nargs > len(pos) and not any(p.kind == p.VAR_POSITIONAL for p in ps):
        span = len(pos) if len(req) == len(pos) else f"from {len(req)} to {len(pos)}"
        return f"{full} takes {span} positional arguments but {nargs} {'was' if nargs == 1 else 'were'} given"
    filled = set(pos[:nargs])
    for k in map(str, kwargs):
        if k not in kwo + pos:
            return f"{full} got an unexpected keyword argument '{k}'"
        if k in filled:
            return f"{full} got multiple values for argument '{k}'"
        filled.add(k)
    for kind, need in (("positional", req), ("keyword", [p.name for p in ps if p.kind == p.KEYWORD_ONLY
                                                         and p.default is p.empty])):
        missing = [n for n in need if n not in filled]
        if missing:
            word = "argument" if len(missing) == 1 else "arguments"
            return f"{full} missing {len(missing)} required {kind} {word}: {name_list(missing)}"
    return None


def bound(receiver, name):
    """A member's callable, its name in binding errors, and whether its arguments go through the binder."""
    cls = receiver if isinstance(receiver, type) else type(receiver)
    owner = next(k for k in cls.__mro__ if name in vars(k))
    if isinstance(vars(owner)[name], types.GetSetDescriptorType):
        return (lambda *args, **kwargs: getattr(receiver, name)), name, False
    fn = cls if name == "__new__" else getattr(receiver, name)
    full = f"{(cls if name == '__new__' else owner).__name__}.{name}()"
    binder = cls in (Some, Ok, Err) if name == "__new__" else not name.startswith("__") or name == "__deepcopy__"
    binder = binder and (receiver is not cls or owner in (Option, Result) or name == "__new__")
    return fn, full, binder and bool(inspect.signature(fn).parameters)


def result(call, show=repr):
    """``show()`` of what ``call()`` returns, or the type and text of the Exception it raises."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        try:
            return show(call())
        except Exception as e:  # anything else, InternalFailure included, fails the test
            return type(e), str(e)


def outcome(fn, full, binder, args, kwargs):
    """Call; assert that a binding error comes exactly when one is due, with its exact text."""
    expected = binding_error(fn, full, len(args), kwargs) if binder else None
    got = result(lambda: fn(*args, **kwargs), lambda value: None)
    assert got == (TypeError, expected) if expected else not (binder and got and got[1].startswith(full + " ")), got


@FUZZ
@given(st.integers(0, len(CALLS) - 1), st.lists(values, max_size=4),
       st.dictionaries(keys, values, max_size=3))
def test_fuzz_methods(which, args, kwargs):
    outcome(*bound(*CALLS[which]), args, kwargs)


class Text(str):
    def __call__(self, *args):
        return True


# Also: every parameter by keyword binds as it does by position, and each name with a "_" added or removed in
# front is refused.
def test_every_binding_error_on_every_method():
    for receiver, name in CALLS:
        fn, full, binder = bound(receiver, name)
        if binder:
            ps = [p for p in inspect.signature(fn).parameters.values() if p.kind != p.VAR_POSITIONAL]
            kw = {p.name: ("a",) if p.name in ("notes", "trace") else Text("x") for p in ps}
            names = list(kw)
            for kwargs in ({}, {"\ud800": 1}, kw, dict.fromkeys(names[:1], 1), dict.fromkeys(names[1:], 1),
                           *({**kw, n[1:] if n[0] == "_" else "_" + n: 1} for n in names)):
                for nargs in range(5):
                    outcome(fn, full, binder, [1] * nargs, kwargs)
            pos = [kw.pop(p.name) for p in ps if p.kind == p.POSITIONAL_OR_KEYWORD]
            assert result(lambda: fn(*pos, **kw)) == result(lambda: fn(**dict(zip(names, pos)), **kw)), full


OPS = [operator.eq, operator.ne, operator.lt, operator.or_, operator.rshift, lambda a, b: hash(a),
       lambda a, b: repr(a), lambda a, b: str(a), lambda a, b: bool(a), lambda a, b: list(a),
       lambda a, b: copy.deepcopy(a), lambda a, b: pickle.loads(pickle.dumps(a)), lambda a, b: a[b]]


@FUZZ
@given(receivers, values, st.sampled_from(OPS), st.booleans())
def test_fuzz_protocols(receiver, other, op, swap):
    with warnings.catch_warnings(), contextlib.suppress(Exception):
        warnings.simplefilter("ignore")
        op(other, receiver) if swap else op(receiver, other)
