#!/usr/bin/env bash
# Builds the benchmarks in build/ (or $QUILLBOX_BUILD_DIR) and runs them: the cipher on a large message against a
# plain exclusive-or pass; Encrypt through the real main window (offscreen) against the scripted view, and File > Open
# of a large message against the editor widget's own setPlainText, with its peak memory; then quillbox-cli. Ends with
# one line of every ratio, to compare from run to run.
# Usage: bench.sh [message MiB (64)] [runs (5)]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBOX_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quillbox_bench quillbox_window_bench --parallel "$(nproc)"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$build/bench/quillbox_bench" "$@" | tee "$log"
echo
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/app/quillbox_window_bench" | tee -a "$log"
echo
cmake --build "$build" --target quillbox_cli_bench --parallel "$(nproc)"
"$build/bench/quillbox_cli_bench" | tee -a "$log"

# Each benchmark prints its own "... ratios:" line; the summary takes every value from them, in a fixed order.
ratio() { grep -o " $1=[^ ]*" "$log" | tail -1 | cut -d= -f2 || echo "?"; }
echo
echo "ratios: encrypt=$(ratio encrypt) decrypt=$(ratio decrypt) decrypt_memory=$(ratio decrypt_memory)" \
    "window_1mib=$(ratio window_1mib) window_10mib=$(ratio window_10mib) window_line=$(ratio window_line)" \
    "open_50mib=$(ratio open_50mib) open_bytes_per_byte=$(ratio open_bytes_per_byte) scaling=$(ratio scaling)" \
    "cli_encrypt=$(ratio cli_encrypt) cli_armor=$(ratio cli_armor) cli_armor_decrypt=$(ratio cli_armor_decrypt)" \
    "cli_decrypt=$(ratio cli_decrypt)"
