"""A griffe extension for the API reference (mkdocs.yml): methods declared only by overloads.

A stub has no implementation to follow a method's overloads, and griffe sets such overloads
aside instead of making them a member, so the reference would leave out the overloaded
methods of the native classes (``Nothing()``, ``Result.catch``). Each becomes
a member named after them, with the parameter names of the first overload, the first
overload's docstring (which describes the whole method), and every overload's signature.
"""

from __future__ import annotations

from typing import Any

import griffe


class StubOverloads(griffe.Extension):
    """Turns the overloads left without a member in a class into that member."""

    def on_class_members(self, *, cls: griffe.Class, **kwargs: Any) -> None:
        """Runs once a class's members are loaded, while its leftover overloads are still at hand."""
        for name, overloads in list(cls.overloads.items()):
            if not overloads or name in cls.members:
                continue
            first = overloads[0]
            method = griffe.Function(
                name,
                lineno=first.lineno,
                endlineno=overloads[-1].endlineno,
                parameters=griffe.Parameters(
                    *(griffe.Parameter(p.name, kind=p.kind, default=p.default) for p in first.parameters)
                ),
                docstring=first.docstring,
                parent=cls,
            )
            method.overloads = overloads
            cls.set_member(name, method)
            del cls.overloads[name]
