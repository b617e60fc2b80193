"""Ok, Err and Some take part in cyclic garbage collection, but only when what they hold can."""

import copy
import gc
import weakref

import pytest

from ostrel_core import Err, Nothing, Ok, Some


class Node:
    pass


def untracked():
    t = tuple(range(10))
    gc.collect()  # untracks a tuple of atomic items, which a new tuple is not
    return t


@pytest.mark.parametrize("make, tracked", [
    (lambda: Ok(1), False), (lambda: Err("e").note("n"), False), (lambda: Err("e").traced("s"), False),
    (lambda: Some([]), True), (lambda: Ok(Ok(1)), False), (lambda: Ok(Ok([])), True), (lambda: Ok((1, [])), True),
    (lambda: Ok((Some([]),)), True), (lambda: Err(OSError()), True), (lambda: Err("e")._with_meta(([],)), True),
    (lambda: Err("e")._with_meta((), ({},)), True), (lambda: Ok(Nothing()), False), (lambda: Ok(Node()), True),
    (lambda: Err(1)._with_meta(type("T", (tuple,), {})()), True), (lambda: Ok(1).to_option(), False),
    (lambda: Some(1).map(lambda v: [v]), True), (lambda: Some([]).ok_or(0), True), (lambda: Ok({}), True),
    (lambda: Some(1).filter(bool), False), (lambda: Some(Some("a")), False), (lambda: Some([]).map(list), True),
    (lambda: copy.deepcopy(Some([])), True), (lambda: Ok(tuple(range(10))), True), (lambda: Some(untracked()), False),
    (lambda: Err(untracked()).note("m").traced("s"), False), (lambda: Err(("a", ([],))), True),
    (lambda: Err(1).map_err(str).note("n").note("m"), False)])
def test_tracked_only_when_a_cycle_is_possible(make, tracked):
    assert gc.is_tracked(make()) is tracked


def test_traversal():
    payload = Node()
    e = Err(payload)._with_meta(("n",), ("t",))
    assert gc.get_referents(Ok(payload)) == [Ok, payload] and gc.get_referents(Some(payload)) == [Some, payload]
    assert gc.get_referents(e) == [Err, payload, e.notes, e.trace]


@pytest.mark.parametrize("wrap", [Ok, Err, Some, lambda v: Err(1)._with_meta((v,)), lambda v: Ok(Err(v))])
def test_cycles_through_values_are_collected(wrap):
    node = Node()
    node.back = wrap(node)
    ref = weakref.ref(node)
    del node
    gc.collect()
    assert ref() is None
