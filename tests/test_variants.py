"""Ok, Err, Some and Nothing: construction, values, text forms, equality, hashing, combinators, operators,
copying, pickling."""

import copy
import os
import pickle
import sys
import types

import pytest
from conftest import raised, script_output

import ostrel.result
from ostrel import Err, Nothing, Ok, Option, Result, Some, UnwrapError, catching

X = object()
E = Err(X)._with_meta(("n",), ("t",))
RSub, OSub = type("RSub", (Result,), {}), type("OSub", (Option,), {})
NO_TRUTH = {Result: "Result has no truth value; use is_ok/is_err or match",
            Option: "Option has no truth value; use is_some/is_nothing or match"}


@pytest.mark.parametrize("call, family", [
    (Result, Result), (lambda: Result(x=1), Result), (lambda: RSub(1, y=2), Result),
    (Option, Option), (lambda: Option(1, k=2), Option), (OSub, Option), (lambda: OSub(x=1), Option)])
def test_bases_are_abstract(call, family):
    variants = "Ok(value) or Err(error)" if family is Result else "Some(value) or Nothing()"
    assert raised(call).args == (f"{family.__name__} is abstract; construct {variants}",)


@pytest.mark.parametrize("cls", [Result, Ok, Err, RSub, Option, Some, Nothing, OSub], ids=lambda c: c.__name__)
def test_aliases_and_from_optional(cls):
    alias = cls[int]
    assert type(alias) is types.GenericAlias and alias.__origin__ is cls and alias.__args__ == (int,)
    assert cls[int, str].__args__ == (int, str) and cls.__class_getitem__(args=int) == alias
    if issubclass(cls, Option):  # the class it is called on plays no part
        assert cls.from_optional(None) is Nothing() and cls.from_optional(x=None) is Nothing()
        assert all(cls.from_optional(f).value is f for f in (0, "", [], False, Nothing()))


def test_nothing_is_one_instance():  # whatever it is given; keyword construction of the others: test_fuzz.py
    assert Nothing() is Nothing(1, 2, a=3) is Nothing(*range(40), **{"\u00e9": 2})


@pytest.mark.parametrize("r, props, absent, raising", [
    (Ok(X), dict(value=X, is_ok=True, is_err=False, ok=X, err=None, danger_ok=X, notes=(), trace=()),
     "error", "danger_err"),
    (Err(X), dict(error=X, is_ok=False, is_err=True, ok=None, err=X, danger_err=X, notes=(), trace=()),
     "value", "danger_ok"),
    (E, dict(error=X, notes=("n",), trace=("t",), err=X), "value", "danger_ok"),
    (Some(X), dict(value=X, is_some=True, is_nothing=False, some=X, danger_some=X), "error", None),
    (Some(None), dict(value=None, is_some=True, is_nothing=False, some=None), "error", None),
    (Nothing(), dict(is_some=False, is_nothing=True, some=None), "value", "danger_some"),
], ids=["ok", "err", "err-meta", "some", "some-none", "nothing"])
def test_properties(r, props, absent, raising):
    for name, want in props.items():
        got = getattr(r, name)
        assert got is want or (type(got) is tuple and got == want), name
    assert not isinstance(r, Result) or (r.notes is r.notes and r.trace is r.trace)
    assert type(raised(lambda: getattr(r, absent))) is AttributeError
    if raising:
        e = raised(lambda: getattr(r, raising))
        assert type(e) is UnwrapError and e.container is r and e.args == (r,)


Boom = type("Boom", (), {"__str__": lambda self: {}["no str"]})
Surrogates = type("Surrogates", (), {"__repr__": lambda s: "r\udfff",
                                     "__str__": lambda s: type("S", (str,), {})("s\ud800")})


@pytest.mark.parametrize("r, rep, text", [
    (Ok("a"), "Ok('a')", "Ok(a)"), (Err("x"), "Err('x')", "Err(x)"),
    (Err("boom")._with_meta(("loading config", "b"), ("parse", "load")), "Err('boom'; note: loading config; note: b;"
     " via parse <- load)", "Err(boom; note: loading config; note: b; via parse <- load)"),
    (Err("x")._with_meta((Boom(), 5), (Boom(), "g")), "Err('x'; note: ; note: 5; via  <- g)",
     "Err(x; note: ; note: 5; via  <- g)"),
    (Ok("\ud800"), "Ok('\\ud800')", "Ok(\ufffd\ufffd\ufffd)"),
    (Err("\udc80\u00e9")._with_meta(("\ud800",), ("\U0001f600",)), None,
     "Err(\ufffd\ufffd\ufffd\u00e9; note: \ufffd\ufffd\ufffd; via \U0001f600)"),
    (Ok(Ok(Err(1))), "Ok(Ok(Err(1)))", None), (Some("a"), "Some('a')", "Some(a)"), (Nothing(), "Nothing", "Nothing"),
    (Some(None), "Some(None)", "Some(None)"), (Some(Some(Nothing())), "Some(Some(Nothing))", "Some(Some(Nothing))"),
    (Some(Surrogates()), "Some(r\ufffd\ufffd\ufffd)", "Some(s\ufffd\ufffd\ufffd)")], ids=repr)
def test_text_forms(r, rep, text):
    for form, want in ((repr, rep), (str, text)):
        assert want is None or (form(r) == want and type(form(r)) is str)


Eq = type("Eq", (), {"log": [], "__init__": lambda s, answer, tag="": vars(s).update(answer=answer, tag=tag),
                     "__hash__": object.__hash__, "__eq__": lambda s, o: Eq.log.append(s.tag) or s.answer})


@pytest.mark.parametrize("cls", [Ok, Err, Some])
def test_equality_asks_the_payloads(cls):
    nan, a = cls(float("nan")), cls(Eq(False, "a"))
    Eq.log.clear()
    assert nan != nan and not nan == nan and a != a and not a == a and Eq.log == ["a", "a"]  # no identity shortcut
    Eq.log.clear()  # the receiver's payload is on the left and only the truth of its answer counts
    assert (cls(Eq("yes", "left")) == cls(Eq("", "right"))) is True and Eq.log == ["left"]
    assert (cls(Eq([], "l")) != cls(Eq(1, "r"))) is True and (cls(5) == cls(Eq(True))) is True
    assert (cls(Eq(NotImplemented)) == cls(5)) is False and cls(1) == cls(True) == cls(1.0) != cls(2)
    assert E == Err(X) and Nothing() == Nothing() and not Nothing() != Nothing()
    assert raised(lambda: cls(Eq(Ok(0))) == cls(1)).args == (NO_TRUTH[Result],)  # Ok(0) answers, refuses truth


@pytest.mark.parametrize("a, b", [(Ok(1), Err(1)), (Ok(1), 1), (Some(1), Ok(1)), (Some(1), 1), (Some(1), Nothing()),
                                  (Nothing(), Err(1)), (Nothing(), None), (Some(Eq(True)), Nothing()),
                                  (Ok(Eq(True)), Err(Eq(True)))], ids=repr)
def test_other_kinds_are_unequal_without_asking_the_payload(a, b):
    Eq.log.clear()
    assert (a == b, b == a, a != b, b != a) == (False, False, True, True) and Eq.log == []
    assert a.__eq__(b) is NotImplemented and a.__lt__(a) is NotImplemented and "not supported" in str(
        raised(lambda: a <= a))


@pytest.mark.parametrize("r", [Ok(0), E, Some(1), Nothing()], ids=repr)
def test_no_truth_value(r):
    for test in (bool, lambda v: not v, lambda v: v and 1, lambda v: 1 if v else 0):
        assert raised(lambda: test(r)).args == (NO_TRUTH[Result if isinstance(r, Result) else Option],)


def test_iteration():  # match: __match_args__ in test_module.py, and the guide's match examples
    it1, it2 = iter(Ok(X)), iter(Ok(X))
    assert it1 is not it2 and next(it1) is X and next(it2) is X and list(it1) == [] and list(E) == []
    assert X in Ok(X) and X not in Err(X) and type(it1).__name__ == "list_iterator"
    assert [*Some(X)] == [X] and list(Nothing()) == []


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


Hashed = type("Hashed", (), {"__init__": lambda s, h: setattr(s, "h", h), "__hash__": lambda s: s.h})


@pytest.mark.parametrize("payload", [0, -1, -2, 2 ** 61 - 1, -(2 ** 61), 2 ** 100, 1.5, "s", None, (1, "a"),
                                     float("nan"), Hashed(-1), Hashed(2 ** 63 - 1), Ok(2), Nothing(),
                                     Hashed(hash_hitting_minus_one(0)), Hashed(hash_hitting_minus_one(1))], ids=repr)
def test_hash_is_that_of_the_tagged_tuple(payload):
    assert hash(Ok(payload)) == hash((0, payload)) == hash(Some(payload)) and hash(Err(payload)) == hash((1, payload))
    assert hash(Err(payload)._with_meta(("n",), ("t",))) == hash((1, payload))
    assert hash((0, Hashed(hash_hitting_minus_one(0)))) == 1546275796  # the interpreter's own -1 case
    for r in (Ok([]), Err({}), Ok(Ok([])), Err(Hashed(None)), Some([])):
        assert type(raised(lambda: hash(r))) is TypeError


@pytest.mark.parametrize("seed", ["0", "977"])
def test_hash_of_nothing_does_not_depend_on_the_seed(seed):
    env = {**os.environ, "PYTHONHASHSEED": seed}
    assert script_output("from ostrel import Nothing; print(hash(Nothing()))", env=env) == "2206609067086327257\n"


V, XE, D, OUT = ["value"], ["error"], ["default"], ["out"]
SELF, RAISES = "receiver", "raises"


def new(cls, payload):
    return lambda res, r: (type(res) is cls and res is not r and (res.error if cls is Err else res.value) is payload
                           and (cls is not Err or (res.notes, res.trace) == ((), ())))


ROWS = [  # variant, method, args ("f"/"g" record and give OUT, "z" 0, "n" None, "i" NotImplemented; 5 is never
    # called: a callable is checked only by calling it), expected (SELF: the receiver itself), recorded calls:
    # positional only, once, only when used. What a callback gives is passed on unchecked, a predicate's as a bool.
    (Ok, "is_ok_and", "f", True, [("f", V)]), (Err, "is_ok_and", [5], False, []),
    (Ok, "is_err_and", [5], False, []), (Err, "is_err_and", "f", True, [("f", XE)]),
    (Err, "is_err_and", "z", False, [("z", XE)]),
    (Ok, "unwrap", "", V, []), (Err, "unwrap_err", "", XE, []), (Err, "expect_err", ["m"], XE, []),
    (Ok, "unwrap_or", [D], V, []), (Err, "unwrap_or", [D], D, []),
    (Ok, "unwrap_or_else", "f", V, []), (Err, "unwrap_or_else", "f", OUT, [("f", XE)]),
    (Ok, "map", "f", new(Ok, OUT), [("f", V)]), (Err, "map", [5], SELF, []),
    (Ok, "map_err", [5], SELF, []), (Err, "map_err", "f", new(Err, OUT), [("f", XE)]),
    (Ok, "and_then", "f", OUT, [("f", V)]), (Err, "and_then", "f", SELF, []),
    (Ok, "or_else", "f", SELF, []), (Err, "or_else", "f", OUT, [("f", XE)]),
    (Ok, "inspect", "f", SELF, [("f", V)]), (Err, "inspect", "f", SELF, []),
    (Ok, "inspect_err", "f", SELF, []), (Err, "inspect_err", "f", SELF, [("f", XE)]),
    (Ok, "fold", "fg", OUT, [("f", V)]), (Err, "fold", "fg", OUT, [("g", XE)]),
    (Ok, "to_option", "", new(Some, V), []), (Err, "to_option", "", Nothing(), []),
    (Ok, "swap_err", "f", SELF, []), (Err, "swap_err", "f", RAISES, []),
    (Ok, "swap_ok", "f", RAISES, []), (Err, "swap_ok", "f", SELF, []),
    (Ok, "__or__", "f", new(Ok, OUT), [("f", V)]), (Err, "__or__", "f", SELF, []),
    (Ok, "__or__", "i", new(Ok, NotImplemented), [("i", V)]), (Ok, "__rshift__", "i", NotImplemented, [("i", V)]),
    (Ok, "__rshift__", "f", OUT, [("f", V)]), (Err, "__rshift__", "f", SELF, []),
    (Some, "unwrap", "", V, []), (Some, "expect", ["m"], V, []), (Some, "unwrap_or", [D], V, []),
    (Some, "unwrap_or_else", [5], V, []), (Some, "map", "f", new(Some, OUT), [("f", V)]),
    (Some, "and_then", "f", OUT, [("f", V)]), (Some, "or_else", [5], SELF, []),
    (Some, "inspect", "f", SELF, [("f", V)]), (Some, "map", "n", new(Some, None), [("n", V)]),
    (Some, "filter", "f", new(Some, V), [("f", V)]), (Some, "filter", "z", Nothing(), [("z", V)]),
    (Some, "ok_or", [D], new(Ok, V), []), (Some, "ok_or_else", [5], new(Ok, V), []),
    (Nothing, "unwrap_or", [D], D, []), (Nothing, "unwrap_or_else", "f", OUT, [("f",)]),
    (Nothing, "map", [5], SELF, []), (Nothing, "and_then", [5], SELF, []), (Nothing, "or_else", "f", OUT, [("f",)]),
    (Nothing, "inspect", [5], SELF, []), (Nothing, "filter", [5], SELF, []), (Nothing, "ok_or", [D], new(Err, D), []),
    (Nothing, "ok_or_else", "f", new(Err, OUT), [("f",)]),
    (Some, "__or__", "f", new(Some, OUT), [("f", V)]), (Some, "__rshift__", "f", OUT, [("f", V)]),
    (Some, "__or__", "i", new(Some, NotImplemented), [("i", V)]),
    (Nothing, "__or__", [5], SELF, []), (Nothing, "__rshift__", [5], SELF, []),
    (Some, "__copy__", "", SELF, []), (Nothing, "__copy__", "", SELF, []), (Nothing, "__deepcopy__", [{}], SELF, []),
    (Some, "__reduce__", "", lambda res, r: res == (Some, (V,)) and res[1][0] is V, []),
    (Nothing, "__reduce__", "", lambda res, r: res == (Nothing, ()), []),
]


@pytest.mark.parametrize("variant, method, args, expected, recorded", ROWS)
def test_each_method_on_each_variant(variant, method, args, expected, recorded):
    calls = []
    rec = {t: (lambda t, out: lambda *a: calls.append((t, *a)) or out)(t, out)
           for t, out in zip("fgzni", (OUT, OUT, 0, None, NotImplemented))}
    r = Nothing() if variant is Nothing else variant(XE if variant is Err else V)
    bound = [rec.get(a, a) if isinstance(a, str) else a for a in args]
    if expected is RAISES:
        assert raised(lambda: getattr(r, method)(*bound)).container is r
    else:
        res = getattr(r, method)(*bound)
        assert expected(res, r) if callable(expected) else res is (r if expected is SELF else expected), res
    assert calls == recorded


def test_map_err_keeps_the_context_and_operators_leave_the_left_operand_alone():
    e = Err("e").note("ctx").traced("t")
    m = e.map_err(str.upper)
    assert m.error == "E" and m.notes is e.notes and m.trace is e.trace
    assert "'int' object is not callable" in str(raised(lambda: Ok(1).map(5)))
    Left = type("Left", (), {"__or__": lambda s, o: NotImplemented, "__rshift__": lambda s, o: NotImplemented})
    for recv in (Ok(1), Err(1), Some(1), Nothing()):
        for left in (3, Left(), pytest.fail, Some(1).map):  # the left operand is never called
            assert recv.__ror__(left) is NotImplemented and recv.__rrshift__(left) is NotImplemented
            for op in ("|", ">>", "|=", ">>="):
                assert "unsupported operand" in str(raised(lambda: exec(f"a {op} b", {"a": left, "b": recv})))


NOTED = ValueError("bad value")
NOTED.__notes__ = ["raised while parsing line 3"]  # what add_note stores (3.11+)
SAMPLES = [  # pickled here and sent back by worker processes (test_processes.py)
    Ok(1), Err("disk full").note("saving report").note("n").traced("save").traced("run"), Some([1, {"k": (2, None)}]),
    Nothing(), Ok(Some(Err(Nothing()).note("inner"))), Err(NOTED).note("outer").traced("parse"),
    [Ok(None), Some(Some(Nothing())), {"e": Err(b"\x00").traced("io")}], Err(Ok(Err(2).traced("t")))._with_meta((1, 2)),
    catching(ValueError)(int)("x")]  # caught in a worker: type and message kept


def shape(v):
    """A comparable picture of ``v``: exceptions with notes, results with notes and trace, Nothing by identity."""
    if isinstance(v, Ok | Err | Some):
        meta = getattr(v, "notes", None), getattr(v, "trace", None)  # a Some has neither
        return type(v), shape(v.error if isinstance(v, Err) else v.value), meta
    if isinstance(v, list | tuple | dict):
        return type(v), [shape(x) for x in (v.items() if isinstance(v, dict) else v)]
    return (type(v), v.args, getattr(v, "__notes__", None)) if isinstance(v, BaseException) else (v, v is Nothing())


@pytest.mark.parametrize("protocol", range(6))
def test_pickle_round_trip(protocol):
    assert shape(pickle.loads(pickle.dumps(SAMPLES, protocol))) == shape(SAMPLES)


def test_reduce_looks_up_rebuild_err_every_time(monkeypatch):  # nothing is cached, failures included
    assert Ok(1).__reduce__() == (Ok, (1,)) and Err(1).__reduce__() == (ostrel.result._rebuild_err, (1, (), ()))
    fn, (error, notes, trace) = E.__reduce__()
    assert error is E.error and notes is E.notes and trace is E.trace
    monkeypatch.delattr(ostrel.result, "_rebuild_err")
    assert type(raised(lambda: Err(1).__reduce__())) is AttributeError
    monkeypatch.setattr(ostrel.result, "_rebuild_err", print, raising=False)
    assert Err(1).__reduce__()[0] is print


@pytest.mark.parametrize("variant, field", [(Ok, "value"), (Err, "error"), (Some, "value")])
def test_copy_and_deepcopy(variant, field, monkeypatch):
    x, memo = [1], {}
    value = Err(x).note("n").traced("t") if variant is Err else variant(x)
    assert copy.copy(value) is value and copy.deepcopy(Nothing()) is Nothing()
    pair = copy.deepcopy((value, x, value))  # memo passed on: what was shared stays shared
    assert type(pair[0]) is variant and pair[0] == value and pair[0] is not value is not pair[2] is pair[0]
    assert getattr(pair[0], field) is pair[1] and pair[1] is not x
    assert isinstance(value, Ok | Some) or (pair[0].notes is value.notes and pair[0].trace is value.trace)
    same = variant(5)  # a payload that deep-copies to itself still gets a new result
    assert copy.deepcopy(same) is not same and getattr(copy.deepcopy(same), field) == 5
    looped = variant([])  # a payload that refers back to its result: the copy refers back to the copy
    getattr(looped, field).append(looped)
    dup = copy.deepcopy(looped)
    assert dup is not looped and getattr(dup, field)[0] is dup
    assert getattr(value.__deepcopy__(memo=memo), field) is not x and id(x) in memo
    with monkeypatch.context() as mp:  # `copy` is looked up anew at every use
        mp.setitem(sys.modules, "copy", None)
        assert type(raised(lambda: value.__deepcopy__(memo))) is ModuleNotFoundError
    monkeypatch.setattr(copy, "deepcopy", lambda *args, **kw: (args, kw))
    assert getattr(value.__deepcopy__(memo), field) == ((x, memo), {})
