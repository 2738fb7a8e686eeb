#!/usr/bin/env bash
# Times `vexa import` of a CSV with one or more builds of the tool, in
# turns so that each sees the same machine: wall time and peak resident
# memory (from /usr/bin/time -v) per run, then the median of each tool.
# Usage: import_timer.sh CSV RUNS VEXA [VEXA...] [-- IMPORT OPTIONS]
#   bench/make_survey_csv.py /tmp/survey.csv
#   bench/import_timer.sh /tmp/survey.csv 5 /tmp/old/vexa build/vexa
#   bench/make_survey_csv.py /tmp/survey_eu.csv 2200000 --european
#   bench/import_timer.sh /tmp/survey_eu.csv 5 build/vexa -- --decimal comma --thousands . --na NA
set -eu
csv=$1 runs=$2
shift 2
tools=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do tools+=("$1"); shift; done
[ $# -gt 0 ] && shift
options=("$@")
set -- "${tools[@]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((run = 1; run <= runs; run++)); do
  for ((i = 1; i <= $#; i++)); do
    tool=${!i}
    rm -f "$work/out.vexa"
    /usr/bin/time -v "$tool" import "$csv" "$work/out.vexa" ${options[@]+"${options[@]}"} 2>"$work/time" >/dev/null
    seconds=$(awk -F': ' '/Elapsed/ { n = split($2, t, ":"); s = 0; for (k = 1; k <= n; k++) s = s * 60 + t[k]; print s }' "$work/time")
    kb=$(awk -F': ' '/Maximum resident/ { print $2 }' "$work/time")
    echo "$i $seconds $kb" >>"$work/all"
    printf 'run %d  %-40s %6.2f s  %6d KB\n' "$run" "$tool" "$seconds" "$kb"
  done
done
for ((i = 1; i <= $#; i++)); do
  awk -v i="$i" '$1 == i { print $2 }' "$work/all" | sort -n | awk -v t="${!i}" '{ a[NR] = $1 } END { printf "median %-40s %6.2f s\n", t, a[int((NR + 1) / 2)] }'
  awk -v i="$i" '$1 == i { print $3 }' "$work/all" | sort -n | tail -1 | xargs printf '  peak RSS %d KB\n'
done
