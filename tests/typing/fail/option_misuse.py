"""Option misuse that mypy --strict must reject; each marked line names its expected error."""

from __future__ import annotations

from ostrel import Nothing, Option, Some

o: Option[int] = Some(1)
o.value  # E: Item "Nothing" of "Some[int] | Nothing" has no attribute "value"
Nothing().map(fn_=str)  # E: Unexpected keyword argument "fn_" for "map" of "Nothing"
Some(1).expect(5)  # E: Argument 1 to "expect" of "Some" has incompatible type "int"; expected "str"
Some(1).filter(lambda v: v.strip())  # E: "int" has no attribute "strip"
s: Some[str] = Some(1)  # E: Argument 1 to "Some" has incompatible type "int"; expected "str"
n: int = o.some  # E: expression has type "int | None", variable has type "int"
