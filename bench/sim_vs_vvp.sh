#!/bin/sh
# Rings of three inverters, 10 ms each, run for 10 s of virtual time by Icarus Verilog's vvp and
# by our core, and the ratio of their times.
#
# Verilog: one always block per gate; the non-blocking assignment samples the input when it
# changes, so the three gates of a ring change together every 10 ms without a race, which is what
# our core's rings do: about 10 M changes for the default 3,334 rings. vvp is timed as a whole
# process (its start-up is shown beside it); our side twice: the run only, from bench_sim --file,
# after the network file was loaded as the program loads it, and `ztrtool run` as a whole process
# (reading the file without windows, then the run). Medians of wall and processor time; on a busy
# machine the processor times are the ones to compare.
#
#   bench/sim_vs_vvp.sh [RINGS] [RUNS]      (defaults 3334 and 5; medians are shown)
# Needs iverilog, vvp, GNU time (/usr/bin/time), and a release build of bench_sim and ztrtool.
# WORK_DIR keeps the generated files there.
set -eu

rings=${1:-3334}
runs=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/release}
bench=$build/bench/bench_sim
ztrtool=$build/tools/ztrtool
[ -x "$ztrtool" ] || ztrtool=$root/build/dev/tools/ztrtool
for tool in iverilog vvp /usr/bin/time "$bench" "$ztrtool"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done
. "$root/bench/medians.sh"

# The Verilog: a ring's regs start unknown and go to 0 at time 0, after every block waits.
awk -v rings="$rings" 'BEGIN {
    print "`timescale 1ms/1ms"
    print "module rings;"
    for (r = 0; r < rings; ++r) {
        printf "  reg a%d, b%d, c%d;\n", r, r, r
        printf "  always @(c%d) a%d <= #10 ~c%d;\n", r, r, r
        printf "  always @(a%d) b%d <= #10 ~a%d;\n", r, r, r
        printf "  always @(b%d) c%d <= #10 ~b%d;\n", r, r, r
        printf "  initial #0 begin a%d = 0; b%d = 0; c%d = 0; end\n", r, r, r
    }
    print "  initial #(`FINISH) $finish;"
    print "endmodule"
}' >"$work/rings.v"
iverilog -DFINISH=10000 -o "$work/rings.vvp" "$work/rings.v"
iverilog -DFINISH=0 -o "$work/start.vvp" "$work/rings.v"

# The network file: a saved ring's window with its three gates replaced by all the rings.
"$ztrtool" dump "$root/tests/data/good/not_ring.ZTR" >"$work/template.txt"
awk -v rings="$rings" '
function port(k, from) {
    printf "    object LogPort%d: TLogicalPort\n", k
    printf "      Left = %d\n      Top = %d\n", (k - 1) % 36 * 55, int((k - 1) / 36) % 45 * 44
    print "      Width = 50\n      Height = 40\n      PortType = logNOT\n      ShowType = True"
    print "      ShowPortState = True\n      Active = False\n      InAPort = False\n      InBPort = False"
    printf "      InAComp = LogPort%d\n", from
    print "      UpdateDelay = 10\n      Border = True\n      Color = clBlack\n      Font.Charset = DEFAULT_CHARSET"
    print "      Font.Color = clWhite\n      Font.Height = -11\n      Font.Name = '\''MS Sans Serif'\''"
    print "      Font.Style = []\n      PopupMenu = PopupMenuPort\n      OnDragOver = LogicalPortDragOver"
    print "      OnDragDrop = LogicalPortDragDrop\n    end"
}
state == 0 && /^    object LogPort1: / {
    for (r = 0; r < rings; ++r) {
        port(3 * r + 1, 3 * r + 3); port(3 * r + 2, 3 * r + 1); port(3 * r + 3, 3 * r + 2)
    }
    state = 1
    next
}
state == 1 { if ($0 == "  end") { state = 2 } else next }
{ print }' "$work/template.txt" >"$work/rings.txt"
"$ztrtool" pack "$work/rings.txt" "$work/rings.ZTR"

medians vvp -n "$work/rings.vvp" >"$work/medians"
read -r vvp_wall vvp_cpu <"$work/medians"
medians vvp -n "$work/start.vvp" >"$work/medians"
read -r start_wall start_cpu <"$work/medians"
medians "$ztrtool" run "$work/rings.ZTR" --for 10000 >"$work/medians"
read -r tool_wall tool_cpu <"$work/medians"
ours=$("$bench" --file "$work/rings.ZTR" --until 10000 --repeat "$runs" 2>"$work/bench.err") || {
    cat "$work/bench.err" >&2
    exit 1
}
ours_wall=$(echo "$ours" | awk '$1 == "run_seconds" { print $2 }')
ours_cpu=$(echo "$ours" | awk '$1 == "cpu_seconds" { print $2 }')
echo "$ours" | head -n 1
echo "                      wall s   cpu s"
printf 'vvp, whole process:   %6.3f  %6.3f   (start-up alone %.3f, %.3f)\n' "$vvp_wall" "$vvp_cpu" "$start_wall" "$start_cpu"
printf 'bench_sim, run only:  %6.3f  %6.3f\n' "$ours_wall" "$ours_cpu"
printf 'ztrtool run, whole:   %6.3f  %6.3f\n' "$tool_wall" "$tool_cpu"
awk -v a="$ours_wall" -v b="$vvp_wall" -v c="$ours_cpu" -v d="$vvp_cpu" \
    'BEGIN { printf "run only / vvp:       %6.3f  %6.3f   (goal <= 0.5)\n", a / b, c / d }'
awk -v a="$tool_wall" -v b="$vvp_wall" -v c="$tool_cpu" -v d="$vvp_cpu" \
    'BEGIN { printf "ztrtool run / vvp:    %6.3f  %6.3f   (goal <= 0.1, whole processes)\n", a / b, c / d }'
