"""Argument binding and conversion: exact error messages, keyword names per variant, pass-through."""

import inspect

import pytest

from conftest import balanced, processing_notes, raised
from ostrel_core import Err, Nothing, Ok, Option, Result, Some

f = print
BINDING_ERRORS = [
    (lambda: Some(1).map(), "Some.map() missing 1 required positional argument: 'fn_'"),
    (lambda: Ok(1).fold(), "Ok.fold() missing 2 required positional arguments: 'on_ok' and '_on_err'"),
    (lambda: Err(1).fold(f), "Err.fold() missing 1 required positional argument: 'on_err'"),
    (lambda: Ok(1).fold(_on_err=f), "Ok.fold() missing 1 required positional argument: 'on_ok'"),
    (lambda: Some(1).map(f, f), "Some.map() takes 1 positional arguments but 2 were given"),
    (lambda: Ok(1).fold(1, 2, 3), "Ok.fold() takes 2 positional arguments but 3 were given"),
    (lambda: Ok(1).unwrap(5), "Ok.unwrap() takes 0 positional arguments but 1 was given"),
    (lambda: Err(1)._with_meta((), (), 3), "Err._with_meta() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda: Err(1)._with_meta(trace=()), "Err._with_meta() missing 1 required positional argument: 'notes'"),
    (lambda: Some(1).unwrap_or(default=2), "Some.unwrap_or() got an unexpected keyword argument 'default'"),
    (lambda: Ok(1).map(f, fn_=f, x=1), "Ok.map() got multiple values for argument 'fn_'"),
    (lambda: Ok(1).map(x=1, fn_=f), "Ok.map() got an unexpected keyword argument 'x'"),
    (lambda: Ok(1).fold(1, on_ok=2), "Ok.fold() got multiple values for argument 'on_ok'"),
    (lambda: Err(1)._with_meta((), (), trace=()), "Err._with_meta() got multiple values for argument 'trace'"),
    (lambda: Err(1)._with_meta((), trace=(), notes=()), "Err._with_meta() got multiple values for argument 'notes'"),
    (lambda: Some(1, value=2), "Some.__new__() got multiple values for argument 'value'"),
    (lambda: Ok(), "Ok.__new__() missing 1 required positional argument: 'value'"),
    (lambda: Err(1, 2), "Err.__new__() takes 1 positional arguments but 2 were given"),
    (lambda: Err(value=1), "Err.__new__() got an unexpected keyword argument 'value'"),
    (lambda: Ok(**{"\ud800": 1}), "Ok.__new__() got an unexpected keyword argument '\ud800'"),
    (lambda: Ok(1).map(**{"fn_\ud800": f}), "Ok.map() got an unexpected keyword argument 'fn_\ud800'"),
    (lambda: Result.catch(f, ValueError), "Result.catch() missing 1 required keyword argument: 'on_error'"),
    (lambda: Result.catch(on_error=f), "Result.catch() missing 1 required positional argument: 'fn_'"),
    (lambda: Result.catch(f, on_error=f, x=1), "Result.catch() got an unexpected keyword argument 'x'"),
    (lambda: Result.catch(f, exceptions=(), on_error=f), "Result.catch() got an unexpected keyword argument"
     " 'exceptions'"),
    (lambda: Result.catch(f, ValueError, fn_=f, on_error=f), "Result.catch() got multiple values for argument 'fn_'"),
    (lambda: Result.__class_getitem__(), "Result.__class_getitem__() missing 1 required positional argument: 'args'"),
    (lambda: Err(1)._with_meta(["a"]), "'list' object is not an instance of 'tuple'"),
]


@pytest.mark.parametrize("call, message", BINDING_ERRORS, ids=[m for _, m in BINDING_ERRORS])
def test_binding_errors(call, message):
    e = raised(call)
    assert type(e) is TypeError and e.args == (message,)
    balanced(call)


class Text(str):
    def __call__(self, *args):
        return True


def bound_methods():
    for obj in (Ok(1), Err(1), Some(1), Nothing()):
        for owner in type(obj).__mro__[:-1]:
            for name in [n for n, d in vars(owner).items() if "method_descriptor" in type(d).__name__]:
                params = inspect.signature(getattr(obj, name)).parameters.values()
                params = [p for p in params if p.kind != p.VAR_POSITIONAL]
                if params:
                    yield pytest.param(obj, f"{owner.__name__}.{name}()", name, params, id=f"{obj!r}.{name}")


@pytest.mark.parametrize("obj, full, name, params", list(bound_methods()))
def test_keywords_bind_by_own_names_only(obj, full, name, params):
    kw = {p.name: ("a",) if p.name in ("notes", "trace") else Text("x") for p in params}
    try:
        getattr(obj, name)(**kw)
    except Exception as e:  # unwrap failures and the like, but never a binding error
        assert not str(e).startswith(full) and "is not an instance" not in str(e)
    for p in params:
        other = p.name[1:] if p.name.startswith("_") else "_" + p.name
        e = raised(lambda: getattr(obj, name)(**{**kw, other: 1}))
        assert e.args == (f"{full} got an unexpected keyword argument '{other}'",)
        balanced(lambda: getattr(obj, name)(**{**kw, other: 1}), obj, kw[p.name], n=200)


TEXT_PARAMS = [(Err(1).note, "msg"), (Ok(1).note, "_msg"), (Err(1).expect, "msg"), (Ok(1).expect, "_msg"),
               (Ok(1).expect_err, "msg"), (Err(1).expect_err, "_msg"), (Err(1).traced, "site"),
               (Ok(1).traced, "_site"), (Some(1).expect, "_msg"), (Nothing().expect, "msg")]


@pytest.mark.parametrize("arg, error, text", [
    (5, TypeError, "'int' object is not an instance of 'str'"), (None, TypeError, "'None' is not an instance of 'str'"),
    (b"x", TypeError, "'bytes' object is not an instance of 'str'"), ("a\ud800", UnicodeEncodeError, "surrogates")])
@pytest.mark.parametrize("meth, name", TEXT_PARAMS, ids=[f"{m.__self__!r}.{m.__name__}" for m, _ in TEXT_PARAMS])
def test_text_conversion_errors(meth, name, arg, error, text):
    for call in (lambda: meth(arg), lambda: meth(**{name: arg})):
        e = raised(call)
        assert type(e) is error and text in str(e) and not str(e).startswith(name)
        assert getattr(e, "__notes__", None) == processing_notes(name)
        balanced(call, arg)


def test_tuple_conversion_and_nested_qualname():
    class Local(tuple):
        pass

    class Bad:
        pass

    e = raised(lambda: Err(1)._with_meta(trace=[], notes=Bad()))  # converted in declaration order
    assert e.args == (f"'{Bad.__qualname__}' object is not an instance of 'tuple'",)
    assert "<locals>" in Bad.__qualname__ and getattr(e, "__notes__", None) == processing_notes("notes")
    e = raised(lambda: Err(1)._with_meta((), 5))
    assert getattr(e, "__notes__", None) == processing_notes("trace")
    notes, trace = Local(("a",)), Local()
    r = Err(1)._with_meta(notes, trace)
    assert r.notes is notes and r.trace is trace
    assert Err(1)._with_meta(("a",)).trace == () == Err(1)._with_meta(("a",), None).trace
    balanced(lambda: Err(1)._with_meta(notes, trace), notes, trace)


def test_subclasses_and_none_defaults():
    class S(str):
        pass

    assert Ok(1).expect(S("m")) == 1 and type(Err(1).note(S("n")).notes[0]) is str
    assert Err(1).traced(S("\u00e9\U0001f600")).trace == ("\u00e9\U0001f600",)
    assert Ok(1).unwrap(err=None, note=None) == 1 == Ok(1).unwrap(err=5, note=5)
    assert Some(1).map(fn_=lambda v: v + 1) == Some(2) and Ok(value=3) == Ok(3) and Err(error=3) == Err(3)
    assert Nothing(1, 2, a=3) is Nothing() and isinstance(raised(lambda: Result(1, x=1, **{"\ud800": 1})), TypeError)
    assert Result.catch(lambda: 1, on_error=f) == Ok(1)
    assert Result.catch(lambda: {}["k"], ValueError, KeyError, on_error=type) == Err(KeyError)
    with pytest.raises(KeyError):
        Result.catch(lambda: {}["k"], ValueError, on_error=type)
    for call in (lambda: Option(), lambda: Some.__copy__(Some(1), 2), lambda: Some(1).__copy__(2),
                 lambda: Ok.map(Err(1), f), lambda: Ok(1).to_option(1)):
        assert type(raised(call)) is TypeError


def test_callback_exceptions_pass_through():
    boom = KeyError("k")

    def fail(*args):
        raise boom.with_traceback(None)

    class Loud:
        __repr__ = __str__ = __eq__ = __hash__ = fail

    for call in (lambda: Ok(1).map(fail), lambda: Some(1).map(fail), lambda: Err(1).map_err(fn_=fail),
                 lambda: Ok(1).is_ok_and(fail), lambda: repr(Ok(Loud())), lambda: str(Err(Loud())),
                 lambda: Ok(Loud()) == Ok(1), lambda: hash(Err(Loud())), lambda: Result.catch(fail, ValueError, on_error=f),
                 lambda: Result.catch(lambda: 1 / 0, on_error=fail)):
        e = raised(call)
        assert e is boom and e.__traceback__.tb_next is not None and not getattr(e, "__notes__", None)
        balanced(call, boom)
