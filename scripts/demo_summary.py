#!/usr/bin/env python3
"""Turns tarn-eval's lines into a summary for people.

usage: demo_summary.py EXAMPLES_DIR RESULTS_TSV
"""

import pathlib
import re
import sys
import textwrap
import xml.dom.minidom
import xml.parsers.expat

LEADING_COMMENT = re.compile(r"\A\s*<!--(.*?)-->", re.DOTALL)

# What a failure code means for the author of a rule.
FAILURE_WORDS = {
    "0x80004003": "the XML parser answered without a required part",
    "0x8000FFFF": "an unexpected failure occurred",
    "0x8007000E": "memory ran out",
    "0x800703E9": "its expressions are nested too deeply",
    "0x80070032": "it needs a Windows image to inspect",
    "0x80040154": "it names a rule engine that is not installed here",
}


def leading_comment(path):
    """The comment a document starts with, which says what the example is about."""
    match = LEADING_COMMENT.match(path.read_text(encoding="utf-8", errors="replace"))
    return " ".join(match.group(1).split()) if match else None


def why_failed(path, code):
    if code in FAILURE_WORDS:
        return FAILURE_WORDS[code]
    if code != "0x80004005":
        return f"the provider failed with error code {code}"
    try:
        document = xml.dom.minidom.parse(str(path))
    except xml.parsers.expat.ExpatError as error:
        return f"it is not well-formed XML ({error})"
    if not document.getElementsByTagName("ruleset"):
        return "it has no ruleset element"
    return ("it could not be evaluated: an element is not a known expression, or a "
            "ruleset or not is empty")


ORDER = ["holds", "does not hold", "FAILED", "no answer"]
# How the totals line counts each verdict: one, many.
TOTALS = {
    "holds": ("holds", "hold"),
    "does not hold": ("does not hold", "do not hold"),
    "FAILED": ("failed", "failed"),
    "no answer": ("gave no answer", "gave no answer"),
}
INDENT = " " * 17


def verdict(examples, name, code, word):
    if word == "TRUE":
        return "holds", None
    if word == "UNSET":
        return "no answer", "the ruleset has no expression, so the result was left unchanged"
    if code == "0x00000001":
        return "does not hold", None
    return "FAILED", f"{why_failed(examples / name, code)} ({code})"


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    examples = pathlib.Path(argv[1])
    lines = pathlib.Path(argv[2]).read_text(encoding="utf-8").splitlines()
    results = []
    for line in lines:
        name, code, word = line.split("\t")
        results.append((name, *verdict(examples, name, code, word)))
    results.sort(key=lambda result: (ORDER.index(result[1]), result[0]))
    counts = {}
    print(f"Rule documents in {examples}, evaluated by tarn-eval.exe on Windows (Wine):\n")
    for name, label, reason in results:
        counts[label] = counts.get(label, 0) + 1
        print(f"  {label:<14} {name}")
        about = leading_comment(examples / name)
        if about:
            print(textwrap.fill(about, 96, initial_indent=INDENT, subsequent_indent=INDENT))
        if reason:
            print(textwrap.fill(f"why: {reason}", 96, initial_indent=INDENT,
                                subsequent_indent=INDENT + "     "))
    summary = ", ".join(f"{counts[label]} {TOTALS[label][counts[label] != 1]}"
                        for label in ORDER if label in counts)
    print(f"\n{len(lines)} documents: {summary}.")


if __name__ == "__main__":
    main(sys.argv)
