#!/usr/bin/env bash
# `wine` inside the WOW64 root (scripts/wow64-root.sh): the emulator of the i686 build, one
# program so that callers which take a single WINE command can use it.
set -euo pipefail
exec bash "$(dirname "${BASH_SOURCE[0]}")/wow64-root.sh" run wine "$@"
