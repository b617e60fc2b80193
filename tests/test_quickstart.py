"""The README's quickstart runs and prints what the README says it prints."""

import subprocess
import sys
from pathlib import Path


def test_quickstart_runs():
    quickstart = Path(__file__).resolve().parent.parent / "examples" / "quickstart.py"
    out = subprocess.run([sys.executable, quickstart], capture_output=True, text=True, check=True, timeout=60).stdout
    err = "Err(KeyError('k'); note: loading config; via load)"
    assert out.splitlines() == ["Ok(8080)", err, f"caught: unwrap failed on {err}", "Nothing 30", "Some(42) True",
                                "host is example.org"]
