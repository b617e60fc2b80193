"""The README's quickstart runs and prints what the README says it prints."""

import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent


def test_quickstart_runs():
    out = subprocess.run([sys.executable, str(ROOT / "examples" / "quickstart.py")], capture_output=True, text=True,
                         check=True, timeout=60).stdout.splitlines()
    err = "Err(KeyError('k'); note: loading config; via load)"
    assert out == ["Ok(8080)", err, f"caught: unwrap failed on {err}", "Nothing 30", "Some(42) True",
                   "host is example.org"]
