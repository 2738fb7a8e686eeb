#!/usr/bin/env bash
# End to end through the built tool: import with and without a dictionary,
# info --json, cat and convert must give back what went in; faults must end
# with one line and a non-zero status.
# Usage: vexa_tool_test.sh VEXA EXAMPLES_DIR
set -u
vexa=$1
examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs the tool; stops the script when it fails.
run() {
  if ! "$vexa" "$@" 2>"$work/stderr"; then
    echo "FAIL: vexa $* exited with $?: $(cat "$work/stderr")"
    exit 1
  fi
}

# info --json without the facts that differ between two writes of the same
# data (creation time). For a converted file also without the compression
# and the product text, which a copy's header carries differently.
stable_info() {
  run info --json "$1" | grep -v -e '"created"' -e '"time_stamp"' |
    if [ "${2:-}" = converted ]; then
      grep -v -e '^  "compression"' -e '^  "product"'
    else
      cat
    fi
}

# The "variables" member of a dictionary JSON, as indented by info --json.
variables_of() { sed -n '/^  "variables": \[/,/^  \]/p' "$1"; }

same() {  # same FILE_A FILE_B WHAT
  diff -u "$1" "$2" >"$work/diff" || { fail "$3"; head -40 "$work/diff"; }
}

# Expects a failure with the given status and exactly one line on stderr.
expect_failure() {  # expect_failure STATUS ARGS...
  local want=$1
  shift
  "$vexa" "$@" >/dev/null 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "vexa $* exited with $got, wanted $want"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "vexa $* printed $(wc -l <"$work/err") error lines"
}

# --- Round trip of the example with its dictionary ------------------------
run import "$examples/survey.csv" "$work/a.vexa" --dict "$examples/survey.json"
stable_info "$work/a.vexa" >"$work/a.json"
run cat "$work/a.vexa" >"$work/a.csv"
same "$examples/survey.csv" "$work/a.csv" "cat gives back the imported CSV"
# The example uses several roles; those other than input travel in the
# variable attributes record.
variables_of "$examples/survey.json" >"$work/want_vars"
variables_of "$work/a.json" >"$work/got_vars"
same "$work/want_vars" "$work/got_vars" "every variable property restored from the dictionary"
grep -q '"file_label": "Customer survey, spring 2024 (example data)"' "$work/a.json" ||
  fail "file label restored"
grep -q '"Satisfaction 9 and ages -99 to -1 are user-missing."' "$work/a.json" ||
  fail "documents restored"
grep -q '^  "compression": "bytecode"' "$work/a.json" || fail "compression from the dictionary"
grep -q '^  "case_count": 24' "$work/a.json" || fail "24 cases"

run import "$work/a.csv" "$work/b.vexa" --dict "$work/a.json"
stable_info "$work/b.vexa" >"$work/b.json"
run cat "$work/b.vexa" >"$work/b.csv"
same "$work/a.json" "$work/b.json" "info --json of a re-import"
same "$work/a.csv" "$work/b.csv" "cat of a re-import"

grep -A1 '^  "release": \[' "$work/a.json" | grep -q '^    24,$' || fail "release numbers shown"

# --- Text information and raw extension records travel through the JSON ----
printf 'n\n1\n2\n' >"$work/n.csv"
printf '%s\n' '{"text_info": "made by the tool test", "file_label": "raw",' \
  ' "extensions": [{"subtype": 3, "element_size": null, "count": null},' \
  '  {"subtype": 30, "element_size": 4, "count": 2, "data": "00ff7f80deadBEEF"}],' \
  ' "variables": [{"name": "n", "type": 0}]}' >"$work/raw.json"
run import "$work/n.csv" "$work/r.vexa" --dict "$work/raw.json"
stable_info "$work/r.vexa" >"$work/r.json"
grep -q '"text_info": "made by the tool test"' "$work/r.json" || fail "text info restored"
grep -q '"data": "00ff7f80deadbeef"' "$work/r.json" || fail "extension record restored"
run info "$work/r.vexa" >"$work/r.txt"
grep -q '^Text info:    made by the tool test$' "$work/r.txt" || fail "info shows the text info"
grep -q '^  subtype 30  2 x 4 bytes$' "$work/r.txt" || fail "info lists the extension record"
run import "$work/n.csv" "$work/r2.vexa" --dict "$work/r.json"
stable_info "$work/r2.vexa" >"$work/r2.json"
same "$work/r.json" "$work/r2.json" "info --json of a re-import with extension records"
printf '{"extensions": [{"subtype": 3, "element_size": 4, "count": 1, "data": "00000000"}],
 "variables": [{"name": "n", "type": 0}]}' >"$work/reserved.json"
expect_failure 1 import "$work/n.csv" "$work/x.vexa" --dict "$work/reserved.json"
grep -q VEXA_E_BAD_EXTENSION "$work/err" || fail "a reserved subtype is refused"
printf '{"extensions": [{"subtype": 30, "element_size": 4, "count": 2, "data": "00"}],
 "variables": [{"name": "n", "type": 0}]}' >"$work/short.json"
expect_failure 1 import "$work/n.csv" "$work/x.vexa" --dict "$work/short.json"

run import "$work/a.csv" "$work/n.vexa" --dict "$work/a.json" --compression none
grep -q '"compression": "none"' <(run info --json "$work/n.vexa") ||
  fail "--compression overrides the dictionary"

# --- Import without a dictionary: inferred types, repaired names ----------
printf 'Name,name,with,1st,,x y,score\r\n"Smith, J",a,1,2.5,,nan,\r\nLee,bb,-2,,x,inf,7\r\n' \
  >"$work/awkward.csv"
run import "$work/awkward.csv" "$work/w.vexa"
run info --json "$work/w.vexa" >"$work/w.json"
grep -o '"name": "[^"]*"' "$work/w.json" | cut -d'"' -f4 | tr '\n' ' ' >"$work/names"
printf 'Name name_2 with_ v1st v5 x_y score ' | cmp -s - "$work/names" ||
  fail "repaired names: $(cat "$work/names")"
grep -o '"type": [0-9]*' "$work/w.json" | cut -d' ' -f2 | tr '\n' ' ' >"$work/types"
printf '8 2 0 0 1 0 0 ' | cmp -s - "$work/types" || fail "inferred types: $(cat "$work/types")"
grep -q '^  "compression": "none"' "$work/w.json" || fail "no compression by default"
run cat "$work/w.vexa" >"$work/w.csv"
printf 'Name,name_2,with_,v1st,v5,x_y,score\n"Smith, J",a,1,2.5,,nan,\nLee,bb,-2,,x,inf,7\n' |
  cmp -s - "$work/w.csv" || { fail "values of an inferred import"; cat "$work/w.csv"; }

# --- Convert between compressions ------------------------------------------
run convert "$work/a.vexa" "$work/c.vexa" --compression none
run convert "$work/c.vexa" "$work/d.vexa"
run convert "$work/d.vexa" "$work/e.vexa" --compression bytecode
run convert "$work/e.vexa" "$work/z.vexa" --compression zlib
run info "$work/z.vexa" | grep -q '^Zlib blocks:  1 (' || fail "convert --compression zlib"
run cat "$work/z.vexa" >"$work/z.csv"
same "$work/a.csv" "$work/z.csv" "cases after convert (z)"
grep -q '^  "compression": "none"' <(stable_info "$work/d.vexa") ||
  fail "convert keeps the input's compression by default"
stable_info "$work/a.vexa" converted >"$work/a_nc.json"
for f in c d e; do
  stable_info "$work/$f.vexa" converted >"$work/${f}_nc.json"
  same "$work/a_nc.json" "$work/${f}_nc.json" "info after convert ($f)"
  run cat "$work/$f.vexa" >"$work/$f.csv"
  same "$work/a.csv" "$work/$f.csv" "cases after convert ($f)"
done
grep -q '^  "compression": "bytecode"' <(stable_info "$work/e.vexa") ||
  fail "convert --compression bytecode"

# --- Faults ------------------------------------------------------------------
printf 'a,b\n1,"open\n2,3\n' >"$work/bad.csv"
expect_failure 1 import "$work/bad.csv" "$work/bad.vexa"
expect_failure 1 import "$work/bad.csv" "$work/bad2.vexa" --dict "$work/w.json"
[ ! -e "$work/bad.vexa" ] && [ ! -e "$work/bad2.vexa" ] || fail "a failed import leaves a file"
printf 'a\nx\n' >"$work/text.csv"
printf '{"variables": [{"name": "a", "type": 0}]}' >"$work/num.json"
expect_failure 1 import "$work/text.csv" "$work/t.vexa" --dict "$work/num.json"
printf '{"variables": [{"name": "zz", "type": 0}]}' >"$work/zz.json"
expect_failure 1 import "$work/text.csv" "$work/t.vexa" --dict "$work/zz.json"
printf '{"variables": [' >"$work/broken.json"
expect_failure 1 import "$work/text.csv" "$work/t.vexa" --dict "$work/broken.json"
expect_failure 1 import "$work/absent.csv" "$work/x.vexa"
expect_failure 1 convert "$work/absent.vexa" "$work/x.vexa"
grep -q 'open failed with VEXA_E_FILE_OPEN (1): .' "$work/err" || fail "convert names the code and the detail"
head -c 300 "$work/a.vexa" >"$work/cut.vexa"
expect_failure 1 info "$work/cut.vexa"
grep -q 'open failed with VEXA_E_FILE_OPEN (1): .' "$work/err" || fail "info gives the library's detail"
expect_failure 1 info "$work/absent.vexa"
expect_failure 1 cat "$work/absent.vexa"
expect_failure 2 import "$work/a.csv"
expect_failure 2 import "$work/a.csv" "$work/x.vexa" --compression fast
expect_failure 2 convert "$work/a.vexa"
expect_failure 2 frobnicate

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
