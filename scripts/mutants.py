#!/usr/bin/env python3
"""Mutation check: how many small faults in the code the tests catch.

Makes small changes to the sources one at a time (flip a comparison, swap
+ and -, change an integer constant by one, drop a statement, return at a
function's start), rebuilds, runs the tests that cover the changed file and
reports per file how many mutants the tests killed and which survived.

  scripts/mutants.py                          every source file, 300 mutants
  scripts/mutants.py --files glm/obj_read.cpp --max 100
  scripts/mutants.py --list --files image/bmp_read.cpp   show, build nothing

The choice of mutants depends only on the seed and the sources, so two runs
on the same sources test the same mutants. Results go to a state file as
they come, and a run that is stopped picks up where it left off. Each worker
builds in its own copy of the tree under build-mutants/ and never touches
the checkout. It is a tool, not a test: CI does not run it.
"""

import argparse
import json
import os
import random
import re
import shutil
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Which test programs (target, path in the build, gtest filter) guard which
# sources. Programs that need an X display are marked.
SUITES = {
    "glm": [("glm_tests", "tests/glm_tests", False), ("objtool_tests", "tests/objtool_tests", False)],
    "image": [("image_tests", "tests/image_tests", False)],
    "objtool": [("objtool_tests", "tests/objtool_tests", False)],
    "player": [("player_state_tests", "tests/player/player_state_tests", False),
               ("player_draw_tests", "tests/player/player_draw_tests", True)],
    "e2e": [("e2e_tests", "tests/e2e/e2e_tests", True)],
    "sound": [("sound_tests", "tests/sound/sound_tests", False)],
    "help_card": [("help_card_tests", "tests/help_card/help_card_tests", True)],
}

# Source file (prefix) -> the suites that cover it.
COVERAGE = [
    ("glm/", ["glm"]),
    ("image/", ["image"]),
    ("tools/objtool.cpp", ["objtool"]),
    ("app/", ["player", "e2e"]),
    ("scene/", ["player"]),
    ("instruments/", ["player"]),
    ("platform/sound.cpp", ["sound"]),
    ("platform/help_card.cpp", ["help_card"]),
]

DEFAULT_FILES_DIRS = ["glm", "image", "app", "scene", "instruments"]
DEFAULT_EXTRA_FILES = ["tools/objtool.cpp", "platform/sound.cpp", "platform/help_card.cpp"]
# Windows-only sources never build here.
SKIP = re.compile(r"win32")

REL_FLIPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
REL_OP = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
ARITH_OP = re.compile(r"(?<=\s)([+-])(?=\s)")
INT_LITERAL = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
STATEMENT_KEYWORDS = ("return", "break", "continue", "case", "default", "typedef", "using",
                      "static_assert", "goto", "}", "{", "else", "if", "for", "while", "do",
                      "switch", "template", "struct", "enum", "namespace", "public", "private")
# A call or an assignment, not a declaration.
SIMPLE_STATEMENT = re.compile(r"^(\+\+|--)?[\w:.\->\[\]*]+\s*(\(|=[^=]|\+=|-=|\*=|/=|\|=|&=|\+\+|--)")
FUNCTION_START = re.compile(r"^(?:static\s+|inline\s+)*(void|bool)\s+[\w:]+\([^;]*\)\s*(?:const\s*)?\{$")


def blank_strings(line):
    """The line with string and character literals and // comments blanked,
    so that operators inside them are never mutated."""
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" " if quote else c)
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def candidates(path):
    """Every mutant of one file: (line number, column, kind, old, new)."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    found, in_block, previous = [], False, ""
    for number, raw in enumerate(lines, 1):
        text = raw
        if in_block:
            if "*/" not in text:
                continue
            in_block = False
            text = " " * (text.index("*/") + 2) + text[text.index("*/") + 2:]
        if "/*" in text and "*/" not in text[text.index("/*"):]:
            in_block = True
            text = text[:text.index("/*")]
        code = blank_strings(text)
        stripped = code.strip()
        if not stripped or stripped.startswith("#"):
            continue
        for m in REL_OP.finditer(code):
            found.append((number, m.start(), "compare", m.group(1), REL_FLIPS[m.group(1)]))
        for m in ARITH_OP.finditer(code):
            found.append((number, m.start(), "arith", m.group(1), "-" if m.group(1) == "+" else "+"))
        for m in INT_LITERAL.finditer(code):
            value = int(m.group(1))
            found.append((number, m.start(), "constant", m.group(1), str(value + 1 if value == 0 else value - 1)))
        # A whole statement on one line, begun on it: drop it.
        starts_statement = previous.endswith((";", "{", "}", ":")) or previous == ""
        balanced = code.count("(") == code.count(")")
        if (starts_statement and balanced and stripped.endswith(";")
                and not stripped.startswith(STATEMENT_KEYWORDS) and SIMPLE_STATEMENT.match(stripped)):
            found.append((number, 0, "drop", raw, ""))
        match = FUNCTION_START.match(code.rstrip())
        if match:
            early = "return;" if match.group(1) == "void" else "return false;"
            found.append((number, len(raw), "return", "", " " + early))
        if stripped:
            previous = stripped
    return lines, found


def describe(m):
    line, _, kind, old, new = m
    if kind == "drop":
        return "statement dropped: " + old.strip()
    if kind == "return":
        return "returns at the start:" + new
    return "%s -> %s" % (old, new)


def mutate(lines, m):
    line, col, kind, old, new = m
    out = list(lines)
    text = out[line - 1]
    if kind == "drop":
        out[line - 1] = ""
    elif kind == "return":
        out[line - 1] = text + new
    else:
        assert text[col:col + len(old)] == old, (text, col, old)
        out[line - 1] = text[:col] + new + text[col + len(old):]
    return "\n".join(out)


def covering_suites(path, with_e2e):
    for prefix, suites in COVERAGE:
        if path.startswith(prefix):
            return [s for s in suites if with_e2e or s != "e2e"]
    return []


def source_files(selected):
    if selected:
        return selected
    files = []
    for d in DEFAULT_FILES_DIRS:
        for name in sorted(os.listdir(os.path.join(ROOT, d))):
            if name.endswith((".cpp", ".h")) and not SKIP.search(name):
                files.append(d + "/" + name)
    return files + DEFAULT_EXTRA_FILES


def key_of(path, m):
    return "%s:%d:%d:%s:%s" % (path, m[0], m[1], m[2], m[4])


class Worker:
    """A copy of the tree and a build of it, where one mutant at a time is tried."""

    def __init__(self, index, args):
        self.dir = os.path.join(args.workdir, ("s%d" if args.sanitize else "w%d") % index)
        self.build = os.path.join(self.dir, "build")
        self.args = args

    def prepare(self):
        files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=ROOT,
                               check=True, capture_output=True, text=True).stdout.split("\n")
        for f in files:
            if not f or f.startswith("build"):
                continue
            source, target = os.path.join(ROOT, f), os.path.join(self.dir, f)
            if not os.path.isfile(source):
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(source, "rb") as a:
                data = a.read()
            if not os.path.exists(target) or open(target, "rb").read() != data:
                with open(target, "wb") as b:
                    b.write(data)
        subprocess.run(["cmake", "-S", self.dir, "-B", self.build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DCMAKE_CXX_FLAGS_RELEASE=-O1", "-DPLINKAR_BUILD_BENCH=OFF",
                        "-DPLINKAR_SANITIZE=" + ("ON" if self.args.sanitize else "OFF")],
                       check=True, capture_output=True)

    def targets(self, suites):
        names = []
        for s in suites:
            for target, _, _ in SUITES[s]:
                names.append(target)
        if "objtool" in suites or "glm" in suites:
            names.append("objtool")
        if "e2e" in suites:
            names.append("plinkar")
        if "help_card" in suites:
            names.append("help_card_host")
        return sorted(set(names))

    def build_targets(self, suites, jobs):
        result = subprocess.run(["cmake", "--build", self.build, "-j%d" % jobs, "--target"]
                                + self.targets(suites), capture_output=True, text=True)
        return result.returncode == 0, result.stdout[-2000:] + result.stderr[-2000:]

    def run_tests(self, suites, timeout):
        for s in suites:
            for _, program, _ in SUITES[s]:
                try:
                    done = subprocess.run([os.path.join(self.build, program), "--gtest_brief=1",
                                           "--gtest_fail_fast"], cwd=self.dir,
                                          capture_output=True, timeout=timeout)
                except subprocess.TimeoutExpired:
                    return False
                if done.returncode != 0:
                    return False
        return True

    def try_mutant(self, path, lines, m, suites):
        target = os.path.join(self.dir, path)
        original = "\n".join(lines)
        with open(target, "w", encoding="utf-8") as f:
            f.write(mutate(lines, m))
        try:
            built, _ = self.build_targets(suites, 1)
            if not built:
                return "unbuilt"
            return "survived" if self.run_tests(suites, self.args.timeout) else "killed"
        finally:
            with open(target, "w", encoding="utf-8") as f:
                f.write(original)


def start_display():
    """A private Xvfb for the suites that draw, when none is given."""
    if os.environ.get("DISPLAY"):
        return None
    for n in range(140, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n):
            xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp", "-noreset"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.environ["DISPLAY"] = ":%d" % n
            time.sleep(1)
            return xvfb
    sys.exit("mutants: no free X display number")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--files", nargs="+", help="source files, relative to the repository")
    parser.add_argument("--max", type=int, default=300, help="mutants to try in all")
    parser.add_argument("--seed", type=int, default=1, help="picks the mutants")
    parser.add_argument("--jobs", type=int, default=2, help="workers, each with its own build")
    parser.add_argument("--timeout", type=int, default=300, help="seconds a test program may run")
    parser.add_argument("--e2e", action="store_true", help="also run the end-to-end suite")
    parser.add_argument("--sanitize", action="store_true",
                        help="build with AddressSanitizer and UBSan: memory faults count as kills")
    parser.add_argument("--state", help="results file (default build-mutants/state-SEED.jsonl)")
    parser.add_argument("--workdir", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--list", action="store_true", help="print the chosen mutants and stop")
    args = parser.parse_args()
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
    # Mesa keeps allocations past exit; a leak report would kill every mutant.
    os.environ.setdefault("ASAN_OPTIONS", "detect_leaks=0")

    # Each file's mutants in an order fixed by the seed, then the files in
    # turn, so that a small --max still reaches every file.
    per_file = []
    for path in source_files(args.files):
        suites = covering_suites(path, args.e2e)
        if not suites:
            print("mutants: no tests are mapped to %s; skipped" % path, file=sys.stderr)
            continue
        lines, found = candidates(path)
        random.Random("%d:%s" % (args.seed, path)).shuffle(found)
        per_file.append((path, lines, found, suites))
    chosen = []
    for depth in range(max((len(f) for _, _, f, _ in per_file), default=0)):
        for path, lines, found, suites in per_file:
            if depth < len(found) and len(chosen) < args.max:
                chosen.append((path, lines, found[depth], suites))
    if args.list:
        for path, _, m, _ in chosen:
            print("%s:%d: %s" % (path, m[0], describe(m)))
        return 0

    os.makedirs(args.workdir, exist_ok=True)
    state_path = args.state or os.path.join(args.workdir, "state-%d.jsonl" % args.seed)
    results = {}
    if os.path.exists(state_path):
        with open(state_path) as f:
            for line in f:
                entry = json.loads(line)
                results[entry["key"]] = entry
    todo = [c for c in chosen if key_of(c[0], c[2]) not in results]
    print("mutants: %d chosen, %d already tried, %d to go; results in %s"
          % (len(chosen), len(chosen) - len(todo), len(todo), state_path))

    xvfb = start_display()
    workers = [Worker(i, args) for i in range(max(1, args.jobs))]
    suites_needed = sorted({s for c in chosen for s in c[3]})
    for w in workers:
        w.prepare()
        built, log = w.build_targets(suites_needed, 2)
        if not built:
            sys.exit("mutants: the unchanged tree does not build:\n" + log)
    if not workers[0].run_tests(suites_needed, args.timeout):
        sys.exit("mutants: the tests fail on the unchanged tree; fix that first")

    lock = threading.Lock()
    queue = list(todo)
    started = time.time()

    def work(worker):
        while True:
            with lock:
                if not queue:
                    return
                path, lines, m, suites = queue.pop(0)
            outcome = worker.try_mutant(path, lines, m, suites)
            entry = {"key": key_of(path, m), "file": path, "line": m[0], "mutation": describe(m),
                     "outcome": outcome}
            with lock:
                results[entry["key"]] = entry
                with open(state_path, "a") as f:
                    f.write(json.dumps(entry) + "\n")
                done = len(todo) - len(queue)
                print("[%d/%d %.0fs] %s:%d: %s: %s" % (done, len(todo), time.time() - started,
                                                       path, m[0], describe(m), outcome), flush=True)

    threads = [threading.Thread(target=work, args=(w,)) for w in workers]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if xvfb:
        xvfb.terminate()

    report(chosen, results)
    return 0


def report(chosen, results):
    by_file = {}
    survivors = []
    for path, _, m, _ in chosen:
        entry = results.get(key_of(path, m))
        if not entry:
            continue
        counts = by_file.setdefault(path, {"killed": 0, "survived": 0, "unbuilt": 0})
        counts[entry["outcome"]] += 1
        if entry["outcome"] == "survived":
            survivors.append("%s:%d: %s" % (path, m[0], describe(m)))
    print("\n%-34s %6s %6s %8s %8s" % ("file", "made", "killed", "survived", "unbuilt"))
    total = {"killed": 0, "survived": 0, "unbuilt": 0}
    for path in sorted(by_file):
        c = by_file[path]
        for k in total:
            total[k] += c[k]
        print("%-34s %6d %6d %8d %8d" % (path, c["killed"] + c["survived"], c["killed"],
                                          c["survived"], c["unbuilt"]))
    made = total["killed"] + total["survived"]
    print("%-34s %6d %6d %8d %8d" % ("all", made, total["killed"], total["survived"], total["unbuilt"]))
    if made:
        print("killed %.1f %% of the mutants that built" % (100.0 * total["killed"] / made))
    if survivors:
        print("\nsurvivors:")
        for s in survivors:
            print("  " + s)


if __name__ == "__main__":
    sys.exit(main())
