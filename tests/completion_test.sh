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
expect "vextal c" "cal check"
expect "vextal -" "--help --version"
expect "vextal import -" "-cols -decimal -f -keep-order -m -mean -round -z"
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
