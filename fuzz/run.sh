#!/usr/bin/env bash
# Runs every fuzz target of the `fuzz` preset for a bounded time, starting
# from its seed corpus in fuzz/corpus/<name>/ (the seeds are not changed).
# Any finding fails the run; the input that caused it is printed in hex.
#
# Usage: fuzz/run.sh [seconds per target, default 60] [target ...]
# Without targets it runs every one the build made (listed in bin/fuzz_targets).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$here/../build/fuzz/bin
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    if [ ! -f "$bin/fuzz_targets" ]; then
        echo "fuzz/run.sh: no $bin/fuzz_targets: build the fuzz preset first" >&2
        exit 1
    fi
    mapfile -t targets < "$bin/fuzz_targets"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for t in "${targets[@]}"; do
    mkdir -p "$work/$t/corpus" "$work/$t/findings"
    cp "$here/corpus/$t/"* "$work/$t/corpus/"
    echo "== fuzz_$t for ${seconds}s =="
    if ! (cd "$work/$t" && "$bin/fuzz_$t" corpus -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -close_fd_mask=3 -print_final_stats=1 \
            -artifact_prefix="$work/$t/findings/" > log 2>&1); then
        failed=1
        tail -n 60 "$work/$t/log"
        for f in "$work/$t/findings/"*; do
            [ -e "$f" ] || continue
            echo "-- input that caused the finding: $(basename "$f") --"
            od -A x -t x1z -v "$f" | head -n 64
        done
    else
        grep -E '^(Done|stat::number_of_executed_units)' "$work/$t/log" | head -n 2
    fi
done
exit $failed
