#!/bin/sh
# Times kel against CPython (Debian's /usr/bin/python3, never a version
# manager's shim that may come first on PATH) and lua5.4 on the same
# programs with hyperfine, all in one run, and prints the medians, the
# ratios Kel/CPython and Kel/Lua per program and their geometric means.
# Run by hand (not by `make test`) from the repository root after a build:
#
#     bench/compare/run.sh [path/to/kel]
#
# lua5.4 and hyperfine are installed from Debian when missing. A program
# whose Kel side cannot run yet (the executable does not run scripts) prints
# "not yet" and the runner goes on; the start-up row (kel starting the
# runtime with an empty script and exiting) always runs. After the programs,
# a row for the tools: `profile` against cProfile, and each tool's time over
# the same code run untraced.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
kel=${1:-$root/build/Release/kel}
python=/usr/bin/python3
lua=/usr/bin/lua5.4

"$root/tools/install-deps.sh" lua5.4 hyperfine python3
[ -x "$kel" ] || { echo "no kel executable at $kel (build first: make build)" >&2; exit 1; }

# Whether kel runs scripts yet: the probe prints "ready".
kel_runs=no
[ "$("$kel" "$here/probe.kel" 2>/dev/null)" = "ready" ] && kel_runs=yes

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rows="fib:recursive fib 30
sum:sum 1..10,000,000
while:while counting to 10,000,000
call:loop calling a func 1,000,000
strings:string of 1,000,000 numbers
sort:sort 1,000,000 integers
map:500,000 map inserts+lookups
foreach:foreach summing 1,000,000
reduce:reduce 10 values 1,000,000 times
pixels:pick and poke 1000x1000 image pixels
spawn:200 child processes run and waited for
empty:start-up (empty script)"

printf '%-32s %12s %12s %12s %9s %9s\n' program kel python3 lua5.4 kel/py kel/lua
echo "$rows" | while IFS=: read -r name title; do
  if [ "$name" != empty ] && [ "$kel_runs" = no ]; then
    printf '%-32s %12s\n' "$title" "not yet"
    continue
  fi
  hyperfine --shell=none --style none --warmup 1 --min-runs 5 --export-json "$work/$name.json" \
    "$kel $here/$name.kel" "$python $here/$name.py" "$lua $here/$name.lua" >/dev/null 2>&1 || {
    printf '%-32s %12s\n' "$title" "failed"
    continue
  }
  "$python" - "$work/$name.json" "$title" "$work/ratios" <<'EOF'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
kel, py, lua = (max(r["median"], 1e-9) for r in results)  # a median hyperfine rounds to 0
print("%-32s %9.1f ms %9.1f ms %9.1f ms %8.2fx %8.2fx" % (sys.argv[2], kel * 1e3, py * 1e3, lua * 1e3, kel / py, kel / lua))
with open(sys.argv[3], "a") as out:
    out.write("%r %r\n" % (kel / py, kel / lua))
EOF
done

# The tools: `profile` of recursive fib 20 against CPython's cProfile
# profiling the same, in one hyperfine run, each output checked first (the
# result and fib's 21891 calls); then the time of each tool over the same
# code run untraced, as kel measures it (tools-overhead.kel).
if [ "$kel_runs" = yes ]; then
  title="profile fib 20 (vs cProfile)"
  kel_out=$("$kel" "$here/profile-fib.kel" 2>&1 || true)
  py_out=$("$python" "$here/profile-fib.py" 2>&1 || true)
  if ! printf '%s\n' "$kel_out" | grep -q '^== 6765' ||
     ! printf '%s\n' "$kel_out" | grep -Eq '^#[0-9]+ +fib +\| 21891 ' ||
     ! printf '%s\n' "$py_out" | grep -q '21891/1'; then
    printf '%-32s %12s\n' "$title" "wrong output"
  elif hyperfine --shell=none --style none --warmup 1 --min-runs 5 --export-json "$work/profile.json" \
      "$kel $here/profile-fib.kel" "$python $here/profile-fib.py" >/dev/null 2>&1; then
    "$python" - "$work/profile.json" "$title" <<'EOF3'
import json, sys
kel, py = (max(r["median"], 1e-9) for r in json.load(open(sys.argv[1]))["results"])
print("%-32s %9.1f ms %9.1f ms %12s %8.2fx %9s" % (sys.argv[2], kel * 1e3, py * 1e3, "-", kel / py, "-"))
EOF3
  else
    printf '%-32s %12s\n' "$title" "failed"
  fi
  "$kel" "$here/tools-overhead.kel" || echo "kel tools overhead: failed"
fi

# The start-up split of kel on the empty script: the median of 51 runs of
# each part (runtime start, library lex, library evaluation), as kel itself
# measures them (KEL_BOOT_TIMES).
for i in $(seq 51); do KEL_BOOT_TIMES=1 "$kel" "$here/empty.kel" 2>>"$work/split" >/dev/null; done
"$python" - "$work/split" <<'EOF2'
import re, statistics, sys
rows = [list(map(float, re.findall(r"([0-9.]+) ms", line))) for line in open(sys.argv[1]) if "ms" in line]
parts = [statistics.median(col) for col in zip(*rows)]
print("kel start-up split (median of %d): runtime start %.2f ms, library lex %.2f ms, library evaluation %.2f ms"
      % (len(rows), *parts))
EOF2

if [ -s "$work/ratios" ]; then
  "$python" - "$work/ratios" <<'EOF'
import math, sys
pairs = [tuple(map(float, line.split())) for line in open(sys.argv[1])]
geo = lambda xs: math.exp(sum(math.log(x) for x in xs) / len(xs))
print("%-32s %12s %12s %12s %8.2fx %8.2fx" % ("geometric mean", "", "", "", geo([p[0] for p in pairs]), geo([p[1] for p in pairs])))
EOF
fi
