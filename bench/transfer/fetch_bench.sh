#!/usr/bin/env bash
# Fetching 20 scan files of 480000 bytes from local nginx and pyftpdlib: the transfer library
# against one invocation of the curl tool for the same 20 URLs, by HTTP and by FTP, with the
# ratio of the best of [rounds] (default 5) runs of each. Builds bench_transfer into build/
# (or $KOLVANE_BUILD_DIR) first; needs the packages of scripts/setup.
#
#   fetch_bench.sh [--no-fsync] [rounds]
#
# A fetched file is synced to disk before it replaces the old copy, which curl does not do; on
# a busy disk that sync is most of the difference. --no-fsync runs the same bench with fsync
# made a no-op (an LD_PRELOAD shim built on the fly) to show the transfer alone.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KOLVANE_BUILD_DIR:-$top/build}
preload=""
if [ "${1:-}" = "--no-fsync" ]; then
  shift
  shim=$(mktemp -d)
  trap 'rm -rf "$shim"' EXIT
  printf 'int fsync(int fd) { (void)fd; return 0; }\nint fdatasync(int fd) { (void)fd; return 0; }\n' \
    >"$shim/nosync.c"
  cc -shared -fPIC -o "$shim/nosync.so" "$shim/nosync.c"
  preload="$shim/nosync.so"
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" -j2 --target bench_transfer >/dev/null
LD_PRELOAD="$preload" "$build/bin/bench_transfer" "${1:-5}"
