#!/usr/bin/env bash
# Builds every package source (*.wxs) of this folder with wixl and installs it quietly into
# the Wine prefix named by WINEPREFIX, so that the example rules find real installed products.
# WINE names the wine program to use (default: wine).
#
#   WINEPREFIX=... [WINE=...] install.sh OUTPUT_DIR
set -euo pipefail

readonly SOURCES=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly WINE=${WINE:-wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

die() {
    echo "install-packages: $*" >&2
    exit 1
}

(($# == 1)) || die "usage: WINEPREFIX=... install.sh OUTPUT_DIR"
[[ -n ${WINEPREFIX:-} ]] || die "WINEPREFIX is not set"
readonly OUTPUT=$1
mkdir -p "$OUTPUT"

for source in "$SOURCES"/*.wxs; do
    package=$OUTPUT/$(basename "${source%.wxs}").msi
    wixl -a x64 -o "$package" "$source" || die "wixl could not build $source"
    # msiexec reads an absolute Unix path as switches; hand it the Windows form.
    "$WINE" msiexec /i "$("$WINE" winepath -w "$package")" /qn </dev/null ||
        die "msiexec /i $package failed with status $?"
    echo "    installed $(basename "$package")"
done
