#!/usr/bin/env bash
# Private Wine prefixes for the tests and the demo; ~/.wine is never touched.
#
#   wine-prefix.sh [--wow64] template TEMPLATE       make the pristine template once (wineboot -i)
#   wine-prefix.sh [--wow64] create TEMPLATE PREFIX  fresh PREFIX copied from TEMPLATE, persistent
#                                                    wineserver started in it
#   wine-prefix.sh [--wow64] stop PREFIX             stop PREFIX's wineserver (no-op when none runs)
#
# --wow64: Wine runs inside the WOW64 root (scripts/wow64-root.sh, made when missing), so the
# prefix has a 32-bit side (syswow64) and its wineserver lives in the root. A template made one
# way is refused the other way.
#
# The server and the processes Wine starts with it get /dev/null as their standard streams:
# a daemon that kept the caller's pipes open would keep ctest waiting for it.
set -euo pipefail

export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

die() {
    echo "wine-prefix: $*" >&2
    exit 1
}

quietly() { "$@" </dev/null >/dev/null 2>&1; }

# Prepended to every Wine command: empty for the host's Wine.
IN_WINE_ROOT=()

# A WOW64 prefix has 32-bit system libraries; the host's 64-bit-only Wine leaves syswow64 empty.
check_template_kind() {
    local has_32bit_side=no wanted=no
    [[ -f $1/drive_c/windows/syswow64/kernel32.dll ]] && has_32bit_side=yes
    ((${#IN_WINE_ROOT[@]} == 0)) || wanted=yes
    [[ $has_32bit_side == "$wanted" ]] ||
        die "$1 was made for the other Wine (WOW64: $has_32bit_side); remove it or name another"
}

make_template() {
    local template
    template=$(realpath -m "$1")
    [[ -f $template/system.reg ]] && return 0
    mkdir -p "$(dirname "$template")"
    exec 9>"$template.lock"
    flock 9
    [[ -f $template/system.reg ]] && return 0
    local staging="$template.staging.$$"
    rm -rf "$template".staging.*
    mkdir -p "$staging"
    if ! WINEPREFIX=$staging quietly "${IN_WINE_ROOT[@]}" wineboot -i; then
        rm -rf "$staging"
        die "wineboot -i failed in $staging"
    fi
    # Let the server flush the registry before the prefix is used as a template.
    WINEPREFIX=$staging quietly "${IN_WINE_ROOT[@]}" wineserver -w || true
    mv "$staging" "$template"
}

stop_server() {
    local prefix
    prefix=$(realpath -m "$1")
    [[ -d $prefix ]] || return 0
    WINEPREFIX=$prefix quietly "${IN_WINE_ROOT[@]}" wineserver -k || true
    WINEPREFIX=$prefix quietly "${IN_WINE_ROOT[@]}" wineserver -w || true
}

create_prefix() {
    local template prefix
    template=$(realpath -m "$1")
    prefix=$(realpath -m "$2")
    make_template "$template"
    check_template_kind "$template"
    stop_server "$prefix"
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    cp -a --reflink=auto "$template" "$prefix"
    WINEPREFIX=$prefix quietly "${IN_WINE_ROOT[@]}" wineserver -p
    # The first program starts Wine's own services; let that happen here, detached.
    WINEPREFIX=$prefix quietly "${IN_WINE_ROOT[@]}" wine cmd /c exit ||
        die "wine cannot run programs in $prefix"
}

need_args() {
    local wanted=$1 usage=$2
    shift 2
    (($# == wanted)) || die "usage: wine-prefix.sh [--wow64] $usage"
}

main() {
    if [[ ${1:-} == --wow64 ]]; then
        shift
        local root_script
        root_script="$(dirname "${BASH_SOURCE[0]}")/wow64-root.sh"
        IN_WINE_ROOT=(bash "$root_script" run)
        [[ ${1:-} == stop ]] || bash "$root_script" make
    fi
    local command=${1:-}
    shift || true
    case $command in
    template)
        need_args 1 "template TEMPLATE" "$@"
        make_template "$1"
        ;;
    create)
        need_args 2 "create TEMPLATE PREFIX" "$@"
        create_prefix "$1" "$2"
        ;;
    stop)
        need_args 1 "stop PREFIX" "$@"
        stop_server "$1"
        ;;
    *) die "usage: wine-prefix.sh [--wow64] template|create|stop ..." ;;
    esac
}

main "$@"
