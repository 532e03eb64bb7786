#!/usr/bin/env bash
# The fuzz tests of one target:
#   run.sh replay CORPUS WORK TARGET OPTION...   every seed once
#   run.sh fuzz CORPUS WORK TARGET OPTION...     fuzzing from a fresh copy of the seeds in WORK
# The seeds in the source tree are never written; new inputs and crashes go to WORK.
set -euo pipefail

readonly mode=$1 corpus=$2 work=$3 target=$4
shift 4

case $mode in
replay)
    mkdir -p "$work"
    exec "$target" "$@" "$corpus"/*
    ;;
fuzz)
    rm -rf "$work"
    mkdir -p "$work/corpus"
    cp "$corpus"/* "$work/corpus/"
    exec "$target" -print_final_stats=1 "$@" "$work/corpus"
    ;;
*)
    echo "usage: run.sh replay|fuzz CORPUS WORK TARGET [OPTION...]" >&2
    exit 2
    ;;
esac
