"""Run the ```python blocks of the user guide and the README, so that they cannot drift.

The blocks of one document run in order in one namespace. A block with `# Out: <line>`
comments must print exactly those lines, in order; other blocks check themselves with
asserts. A block fenced as ```python no-run is shown but not run.
"""

from __future__ import annotations

import contextlib
import io
import re
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent
DOCUMENTS = [ROOT / "docs" / "guide.md", ROOT / "README.md"]
FENCE = re.compile(r"^```(?P<info>[^\n`]*)\n(?P<body>.*?)^```[ \t]*$", re.M | re.S)
OUT = re.compile(r"^\s*# Out: ?(.*)$", re.M)


def blocks(path: Path) -> list[tuple[int, str]]:
    text = path.read_text(encoding="utf-8")
    return [
        (text.count("\n", 0, m.start()) + 1, m["body"])
        for m in FENCE.finditer(text)
        if m["info"].split()[:1] == ["python"] and "no-run" not in m["info"].split()
    ]


@pytest.mark.parametrize("path", [p for p in DOCUMENTS if p.exists()], ids=lambda p: p.name)
def test_document_examples(path: Path) -> None:
    namespace: dict[str, object] = {"__name__": f"docs_{path.stem}"}
    for line, body in blocks(path):
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            exec(compile(body, f"{path.name}:{line}", "exec"), namespace)
        expected = OUT.findall(body)
        if expected:
            assert printed.getvalue() == "".join(f"{out}\n" for out in expected), (
                f"output of the block at {path.name}:{line}"
            )
