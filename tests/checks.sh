# Sourced by the shell-driven tests: one line per check, "ok" or "FAIL", and
# a count at the end that decides the exit status.
passed=0 failed=0
check() {  # check NAME COMMAND...: one assertion
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok   $name"
  else failed=$((failed + 1)); echo "FAIL $name"; fi
}
finish() { echo "$passed passed, $failed failed"; [ $failed -eq 0 ]; }
