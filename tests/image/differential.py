#!/usr/bin/env python3
"""The offline image against the live machine, line by line.

usage: differential.py --corpus DIR --prefix PREFIX --wine WINE --live TARN-EVAL.EXE
                       --native TARN-EVAL [--wow64] [--bits 32] [--replace FILE]
                       [--reg2hive TOOL]

Every document of DIR/image, DIR, DIR/installer and DIR/engines is evaluated by the component
registered in PREFIX (WINE TARN-EVAL.EXE, run in DIR). Its answers to DIR/image must be those of
DIR/image/expected.tsv, where the lines of DIR/image/FILE replace theirs: a prefix that lacks
what its fixture put there fails here instead of agreeing with an image that lacks it too.
Then PREFIX's wineserver is stopped, which writes the registry files, and the native
`TARN-EVAL --image PREFIX` must print the same lines. With --reg2hive, so must `--image` on a
Windows volume made of the prefix: drive_c linked, hive files made by TOOL from the registry
files (less the documents that depend on the process's user), and so must the volume with
`--user` the prefix's user, all of them. --wow64: PREFIX belongs to the WOW64 Wine
(scripts/wow64-root.sh).
"""

import argparse
import pathlib
import shutil
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
PREFIX_SCRIPT = HERE.parent.parent / "scripts" / "wine-prefix.sh"
SUBSETS = ["image", ".", "installer", "engines"]

# Wine's DOM refuses nesting that Windows' and the native parser accept: DIR/expected-wine.tsv
# lists those documents, whose live answers say nothing about the image.
WINE_DOM_ANSWERS = "expected-wine.tsv"

# A volume's process runs as the local system account, not as the prefix's user: these
# answers depend on the user's folders, environment or start menu.
USER_DEPENDENT = {
    "image/csidl-appdata.xml": "folder 26 is the system account's application data",
    "image/env-appdata.xml": "%APPDATA% is the system account's",
    "image/env-user-variable.xml": "the variable is in the prefix user's environment only",
    "image/env-username-after-folder.xml": "%USERNAME% is the system account's name",
    "image/shortcut-user-programs.xml": "folder 2 is the system account's start menu",
}


def read_tsv(path):
    lines = [line.split("\t") for line in path.read_text("utf-8").splitlines() if line]
    return {fields[0]: "\t".join(fields) for fields in lines}


def documents(corpus):
    found = []
    for subset in SUBSETS:
        found += sorted(str(path.relative_to(corpus)) for path in (corpus / subset).glob("*.xml"))
    return found


def run(label, command, corpus, docs):
    """The tool's line for each document; exits when it prints anything else."""
    completed = subprocess.run(command + docs, cwd=corpus, capture_output=True, timeout=300,
                               check=False)
    lines = completed.stdout.decode("utf-8", errors="replace").splitlines()
    answers = {line.split("\t")[0]: line for line in lines}
    if sorted(answers) != sorted(docs):
        sys.exit(f"{label}: {len(lines)} lines for {len(docs)} documents (status "
                 f"{completed.returncode})\n{completed.stderr.decode(errors='replace')}")
    return answers


def compare(label, live, image, docs, excluded):
    problems = []
    for doc in docs:
        if doc not in excluded and live[doc] != image[doc]:
            problems.append(f"{label}: {doc}\n  live:  {live[doc]}\n  image: {image[doc]}")
    skipped = sorted(set(excluded) & set(docs))
    print(f"{label}: {len(docs) - len(skipped)} documents compared, {len(problems)} differ, "
          f"{len(skipped)} left out: " + ", ".join(f"{d} ({excluded[d]})" for d in skipped))
    return problems


def child(directory, name):
    """The entry of `directory` named `name` in any letter case, made when there is none."""
    for entry in directory.iterdir():
        if entry.name.lower() == name.lower():
            return entry
    (directory / name).mkdir()
    return directory / name


def profile_name(prefix):
    names = [p.name for p in (prefix / "drive_c" / "users").iterdir()
             if p.is_dir() and p.name.lower() != "public"]
    if len(names) != 1:
        sys.exit(f"expected one user profile in {prefix}, found {names}")
    return names[0]


def make_volume(prefix, reg2hive):
    """A Windows volume with the prefix's files and its registry as hive files."""
    volume = prefix.with_name(prefix.name + "-volume")
    shutil.rmtree(volume, ignore_errors=True)
    subprocess.run(["cp", "-al", str(prefix / "drive_c"), str(volume)], check=True)
    config = child(child(child(volume, "Windows"), "System32"), "config")
    # tarn_reg2hive IN.reg OUT [KEY]: KEY's subtree as the hive (System's CurrentControlSet as
    # the control set that Select names, as a volume has it).
    hives = [("system.reg", config / "SOFTWARE", "Software"),
             ("system.reg", config / "SYSTEM", "System"),
             ("userdef.reg", config / "DEFAULT", None),
             ("user.reg", volume / "users" / profile_name(prefix) / "NTUSER.DAT", None)]
    for source, output, key in hives:
        command = [str(reg2hive), str(prefix / source), str(output)] + ([key] if key else [])
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return volume


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--corpus", "--prefix", "--live", "--native"):
        parser.add_argument(option, type=pathlib.Path, required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--wow64", action="store_true")
    parser.add_argument("--bits", choices=["32", "64"])
    parser.add_argument("--replace")
    parser.add_argument("--reg2hive", type=pathlib.Path)
    args = parser.parse_args()
    corpus, prefix = args.corpus.resolve(), args.prefix.resolve()
    args.live, args.native = args.live.resolve(), args.native.resolve()
    if not args.native.is_file():
        sys.exit(f"no native tarn-eval at {args.native}: build the native tree first "
                 f"(cmake --preset native && cmake --build build/native --target tarn-eval), "
                 f"or point TARN_NATIVE_TARN_EVAL at one")
    docs = documents(corpus)
    excluded = {doc: "Wine's DOM nesting limit" for doc in read_tsv(corpus / WINE_DOM_ANSWERS)}

    live = run("live", [args.wine, str(args.live)], corpus, docs)
    expected = read_tsv(corpus / "image" / "expected.tsv")
    if args.replace:
        expected.update(read_tsv(corpus / "image" / args.replace))
    problems = [f"live: image/{name} has no line in image/expected.tsv"
                for name in sorted({doc[6:] for doc in docs if doc.startswith("image/")} -
                                   set(expected))]
    problems += [f"live: expected {'image/' + line!r}, printed {live.get('image/' + name)!r}"
                 for name, line in expected.items() if live.get("image/" + name) != "image/" + line]

    stop = ["bash", str(PREFIX_SCRIPT)] + (["--wow64"] if args.wow64 else []) + ["stop"]
    subprocess.run(stop + [str(prefix)], check=True, timeout=120)
    for hive, value in (("system.reg", "TARN_IMAGE_HOME"), ("user.reg", "TARN_IMAGE_USER")):
        if value not in (prefix / hive).read_text("utf-8"):
            sys.exit(f"{prefix / hive} lacks {value} after the server stopped: not written")

    native = [str(args.native), "--image"]
    bits = ["--bits", args.bits] if args.bits else []
    image = run("image", native + [str(prefix)] + bits, corpus, docs)
    problems += compare("prefix", live, image, docs, excluded)
    if args.reg2hive and not args.reg2hive.is_file():
        problems.append(f"volume: no hive maker at {args.reg2hive} (or configure with "
                        f"-DTARN_IMAGE_HIVES=OFF)")
    elif args.reg2hive:
        volume = make_volume(prefix, args.reg2hive.resolve())
        image = run("volume", native + [str(volume)] + bits, corpus, docs)
        problems += compare("volume", live, image, docs, excluded | USER_DEPENDENT)
        # Impersonating the prefix's user, the volume answers as the prefix does for all.
        user = ["--user", profile_name(prefix)]
        image = run("volume as user", native + [str(volume)] + bits + user, corpus, docs)
        problems += compare("volume as user", live, image, docs, excluded)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
