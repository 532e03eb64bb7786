#!/usr/bin/env python3
"""Runs tarn-eval over the rule-document corpus and compares its output with expected.tsv.

usage: check_corpus.py CORPUS_DIR [--replace LINES.tsv] -- COMMAND...

COMMAND (for example `wine tarn-eval.exe`) is run once in CORPUS_DIR with every document of
expected.tsv, in its order, as corpus-relative paths; its standard output must be exactly
the lines of expected.tsv and its exit status what those lines add up to. One document is
then fed through standard input ("-") as well, where the corpus has it. Every *.xml in
CORPUS_DIR must be listed.

--replace names a file in CORPUS_DIR whose lines replace those of expected.tsv for the same
documents: the answers of a harness whose platform differs (expected-wine.tsv).
"""

import pathlib
import subprocess
import sys

STDIN_CASE = "utf16le-bom.xml"  # bytes that text-mode input would corrupt


def read_lines(corpus, name):
    text = (corpus / name).read_text("utf-8")
    expected = [line.split("\t") for line in text.splitlines() if line]
    for fields in expected:
        if len(fields) != 3:
            sys.exit(f"{name}: malformed line {fields!r}")
    return {fields[0]: fields for fields in expected}, [fields[0] for fields in expected]


def compare(label, command, corpus, args, expected, stdin=None):
    """The problems of one run of COMMAND: the first line that differs, the exit status."""
    completed = subprocess.run(command + args, cwd=corpus, input=stdin, capture_output=True,
                               timeout=600, check=False)
    want = ["\t".join(fields) for fields in expected]
    got = completed.stdout.decode("utf-8", errors="replace").split("\n")
    problems = [f"{label}: line {n}: expected {w!r}, printed {g!r}"
                for n, (w, g) in enumerate(zip(want + [""], got), 1) if w != g][:1]
    if len(got) != len(want) + 1:
        problems.append(f"{label}: {len(got) - 1} lines printed, expected {len(want)}")
    status = 0 if all(fields[2] == "TRUE" for fields in expected) else 1
    if completed.returncode != status:
        problems.append(f"{label}: exit status {completed.returncode}, expected {status}")
    if problems and completed.stderr:
        problems.append(f"{label}: standard error:\n" + completed.stderr.decode(errors="replace"))
    return problems


def main(argv):
    replacements = None
    if len(argv) > 3 and argv[2] == "--replace":
        replacements, argv = argv[3], argv[:2] + argv[4:]
    if len(argv) < 4 or argv[2] != "--":
        sys.exit(__doc__)
    corpus, command = pathlib.Path(argv[1]).resolve(), argv[3:]
    lines, listed = read_lines(corpus, "expected.tsv")
    if replacements is not None:
        replaced, _ = read_lines(corpus, replacements)
        if unknown := sorted(set(replaced) - set(lines)):
            sys.exit(f"{replacements}: documents not in expected.tsv: {unknown}")
        lines.update(replaced)
    expected = [lines[name] for name in listed]
    present = sorted(path.name for path in corpus.glob("*.xml"))
    problems = [f"{name}: no expected line" for name in present if name not in lines]
    problems += [f"{name}: listed but missing" for name in listed if name not in present]
    problems += [f"{name}: listed twice" for name in set(listed) if listed.count(name) > 1]
    problems += compare("corpus", command, corpus, listed, expected)
    if STDIN_CASE in lines:
        problems += compare("stdin", command, corpus, ["-"], [["-", *lines[STDIN_CASE][1:]]],
                            stdin=(corpus / STDIN_CASE).read_bytes())
    for problem in problems:
        print(problem)
    print(f"{len(expected)} documents, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
