#!/usr/bin/env bash
# What a user of the tool may count on: output is never lost or left half
# written, pipes and "-" work, write errors are reported, and errors say in
# words what happened.
# Usage: vexa_user_test.sh VEXA
set -u
vexa=$1
. "$(dirname "$0")/test_common.sh"
# No file of the tool's own is left in the directory.
no_leftovers() { ! ls -A "$1" | grep -q '^\.vexa' || fail "temporary files left in $1: $(ls -A "$1")"; }

printf 'id,name,score\n1,Ann,2.5\n2,Bob,\n3,"Lee, J",7\n' >"$work/in.csv"
awk 'BEGIN { print "id,s"; for (i = 0; i < 20000; i++) print i ",text" i }' >"$work/big-enough.csv"
run import "$work/in.csv" "$work/good.vexa"

# --- Nothing is lost -------------------------------------------------------
cp "$work/good.vexa" "$work/precious.vexa"
head -c 200 "$work/good.vexa" >"$work/damaged.vexa"
expect 1 convert "$work/damaged.vexa" "$work/precious.vexa" --force
cmp -s "$work/good.vexa" "$work/precious.vexa" || fail "a failed convert changed the file it would replace"
printf 'id\n"open\n' >"$work/broken.csv"
expect 1 import "$work/broken.csv" "$work/precious.vexa" --force
cmp -s "$work/good.vexa" "$work/precious.vexa" || fail "a failed import changed the file it would replace"
no_leftovers "$work"

# (Which outputs are refused, with and without --force: the file path tests.)
expect 0 convert "$work/good.vexa" "$work/precious.vexa" --force --compression bytecode
has '"compression": "bytecode"' <("$vexa" info --json "$work/precious.vexa") "--force replaces"
exits 1 'does not end in .vexa' import "$work/in.csv" "$work/survey.json"
[ ! -e "$work/survey.json" ] || fail "a refused output was written"
exits 1 'would overwrite the input' convert "$work/good.vexa" "$work/good.vexa" --force
# The new file gets the usual permissions, not those of a private temporary.
mode_is "$work/precious.vexa" "$(stat -c %a "$work/in.csv")"

# A file replaced keeps its mode; a new one made from an input that only its
# owner may read is as private as the input.
chmod 600 "$work/precious.vexa"
expect 0 convert "$work/good.vexa" "$work/precious.vexa" --force
expect 0 import "$work/in.csv" "$work/precious.vexa" --force
mode_is "$work/precious.vexa" 600
cp "$work/in.csv" "$work/private.csv" && chmod 600 "$work/private.csv"
expect 0 import "$work/private.csv" "$work/private.vexa"
expect 0 convert "$work/private.vexa" "$work/private2.vexa"
mode_is "$work/private.vexa" 600 && mode_is "$work/private2.vexa" 600

# A size limit is a write error that leaves nothing behind, not a signal.
mkdir "$work/limited"
(ulimit -f 8; "$vexa" import "$work/big-enough.csv" "$work/limited/out.vexa" 2>"$work/err")
status=$?
[ "$status" -eq 1 ] || fail "import under a size limit exited with $status"
said 'failed (VEXA_E_FILE_WRITE)'
[ -z "$(ls -A "$work/limited")" ] || fail "a size limit left $(ls -A "$work/limited")"

# A protected copy ended by SIGTERM or SIGHUP at any moment leaves neither
# the output nor its temporary file, the library's own new file included.
awk 'BEGIN { print "id,x,s"; for (i = 0; i < 3000000; i++) print i "," i * 0.5 ",text" i }' \
  >"$work/big.csv"
mkdir "$work/out"
printf 'secret\n' >"$work/pw"
"$vexa" import "$work/big.csv" "$work/big.vexa" --compression none 2>/dev/null
for signal in TERM HUP; do
  for delay in 0.05 0.2 0.4 0.7 1.0 1.5; do
    "$vexa" convert "$work/big.vexa" "$work/out/big.vexa" --protect --password-file "$work/pw" \
      2>/dev/null &
    pid=$!
    sleep "$delay"
    kill -"$signal" "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    left=$(ls -A "$work/out" | grep -v '^big.vexa$')
    [ -z "$left" ] || fail "SIG$signal after ${delay}s left $left"
    rm -f "$work/out/big.vexa"
  done
done

# --- Pipes and "-" -----------------------------------------------------------
cat "$work/in.csv" | "$vexa" import - "$work/piped.vexa" 2>"$work/err" || fail "import from a pipe: $(cat "$work/err")"
"$vexa" cat "$work/piped.vexa" >"$work/piped.csv"
cmp -s "$work/in.csv" "$work/piped.csv" || fail "import from a pipe: $(cat "$work/piped.csv")"
"$vexa" cat - <"$work/good.vexa" | cmp -s "$work/in.csv" - || fail "cat - reads standard input"

# --- Write errors and errors in words ------------------------------------------
if [ -w /dev/full ]; then
  "$vexa" cat "$work/good.vexa" >/dev/full 2>"$work/err"
  [ $? -eq 1 ] || fail "cat > /dev/full exits 1"
  said 'standard output: No space left on device'
fi
exits 1 'Is a directory' info "$work"

# --- Honest imports: every change is said, --strict refuses it -------------
# change_case NAME CSV DICT_JSON|- WANT: the import warns WANT (with line and
# column) and writes the file; with --strict it fails and writes nothing.
change_case() {
  local name=$1 dict=()
  printf "$2" >"$work/c_$name.csv"
  if [ "$3" != - ]; then printf '%s' "$3" >"$work/c_$name.json"; dict=(--dict "$work/c_$name.json"); fi
  expect 0 import "$work/c_$name.csv" "$work/c_$name.vexa" "${dict[@]}"
  grep -q -- "warning: .*$4" "$work/err" || fail "$name: no warning '$4' in: $(cat "$work/err")"
  [ -e "$work/c_$name.vexa" ] || fail "$name: nothing written without --strict"
  exits 1 "$4 (--strict: nothing written)" import "$work/c_$name.csv" "$work/c_${name}_strict.vexa" "${dict[@]}" --strict
  [ ! -e "$work/c_${name}_strict.vexa" ] || fail "$name: --strict wrote a file"
}
num='{"variables": [{"name": "a", "type": 0}]}'
change_case zeros 'a\n7\n01234\n' "$num" 'a: .01234.: leading zeros dropped'
change_case short 'a,b\n1,2\n3\n' - '1 fields, the header has 2; the rest left empty'
change_case header 'a b,c\n1,2\n' - "header 'a b' renamed a_b"
change_case dropped 'a,extra\n1,2\n' "$num" "column 'extra' is not in the dictionary; left out"
change_case cut 's\nabcdef\n' '{"variables": [{"name": "s", "type": 3}]}' 's: value cut to the variable.s 3 bytes'

# A dictionary in another order than the columns: each value goes to its
# own variable, and a message names the variable of the column.
printf 'x,s,n\n1,abcdef,2\n' >"$work/order.csv"
printf '{"variables": [{"name": "s", "type": 3}, {"name": "n", "type": 0}]}' >"$work/order.json"
exits 0 "order.csv:2:2: warning: s: value cut" import "$work/order.csv" "$work/order.vexa" --dict "$work/order.json"
prints $'s,n\nabc,2' cat --raw "$work/order.vexa"

# Blank lines are not cases; dates, formats and measures are inferred.
printf 'id,day,at,score,code,name\n\n123456789012,2024-03-01,2024-03-01T10:20:30,1.25,007,Ann\n\n\n2,1999-12-31,2000-01-01 00:00:00,-3,010,Bo\n' >"$work/kinds.csv"
run import "$work/kinds.csv" "$work/kinds.vexa"
"$vexa" info "$work/kinds.vexa" >"$work/kinds.txt"
for want in 'id  *numeric  *F12.0 .* scale ' 'day  *numeric  *DATE11 .* scale ' \
  'at  *numeric  *DATETIME20 ' 'score  *numeric  *F5.2 ' 'code  *string(3)  *A3 .* nominal ' \
  'name  *string(3) .* nominal '; do
  has "$want" "$work/kinds.txt" "inferred: $want"
done
prints $'id,day,at,score,code,name\n123456789012,2024-03-01,2024-03-01T10:20:30,1.25,007,Ann\n2,1999-12-31,2000-01-01T00:00:00,-3,010,Bo' \
  cat "$work/kinds.vexa"
has '^123456789012,13928630400,13928667630,' <("$vexa" cat --raw "$work/kinds.vexa") "cat --raw keeps the numbers"

# A time format takes and gives ISO 8601 times as well.
printf 'took\n10:20:30\n100:00:00.5\n' >"$work/t.csv"
printf '{"variables": [{"name": "took", "type": 0, "print_format": "TIME11.1"}]}' >"$work/t.json"
run import "$work/t.csv" "$work/t.vexa" --dict "$work/t.json"
"$vexa" cat "$work/t.vexa" | cmp -s "$work/t.csv" - || fail "times round trip: $("$vexa" cat "$work/t.vexa")"

# --date, --string and --delimiter override what the data suggests.
printf 'n\tcode\td\n1\t5\t2024-01-02\n' >"$work/tab.csv"
run import "$work/tab.csv" "$work/tab.vexa" --delimiter tab --string code
has 'code  *string(1)' <("$vexa" info "$work/tab.vexa") "--string and --delimiter tab"
printf 'n;d\n1;x\n' >"$work/semi.csv"
exits 1 "'x' is not an ISO 8601 date" import "$work/semi.csv" "$work/semi.vexa" --delimiter semicolon --date d
exits 2 'expected comma|semicolon|tab|pipe' import "$work/semi.csv" "$work/semi.vexa" --delimiter colon

# --- Output people can read -------------------------------------------------
printf 'n,amount,d\n1,1234.5,2024-03-01\n2,,\n' >"$work/o.csv"
printf '{"variables": [{"name": "n", "type": 0, "print_format": "F3.0"},
 {"name": "amount", "type": 0, "print_format": "DOLLAR10.2"}, {"name": "d", "type": 0, "print_format": "DATE11"}]}' >"$work/o.json"
run import "$work/o.csv" "$work/o.vexa" --dict "$work/o.json"
prints '{"n":1,"amount":1234.5,"d":"2024-03-01"}
{"n":2,"amount":null,"d":null}' cat --format ndjson "$work/o.vexa"
"$vexa" cat --format json "$work/o.vexa" | python3 -c 'import json,sys; d=json.load(sys.stdin); assert d[0]["d"] == "2024-03-01" and len(d) == 2' ||
  fail "cat --format json is one JSON array"
"$vexa" cat --format json --range 3: "$work/o.vexa" | python3 -c 'import json,sys; assert json.load(sys.stdin) == []' ||
  fail "cat --format json without rows"
prints $'n,amount,d\n1,"$1,234.50",2024-03-01' cat --formatted --range 1:1 "$work/o.vexa"

# --- Messy CSV: the values that the options make numbers and dates --------
printf 'id;income;share;price;born;seen\n1;1.234,56;12%%;$99,00;01.03.1980;3/1/2024 10:20\n2;N/A;5,5%%;-$1.000,50;-;\n' >"$work/eu.csv"
run import "$work/eu.csv" "$work/eu.vexa" --decimal comma --thousands . \
  --date-format %d.%m.%Y --datetime-format '%m/%d/%Y %H:%M'
prints 'id,income,share,price,born,seen
1,1234.56,12,99,1980-03-01,2024-03-01T10:20:00
2,,5.5,-1000.5,,' cat "$work/eu.vexa"
has '"compression": "bytecode"' <("$vexa" info --json "$work/eu.vexa") "import compresses by default"
printf 'd\n20240301\n' >"$work/compact.csv"
run import "$work/compact.csv" "$work/compact.vexa" --date d --date-format %Y%m%d
prints $'d\n2024-03-01' cat "$work/compact.vexa"
# A dictionary's PCT variable takes its numbers with or without the mark;
# an --na token stays missing; another mark is no number.
printf 'p\n12%%\n7\nn/a\n' >"$work/pct.csv"
printf '{"variables": [{"name": "p", "type": 0, "print_format": "PCT6.1"}]}' >"$work/pct.json"
run import "$work/pct.csv" "$work/pct.vexa" --dict "$work/pct.json"
[ "$("$vexa" cat --formatted "$work/pct.vexa" | tr '\n' ' ')" = 'p 12.0% 7.0%  ' ] ||
  fail "PCT from a dictionary: $("$vexa" cat --formatted "$work/pct.vexa")"
printf 'p\n$5\n' >"$work/dollar.csv"
exits 1 "is not a number with a '%'" import "$work/dollar.csv" "$work/dollar.vexa" --dict "$work/pct.json"
exits 2 'a pattern needs a year, a month and a day' import "$work/eu.csv" "$work/x.vexa" --date-format %d.%m
exits 2 'the same as the decimal mark' import "$work/eu.csv" "$work/x.vexa" --decimal comma --thousands comma

# --- --where: comparisons, all of which must hold; labels as values -------
printf 'id,region,s\n1,1,a\n2,2,b\n3,-99,x\n4,,c\n' >"$work/w.csv"
printf '%s' '{"variables": [{"name": "id", "type": 0}, {"name": "region", "type": 0,
 "value_labels": [{"value": 1, "label": "North"}, {"value": 2, "label": "South"},
 {"value": -99, "label": "Refused"}], "missing": {"code": 1, "values": [-99]}},
 {"name": "s", "type": 1, "missing": {"code": 1, "values": ["x"]}}]}' >"$work/w.json"
run import "$work/w.csv" "$work/w.vexa" --dict "$work/w.json"
# where_case IDS ARGS...: cat with ARGS prints the cases IDS (space-separated).
where_case() { local ids=$1; shift; prints "$(printf 'id\n%s' "${ids// /$'\n'}")" cat --vars id "$@" "$work/w.vexa"; }
where_case '2 ' --where region=2
where_case '1 3 4 ' --where 'region!=2'
where_case '1 2 ' --where 'region>=1' --where 'region<=2'
where_case '3 ' --where 'region<1'
where_case '4 ' --where 'region='
where_case '1 2 3 ' --where 'region!='
where_case '1 ' --labels --where region=North
where_case '3 ' --labels --where region=Refused
where_case '2 4 ' --where 's>a' --where 's<x'
where_case '' --where region=2 --where id=1
for bad in n=x nope=1 region=North 'region<' '=1' 'id!1'; do
  expect 2 cat --where "$bad" "$work/w.vexa"
done
said "expected != after the name"

# --- --missing: user-missing values as values, blanks or labels -----------
prints $'id,region,s\n3,-99,x' cat --range 3:3 "$work/w.vexa"
prints $'id,region,s\n3,,' cat --range 3:3 --missing blank "$work/w.vexa"
prints '{"id":3,"region":null,"s":null}
{"id":4,"region":null,"s":"c"}' cat --range 3: --missing blank --format ndjson "$work/w.vexa"
prints $'id,region,s\n1,1,a\n2,2,b\n3,Refused,x' cat --range 1:3 --missing label "$work/w.vexa"

# info: a header row, columns aligned by display width, labels on one line.
long_name=v$(printf 'x%.0s' $(seq 63))
printf '{"variables": [{"name": "%s", "type": 0, "label": "two\\nlines", "value_labels": [{"value": 1, "label": "one"}]},
 {"name": "caf\u00e9\u65e5\u672c", "type": 3, "missing": {"code": 1, "values": ["x"]}}]}' "$long_name" >"$work/wide.json"
printf '%s,caf\303\251\346\227\245\346\234\254\n1,a\n' "$long_name" >"$work/wide.csv"
run import "$work/wide.csv" "$work/wide.vexa" --dict "$work/wide.json"
"$vexa" info --labels "$work/wide.vexa" >"$work/wide.txt"
has '^  Name  *Type  *Print  *Write  *Measure  *Align  *Width  *Role  *Label$' "$work/wide.txt" "info has a header row"
has '"two lines"$' "$work/wide.txt" "a two-line label on one line"
has '^      1 = "one"$' "$work/wide.txt" "info --labels lists value labels"
has "^      missing 'x'$" "$work/wide.txt" "info --labels lists missing values"
# Every row's Type column starts at the same display column.
python3 - "$work/wide.txt" <<'PY' || fail "info columns aligned by display width"
import sys, unicodedata
def width(s): return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in s)
rows = [l.rstrip("\n") for l in open(sys.argv[1], encoding="utf-8") if l.startswith("  ") and ("numeric" in l or "string(" in l or "Type" in l)]
starts = {width(l[:l.index(w)]) for l in rows for w in ("Type", "numeric", "string(") if w in l}
sys.exit(0 if len(rows) == 3 and len(starts) == 1 else 1)
PY
has '"created": "[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]"' <("$vexa" info --json "$work/wide.vexa") \
  "info --json gives the creation time in ISO 8601"

finish
