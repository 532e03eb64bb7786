#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and the demo need.
# Idempotent: when everything is installed already it only asks dpkg and returns. Run as root
# on Debian 12; quiet unless something fails.
set -euo pipefail

readonly PACKAGES=(
    # native build and tests
    cmake ninja-build g++ clang clang-format git python3
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libpugixml-dev libhivex-dev
    # Windows builds (posix thread model compilers, widl/windmc) and IDL imports
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libwine-dev wine64-tools
    # the Windows test machine and the installer packages its tests build
    wine wine64 wixl
)

missing_packages() {
    local package status
    for package in "${PACKAGES[@]}"; do
        status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null || true)
        if [[ $status != ii* ]]; then
            printf '%s\n' "$package"
        fi
    done
}

main() {
    local missing
    mapfile -t missing < <(missing_packages)
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    if ((EUID != 0)); then
        echo "setup: missing packages (run this script as root): ${missing[*]}" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    local log
    log=$(mktemp)
    trap 'rm -f "$log"' RETURN
    echo "setup: installing ${missing[*]}"
    if ! apt-get update >"$log" 2>&1 ||
        ! apt-get install -y -q "${missing[@]}" >>"$log" 2>&1 </dev/null; then
        cat "$log" >&2
        echo "setup: installing packages failed" >&2
        return 1
    fi
}

main "$@"
