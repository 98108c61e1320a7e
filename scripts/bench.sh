#!/usr/bin/env bash
# Builds the benchmark in build/ (or $QUILLBOX_BUILD_DIR) and runs it.
# Usage: bench.sh [message MiB (64)] [runs (5)]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBOX_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quillbox_bench --parallel "$(nproc)"
exec "$build/bench/quillbox_bench" "$@"
