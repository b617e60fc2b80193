"""Adapters: each library's equivalent of every benchmarked operation.

An adapter returns (namespace, statements). The namespace holds the objects a
statement uses, built with that library's own API; statements maps an
operation key of run.OPS to a timeit statement, or leaves it out where the
library has no equivalent. The same names mean the same thing everywhere:
ok/ok2 hold 1 (two distinct objects), err holds "e", some holds 1, d is a
default, fb is a builtin and fp a Python function, good()/bad() succeed/raise.

The everyday rows (collect, partition, early return, catching, unwrap_or_raise)
use oks/mix (100,000 results: all Ok, or Err from the middle on at every tenth),
small (1,000 Ok), early(a, b) (two unwraps and an Ok), cgood()/cbad() (good and
bad behind the library's exception-catching decorator), decorated(1) (the decorator rows: an
Ok of 1 out of one decorated call; ostrel's body returns Ok(x) under @propagate, the peers'
decorators make the Ok themselves, around a body that returns x).
"""

import pickle
import random

RAISE = "try:\n    {}\nexcept {}:\n    pass"
COMMON = {
    "new_ok": "Ok(1)", "new_err": 'Err("e")', "new_some": "Some(1)",
    "ok_unwrap": "ok.unwrap()", "some_unwrap": "some.unwrap()",
    "ok_unwrap_or": "ok.unwrap_or(d)", "err_unwrap_or": "err.unwrap_or(d)",
    "ok_map_b": "ok.map(fb)", "ok_map_p": "ok.map(fp)",
    "err_map_b": "err.map(fb)", "err_map_p": "err.map(fp)", "some_map_b": "some.map(fb)",
    "eq": "ok == ok2", "hash": "hash(ok)", "repr": "repr(ok)",
    "dumps": "dumps(err)", "loads": "loads(eblob)", "pipeline": "run(records)",
}


def good():
    return 1


def bad():
    raise ValueError("bad")


def fp(v):
    return v


# ---- the 10-step pipeline: orders -> customer -> account -> region ->
# warehouse -> carrier rate, alternating field reads and table look-ups; about
# a quarter of the orders fail at some step (missing field or dangling id).

def _data(n=200, seed=7):
    rnd = random.Random(seed)
    rates = {f"c{i}": 1.5 + i for i in range(5)}
    warehouses = {f"w{i}": {"carrier": f"c{i % 5}"} for i in range(20)}
    regions = {f"r{i}": {"warehouse": f"w{i % 20}"} for i in range(30)}
    accounts = {f"a{i}": {"region": f"r{i % 30}"} for i in range(300)}
    customers = {f"u{i}": {"account": f"a{i % 300}"} for i in range(500)}
    tables = [None, customers, None, accounts, None, regions, None, warehouses, None, rates]
    fields = ["customer", None, "account", None, "region", None, "warehouse", None, "carrier", None]
    orders = []
    for i in range(n):
        order = {"id": i, "customer": f"u{rnd.randrange(500)}"}
        if rnd.random() < 0.06:
            del order["customer"]
        elif rnd.random() < 0.06:
            order["customer"] = "u-gone"
        orders.append(order)
    for key, table, field in (("u3", customers, "account"), ("a7", accounts, "region"),
                              ("r5", regions, "warehouse"), ("w4", warehouses, "carrier")):
        del table[key][field]  # holes deeper in the chain
    return orders, list(zip(tables, fields))


def _steps(ok, err):
    def step(table, field):
        if table is None:
            def read(record):
                v = record.get(field)
                return err(f"no {field}") if v is None else ok(v)
            return read

        def look(key):
            v = table.get(key)
            return err(f"unknown {key}") if v is None else ok(v)
        return look
    orders, plan = _data()
    return orders, [step(t, f) for t, f in plan]


def _pipeline(ok, err, start, bind):
    orders, steps = _steps(ok, err)
    chain = "".join(f".{bind}(s{i})" for i in range(len(steps)))
    src = f"def run(records):\n    return [{start}(r){chain} for r in records]\n"
    ns = {f"s{i}": s for i, s in enumerate(steps)}
    ns[start] = ok
    exec(src, ns)
    return ns["run"], orders


def plain_pipeline():
    """The same look-ups without a library: None checks after every step."""
    orders, plan = _data()

    def run(records):
        out = []
        for v in records:
            for table, field in plan:
                v = v.get(field) if table is None else table.get(v)
                if v is None:
                    break
            out.append(v)
        return out
    return {"run": run, "records": orders}


# ---- the everyday functions ----------------------------------------------------

def ok_body(Ok):
    """The body of the decorator rows: an Ok of its argument."""
    def body(x):
        return Ok(x)
    return body


def value_body(x):
    """The same job for a peer's decorator that wraps what the body returns in its Ok."""
    return x


N_RESULTS = 100_000
N_SMALL = 1_000


def results(Ok, Err, n=N_RESULTS):
    """(all Ok, mixed): in the mix, every tenth result from the middle on is an Err."""
    oks = [Ok(i) for i in range(n)]
    mix = [Err(i) if i >= n // 2 and i % 10 == 9 else Ok(i) for i in range(n)]
    return oks, mix


def plain_everyday():
    """The same jobs written by hand over ostrel values: the baselines of the everyday rows."""
    from ostrel import Err, Ok, propagate

    def collect_loop(items):
        values = []
        for r in items:
            if r.is_err:
                return r
            values.append(r.value)
        return Ok(values)

    def partition_loop(items):
        values, errors = [], []
        for r in items:
            if r.is_ok:
                values.append(r.value)
            else:
                errors.append(r.error)
        return values, errors

    @propagate
    def hand(a, b):
        if a.is_err:
            return a
        if b.is_err:
            return b
        return Ok(a.value + b.value)

    def hgood():
        try:
            return Ok(good())
        except Exception as exc:
            return Err(exc)

    def hbad():
        try:
            return Ok(bad())
        except Exception as exc:
            return Err(exc)

    body = ok_body(Ok)

    def wrapper(*a, **k):  # the decorator rows' baseline: the least a Python decorator can do
        return body(*a, **k)

    oks, mix = results(Ok, Err)
    return dict(collect_loop=collect_loop, partition_loop=partition_loop, hand=hand,
                hgood=hgood, hbad=hbad, oks=oks, mix=mix, small=oks[:N_SMALL],
                hok=Ok(1), hok2=Ok(1), herr=Err("e"), body=body, wrapper=wrapper)


PLAIN_EVERYDAY = {
    "py_collect": "collect_loop(oks)", "py_collect_mix": "collect_loop(mix)",
    "py_collect_small": "collect_loop(small)", "py_partition": "partition_loop(oks)",
    "py_partition_mix": "partition_loop(mix)", "py_early_ok": "hand(hok, hok2)",
    "py_early_err": "hand(hok, herr)", "py_catch_ok": "hgood()", "py_catch_err": "hbad()",
    "py_unwrap": "hok.unwrap()", "py_wrapper": "wrapper(1)", "py_body": "body(1)",
}


def _ostrel_everyday(ns, st):
    """Rows for the functions this build of ostrel has; the others stay out (skipped)."""
    import ostrel
    ns["oks"], ns["mix"] = results(ostrel.Ok, ostrel.Err)
    ns["small"] = ns["oks"][:N_SMALL]
    if hasattr(ostrel, "collect"):
        ns["collect"] = ostrel.collect
        st.update(collect_ok="collect(oks)", collect_mix="collect(mix)",
                  collect_small="collect(small)")
    if hasattr(ostrel, "partition"):
        ns["partition"] = ostrel.partition
        st.update(partition_ok="partition(oks)", partition_mix="partition(mix)")
    if hasattr(ostrel, "catching"):
        ns["cgood"] = ostrel.catching(Exception)(good)
        ns["cbad"] = ostrel.catching(Exception)(bad)
        st.update(catching_ok="cgood()", catching_err="cbad()")
    if hasattr(ostrel, "unwrap_or_raise"):
        ns["unwrap_or_raise"] = ostrel.unwrap_or_raise
        st.update(unwrap_or_raise="unwrap_or_raise(ok)")
    if hasattr(ostrel, "propagate"):
        ns["decorated"] = ostrel.propagate(ok_body(ostrel.Ok))
        st.update(propagate_ok="decorated(1)", propagate_bare="decorated(1)")
    if _has_early_return(ostrel):
        @ostrel.propagate
        def early(a, b):
            return ostrel.Ok(a.unwrap() + b.unwrap())
        ns["early"] = early
        st.update(early_ok="early(ok, ok2)", early_err="early(ok, err)")


def _has_early_return(ostrel):
    """Whether unwrap() on an Err inside a @propagate function returns that Err."""
    @ostrel.propagate
    def probe(r):
        return ostrel.Ok(r.unwrap())
    try:
        out = probe(ostrel.Err("probe"))
    except Exception:
        return False
    return isinstance(out, ostrel.Err) and out.error == "probe"


def _ns(Ok, Err, Some, errn, bind, **extra):
    run, orders = _pipeline(Ok, Err, "Ok", bind)
    ns = dict(Ok=Ok, Err=Err, Some=Some, ok=Ok(1), ok2=Ok(1), err=Err("e"),
              some=Some(1) if Some else None, d=0, fb=abs, fp=fp, good=good, bad=bad,
              eblob=pickle.dumps(Err("e")), errn=errn, blob=pickle.dumps(errn), dumps=pickle.dumps, loads=pickle.loads,
              run=run, records=orders)
    ns.update(extra)
    return ns


def ostrel():
    from ostrel import Err, Nothing, Ok, Result, Some, UnwrapError
    ns = _ns(Ok, Err, Some, Err("e").note("loading").note("parsing").traced("load"),
             "and_then", Nothing=Nothing, Result=Result, UnwrapError=UnwrapError)
    st = dict(COMMON)
    st.update({
        "new_nothing": "Nothing()", "err_unwrap": RAISE.format("err.unwrap()", "UnwrapError"),
        "ok_value": "ok.value", "err_value": "err.error",
        "ok_is_ok": "ok.is_ok", "err_is_ok": "err.is_ok",
        "ok_then_b": "ok.and_then(fb)", "ok_then_p": "ok.and_then(fp)",
        "err_then_b": "err.and_then(fb)", "err_then_p": "err.and_then(fp)",
        "or": "ok | fb", "rshift": "ok >> fb",
        "some_filter": "some.filter(fb)", "ok_to_option": "ok.to_option()",
        "note": 'err.note("ctx")', "traced": 'err.traced("site")', "wrap_err": 'err.wrap_err("new")',
        "catch_ok": "Result.catch(good, on_error=str)", "catch_err": "Result.catch(bad, on_error=str)",
        "dumps_notes": "dumps(errn)", "loads_notes": "loads(blob)",
    })
    _ostrel_everyday(ns, st)
    return ns, st


def result():
    from result import Err, Ok, UnwrapError, as_result, do

    def early(a, b):
        return do(Ok(x + y) for x in a for y in b)

    ns = _ns(Ok, Err, None, Err("e"), "and_then", UnwrapError=UnwrapError,
             cgood=as_result(Exception)(good), cbad=as_result(Exception)(bad), early=early,
             decorated=as_result(Exception)(value_body))
    st = {k: v for k, v in COMMON.items() if "some" not in k}
    st.update({
        "err_unwrap": RAISE.format("err.unwrap()", "UnwrapError"),
        "ok_value": "ok.ok_value", "err_value": "err.err_value",
        "ok_is_ok": "ok.is_ok()", "err_is_ok": "err.is_ok()",
        "ok_then_b": "ok.and_then(fb)", "ok_then_p": "ok.and_then(fp)",
        "err_then_b": "err.and_then(fb)", "err_then_p": "err.and_then(fp)",
        "catch_ok": "cgood()", "catch_err": "cbad()",
        "catching_ok": "cgood()", "catching_err": "cbad()",
        "early_ok": "early(ok, ok2)", "early_err": "early(ok, err)", "propagate_ok": "decorated(1)",
    })
    return ns, st


def returns():
    from returns.maybe import Some
    from returns.pipeline import is_successful
    from returns.primitives.exceptions import UnwrapFailedError
    from returns.iterables import Fold
    from returns.methods import partition
    from returns.result import Failure, Success, safe
    oks, mix = results(Success, Failure)
    ns = _ns(Success, Failure, Some, Failure("e"), "bind", UnwrapError=UnwrapFailedError,
             is_successful=is_successful, cgood=safe(good), cbad=safe(bad), Fold=Fold,
             partition=partition, oks=oks, mix=mix, small=oks[:N_SMALL], empty=Success(()),
             decorated=safe(value_body))
    st = dict(COMMON)
    st.update({
        "err_unwrap": RAISE.format("err.unwrap()", "UnwrapError"),
        "ok_is_ok": "is_successful(ok)", "err_is_ok": "is_successful(err)",
        "ok_unwrap_or": "ok.value_or(d)", "err_unwrap_or": "err.value_or(d)",
        "ok_then_b": "ok.bind(fb)", "ok_then_p": "ok.bind(fp)",
        "err_then_b": "err.bind(fb)", "err_then_p": "err.bind(fp)",
        "catch_ok": "cgood()", "catch_err": "cbad()",
        "catching_ok": "cgood()", "catching_err": "cbad()", "propagate_ok": "decorated(1)",
        # Fold.collect is quadratic (it grows a tuple): only the 1,000-result row.
        "collect_small": "Fold.collect(small, empty)",
        "partition_ok": "partition(oks)", "partition_mix": "partition(mix)",
    })
    return ns, st


def option():
    from option import Err, Ok, Some
    ns = _ns(Ok, Err, Some, Err("e"), "flatmap")
    st = dict(COMMON)
    st.update({
        "err_unwrap": RAISE.format("err.unwrap()", "ValueError"),
        "ok_is_ok": "ok.is_ok", "err_is_ok": "err.is_ok",
        "ok_then_b": "ok.flatmap(fb)", "ok_then_p": "ok.flatmap(fp)",
        "err_then_b": "err.flatmap(fb)", "err_then_p": "err.flatmap(fp)",
    })
    return ns, st


def expression():
    from expression import Error, Ok, Some, effect
    from expression.collections import Block
    from expression.extra.result import catch, sequence

    @effect.result[int, str]()
    def early(a, b):
        x = yield from a
        y = yield from b
        return x + y

    ns = _ns(Ok, Error, Some, Error("e"), "bind", early=early, sequence=sequence,
             small=Block([Ok(i) for i in range(N_SMALL)]),
             cgood=catch(exception=Exception)(good), cbad=catch(exception=Exception)(bad))
    st = {k: v for k, v in COMMON.items() if "unwrap()" not in v}  # no unwrap method
    st.update({
        "ok_value": "ok.ok", "err_value": "err.error",
        "ok_is_ok": "ok.is_ok()", "err_is_ok": "err.is_ok()",
        "ok_unwrap_or": "ok.default_value(d)", "err_unwrap_or": "err.default_value(d)",
        "ok_then_b": "ok.bind(fb)", "ok_then_p": "ok.bind(fp)",
        "err_then_b": "err.bind(fb)", "err_then_p": "err.bind(fp)",
        "early_ok": "early(ok, ok2)", "early_err": "early(ok, err)",
        # sequence is quadratic too: only the 1,000-result row.
        "collect_small": "sequence(small)",
        "catching_ok": "cgood()", "catching_err": "cbad()",
    })
    return ns, st


PEERS = {"result": result, "returns": returns, "option": option, "expression": expression}
