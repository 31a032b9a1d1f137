#!/bin/sh
# Times kel against CPython (Debian's /usr/bin/python3, never a version
# manager's shim that may come first on PATH) and lua5.4 on the same
# programs with hyperfine, all in one run, and prints the medians, the
# ratios Kel/CPython and Kel/Lua per program and their geometric means.
# Run by hand (not by `make test`) from the repository root after a build:
#
#     bench/compare/run.sh [path/to/kel [path/to/source-path kel]]
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

# The start-up split of kel on the empty script, as kel itself measures it
# (KEL_BOOT_TIMES): runtime start, image decode, library evaluation, library
# lex (the source path's) and the texts still lexed, 51 runs, each part's
# best and median; the whole process's best and median against CPython's
# from the start-up row above (same run). The machine may be shared: the
# best of the runs is the figure least disturbed by other load. With a
# second executable built with KEL_BOOT_SOURCE=ON the source path's split
# is printed too (its library lex is the lexing the image saves).
#
#     bench/compare/run.sh build/Release/kel build-source/Release/kel
split() {
  : >"$work/split-$1"
  for i in $(seq 51); do KEL_BOOT_TIMES=1 "$2" "$here/empty.kel" 2>>"$work/split-$1" >/dev/null; done
  "$python" - "$work/split-$1" "$1" "$work/empty.json" <<'EOF2'
import json, os, re, statistics, sys
names = ["runtime start", "image decode", "library evaluation", "library lex"]
rows = []
for line in open(sys.argv[1]):
    fields = (re.match(r"(.+?) ([0-9.]+)(?: ms)?$", part) for part in line.strip().split(", "))
    got = dict((m.group(1), float(m.group(2))) for m in fields if m)
    if all(n in got for n in names):
        rows.append(got)
if not rows:
    sys.exit(print("kel start-up split (%s): no KEL_BOOT_TIMES line" % sys.argv[2]))
parts = ", ".join("%s %.2f / %.2f ms" % (n, min(r[n] for r in rows), statistics.median(r[n] for r in rows)) for n in names)
print("kel start-up split, %s path (best / median of %d): %s, texts lexed %d"
      % (sys.argv[2], len(rows), parts, max(r.get("texts lexed", 0) for r in rows)))
if sys.argv[2] == "image" and os.path.exists(sys.argv[3]):
    kel, py = json.load(open(sys.argv[3]))["results"][:2]
    print("kel start-up process: best %.1f ms, median %.1f ms; CPython best %.1f ms, median %.1f ms; "
          "kel/CPython best %.2fx, median %.2fx (target at most 0.33x)"
          % (kel["min"] * 1e3, kel["median"] * 1e3, py["min"] * 1e3, py["median"] * 1e3,
             kel["min"] / py["min"], kel["median"] / py["median"]))
EOF2
}
split image "$kel"
[ -n "$2" ] && [ -x "$2" ] && split source "$2"

if [ -s "$work/ratios" ]; then
  "$python" - "$work/ratios" <<'EOF'
import math, sys
pairs = [tuple(map(float, line.split())) for line in open(sys.argv[1])]
geo = lambda xs: math.exp(sum(math.log(x) for x in xs) / len(xs))
print("%-32s %12s %12s %12s %8.2fx %8.2fx" % ("geometric mean", "", "", "", geo([p[0] for p in pairs]), geo([p[1] for p in pairs])))
EOF
fi
