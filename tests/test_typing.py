"""The type checkers users run, over small user programs, the quickstart and the python
blocks of the README and the guide.

Every program is checked by mypy --strict, pyright and basedpyright (both in strict mode,
tests/typing/pyrightconfig.json). Programs in tests/typing/pass, examples/ and the
documents must be clean in all three. A program in tests/typing/fail announces on each
line what each checker must report there: ``# E[mypy]: <substring>`` or
``# E[pyright,basedpyright]: <substring>`` (a checker's message or rule name). Every
announcement must be met, and a checker may report nothing on a line that does not
announce it. A checker that is not installed is skipped, unless OSTREL_TYPECHECK_REQUIRED
is set (as in CI).
"""

from __future__ import annotations

import importlib.util
import json
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import ostrel
from ostrel import Err, Nothing, Ok, Some

ROOT = Path(__file__).resolve().parent.parent
HERE = ROOT / "tests" / "typing"
CHECKERS = ("mypy", "pyright", "basedpyright")
ANNOUNCE = re.compile(r"#\s*E\[(?P<who>[a-z,\s]+)\]:\s*(?P<want>.+?)\s*(?=#\s*E\[|$)")
FENCE = re.compile(r"^```(?P<info>[^\n`]*)\n(?P<body>.*?)^```[ \t]*$", re.M | re.S)
MYPY_ERROR = re.compile(r"^(?P<file>[^:]+\.py):(?P<line>\d+): error: (?P<msg>.*)$")

Reports = dict[tuple[str, int], list[str]]


def document_program(doc: Path, out: Path) -> Path:
    """The python blocks of a document, in order, as one module (as tests/test_docs.py runs them)."""
    text = doc.read_text(encoding="utf-8")
    parts = [
        f"# {doc.name}:{text.count(chr(10), 0, m.start()) + 1}\n{m['body']}"
        for m in FENCE.finditer(text)
        if m["info"].split()[:1] == ["python"]
    ]
    path = out / f"doc_{doc.stem.lower()}.py"
    # Each block imports what it shows, so the joined blocks import some names twice.
    header = "# pyright: reportDuplicateImport=false\n"
    path.write_text(header + "\n".join(parts), encoding="utf-8")
    return path


@pytest.fixture(scope="module")
def programs(tmp_path_factory: pytest.TempPathFactory) -> list[Path]:
    docs = tmp_path_factory.mktemp("docs")
    return [
        *sorted(HERE.glob("pass/*.py")),
        *sorted(HERE.glob("fail/*.py")),
        *sorted((ROOT / "examples").glob("*.py")),
        document_program(ROOT / "README.md", docs),
        document_program(ROOT / "docs" / "guide.md", docs),
    ]


def run(cmd: list[str]) -> subprocess.CompletedProcess[str]:
    return subprocess.run(cmd, capture_output=True, text=True, timeout=600, cwd=ROOT)


def check(checker: str, programs: list[Path], tmp: Path) -> Reports:
    """Run one checker over all programs; map (file name, line) to its error messages."""
    if importlib.util.find_spec(checker) is None:
        if os.environ.get("OSTREL_TYPECHECK_REQUIRED"):
            pytest.fail(f"{checker} is not installed")
        pytest.skip(f"{checker} is not installed")
    found: Reports = {}
    if checker == "mypy":
        proc = run([sys.executable, "-m", "mypy", "--strict", "--no-error-summary",
                    "--hide-error-context", "--no-pretty", "--show-error-codes",
                    f"--cache-dir={tmp}", *map(str, programs)])
        assert proc.returncode in (0, 1) and not proc.stderr, proc.stdout + proc.stderr
        for line in proc.stdout.splitlines():
            if m := MYPY_ERROR.match(line):
                found.setdefault((Path(m["file"]).name, int(m["line"])), []).append(m["msg"])
        return found
    proc = run([sys.executable, "-m", checker, "--outputjson", "--pythonpath", sys.executable,
                "--project", str(HERE / "pyrightconfig.json"), *map(str, programs)])
    assert proc.returncode in (0, 1), proc.stdout + proc.stderr
    for diag in json.loads(proc.stdout)["generalDiagnostics"]:
        if diag["severity"] == "error":
            key = (Path(diag["file"]).name, diag["range"]["start"]["line"] + 1)
            found.setdefault(key, []).append(f"{diag['message']} ({diag.get('rule', '')})")
    return found


@pytest.fixture(scope="module", params=CHECKERS)
def checked(request: pytest.FixtureRequest, programs: list[Path],
            tmp_path_factory: pytest.TempPathFactory) -> tuple[str, Reports]:
    """A checker's name and what it reported over all programs."""
    checker: str = request.param
    return checker, check(checker, programs, tmp_path_factory.mktemp(checker))


def announcements(program: Path, checker: str) -> dict[int, list[str]]:
    wanted: dict[int, list[str]] = {}
    for n, text in enumerate(program.read_text(encoding="utf-8").splitlines(), 1):
        for m in ANNOUNCE.finditer(text):
            if checker in {w.strip() for w in m["who"].split(",")}:
                wanted.setdefault(n, []).append(m["want"])
    return wanted


def test_programs(checked: tuple[str, Reports], programs: list[Path]) -> None:
    checker, errors = checked
    problems: list[str] = []
    for program in programs:
        expected = announcements(program, checker)
        actual = {line: msgs for (name, line), msgs in errors.items() if name == program.name}
        problems += [f"{program.name}:{n}: expected an error containing {want!r}, got {actual.get(n)}"
                     for n, wants in expected.items() for want in wants
                     if not any(want in msg for msg in actual.get(n, []))]
        problems += [f"{program.name}:{n}: unexpected {msgs}" for n, msgs in actual.items()
                     if n not in expected]
    assert not problems, "\n".join(problems)


def test_fail_programs_announce() -> None:
    """fail/ programs, and only they, announce errors, and only for known checkers."""
    for program in [*HERE.glob("pass/*.py"), *HERE.glob("fail/*.py")]:
        who = {w.strip() for m in ANNOUNCE.finditer(program.read_text(encoding="utf-8"))
               for w in m["who"].split(",")}
        assert who <= set(CHECKERS), f"{program.name}: unknown checker in {who}"
        assert (program.parent.name == "fail") == bool(who), program.name


@pytest.mark.parametrize("value, expected", [
    (Ok(0), (True, False, False, False)),
    (Err(0), (False, True, False, False)),
    (Some(None), (False, False, True, False)),
    (Nothing(), (False, False, False, True)),
    (None, (False, False, False, False)),
])
def test_predicates(value: object, expected: tuple[bool, ...]) -> None:
    """The narrowing functions answer by variant, and plainly False for anything else."""
    predicates = (ostrel.is_ok, ostrel.is_err, ostrel.is_some, ostrel.is_nothing)
    assert tuple(p(value) for p in predicates) == expected  # type: ignore[arg-type]


def test_module_functions_are_the_class_methods() -> None:
    assert ostrel.catch(lambda: 1, on_error=str) == Ok(1)
    assert ostrel.catch(lambda: 1 / 0, ZeroDivisionError, on_error=type) == Err(ZeroDivisionError)
    with pytest.raises(KeyError):  # not asked to catch it: passes through
        ostrel.catch(lambda: {}["k"], ValueError, on_error=str)
    with pytest.raises(TypeError, match="on_error"):
        ostrel.catch(lambda: 1)  # type: ignore[call-overload]
    assert ostrel.from_optional(None) is Nothing() and ostrel.from_optional(0) == Some(0)


def test_examples_in_docstrings() -> None:
    import doctest

    import ostrel._typed

    assert doctest.testmod(ostrel._typed, extraglobs=vars(ostrel)).failed == 0


STUBS = [ROOT / "src" / "ostrel_core.pyi", *sorted((ROOT / "python" / "ostrel").glob("*.pyi"))]


@pytest.mark.parametrize("stub", STUBS, ids=lambda p: p.name)
def test_stubs_document_every_name(stub: Path) -> None:
    """The stubs are the user documentation: every class, method and property has a docstring."""
    import ast

    tree = ast.parse(stub.read_text(encoding="utf-8"))
    missing = [f"{stub.name}:{node.lineno} {node.name}" for node in ast.walk(tree)
               if isinstance(node, (ast.ClassDef, ast.FunctionDef)) and ast.get_docstring(node) is None]
    assert not missing, missing


@pytest.mark.parametrize("name", [n for n in ostrel.__all__ if n != "__version__"])
def test_public_names_are_documented(name: str) -> None:
    assert (getattr(ostrel, name).__doc__ or "").strip()
