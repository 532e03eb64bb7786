#!/usr/bin/env python3
"""Checks that a Windows binary imports only DLLs that every Windows machine has.

usage: check_imports.py OBJDUMP BINARY

Reads the import table with the mingw objdump ("objdump -p") and fails when a DLL outside the
system's own set is named, such as the GNU runtime (libstdc++, libgcc, libwinpthread).
"""

import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll", "user32.dll",
    "shell32.dll", "shlwapi.dll", "version.dll", "userenv.dll", "psapi.dll", "ntdll.dll",
    "rpcrt4.dll", "msi.dll", "crypt32.dll", "ws2_32.dll", "secur32.dll", "bcrypt.dll",
}


def imported_dlls(objdump, binary):
    listing = subprocess.run([objdump, "-p", binary], capture_output=True, text=True, check=True)
    return [name.lower() for name in re.findall(r"^\s*DLL Name:\s*(\S+)", listing.stdout, re.M)]


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    names = imported_dlls(argv[1], argv[2])
    if not names:
        sys.exit(f"{argv[2]}: no import table found")
    foreign = [name for name in names if name not in SYSTEM_DLLS]
    print(f"{argv[2]} imports: {', '.join(names)}")
    if foreign:
        sys.exit(f"{argv[2]}: imports DLLs a Windows machine does not have: {', '.join(foreign)}")


if __name__ == "__main__":
    main(sys.argv)
