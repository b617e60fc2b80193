"""The module object, the six classes as registered, and the lookups into the companion package."""

import weakref

import pytest

import ostrel_core as core
from conftest import raised, script_output
from ostrel_core import Err, Nothing, Ok, Option, Result, Some

U = "unwrap(*, err=None, note=None)"
# The parameter names of every method, "@" marking class methods; binding by them: test_fuzz.py.
METHODS = {
    Result: "@catch(fn_, *exceptions, on_error) @__class_getitem__(args)",
    Option: "@from_optional(x) @__class_getitem__(args)",
    Some: f"{U} unwrap_or(_default) unwrap_or_else(_fn) expect(_msg) map(fn_) and_then(fn_) or_else(_fn)"
    " inspect(fn_) filter(pred) ok_or(_err) ok_or_else(_fn) __reduce__() __copy__() __deepcopy__(memo)",
    Nothing: f"{U} unwrap_or(default) unwrap_or_else(fn_) expect(msg) inspect(_fn) map(_fn) and_then(_fn)"
    " or_else(fn_) filter(_pred) ok_or(err) ok_or_else(fn_) __reduce__() __copy__() __deepcopy__(_memo)",
    Ok: f"is_ok_and(pred) is_err_and(_pred) {U} unwrap_err() unwrap_or(_default) unwrap_or_else(_fn)"
    " expect(_msg) expect_err(msg) map(fn_) map_err(_fn) and_then(fn_) or_else(_fn) inspect(fn_)"
    " inspect_err(_fn) fold(on_ok, _on_err) to_option() note(_msg) wrap_err(_err) traced(_site)"
    " swap_err(_err) swap_ok(_ok) __reduce__() __copy__() __deepcopy__(memo)",
    Err: f"is_ok_and(_pred) is_err_and(pred) {U} unwrap_err() unwrap_or(default) unwrap_or_else(fn_)"
    " expect(msg) expect_err(_msg) map(_fn) map_err(fn_) and_then(_fn) or_else(fn_) inspect(_fn)"
    " inspect_err(fn_) fold(_on_ok, on_err) to_option() note(msg) wrap_err(err) traced(site)"
    " _with_meta(notes, trace=None) swap_err(_err) swap_ok(_ok) __reduce__() __copy__() __deepcopy__(memo)",
}
UB = "BIND: unwrap(self, *, err=None, note=None) -> T -- T-0028 keyword sugar"
BODIES = {
    (Some, "unwrap"): UB + ",\nalways ignored on `Some`.",
    (Nothing, "unwrap"): UB + ".\nWith `err` given, propagates as `Err(err)` (via `ok_or`, then\n`.note(note)` if"
    " given). `note` without `err` raises `TypeError`:\n`Nothing` has no notes of its own to attach one to.",
    (Ok, "unwrap"): UB + ".\n*err*/*note* are always ignored on `Ok`; the bare path (both None)\ntakes the same"
    " single-field-read branch as before.",
    (Err, "unwrap"): UB + ".\nWith `err` given, the raised error's `.container` is\n`self.wrap_err(err)` (further"
    " `.note(note)`-d if given); with only\n`note`, it is `self.note(note)`. Bare (both None) is the original\n"
    "fast path: raise immediately, nothing else touched.",
    (Ok, "wrap_err"): "BIND: wrap_err(self, err) -> Result[T, F] -- no-op on Ok, T-0028.",
    (Err, "wrap_err"): "BIND: wrap_err(self, err) -> Result[T, F] -- T-0028\n\nWHY: unlike map_err, *err* is a"
    " plain replacement value, not a\nfunction of the old error; the old error is preserved as a new\ntrailing"
    ' note (`"caused by {inner!r}"`) instead of being lost.',
    (Ok, "traced"): "BIND: traced(self, site: str) -> Result[T, E] -- no-op on Ok, T-0028.",
    (Err, "traced"): "BIND: traced(self, site: str) -> Result[T, E] -- T-0028\n\nWHY: appends *site* to the"
    " error-return trace, innermost first;\ncalled once per hop by `ostrel.propagate`. Preserves notes.",
    (Err, "_with_meta"): "BIND: _with_meta(self, notes: tuple[str, ...], trace: tuple[str, ...] = ()) -> Err\n\n"
    "WHY: `ostrel.result._rebuild_err` (pure Python, shared by both\nbackends' `__reduce__`) calls"
    " `Err(error)._with_meta(notes, trace)`\nto restore notes/trace during unpickling; the pure-Python `Err`\n"
    "mutates and returns `self`, but this class is frozen, so it returns\na fresh instance with the same error"
    " and the given notes/trace.",
}
W_ABC = "abstract base of `{}`/`{}`; frozen and subclassable so\n"
CLASSES = [  # class, module, base, text signature, docstring body, number of instance fields
    (Result, "result", object, "(*_args, **_kwargs)", "BIND: class Result(Generic[T_co, E_co])\n\nWHY: "
     + W_ABC.format("Ok", "Err") + "`isinstance(r, Result)` and `match r: case Ok(v): ...` narrowing work\n"
     "exactly as they do against the pure-Python base.", 0),
    (Ok, "result", Result, "(value)", "BIND: class Ok(Result[T_co, E_co])\n\nWHY: success variant; holds the"
     " payload directly (no boxing beyond the\n`Py<PyAny>` GC handle already required) so `unwrap`/`danger_ok`"
     " are a\nsingle field read with no Python-level attribute lookup.", 1),
    (Err, "result", Result, "(error)", "BIND: class Err(Result[T_co, E_co])\n\nWHY: failure variant; carries"
     " `notes` alongside the error payload so\n`note()`/`map_err()` and `__reduce__`'s `_rebuild_err`"
     " round-trip\nexactly like the pure-Python `Err`.", 3),
    (Option, "option", object, "(*_args, **_kwargs)", "BIND: class Option(Generic[T_co])\n\nWHY: "
     + W_ABC.format("Some", "Nothing") + "`isinstance(o, Option)` narrowing works exactly as against the\n"
     "pure-Python base.", 0),
    (Some, "option", Option, "(value)", "BIND: class Some(Option[T_co])\n\nWHY: present variant; holds the"
     " payload directly for a single-field\nread on `unwrap`/`danger_some`.", 1),
    (Nothing, "option", Option, "(*_args, **_kwargs)", "BIND: class Nothing(Option[T_co])\n\nWHY: absent"
     " variant; a single cached instance is shared process-wide\n(`NOTHING_INSTANCE`, mirroring"
     " `Nothing._INSTANCE`) so `Nothing() is\nNothing()` holds under the native backend too.", 0),
]
PROPS = {Result: "", Option: "", Some: "value is_some is_nothing some danger_some",
         Nothing: "is_some is_nothing some danger_some", Ok: "value is_ok is_err ok err danger_ok danger_err notes"
         " trace", Err: "error notes trace is_ok is_err ok err danger_ok danger_err"}


def test_module_frame():
    assert core.__all__ == ["__version__", "Result", "Ok", "Err", "Option", "Some", "Nothing"]
    assert core.__version__ == "0.2.3" and type(core.__version__) is str
    assert core.__doc__ == (
        "BIND: __version__: str\n\nWHY: `ostrel._impl.native_active()` compares this against ostrel's own\n"
        "`__version__` (src/ostrel/_version.py) before trusting this extension;\nan ABI-coupled native module"
        " with a stale version is worse than no\nnative module, so the check must have something exact to"
        " compare.")
    assert [n for n in vars(core) if not n.startswith("__") or n == "__version__"] == core.__all__


@pytest.mark.parametrize("cls, module, base, sig, doc, fields", CLASSES, ids=lambda v: getattr(v, "__name__", ""))
def test_class_registration(cls, module, base, sig, doc, fields):
    assert (cls.__module__, cls.__qualname__, cls.__bases__) == (f"ostrel.{module}", cls.__name__, (base,))
    assert (cls.__text_signature__, cls.__doc__) == (sig, doc)
    assert bool(cls.__flags__ & (1 << 10)) == (base is object)  # subclassable: only the abstract bases
    assert bool(cls.__flags__ & (1 << 14)) == (fields > 0)  # HAVE_GC exactly on the classes with fields
    props = [k for k, v in vars(cls).items() if type(v).__name__ == "getset_descriptor"]
    assert sorted(props) == sorted(PROPS[cls].split()) and all(getattr(cls, k).__doc__ is None for k in props)
    assert "__dict__" not in vars(cls) and "__weakref__" not in vars(cls)
    methods = {k for k, v in vars(cls).items() if type(v).__name__.endswith("method_descriptor")}
    assert methods == {m.lstrip("@").split("(")[0] for m in METHODS[cls].replace(", ", ",").split()}
    for entry in METHODS[cls].replace(", ", ",").split():
        name, params = entry.lstrip("@").rstrip(")").split("(")
        first = "$cls" if entry.startswith("@") else "$self"
        assert vars(cls)[name].__text_signature__ == f"({', '.join([first] + params.split(',') * bool(params))})"
        assert vars(cls)[name].__doc__ == BODIES.get((cls, name)), name
        assert type(vars(cls)[name]).__name__ == ("classmethod_descriptor" if first == "$cls" else "method_descriptor")
    if fields or cls is Nothing:
        assert "not an acceptable base type" in str(raised(lambda: type("Sub", (cls,), {})))
        obj = cls(*[1] * (fields > 0))
        for attr in ("value", "error", "x"):
            assert type(raised(lambda: setattr(obj, attr, 2))) is AttributeError
        assert not hasattr(obj, "__dict__") and type(raised(lambda: weakref.ref(obj))) is TypeError
        assert cls.__match_args__ == {Ok: ("value",), Err: ("error",), Some: ("value",), Nothing: ()}[cls]


def test_companion_refuses_other_version():
    assert script_output("""
        import sys, ostrel_core
        for version in ("0.0.1", None):  # a stale native module, then none at all
            ostrel_core.__version__ = version
            if version is None:
                sys.modules["ostrel_core"] = None
            try: import ostrel
            except ImportError as e: print(str(e).split(", ")[1].split(";")[0])
    """).splitlines() == ["but found ostrel_core 0.0.1", "but it is not installed"]


def test_companion_lookups():
    assert script_output("""
        import sys, types, ostrel_core as c
        def show(thunk):
            try: thunk()
            except Exception as e: print(type(e).__name__, getattr(e, "container", ""))
        class Failing(Exception):
            def __init__(self, *args): raise KeyError(args)
        sys.modules["ostrel._exceptions"] = None  # failed lookups are not cached
        for thunk in (lambda: c.Err(1).unwrap(), lambda: c.Nothing().unwrap(), lambda: c.Ok(1).danger_err): show(thunk)
        sys.modules["ostrel._exceptions"] = m = types.ModuleType("ostrel._exceptions")
        m.UnwrapError = Failing  # found, so kept for the Result family only
        show(lambda: c.Err(1).unwrap())
        del sys.modules["ostrel._exceptions"]
        show(lambda: c.Err(2).unwrap()); show(lambda: c.Nothing().unwrap())
        sys.modules["types"] = None
        show(lambda: c.Ok[int])
        del sys.modules["types"]
        print(c.Ok[int], c.Some[int])
    """).splitlines() == ["ModuleNotFoundError "] * 3 + ["KeyError ", "KeyError ", "UnwrapError Nothing",
                                          "ModuleNotFoundError ", "ostrel.result.Ok[int] ostrel.option.Some[int]"]
