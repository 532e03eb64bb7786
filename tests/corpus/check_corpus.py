#!/usr/bin/env python3
"""Runs tarn-eval over the rule-document corpus and compares its output with expected.tsv.

usage: check_corpus.py CORPUS_DIR [--replace LINES.tsv] -- COMMAND...

COMMAND (for example `wine tarn-eval.exe`) is run once in CORPUS_DIR with every document of
expected.tsv, in its order, as corpus-relative paths; its standard output must be exactly
the lines of expected.tsv and its exit status what those lines add up to. One document is
then fed through standard input ("-") as well. Every *.xml in CORPUS_DIR must be listed.

--replace names a file in CORPUS_DIR whose lines replace those of expected.tsv for the same
documents: the answers of a harness whose platform differs (expected-wine.tsv).
"""

import difflib
import pathlib
import subprocess
import sys

EXPECTED_NAME = "expected.tsv"
STDIN_CASE = "utf16le-bom.xml"  # bytes that text-mode input would corrupt


def read_lines(corpus, name):
    lines = (corpus / name).read_text(encoding="utf-8").splitlines()
    expected = [line.split("\t") for line in lines if line]
    for fields in expected:
        if len(fields) != 3:
            sys.exit(f"{name}: malformed line {fields!r}")
    return expected


def read_expected(corpus, replacements):
    expected = read_lines(corpus, EXPECTED_NAME)
    if replacements is None:
        return expected
    replaced = {fields[0]: fields for fields in read_lines(corpus, replacements)}
    unknown = set(replaced) - {fields[0] for fields in expected}
    if unknown:
        sys.exit(f"{replacements}: documents not in {EXPECTED_NAME}: {sorted(unknown)}")
    return [replaced.get(fields[0], fields) for fields in expected]


def check_listing(corpus, expected):
    listed = [fields[0] for fields in expected]
    present = sorted(path.name for path in corpus.glob("*.xml"))
    problems = [f"{name}: no expected line" for name in present if name not in listed]
    problems += [f"{name}: listed but missing" for name in listed if name not in present]
    problems += [f"{name}: listed twice" for name in set(listed) if listed.count(name) > 1]
    return problems


def exit_status_for(expected):
    return 0 if all(fields[2] == "TRUE" for fields in expected) else 1


def run(command, corpus, args, stdin=None):
    return subprocess.run(command + args, cwd=corpus, input=stdin, capture_output=True,
                          timeout=600, check=False)


def compare(label, completed, expected):
    want = ["\t".join(fields) + "\n" for fields in expected]
    got = completed.stdout.decode("utf-8", errors="replace").splitlines(keepends=True)
    problems = [f"{label}: {line.rstrip()}"
                for line in difflib.unified_diff(want, got, "expected", "printed", n=0)]
    if completed.returncode != exit_status_for(expected):
        problems.append(f"{label}: exit status {completed.returncode}, "
                        f"expected {exit_status_for(expected)}")
    if problems and completed.stderr:
        problems.append(f"{label}: standard error:\n"
                        + completed.stderr.decode("utf-8", errors="replace"))
    return problems


def main(argv):
    replacements = None
    if len(argv) > 3 and argv[2] == "--replace":
        replacements = argv[3]
        argv = argv[:2] + argv[4:]
    if len(argv) < 4 or argv[2] != "--":
        sys.exit(__doc__)
    corpus = pathlib.Path(argv[1]).resolve()
    command = argv[3:]
    expected = read_expected(corpus, replacements)
    problems = check_listing(corpus, expected)

    completed = run(command, corpus, [fields[0] for fields in expected])
    problems += compare("corpus", completed, expected)

    stdin_fields = next(fields for fields in expected if fields[0] == STDIN_CASE)
    completed = run(command, corpus, ["-"], stdin=(corpus / STDIN_CASE).read_bytes())
    problems += compare("stdin", completed, [["-", *stdin_fields[1:]]])

    for problem in problems:
        print(problem)
    print(f"{len(expected)} documents, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
