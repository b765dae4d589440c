#!/usr/bin/env python3
"""Mutation testing of the library sources: plants one small fault at a time
and checks that the test suite notices. Called by scripts/mutation.sh, which
prepares the source copy and its build; `--list` only prints the sample."""
import argparse, hashlib, os, random, re, shutil, signal, subprocess, time
from collections import Counter
from pathlib import Path

FOLDERS = ["converter", "dictionary", "encoding", "engine", "exports", "output", "platform", "runlog", "settings", "to_customer", "to_device"]
NOT_BUILT = {"platform/PlatformWindows.cpp"}
CMP = {"==": "!=", "!=": "==", "<": ">=", ">": "<=", "<=": ">", ">=": "<"}
DECL = re.compile(r"^\s*(?:[\w:]+(?:<.*>)?[\s*&]+)+\w+\s*[=({\[;,]")  # `Type name = ...;` and the like
NO_DELETE = re.compile(r"^\s*(return|case|default|using|typedef|namespace|template|static_assert|public|private|protected)\b")


def code_lines(text):
    """The file's lines with comments and the insides of string and character
    literals blanked (same length), and preprocessor lines blanked whole."""
    out, in_comment, in_directive = [], False, False
    for line in text.split("\n"):
        if in_directive or (not in_comment and line.lstrip().startswith("#")):
            in_directive = line.endswith("\\")
            out.append(" " * len(line))
            continue
        chars, i = list(line), 0
        while i < len(line):
            if in_comment or line.startswith("/*", i):
                close = line.find("*/", i if in_comment else i + 2)
                end = len(line) if close < 0 else close + 2
                in_comment = close < 0
                chars[i:end] = " " * (end - i)
                i = end
            elif line.startswith("//", i):
                chars[i:] = " " * (len(line) - i)
                break
            elif line[i] in "\"'":
                j = i + 1
                while j < len(line) and line[j] != line[i]:
                    j += 2 if line[j] == "\\" else 1
                chars[i + 1:j] = " " * (min(j, len(line)) - i - 1)
                i = j + 1
            else:
                i += 1
        out.append("".join(chars))
    return out


def mutations(code, prev):
    """(operator, start, end, replacement) for one blanked line; `prev` is the
    previous non-blank blanked line, to tell a statement from a continuation."""
    if not code.strip():
        return
    for m in re.finditer(r"==|!=|(?<=\s)(<=|>=|<|>)(?=\s)", code):
        yield "comparison", m.start(), m.end(), CMP[m.group()]
    is_return = re.fullmatch(r"\s*return (true|false);\s*", code)
    for m in re.finditer(r"\b(true|false)\b", code):
        yield "return" if is_return else "boolean", m.start(), m.end(), "false" if m.group() == "true" else "true"
    for m in re.finditer(r"(?<![\w.'])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.'])", code):
        literal = m.group(1)
        form = "0x%X" if literal[:2] in ("0x", "0X") else "0%o" if literal[0] == "0" and len(literal) > 1 else "%d"
        value = int(literal, {"0x%X": 16, "0%o": 8, "%d": 10}[form])
        for new in (value + 1, value - 1) if value > 0 else (value + 1,):
            yield "constant", m.start(), m.end(), form % new + m.group(2)
    for m in re.finditer(r" (&&|\|\|) ", code):
        yield "logic", m.start(), m.end(), " || " if m.group(1) == "&&" else " && "
    for m in re.finditer(r"\bif \(", code):
        depth, j = 1, m.end()
        while j < len(code) and depth:
            depth += {"(": 1, ")": -1}.get(code[j], 0)
            j += 1
        if depth == 0:  # the whole condition is on this line
            for const in ("true", "false"):
                yield "condition", m.end(), j - 1, const
    for m in re.finditer(r"!(?!=)", code):
        yield "condition", m.start(), m.end(), ""
    m = re.match(r"\s*return (.+);\s*$", code)
    if m and m.group(1).strip() not in ("true", "false", "{}", "0", "nullptr"):
        yield "return", m.start(1), m.end(1), "{}"  # 0, false, nullptr or an empty object
    if (code.rstrip().endswith(";") and not re.search(r"[{}]", code) and code.count("(") == code.count(")")
            and not DECL.match(code) and not NO_DELETE.match(code)
            and (prev.rstrip()[-1:] in (";", "{", "}", ")", ":") or prev.strip() == "else")):
        yield "statement", len(code) - len(code.lstrip()), len(code.rstrip()), ";"


def candidates(src, folders=FOLDERS):
    """Every mutant of the given library folders, in a fixed order."""
    found = []
    for folder in folders:
        for path in sorted((src / folder).glob("*")):
            rel = path.relative_to(src).as_posix()
            if path.suffix not in (".cpp", ".h") or rel in NOT_BUILT:
                continue
            lines, prev, seen = path.read_text().split("\n"), "", set()
            for number, code in enumerate(code_lines(path.read_text()), 1):
                for op, start, end, new in mutations(code, prev):
                    mutated = lines[number - 1][:start] + new + lines[number - 1][end:]
                    if (number, mutated) not in seen:
                        seen.add((number, mutated))
                        found.append((rel, number, op, lines[number - 1], mutated))
                prev = code if code.strip() else prev
    return found


def run(cmd, timeout, env=None):
    """Exit status of cmd, or None when it ran out of time (its whole process group is killed)."""
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True,
                         env=env)
    try:
        return p.wait(timeout)
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        return None


def code_hash(obj, scratch):
    """Hash of an object file without its debug sections (they hold line and column data)."""
    subprocess.run(["objcopy", "--strip-debug", str(obj), str(scratch)], check=True)
    return hashlib.sha256(scratch.read_bytes()).hexdigest()


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--count", type=int, default=250)
    ap.add_argument("--seed", type=int, default=14)
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--src", type=Path, default=Path(__file__).resolve().parent.parent)
    ap.add_argument("--build", type=Path)
    ap.add_argument("--out", type=Path)
    ap.add_argument("--limit", type=int, default=120, help="seconds for the tests of one mutant")
    ap.add_argument("--folders", default=",".join(FOLDERS),
                    help="comma-separated library folders to mutate (default: all)")
    ap.add_argument("--resume", action="store_true",
                    help="take the outcomes of the last run's results.tsv, but for mutants that did not compile")
    args = ap.parse_args()

    everything = candidates(args.src, [f for f in args.folders.split(",") if f])
    sample = sorted(random.Random(args.seed).sample(everything, min(args.count, len(everything))))
    print(f"{len(everything)} candidate mutants ({dict(Counter(c[2] for c in everything))}); "
          f"sample of {len(sample)} with seed {args.seed}")
    if args.list:
        for rel, number, op, before, after in sample:
            print(f"{rel}:{number} {op}: {before.strip()}  ->  {after.strip()}")
        return

    build, scratch = args.build, args.out / "stripped.o"
    build_cmd = ["ninja", "-C", str(build), "-j2"]
    test_cmd = ["ctest", "--test-dir", str(build), "-j2", "--timeout", "60", "--stop-on-failure"]
    original = {o: code_hash(o, scratch) for o in build.rglob("*.o")}
    earlier = {}
    if args.resume and (args.out / "results.tsv").exists():
        for row in (args.out / "results.tsv").read_text().split("\n")[1:]:
            fields = row.split("\t")
            if len(fields) == 6 and fields[3] != "no-compile":
                earlier[(fields[0], int(fields[1]), fields[2], fields[4], fields[5])] = fields[3]
    # The tests' temporary folders, emptied after each mutant: a mutant whose
    # tests are killed leaves theirs, and one that writes without end would
    # fill the disk for every mutant after it.
    temp = args.out / "tmp"
    env = dict(os.environ, TMPDIR=str(temp))
    results, tsv = [], (args.out / "results.tsv").open("w")
    tsv.write("file\tline\toperator\tstatus\toriginal\tmutated\n")
    for index, (rel, number, op, before, after) in enumerate(sample, 1):
        path = args.src / rel
        text, started = path.read_text(), time.time()
        # A mutant the last run gave an outcome keeps it (--resume).
        status = earlier.get((rel, number, op, before, after))
        took = "the last run's"
        if status is None:
            lines = text.split("\n")
            lines[number - 1] = after
            try:
                path.write_text("\n".join(lines))
                if run(build_cmd, 900) != 0:
                    status = "no-compile"
                elif all(code_hash(o, scratch) == original.get(o) for o in build.rglob("*.o")
                         if o.stat().st_mtime > started):
                    status = "equivalent"  # same machine code: no test could tell
                else:
                    shutil.rmtree(temp, ignore_errors=True)
                    temp.mkdir()
                    code = run(test_cmd, args.limit, env)
                    shutil.rmtree(temp, ignore_errors=True)
                    status = "survived" if code == 0 else "killed" if code else "timeout"
            finally:
                path.write_text(text)  # the next build recompiles the original
            took = f"{time.time() - started:.0f} s"
        results.append((rel, number, op, status, before, after))
        tsv.write("\t".join(map(str, results[-1])) + "\n")
        tsv.flush()
        print(f"[{index}/{len(sample)}] {status:10} {rel}:{number} {op} ({took})", flush=True)
    run(build_cmd, 900)  # leave the build as the unmutated sources give it
    scratch.unlink(missing_ok=True)

    def rate(rows):
        counted = [r for r in rows if r[3] in ("killed", "timeout", "survived")]
        killed = sum(r[3] != "survived" for r in counted)
        return f"{killed}/{len(counted)} = {100 * killed / len(counted):.1f}%" if counted else "nothing counted"

    tree = args.out / "tree.txt"  # where the copy came from, when mutation.sh made it
    report = [tree.read_text().split("\n")[0]] if tree.exists() else []
    report += [f"Sample: {len(sample)} of {len(everything)} mutants, seed {args.seed}",
              "Outcomes: " + ", ".join(f"{k} {v}" for k, v in sorted(Counter(r[3] for r in results).items())),
              f"Kill rate: {rate(results)} (timeouts count as killed)", "", "Per folder:"]
    report += [f"  {f:12} {rate([r for r in results if r[0].startswith(f + '/')])}"
               for f in FOLDERS if any(r[0].startswith(f + "/") for r in results)]
    report += ["", "Survivors:"]
    report += [f"  {r[0]}:{r[1]} {r[2]}: {r[4].strip()}  ->  {r[5].strip()}" for r in results if r[3] == "survived"]
    (args.out / "results.txt").write_text("\n".join(report) + "\n")
    print("\n".join(report))


if __name__ == "__main__":
    main()
