#!/usr/bin/env bash
# Fetching 20 scan files of 480000 bytes over SFTP (local sshd) and over FTP with TLS, implicit
# and explicit (local pyftpdlib): the transfer library against one invocation of the curl tool
# for the same 20 URLs on the same servers, with the ratio of the best of [rounds] (default 5)
# runs of each. Builds bench_secure into build/ (or $KOLVANE_BUILD_DIR) first; needs the
# packages of scripts/setup.
#
#   secure_bench.sh [rounds]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KOLVANE_BUILD_DIR:-$top/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" -j2 --target bench_secure >/dev/null
"$build/bin/bench_secure" "${1:-5}"
