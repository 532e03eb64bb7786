#!/usr/bin/env python3
"""Turns tarn-eval's lines into a summary for people.

usage: demo_summary.py EXAMPLES_DIR RESULTS_TSV TRACES_DIR

TRACES_DIR holds, for each document, what tarn-eval --trace printed for it (NAME.log).
"""

import pathlib
import re
import sys
import textwrap

LEADING_COMMENT = re.compile(r"\A\s*<!--(.*?)-->", re.DOTALL)


def leading_comment(path):
    """The comment a document starts with, which says what the example is about."""
    match = LEADING_COMMENT.match(path.read_text(encoding="utf-8", errors="replace"))
    return " ".join(match.group(1).split()) if match else None


def trace_of(traces, name):
    """What tarn-eval --trace said about one document: the records its evaluation wrote, and
    the text of its HRESULT when it failed ("0x80004005: ...")."""
    path = traces / (name + ".log")
    lines = [line for line in path.read_text(encoding="utf-8", errors="replace").splitlines()
             if line.strip()] if path.exists() else []
    texts = [line.split(": ", 1)[1] for line in lines if re.match(r"0x[0-9A-F]{8}: ", line)]
    return [line for line in lines if not re.match(r"0x[0-9A-F]{8}: ", line)], texts


ORDER = ["holds", "does not hold", "FAILED", "no answer"]
# How the totals line counts each verdict: one, many.
TOTALS = {
    "holds": ("holds", "hold"),
    "does not hold": ("does not hold", "do not hold"),
    "FAILED": ("failed", "failed"),
    "no answer": ("gave no answer", "gave no answer"),
}
INDENT = " " * 17
MAX_LOG_LINES = 4


def verdict(code, word, records, texts):
    if word == "TRUE":
        return "holds", None
    if word == "UNSET":
        return "no answer", "the provider answered S_OK and left the result unchanged"
    if code == "0x00000001":
        return "does not hold", None
    # The provider's own words: its warnings and errors about this evaluation.
    meaning = f"{code} ({texts[0]})" if texts else code
    said = [line for line in records if line.startswith(("*WARN", "*ERRR"))]
    if said:
        return "FAILED", f"{meaning}; the provider logged: " + " / ".join(said)
    return "FAILED", f"{meaning}; the provider logged nothing about it, the HRESULT is its answer"


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    examples, traces = pathlib.Path(argv[1]), pathlib.Path(argv[3])
    lines = pathlib.Path(argv[2]).read_text(encoding="utf-8").splitlines()
    results = []
    for line in lines:
        name, code, word = line.split("\t")
        records, texts = trace_of(traces, name)
        results.append((name, *verdict(code, word, records, texts), records))
    results.sort(key=lambda result: (ORDER.index(result[1]), result[0]))
    counts = {}
    print(f"Rule documents in {examples}, evaluated by tarn-eval.exe on Windows (Wine):\n")
    for name, label, reason, records in results:
        counts[label] = counts.get(label, 0) + 1
        print(f"  {label:<14} {name}")
        about = leading_comment(examples / name)
        if about:
            print(textwrap.fill(about, 96, initial_indent=INDENT, subsequent_indent=INDENT))
        for record in records[:MAX_LOG_LINES]:
            print(INDENT + textwrap.shorten(f"log: {record}", 92, placeholder=" ..."))
        if reason:
            print(textwrap.fill(f"why: {reason}", 96, initial_indent=INDENT,
                                subsequent_indent=INDENT + "     "))
    summary = ", ".join(f"{counts[label]} {TOTALS[label][counts[label] != 1]}"
                        for label in ORDER if label in counts)
    print(f"\n{len(lines)} documents: {summary}.")


if __name__ == "__main__":
    main(sys.argv)
