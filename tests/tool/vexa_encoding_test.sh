#!/usr/bin/env bash
# The tool and encodings: files written with --encoding record it, info and
# cat show them in UTF-8, and the encoding travels through info --json.
# Usage: vexa_encoding_test.sh VEXA
set -u
vexa=$1
. "$(dirname "$0")/test_common.sh"

printf 'name,city,n\nJos\303\251,Z\303\274rich \342\202\254,1\nAnn,Lyon,2\n' >"$work/in.csv"
run import "$work/in.csv" "$work/cp.vexa" --encoding windows-1252
run info "$work/cp.vexa" >"$work/cp.txt"
has '^Encoding:     windows-1252 (code page 1252), shown in UTF-8$' "$work/cp.txt" "info shows the encoding"
run cat "$work/cp.vexa" | tee "$work/cp.csv" | cmp -s "$work/in.csv" - || fail "cat gives the UTF-8 text back"
has 'converted from windows-1252 to UTF-8' "$work/stderr" "cat notes the conversion"
run info --json "$work/cp.vexa" >"$work/cp.json"
has '"encoding": "windows-1252",' "$work/cp.json" "info --json has the encoding"
has '"code_page": 1252,' "$work/cp.json" "info --json has the code page"

# The dictionary's encoding is the default of a re-import.
run import "$work/cp.csv" "$work/again.vexa" --dict "$work/cp.json"
has '"encoding": "windows-1252",' <(run info --json "$work/again.vexa") "a re-import keeps the encoding"
run cat "$work/again.vexa" | cmp -s "$work/in.csv" - || fail "a re-import keeps the texts"

run convert "$work/cp.vexa" "$work/u8.vexa" --encoding UTF-8
has '^Encoding:     UTF-8 (code page 65001)$' <(run info "$work/u8.vexa") "convert to UTF-8"
run cat "$work/u8.vexa" | cmp -s "$work/in.csv" - || fail "convert to UTF-8 keeps the texts"
[ ! -s "$work/stderr" ] || fail "no note for a UTF-8 file"
run convert "$work/u8.vexa" "$work/jp.vexa" --encoding EUC-JP
has '"code_page": null,' <(run info --json "$work/jp.vexa") "EUC-JP has no code page number"

expect 1 import "$work/in.csv" "$work/x.vexa" --encoding no-such-encoding
ls "$work" | grep -q '^x\.vexa' && fail "a failed import leaves no file"

finish
