# Sourced by the tool's end-to-end scripts after setting `vexa`: a scratch
# directory removed at exit, a failure counter and the helpers around it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Runs the tool; stops the script when it fails.
run() { "$vexa" "$@" 2>"$work/stderr" || { echo "FAIL: vexa $*: $(cat "$work/stderr")"; exit 1; }; }
# Ends the script with the verdict.
finish() {
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "all checks passed"
}
