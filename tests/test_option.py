"""Some and Nothing: construction, properties, text forms, equality, hashing, methods, unwrap sugar."""

import os
import subprocess
import sys
import types

import pytest
from conftest import processing_notes, raised

from ostrel import Err, Nothing, Ok, Option, Some, UnwrapError

Sub = type("Sub", (Option,), {})
V = object()
S, N = Some(V), Nothing()


def test_construction_and_from_optional():
    for call in (Option, lambda: Option(1, k=2), Sub, lambda: Sub(x=1)):
        assert raised(call).args == ("Option is abstract; construct Some(value) or Nothing()",)
    assert Some(V).value is V and Some(value=V).value is V
    assert Nothing() is Nothing(1, 2, a=3) is Nothing(*range(40), **{"é": 2})
    for cls in (Option, Some, Nothing, Sub):  # the class it is called on plays no part
        assert cls.from_optional(None) is Nothing() and cls.from_optional(x=None) is Nothing()
        assert all(cls.from_optional(f).value is f for f in (0, "", [], False, Nothing()))
        alias = cls[int]
        assert type(alias) is types.GenericAlias and alias.__origin__ is cls and alias.__args__ == (int,)
        assert cls[int, str].__args__ == (int, str) and cls.__class_getitem__(args=int) == alias


def test_properties_and_protocols():
    assert S.value is S.some is S.danger_some is V and Some(None).some is None is N.some
    assert (S.is_some, S.is_nothing, N.is_some, N.is_nothing, Some(None).is_some) == (True, False, False, True, True)
    e = raised(lambda: N.danger_some)
    assert type(e) is UnwrapError and e.container is N and e.args == (N,)
    assert type(raised(lambda: N.value)) is AttributeError
    for o in (Some(1), N):
        for test in (bool, lambda v: not v, lambda v: v and 1, lambda v: 1 if v else 0):
            assert raised(lambda: test(o)).args == ("Option has no truth value; use is_some/is_nothing or match",)
    it = iter(S)
    assert next(it) is V and list(it) == [] and list(N) == [] and [v for v in Some(5)] == [5]
    match N:
        case Some(v):
            pytest.fail()
        case Nothing():
            pass
    with pytest.raises(TypeError, match="positional sub-pattern"):
        match N:
            case Nothing(v):
                pass


Sub2 = type("Sub2", (str,), {})


Rec = type("Rec", (), {"log": [], "__init__": lambda s, tag, answer: vars(s).update(tag=tag, answer=answer),
                       "__eq__": lambda s, other: Rec.log.append(s.tag) or s.answer})


def test_equality_and_hash():
    nan = Some(float("nan"))
    assert (nan == nan, nan != nan) == (False, True)  # no identity shortcut
    assert N == Nothing() and not (N != Nothing()) and Some([1]) == Some([1]) and Some(1) == Some(1.0) != Some(2)
    for a, b in [(Some(1), Ok(1)), (Some(1), 1), (Some(1), N), (N, Err(1)), (N, None), (Some(Rec("x", 1)), N)]:
        assert (a == b, b == a, a != b, b != a) == (False, False, True, True)  # payload not consulted
    assert Some(1).__eq__(Ok(1)) is NotImplemented and N.__ne__(1) is NotImplemented
    assert Some(1).__lt__(Some(2)) is NotImplemented and N.__ge__(N) is NotImplemented
    Rec.log.clear()  # the receiver's value is on the left and only the truth of its answer counts
    assert (Some(Rec("left", "yes")) == Some(Rec("right", ""))) is True and Rec.log == ["left"]
    assert (Some(Rec("l", [])) != Some(Rec("r", 1))) is True
    for seed in ("0", "977"):
        out = subprocess.run([sys.executable, "-c", "from ostrel import Nothing; print(hash(Nothing()))"],
                             env={**os.environ, "PYTHONHASHSEED": seed}, capture_output=True, text=True, check=True)
        assert out.stdout == "2206609067086327257\n"


def test_unwrap_expect_and_operators():
    assert S.unwrap(err="x", note=5) is V and S.unwrap(note="x") is V and S.unwrap(err=None) is V
    e = raised(lambda: N.expect(Sub2("why")))  # the real UnwrapError; the other sites run in test_context
    assert type(e) is UnwrapError and e.container is N and e.args == (N, "why") and type(e.args[1]) is str
    assert raised(lambda: N.unwrap(note="x")).args == ("note requires err on Option.unwrap",)
    e = raised(lambda: N.unwrap(err=1, note=5))  # Err.note's own binding error
    assert e.args == ("'int' object is not an instance of 'str'",)
    assert getattr(e, "__notes__", None) == processing_notes("msg")
    assert type(raised(lambda: S.expect("\ud800"))) is UnicodeEncodeError
    o = Some(1)
    o |= lambda v: v + 1  # the in-place forms use the same slots
    o >>= lambda v: Some(v * 10)
    assert o == Some(20) and "unsupported operand" in str(raised(lambda: Some(1) >> (lambda v: NotImplemented)))


def test_unwrap_sugar_goes_through_ok_or_attribute(monkeypatch):
    monkeypatch.setattr(Nothing, "ok_or", lambda self, err: Err(err).traced("patched"))
    assert repr(raised(lambda: N.unwrap(err=1, note="n")).container) == "Err(1; note: n; via patched)"
    monkeypatch.setattr(Nothing, "ok_or", lambda self, err: err)  # ok_or runs before note is looked up
    assert type(raised(lambda: N.unwrap(err=1, note="n"))) is AttributeError
    assert raised(lambda: N.unwrap(err=2)).container == 2
