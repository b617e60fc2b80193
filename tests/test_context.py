"""Error context (note, wrap_err, traced), UnwrapError, the unwrap sugar and the failure protocol at every raise site."""

import gc

import pytest
from conftest import processing_notes, raised, script_output

from ostrel import Err, Nothing, Ok, UnwrapError

S, M = type("S", (str,), {}), "m\u00e9\U0001f600"


@pytest.mark.parametrize("op, notes, trace", [
    ("note", ("n0", M), ("t0",)), ("traced", ("n0",), ("t0", M)), ("wrap_err", ("n0", "caused by 1"), ("t0",)),
])
def test_note_traced_and_wrap_err_extend_one_field(op, notes, trace):
    e0, ok, arg = Err(1)._with_meta(("n0",), ("t0",)), Ok(1), S(M)
    e, error = getattr(e0, op)(arg), arg if op == "wrap_err" else e0.error
    assert type(e) is Err and e.error is error and (e.notes, e.trace) == (notes, trace)
    assert all(type(s) is str for s in e.notes + e.trace) and (e.notes is e0.notes or e.trace is e0.trace)
    assert (e0.notes, e0.trace) == (("n0",), ("t0",)) and getattr(ok, op)(arg) is ok  # receivers unchanged


def test_wrap_err_chains_and_replaces_surrogates():
    assert Err(ValueError("x")).wrap_err(2).wrap_err(3).notes == ("caused by ValueError('x')", "caused by 2")
    assert Err(1).wrap_err(None).error is None
    surrogate = type("Sur", (), {"__repr__": lambda self: "a\ud800b"})()
    assert Err(surrogate).wrap_err(0).notes == ("caused by a\ufffd\ufffd\ufffdb",)


def test_unwrap_error_and_sugar_binding_errors():
    assert str(UnwrapError(Ok("v"), "boom")) == "boom: Ok('v')" and UnwrapError().container is None
    assert raised(lambda: UnwrapError(Err(1), msg="x")).args == ("UnwrapError() takes no keyword arguments",)
    assert gc.is_tracked(UnwrapError(Err(1)))
    for r, kwargs in ((Err(1), {"note": 5}), (Err(1), {"err": "E", "note": 5}), (Nothing(), {"err": 1, "note": 5})):
        e = raised(lambda: r.unwrap(**kwargs))  # Err.note's own binding error, before any UnwrapError
        assert e.args == ("'int' object is not an instance of 'str'",)
        assert getattr(e, "__notes__", None) == processing_notes("msg")
    assert raised(lambda: Nothing().unwrap(note="x")).args == ("note requires err on Option.unwrap",)
    loud = type("Loud", (), {"__repr__": lambda self: {}["repr"]})()  # wrap_err fails before note is checked
    assert type(raised(lambda: Err(loud).unwrap(err="E", note=5))) is KeyError


# The replacement is looked up on first use, so it is put in place before any unwrap succeeds.
PROTOCOL = r"""
    import ostrel._exceptions as X
    from conftest import balanced, raised
    from ostrel import Err, Ok, Nothing
    S, calls, mode = type("S", (str,), {}), [], ["call"]
    class Rec(Exception):
        def __new__(cls, *args, **kwargs):
            calls.append((args, kwargs, {"call": Exception.__new__(cls), "garbage": 42}.get(mode[0])))
            return calls[-1][2] or {}["from UnwrapError"]
    def fails(expr):  # raised inside an except block, which must not become the context
        try:
            raise KeyError("outer")
        except KeyError:
            return raised(lambda: eval(expr))
    X.UnwrapError = 5  # a non-class is refused, at each kind of site
    for expr in ("Err(1).unwrap()", "Nothing().unwrap()"):
        assert repr(fails(expr)) == "TypeError('ostrel._exceptions.UnwrapError is not a class')", fails(expr)
    X.UnwrapError = Rec
    SITES = {  # the expected container's repr; None: the receiver itself
        **dict.fromkeys(["Err(1).unwrap()", "Err(1).unwrap(err=None, note=None)", "Err(1).expect(S('boom'))",
                         "Err(1).danger_ok", "Err(1).swap_err(0)", "Ok(1).unwrap_err()", "Ok(1).expect_err('boom')",
                         "Ok(1).danger_err", "Ok(1).swap_ok(0)", "Nothing().unwrap()", "Nothing().expect(S('boom'))",
                         "Nothing().danger_some"]),
        "Err(1).unwrap(err='E')": "Err('E'; note: caused by 1)", "Err(1).unwrap(note='n')": "Err(1; note: n)",
        "Err(1).unwrap(err='E', note=S('n'))": "Err('E'; note: caused by 1; note: n)",
        "Nothing().unwrap(err='E')": "Err('E')", "Nothing().unwrap(err='E', note='n')": "Err('E'; note: n)",
    }
    for site, container in SITES.items():
        recv, _, call = site.partition(").")
        r = eval(recv + ")")
        e = fails("r." + call)
        args, kwargs, inst = calls.pop()
        assert e is inst and e.__cause__ is None and e.__context__ is None and kwargs == {}, site
        assert args[0] is r if container is None else repr(args[0]) == container, site
        assert args[1:] == (("boom",) if "expect" in call else ()) and all(type(a) is str for a in args[1:]), site
        for mode[0], text in (("garbage", "TypeError('UnwrapError() returned 42, not an exception instance')"),
                              ("raise", "KeyError('from UnwrapError')")):
            assert repr(fails(site)) == text, (site, fails(site))
        mode[0] = "call"
    for mode[0], X.UnwrapError in (("garbage", Rec), ("raise", Rec), ("call", 5)):  # failing lookups do not leak
        balanced([lambda site=site: fails(site) for site in SITES] + [calls.clear], n=300)
    X.UnwrapError, mode[0] = Rec, "call"
    Err.wrap_err = lambda self, err: Ok(("W", err))  # ordinary attribute lookup on the receiver
    Nothing.ok_or = lambda self, err: Err(err).traced("patched")
    for site, container in (("Err(1).unwrap(err='E', note='n')", "Ok(('W', 'E'))"),
                            ("Nothing().unwrap(err='E', note='n')", "Err('E'; note: n; via patched)")):
        fails(site)
        assert repr(calls.pop()[0][0]) == container
    Nothing.ok_or = lambda self, err: err  # what ok_or gives is the container; note is looked up on it
    assert type(fails("Nothing().unwrap(err=1, note='n')")) is AttributeError and fails("Nothing().unwrap(err=2)")
    assert calls.pop()[0][0] == 2
"""


def test_unwrap_failure_protocol_at_every_raise_site():
    script_output(PROTOCOL)
