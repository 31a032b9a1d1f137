#!/bin/bash
# Runs every test program of both configurations and the Kel scripts of
# tests/scripts with each configuration's kel, then the release programs a
# second time with the collector collecting at every allocation, and prints a
# one-line summary. The release pass runs the tests of each program twice in
# one process, each time in a shuffled order, so that a test depending on
# what another (or its own earlier run) left behind shows; its seed is
# printed and KEL_TEST_SEED=<seed> replays that order. A test program that
# runs past PROGRAM_LIMIT seconds, or a script past SCRIPT_LIMIT, is stopped
# and fails, so one hang cannot stall the run (`timeout` runs it in a
# process group of its own, so standard input is /dev/null: a read of the
# terminal from there would stop it). Exits non-zero when anything
# failed, when a pass finds no test program, or when no test ran at all.
build=${1:-build}
seed=${KEL_TEST_SEED:-$((RANDOM % 99999 + 1))}
PROGRAM_LIMIT=600
SCRIPT_LIMIT=600
# Reports a status of `timeout` as the hang it is.
timed_out() { [ "$1" -eq 124 ] && echo "stopped after $2 s: $3"; }
passed=0; failed=0; bad_runs=()
# The runs of a pass go side by side, JOBS at a time (the machine's cores by
# default); each writes its output and its counts into a file of its own
# under $work, and the pass reads them back in the order the runs were
# started, so what it prints does not depend on which finished first.
JOBS=${JOBS:-$(nproc)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=0
# Starts `$@` in the background once fewer than JOBS runs are going.
start_run() {
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do wait -n; done
  runs=$((runs + 1))
  "$@" "$work/$runs" &
}
# One test program: its output, then a line "passed failed status label".
program_run() {  # label, program, flags, env..., record file
  local label=$1 t=$2 flags=$3; shift 3
  local record=${*: -1}; set -- "${@:1:$#-1}"
  local out rc p f
  out=$(timeout -k 10 "$PROGRAM_LIMIT" env "$@" "$t" --gtest_brief=1 $flags </dev/null 2>&1); rc=$?
  p=$(grep -oP '^\[  PASSED  \] \K[0-9]+' <<<"$out" | tail -1)
  f=$(grep -oP '^\[  FAILED  \] \K[0-9]+(?= tests?, listed)' <<<"$out" | tail -1)
  if [ $rc -ne 0 ]; then
    { echo "$out" | tail -40; timed_out $rc "$PROGRAM_LIMIT" "$label $(basename "$t")"; } >"$record.out"
    [ -z "$f" ] && f=$(( ${f:-0} + 1 ))
  fi
  echo "${p:-0} ${f:-0} $rc $label $(basename "$t")" >"$record.counts"
}
# One Kel script: its output (standard output and error) must be its .out
# file, its status 0. The view engine's scripts (tests/scripts/view) run on
# the recording platform (KEL_VIEW=record).
script_run() {  # label, kel, script, env..., record file
  local label=$1 kel=$2 s=$3; shift 3
  local record=${*: -1}; set -- "${@:1:$#-1}"
  local got rc want="${s%.kel}.out" platform=
  [ "$(basename "$(dirname "$s")")" = view ] && platform=KEL_VIEW=record
  got=$(cd "$(dirname "$s")" && timeout -k 10 "$SCRIPT_LIMIT" env "$@" $platform "$kel" "$(basename "$s")" </dev/null 2>&1); rc=$?
  if [ $rc -eq 0 ] && [ -f "$want" ] && [ "$got" = "$(cat "$want")" ]; then
    echo "1 0 0 $label script $(basename "$s")" >"$record.counts"
  else
    { echo "script $(basename "$s") ($label, status $rc):"
      timed_out $rc "$SCRIPT_LIMIT" "$label script $(basename "$s")"
      diff <(echo "$got") "$want" | head -20; } >"$record.out"
    echo "0 1 $rc $label script $(basename "$s")" >"$record.counts"
  fi
}
# Waits for the runs started, adds up their counts and prints the output of
# those that failed.
collect_runs() {
  wait
  local i p f rc name
  for ((i = 1; i <= runs; i++)); do
    read -r p f rc name <"$work/$i.counts" || { p=0; f=1; rc=1; name="run $i (no record)"; }
    passed=$((passed + p)); failed=$((failed + f))
    if [ "$rc" -ne 0 ] || [ "$f" -ne 0 ]; then
      bad_runs+=("$name")
      [ -f "$work/$i.out" ] && cat "$work/$i.out"
    fi
  done
  rm -f "$work"/*; runs=0
}
run_pass() {  # label, config, test flags, env...
  local label=$1 config=$2 flags=$3; shift 3
  local found=0
  for t in "$build/$config"/test-*; do
    [ -x "$t" ] || continue
    found=$((found + 1))
    start_run program_run "$label" "$t" "$flags" "$@"
  done
  local kel scripts
  kel=$(cd "$build/$config" 2>/dev/null && pwd)/kel
  scripts=$(cd "$(dirname "$0")/../tests/scripts" && pwd)
  if [ -x "$kel" ]; then
    for s in "$scripts"/*.kel "$scripts"/view/*.kel; do
      [ -f "$s" ] || continue
      start_run script_run "$label" "$kel" "$s" "$@"
    done
  fi
  collect_runs
  if [ $found -eq 0 ]; then
    echo "no test program in $build/$config for the $label pass"
    bad_runs+=("$label (no test program)")
  fi
}
# Random programs (tests/smoke/random-programs.kel) run by a pass's kel with a
# fixed seed and count; by hand any seed and count:
#   kel tests/smoke/random-programs.kel SEED COUNT
run_smoke() {  # label, config, seed, count, env...
  local label=$1 config=$2 smoke_seed=$3 count=$4; shift 4
  local kel dir out rc
  kel=$(cd "$build/$config" 2>/dev/null && pwd)/kel
  dir=$(cd "$(dirname "$0")/../tests/smoke" && pwd)
  [ -x "$kel" ] || return
  out=$(cd "$dir" && timeout -k 10 "$SCRIPT_LIMIT" env "$@" "$kel" random-programs.kel "$smoke_seed" "$count" </dev/null 2>&1); rc=$?
  if [ $rc -eq 0 ] && grep -qx "seed $smoke_seed count $count done" <<<"$out"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    bad_runs+=("$label random-programs $smoke_seed $count")
    echo "random programs, seed $smoke_seed, count $count ($label, status $rc):"
    echo "$out" | tail -20
  fi
}
run_pass release Release "--gtest_shuffle --gtest_repeat=2 --gtest_random_seed=$seed"
# The sanitizer pass checks for leaks too: memory still allocated and no
# longer reachable when a program or script ends fails it.
san_env=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1)
run_pass sanitize Sanitize "" "${san_env[@]}"
# Seed 1, 5000 programs: some seconds under the sanitizers.
run_smoke sanitize Sanitize 1 5000 "${san_env[@]}"
run_pass gc-stress Release "" KEL_GC_STRESS=1
echo "release pass shuffled with seed $seed (replay: KEL_TEST_SEED=$seed $0 $build)"
[ $((passed + failed)) -eq 0 ] && bad_runs+=("no test ran")
echo "tests: $passed passed, $failed failed${bad_runs:+ (failing runs: ${bad_runs[*]})}"
[ $failed -eq 0 ] && [ ${#bad_runs[@]} -eq 0 ]
