#!/usr/bin/env bash
# The bash completion offers the commands, each command's own options and
# the files each takes: completion_test.sh <completion script>.
set -u
source "$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" && touch run.msm run.csv table.c && mkdir sub
failures=0
cases=0
expect() {  # expect "<words>" "<expected replies, sorted>"
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _vextal
    cases=$((cases + 1))
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [[ "$got" != "$2 " ]]; then
        echo "'$1': got '$got', expected '$2 '"
        failures=$((failures + 1))
    fi
}
sorted() { tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/ $//'; }
expect "vextal c" "cal check"
expect "vextal -" "--help --version"
# Each command offers its own options (the lists come from the program's
# tables; a test of the build holds them equal).
for command in $_vextal_first_words; do
    [[ $command == -* ]] && continue
    expect "vextal $command -" "$(_vextal_options "$command" | sorted)"
done
# After an option that takes an argument nothing is offered, after a flag
# the input file.
for option in $_vextal_with_argument; do
    case "$option" in -f | -t | -sp | -decimal) continue ;; esac
    expect "vextal cal run.msm $option " ""
done
for flag in $_vextal_flags; do
    expect "vextal cal $flag " "run.msm sub"
done
expect "vextal import run.csv -decimal " "comma point"
expect "vextal import -round " "run.csv run.msm sub table.c"
expect "vextal import run.csv -cols " ""
expect "vextal check -t" "-t -tol"
expect "vextal check -u" "-unit"
expect "vextal cal -ps" "-psd0 -psdplot"
expect "vextal cal " "run.msm sub"
expect "vextal cal run.msm " ""
expect "vextal cal -n 64 " "run.msm sub"
expect "vextal import " "run.csv run.msm sub table.c"
expect "vextal check run -t " "sub table.c"
expect "vextal cal run -n " ""
echo "$((cases - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
