#!/usr/bin/env bash
# Builds the benchmarks in build/ (or $QUILLBOX_BUILD_DIR) and runs them: the cipher on a large message against a
# plain streaming exclusive-or, then Encrypt through the real main window (offscreen) against the scripted view and
# File > Open of a large message against the editor widget's own setPlainText, with its peak memory.
# Usage: bench.sh [message MiB (64)] [runs (5)]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBOX_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quillbox_bench quillbox_window_bench --parallel "$(nproc)"
"$build/bench/quillbox_bench" "$@"
echo
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/app/quillbox_window_bench"
