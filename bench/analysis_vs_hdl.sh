#!/bin/sh
# The full truth table of random 1,000-gate networks without memory: ztrtool analyze against
# Icarus Verilog's vvp (16 inputs) and a Verilator model (20 inputs) of the same network, and the
# exact minimal sum of products of random 10-input functions against opening the network.
#
# bench_analysis --write makes each network as a network file and as Verilog (one `assign` per
# gate). vvp runs a test bench that drives every row from a counter, #1 apart, and folds each
# row's outputs into a checksum; the Verilator model (built with -O2, its build not timed) loops
# over every row, eval() and the same checksum. The checksums of vvp, Verilator, ztrtool's printed
# table and the in-process analysis must agree, or the script stops.
#
# Primary figures: whole processes, `ztrtool analyze FILE --table >/dev/null` against `vvp` and
# against the Verilator model. Beside them, the in-process figures of bench_analysis --time: the
# network loaded as the program opens it (a window, as ztrtool analyze does), AnalyzeNetwork alone,
# and AnalyzeNetwork with the table's text made. Medians of wall and processor time (user +
# system); on a busy machine the processor times are the ones to compare.
#
#   bench/analysis_vs_hdl.sh [RUNS] [FUNCTIONS] [ONES]      (defaults 5, 51 and 50)
# ONES: the percentage of rows that are ones in the random functions (50: uniformly random).
# Needs iverilog, vvp, verilator (and its C++ compiler), GNU time (/usr/bin/time), and a release
# build of bench_analysis and ztrtool. WORK_DIR keeps the generated files there.
set -eu

runs=${1:-5}
functions=${2:-51}
ones=${3:-50}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/release}
bench=$build/bench/bench_analysis
ztrtool=$build/tools/ztrtool
for tool in iverilog vvp verilator /usr/bin/time "$bench" "$ztrtool"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done
. "$root/bench/medians.sh"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
fi

# The checksum of a table as ztrtool prints it (see bench_analysis.cpp).
table_checksum() {
    awk 'NR > 1 {
        v = 0; outputs = 0
        for (i = 1; i <= NF; ++i) if (outputs) v = v * 2 + $i; else if ($i == "|") outputs = 1
        sum = (sum * 31 + v) % 4294967296
    } END { printf "%d\n", sum }' "$1"
}

agree() { # what, then the checksums, which must all be equal
    what=$1
    shift
    for sum in "$@"; do
        if [ "$sum" != "$1" ]; then
            echo "FAILED: the tables differ for $what: checksums $*" >&2
            exit 1
        fi
    done
    echo "$what: checksums agree ($1)"
}

field() { awk -v name="$1" -v column="$2" '$1 == name { print $column }' "$3"; }

for n in 16 20; do
    mkdir -p "$work/$n"
    "$bench" --write "$work/$n" --inputs "$n" --gates 1000 --lamps 8 --seed 29
    "$ztrtool" analyze "$work/$n/net.ZTR" --table >"$work/$n/table.txt"
done
iverilog -o "$work/16/tb.vvp" "$work/16/tb.v" "$work/16/net.v"
(cd "$work/20" && verilator --cc --exe --build -Wno-fatal --top-module net -O3 -j 2 \
    -MAKEFLAGS "OPT_FAST=-O2 OPT_SLOW=-O2 OPT_GLOBAL=-O2" -CFLAGS -O2 net.v main.cpp \
    >verilator.log 2>&1) || { cat "$work/20/verilator.log" >&2; exit 1; }

echo "Each figure: the median of $runs runs after one not counted; wall s, cpu s."
medians vvp -n "$work/16/tb.vvp" >"$work/vvp"
vvp_sum=$(awk '$1 == "checksum" { print $2 }' "$work/out")
medians "$ztrtool" analyze "$work/16/net.ZTR" --table >"$work/ours16"
"$bench" --time "$work/16/net.ZTR" --repeat "$runs" --functions "$functions" --ones "$ones" \
    >"$work/in16" 2>/dev/null
agree "16 inputs: vvp, ztrtool's table, the in-process analysis" "$vvp_sum" \
    "$(table_checksum "$work/16/table.txt")" "$(field checksum 2 "$work/in16")"

medians "$work/20/obj_dir/Vnet" >"$work/vl"
vl_sum=$(awk '$1 == "checksum" { print $2 }' "$work/out")
medians "$ztrtool" analyze "$work/20/net.ZTR" --table >"$work/ours20"
"$bench" --time "$work/20/net.ZTR" --repeat "$runs" --functions 0 >"$work/in20" 2>/dev/null
agree "20 inputs: Verilator, ztrtool's table, the in-process analysis" "$vl_sum" \
    "$(table_checksum "$work/20/table.txt")" "$(field checksum 2 "$work/in20")"

# A row: label, wall and cpu; a ratio row: label, ours and theirs (wall cpu each), the goal.
row() { printf '%-44s %8.4f %8.4f\n' "$1" "$2" "$3"; }
ratio() {
    awk -v label="$1" -v a="$2" -v b="$3" -v c="$4" -v d="$5" -v goal="$6" 'BEGIN {
        printf "%-44s %8.4f %8.4f   goal <= %s: wall %s, cpu %s\n", label, a / b, c / d, goal,
            a / b <= goal ? "met" : "MISSED", c / d <= goal ? "met" : "MISSED"
    }'
}
read -r vvp_wall vvp_cpu <"$work/vvp"
read -r vl_wall vl_cpu <"$work/vl"
read -r o16_wall o16_cpu <"$work/ours16"
read -r o20_wall o20_cpu <"$work/ours20"
echo
printf '%-44s %8s %8s\n' "" "wall s" "cpu s"
echo "16 inputs, 1,000 gates, 8 lamps (65,536 rows)"
row "  vvp, whole process" "$vvp_wall" "$vvp_cpu"
row "  ztrtool analyze --table, whole process" "$o16_wall" "$o16_cpu"
row "  in process: load as the program opens it" "$(field load 2 "$work/in16")" "$(field load 3 "$work/in16")"
row "  in process: AnalyzeNetwork" "$(field analysis 2 "$work/in16")" "$(field analysis 3 "$work/in16")"
row "  in process: AnalyzeNetwork + table text" "$(field analysis_text 2 "$work/in16")" "$(field analysis_text 3 "$work/in16")"
echo "20 inputs, 1,000 gates, 8 lamps (1,048,576 rows)"
row "  Verilator model, whole process" "$vl_wall" "$vl_cpu"
row "  ztrtool analyze --table, whole process" "$o20_wall" "$o20_cpu"
row "  in process: load as the program opens it" "$(field load 2 "$work/in20")" "$(field load 3 "$work/in20")"
row "  in process: AnalyzeNetwork" "$(field analysis 2 "$work/in20")" "$(field analysis 3 "$work/in20")"
row "  in process: AnalyzeNetwork + table text" "$(field analysis_text 2 "$work/in20")" "$(field analysis_text 3 "$work/in20")"
echo "Minimal sum of products, $functions random 10-input functions, $ones% ones ($(field minimize_inexact 2 "$work/in16") ended inexact)"
row "  median" "$(field minimize 2 "$work/in16")" "$(field minimize 3 "$work/in16")"
row "  slowest" "$(field minimize_max 2 "$work/in16")" "$(field minimize_max 3 "$work/in16")"
echo
printf '%-44s %8s %8s\n' "Ratios" "wall" "cpu"
ratio "ztrtool analyze / vvp, whole processes" "$o16_wall" "$vvp_wall" "$o16_cpu" "$vvp_cpu" 0.01
ratio "AnalyzeNetwork / vvp whole process" "$(field analysis 2 "$work/in16")" "$vvp_wall" \
    "$(field analysis 3 "$work/in16")" "$vvp_cpu" 0.01
ratio "ztrtool analyze / Verilator, whole processes" "$o20_wall" "$vl_wall" "$o20_cpu" "$vl_cpu" 0.2
ratio "AnalyzeNetwork / Verilator whole process" "$(field analysis 2 "$work/in20")" "$vl_wall" \
    "$(field analysis 3 "$work/in20")" "$vl_cpu" 0.2
ratio "minimise median / load (16-input network)" "$(field minimize 2 "$work/in16")" \
    "$(field load 2 "$work/in16")" "$(field minimize 3 "$work/in16")" "$(field load 3 "$work/in16")" 1
