#!/usr/bin/env bash
# The main job: builds tarn-eval.exe and KpxTarnRuleProvider.dll, prepares a Wine prefix of
# its own (build/demo-prefix), registers the component there with regsvr32, evaluates the
# example rule documents of examples/rules through COM on that Windows machine, tells in plain
# words which rules hold, which do not and which failed, and unregisters the component again.
# Then it evaluates the same documents offline, with the Linux tarn-eval reading the prefix's
# files and registry (--image), and shows that the answers are the same.
#
#   demo.sh           the x86_64 build, under the host's Wine
#   demo.sh --i686    the i686 build (the agent's 32-bit process), under the WOW64 Wine of
#                     scripts/wow64-root.sh, in build/demo-prefix-wow64
set -euo pipefail

readonly ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly BUILD=$ROOT/build
readonly EXAMPLES=$ROOT/examples/rules
if [[ ${1:-} == --i686 ]]; then
    readonly PRESET=win32 WIDTH=i686 BITS=32 PREFIX=$BUILD/demo-prefix-wow64
    readonly TEMPLATE=$BUILD/wine-template-wow64 PREFIX_OPTIONS=(--wow64)
    readonly WINE=$ROOT/scripts/wow64-wine.sh
elif (($# == 0)); then
    readonly PRESET=win64 WIDTH=x86_64 BITS=64 PREFIX=$BUILD/demo-prefix
    readonly TEMPLATE=$BUILD/wine-template PREFIX_OPTIONS=()
    readonly WINE=wine
else
    echo "usage: demo.sh [--i686]" >&2
    exit 2
fi
readonly TOOL=$BUILD/$PRESET/tools/tarn-eval/tarn-eval.exe
readonly PROVIDER_DIR=$BUILD/$PRESET/src/provider

build_tool() {
    local log=$BUILD/logs/demo-build.log
    mkdir -p "$BUILD/logs"
    echo "==> building tarn-eval.exe and KpxTarnRuleProvider.dll (Windows $WIDTH)"
    if ! { cmake --preset "$PRESET" &&
        cmake --build "$BUILD/$PRESET" --target tarn-eval KpxTarnRuleProvider tarn-regtlib -j 2; } \
        >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "demo: the build failed (whole log: $log)" >&2
        exit 1
    fi
}

in_prefix() {
    WINEPREFIX=$PREFIX WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" \
        "$@"
}

# A path of this machine as Wine's drive Z: shows it to Windows programs.
windows_path() {
    local path=${1//\//\\}
    echo "Z:$path"
}

# On an agent machine the agent has registered its type library; here our stand-in for it is
# registered first, then the component itself, the way an administrator does it.
register_provider() {
    echo "==> registering the agent's type library (our stand-in) and KpxTarnRuleProvider.dll"
    in_prefix "$WINE" "$PROVIDER_DIR/tarn-regtlib.exe" \
        "$(windows_path "$PROVIDER_DIR/InventoryRuleAgent.tlb")"
    if ! in_prefix "$WINE" regsvr32 /s "$(windows_path "$PROVIDER_DIR/KpxTarnRuleProvider.dll")"; then
        echo "demo: regsvr32 could not register KpxTarnRuleProvider.dll" >&2
        exit 1
    fi
}

unregister_provider() {
    echo "==> unregistering KpxTarnRuleProvider.dll (regsvr32 /u) and the type library"
    in_prefix "$WINE" regsvr32 /s /u "$(windows_path "$PROVIDER_DIR/KpxTarnRuleProvider.dll")"
    in_prefix "$WINE" "$PROVIDER_DIR/tarn-regtlib.exe" /u \
        "$(windows_path "$PROVIDER_DIR/InventoryRuleAgent.tlb")"
}

# One tarn-eval.exe run per document, with --trace, so that the records each evaluation wrote
# into the agent log are kept beside its line.
evaluate_examples() {
    local output=$1 traces=$2
    local documents=() document status
    mapfile -t documents < <(cd "$EXAMPLES" && ls -- *.xml)
    rm -rf "$traces" && mkdir -p "$traces"
    : >"$output"
    for document in "${documents[@]}"; do
        status=0
        # tarn-eval.exe creates the registered class through COM, as the agent does.
        (cd "$EXAMPLES" && in_prefix "$WINE" "$TOOL" --trace "$document") >>"$output" \
            2>"$traces/$document.log" || status=$?
        # 0: the rule holds, 1: it does not; anything else means the tool could not do its job.
        if ((status > 1)); then
            cat "$traces/$document.log" >&2
            echo "demo: tarn-eval.exe ended with exit status $status for $document" >&2
            exit 1
        fi
    done
}

# The Linux tarn-eval, optimised, without the test trees.
build_native_tool() {
    local log=$BUILD/logs/demo-native-build.log
    echo "==> building the Linux tarn-eval (offline images)"
    if ! { cmake --preset bench && cmake --build "$BUILD/bench" --target tarn-eval -j 2; } \
        >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "demo: the Linux build failed (whole log: $log)" >&2
        exit 1
    fi
}

# The examples once more, offline against the stopped prefix, compared line by line with the
# answers given through COM.
evaluate_offline() {
    local online=$1 offline=$2 bits=$3
    local documents=()
    mapfile -t documents < <(cd "$EXAMPLES" && ls -- *.xml)
    (cd "$EXAMPLES" && "$BUILD/bench/tools/tarn-eval/tarn-eval" --image "$PREFIX" --bits "$bits" \
        "${documents[@]}") >"$offline" || (($? <= 1)) || exit 1
    if diff -u --label "through COM under Wine" --label "offline (tarn-eval --image)" \
        "$online" "$offline"; then
        echo "offline: the same answer for each of the ${#documents[@]} examples"
    else
        echo "demo: offline answers differ from those through COM" >&2
        exit 1
    fi
}

main() {
    cd "$ROOT"
    bash scripts/setup.sh
    build_tool
    echo "==> preparing the Wine prefix ${PREFIX#"$ROOT/"}"
    bash scripts/wine-prefix.sh "${PREFIX_OPTIONS[@]}" create "$TEMPLATE" "$PREFIX"
    trap 'bash "$ROOT/scripts/wine-prefix.sh" "${PREFIX_OPTIONS[@]}" stop "$PREFIX"' EXIT
    echo "==> installing the example packages (examples/packages/*.wxs) into the prefix"
    env WINEPREFIX="$PREFIX" WINE="$WINE" bash examples/packages/install.sh "$BUILD/demo-packages"
    register_provider
    echo "==> evaluating examples/rules/*.xml with tarn-eval.exe through COM"
    local output=$BUILD/demo-results.tsv traces=$BUILD/demo-traces
    evaluate_examples "$output" "$traces"
    echo
    python3 scripts/demo_summary.py examples/rules "$output" "$traces"
    echo
    unregister_provider
    build_native_tool
    echo "==> stopping the prefix, so that its registry is on disk, and evaluating offline"
    bash scripts/wine-prefix.sh "${PREFIX_OPTIONS[@]}" stop "$PREFIX"
    evaluate_offline "$output" "$BUILD/demo-results-offline.tsv" "$BITS"
}

main "$@"
