#!/usr/bin/env bash
# Whole-process timing of workload W1: `kolvane-run --once DIR/w1.rul` against `cat` of the same
# input files (100 scan files and the template) to /dev/null, run side by side and alternating,
# with min/median/max of both, the ratio of the medians and the peak RSS of kolvane-run.
#
#   bench/run_w1.sh [options] [KOLVANE_RUN]
#     KOLVANE_RUN       the runner binary (default: build/bin/kolvane-run)
#     -n, --runs N      timed runs of each command (default 15)
#     -d, --dir DIR     the W1 tree (default: $KOLVANE_W1_DIR, else /tmp/kolvane-w1); generated
#                       with gen_workload when it is not complete
#     -g, --gen PATH    the gen_workload binary (default: build-bench/bin/gen_workload, else
#                       build/bin/gen_workload)
#     --callgrind       instead of timing: one run under valgrind's callgrind, then the top
#                       functions (exclusive and inclusive instruction counts)
#
# Needs /usr/bin/time (Debian package "time") and, for --callgrind, valgrind.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs=15
dir="${KOLVANE_W1_DIR:-/tmp/kolvane-w1}"
gen=""
bin=""
callgrind=0

usage() { sed -n '2,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
  case "$1" in
    -n|--runs) runs="$2"; shift 2 ;;
    -d|--dir) dir="$2"; shift 2 ;;
    -g|--gen) gen="$2"; shift 2 ;;
    --callgrind) callgrind=1; shift ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "run_w1: unknown option $1" >&2; usage >&2; exit 64 ;;
    *) bin="$1"; shift ;;
  esac
done
bin="${bin:-$root/build/bin/kolvane-run}"
case "$runs" in ''|*[!0-9]*|0) echo "run_w1: --runs needs a positive number" >&2; exit 64 ;; esac

if [ ! -x "$bin" ]; then
  echo "run_w1: no runner at $bin (build it first, or give its path)" >&2
  exit 2
fi
if [ ! -x /usr/bin/time ]; then
  echo "run_w1: /usr/bin/time is missing: apt-get install time" >&2
  exit 2
fi

# --- The workload -------------------------------------------------------------------------------
complete() {
  [ -f "$dir/w1.rul" ] && [ "$(stat -c %s "$dir/w1-page.htm" 2>/dev/null)" = 480000 ] || return 1
  local n
  n=$(find "$dir/scan" -maxdepth 1 -name 'data*.txt' -size 480000c 2>/dev/null | wc -l)
  [ "$n" -eq 100 ]
}
if ! complete; then
  if [ -z "$gen" ]; then
    for g in "$root/build-bench/bin/gen_workload" "$root/build/bin/gen_workload"; do
      if [ -x "$g" ]; then gen="$g"; break; fi
    done
  fi
  if [ -z "$gen" ] || [ ! -x "$gen" ]; then
    echo "run_w1: W1 is not in $dir and no gen_workload was found (give it with --gen)" >&2
    exit 2
  fi
  echo "run_w1: generating W1 in $dir"
  "$gen" W1 "$dir" >/dev/null
fi
dir="$(cd "$dir" && pwd)"
rule="$dir/w1.rul"
inputs=("$dir"/scan/data*.txt "$dir/w1-page.htm")

# --- Callgrind mode -----------------------------------------------------------------------------
if [ "$callgrind" -eq 1 ]; then
  if ! command -v valgrind >/dev/null || ! command -v callgrind_annotate >/dev/null; then
    echo "run_w1: valgrind is missing: apt-get install valgrind" >&2
    exit 2
  fi
  out="$(mktemp /tmp/kolvane-w1-callgrind.XXXXXX)"
  echo "run_w1: $bin --once $rule under callgrind"
  status=0
  valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" --once "$rule" \
    >/dev/null 2>"$out.stderr" || status=$?
  grep -E "Collected|refs" "$out.stderr" || true
  echo "run_w1: exit status $status; profile in $out"
  echo
  echo "== Top functions, exclusive instructions =="
  callgrind_annotate "$out" 2>/dev/null | sed -n '/^Ir/,$p' | grep -E '^ *[0-9,]+ ' | head -25
  echo
  echo "== Top functions, inclusive instructions =="
  callgrind_annotate --inclusive=yes "$out" 2>/dev/null | sed -n '/^Ir/,$p' |
    grep -E '^ *[0-9,]+ ' | head -40
  exit 0
fi

# --- Timed runs ---------------------------------------------------------------------------------
log="$(mktemp /tmp/kolvane-w1-run.XXXXXX)"
trap 'rm -f "$log" "$log.time"' EXIT

# A first run of each: page cache warm, and the runner must succeed.
status=0
"$bin" --once "$rule" >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "run_w1: kolvane-run exited with $status; its output:" >&2
  tail -20 "$log" >&2
  exit 1
fi
cat "${inputs[@]}" >/dev/null

# Bash's own clock, in microseconds: no process of its own runs between the timed commands (a
# `date` forked there still held the other processor when the timed command started).
run_times=()
cat_times=()
for ((i = 0; i < runs; i++)); do
  t0=${EPOCHREALTIME/[.,]/}
  "$bin" --once "$rule" >/dev/null 2>&1
  t1=${EPOCHREALTIME/[.,]/}
  cat "${inputs[@]}" >/dev/null
  t2=${EPOCHREALTIME/[.,]/}
  run_times+=($((t1 - t0)))
  cat_times+=($((t2 - t1)))
done

# Peak memory: three more runs under /usr/bin/time, the highest maximum resident set size.
rss=0
for ((i = 0; i < 3; i++)); do
  /usr/bin/time -f %M -o "$log.time" "$bin" --once "$rule" >/dev/null 2>&1
  r=$(tail -1 "$log.time")
  [ "$r" -gt "$rss" ] && rss=$r
done

stats() {  # microsecond values -> "min median max" in milliseconds
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
          printf "%.2f %.2f %.2f\n", v[1] / 1000, m / 1000, v[NR] / 1000 }'
}
read -r rmin rmed rmax <<<"$(stats "${run_times[@]}")"
read -r cmin cmed cmax <<<"$(stats "${cat_times[@]}")"
largest=$(stat -c %s "${inputs[@]}" | sort -n | tail -1)

echo "W1: $dir (${#inputs[@]} input files, $runs runs each, alternating)"
printf '  %-28s min %8.2f ms  median %8.2f ms  max %8.2f ms\n' "kolvane-run --once w1.rul" \
  "$rmin" "$rmed" "$rmax"
printf '  %-28s min %8.2f ms  median %8.2f ms  max %8.2f ms\n' "cat inputs > /dev/null" \
  "$cmin" "$cmed" "$cmax"
awk -v a="$rmed" -v b="$cmed" 'BEGIN { printf "  ratio of medians: %.2fx (aim <= 1.1x)\n", a / b }'
awk -v r="$rss" -v l="$largest" 'BEGIN {
  limit = 16 * 1024 + l / 1024
  printf "  peak RSS of kolvane-run: %d KiB (aim < 16 MiB + largest input = %.0f KiB): %s\n",
         r, limit, (r < limit) ? "met" : "MISSED" }'
