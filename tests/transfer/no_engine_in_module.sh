#!/bin/sh
# Fails when the transfer module holds any of the engine: a symbol of ours that the engine
# library defines too, or any symbol naming the engine class.
# Usage: no_engine_in_module.sh <kolvane-transfer.so> <libkolvane_engine.a>
set -eu
export LC_ALL=C
ours() {  # the named (not file-local) symbols of ours that $1 defines
    nm -C --defined-only "$1" | sed -n 's/^[0-9a-fA-F]* [A-Za-z] //p' | grep 'kolvane::' |
        grep -v '(anonymous namespace)' | sort -u
}
ours "$2" >"${TMPDIR:-/tmp}/engine-symbols.$$"
both=$(ours "$1" | comm -12 - "${TMPDIR:-/tmp}/engine-symbols.$$")
rm -f "${TMPDIR:-/tmp}/engine-symbols.$$"
named=$(nm -C "$1" | grep 'CKolvaneEngine' || true)
if [ -n "$both$named" ]; then
    printf '%s holds engine symbols:\n%s\n%s\n' "$1" "$both" "$named" >&2
    exit 1
fi
echo "$1: no engine symbol"
