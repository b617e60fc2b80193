"""mypy --strict, pyright and basedpyright (strict: tests/typing/pyrightconfig.json) over the programs users write.

Those are tests/typing/pass and fail, examples/ and the python blocks of the README and the guide. A fail/ line
announces what each checker must report there (`# E[mypy]: <substring>`, `# E[pyright,basedpyright]: <substring>`,
of the message or the rule name); a checker reports nothing on a line that does not announce it. A checker that is
not installed is skipped, unless OSTREL_TYPECHECK_REQUIRED is set (as in CI). A new public function gets its lines
in pass/ (what it returns, with lambdas if it takes callbacks, how it narrows) and, for misuse, in fail/.
"""

import ast
import importlib.util
import json
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest
from test_docs import ROOT, python_blocks

import ostrel

HERE = ROOT / "tests" / "typing"
CHECKERS = ("mypy", "pyright", "basedpyright")
ANNOUNCE = re.compile(r"#\s*E\[(?P<who>[a-z,\s]+)\]:\s*(?P<want>.+?)\s*(?=#\s*E\[|$)")
MYPY_ERROR = re.compile(r"^(?P<file>[^:\n]+\.py):(?P<line>\d+): error: (?P<msg>.*)$", re.M)
STUBS = [ROOT / "src" / "ostrel_core.pyi", *sorted((ROOT / "python" / "ostrel").glob("*.pyi"))]


def document_program(doc: Path, out: Path) -> Path:
    """The python blocks of a document as one module (which imports some names twice)."""
    path = out / f"doc_{doc.stem.lower()}.py"
    blocks = [f"# {where}\n{body}" for where, _, body in python_blocks(doc)]
    path.write_text("# pyright: reportDuplicateImport=false\n" + "\n".join(blocks), encoding="utf-8")
    return path


def reported(checker: str, programs: list[Path], cache: Path) -> list[tuple[str, int, str]]:
    """(file name, line, message) of each error one checker reports over the programs."""
    if importlib.util.find_spec(checker) is None:
        (pytest.fail if os.environ.get("OSTREL_TYPECHECK_REQUIRED") else pytest.skip)(f"{checker} is not installed")
    options = (["--strict", "--no-error-summary", "--hide-error-context", "--no-pretty", "--show-error-codes",
                f"--cache-dir={cache}"] if checker == "mypy" else
               ["--outputjson", "--pythonpath", sys.executable, "--project", str(HERE / "pyrightconfig.json")])
    proc = subprocess.run([sys.executable, "-m", checker, *options, *map(str, programs)], capture_output=True,
                          text=True, timeout=600, cwd=ROOT)
    assert proc.returncode in (0, 1) and not (checker == "mypy" and proc.stderr), proc.stdout + proc.stderr
    if checker == "mypy":
        return [(Path(m["file"]).name, int(m["line"]), m["msg"]) for m in MYPY_ERROR.finditer(proc.stdout)]
    return [(Path(d["file"]).name, d["range"]["start"]["line"] + 1, f"{d['message']} ({d.get('rule', '')})")
            for d in json.loads(proc.stdout)["generalDiagnostics"] if d["severity"] == "error"]


def announced(program: Path, checker: str) -> dict[int, list[str]]:
    """Line -> what it announces for the checker; only fail/ programs announce, and only for the known checkers."""
    wanted: dict[int, list[str]] = {}
    for n, text in enumerate(program.read_text(encoding="utf-8").splitlines(), 1):
        for m in ANNOUNCE.finditer(text):
            who = {w.strip() for w in m["who"].split(",")}
            assert who <= set(CHECKERS) and program.parent.name == "fail", f"{program.name}:{n}: announces {who}"
            if checker in who:
                wanted.setdefault(n, []).append(m["want"])
    return wanted


@pytest.mark.parametrize("checker", CHECKERS)
def test_programs(checker: str, tmp_path: Path) -> None:
    programs = [*sorted(HERE.glob("*/*.py")), *sorted((ROOT / "examples").glob("*.py")),
                *(document_program(ROOT / doc, tmp_path) for doc in ("README.md", "docs/guide.md"))]
    found, problems = reported(checker, programs, tmp_path / "cache"), []
    for program in programs:
        wanted = announced(program, checker)
        got = [(line, message) for name, line, message in found if name == program.name]
        problems += [f"{program.name}:{n}: wanted an error with {want!r}, got {[m for k, m in got if k == n]}"
                     for n, wants in wanted.items() for want in wants if not any(k == n and want in m for k, m in got)]
        problems += [f"{program.name}:{line}: unannounced {message}" for line, message in got if line not in wanted]
    assert not problems, "\n".join(problems)


def test_public_names_are_documented() -> None:
    """Every class, method and property of the stubs, and every public name at run time, has a docstring."""
    missing = [f"{stub.name}:{node.lineno} {node.name}" for stub in STUBS
               for node in ast.walk(ast.parse(stub.read_text(encoding="utf-8")))
               if isinstance(node, (ast.ClassDef, ast.FunctionDef)) and ast.get_docstring(node) is None]
    missing += [n for n in ostrel.__all__ if n != "__version__" and not (getattr(ostrel, n).__doc__ or "").strip()]
    assert not missing, missing
