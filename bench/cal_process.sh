#!/usr/bin/env bash
# Whole-process benchmark of the main jobs on the largest valid case (1000
# measurements, 1000 steps), each beside its floor, measured in the same run:
#
#   vextal cal largest.msm -n 1000 -f out   against  floor: read the input
#       whole, write two files of the same sizes by temporary file and rename
#   vextal load largest.msm                 against  floor: read the input only
#   cat largest.msm                         for reference
#
# Given a second vextal (for example the build before a change), its cal and
# load runs take their turns in the same rounds, and the ratios of the two
# builds are printed too.
#
# The floor (bench/floor.c) is built here with the system's C compiler and,
# like vextal, uses the shared C library. The commands take turns: each round
# is one hyperfine run of all five (-N, no shell), a few runs of each after
# three unmeasured ones; a time is the median of the rounds' medians and a
# time ratio the median of the rounds' ratios, so a drift of the machine's
# speed hits both sides alike. Peak resident memory is GNU time's, the median
# of up to 60 runs, also taken in turn.
#
# Usage: bench/cal_process.sh [path/to/vextal] [runs per command] [rounds] [other vextal]
# Needs hyperfine, GNU time and a C compiler (Debian: hyperfine time gcc).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
vextal=${1:-$here/../build/native/bin/vextal}
runs=${2:-300}
rounds=${3:-100}
other=${4:-}
vextal=$(cd "$(dirname "$vextal")" && pwd)/$(basename "$vextal")
[ -z "$other" ] || other=$(cd "$(dirname "$other")" && pwd)/$(basename "$other")
per_round=$(( (runs + rounds - 1) / rounds ))
[ "$per_round" -ge 2 ] || per_round=2

for tool in hyperfine /usr/bin/time "${CC:-cc}"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"${CC:-cc}" -O2 -o floor "$here/floor.c"

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
cal_size=$(wc -c < out.cal)
c_size=$(wc -c < out.c)

names=(cal cal_floor load load_floor cat)
commands=(
    "$vextal cal largest.msm -n 1000 -f out"
    "./floor largest.msm fl.cal $cal_size fl.c $c_size"
    "$vextal load largest.msm"
    "./floor largest.msm"
    "cat largest.msm"
)
if [ -n "$other" ]; then
    names+=(other_cal other_load)
    commands+=("$other cal largest.msm -n 1000 -f other" "$other load largest.msm")
fi
# The order of a round: with a second build, each of its commands stands
# right after the same command of the first, and every other pair of rounds
# the two change places, so that neither build gains from its place.
order=(0 1 2 3 4)
swapped=(0 1 2 3 4)
if [ -n "$other" ]; then
    order=(0 5 1 2 6 3 4)
    swapped=(5 0 1 6 2 3 4)
fi

median() {  # median of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Wall time: one hyperfine run per round over all commands. Every other
# round runs them in the reverse order, so that no command gains from its
# place in a round (the first of a round runs measurably slower here).
forward=()
backward=()
forward_swapped=()
backward_swapped=()
for k in "${!order[@]}"; do
    i=${order[$k]}
    j=${swapped[$k]}
    forward+=(-n "${names[$i]}" "${commands[$i]}")
    backward=(-n "${names[$i]}" "${commands[$i]}" "${backward[@]}")
    forward_swapped+=(-n "${names[$j]}" "${commands[$j]}")
    backward_swapped=(-n "${names[$j]}" "${commands[$j]}" "${backward_swapped[@]}")
done
: > medians.txt
for round in $(seq "$rounds"); do
    case $(( round % 4 )) in
        1) args=("${forward[@]}") ;;
        2) args=("${backward[@]}") ;;
        3) args=("${forward_swapped[@]}") ;;
        0) args=("${backward_swapped[@]}") ;;
    esac
    hyperfine -N --style none --warmup 3 --runs "$per_round" --export-csv "round$round.csv" \
        "${args[@]}" > /dev/null 2> hyperfine.log || { cat hyperfine.log >&2; exit 1; }
    # The CSV holds command,mean,stddev,median,... in seconds.
    awk -F, -v r="$round" 'NR > 1 { print r, $1, $4 * 1000 }' "round$round.csv" >> medians.txt
done

# Peak resident memory in KiB, the commands in turn.
: > peaks.txt
for _ in $(seq "$(( per_round * rounds < 60 ? per_round * rounds : 60 ))"); do
    for i in "${!names[@]}"; do
        # shellcheck disable=SC2086  # each command is split into words on purpose
        kib=$(/usr/bin/time -f '%M' ${commands[$i]} 2>&1 >/dev/null | tail -1)
        echo "${names[$i]} $kib" >> peaks.txt
    done
done

declare -A wall peak
for name in "${names[@]}"; do
    wall[$name]=$(awk -v n="$name" '$2 == n { print $3 }' medians.txt | median)
    peak[$name]=$(awk -v n="$name" '$1 == n { print $2 }' peaks.txt | median)
done
# A time ratio is the median of the rounds' ratios: the two commands of a
# round ran within a fraction of a second of each other.
round_ratio() {
    awk -v a="$1" -v b="$2" '$2 == a { t[$1] = $3 } $2 == b { u[$1] = $3 }
        END { for (r in t) if (u[r] > 0) print t[r] / u[r] }' medians.txt | median
}

printf '%s runs of each command in %s rounds\n\n' "$(( per_round * rounds ))" "$rounds"
printf '%-34s %12s %12s\n' "" "median wall" "peak RSS"
row() { printf '%-34s %9.3f ms %8d KiB\n' "$1" "${wall[$2]}" "${peak[$2]}"; }
row "vextal cal -n 1000" cal
row "floor: read, write two files" cal_floor
row "vextal load" load
row "floor: read only" load_floor
row "cat" cat
echo
ratio() {
    awk -v r="$(round_ratio "$2" "$3")" -v c="${peak[$2]}" -v d="${peak[$3]}" -v t="$1" \
        'BEGIN { printf "%-34s %9.2f x  %9.2f x\n", t, r, c / d }'
}
ratio "cal / its floor" cal cal_floor
ratio "load / its floor" load load_floor
ratio "cal / cat" cal cat
if [ -n "$other" ]; then
    echo
    row "other vextal cal -n 1000" other_cal
    row "other vextal load" other_load
    ratio "other cal / its floor" other_cal cal_floor
    ratio "other load / its floor" other_load load_floor
    ratio "cal / other cal" cal other_cal
    ratio "load / other load" load other_load
fi
