#!/usr/bin/env bash
# Both widths of the component in one WOW64 prefix: each DLL registers in the registry view of
# its width, and each width's tarn-eval.exe creates the class from its own view only.
#
#   registration_views.sh WINE I686_TREE X86_64_TREE
#
# Runs with the i686 DLL registered and leaves it so. Exit status 77 (skipped) when the x86_64
# tree has not been built.
set -euo pipefail

(($# == 3)) || { echo "usage: registration_views.sh WINE I686_TREE X86_64_TREE" >&2 && exit 2; }
readonly WINE=$1 I686=$2 X86_64=$3
readonly SERVER_KEY='HKLM\Software\Classes\CLSID\{DF407668-EC52-4582-8C1D-0C4D73E9530E}\InprocServer32'
tool() { echo "$1/tools/tarn-eval/tarn-eval.exe"; }
# The DLL of a tree, as Wine's drive Z: shows it.
dll() {
    local path
    path=$(realpath -m "$1/src/provider/KpxTarnRuleProvider.dll")
    echo "Z:${path//\//\\}"
}

if [[ ! -f $X86_64/src/provider/KpxTarnRuleProvider.dll || ! -f $(tool "$X86_64") ]]; then
    echo "no x86_64 build in $X86_64: skipped"
    exit 77
fi
I686_DLL=$(dll "$I686") X86_64_DLL=$(dll "$X86_64")
readonly I686_DLL X86_64_DLL

# The in-process server that the view of one width (32 or 64) names, or "none".
server_in_view() {
    local output
    output=$("$WINE" reg query "$SERVER_KEY" /ve "/reg:$1" 2>/dev/null) || { echo none && return; }
    sed -n 's/^.*REG_SZ[[:space:]]*//p' <<<"$output" | tr -d '\r'
}

# tarn-eval's exit status for a rule that holds: 0 when it created the provider, 2 when not.
evaluation_status() {
    local status=0
    echo '<ruleset><and/></ruleset>' | "$WINE" "$(tool "$1")" - >/dev/null 2>&1 || status=$?
    echo "$status"
}

failures=0
# expect STATE 32-BIT-VIEW 64-BIT-VIEW I686-STATUS X86_64-STATUS
expect() {
    local state=$1 actual
    actual="$(server_in_view 32) $(server_in_view 64) $(evaluation_status "$I686")"
    actual+=" $(evaluation_status "$X86_64")"
    shift
    if [[ $actual != "$*" ]]; then
        echo "$state: expected (32-bit view, 64-bit view, i686 and x86_64 tarn-eval) '$*'"
        echo "${state//?/ }  but got '$actual'"
        failures=$((failures + 1))
    fi
}

regsvr32() { "$WINE" regsvr32 /s "$@" || { echo "regsvr32 $* ended with status $?" && exit 1; }; }
restore() {
    "$WINE" regsvr32 /s /u "$X86_64_DLL" || true
    regsvr32 "$I686_DLL"
}
trap restore EXIT

# Removing the width that is not registered removes nothing, also of the shared entries.
regsvr32 /u "$X86_64_DLL"
expect "i686 registered" "$I686_DLL" none 0 2
regsvr32 "$X86_64_DLL"
expect "both registered" "$I686_DLL" "$X86_64_DLL" 0 0
regsvr32 /u "$I686_DLL"
expect "x86_64 registered" none "$X86_64_DLL" 2 0
echo "registration views: $failures failures"
((failures == 0))
