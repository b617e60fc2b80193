"""Option values: construction, properties, text forms, equality, hashing, protocols, copying."""

import copy
import gc
import os
import pickle
import subprocess
import sys
import types

import pytest

from conftest import raised
from ostrel import Err, Nothing, Ok, Option, Some, UnwrapError


class Sub(Option):
    pass


class Boom:
    """Every protocol forwarded to this payload raises a fresh KeyError, kept as `exc`."""

    def _raise(self, *_):
        self.exc = KeyError("boom")
        raise self.exc

    __eq__ = __repr__ = __str__ = __hash__ = __bool__ = __deepcopy__ = _raise


def test_construction_and_from_optional():
    for call in (Option, lambda: Option(1, k=2), Sub, lambda: Sub(x=1)):
        assert raised(call).args == ("Option is abstract; construct Some(value) or Nothing()",)
    x = object()
    assert Some(x).value is x and Some(value=x).value is x
    assert Nothing() is Nothing(1, 2, a=3) is Nothing(*range(40), **{"é": 2})
    for cls in (Option, Some, Nothing, Sub):  # the class it is called on plays no part
        assert cls.from_optional(None) is Nothing() and cls.from_optional(x=None) is Nothing()
        for falsy in (0, "", [], False, Nothing()):
            assert type(cls.from_optional(falsy)) is Some and cls.from_optional(falsy).value is falsy


def test_properties():
    x, n = object(), Nothing()
    s = Some(x)
    assert s.value is x and s.some is x and s.danger_some is x and Some(None).some is None and n.some is None
    assert (s.is_some, s.is_nothing, n.is_some, n.is_nothing, Some(None).is_some) == (True, False, False, True, True)
    e = raised(lambda: n.danger_some)
    assert type(e) is UnwrapError and e.container is n and e.args == (n,)
    assert type(raised(lambda: n.value)) is AttributeError


class SurrogateText:
    __repr__ = lambda self: "r\udfff"  # noqa: E731
    __str__ = lambda self: type("S", (str,), {})("s\ud800x")  # noqa: E731


@pytest.mark.parametrize("value, r, s", [
    ("a", "Some('a')", "Some(a)"), (None, "Some(None)", "Some(None)"),
    (Some(Nothing()), "Some(Some(Nothing))", "Some(Some(Nothing))"),
    ("\ud800", "Some('\\ud800')", "Some(\ufffd\ufffd\ufffd)"),  # a lone surrogate becomes three U+FFFD
    (SurrogateText(), "Some(r\ufffd\ufffd\ufffd)", "Some(s\ufffd\ufffd\ufffdx)"),
])
def test_text_forms(value, r, s):
    got = repr(Some(value)), str(Some(value))
    assert got == (r, s) and all(type(t) is str for t in got)
    assert repr(Nothing()) == str(Nothing()) == "Nothing"


def test_failing_payload_protocols_pass_through():
    b = Boom()
    for op in (repr, str, hash, copy.deepcopy, lambda o: o == Some(1), lambda o: o != Some(1)):
        assert raised(lambda: op(Some(b))) is b.exc
    assert (Some(b) == Nothing()) is False and (Some(b) == Ok(b)) is False  # payload not consulted


class Rec:
    log = []
    __init__ = lambda self, tag, answer: vars(self).update(tag=tag, answer=answer)  # noqa: E731
    __eq__ = lambda self, other: Rec.log.append(self.tag) or self.answer  # noqa: E731


def test_equality():
    nan = Some(float("nan"))
    assert (nan == nan, nan != nan) == (False, True)  # no identity shortcut
    assert Nothing() == Nothing() and not (Nothing() != Nothing())
    assert Some([1]) == Some([1]) and Some(1) == Some(1.0) and Some(1) != Some(2)
    for a, b in [(Some(1), Ok(1)), (Some(1), 1), (Some(1), Nothing()), (Nothing(), Err(1)), (Nothing(), None)]:
        assert (a == b, b == a, a != b, b != a) == (False, False, True, True)
    assert Some(1).__eq__(Ok(1)) is NotImplemented and Nothing().__ne__(1) is NotImplemented
    assert Some(1).__lt__(Some(2)) is NotImplemented and Nothing().__ge__(Nothing()) is NotImplemented
    assert type(raised(lambda: Some(1) <= Some(2))) is TypeError
    Rec.log.clear()  # the receiver's value is on the left and only the truth of its answer counts
    assert (Some(Rec("left", "yes")) == Some(Rec("right", ""))) is True and Rec.log == ["left"]
    assert (Some(Rec("l", [])) != Some(Rec("r", 1))) is True
    b = Boom()
    assert raised(lambda: Some(Rec("x", b)) == Some(1)) is b.exc


def test_hash():
    for x in (1, "a", (1, 2), None, -1, 2**70, Nothing()):
        assert hash(Some(x)) == hash((0, x)) == hash(Ok(x))
    assert hash(Some(1)) == hash(Some(1.0)) and "unhashable" in str(raised(lambda: hash(Some([]))))
    for seed in ("0", "977"):
        out = subprocess.run([sys.executable, "-c", "from ostrel import Nothing; print(hash(Nothing()))"],
                             env={**os.environ, "PYTHONHASHSEED": seed}, capture_output=True, text=True, check=True)
        assert out.stdout == "2206609067086327257\n"


def test_truth_iteration_and_match():
    for o in (Some(1), Nothing()):
        for test in (bool, lambda v: not v, lambda v: v and 1, lambda v: 1 if v else 0):
            assert raised(lambda: test(o)).args == ("Option has no truth value; use is_some/is_nothing or match",)
    x = object()
    it = iter(Some(x))
    assert next(it) is x and list(it) == [] and list(Nothing()) == [] and [v for v in Some(5)] == [5]

    def which(o):
        match o:
            case Some(v):
                return v
            case Nothing():
                return "nothing"

    assert which(Some(4)) == 4 and which(Nothing()) == "nothing" and which(4) is None
    with pytest.raises(TypeError, match="positional sub-pattern"):
        match Nothing():
            case Nothing(v):
                pass


@pytest.mark.parametrize("cls", [Option, Some, Nothing, Sub])
def test_class_getitem(cls):
    alias = cls[int]
    assert type(alias) is types.GenericAlias and alias.__origin__ is cls and alias.__args__ == (int,)
    assert cls[int, str].__args__ == (int, str) and cls.__class_getitem__(args=int) == alias


def test_reduce_copy_pickle():
    x, memo = [1], {}
    assert Some(x).__reduce__() == (Some, (x,)) and Some(x).__reduce__()[1][0] is x
    assert Nothing().__reduce__() == (Nothing, ()) and copy.deepcopy(Nothing()) is Nothing()
    assert all(copy.copy(o) is o for o in (Some(x), Nothing()))
    s = Some(1)
    assert copy.deepcopy(s) is not s and copy.deepcopy(s).value == 1
    pair = copy.deepcopy((Some(x), x))  # memo passed through: the shared list stays shared
    assert type(pair[0]) is Some and pair[0].value is pair[1] and pair[1] == x and pair[1] is not x
    assert Some(x).__deepcopy__(memo=memo).value is not x and id(x) in memo
    with pytest.MonkeyPatch.context() as mp:  # `copy.deepcopy` is looked up anew at every use
        mp.setattr(copy, "deepcopy", lambda *a, **k: (a, k))
        assert Some(x).__deepcopy__(memo).value == ((x, memo), {}) and Some(x).__deepcopy__(memo).value[0][1] is memo
        mp.setitem(sys.modules, "copy", None)
        assert type(raised(lambda: Some(x).__deepcopy__(memo))) is ModuleNotFoundError
    for proto in range(pickle.HIGHEST_PROTOCOL + 1):
        back = pickle.loads(pickle.dumps(Some({"k": [x]}), proto))
        assert type(back) is Some and back == Some({"k": [x]})
        assert pickle.loads(pickle.dumps(Nothing(), proto)) is Nothing()
        assert pickle.loads(pickle.dumps(Some(Some(Nothing())), proto)).value.value is Nothing()


def test_gc_tracking():  # tracked only when the payload could close a cycle
    assert not any(gc.is_tracked(o) for o in (Some(1), Nothing(), Some(Some((1, "a"))), Some(1).filter(bool)))
    assert all(gc.is_tracked(o) for o in (Some([]), Some(Some({})), Some([]).map(list), copy.deepcopy(Some([]))))
