#!/bin/bash
# Runs every test program of both configurations, then the release programs a
# second time with the collector collecting at every allocation, and prints a
# one-line summary. Exits non-zero when anything failed.
build=${1:-build}
passed=0; failed=0; bad_runs=()
run_pass() {  # label, config, env...
  local label=$1 config=$2; shift 2
  for t in "$build/$config"/test-*; do
    [ -x "$t" ] || continue
    local out rc
    out=$(env "$@" "$t" --gtest_brief=1 2>&1); rc=$?
    local p f
    p=$(grep -oP '^\[  PASSED  \] \K[0-9]+' <<<"$out" | tail -1)
    f=$(grep -oP '^\[  FAILED  \] \K[0-9]+(?= tests?, listed)' <<<"$out" | tail -1)
    passed=$((passed + ${p:-0})); failed=$((failed + ${f:-0}))
    if [ $rc -ne 0 ]; then
      bad_runs+=("$label $(basename "$t")")
      echo "$out" | tail -40
      [ -z "$f" ] && failed=$((failed + 1))
    fi
  done
}
run_pass release Release
run_pass sanitize Sanitize ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
run_pass gc-stress Release KEL_GC_STRESS=1
echo "tests: $passed passed, $failed failed${bad_runs:+ (failing runs: ${bad_runs[*]})}"
[ $failed -eq 0 ] && [ ${#bad_runs[@]} -eq 0 ]
