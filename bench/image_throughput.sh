#!/usr/bin/env bash
# One tarn-eval --image process over 10,000 documents (the examples, repeated): documents per
# second and peak memory.
#
#   image_throughput.sh TARN_EVAL IMAGE [COUNT]
set -euo pipefail

(($# >= 2)) || {
    echo "usage: image_throughput.sh TARN_EVAL IMAGE [COUNT]" >&2
    exit 2
}
readonly TOOL=$(realpath "$1") IMAGE=$(realpath "$2") COUNT=${3:-10000}
readonly EXAMPLES=$(cd "$(dirname "${BASH_SOURCE[0]}")/../examples/rules" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

examples=("$EXAMPLES"/*.xml)
for ((i = 0; i < COUNT; i++)); do
    cp "${examples[i % ${#examples[@]}]}" "$work/$i.xml"
done
cd "$work"
status=0
/usr/bin/time -f '%e %M' -o "$work/time" "$TOOL" --image "$IMAGE" $(seq -f '%g.xml' 0 $((COUNT - 1))) \
    >"$work/lines" || status=$?
((status <= 1)) || exit "$status"
read -r seconds kilobytes < <(tail -n 1 "$work/time")
echo "$(wc -l <"$work/lines") documents in $seconds s" \
    "($(awk -v n="$COUNT" -v s="$seconds" 'BEGIN { printf "%.0f", n / s }') per second)," \
    "peak memory $((kilobytes / 1024)) MB"
