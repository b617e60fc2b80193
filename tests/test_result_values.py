"""Ok and Err as values: construction, properties, text forms, equality, hashing, protocols."""

import types

import pytest

from conftest import balanced, raised
from ostrel_core import Err, Ok, Result

ABSTRACT = "Result is abstract; construct Ok(value) or Err(error)"
NO_TRUTH = "Result has no truth value; use is_ok/is_err or match"
X = object()
E = Err(X)._with_meta(("n",), ("t",))


@pytest.mark.parametrize("call", [lambda: Result(), lambda: Result(1), lambda: Result(x=1),
                                  lambda: type("R", (Result,), {})(1, y=2)])
def test_result_is_abstract(call):
    assert raised(call).args == (ABSTRACT,)
    balanced(call)


@pytest.mark.parametrize("r, props", [
    (Ok(X), dict(value=X, is_ok=True, is_err=False, ok=X, err=None, danger_ok=X, notes=(), trace=())),
    (Err(X), dict(error=X, is_ok=False, is_err=True, ok=None, err=X, danger_err=X, notes=(), trace=())),
    (E, dict(error=X, notes=("n",), trace=("t",), err=X))], ids=["ok", "err", "err-meta"])
def test_properties(r, props):
    for name, want in props.items():
        got = getattr(r, name)
        assert got is want or (type(got) is tuple and got == want), name
    assert r.notes is r.notes and r.trace is r.trace
    absent, unwrap = ("error", "danger_err") if r.is_ok else ("value", "danger_ok")
    assert type(raised(lambda: getattr(r, absent))) is AttributeError
    assert type(raised(lambda: getattr(r, unwrap))).__name__ == "UnwrapError"
    balanced(lambda: [getattr(r, n) for n in props], X, r)
    balanced(lambda: (getattr(r, absent), getattr(r, unwrap)), X, r)
    balanced(lambda: (Ok(X), Err(X), Ok(value=X), Err(error=X)), X)


class Boom:
    def __str__(self):
        raise ValueError("no str")

    __repr__ = __str__


@pytest.mark.parametrize("r, rep, text", [
    (Ok("a"), "Ok('a')", "Ok(a)"), (Err("x"), "Err('x')", "Err(x)"),
    (Err("x")._with_meta(("a", "b")), "Err('x'; note: a; note: b)", "Err(x; note: a; note: b)"),
    (Err("x")._with_meta((), ("f",)), "Err('x'; via f)", None),
    (Err("boom")._with_meta(("loading config",), ("parse", "load")), "Err('boom'; note: loading config; via parse"
     " <- load)", "Err(boom; note: loading config; via parse <- load)"),
    (Err("x")._with_meta((Boom(), 5), (Boom(), "g")), "Err('x'; note: ; note: 5; via  <- g)", None),
    (Err("x")._with_meta((Boom(),)), "Err('x'; note: )", None),
    (Ok("\ud800"), "Ok('\\ud800')", "Ok(\ufffd\ufffd\ufffd)"),
    (Err("\udc80\u00e9")._with_meta(("\ud800",), ("\U0001f600",)), None,
     "Err(\ufffd\ufffd\ufffd\u00e9; note: \ufffd\ufffd\ufffd; via \U0001f600)"),
    (Ok(Ok(Err(1))), "Ok(Ok(Err(1)))", None)], ids=repr)
def test_text_forms(r, rep, text):
    for form, want in ((repr, rep), (str, text)):
        if want is not None:
            assert form(r) == want and type(form(r)) is str
        balanced(lambda: form(r), r)


@pytest.mark.parametrize("r", [Ok(Boom()), Err(Boom()), Err(Boom())._with_meta(("n",))], ids=type)
def test_text_form_errors_propagate(r):
    for form in (repr, str):
        assert raised(lambda: form(r)).args == ("no str",)
        balanced(lambda: form(r), r)


class Eq:
    calls = 0
    __hash__ = object.__hash__

    def __init__(self, result):
        self.result = result

    def __eq__(self, other):
        Eq.calls += 1
        return self.result


def test_equality():
    nan = Ok(float("nan"))
    assert nan != nan and not nan == nan
    assert Ok(1) == Ok(True) and hash(Ok(1)) == hash(Ok(True)) and Ok(1) != Err(1) and Ok(1) != 1
    assert E == Err(X) and hash(E) == hash(Err(X)) and Err(1) != Err(2)
    a, before = Ok(Eq(False)), Eq.calls
    assert a != a and not (a == a) and Eq.calls == before + 2  # no identity shortcut
    assert (Ok(Eq(NotImplemented)) == Ok(5)) is False and (Ok(5) == Ok(Eq(True))) is True
    for op in ("<", "<=", ">", ">="):
        assert "not supported" in str(raised(lambda: eval(f"Ok(1) {op} Ok(2)")))
    assert Ok(1).__lt__(Ok(2)) is NotImplemented and Ok(1).__eq__(Err(1)) is NotImplemented
    bad = Eq(Ok(0))  # its __eq__ answers with an object whose truth test raises
    for call in (lambda: Ok(bad) == Ok(1), lambda: Ok(bad) != Ok(1), lambda: Err(bad) == Err(1)):
        assert raised(call).args == (NO_TRUTH,)
        balanced(call, bad)
    balanced(lambda: Ok(1) == Ok(1) != Err(1) == Err(1))


M = 2 ** 64
P1, P2, P5 = 11400714785074694791, 14029467366897019727, 2870177450012600261


def hash_hitting_minus_one(tag):
    """The item hash h for which the tuple hash of (tag, h) would come out as -1."""
    acc = (M - 1 - (2 ^ (P5 ^ 3527539))) * pow(P1, -1, M) % M
    acc = (acc >> 31 | acc << 33) % M
    first = (P5 + tag * P2) % M
    first = (first << 31 | first >> 33) % M * P1 % M
    h = (acc - first) * pow(P2, -1, M) % M
    return h - M if h >= M // 2 else h


class Hashed:
    def __init__(self, h):
        self.h = h

    def __hash__(self):
        return self.h


@pytest.mark.parametrize("payload", [0, 1, -1, -2, 2 ** 61 - 1, -(2 ** 61), 2 ** 100, 1.5, "s", None, (1, "a"),
                                     frozenset({1}), float("nan"), Hashed(-1), Hashed(2 ** 63 - 1), Ok(2),
                                     Hashed(hash_hitting_minus_one(0)), Hashed(hash_hitting_minus_one(1))], ids=repr)
def test_hash_is_that_of_the_tagged_tuple(payload):
    assert hash(Ok(payload)) == hash((0, payload)) and hash(Err(payload)) == hash((1, payload))
    assert hash(Err(payload)._with_meta(("n",), ("t",))) == hash((1, payload))
    assert hash((0, Hashed(hash_hitting_minus_one(0)))) == 1546275796  # the interpreter's own -1 case
    balanced(lambda: hash(Err(payload)) + hash(Ok(payload)), payload)


@pytest.mark.parametrize("r", [Ok([]), Err({}), Ok(Ok([])), Err(Hashed(None))], ids=repr)
def test_unhashable_payload(r):
    assert type(raised(lambda: hash(r))) is TypeError
    balanced(lambda: hash(r), r)


@pytest.mark.parametrize("r", [Ok(0), Err(0), E])
def test_truth_refused(r):
    for call in (lambda: bool(r), lambda: not r, lambda: r and 1, lambda: 1 if r else 2):
        e = raised(call)
        assert type(e) is TypeError and e.args == (NO_TRUTH,)
        balanced(call, r)


def test_iteration_and_membership():
    ok = Ok(X)
    assert list(ok) == [X] and list(Err(X)) == [] and list(E) == []
    it1, it2 = iter(ok), iter(ok)
    assert it1 is not it2 and next(it1) is X and next(it2) is X and list(it1) == []
    assert X in ok and X not in Err(X) and type(iter(ok)).__name__ == "list_iterator"
    balanced(lambda: (list(ok), list(Err(X)), X in ok), X, ok)


def test_pattern_matching():
    def which(r):
        match r:
            case Ok(v):
                return "ok", v
            case Err(error=e):
                return "err", e

    assert which(Ok(5)) == ("ok", 5) and which(Err(5)) == ("err", 5) and which(E)[1] is X


def test_generic_alias():
    assert Ok[int] == types.GenericAlias(Ok, int) and Err[int].__origin__ is Err
    assert Result[int, str].__args__ == (int, str) and Result.__class_getitem__(args=int).__args__ == (int,)
    sub = type("MyResult", (Result,), {})
    assert sub[int].__origin__ is sub and isinstance(Result[int, str], types.GenericAlias)
