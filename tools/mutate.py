#!/usr/bin/env python3
"""A mutation run: how many small changes to the game's code the headless tests catch.

Changes the source one token at a time (a comparison turned round, an operator swapped, a
number moved by one either way, a negation dropped, a statement left out), rebuilds only the
headless test programs in a build directory of its own (Ninja, so only what a change touches),
runs `ctest -L headless` against each change and reports, per group of files, how many changes
the tests killed and which survived. Python 3 standard library only.

    nice -n 15 python3 tools/mutate.py                     # game/, the window chrome, the session
    python3 tools/mutate.py --list                         # the changes, numbered, not run
    python3 tools/mutate.py --pick 12,40 game/hits.cpp     # only these of that file's changes
    python3 tools/mutate.py --limit 100                    # at most 100 per group, spread evenly
    python3 tools/mutate.py app/layout.h                   # any other file, as a group of its own

A change that does not compile is not counted. A change the tests let through is a survivor:
either a rule no test holds, or a change no player could see (an equivalent one). The report
lists each survivor with its line, for a person to tell which.
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GROUPS = {
    "game/": ["game/bonus_item.cpp", "game/game_control.cpp", "game/hits.cpp", "game/levels.h",
              "game/shots.cpp", "game/target_cycle.cpp"],
    "app/window_chrome.cpp": ["app/window_chrome.cpp"],
    "platform/session.cpp": ["platform/session.cpp"],
}

# Token swaps. Binary operators are matched with the spaces clang-format puts around them, so
# the angle brackets of templates and includes are left alone.
SWAPS = [(" == ", " != "), (" != ", " == "), (" < ", " <= "), (" <= ", " < "),
         (" > ", " >= "), (" >= ", " > "), (" && ", " || "), (" || ", " && "),
         (" + ", " - "), (" - ", " + "), (" * ", " / "), (" / ", " * "),
         (" += ", " -= "), (" -= ", " += "), ("++", "--"), ("--", "++")]
WORDS = [("true", "false"), ("false", "true")]
NUMBER = re.compile(r"(?<![\w.])\d+(\.\d+)?(?![\w.'])")
NEGATION = re.compile(r"!(?=[\w(*])")
NOT_A_STATEMENT = re.compile(r"^\s*(return\b|if\b|for\b|while\b|else\b|switch\b|case\b|"
                             r"default\b|[{}]|//|#|namespace\b|using\b|struct\b|class\b)")


def code_mask(line):
    """The line with comments and string and character literals blanked out."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            out.append(" ")
            if c == "\\":
                out.append(" ")
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'" and not (c == "'" and i and line[i - 1].isdigit()):
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out).ljust(len(line))


def mutants(path):
    """Every change to one file: (line number, what changed, the changed text)."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = []

    def change(n, start, end, new, what):
        changed = lines[:n] + [lines[n][:start] + new + lines[n][end:]] + lines[n + 1:]
        found.append((n + 1, what, "\n".join(changed)))

    for n, line in enumerate(lines):
        code = code_mask(line)
        if code.lstrip().startswith("#"):
            continue
        for old, new in SWAPS:
            for m in re.finditer(re.escape(old), code):
                if old in ("++", "--") and code[m.start() - 1:m.start()] in "+-":
                    continue
                change(n, m.start(), m.end(), new, f"'{old.strip()}' -> '{new.strip()}'")
        for old, new in WORDS:
            for m in re.finditer(rf"\b{old}\b", code):
                change(n, m.start(), m.end(), new, f"{old} -> {new}")
        for m in NUMBER.finditer(code):
            value = m.group()
            number = float(value) if "." in value else int(value)
            for moved in {number + 1, number - 1} - {-1}:
                change(n, m.start(), m.end(), str(moved), f"{value} -> {moved}")
        for m in NEGATION.finditer(code):
            change(n, m.start(), m.end(), "", "'!' dropped")
    # Statements left out: whole simple statements, which may run over several lines.
    n = 0
    while n < len(lines):
        prev = next((code_mask(p).strip() for p in reversed(lines[:n]) if code_mask(p).strip()), "")
        if (NOT_A_STATEMENT.match(lines[n]) or not code_mask(lines[n]).strip()
                or prev[-1:] not in (";", "{", "}", ":", ")")):
            n += 1
            continue
        end, depth = n, 0
        while end < len(lines):
            code = code_mask(lines[end])
            depth += code.count("(") - code.count(")")
            if "{" in code or "}" in code or depth < 0:
                end = len(lines)  # a block or a list, not a simple statement
            elif depth == 0 and code.rstrip().endswith(";"):
                break
            else:
                end += 1
        if end < len(lines):
            text = "\n".join(lines[:n] + lines[end + 1:])
            found.append((n + 1, "statement left out: " + lines[n].strip()[:50], text))
            n = end
        n += 1
    return found


def run(cmd, timeout=None):
    try:
        return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout, text=True)
    except subprocess.TimeoutExpired:
        return None


def headless_targets(build):
    shown = run(["ctest", "--test-dir", build, "-N", "-L", "headless", "--show-only=json-v1"])
    tests = json.loads(shown.stdout).get("tests", [])
    return sorted({os.path.basename(t["command"][0]) for t in tests if t.get("command")})


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("files", nargs="*", help="files to change (default: the three groups)")
    ap.add_argument("--build", default="build/mutate", help="the run's own build directory")
    ap.add_argument("--list", action="store_true", help="list the changes, run nothing")
    ap.add_argument("--pick", help="comma-separated numbers from --list: run only these")
    ap.add_argument("--limit", type=int, help="at most this many changes per group, spread evenly")
    args = ap.parse_args()

    groups = {f: [f] for f in args.files} if args.files else GROUPS
    plan = []  # (group, file, number, line, what, text)
    for group, files in groups.items():
        chosen = [(f, i + 1, *m) for f in files for i, m in enumerate(mutants(f))]
        if args.pick:
            picked = {int(p) for p in args.pick.split(",")}
            chosen = [c for c in chosen if c[1] in picked]
        if args.limit and len(chosen) > args.limit:
            chosen = [chosen[i * len(chosen) // args.limit] for i in range(args.limit)]
        plan += [(group, *c) for c in chosen]
    if args.list:
        for group, path, number, line, what, _ in plan:
            print(f"{path}:{line}  #{number}  {what}")
        print(f"{len(plan)} changes")
        return 0

    build = os.path.join(ROOT, args.build)
    if not os.path.exists(os.path.join(build, "build.ninja")):
        # -O1: each change compiles fast and the tests still run at speed.
        if run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG", "-DVOMBREL_BENCH=OFF"]).returncode:
            sys.exit("cannot configure " + build)
    # The test programs are known once built (their tests are discovered after the build).
    targets = headless_targets(build)
    if not targets:
        run(["cmake", "--build", build, "--", "-k", "0"])  # what fails here may be no test of ours
        targets = headless_targets(build)
    if run(["cmake", "--build", build, "--target", *targets]).returncode or \
            run(["ctest", "--test-dir", build, "-L", "headless"]).returncode:
        sys.exit("the unchanged code does not pass its tests: nothing to measure")

    # Stopped from outside, the changed file is still put back (in the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    results = {}  # group -> [killed, survived, stillborn, survivors]
    originals = {}
    started = time.time()
    try:
        for i, (group, path, number, line, what, text) in enumerate(plan):
            full = os.path.join(ROOT, path)
            if path not in originals:
                with open(full, encoding="utf-8") as f:
                    originals[path] = f.read()
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
            r = results.setdefault(group, [0, 0, 0, []])
            built = run(["cmake", "--build", build, "--target", *targets], timeout=600)
            if built is None or built.returncode:
                r[2] += 1
                verdict = "does not build"
            else:
                tested = run(["ctest", "--test-dir", build, "-L", "headless", "--stop-on-failure",
                              "--timeout", "30"], timeout=300)
                if tested is None or tested.returncode:
                    r[0] += 1
                    verdict = "killed"
                else:
                    r[1] += 1
                    r[3].append(f"{path}:{line}  #{number}  {what}")
                    verdict = "SURVIVED"
            print(f"[{i + 1}/{len(plan)} {time.time() - started:.0f}s] {verdict:14} "
                  f"{path}:{line} #{number} {what}", flush=True)
            nxt = plan[i + 1][1] if i + 1 < len(plan) else None
            if nxt != path:
                with open(full, "w", encoding="utf-8") as f:
                    f.write(originals.pop(path))
    finally:
        for path, text in originals.items():
            with open(os.path.join(ROOT, path), "w", encoding="utf-8") as f:
                f.write(text)
        run(["cmake", "--build", build, "--target", *targets])

    print("\ngroup                      changes  killed  survived  kill rate  (not built)")
    for group, (killed, survived, stillborn, _) in results.items():
        total = killed + survived
        rate = f"{100 * killed / total:.0f} %" if total else "-"
        print(f"{group:26} {total:7} {killed:7} {survived:9} {rate:>10}  ({stillborn})")
    for group, (_, _, _, survivors) in results.items():
        if survivors:
            print(f"\nsurvivors in {group}:")
            print("\n".join("  " + s for s in survivors))
    return 0


if __name__ == "__main__":
    sys.exit(main())
