#!/bin/sh
# A class's hand-ins checked against one table: FILES network files of about 100 gates each
# (three switches, a chain of 97 inverters from A to S, an AND of B and C to T) and an 8-row table,
# checked by one `ztrtool test TABLE FOLDER` and by FILES separate `ztrtool test FILE TABLE`
# runs, one process each, as a script would do it without the batch form. Both are timed as
# whole processes (start-up included) with GNU time; medians of wall and processor time.
#
#   bench/batch_vs_single.sh [FILES] [RUNS]      (defaults 200 and 5; medians are shown)
# Needs GNU time (/usr/bin/time) and a release build of ztrtool (BUILD_DIR to pick another).
# WORK_DIR keeps the generated files there.
set -eu

files=${1:-200}
runs=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/release}
ztrtool=$build/tools/ztrtool
for tool in /usr/bin/time "$ztrtool"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done
. "$root/bench/medians.sh"
# Qt asks for one; without it every run would print a warning.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

# The network: the synthesised one, its inverter from A stretched into a chain of 97.
"$ztrtool" synth "$work/small.ZTR" --expr 'S = !A; T = B & C' >/dev/null
"$ztrtool" dump "$work/small.ZTR" >"$work/small.txt"
awk -v chain=97 '
# The first inverter stays (it reads A); the others follow it, and S reads the last.
/^    object LogPort1: / { copying = 1 }
copying { gate = gate $0 "\n" }
{ print }
copying && $0 == "    end" {
    copying = 0
    for (k = 2; k <= chain; ++k) {
        next_gate = gate
        sub(/object LogPort1:/, "object Chain" k ":", next_gate)
        sub(/InAComp = A\n/, "InAComp = " (k == 2 ? "LogPort1" : "Chain" (k - 1)) "\n", next_gate)
        sub(/Left = [0-9]+/, "Left = " (k % 20) * 60, next_gate)
        sub(/Top = [0-9]+/, "Top = " 200 + int(k / 20) * 50, next_gate)
        printf "%s", next_gate
    }
}' "$work/small.txt" >"$work/chain.txt"
# S is the only gate reading LogPort1 at first; it now reads the chain's end.
awk -v last="Chain97" '
/^    object S: / { in_s = 1 }
in_s && /InAComp = LogPort1$/ { sub(/LogPort1$/, last) }
$0 == "    end" { in_s = 0 }
{ print }' "$work/chain.txt" >"$work/network.txt"
mkdir -p "$work/class"
"$ztrtool" pack "$work/network.txt" "$work/class/student000.ZTR"
i=1
while [ "$i" -lt "$files" ]; do
    cp "$work/class/student000.ZTR" "$work/class/student$(printf %03d "$i").ZTR"
    i=$((i + 1))
done
printf 'A B C | S T\n0 0 0 | 1 0\n0 0 1 | 1 0\n0 1 0 | 1 0\n0 1 1 | 1 1\n1 0 0 | 0 0\n1 0 1 | 0 0\n1 1 0 | 0 0\n1 1 1 | 0 1\n' >"$work/class.table"
gates=$("$ztrtool" dump "$work/class/student000.ZTR" | grep -c ': TLogicalPort$')
# Both must pass every row, or the times compare different work.
"$ztrtool" test "$work/class/student000.ZTR" "$work/class.table" >/dev/null
"$ztrtool" test "$work/class.table" "$work/class" >/dev/null

cat >"$work/single.sh" <<EOF
for file in "$work"/class/*.ZTR; do "$ztrtool" test "\$file" "$work/class.table" || exit 1; done
EOF

medians "$ztrtool" test "$work/class.table" "$work/class" >"$work/medians"
read -r batch_wall batch_cpu <"$work/medians"
medians sh "$work/single.sh" >"$work/medians"
read -r single_wall single_cpu <"$work/medians"
echo "$files files of $gates gates, an 8-row table, $(getconf _NPROCESSORS_ONLN) processors"
echo "                           wall s   cpu s"
printf 'one batch run:            %7.3f %7.3f\n' "$batch_wall" "$batch_cpu"
printf '%4d single-file runs:     %7.3f %7.3f\n' "$files" "$single_wall" "$single_cpu"
awk -v a="$batch_wall" -v b="$single_wall" -v c="$batch_cpu" -v d="$single_cpu" \
    'BEGIN { printf "batch / single:           %7.3f %7.3f   (goal <= 0.05)\n", a / b, c / d }'
