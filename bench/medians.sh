# Sourced by the benchmark scripts: their scratch folder and the medians of whole-process times.

# $work: WORK_DIR when set (the generated files stay there), else a folder removed at the end.
if [ -n "${WORK_DIR:-}" ]; then
    work=$WORK_DIR
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

# The median wall and processor seconds (user + system, GNU time) of $runs runs of a command,
# after one run not counted whose standard output is kept in $work/out for checks.
medians() {
    "$@" >"$work/out"
    i=0
    while [ "$i" -lt "$runs" ]; do
        /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >/dev/null
        cat "$work/time"
        i=$((i + 1))
    done | awk '{ wall[NR] = $1; cpu[NR] = $2 + $3 }
        function median(a, n,   i, j, t) {
            for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
            return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
        }
        END { printf "%.3f %.3f\n", median(wall, NR), median(cpu, NR) }'
}
