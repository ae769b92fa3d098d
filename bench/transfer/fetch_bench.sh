#!/usr/bin/env bash
# Fetching 20 scan files of 480000 bytes from local nginx and pyftpdlib: the transfer library
# against one invocation of the curl tool for the same 20 URLs. Builds bench_transfer into
# build-transfer/ (or $KOLVANE_BUILD_DIR) when needed, then runs it ([rounds], default 5).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KOLVANE_BUILD_DIR:-$top/build-transfer}
if [ ! -x "$build/bin/bench_transfer" ]; then
  cmake -S "$top" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" -j2 --target bench_transfer
fi
"$build/bin/bench_transfer" "${1:-5}"
