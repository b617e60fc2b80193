"""Option methods and operators on each variant, keyword binding, unwrap sugar, reference counts."""

import copy

import pytest

from conftest import balanced, processing_notes, raised
from ostrel import Err, Nothing, Ok, Option, Some, UnwrapError

V, D = object(), object()  # payload, caller's argument
S, N = Some(V), Nothing()
CALLS = []


def rec(*args):
    CALLS.append(args)
    return ("rec", args)


class Boom:
    """Raises a fresh KeyError, kept as `exc`, from every protocol the module forwards to it."""

    def __call__(self, *_):
        self.exc = KeyError("boom")
        raise self.exc

    __bool__ = __eq__ = __hash__ = __repr__ = __deepcopy__ = __call__


# receiver, method, arguments, expected result, whether it must be that very object; 5 is never called
@pytest.mark.parametrize("recv, name, args, expected, same", [
    (S, "unwrap", (), V, True), (S, "expect", ("m",), V, True), (S, "unwrap_or", (D,), V, True),
    (S, "unwrap_or_else", (5,), V, True), (S, "map", (rec,), Some(("rec", (V,))), False),
    (S, "and_then", (rec,), ("rec", (V,)), False), (S, "or_else", (5,), S, True), (S, "inspect", (rec,), S, True),
    (S, "filter", (lambda v: [v],), Some(V), False), (S, "filter", (lambda v: 0,), N, True),
    (S, "ok_or", (D,), Ok(V), False), (S, "ok_or_else", (5,), Ok(V), False),
    (N, "unwrap_or", (D,), D, True), (N, "unwrap_or_else", (rec,), ("rec", ()), False), (N, "map", (5,), N, True),
    (N, "and_then", (5,), N, True), (N, "or_else", (rec,), ("rec", ()), False), (N, "inspect", (5,), N, True),
    (N, "filter", (5,), N, True), (N, "ok_or", (D,), Err(D), False), (N, "ok_or_else", (rec,), Err(("rec", ())), False),
    (Some(2), "map", (lambda v: None,), Some(None), False), (Some(2), "and_then", (lambda v: 7,), 7, True),
    (S, "map", (lambda v: NotImplemented,), Some(NotImplemented), False), (N, "or_else", (lambda: N,), N, True),
    (N, "unwrap_or_else", (list,), [], False), (Some(0), "filter", (bool,), N, True),
])
def test_methods(recv, name, args, expected, same):
    CALLS.clear()
    got = getattr(recv, name)(*args)
    assert got is expected if same else (type(got) is type(expected) and got == expected and got is not recv)
    assert CALLS == ([(V,)] if recv is S else [()]) * (rec in args)  # positional only, once, only when used
    assert not isinstance(got, Err) or (got.notes, got.trace) == ((), ())


# parameter names (on Some, on Nothing): a keyword call binds by the receiver's own name only
NAMES = {
    "expect": ("_msg", "msg"), "unwrap_or": ("_default", "default"), "unwrap_or_else": ("_fn", "fn_"),
    "map": ("fn_", "_fn"), "and_then": ("fn_", "_fn"), "or_else": ("_fn", "fn_"), "inspect": ("fn_", "_fn"),
    "filter": ("pred", "_pred"), "ok_or": ("_err", "err"), "ok_or_else": ("_fn", "fn_"),
    "__deepcopy__": ("memo", "_memo"),
}


def outcome(call):
    try:
        return "returned", call()
    except Exception as e:  # noqa: BLE001 - compared by type and arguments
        return type(e), e.args


@pytest.mark.parametrize("recv, own", [(S, 0), (N, 1)], ids=["Some", "Nothing"])
@pytest.mark.parametrize("name", NAMES)
def test_keyword_binding_by_own_name(recv, own, name):
    arg, method, mine, other = {"expect": "m", "__deepcopy__": {}}.get(name, lambda *a: 7), getattr(recv, name), \
        NAMES[name][own], NAMES[name][1 - own]
    assert outcome(lambda: method(**{mine: arg})) == outcome(lambda: method(arg))
    full = f"{type(recv).__name__}.{name}()"
    assert raised(lambda: method(**{other: arg})).args == (f"{full} got an unexpected keyword argument '{other}'",)
    assert raised(lambda: method(arg, **{mine: arg})).args == (f"{full} got multiple values for argument '{mine}'",)


def test_unwrap_and_expect():
    assert Some(V).unwrap(err="x", note=5) is V and Some(V).unwrap(note="x") is V and Some(V).unwrap(err=None) is V
    for call in (N.unwrap, lambda: N.unwrap(err=None, note=None), lambda: N.expect("why"),
                 lambda: N.expect(type("Msg", (str,), {})("why"))):
        e = raised(call)
        assert type(e) is UnwrapError and e.container is N and e.args in ((N,), (N, "why"))
        assert all(type(a) is str for a in e.args[1:])
    k = KeyError("k")
    for kwargs, notes in [({"err": k}, ()), ({"err": k, "note": "x"}, ("x",))]:
        e = raised(lambda: N.unwrap(**kwargs))
        assert type(e.container) is Err and e.args == (e.container,)
        assert (e.container.error, e.container.notes, e.container.trace) == (k, notes, ())
    assert raised(lambda: N.unwrap(note="x")).args == ("note requires err on Option.unwrap",)
    e = raised(lambda: N.unwrap(err=k, note=5))  # Err.note's own binding error
    assert e.args == ("'int' object is not an instance of 'str'",)
    assert getattr(e, "__notes__", None) == processing_notes("msg")
    assert type(raised(lambda: S.expect("\ud800"))) is UnicodeEncodeError


def test_unwrap_sugar_goes_through_ok_or_attribute(monkeypatch):
    monkeypatch.setattr(Nothing, "ok_or", lambda self, err: Err(err).traced("patched"))
    assert repr(raised(lambda: N.unwrap(err=1, note="n")).container) == "Err(1; note: n; via patched)"
    monkeypatch.setattr(Nothing, "ok_or", lambda self, err: err)  # ok_or runs before note is looked up
    assert type(raised(lambda: N.unwrap(err=1, note="n"))) is AttributeError
    assert raised(lambda: N.unwrap(err=2)).container == 2


def test_operators():
    assert Some(2) >> (lambda v: v + 1) == 3 and Some(2) | (lambda v: v + 1) == Some(3) and N >> 5 is N and N | 5 is N
    o = Some(1)
    o |= lambda v: v + 1  # the in-place forms use the same slots
    o >>= lambda v: Some(v * 10)
    assert o == Some(20)
    for foreign in (lambda v: v, 5, "s"):
        for right in (Some(1), N):
            assert right.__ror__(foreign) is NotImplemented and right.__rrshift__(foreign) is NotImplemented
            for op in ("|", ">>", "|=", ">>="):
                with pytest.raises(TypeError, match="unsupported operand"):
                    exec(f"a {op} b", {"a": foreign, "b": right})
    with pytest.raises(TypeError, match="unsupported operand"):
        Some(1) >> (lambda v: NotImplemented)  # only >> turns the function's NotImplemented into a refusal


@pytest.mark.parametrize("call", [
    lambda f: S.map(f), lambda f: S.and_then(f), lambda f: S.inspect(f), lambda f: S.filter(f),
    lambda f: S.filter(lambda v: f), lambda f: S | f, lambda f: S >> f, lambda f: N.unwrap_or_else(f),
    lambda f: N.or_else(f), lambda f: N.ok_or_else(f),
])
def test_callback_exceptions_pass_unchanged(call):
    boom = Boom()
    e = raised(lambda: call(boom))
    assert e is boom.exc and e.__traceback__ is not None


ARG, MSG, BAD, FN = object(), "m" + "sg", Boom(), (lambda *a: ARG)
SA = Some(ARG)
FORMS = """Some(ARG); Some(ARG, value=ARG); Some(x=ARG); Option(ARG); Nothing(ARG, k=ARG); Option.from_optional(ARG)
Option.from_optional(None); Some[ARG]; repr(SA); str(Some("\\ud800")); repr(Some(BAD)); hash(SA); hash(Some([ARG]))
hash(Some(BAD)); SA == SA; Some(BAD) == SA; SA != Some(FN); SA < SA; bool(SA); list(SA); SA.value; N.danger_some
SA.__reduce__(); copy.deepcopy(Some([ARG])); copy.deepcopy(Some(BAD)); SA.unwrap(err=ARG, note=ARG); N.unwrap()
N.unwrap(err=ARG); N.unwrap(err=ARG, note=MSG); N.unwrap(err=ARG, note=ARG); N.unwrap(note=MSG); N.expect(MSG)
N.expect(ARG); SA.expect(ARG); SA.expect(MSG); SA.map(FN); SA.map(BAD); SA.and_then(FN); SA.inspect(FN); SA.filter(FN)
SA.filter(lambda v: BAD); SA.filter(lambda v: 0); SA.ok_or(ARG); N.ok_or(ARG); N.ok_or_else(FN); N.ok_or_else(BAD)
SA | FN; SA >> FN; ARG | SA; FN >> N; SA >> (lambda v: NotImplemented); SA.map(_fn=ARG); N.unwrap_or_else(FN)
N.or_else(BAD); SA.map(ARG, ARG); Nothing().__deepcopy__(_memo=ARG)"""


@pytest.mark.parametrize("form", [f.strip() for f in FORMS.replace("\n", ";").split(";")])
def test_reference_counts_balanced(form):  # success and failure paths alike
    code = compile(form, form, "eval")
    balanced(lambda: eval(code), ARG, BAD, FN, SA, N, MSG, Some, Nothing, Ok, Err, UnwrapError, n=300)
