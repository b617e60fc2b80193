"""Check that extension modules import nothing from the interpreter outside its stable ABI.

    python3 scripts/stable_abi.py SYMBOLS MODULE.so...

SYMBOLS is CPython's test_stable_abi_ctypes.py (Lib/test/, in Debian's libpython3.X-testsuite),
which Tools/build/stable_abi.py generates from Misc/stable_abi.toml: every function and data
symbol of the stable ABI of that version, ABI-only ones (_Py_IncRef, the targets of the
limited API's macros) included, and those of platform features (fork, native thread ids).
abi3 and abi3t share that symbol list; abi3t differs in the headers (an opaque PyObject).

The symbols a module imports from the interpreter are its undefined dynamic symbols without a
version (the C library's carry one, GLIBC_2.x) other than the weak hooks of the C runtime. Every one
must be in the list: the module then loads into every interpreter that provides that stable
ABI, as abi3audit checks for abi3 wheels (it does not know abi3t yet).
"""

import ast
import subprocess
import sys

# Feature macros whose symbols a Linux build of CPython does not export.
ABSENT = {"MS_WINDOWS", "Py_REF_DEBUG", "Py_TRACE_REFS", "USE_STACKCHECK"}
TOOLCHAIN = {"__cxa_finalize", "__gmon_start__", "_ITM_deregisterTMCloneTable", "_ITM_registerTMCloneTable"}


def stable_abi(path):
    """The symbol names of SYMBOL_NAMES, with the additions of the features Linux has."""
    names = set()
    for node in ast.parse(open(path, encoding="utf-8").read()).body:
        if isinstance(node, ast.If):
            macro = node.test.slice.value if isinstance(node.test, ast.Subscript) else None
            if macro in ABSENT:
                continue
            node = node.body[0]
        if isinstance(node, (ast.Assign, ast.AugAssign)) and "SYMBOL_NAMES" in ast.unparse(node):
            names |= {c.value for c in ast.walk(node.value) if isinstance(c, ast.Constant)}
    if len(names) < 500:
        sys.exit(f"stable_abi: {path} lists {len(names)} symbols; not the generated list")
    return names


def imported(module):
    out = subprocess.run(["nm", "-D", "--undefined-only", module], capture_output=True, text=True, check=True)
    return {s for s in (line.split()[-1] for line in out.stdout.splitlines()) if "@" not in s} - TOOLCHAIN


def main():
    known = stable_abi(sys.argv[1])
    failed = False
    for module in sys.argv[2:]:
        used = imported(module)
        outside = sorted(used - known)
        if outside:
            failed = True
            print(f"stable_abi: {module} imports symbols outside the stable ABI: {', '.join(outside)}")
        else:
            print(f"stable_abi: {module}: all {len(used)} imported symbols are in the stable ABI ({len(known)} symbols)")
    sys.exit(1 if failed or len(sys.argv) < 3 else 0)


if __name__ == "__main__":
    main()
