"""Copying and pickling of Ok and Err, and Err._with_meta."""

import copy
import pickle

import pytest
from conftest import balanced

import ostrel.result
from ostrel import Err, Ok, Some
from ostrel.result import _rebuild_err


Notes = type("Notes", (tuple,), {})
NoCopy = type("NoCopy", (), {"__deepcopy__": lambda self, memo: {}["no copy"]})


VALUES = [
    Ok(1), Ok([1, {"k": (2, None)}]), Err("x"),
    Err(ValueError("x")).note("n1").note("n2").traced("inner").traced("outer"),
    Ok(Some(Err(1).note("n"))), Err(Ok(Err(2).traced("t")))._with_meta((1, 2)),
]


@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
@pytest.mark.parametrize("value", VALUES, ids=repr)
def test_pickle_round_trip(value, protocol):
    back = pickle.loads(pickle.dumps(value, protocol))
    assert type(back) is type(value) and repr(back) == repr(value) and back is not value
    if isinstance(value, Err):
        assert (back.notes, back.trace) == (value.notes, value.trace)
    # pickle's own buffers leave a little stray noise; a leak per round trip would show 2000 blocks
    balanced(lambda: pickle.loads(pickle.dumps(value, protocol)), value, slack=512)


def test_reduce_forms():
    assert Ok(1).__reduce__() == (Ok, (1,))
    e = Err(ValueError("x")).note("n").traced("t")
    fn, (error, notes, trace) = e.__reduce__()
    assert fn is _rebuild_err and error is e.error and notes is e.notes and trace is e.trace
    assert Err(1).__reduce__() == (_rebuild_err, (1, (), ()))


def test_reduce_looks_up_rebuild_err_every_time(monkeypatch):  # nothing is cached, failures included
    monkeypatch.delattr(ostrel.result, "_rebuild_err")
    with pytest.raises(AttributeError):
        Err(1).__reduce__()
    balanced(lambda: Err(1).__reduce__())
    marker = lambda *a: a  # noqa: E731
    monkeypatch.setattr(ostrel.result, "_rebuild_err", marker, raising=False)
    assert Err(1).__reduce__()[0] is marker


@pytest.mark.parametrize("value", [Ok([1]), Err([1]).note("n").traced("t")], ids=repr)
def test_copy_and_deepcopy(value):
    def payload(r):
        return r.value if isinstance(r, Ok) else r.error
    assert copy.copy(value) is value
    dup = copy.deepcopy(value)
    assert type(dup) is type(value) and dup is not value and dup == value and payload(dup) is not payload(value)
    assert (dup.notes, dup.trace) == (value.notes, value.trace)
    assert isinstance(value, Ok) or (dup.notes is value.notes and dup.trace is value.trace)
    immutable = value.map(id).map_err(id)  # a payload that deep-copies to itself still gets a new result
    assert copy.deepcopy(immutable) is not immutable and payload(copy.deepcopy(immutable)) is payload(immutable)
    shared = copy.deepcopy([value, value])
    assert shared[0] is shared[1] and shared[0] is not value
    balanced(lambda: (copy.copy(value), copy.deepcopy([value, value])), value, payload(value))


def test_deepcopy_passes_memo_on(monkeypatch):
    seen = []
    monkeypatch.setattr(copy, "deepcopy", lambda *args, **kw: seen.append((args, kw)) or "copied")
    memo, payload = object(), object()
    assert Ok(payload).__deepcopy__(memo).value == "copied"
    assert Err(payload).__deepcopy__(memo=memo).error == "copied"
    assert seen == [((payload, memo), {})] * 2


@pytest.mark.parametrize("value", [Ok(NoCopy()), Err(NoCopy())])
def test_deepcopy_failure_propagates(value):
    with pytest.raises(KeyError, match="no copy"):
        copy.deepcopy(value)
    balanced(lambda: copy.deepcopy(value), value)


def test_with_meta():
    e = Err(ValueError("x")).note("old").traced("old")
    notes = Notes(("a",))
    for m in (e._with_meta(notes), e._with_meta(notes, None), e._with_meta(notes=notes, trace=None)):
        assert type(m) is Err and m is not e and m.error is e.error and m.notes is notes and m.trace == ()
    trace = ("t",)
    assert e._with_meta((), trace).trace is trace and (e.notes, e.trace) == (("old",), ("old",))
    assert repr(Err("x")._with_meta((1, 2))) == "Err('x'; note: 1; note: 2)"
    assert not hasattr(Ok(1), "_with_meta")
    balanced(lambda: e._with_meta(notes, trace), e, notes, trace)
