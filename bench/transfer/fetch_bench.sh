#!/usr/bin/env bash
# Fetching 20 scan files of 480000 bytes from local nginx and pyftpdlib: the transfer library
# against one invocation of the curl tool for the same 20 URLs, by HTTP and by FTP, with the
# ratio of the best of [rounds] (default 5) runs of each. Builds bench_transfer into build/
# (or $KOLVANE_BUILD_DIR) first; needs the packages of scripts/setup.
#
#   fetch_bench.sh [rounds]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KOLVANE_BUILD_DIR:-$top/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" -j2 --target bench_transfer >/dev/null
"$build/bin/bench_transfer" "${1:-5}"
