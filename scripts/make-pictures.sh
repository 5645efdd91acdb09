#!/usr/bin/env bash
# Draws the pictures of the guide (docs/images/) from the networks in examples/ with
# `ztrtool render`, the program's own painting, so that they can be made again whenever the
# painting or an example changes. ZTRTOOL names the tool to use (default: the dev build's,
# built first when it is missing). An example that is missing is named and skipped; the script
# then ends with 1.
set -euo pipefail
cd "$(dirname "$0")/.."

ztrtool=${ZTRTOOL:-build/dev/tools/ztrtool}
if [[ ! -x $ztrtool ]]; then
    source scripts/setup.sh
    zentaro_configure dev
    cmake --build --preset dev --target ztrtool
fi
# Qt asks for a runtime folder even offscreen; a scratch one keeps its warning away.
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

out=docs/images
mkdir -p "$out"
missing=0

# One picture of each gate kind, cropped to its gate.
for gate in And Or Not Xor Nand Nor Nxor Clock Pulse Lamp FlipFlopD FlipFlopJK; do
    "$ztrtool" render examples/gate_kinds.ZTR "$out/gate-${gate,,}.png" --gates "$gate"
done

# Each example as its window shows it while editing, and running: its pulse switches
# double-clicked at the times given (NAME@MS), drawn at 1500 ms of a run in virtual time.
examples=(
    "half_adder A@10"
    "full_adder A@10 CIN@20"
    "ripple_adder4 A0@10 B0@20 A1@30"
    "mux2 D1@10 SEL@20"
    "decoder2to4 A0@10"
    "sr_latch_nor S@10 S@200"
    "d_latch D@10 EN@20 EN@200"
    "jk_toggle T@10 T@200"
    "ripple_counter4 COUNT@100 COUNT@200 COUNT@300 COUNT@400 COUNT@500 COUNT@600"
    "traffic_light RUN@10"
)
for example in "${examples[@]}"; do
    read -r name presses <<<"$example"
    file=examples/$name.ZTR
    if [[ ! -f $file ]]; then
        echo "make-pictures: $file is missing; its pictures are not made" >&2
        missing=1
        continue
    fi
    "$ztrtool" render "$file" "$out/$name.png"
    toggles=()
    for press in $presses; do
        toggles+=(--toggle "$press")
    done
    "$ztrtool" render "$file" "$out/$name-running.png" --for 1500 "${toggles[@]}"
done
exit "$missing"
