"""Result combinators on both variants: outcomes, identity, keyword names, operators, references."""

import pytest
from conftest import balanced

from ostrel import Err, Nothing, Ok, Some, UnwrapError


V, X, D, OUT = ["value"], ["error"], ["default"], ["out"]
SELF = "receiver"
RAISES = "raises"


def new(cls, payload):
    return lambda res, r: type(res) is cls and res is not r and (res.error if cls is Err else res.value) is payload


ROWS = [  # variant, method, args ("f"/"g" stand for recording callables), expected, recorded calls
    (Ok, "is_ok_and", "f", True, [("f", V)]), (Err, "is_ok_and", "f", False, []),
    (Ok, "is_err_and", "f", False, []), (Err, "is_err_and", "f", True, [("f", X)]),
    (Ok, "unwrap_or", [D], V, []), (Err, "unwrap_or", [D], D, []),
    (Ok, "unwrap_or_else", "f", V, []), (Err, "unwrap_or_else", "f", OUT, [("f", X)]),
    (Ok, "map", "f", new(Ok, OUT), [("f", V)]), (Err, "map", "f", SELF, []),
    (Ok, "map_err", "f", SELF, []), (Err, "map_err", "f", new(Err, OUT), [("f", X)]),
    (Ok, "and_then", "f", OUT, [("f", V)]), (Err, "and_then", "f", SELF, []),
    (Ok, "or_else", "f", SELF, []), (Err, "or_else", "f", OUT, [("f", X)]),
    (Ok, "inspect", "f", SELF, [("f", V)]), (Err, "inspect", "f", SELF, []),
    (Ok, "inspect_err", "f", SELF, []), (Err, "inspect_err", "f", SELF, [("f", X)]),
    (Ok, "fold", "fg", OUT, [("f", V)]), (Err, "fold", "fg", OUT, [("g", X)]),
    (Ok, "to_option", "", new(Some, V), []), (Err, "to_option", "", Nothing(), []),
    (Ok, "swap_err", "f", SELF, []), (Err, "swap_err", "f", RAISES, []),
    (Ok, "swap_ok", "f", RAISES, []), (Err, "swap_ok", "f", SELF, []),
]


@pytest.mark.parametrize("variant, method, args, expected, recorded", ROWS)
def test_each_method_on_each_variant(variant, method, args, expected, recorded):
    calls = []
    rec = {t: (lambda t: lambda *a: calls.append((t, *a)) or OUT)(t) for t in "fg"}
    r = variant(V if variant is Ok else X)
    bound = [rec[a] if isinstance(a, str) else a for a in args]
    if expected is RAISES:
        with pytest.raises(UnwrapError) as exc:
            getattr(r, method)(*bound)
        assert exc.value.container is r
    else:
        res = getattr(r, method)(*bound)
        ok = expected(res, r) if callable(expected) else res is (r if expected is SELF else expected)
        assert ok, res
    assert calls == recorded
    plain = [(lambda *a: OUT) if isinstance(a, str) else a for a in args]
    balanced(lambda: getattr(r, method)(*plain), r, V, X, D, OUT, *plain)


def test_outcomes_are_unchecked_and_predicates_give_booleans():
    assert Ok(1).and_then(lambda v: 5) == 5 and Err(1).or_else(lambda e: None) is None
    assert Ok(1).is_ok_and(lambda v: 7) is True and Ok(1).is_ok_and(lambda v: 0) is False
    assert Err(1).is_err_and(lambda e: []) is False
    assert Ok(1).map(lambda v: v + 1) == Ok(2) and Err("e").map_err(str.upper).error == "E"
    e = Err("e").note("ctx").traced("t")
    m = e.map_err(str.upper)
    assert m.notes is e.notes and m.trace is e.trace
    assert Ok(1).to_option() is not Ok(1).to_option() and Err(1).to_option() is Nothing()
    e, o = Err(1), Ok(1)  # a callable is checked only by calling it
    assert e.map(5) is e and o.map_err(5) is o and e.is_ok_and(5) is False
    with pytest.raises(TypeError, match="'int' object is not callable"):
        o.map(5)


class Boom(Exception):
    pass


def raiser(*_):
    raise Boom


BadBool = type("BadBool", (), {"__bool__": raiser})


FAILING = [(Ok(1), m, [raiser]) for m in ("is_ok_and", "map", "and_then", "inspect")] + [
    (Err(1), m, [raiser]) for m in ("is_err_and", "unwrap_or_else", "map_err", "or_else", "inspect_err")] + [
    (Ok(1), "is_ok_and", [lambda v: BadBool()]), (Err(1), "is_err_and", [lambda e: BadBool()]),
    (Ok(1), "fold", [raiser, None]), (Err(1), "fold", [None, raiser])]


@pytest.mark.parametrize("recv, method, args", FAILING)
def test_callback_failures_propagate(recv, method, args):
    with pytest.raises(Boom):
        getattr(recv, method)(*args)
    balanced(lambda: getattr(recv, method)(*args), recv, *args)


class CallableStr(str):
    def __call__(self, *args):
        return True


KW = [  # method, Ok's parameter names, Err's parameter names
    ("is_ok_and", "pred", "_pred"), ("is_err_and", "_pred", "pred"), ("unwrap_or", "_default", "default"),
    ("unwrap_or_else", "_fn", "fn_"), ("map", "fn_", "_fn"), ("map_err", "_fn", "fn_"),
    ("and_then", "fn_", "_fn"), ("or_else", "_fn", "fn_"), ("inspect", "fn_", "_fn"),
    ("inspect_err", "_fn", "fn_"), ("fold", "on_ok _on_err", "_on_ok on_err"), ("expect", "_msg", "msg"),
    ("expect_err", "msg", "_msg"), ("note", "_msg", "msg"), ("wrap_err", "_err", "err"),
    ("traced", "_site", "site"), ("swap_err", "_err", "_err"), ("swap_ok", "_ok", "_ok"),
]


@pytest.mark.parametrize("method, ok_names, err_names", KW)
def test_keyword_names_per_variant(method, ok_names, err_names):
    value = CallableStr("s")  # fits every parameter: callable, and a str
    for recv, own, other in ((Ok(1), ok_names, err_names), (Err(1), err_names, ok_names)):
        try:
            getattr(recv, method)(**dict.fromkeys(own.split(), value))
        except UnwrapError:
            pass
        if other != own:
            msg = f"{type(recv).__name__}.{method}() got an unexpected keyword argument '{other.split()[0]}'"
            with pytest.raises(TypeError) as exc:
                getattr(recv, method)(**dict.fromkeys(other.split(), value))
            assert str(exc.value) == msg
            balanced(lambda: getattr(recv, method)(**dict.fromkeys(other.split(), value)), recv, value)


def test_operators():
    calls = []
    f = lambda v: calls.append(v) or OUT  # noqa: E731
    ok, err = Ok(V), Err(X)
    piped = ok | f
    assert type(piped) is Ok and piped.value is OUT and (ok >> f) is OUT and calls == [V, V]
    assert (err | f) is err and (err >> f) is err and calls == [V, V]
    assert (Ok(2) | (lambda v: NotImplemented)).value is NotImplemented
    with pytest.raises(TypeError, match=r"unsupported operand type\(s\) for >>: 'ostrel.result.Ok' and 'function'"):
        Ok(2) >> (lambda v: NotImplemented)
    assert (Ok(2) >> (lambda v: Err(v))) == Err(2)
    g = lambda v: OUT  # noqa: E731
    balanced(lambda: (ok | g, ok >> g, err | g, err >> g), ok, err, V, OUT, g)


Left = type("Left", (), {"__or__": lambda s, o: NotImplemented, "__rshift__": lambda s, o: NotImplemented})


@pytest.mark.parametrize("recv", [Ok(1), Err(1)])
@pytest.mark.parametrize("left", [3, Left(), pytest.fail, Some(1).map])
def test_foreign_left_operand(recv, left):
    for dunder, op in (("__ror__", "|"), ("__rrshift__", ">>")):
        assert getattr(recv, dunder)(left) is NotImplemented  # left is never called
        with pytest.raises(TypeError, match="unsupported operand"):
            eval(f"left {op} recv")
        balanced(lambda: getattr(recv, dunder)(left), recv, left)
