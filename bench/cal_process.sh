#!/usr/bin/env bash
# Whole-process benchmark of the main job: `vextal cal` on the largest valid
# case (1000 measurements, 1000 steps), beside the floor that the operating
# system sets — `cat` reading the same file into /dev/null — measured in the
# same run. Reports median wall time and peak resident memory of both, and
# their ratios.
#
# Usage: bench/cal_process.sh [path/to/vextal] [runs]
# Needs hyperfine and GNU time (Debian packages hyperfine and time).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
vextal=${1:-$here/../build/native/bin/vextal}
runs=${2:-200}
vextal=$(cd "$(dirname "$vextal")" && pwd)/$(basename "$vextal")

for tool in hyperfine /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 1000 points from far to near: the stage position falls while the reading
# rises, so the whole run is monotone and the original table has 1003 points.
awk 'BEGIN {
    printf "<Vextal max_range=\x2780\x27 avg=\x2710\x27 sn=\x2742\x27>\r\n"
    for (i = 1; i <= 1000; i++)
        printf "<measurement no=\x27%d\x27 stage=\x27%.2f\x27 psd=\x27%d\x27/>\r\n", i, 80 - i * 0.079, 10 + int(i * 0.48)
    printf "</Vextal>\r\n"
}' > largest.msm

"$vextal" cal largest.msm -n 1000 -f out > /dev/null
test -s out.cal && test -s out.c

hyperfine -N --style basic --warmup 20 --runs "$runs" --export-csv times.csv \
    -n vextal "$vextal cal largest.msm -n 1000 -f out" \
    -n floor "cat largest.msm" > hyperfine.log

median() {  # median of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
peak_kib() {  # median peak resident set size of 30 runs, in KiB
    for _ in $(seq 30); do /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1; done | median
}

# The CSV export holds command,mean,stddev,median,... in seconds.
t_vextal=$(awk -F, '$1 == "vextal" { print $4 * 1000 }' times.csv)
t_floor=$(awk -F, '$1 == "floor" { print $4 * 1000 }' times.csv)
m_vextal=$(peak_kib "$vextal" cal largest.msm -n 1000 -f out)
m_floor=$(peak_kib cat largest.msm)

awk -v tv="$t_vextal" -v tf="$t_floor" -v mv="$m_vextal" -v mf="$m_floor" 'BEGIN {
    printf "                 median wall    peak RSS\n"
    printf "vextal cal       %8.3f ms   %6d KiB\n", tv, mv
    printf "cat (floor)      %8.3f ms   %6d KiB\n", tf, mf
    printf "ratio            %8.2f x    %6.2f x\n", tv / tf, mv / mf
}'
