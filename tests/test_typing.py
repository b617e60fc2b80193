"""mypy --strict over small user programs: tests/typing/pass must be clean, and every
error in tests/typing/fail must be one announced by a `# E: <substring>` comment on its
line (and every announcement must be met)."""

from __future__ import annotations

import re
import subprocess
import sys
from pathlib import Path

import pytest

pytest.importorskip("mypy", reason="mypy is not installed")

HERE = Path(__file__).parent / "typing"
PROGRAMS = sorted(HERE.glob("pass/*.py")) + sorted(HERE.glob("fail/*.py"))
ERROR = re.compile(r"^(?P<file>[^:]+\.py):(?P<line>\d+): error: (?P<msg>.*)$")
EXPECT = re.compile(r"#\s*E:\s*(.+?)\s*$")


@pytest.fixture(scope="module")
def reported(tmp_path_factory: pytest.TempPathFactory) -> dict[tuple[str, int], list[str]]:
    """Run mypy once over all programs; map (file name, line) to its error messages."""
    cache = tmp_path_factory.mktemp("mypy-cache")
    proc = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-error-summary", "--hide-error-context",
         "--no-pretty", "--show-error-codes", f"--cache-dir={cache}", *map(str, PROGRAMS)],
        capture_output=True, text=True, timeout=300,
    )
    found: dict[tuple[str, int], list[str]] = {}
    for line in proc.stdout.splitlines():
        m = ERROR.match(line)
        if m:
            key = (Path(m["file"]).name, int(m["line"]))
            found.setdefault(key, []).append(m["msg"])
    assert proc.returncode in (0, 1) and not proc.stderr, proc.stdout + proc.stderr
    return found


@pytest.mark.parametrize("program", PROGRAMS, ids=lambda p: f"{p.parent.name}/{p.name}")
def test_program(program: Path, reported: dict[tuple[str, int], list[str]]) -> None:
    expected = {
        n: m[1] for n, text in enumerate(program.read_text().splitlines(), 1)
        if (m := EXPECT.search(text))
    }
    assert (program.parent.name == "fail") == bool(expected), "fail/ programs, and only they, announce errors"
    actual = {line: msgs for (name, line), msgs in reported.items() if name == program.name}
    problems = [f"line {n}: expected an error containing {want!r}, got {actual.get(n)}"
                for n, want in expected.items()
                if not actual.get(n) or any(want not in msg for msg in actual[n])]
    problems += [f"line {n}: unexpected {msgs}" for n, msgs in actual.items() if n not in expected]
    assert not problems, "\n".join(problems)
