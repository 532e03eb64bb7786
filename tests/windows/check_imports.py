#!/usr/bin/env python3
"""Checks that a Windows binary imports only what every Windows machine back to XP has.

usage: check_imports.py OBJDUMP BINARY [ALLOWED]

Reads the import table with the mingw objdump ("objdump -p") and fails when a DLL outside the
system's own set is named, such as the GNU runtime (libstdc++, libgcc, libwinpthread). With
ALLOWED (windows-xp-imports.txt), it also fails when any imported function is not listed
there for the binary's architecture: a function that Windows XP lacks keeps the binary from
loading there at all.
"""

import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll", "user32.dll",
    "shell32.dll", "shlwapi.dll", "version.dll", "userenv.dll", "psapi.dll", "ntdll.dll",
    "rpcrt4.dll", "msi.dll", "crypt32.dll", "ws2_32.dll", "secur32.dll", "bcrypt.dll",
}
ARCHITECTURES = {"pei-i386": "i686", "pei-x86-64": "x86_64"}


def read_imports(objdump, binary):
    """The architecture and {dll: [function, ...]}; an entry of another form is kept as
    "?<text>", which no list names. A blank line ends a DLL's entries."""
    listing = subprocess.run([objdump, "-p", binary], capture_output=True, text=True,
                             check=True).stdout
    found = re.search(r"file format (\S+)", listing)
    imports, functions = {}, None
    for line in listing.splitlines():
        if dll := re.match(r"^\s*DLL Name:\s*(\S+)", line):
            functions = imports.setdefault(dll.group(1).lower(), [])
        elif functions is not None and not line.strip():
            functions = None
        elif functions is not None and not line.strip().startswith("vma:"):
            entry = re.fullmatch(r"\s+[0-9a-f]+\s+\d+\s+(\S+)", line)
            functions.append(entry.group(1) if entry else f"?{line.strip()}")
    return ARCHITECTURES.get(found.group(1)) if found else None, imports


def read_allowed(path, architecture):
    """{dll: {function, ...}} of the list's sections, for the architecture."""
    allowed, section = {}, None
    with open(path, encoding="utf-8") as listing:
        for number, raw in enumerate(listing, 1):
            fields = raw.split()
            if not fields or fields[0].startswith("#"):
                continue
            if header := re.fullmatch(r"\[(\S+)\]", raw.strip()):
                section = allowed.setdefault(header.group(1).lower(), set())
            elif section is None or fields[1:] not in ([], ["i686"], ["x86_64"]):
                sys.exit(f"{path}:{number}: malformed line {raw.rstrip()!r}")
            elif fields[1:] in ([], [architecture]):
                section.add(fields[0])
    return allowed


def main(argv):
    if len(argv) not in (3, 4):
        sys.exit(__doc__)
    binary = argv[2]
    architecture, imports = read_imports(argv[1], binary)
    if not imports:
        sys.exit(f"{binary}: no import table found")
    print(f"{binary} imports: {', '.join(imports)}")
    if foreign := [name for name in imports if name not in SYSTEM_DLLS]:
        sys.exit(f"{binary}: imports DLLs a Windows machine does not have: {', '.join(foreign)}")
    if len(argv) == 4:
        if architecture is None:
            sys.exit(f"{binary}: not an i686 or x86_64 image")
        allowed = read_allowed(argv[3], architecture)
        problems = [f"{dll} {function}" for dll, functions in imports.items()
                    for function in functions if function not in allowed.get(dll, ())]
        count = sum(len(functions) for functions in imports.values())
        print(f"{count} imported functions checked against {argv[3]} for {architecture}")
        if problems:
            sys.exit(f"{binary} imports functions not listed as present in Windows XP "
                     f"(bind them late, or list them once their documented minimum is XP):\n  "
                     + "\n  ".join(problems))


if __name__ == "__main__":
    main(sys.argv)
