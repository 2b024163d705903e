#!/usr/bin/env python3
"""One-line mutants: how many small faults in the code do the tests catch?

    tools/mutants.py run [--per-folder N] [--out FILE] FOLDER...   e.g. mapping index output config
    tools/mutants.py compare BEFORE.tsv AFTER.tsv

`run` makes one mutant at a time in src/FOLDER/*.cpp (a comparison, a logical operator, a constant,
a boolean, a return value flipped, or a statement dropped), rebuilds in build-mutants/ and runs the
native tests (the Windows leg under Wine and the fuzz run are left out: they do not see a mutant of
the native program, or take a minute each). A mutant is killed when a test fails, survives when all
pass, and is set aside when it does not compile. The source file is restored after each mutant.
The choice of mutants is deterministic: the same code gives the same mutants, so a run before and
a run after a change of the tests can be compared with `compare`, which lists every mutant killed
before and not after (`--only-killed-in BEFORE.tsv` spares the after run the others).

A developer's tool: it takes about half a minute per mutant on two cores and is not part of CI.
"""
import argparse
import os
import resource
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-mutants")
EXCLUDE = "SideBySide|WindowsConsole|Wine|fuzz"

# (name, pattern, replacement); each occurrence of a pattern in a line is one mutant.
RULES = [
    ("eq", r"==", "!="),
    ("ne", r"!=", "=="),
    ("le", r"<=", "<"),
    ("ge", r">=", ">"),
    ("lt", r"(?<=\s)<(?=\s)", "<="),
    ("gt", r"(?<=\s)>(?=\s)", ">="),
    ("and", r"&&", "||"),
    ("or", r"\|\|", "&&"),
    ("true", r"\btrue\b", "false"),
    ("false", r"\bfalse\b", "true"),
    ("plus", r"(?<=\s)\+(?=\s)", "-"),
    ("minus", r"(?<=\s)-(?=\s)", "+"),
    ("int", r"(?<![\w.])(\d+)(?![\w.])", None),  # n -> n + 1
    ("not", r"\(!(?=[\w(])", "("),
    ("cont", r"\bcontinue;", "break;"),
    ("ret0", r"\breturn 1;", "return 0;"),
    ("ret1", r"\breturn 0;", "return 1;"),
]
STATEMENT = re.compile(r"^\s*[\w.>\-\[\]()*&:]+(\s*[-+*/|&]?=\s*.+|\(.*\)|\+\+|--);\s*$")
SKIP = re.compile(r"^\s*(#|//|\*|/\*)|static_assert|^\s*(const\s+)?char\s+k\w+\[\]")


def candidates(path):
    rel = os.path.relpath(path, ROOT)
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = f.read().split("\n")
    out = []
    for no, line in enumerate(lines, 1):
        if SKIP.search(line) or not line.strip():
            continue
        code = line.split("//")[0]
        for name, pattern, repl in RULES:
            for m in re.finditer(pattern, code):
                if name == "int":
                    new = line[: m.start()] + str(int(m.group(1)) + 1) + line[m.end():]
                else:
                    new = line[: m.start()] + repl + line[m.end():]
                out.append((rel, no, f"{name}@{m.start()}", line, new))
        if STATEMENT.match(code) and not code.lstrip().startswith("return"):
            out.append((rel, no, "drop", line, re.sub(r"\S.*", ";", line, count=1)))
    return out


def pick(cands, n):
    if len(cands) <= n:
        return cands
    step = len(cands) / n
    return [cands[int(i * step)] for i in range(n)]


def sh(cmd, timeout=None):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          timeout=timeout).returncode


def build():
    return sh(["cmake", "--build", BUILD, "-j2"]) == 0


def limit_file_size():
    # A mutant that writes without end (a copy loop that never stops) must not fill the disk:
    # no test writes a file of a gigabyte.
    resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 30, 1 << 30))


def tests():
    try:
        return subprocess.run(["ctest", "--test-dir", BUILD, "-j2", "-E", EXCLUDE, "--timeout",
                               "120", "--stop-on-failure"], cwd=ROOT, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=900,
                              preexec_fn=limit_file_size).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def run(args):
    if not os.path.isdir(BUILD):
        sh(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DCMAKE_CXX_COMPILER=g++"])
    if not build() or not tests():
        sys.exit("mutants: the unmutated code does not build or pass its tests")
    chosen = []
    for folder in args.folders:
        cands = []
        src = os.path.join(ROOT, "src", folder)
        for name in sorted(os.listdir(src)):
            if name.endswith(".cpp"):
                cands += candidates(os.path.join(src, name))
        chosen += pick(cands, args.per_folder)
    done = load(args.out) if os.path.exists(args.out) else {}
    with open(args.out, "a", encoding="utf-8", errors="surrogateescape") as out:
        for i, (rel, no, rule, old, new) in enumerate(chosen, 1):
            key = f"{rel}:{no}:{rule}"
            if key in done:
                continue
            if args.only_killed_in:
                # A mutant no earlier run killed cannot be lost; wait for that run's verdict.
                while key not in load(args.only_killed_in):
                    time.sleep(30)
                if load(args.only_killed_in)[key] != "killed":
                    continue
            path = os.path.join(ROOT, rel)
            with open(path, encoding="utf-8", errors="surrogateescape") as f:
                text = f.read()
            lines = text.split("\n")
            lines[no - 1] = new
            start = time.time()
            try:
                with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                    f.write("\n".join(lines))
                if not build():
                    result = "nocompile"
                else:
                    result = "survived" if tests() else "killed"
            finally:
                with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                    f.write(text)
            out.write(f"{rel}:{no}:{rule}\t{result}\t{new.strip()}\n")
            out.flush()
            print(f"[{i}/{len(chosen)}] {rel}:{no} {rule} {result} ({time.time() - start:.0f} s)",
                  flush=True)
    build()


def load(path):
    rows = {}
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            key, result, _ = line.rstrip("\n").split("\t", 2)
            rows[key] = result
    return rows


def compare(args):
    before, after = load(args.before), load(args.after)
    for name, rows in (("before", before), ("after", after)):
        counts = {}
        for r in rows.values():
            counts[r] = counts.get(r, 0) + 1
        print(name, " ".join(f"{k} {v}" for k, v in sorted(counts.items())))
    lost = [k for k, r in before.items() if r == "killed" and after.get(k) != "killed"]
    for k in lost:
        print("killed before, not after:", k)
    sys.exit(1 if lost else 0)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    sub = p.add_subparsers(dest="cmd", required=True)
    r = sub.add_parser("run")
    r.add_argument("--per-folder", type=int, default=50)
    r.add_argument("--out", default="mutants.tsv", help="results; an existing file is resumed")
    r.add_argument("--only-killed-in", help="run only the mutants that this earlier run killed")
    r.add_argument("folders", nargs="+")
    c = sub.add_parser("compare")
    c.add_argument("before")
    c.add_argument("after")
    args = p.parse_args()
    run(args) if args.cmd == "run" else compare(args)


if __name__ == "__main__":
    main()
