#!/usr/bin/env bash
# Installs Windows Installer packages, quietly and one after another, into the Wine prefix
# named by WINEPREFIX. On a failure the installer's own log is shown.
#
#   install-products.sh WINE PACKAGE.msi...
set -euo pipefail

(($# >= 2)) || {
    echo "usage: install-products.sh WINE PACKAGE.msi..." >&2
    exit 2
}
readonly WINE=$1
shift

for package in "$@"; do
    [[ -f $package ]] || {
        echo "install-products: no package $package" >&2
        exit 1
    }
    log=$package.log
    rm -f "$log"
    status=0
    # msiexec reads an absolute Unix path as switches; hand it the Windows form.
    "$WINE" msiexec /i "$("$WINE" winepath -w "$package")" /qn /l*v "$("$WINE" winepath -w "$log")" \
        </dev/null || status=$?
    if ((status != 0)); then
        # The exit status is the installer's code modulo 256.
        echo "install-products: msiexec /i $package ended with status $status" >&2
        [[ -f $log ]] && iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null | tail -n 40 >&2
        exit 1
    fi
    echo "installed $(basename "$package")"
done
