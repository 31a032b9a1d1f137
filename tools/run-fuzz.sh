#!/bin/bash
# Runs every fuzz target of a fuzz build for a bounded time from its committed
# seed corpus (fuzz/corpus/<name>/, read only: new inputs go to a scratch
# corpus in the build directory). The targets run side by side, each for the
# full time, each with its own log. A crash, hang or leak fails the run; the
# input that caused it is left in the build directory and belongs in the
# committed corpus once fixed, where the ordinary tests replay it. A time of
# 0 runs nothing (libFuzzer would read it as no limit).
build=${1:?fuzz build directory}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$seconds" = 0 ]; then
  echo "fuzzing skipped (no time given)"
  exit 0
fi
mkdir -p "$build/artifacts"
names=(); pids=()
for target in "$build"/fuzz-*; do
  [ -x "$target" ] || continue
  name=${target##*/fuzz-}
  seeds="$root/fuzz/corpus/$name"
  work="$build/corpus-$name"
  mkdir -p "$work"
  # Inputs are at most 4096 bytes, or the largest seed: libFuzzer cuts a
  # longer seed (the kelbin target's boot image) to the limit.
  max_len=$(find "$work" "$seeds" -type f -printf '%s\n' 2>/dev/null | sort -n | tail -1)
  [ "${max_len:-0}" -gt 4096 ] || max_len=4096
  echo "fuzzing $name for ${seconds}s"
  "$target" "$work" "$seeds" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len="$max_len" \
    -artifact_prefix="$build/artifacts/$name-" -print_final_stats=0 >"$build/fuzz-$name.log" 2>&1 &
  names+=("$name"); pids+=($!)
done
if [ ${#names[@]} -eq 0 ]; then
  echo "no fuzz target in $build"
  exit 1
fi
status=0
for i in "${!names[@]}"; do
  name=${names[$i]}
  if ! wait "${pids[$i]}"; then
    tail -40 "$build/fuzz-$name.log"
    echo "fuzz target $name failed: the input is in $build/artifacts/ (add it to fuzz/corpus/$name once fixed)"
    status=1
  else
    echo "$name: $(grep -E "^(#[0-9]+ *DONE|Done)" "$build/fuzz-$name.log" | tail -1)"
  fi
done
exit $status
