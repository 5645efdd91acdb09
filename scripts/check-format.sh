#!/usr/bin/env bash
# Fails when a C++ file differs from what the checked-in .clang-format makes of it; prints the
# files and the first lines of the difference. Run `git ls-files '*.cpp' '*.h' | xargs
# clang-format -i` to apply it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
zentaro_install_missing clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
report=$(mktemp)
if ! clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
    grep -o '^[^:]*:[0-9]*:[0-9]*' "$report" | cut -d: -f1 | sort -u | sed 's/^/not formatted: /'
    head -20 "$report"
    rm -f "$report"
    exit 1
fi
rm -f "$report"
