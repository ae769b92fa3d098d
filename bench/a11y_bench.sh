#!/usr/bin/env bash
# What a screen reader costs the log window: an 8000-line run of the desktop program with no
# accessibility client, with one that follows and drains the events a screen reader follows
# (bench/a11y_client.py drain), and with one that registers for them and never reads (stall).
# The window's second run is timed by the program itself from its first log line to its last
# (KOLVANE_TIMING); the peak memory is read from /proc after it. Medians of -n runs (default 5).
#
#   bench/a11y_bench.sh [-n RUNS] [-l LINES]
# Needs build/bin/kolvane, Xvfb, dbus-run-session, at-spi2-core and python3-pyatspi.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs=5
lines=8000
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    -l) lines="$2"; shift 2 ;;
    *) sed -n '2,10p' "$0"; exit 64 ;;
  esac
done

if [ "${1:-}" != "--inner" ] && [ -z "${KOLVANE_A11Y_INNER:-}" ]; then
  tmp="$(mktemp -d /tmp/kolvane-a11y-bench.XXXXXX)"
  read -r display < <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null & echo "$!" >"$tmp/xvfb.pid")
  cleanup() { kill "$(cat "$tmp/xvfb.pid")" 2>/dev/null || true; rm -rf "$tmp"; }
  trap cleanup EXIT
  mkdir -p "$tmp/home/run" && chmod 700 "$tmp/home/run"
  env -u NO_AT_BRIDGE -u GTK_MODULES -u DBUS_SESSION_BUS_ADDRESS -u AT_SPI_BUS_ADDRESS \
    DISPLAY=":$display" HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/home/run" GSETTINGS_BACKEND=memory \
    KOLVANE_TIMING=1 KOLVANE_A11Y_INNER="$tmp" \
    dbus-run-session -- "$0" -n "$runs" -l "$lines" 2> >(grep -v '^dbus-daemon\|SpiRegistry' >&2)
  exit
fi

tmp="$KOLVANE_A11Y_INNER"
work="$tmp/work"
mkdir -p "$work/s" "$work/out"
printf 'line one\nline two\n' >"$work/s/d"
printf '<p>page</p>\n' >"$work/t.htm"
{
  printf '&command:\nTemplateFile Name = t.htm\nTemplateFile Path = .\nOutputFile Name = o.htm\n'
  printf 'OutputFile Path = out\nErrorLogFile Name = e.log\nErrorLogFile Path = out\n'
  printf 'ReSchedule Interval= 10\n\n'
  for ((i = 1; i <= lines; i++)); do printf '&ScanFile%d:\nScanFile Name=d\nScanFile Path=s\n\n' "$i"; done
} >"$work/r.rul"

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
  print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One measurement: the window's second run, when a client has had ten seconds to look at the
# window as a screen reader does (the first runs while the window appears); prints
# "<milliseconds> <peak kB>".
timings() { sed -n 's/^kolvane-timing: \([0-9.]*\) ms$/\1/p' "$tmp/run.err"; }
one_run() {
  "$root/build/bin/kolvane" "$work/r.rul" >/dev/null 2>"$tmp/run.err" &
  local pid=$! peak
  for _ in $(seq 1200); do [ "$(timings | wc -l)" -ge 2 ] && break; sleep 0.1; done
  peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "$(timings | sed -n 2p) $peak"
}

for mode in ${KOLVANE_A11Y_MODES:-none drain stall}; do
  client=""
  if [ "$mode" != none ]; then
    /usr/bin/python3 "$root/bench/a11y_client.py" "$mode" >"$tmp/client.out" 2>"$tmp/client.err" &
    client=$!
    for _ in $(seq 100); do grep -q ready "$tmp/client.out" 2>/dev/null && break; sleep 0.1; done
  fi
  times=() peaks=()
  for ((i = 0; i < runs; i++)); do
    read -r ms kb < <(one_run)
    times+=("$ms") peaks+=("$kb")
  done
  if [ -n "$client" ]; then
    kill "$client" 2>/dev/null || true
    wait "$client" 2>/dev/null || true
    grep events "$tmp/client.err" || true
  fi
  printf '%-6s %d lines: median %8.1f ms   peak memory median %6d MB   [%s]\n' "$mode" \
    "$lines" "$(median "${times[@]}")" "$(($(median "${peaks[@]}") / 1024))" "${times[*]}"
done
