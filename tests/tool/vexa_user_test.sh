#!/usr/bin/env bash
# What a user of the tool may count on: output is never lost or left half
# written, pipes and "-" work, write errors are reported, and errors say in
# words what happened.
# Usage: vexa_user_test.sh VEXA
set -u
vexa=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { "$vexa" "$@" 2>"$work/stderr" || { echo "FAIL: vexa $*: $(cat "$work/stderr")"; exit 1; }; }
# expect STATUS ARGS...: the tool exits with STATUS and says one line on stderr.
expect() {
  local want=$1
  shift
  "$vexa" "$@" >"$work/stdout" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "vexa $* exited with $got, wanted $want: $(cat "$work/err")"
  [ "$want" -eq 0 ] || [ "$(wc -l <"$work/err")" -eq 1 ] ||
    fail "vexa $* printed $(wc -l <"$work/err") error lines"
}
said() { grep -q -- "$1" "$work/err" || fail "expected '$1' in: $(cat "$work/err")"; }
# No file of the tool's own is left in the directory.
no_leftovers() { ! ls -A "$1" | grep -q '^\.vexa' || fail "temporary files left in $1: $(ls -A "$1")"; }

printf 'id,name,score\n1,Ann,2.5\n2,Bob,\n3,"Lee, J",7\n' >"$work/in.csv"
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

expect 1 convert "$work/good.vexa" "$work/precious.vexa"
said 'the file exists (--force replaces it)'
expect 0 convert "$work/good.vexa" "$work/precious.vexa" --force --compression bytecode
"$vexa" info --json "$work/precious.vexa" | grep -q '"compression": "bytecode"' || fail "--force replaces"
expect 1 import "$work/in.csv" "$work/survey.json"
said 'does not end in .vexa'
[ ! -e "$work/survey.json" ] || fail "a refused output was written"
expect 0 import "$work/in.csv" "$work/data.sav" --force
mkfifo "$work/fifo"
expect 1 convert "$work/good.vexa" "$work/fifo" --force
said 'not a regular file'
expect 1 import "$work/in.csv" "$work" --force
said 'Is a directory'
expect 1 convert "$work/good.vexa" "$work/good.vexa" --force
said 'would overwrite the input'
# The new file gets the usual permissions, not those of a private temporary.
[ "$(stat -c %a "$work/precious.vexa")" = "$(stat -c %a "$work/in.csv")" ] ||
  fail "mode $(stat -c %a "$work/precious.vexa") of a written file"

# A killed import leaves neither the output nor its temporary file.
awk 'BEGIN { print "id,x,s"; for (i = 0; i < 3000000; i++) print i "," i * 0.5 ",text" i }' \
  >"$work/big.csv"
mkdir "$work/out"
"$vexa" import "$work/big.csv" "$work/out/big.vexa" 2>/dev/null &
pid=$!
# Wait until the file is being written, then stop the import.
for _ in $(seq 100); do ls -A "$work/out" | grep -q . && break; sleep 0.1; done
kill -TERM "$pid"
wait "$pid" 2>/dev/null
[ -z "$(ls -A "$work/out")" ] || fail "a killed import left $(ls -A "$work/out")"

# --- Pipes and "-" -----------------------------------------------------------
cat "$work/in.csv" | "$vexa" import - "$work/piped.vexa" 2>"$work/err" || fail "import from a pipe: $(cat "$work/err")"
"$vexa" cat "$work/piped.vexa" >"$work/piped.csv"
cmp -s "$work/in.csv" "$work/piped.csv" || fail "import from a pipe: $(cat "$work/piped.csv")"
"$vexa" import /dev/stdin "$work/stdin.vexa" <"$work/in.csv" 2>/dev/null
"$vexa" cat "$work/stdin.vexa" | cmp -s "$work/in.csv" - || fail "import from /dev/stdin"
"$vexa" info --json "$work/good.vexa" >"$work/dict.json"
"$vexa" import "$work/in.csv" "$work/d.vexa" --dict - <"$work/dict.json" 2>/dev/null ||
  fail "--dict - reads standard input"
"$vexa" cat - <"$work/good.vexa" | cmp -s "$work/in.csv" - || fail "cat - reads standard input"
cat "$work/good.vexa" | "$vexa" info --json - | grep -q '"case_count": 3' || fail "info - through a pipe"
cat "$work/good.vexa" | "$vexa" convert - "$work/conv.vexa" 2>/dev/null || fail "convert - through a pipe"

# --- Write errors and errors in words ------------------------------------------
if [ -w /dev/full ]; then
  "$vexa" cat "$work/good.vexa" >/dev/full 2>"$work/err"
  [ $? -eq 1 ] || fail "cat > /dev/full exits 1"
  said 'standard output: No space left on device'
  "$vexa" info --json "$work/good.vexa" >/dev/full 2>"$work/err"
  [ $? -eq 1 ] || fail "info --json > /dev/full exits 1"
fi
expect 1 cat "$work/absent.vexa"
said 'absent.vexa: No such file or directory'
expect 1 info "$work"
said 'Is a directory'
expect 1 info "$work/damaged.vexa"
said 'open failed: .*offset'
grep -q 'error [0-9]\{4\}' "$work/err" && fail "internal condition text: $(cat "$work/err")"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
