#!/usr/bin/env bash
# The desktop program against the headless runner, side by side, under a private Xvfb:
#   1. workload W1 in a log window against kolvane-run, each timed by the program itself from
#      its first log line to its last (KOLVANE_TIMING), alternating, medians and their ratio;
#   2. the time from start to the first painted log line of the example;
#   3. the processor time of a countdown over 60 seconds (a rule with a long interval);
#   4. the log list appending 128000 lines with a pump every 1000 (log_list_bench).
#
#   bench/desktop_bench.sh [-n RUNS] [-d W1DIR] [--no-countdown]
# Needs a build (build/bin/kolvane, kolvane-run, gen_workload, log_list_bench) and Xvfb.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="$root/build/bin"
runs=7
dir="${KOLVANE_W1_DIR:-/tmp/kolvane-w1}"
countdown=1
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    -d) dir="$2"; shift 2 ;;
    --no-countdown) countdown=0; shift ;;
    *) sed -n '2,10p' "$0"; exit 64 ;;
  esac
done

tmp="$(mktemp -d /tmp/kolvane-desktop-bench.XXXXXX)"
display=$((200 + RANDOM % 500))
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$tmp"; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display" HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/home/run" NO_AT_BRIDGE=1
export GSETTINGS_BACKEND=memory KOLVANE_TIMING=1
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

[ -f "$dir/w1.rul" ] || "$bin/gen_workload" W1 "$dir" >/dev/null
timing() { sed -n 's/^kolvane-timing: \([0-9.]*\) ms$/\1/p' "$1" | tail -1; }
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
  print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# 1. W1 in both programs, alternating (one warm-up each).
"$bin/kolvane-run" --once "$dir/w1.rul" >/dev/null 2>&1 || true
"$bin/kolvane" "$dir/w1.rul" >/dev/null 2>&1 || true
gui=() cli=()
for ((i = 0; i < runs; i++)); do
  "$bin/kolvane-run" --once "$dir/w1.rul" >/dev/null 2>"$tmp/cli.err" || true
  cli+=("$(timing "$tmp/cli.err")")
  "$bin/kolvane" "$dir/w1.rul" >/dev/null 2>"$tmp/gui.err" || true
  gui+=("$(timing "$tmp/gui.err")")
done
g=$(median "${gui[@]}") c=$(median "${cli[@]}")
echo "W1, first log line to last, median of $runs:"
echo "  kolvane (log window): $g ms   [${gui[*]}]"
echo "  kolvane-run:          $c ms   [${cli[*]}]"
awk -v g="$g" -v c="$c" 'BEGIN { printf "  ratio: %.2fx (aim <= 1.0x)\n", g / c }'

# 2. Start to the first painted log line of the example (the program notes it).
cd "$root/examples"
firsts=()
for ((i = 0; i < 5; i++)); do
  "$bin/kolvane" report.rul >/dev/null 2>"$tmp/first.err" || true
  firsts+=("$(sed -n 's/^kolvane-timing: first log line painted \([0-9.]*\) ms after start$/\1/p' \
    "$tmp/first.err")")
done
echo "example: first log line painted after start, median of 5: $(median "${firsts[@]}") ms"

# 3. A countdown's processor time over 60 s.
if [ "$countdown" -eq 1 ]; then
  sed 's/^ErrorLogFile Path = .*/&\nReschedule Interval = 1h/' "$root/examples/report.rul" \
    >"$root/examples/countdown-bench.rul"
  "$bin/kolvane" "$root/examples/countdown-bench.rul" >/dev/null 2>&1 &
  pid=$!
  sleep 3
  ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
  t0=$(ticks)
  sleep 60
  t1=$(ticks)
  kill "$pid"
  rm -f "$root/examples/countdown-bench.rul"
  hz=$(getconf CLK_TCK)
  awk -v a="$t0" -v b="$t1" -v hz="$hz" 'BEGIN {
    printf "countdown: %.2f s of processor time over 60 s = %.2f%% of one core (aim < 1%%)\n",
           (b - a) / hz, 100 * (b - a) / hz / 60 }'
fi

# 4. The log list.
"$bin/log_list_bench"
