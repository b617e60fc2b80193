"""Run the ```python blocks of the guide and the README in order, in one namespace per document, the doctests and
the quickstart.

A block with `# Out: <line>` comments must print exactly those lines; a block fenced ```python no-run is not run.
"""

import contextlib
import doctest
import io
import re
from pathlib import Path

import pytest
from conftest import script_output

import ostrel
import ostrel._typed

ROOT = Path(__file__).resolve().parent.parent
FENCE = re.compile(r"^```(?P<info>[^\n`]*)\n(?P<body>.*?)^```[ \t]*$", re.M | re.S)


def python_blocks(path: Path) -> list[tuple[str, list[str], str]]:
    """(file:line, words of the fence's info string, body) of each python block; test_typing.py checks them too."""
    text = path.read_text(encoding="utf-8")
    return [(f"{path.name}:{text.count(chr(10), 0, m.start()) + 1}", m["info"].split(), m["body"])
            for m in FENCE.finditer(text) if m["info"].split()[:1] == ["python"]]


@pytest.mark.parametrize("path", [ROOT / "docs" / "guide.md", ROOT / "README.md"], ids=lambda p: p.name)
def test_document_examples(path: Path) -> None:
    namespace: dict[str, object] = {"__name__": f"docs_{path.stem}"}
    for where, info, body in python_blocks(path):
        if "no-run" not in info:
            with contextlib.redirect_stdout(io.StringIO()) as printed:
                exec(compile(body, where, "exec"), namespace)
            expected = re.findall(r"^\s*# Out: ?(.*)$", body, re.M)
            assert not expected or printed.getvalue() == "".join(f"{out}\n" for out in expected), where


def test_module_function_examples() -> None:
    """The docstring examples of ostrel._typed; and catch passes on the classes to catch."""
    assert (result := doctest.testmod(ostrel._typed, extraglobs=vars(ostrel))).failed == 0 < result.attempted
    with pytest.raises(KeyError):
        ostrel.catch(lambda: {}["k"], ValueError, on_error=str)


def test_quickstart_runs() -> None:
    """The README's quickstart prints what it says it prints."""
    out = script_output((ROOT / "examples" / "quickstart.py").read_text(encoding="utf-8"))
    err = "Err(KeyError('k'); note: loading config; via load)"
    assert out.splitlines() == ["Ok(8080)", err, f"caught: unwrap failed on {err}", "Nothing 30", "Some(42) True",
                                "host is example.org"]
