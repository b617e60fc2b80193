"""Type stubs of the native backend of ostrel, with the user documentation of every
class, method and property (editors show it on hover; the API reference is built from it).

The classes live here; ``ostrel.result`` and ``ostrel.option`` re-export them. ``Result``
and ``Option`` are the runtime base classes; user code annotates with the unions
``ostrel.Result[T, E]`` (``Ok[T, E] | Err[E, T]``) and ``ostrel.Option[T]``
(``Some[T] | Nothing[T]``), on which ``match``, ``isinstance`` and
``ostrel.is_ok``/``ostrel.is_some`` narrow.

Every variant carries the type parameters of its whole family: ``Ok[T, E]`` and
``Err[E, T]`` both know the value and the error type, ``Nothing[T]`` the value type. The
parameter of the payload a variant does not hold comes second and defaults to ``Never``,
so ``Ok[int]``, ``Err[str]`` and ``Nothing`` keep their short meaning and, the
parameters being covariant, fit any ``Result[int, E]``, ``Result[T, str]`` and
``Option[T]``. A method types its callbacks alike on every variant, whether the variant
calls them or not (``map(fn_: Callable[[T], U])`` on ``Ok`` and on ``Err``), and gives
the same result type on every variant (``Ok[U, E] | Err[E, U]``, or an ``Ok[U, E]`` and an
``Err[E, U]`` that make it up), so a lambda passed to a ``Result``/``Option`` union gets
the payload type on each member and a chain of calls stays a ``Result[U, E]``.

Each variant declares its own parameter names: a parameter that the variant binds but
does not use starts with an underscore (``_fn``), ``fn_`` names a function that is called.
A new method follows the same pattern, with a docstring that says what it returns on
each variant.
"""

from collections.abc import Callable, Iterator
from types import GenericAlias
from typing import Any, ClassVar, Generic, Literal, NoReturn, final, overload

from typing_extensions import Never, Self, TypeVar

__all__ = ["__version__", "Result", "Ok", "Err", "Option", "Some", "Nothing"]

__version__: str

_T_co = TypeVar("_T_co", covariant=True)
_E_co = TypeVar("_E_co", covariant=True)
# The payload type a variant does not hold (Ok's error, Err's and Nothing's value).
_PT_co = TypeVar("_PT_co", covariant=True, default=Never)
_PE_co = TypeVar("_PE_co", covariant=True, default=Never)
_U = TypeVar("_U")
_F = TypeVar("_F")
_R = TypeVar("_R")
_X = TypeVar("_X", bound=BaseException)

# --- Result ---------------------------------------------------------------------------

class Result(Generic[_T_co, _E_co]):
    """The runtime base class of ``Ok`` and ``Err``; it cannot be instantiated.

    Annotate with ``ostrel.Result[T, E]``, which the type checker reads as the union
    ``Ok[T, E] | Err[E, T]``. ``isinstance(x, Result)`` tests for either variant.
    """

    def __new__(cls, *_args: object, **_kwargs: object) -> Self:
        """Not callable: raises ``TypeError``. Build ``Ok(value)`` or ``Err(error)``."""
    def __class_getitem__(cls, args: object) -> GenericAlias:
        """``Result[int, str]`` at run time, a ``types.GenericAlias``; annotations use the union ``ostrel.Result``."""
    @overload
    @classmethod
    def catch(
        cls, fn_: Callable[[], _U], *, on_error: Callable[[Exception], _F]
    ) -> Ok[_U, _F] | Err[_F, _U]:
        """Call ``fn_()`` and return ``Ok`` of its result, or ``Err(on_error(exc))`` if it raises.

        Only the given exception classes are caught (``Exception`` when none are given); any
        other exception propagates unchanged. In type-checked code call ``ostrel.catch``,
        which is this method with a type the checkers can reach:
        ``catch(lambda: int("42"), ValueError, on_error=str) == Ok(42)``.
        """
    @overload
    @classmethod
    def catch(
        cls,
        fn_: Callable[[], _U],
        *exceptions: type[_X] | tuple[type[_X], ...],
        on_error: Callable[[_X], _F],
    ) -> Ok[_U, _F] | Err[_F, _U]:
        """Call ``fn_()`` and return ``Ok`` of its result, or ``Err(on_error(exc))`` if it raises.

        Only the given exception classes are caught (``Exception`` when none are given); any
        other exception propagates unchanged. In type-checked code call ``ostrel.catch``,
        which is this method with a type the checkers can reach:
        ``catch(lambda: int("42"), ValueError, on_error=str) == Ok(42)``.
        """

@final
class Ok(Result[_T_co, _PE_co]):
    """The successful outcome of an operation, holding ``value``.

    Methods that act on a value (``map``, ``and_then``, ``inspect``, ``unwrap``...) use it;
    methods for errors (``map_err``, ``or_else``, ``note``...) return this ``Ok`` unchanged.
    ``match r: case Ok(v): ...`` binds the value.

    ``Ok[T, E]`` is the ``Ok`` member of ``Result[T, E]``; ``Ok[T]`` is ``Ok[T, Never]``,
    which fits a ``Result[T, E]`` of any ``E``.
    """

    __match_args__: ClassVar[tuple[Literal["value"]]]

    def __new__(cls, value: _T_co) -> Self:
        """A successful outcome holding ``value``: ``Ok(8080)``."""
    @property
    def value(self) -> _T_co:
        """The value held."""
    @property
    def is_ok(self) -> Literal[True]:
        """``True``. Prefer ``ostrel.is_ok(r)``, which narrows in every type checker."""
    @property
    def is_err(self) -> Literal[False]:
        """``False``. Prefer ``ostrel.is_err(r)``, which narrows in every type checker."""
    @property
    def ok(self) -> _T_co:
        """The value; ``None`` on ``Err``."""
    @property
    def err(self) -> None:
        """``None``; the error on ``Err``."""
    @property
    def danger_ok(self) -> _T_co:
        """The value, as ``unwrap()``; for hot paths that have checked the variant."""
    @property
    def danger_err(self) -> NoReturn:
        """Raises ``UnwrapError``, as ``unwrap_err()``; the error on ``Err``."""
    @property
    def notes(self) -> tuple[()]:
        """``()``: only an ``Err`` carries notes."""
    @property
    def trace(self) -> tuple[()]:
        """``()``: only an ``Err`` carries a trace."""
    def is_ok_and(self, pred: Callable[[_T_co], object]) -> bool:
        """``True`` if ``pred(value)`` is true, else ``False``; always ``False`` on ``Err``."""
    def is_err_and(self, _pred: Callable[[_PE_co], object]) -> Literal[False]:
        """``False``, without calling ``_pred``; on ``Err`` it tests the error."""
    def unwrap(self, *, err: object = None, note: str | None = None) -> _T_co:
        """The value. On ``Err`` it raises ``UnwrapError``; ``err`` and ``note`` (ignored here)
        then shape the ``Err`` it reports.
        """
    def unwrap_err(self) -> NoReturn:
        """Raises ``UnwrapError`` whose ``container`` is this ``Ok``; on ``Err`` it returns the error."""
    def unwrap_or(self, _default: object) -> _T_co:
        """The value; ``_default`` is returned only by ``Err``."""
    def unwrap_or_else(self, _fn: Callable[[_PE_co], object]) -> _T_co:
        """The value, without calling ``_fn``; on ``Err`` it returns ``fn_(error)``."""
    def expect(self, _msg: str) -> _T_co:
        """The value; on ``Err`` it raises ``UnwrapError`` with the message ``_msg``."""
    def expect_err(self, msg: str) -> NoReturn:
        """Raises ``UnwrapError`` with the message ``msg``; on ``Err`` it returns the error."""
    def map(self, fn_: Callable[[_T_co], _U]) -> Ok[_U, _PE_co]:
        """``Ok(fn_(value))``; an ``Err`` is returned unchanged. ``Ok(2).map(str) == Ok("2")``."""
    def map_err(self, _fn: Callable[[_PE_co], _F]) -> Ok[_T_co, _F]:
        """This ``Ok`` itself, without calling ``_fn``; on ``Err`` it maps the error."""
    def and_then(
        self, fn_: Callable[[_T_co], Ok[_U, _F] | Err[_F, _U]]
    ) -> Ok[_U, _PE_co | _F] | Err[_PE_co | _F, _U]:
        """``fn_(value)``, another result, returned as it is; an ``Err`` is returned unchanged.
        Chains steps that can fail: ``parse(text).and_then(check_range)``.
        """
    def or_else(
        self, _fn: Callable[[_PE_co], Ok[_U, _F] | Err[_F, _U]]
    ) -> Ok[_T_co | _U, _F]:
        """This ``Ok`` itself, without calling ``_fn``; on ``Err`` it returns ``fn_(error)``."""
    def inspect(self, fn_: Callable[[_T_co], object]) -> Self:
        """Calls ``fn_(value)`` for its side effect and returns this ``Ok``; ``Err`` calls nothing."""
    def inspect_err(self, _fn: Callable[[_PE_co], object]) -> Self:
        """This ``Ok``, without calling ``_fn``; on ``Err`` it calls ``fn_(error)``."""
    def fold(self, on_ok: Callable[[_T_co], _R], _on_err: Callable[[_PE_co], object]) -> _R:
        """``on_ok(value)``; on ``Err`` it is ``on_err(error)``. ``r.fold(str, repr)`` is a ``str`` either way."""
    def to_option(self) -> Some[_T_co]:
        """``Some(value)``; ``Nothing()`` on ``Err``."""
    def note(self, _msg: str) -> Self:
        """This ``Ok`` itself: only an ``Err`` gathers notes, so success paths pay nothing."""
    def wrap_err(self, _err: _F) -> Ok[_T_co, _F]:
        """This ``Ok`` itself; on ``Err`` it replaces the error and keeps the old one as a note."""
    def traced(self, _site: str) -> Self:
        """This ``Ok`` itself; on ``Err`` it appends ``site`` to the trace."""
    def swap_err(self, _err: object) -> Self:
        """This ``Ok`` itself; on ``Err`` it raises ``UnwrapError``."""
    def swap_ok(self, _ok: object) -> NoReturn:
        """Raises ``UnwrapError`` whose ``container`` is this ``Ok``; on ``Err`` it returns the ``Err``."""
    def __reduce__(self) -> tuple[type[Ok[_T_co, _PE_co]], tuple[_T_co]]:
        """Pickles as ``(Ok, (value,))``."""
    def __copy__(self) -> Self:
        """This ``Ok`` itself: it is immutable."""
    def __deepcopy__(self, memo: Any) -> Self:
        """A new ``Ok`` holding a deep copy of the value."""
    def __or__(self, fn_: Callable[[_T_co], _U], /) -> Ok[_U, _PE_co]:
        """``ok | fn_`` is ``ok.map(fn_)``."""
    def __rshift__(
        self, fn_: Callable[[_T_co], Ok[_U, _F] | Err[_F, _U]], /
    ) -> Ok[_U, _PE_co | _F] | Err[_PE_co | _F, _U]:
        """``ok >> fn_`` is ``ok.and_then(fn_)``."""
    def __ror__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f | ok`` raises ``TypeError``."""
    def __rrshift__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f >> ok`` raises ``TypeError``."""
    def __iter__(self) -> Iterator[_T_co]:
        """Yields the value once: ``list(Ok(3)) == [3]``."""
    def __eq__(self, other: object, /) -> bool:
        """Equal to an ``Ok`` with an equal value."""
    def __ne__(self, other: object, /) -> bool:
        """The negation of ``==``."""
    def __hash__(self) -> int:
        """``hash((0, value))``; raises ``TypeError`` if the value is unhashable."""

@final
class Err(Result[_PT_co, _E_co], Generic[_E_co, _PT_co]):
    """The failed outcome of an operation, holding ``error``, with the ``notes`` and ``trace``
    gathered on its way up.

    Methods for errors (``map_err``, ``or_else``, ``note``, ``wrap_err``, ``traced``...) act
    on it; methods that act on a value return this ``Err`` unchanged, and ``unwrap`` raises
    ``UnwrapError``. ``match r: case Err(e): ...`` binds the error.

    ``Err[E, T]`` is the ``Err`` member of ``Result[T, E]``: the error type comes first.
    ``Err[E]`` is ``Err[E, Never]``, which fits a ``Result[T, E]`` of any ``T``.
    """

    __match_args__: ClassVar[tuple[Literal["error"]]]

    def __new__(cls, error: _E_co) -> Self:
        """A failure holding ``error``, with no notes and an empty trace: ``Err("not a number")``."""
    @property
    def error(self) -> _E_co:
        """The error held."""
    @property
    def notes(self) -> tuple[str, ...]:
        """The notes added by ``note`` and ``wrap_err``, oldest first."""
    @property
    def trace(self) -> tuple[str, ...]:
        """The sites added by ``traced`` and ``propagate``, innermost first."""
    @property
    def is_ok(self) -> Literal[False]:
        """``False``. Prefer ``ostrel.is_ok(r)``, which narrows in every type checker."""
    @property
    def is_err(self) -> Literal[True]:
        """``True``. Prefer ``ostrel.is_err(r)``, which narrows in every type checker."""
    @property
    def ok(self) -> None:
        """``None``; the value on ``Ok``."""
    @property
    def err(self) -> _E_co:
        """The error; ``None`` on ``Ok``."""
    @property
    def danger_ok(self) -> NoReturn:
        """Raises ``UnwrapError``, as ``unwrap()``; the value on ``Ok``."""
    @property
    def danger_err(self) -> _E_co:
        """The error, as ``unwrap_err()``; for hot paths that have checked the variant."""
    def is_ok_and(self, _pred: Callable[[_PT_co], object]) -> Literal[False]:
        """``False``, without calling ``_pred``; on ``Ok`` it tests the value."""
    def is_err_and(self, pred: Callable[[_E_co], object]) -> bool:
        """``True`` if ``pred(error)`` is true, else ``False``; always ``False`` on ``Ok``."""
    def unwrap(self, *, err: object = None, note: str | None = None) -> NoReturn:
        """Raises ``UnwrapError``; on ``Ok`` it returns the value.

        The exception's ``container`` is this ``Err``, or, when given, ``self.wrap_err(err)``
        and then ``.note(note)``: ``r.unwrap(err="bad config", note="reading PORT")``.
        """
    def unwrap_err(self) -> _E_co:
        """The error; on ``Ok`` it raises ``UnwrapError``."""
    def unwrap_or(self, default: _U) -> _U:
        """``default``, the very object passed; the value on ``Ok``."""
    def unwrap_or_else(self, fn_: Callable[[_E_co], _U]) -> _U:
        """``fn_(error)``; the value on ``Ok``. ``r.unwrap_or_else(len)``."""
    def expect(self, msg: str) -> NoReturn:
        """Raises ``UnwrapError`` with the message ``msg``; on ``Ok`` it returns the value."""
    def expect_err(self, _msg: str) -> _E_co:
        """The error; on ``Ok`` it raises ``UnwrapError`` with the message ``_msg``."""
    def map(self, _fn: Callable[[_PT_co], _U]) -> Err[_E_co, _U]:
        """This ``Err`` itself, without calling ``_fn``; on ``Ok`` it maps the value."""
    def map_err(self, fn_: Callable[[_E_co], _F]) -> Err[_F, _PT_co]:
        """``Err(fn_(error))`` with this ``Err``'s notes and trace; an ``Ok`` is returned unchanged."""
    def and_then(
        self, _fn: Callable[[_PT_co], Ok[_U, _F] | Err[_F, _U]]
    ) -> Err[_E_co | _F, _U]:
        """This ``Err`` itself, without calling ``_fn``; on ``Ok`` it returns ``fn_(value)``."""
    def or_else(
        self, fn_: Callable[[_E_co], Ok[_U, _F] | Err[_F, _U]]
    ) -> Ok[_PT_co | _U, _F] | Err[_F, _PT_co | _U]:
        """``fn_(error)``, a result (a recovery), returned as it is; an ``Ok`` is returned unchanged."""
    def inspect(self, _fn: Callable[[_PT_co], object]) -> Self:
        """This ``Err``, without calling ``_fn``; on ``Ok`` it calls ``fn_(value)``."""
    def inspect_err(self, fn_: Callable[[_E_co], object]) -> Self:
        """Calls ``fn_(error)`` for its side effect and returns this ``Err``; ``Ok`` calls nothing."""
    def fold(self, _on_ok: Callable[[_PT_co], object], on_err: Callable[[_E_co], _R]) -> _R:
        """``on_err(error)``; on ``Ok`` it is ``on_ok(value)``."""
    def to_option(self) -> Nothing[_PT_co]:
        """``Nothing()``; ``Some(value)`` on ``Ok``."""
    def note(self, msg: str) -> Self:
        """A new ``Err`` with ``msg`` added to its notes; ``Ok`` returns itself.
        ``Err("x").note("loading config")`` reads ``Err(x; note: loading config)``.
        """
    def wrap_err(self, err: _F) -> Err[_F, _PT_co]:
        """A new ``Err`` holding ``err``, whose notes end with "caused by" and the old error's
        ``repr``; the trace is kept. ``Ok`` returns itself.
        """
    def traced(self, site: str) -> Self:
        """A new ``Err`` with ``site`` appended to its trace; ``Ok`` returns itself."""
    def _with_meta(self, notes: tuple[str, ...], trace: tuple[str, ...] | None = None) -> Self:
        """A new ``Err`` with the same error and the given notes and trace (used by unpickling)."""
    def swap_err(self, _err: object) -> NoReturn:
        """Raises ``UnwrapError`` whose ``container`` is this ``Err``; on ``Ok`` it returns the ``Ok``."""
    def swap_ok(self, _ok: object) -> Self:
        """This ``Err`` itself; on ``Ok`` it raises ``UnwrapError``."""
    def __reduce__(
        self,
    ) -> tuple[Callable[..., Err[_E_co, _PT_co]], tuple[_E_co, tuple[str, ...], tuple[str, ...]]]:
        """Pickles with its notes and trace, through ``ostrel.result._rebuild_err``."""
    def __copy__(self) -> Self:
        """This ``Err`` itself: it is immutable."""
    def __deepcopy__(self, memo: Any) -> Self:
        """A new ``Err`` holding a deep copy of the error, with the same notes and trace."""
    def __or__(self, _fn: Callable[[_PT_co], _U], /) -> Err[_E_co, _U]:
        """``err | f`` is this ``Err``, as ``err.map(f)``."""
    def __rshift__(
        self, _fn: Callable[[_PT_co], Ok[_U, _F] | Err[_F, _U]], /
    ) -> Err[_E_co | _F, _U]:
        """``err >> f`` is this ``Err``, as ``err.and_then(f)``."""
    def __ror__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f | err`` raises ``TypeError``."""
    def __rrshift__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f >> err`` raises ``TypeError``."""
    def __iter__(self) -> Iterator[Never]:
        """Yields nothing: ``list(Err("e")) == []``."""
    def __eq__(self, other: object, /) -> bool:
        """Equal to an ``Err`` with an equal error; notes and trace play no part."""
    def __ne__(self, other: object, /) -> bool:
        """The negation of ``==``."""
    def __hash__(self) -> int:
        """``hash((1, error))``; raises ``TypeError`` if the error is unhashable."""

# --- Option ---------------------------------------------------------------------------

class Option(Generic[_T_co]):
    """The runtime base class of ``Some`` and ``Nothing``; it cannot be instantiated.

    Annotate with ``ostrel.Option[T]``, which the type checker reads as the union
    ``Some[T] | Nothing[T]``. ``isinstance(x, Option)`` tests for either variant.
    """

    def __new__(cls, *_args: object, **_kwargs: object) -> Self:
        """Not callable: raises ``TypeError``. Build ``Some(value)`` or ``Nothing()``."""
    def __class_getitem__(cls, args: object) -> GenericAlias:
        """``Option[int]`` at run time, a ``types.GenericAlias``; annotations use the union ``ostrel.Option``."""
    @classmethod
    def from_optional(cls, x: _U | None) -> Some[_U] | Nothing[_U]:
        """``Nothing()`` when ``x is None``, ``Some(x)`` for any other value (``0`` and ``""`` too).

        In type-checked code call ``ostrel.from_optional``, which is this method with a type the
        checkers can reach.
        """

@final
class Some(Option[_T_co]):
    """A present value, held in ``value``.

    ``map``, ``and_then``, ``filter`` and ``unwrap`` use it; ``or_else`` and ``unwrap_or``
    return it unchanged. ``match o: case Some(v): ...`` binds the value.
    """

    __match_args__: ClassVar[tuple[Literal["value"]]]

    def __new__(cls, value: _T_co) -> Self:
        """A present value: ``Some(42)``. ``Some(None)`` is present too."""
    @property
    def value(self) -> _T_co:
        """The value held."""
    @property
    def is_some(self) -> Literal[True]:
        """``True``. Prefer ``ostrel.is_some(o)``, which narrows in every type checker."""
    @property
    def is_nothing(self) -> Literal[False]:
        """``False``. Prefer ``ostrel.is_nothing(o)``, which narrows in every type checker."""
    @property
    def some(self) -> _T_co:
        """The value; ``None`` on ``Nothing``."""
    @property
    def danger_some(self) -> _T_co:
        """The value, as ``unwrap()``; for hot paths that have checked the variant."""
    def unwrap(self, *, err: object = None, note: str | None = None) -> _T_co:
        """The value; ``err`` and ``note`` are ignored. On ``Nothing`` it raises ``UnwrapError``."""
    def unwrap_or(self, _default: object) -> _T_co:
        """The value; ``_default`` is returned only by ``Nothing``."""
    def unwrap_or_else(self, _fn: Callable[[], object]) -> _T_co:
        """The value, without calling ``_fn``; on ``Nothing`` it returns ``fn_()``."""
    def expect(self, _msg: str) -> _T_co:
        """The value; on ``Nothing`` it raises ``UnwrapError`` with the message ``_msg``."""
    def map(self, fn_: Callable[[_T_co], _U]) -> Some[_U]:
        """``Some(fn_(value))``; ``Nothing`` is returned unchanged. ``Some(2).map(str) == Some("2")``."""
    def and_then(self, fn_: Callable[[_T_co], Some[_U] | Nothing[_U]]) -> Some[_U] | Nothing[_U]:
        """``fn_(value)``, another option, returned as it is; ``Nothing`` is returned unchanged."""
    def or_else(self, _fn: Callable[[], Some[_U] | Nothing[_U]]) -> Some[_T_co | _U]:
        """This ``Some`` itself, without calling ``_fn``; on ``Nothing`` it returns ``fn_()``."""
    def inspect(self, fn_: Callable[[_T_co], object]) -> Self:
        """Calls ``fn_(value)`` for its side effect and returns this ``Some``; ``Nothing`` calls nothing."""
    def filter(self, pred: Callable[[_T_co], object]) -> Some[_T_co] | Nothing[_T_co]:
        """This ``Some`` if ``pred(value)`` is true, else ``Nothing()``. ``Some(4).filter(lambda v: v > 5)`` is ``Nothing()``."""
    def ok_or(self, _err: _F) -> Ok[_T_co, _F]:
        """``Ok(value)``; ``Nothing`` gives ``Err(err)``."""
    def ok_or_else(self, _fn: Callable[[], _F]) -> Ok[_T_co, _F]:
        """``Ok(value)``, without calling ``_fn``; ``Nothing`` gives ``Err(fn_())``."""
    def __reduce__(self) -> tuple[type[Some[_T_co]], tuple[_T_co]]:
        """Pickles as ``(Some, (value,))``."""
    def __copy__(self) -> Self:
        """This ``Some`` itself: it is immutable."""
    def __deepcopy__(self, memo: Any) -> Self:
        """A new ``Some`` holding a deep copy of the value."""
    def __or__(self, fn_: Callable[[_T_co], _U], /) -> Some[_U]:
        """``some | fn_`` is ``some.map(fn_)``."""
    def __rshift__(self, fn_: Callable[[_T_co], Some[_U] | Nothing[_U]], /) -> Some[_U] | Nothing[_U]:
        """``some >> fn_`` is ``some.and_then(fn_)``."""
    def __ror__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f | some`` raises ``TypeError``."""
    def __rrshift__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f >> some`` raises ``TypeError``."""
    def __iter__(self) -> Iterator[_T_co]:
        """Yields the value once: ``list(Some(3)) == [3]``."""
    def __eq__(self, other: object, /) -> bool:
        """Equal to a ``Some`` with an equal value."""
    def __ne__(self, other: object, /) -> bool:
        """The negation of ``==``."""
    def __hash__(self) -> int:
        """``hash((0, value))``; raises ``TypeError`` if the value is unhashable."""

@final
class Nothing(Option[_PT_co]):
    """The absent value: one shared instance, ``Nothing()``.

    Methods that act on a value return it unchanged; ``unwrap`` raises ``UnwrapError`` and
    ``unwrap_or``/``or_else``/``ok_or`` supply the fallback. ``match o: case Nothing(): ...``.

    ``Nothing[T]`` is the ``Nothing`` member of ``Option[T]``; ``Nothing`` alone is
    ``Nothing[Never]``, which fits an ``Option[T]`` of any ``T``.
    """

    __match_args__: ClassVar[tuple[()]]

    # Two overloads: pyright takes a lone (*args, **kwargs) -> Self as no signature at all
    # and would leave the type parameter unsolved instead of using its default.
    @overload
    def __new__(cls) -> Self:
        """The one shared ``Nothing`` instance: ``Nothing() is Nothing()``."""
    @overload
    def __new__(cls, *_args: object, **_kwargs: object) -> Self:
        """The one shared ``Nothing`` instance; arguments are ignored."""
    @property
    def is_some(self) -> Literal[False]:
        """``False``. Prefer ``ostrel.is_some(o)``, which narrows in every type checker."""
    @property
    def is_nothing(self) -> Literal[True]:
        """``True``. Prefer ``ostrel.is_nothing(o)``, which narrows in every type checker."""
    @property
    def some(self) -> None:
        """``None``; the value on ``Some``."""
    @property
    def danger_some(self) -> NoReturn:
        """Raises ``UnwrapError``, as ``unwrap()``; the value on ``Some``."""
    def unwrap(self, *, err: object = None, note: str | None = None) -> NoReturn:
        """Raises ``UnwrapError``; on ``Some`` it returns the value.

        With ``err``, the exception's ``container`` is ``Err(err)`` (and ``.note(note)`` when
        ``note`` is given too); ``note`` without ``err`` raises ``TypeError``.
        """
    def unwrap_or(self, default: _U) -> _U:
        """``default``, the very object passed; the value on ``Some``."""
    def unwrap_or_else(self, fn_: Callable[[], _U]) -> _U:
        """``fn_()``, called with no arguments; the value on ``Some``."""
    def expect(self, msg: str) -> NoReturn:
        """Raises ``UnwrapError`` with the message ``msg``; on ``Some`` it returns the value."""
    def inspect(self, _fn: Callable[[_PT_co], object]) -> Self:
        """This ``Nothing``, without calling ``_fn``; on ``Some`` it calls ``fn_(value)``."""
    def map(self, _fn: Callable[[_PT_co], _U]) -> Nothing[_U]:
        """This ``Nothing``, without calling ``_fn``; on ``Some`` it maps the value."""
    def and_then(self, _fn: Callable[[_PT_co], Some[_U] | Nothing[_U]]) -> Nothing[_U]:
        """This ``Nothing``, without calling ``_fn``; on ``Some`` it returns ``fn_(value)``."""
    def or_else(self, fn_: Callable[[], Some[_U] | Nothing[_U]]) -> Some[_PT_co | _U] | Nothing[_PT_co | _U]:
        """``fn_()``, an option (a fallback), returned as it is; a ``Some`` is returned unchanged."""
    def filter(self, _pred: Callable[[_PT_co], object]) -> Self:
        """This ``Nothing``, without calling ``_pred``; on ``Some`` it tests the value."""
    def ok_or(self, err: _F) -> Err[_F, _PT_co]:
        """``Err(err)``; ``Some`` gives ``Ok(value)``."""
    def ok_or_else(self, fn_: Callable[[], _F]) -> Err[_F, _PT_co]:
        """``Err(fn_())``; ``Some`` gives ``Ok(value)`` without calling it."""
    def __reduce__(self) -> tuple[type[Nothing[_PT_co]], tuple[()]]:
        """Pickles as ``(Nothing, ())``, which unpickles to the shared instance."""
    def __copy__(self) -> Self:
        """This ``Nothing`` itself."""
    def __deepcopy__(self, _memo: Any) -> Self:
        """This ``Nothing`` itself."""
    def __or__(self, _fn: Callable[[_PT_co], _U], /) -> Nothing[_U]:
        """``nothing | f`` is this ``Nothing``, as ``nothing.map(f)``."""
    def __rshift__(self, _fn: Callable[[_PT_co], Some[_U] | Nothing[_U]], /) -> Nothing[_U]:
        """``nothing >> f`` is this ``Nothing``, as ``nothing.and_then(f)``."""
    def __ror__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f | nothing`` raises ``TypeError``."""
    def __rrshift__(self, value: Never, /) -> NoReturn:
        """Not supported: ``f >> nothing`` raises ``TypeError``."""
    def __iter__(self) -> Iterator[Never]:
        """Yields nothing: ``list(Nothing()) == []``."""
    def __eq__(self, other: object, /) -> bool:
        """Equal only to ``Nothing()``."""
    def __ne__(self, other: object, /) -> bool:
        """The negation of ``==``."""
    def __hash__(self) -> int:
        """A constant."""
