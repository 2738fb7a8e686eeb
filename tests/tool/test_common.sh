# Sourced by the tool's end-to-end scripts after setting `vexa`: a scratch
# directory removed at exit, a failure counter and the helpers around it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Runs the tool; stops the script when it fails.
run() { "$vexa" "$@" 2>"$work/stderr" || { echo "FAIL: vexa $*: $(cat "$work/stderr")"; exit 1; }; }
# expect STATUS ARGS...: the tool exits with STATUS and, when it fails, says
# one line on stderr ($work/err); its output goes to $work/stdout.
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
# exits STATUS TEXT ARGS...: as expect, and the tool says TEXT on stderr.
exits() { local status=$1 text=$2; shift 2; expect "$status" "$@"; said "$text"; }
# has PATTERN FILE WHAT: a line of FILE matches PATTERN, or WHAT fails.
has() { grep -q -- "$1" "$2" || fail "$3"; }
# prints WANT ARGS...: the tool's output for ARGS is WANT (less trailing newlines).
prints() { local want=$1 got; shift; got=$("$vexa" "$@" 2>"$work/err"); [ "$got" = "$want" ] || fail "vexa $*: '$got'"; }
# mode_is FILE MODE: the file's permission bits.
mode_is() { [ "$(stat -c %a "$1")" = "$2" ] || fail "$1 has mode $(stat -c %a "$1"), wanted $2"; }
# Ends the script with the verdict.
finish() {
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "all checks passed"
}
