#!/usr/bin/env bash
# End to end through the built tool: import with and without a dictionary,
# info --json, cat and convert must give back what went in; faults must end
# with one line and a non-zero status.
# Usage: vexa_tool_test.sh VEXA EXAMPLES_DIR
set -u
vexa=$1
examples=$2
. "$(dirname "$0")/test_common.sh"

# info --json without the facts that differ between two writes of the same
# data (creation time). For a converted file also without the compression
# and the product text, which a copy's header carries differently.
stable_info() {
  local drop=(-e '"created"' -e '"time_stamp"')
  [ "${2:-}" = converted ] && drop+=(-e '^  "compression"' -e '^  "product"')
  run info --json "$1" | grep -v "${drop[@]}"
}

# The "variables" member of a dictionary JSON, as indented by info --json.
variables_of() { sed -n '/^  "variables": \[/,/^  \]/p' "$1"; }

same() {  # same FILE_A FILE_B WHAT
  diff -u "$1" "$2" >"$work/diff" || { fail "$3"; head -40 "$work/diff"; }
}

# trip NAME CSV DICT: imports the CSV with the dictionary into NAME.vexa,
# whose stable info goes to NAME.json and raw cases to NAME.csv.
trip() {
  run import "$2" "$work/$1.vexa" --dict "$3"
  stable_info "$work/$1.vexa" >"$work/$1.json"
  run cat --raw "$work/$1.vexa" >"$work/$1.csv"
}

# --- Round trip of the example with its dictionary ------------------------
trip a "$examples/survey.csv" "$examples/survey.json"
same "$examples/survey.csv" "$work/a.csv" "cat gives back the imported CSV"
# The example uses several roles; those other than input travel in the
# variable attributes record.
same <(variables_of "$examples/survey.json") <(variables_of "$work/a.json") \
  "every variable property restored from the dictionary"
has '"file_label": "Customer survey, spring 2024 (example data)"' "$work/a.json" "file label restored"
has '^  "compression": "bytecode"' "$work/a.json" "compression from the dictionary"

trip b "$work/a.csv" "$work/a.json"
same "$work/a.json" "$work/b.json" "info --json of a re-import"
same "$work/a.csv" "$work/b.csv" "cat of a re-import"

# --- Text information and raw extension records travel through the JSON ----
printf 'n\n1\n2\n' >"$work/n.csv"
printf '%s\n' '{"text_info": "made by the tool test", "file_label": "raw",' \
  ' "extensions": [{"subtype": 3, "element_size": null, "count": null},' \
  '  {"subtype": 30, "element_size": 4, "count": 2, "data": "00ff7f80deadBEEF"}],' \
  ' "variables": [{"name": "n", "type": 0}]}' >"$work/raw.json"
trip r "$work/n.csv" "$work/raw.json"
has '"data": "00ff7f80deadbeef"' "$work/r.json" "extension record restored"
run info "$work/r.vexa" >"$work/r.txt"
has '^Text info:    made by the tool test$' "$work/r.txt" "info shows the text info"
has '^  subtype 30  2 x 4 bytes$' "$work/r.txt" "info lists the extension record"
printf '{"extensions": [{"subtype": 30, "element_size": 4, "count": 2, "data": "00"}],
 "variables": [{"name": "n", "type": 0}]}' >"$work/short.json"
expect 1 import "$work/n.csv" "$work/x.vexa" --dict "$work/short.json"

# --- Attributes, roles, sets and date information survive info --json and
# import --dict, twice over --------------------------------------------------
printf 'n,YEAR_,MONTH_,DATE_,a,b,c\n1,2024,3,MAR 2024,1,0,x\n' >"$work/m.csv"
cat >"$work/m.json" <<'JSON'
{"attributes": {"Origin": "field study", "Waves": ["spring", "", "autumn"]},
 "variables": [
  {"name": "n", "type": 0, "role": "target", "attributes": {"Note": "case number"}},
  {"name": "YEAR_", "type": 0}, {"name": "MONTH_", "type": 0}, {"name": "DATE_", "type": 8},
  {"name": "a", "type": 0, "role": "split", "attributes": {"Check": ["x", "y"]}},
  {"name": "b", "type": 0}, {"name": "c", "type": 8}],
 "multiple_response_sets": [
  {"name": "$ab", "label": "A or B", "kind": "dichotomies", "counted_value": 1, "variables": ["a", "b"]},
  {"name": "$abx", "label": "", "kind": "dichotomies", "counted_value": 1, "extended": true,
   "label_from_variables": true, "variables": ["a", "b"]},
  {"name": "$cat", "label": "Both", "kind": "categories", "variables": ["a", "b"]},
  {"name": "$c", "label": "text", "kind": "dichotomies", "counted_value": "x", "variables": ["c"]}],
 "variable_sets": [{"name": "Dates", "variables": ["YEAR_", "MONTH_", "DATE_"]}],
 "date_variables": [1, 0, 2, 1, 12, 1, 2, 2, 1, 3, 4, 12, 4, 11, 0]}
JSON
trip m1 "$work/m.csv" "$work/m.json"
tr -d ' \n' <"$work/m1.json" >"$work/m1.flat"
for want in '"attributes":{"Origin":"fieldstudy","Waves":["spring","","autumn"]}' \
  '"role":"target","weight":false,"value_labels":[],"missing":{"code":0,"values":[]},"attributes":{"Note":"casenumber"}' \
  '"role":"split","weight":false,"value_labels":[],"missing":{"code":0,"values":[]},"attributes":{"Check":["x","y"]}' \
  '{"name":"$ab","label":"AorB","kind":"dichotomies","counted_value":1,"extended":false,"label_from_variables":false,"variables":["a","b"]}' \
  '"counted_value":"x"' '{"name":"Dates","variables":["YEAR_","MONTH_","DATE_"]}' \
  '"date_variables":[1,0,2,1,12,1,2,2,1,3,4,12,4,11,0]'; do
  grep -q -F -- "$want" "$work/m1.flat" || fail "metadata kept: $want"
done
trip m2 "$work/m.csv" "$work/m1.json"
same "$work/m1.json" "$work/m2.json" "metadata survives a second trip"
run info "$work/m2.vexa" >"$work/m2.txt"
has '^  (file): Waves\[3\] = autumn$' "$work/m2.txt" "info lists the attributes"
has '^  \$c: dichotomies counting x: "text": c$' "$work/m2.txt" "info lists the sets"

run import "$work/a.csv" "$work/n.vexa" --dict "$work/a.json" --compression none
has '"compression": "none"' <(run info --json "$work/n.vexa") "--compression overrides the dictionary"

# --- Import without a dictionary: inferred types, repaired names (in the
# header cat writes) ----------------------------------------------------------
printf 'Name,name,with,1st,,x y,score\r\n"Smith, J",a,1,2.5,,nan,\r\nLee,bb,-2,,x,inf,7\r\n' \
  >"$work/awkward.csv"
run import "$work/awkward.csv" "$work/w.vexa"
run info --json "$work/w.vexa" >"$work/w.json"
grep -o '"type": [0-9]*' "$work/w.json" | cut -d' ' -f2 | tr '\n' ' ' >"$work/types"
printf '8 2 0 0 1 3 0 ' | cmp -s - "$work/types" || fail "inferred types: $(cat "$work/types")"
run cat "$work/w.vexa" >"$work/w.csv"
printf 'Name,name_2,with_,v1st,v5,x_y,score\n"Smith, J",a,1,2.5,,nan,\nLee,bb,-2,,x,inf,7\n' |
  cmp -s - "$work/w.csv" || { fail "values of an inferred import"; cat "$work/w.csv"; }

# --- Convert between compressions ------------------------------------------
run convert "$work/a.vexa" "$work/c.vexa" --compression none
run convert "$work/c.vexa" "$work/d.vexa"
run convert "$work/d.vexa" "$work/z.vexa" --compression zlib
has '^Zlib blocks:  1 (' <(run info "$work/z.vexa") "convert --compression zlib"
has '^  "compression": "none"' <(stable_info "$work/d.vexa") "convert keeps the input's compression"
stable_info "$work/a.vexa" converted >"$work/a_nc.json"
for f in c d z; do
  stable_info "$work/$f.vexa" converted >"$work/${f}_nc.json"
  [ $f = z ] || same "$work/a_nc.json" "$work/${f}_nc.json" "info after convert ($f)"
  run cat --raw "$work/$f.vexa" >"$work/$f.csv"
  same "$work/a.csv" "$work/$f.csv" "cases after convert ($f)"
done

# --- Faults ------------------------------------------------------------------
printf 'a,b\n1,"open\n2,3\n' >"$work/bad.csv"
expect 1 import "$work/bad.csv" "$work/bad.vexa"
[ ! -e "$work/bad.vexa" ] || fail "a failed import leaves a file"
# A text where the dictionary wants a number, a column it lacks, broken JSON.
printf 'a\nx\n' >"$work/text.csv"
for dict in '{"variables": [{"name": "a", "type": 0}]}' '{"variables": [{"name": "zz", "type": 0}]}' \
  '{"variables": ['; do
  printf '%s' "$dict" >"$work/bad.json"
  expect 1 import "$work/text.csv" "$work/t.vexa" --dict "$work/bad.json"
done
exits 1 'absent.vexa: No such file or directory$' convert "$work/absent.vexa" "$work/x.vexa"
head -c 300 "$work/a.vexa" >"$work/cut.vexa"
exits 1 'open failed: variable record at offset 296: the file ends inside the record (VEXA_E_FILE_OPEN)$' info "$work/cut.vexa"
grep -q 'error [0-9]\{4\}' "$work/err" && fail "internal condition text: $(cat "$work/err")"
expect 2 import "$work/a.csv"
expect 2 import "$work/a.csv" "$work/x.vexa" --compression fast
exits 2 'frobnicate: unknown command' frobnicate
exits 2 '--compresion: unknown option' import "$work/a.csv" "$work/x.vexa" --compresion none
exits 2 '--range: first after last' cat --range 5:3 "$work/a.vexa"
for c in info cat import convert; do
  "$vexa" "$c" --help | grep -q "^Usage: vexa $c" || fail "vexa $c --help"
done
"$vexa" --version | grep -q '^vexa [0-9.]* (library [0-9.]*)$' || fail "vexa --version"

# --- Protected files: the password from a file or the environment ---------
printf 'secret\n' >"$work/pw"
run import "$work/a.csv" "$work/p.vexa" --dict "$work/a.json" --protect --password-file "$work/pw"
[ "$(head -c 20 "$work/p.vexa" | tail -c 12)" = ENCRYPTEDSAV ] || fail "import --protect"
VEXA_PASSWORD=secret run cat --raw "$work/p.vexa" >"$work/p.csv"
same "$work/a.csv" "$work/p.csv" "cases of a protected file"
# Out in the clear only when asked, and said.
exits 2 'protected; --protect writes a protected copy, --no-protect one in the clear' convert "$work/p.vexa" "$work/unprotected.vexa" --password-file "$work/pw"
[ ! -e "$work/unprotected.vexa" ] || fail "a protected input written out in the clear unasked"
exits 0 'unprotected.vexa: written unprotected' convert "$work/p.vexa" "$work/unprotected.vexa" --password-file "$work/pw" --no-protect
VEXA_PASSWORD=wrong exits 1 VEXA_E_BAD_PASSWORD info "$work/p.vexa"
VEXA_PASSWORD= exits 1 VEXA_E_NO_PASSWORD info "$work/p.vexa" </dev/null

finish
