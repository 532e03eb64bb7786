#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and the demo need,
# and unpacks the pugixml sources that the Windows test tree builds.
# Idempotent: when everything is installed already it only asks dpkg and returns. Run as root
# on Debian 12; quiet unless something fails.
set -euo pipefail

readonly ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly PUGIXML_SOURCE=$ROOT/build/third-party/pugixml

readonly PACKAGES=(
    # native build and tests
    cmake ninja-build g++ clang clang-format git python3
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libpugixml-dev libhivex-dev
    # the fuzz targets (libFuzzer and the sanitizer runtimes of clang-14)
    clang-14 libclang-rt-14-dev
    # Windows builds (posix thread model compilers, widl/windmc) and IDL imports
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libwine-dev wine64-tools
    # the Windows test machine and the installer packages its tests build
    wine wine64 wixl
    # the Debian root with a WOW64 Wine that runs the i686 build (scripts/wow64-root.sh)
    debootstrap
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

# Source-package lists for the machine's own package sources, deb822 files into folder $1 and
# the one-line list into file $2.
source_lists() {
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        if [[ -f $file ]]; then
            sed 's/^Types:.*$/Types: deb-src/' "$file" >"$1/$(basename "$file")"
        fi
    done
    if [[ -f /etc/apt/sources.list ]]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$2"
    fi
    touch "$2"
}

# The Windows test tree builds the Linux XML backend too, to compare it with the platform DOM
# under Wine: it needs pugixml's sources, those of the Debian package the Linux build links,
# unpacked under build/ once (never committed).
fetch_pugixml_source() (
    [[ -f $PUGIXML_SOURCE/src/pugixml.cpp ]] && return 0
    local version work
    version=$(dpkg-query -W -f='${source:Version}' libpugixml-dev)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/lists/partial" "$work/parts" "$work/get"
    source_lists "$work/parts" "$work/sources.list"
    local apt=(apt-get -q -o "Dir::Etc::SourceList=$work/sources.list"
        -o "Dir::Etc::SourceParts=$work/parts" -o "Dir::State::Lists=$work/lists")
    "${apt[@]}" update >"$work/log" 2>&1 || true
    if ! (cd "$work/get" && "${apt[@]}" source --download-only "pugixml=$version") \
        >>"$work/log" 2>&1 </dev/null; then
        cat "$work/log" >&2
        echo "setup: fetching the sources of pugixml $version failed" >&2
        return 1
    fi
    mkdir -p "$work/unpacked"
    tar -xzf "$work"/get/pugixml_*.orig.tar.gz -C "$work/unpacked" --strip-components=1
    mkdir -p "$(dirname "$PUGIXML_SOURCE")"
    rm -rf "$PUGIXML_SOURCE"
    mv "$work/unpacked" "$PUGIXML_SOURCE"
)

main() {
    install_packages && fetch_pugixml_source
}

install_packages() {
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
