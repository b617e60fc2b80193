"""Option misuse that mypy --strict must reject; each marked line names its expected error."""

from __future__ import annotations

from ostrel import Nothing, Option, Some



def find() -> Option[int]:
    return Some(1)


o = find()
o.value  # E[mypy]: Item "Nothing" of "Some[int] | Nothing" has no attribute "value"  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Nothing"
Nothing().map(fn_=str)  # E[mypy]: Unexpected keyword argument "fn_" for "map" of "Nothing"  # E[pyright,basedpyright]: No parameter named "fn_"
Some(1).expect(5)  # E[mypy]: Argument 1 to "expect" of "Some" has incompatible type "int"; expected "str"  # E[pyright,basedpyright]: "Literal[5]" is not assignable to "str"
Some(1).filter(lambda v: v.strip())  # E[mypy]: "int" has no attribute "strip"  # E[pyright,basedpyright]: Cannot access attribute "strip" for class "int"
s: Some[str] = Some(1)  # E[mypy]: Argument 1 to "Some" has incompatible type "int"; expected "str"  # E[pyright,basedpyright]: "Some[int]" is not assignable to "Some[str]"
n: int = o.some  # E[mypy]: expression has type "int | None", variable has type "int"  # E[pyright,basedpyright]: Type "int | None" is not assignable to declared type "int"
