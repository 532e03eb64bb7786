#!/usr/bin/env bash
# A Debian root with a WOW64 Wine (wine64 and wine32:i386) that runs the i686 build. The
# host's own i386 packages lag its amd64 security updates, so wine32 cannot be installed beside
# the host's Wine; a root made from the same mirror has no such skew.
#
#   wow64-root.sh make         make the root (build/wow64-root) once; a half-made one is redone
#   wow64-root.sh run CMD...   run CMD inside the root, in the current folder
#
# `run` gives CMD a mount namespace of its own, with /proc, /dev and the project tree mounted
# in the root (the tree at its own absolute path, so build paths and Wine's Z: paths are the
# same inside and out). The kernel drops those mounts when the namespace's last process ends,
# on every path, so overlapping runs need no lock and nothing is left mounted on the host. A
# persistent wineserver started by one run serves the others through the root's own /tmp.
# WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES and the rest of the environment pass through.
set -euo pipefail

PROJECT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
readonly PROJECT
readonly ROOTFS=$PROJECT/build/wow64-root
readonly SUITE=bookworm
readonly PACKAGES=(wine wine64 wine32:i386)
# What the root is made of; a root whose stamp says otherwise is made again.
readonly RECIPE="debootstrap minbase $SUITE main; ${PACKAGES[*]}"
readonly STAMP_NAME=.tarn-wow64-root
readonly LOG=$PROJECT/build/logs/wow64-root.log
readonly ROOT_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

die() {
    echo "wow64-root: $*" >&2
    exit 1
}

is_made() { [[ -f $ROOTFS/$STAMP_NAME && $(<"$ROOTFS/$STAMP_NAME") == "$RECIPE" ]]; }

# The first mirror of the machine's apt sources that serves $SUITE's main component.
debian_mirror() {
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [[ -f $file ]] || continue
        awk -v suite="$SUITE" '
            function flush() {
                if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") &&
                    (" " components " ") ~ / main / && uris != "") {
                    split(uris, first, " "); print first[1]; found = 1; exit
                }
                types = suites = components = uris = ""
            }
            /^[ \t]*$/ { flush(); next }
            /^#/ { next }
            /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
            /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
            /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
            /^Components:/ { sub(/^Components:[ \t]*/, ""); components = $0 }
            END { if (!found) flush() }
        ' "$file"
    done
    if [[ -f /etc/apt/sources.list ]]; then
        # deb [options] URI SUITE COMPONENT...
        sed -E 's/\[[^]]*\]//' /etc/apt/sources.list |
            awk -v suite="$SUITE" '$1 == "deb" && $3 == suite {
                for (i = 4; i <= NF; i++) if ($i == "main") { print $2; exit } }'
    fi
}

# Refuses to delete a folder that has anything mounted in it: the project tree may be.
remove_tree() {
    local dir=$1
    [[ -e $dir ]] || return 0
    if awk -v dir="$dir" '$5 == dir || index($5, dir "/") == 1 { found = 1 }
            END { exit !found }' /proc/self/mountinfo; then
        die "something is mounted in $dir; not removing it"
    fi
    rm -rf "$dir"
}

make_root() {
    is_made && return 0
    ((EUID == 0)) || die "making the root needs root"
    command -v debootstrap >/dev/null || die "debootstrap is missing (scripts/setup.sh installs it)"
    mkdir -p "$(dirname "$ROOTFS")" "$(dirname "$LOG")"
    exec 8>"$ROOTFS.lock"
    flock 8
    is_made && return 0
    local mirror staging=$ROOTFS.staging
    mirror=$(debian_mirror | head -n 1)
    [[ -n $mirror ]] || die "no apt source of this machine serves $SUITE main"
    remove_tree "$staging"
    remove_tree "$ROOTFS"
    : >"$LOG"
    if ! debootstrap --variant=minbase "$SUITE" "$staging" "$mirror" >>"$LOG" 2>&1; then
        tail -n 40 "$LOG" >&2
        die "debootstrap from $mirror failed (whole log: $LOG)"
    fi
    cp /etc/resolv.conf "$staging/etc/resolv.conf"
    if ! in_root "$staging" / bash -c 'dpkg --add-architecture i386 && apt-get -q update &&
            DEBIAN_FRONTEND=noninteractive apt-get -q install -y --no-install-recommends "$@" &&
            apt-get clean' packages "${PACKAGES[@]}" </dev/null >>"$LOG" 2>&1; then
        tail -n 40 "$LOG" >&2
        die "installing ${PACKAGES[*]} in the root failed (whole log: $LOG)"
    fi
    echo "$RECIPE" >"$staging/$STAMP_NAME"
    mv "$staging" "$ROOTFS"
}

# in_root ROOTFS WORKDIR CMD...: CMD in ROOTFS, in a mount namespace of its own.
in_root() {
    unshare --mount --propagation private -- bash "${BASH_SOURCE[0]}" _inside "$@"
}

# Runs in the new namespace: mounts, then becomes CMD inside the root.
inside() {
    local rootfs=$1 workdir=$2
    shift 2
    mount -t proc proc "$rootfs/proc"
    mount --rbind /dev "$rootfs/dev"
    mkdir -p "$rootfs$PROJECT"
    mount --bind "$PROJECT" "$rootfs$PROJECT"
    exec chroot "$rootfs" /usr/bin/env -C "$workdir" -u LD_PRELOAD -u LD_LIBRARY_PATH \
        PATH="$ROOT_PATH" "$@"
}

run() {
    (($# > 0)) || die "usage: wow64-root.sh run CMD..."
    is_made || die "no root in $ROOTFS: run 'wow64-root.sh make' first"
    # Only the project tree is the same inside: elsewhere a folder of the root would stand in.
    local workdir
    workdir=$(pwd -P)
    [[ $workdir == "$PROJECT" || $workdir == "$PROJECT"/* ]] ||
        die "run from inside $PROJECT, not $workdir"
    in_root "$ROOTFS" "$workdir" "$@"
}

main() {
    local command=${1:-}
    shift || true
    case $command in
    make) make_root ;;
    run) run "$@" ;;
    _inside) inside "$@" ;;
    *) die "usage: wow64-root.sh make | run CMD..." ;;
    esac
}

main "$@"
