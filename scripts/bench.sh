#!/usr/bin/env bash
# Builds the benchmarks in build/ (or $QUILLBOX_BUILD_DIR) and runs them: the cipher on a large message against a
# plain exclusive-or pass; the window's commands (offscreen) against their floor (the scripted view plus a bare editor
# showing the same text), typing, memory, a large recipient list and File > Open; the start-up against a bare Qt
# window; then quillbox-cli. Ends with one line of every ratio, to compare from run to run.
# Usage: bench.sh [message MiB (64)] [runs (5)]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBOX_BUILD_DIR:-$root/build}
# libb64 only joins the benchmark's comparison of base64 codecs; age is what strong messages are measured against.
bash "$root/scripts/install-deps.sh" libb64-dev age
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quillbox_bench quillbox_window_bench quillbox_startup_bench --parallel "$(nproc)"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$build/bench/quillbox_bench" "$@" | tee "$log"
echo
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/app/quillbox_window_bench" | tee -a "$log"
echo
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/app/quillbox_startup_bench" | tee -a "$log"
echo
cmake --build "$build" --target quillbox_cli_bench --parallel "$(nproc)"
"$build/bench/quillbox_cli_bench" | tee -a "$log"

# Each benchmark prints its own "... ratios:" line; the summary takes every value from them, in a fixed order.
ratio() { grep -o " $1=[^ ]*" "$log" | tail -1 | cut -d= -f2 || echo "?"; }
echo
echo "ratios: encrypt=$(ratio encrypt) decrypt=$(ratio decrypt) decrypt_memory=$(ratio decrypt_memory)" \
    "window_mail_encrypt=$(ratio window_mail_encrypt) window_mail_decrypt=$(ratio window_mail_decrypt)" \
    "window_1mib=$(ratio window_1mib) window_1mib_decrypt=$(ratio window_1mib_decrypt)" \
    "window_10mib=$(ratio window_10mib) window_10mib_decrypt=$(ratio window_10mib_decrypt)" \
    "window_line=$(ratio window_line) window_line_decrypt=$(ratio window_line_decrypt)" \
    "typing_p99=$(ratio typing_p99) encrypt_bytes_per_byte=$(ratio encrypt_bytes_per_byte)" \
    "startup=$(ratio startup) startup_main=$(ratio startup_main) list_1m=$(ratio list_1m) list_1m_add=$(ratio list_1m_add)" \
    "open_50mib=$(ratio open_50mib) open_bytes_per_byte=$(ratio open_bytes_per_byte) scaling=$(ratio scaling)" \
    "cli_encrypt=$(ratio cli_encrypt) cli_armor=$(ratio cli_armor) cli_armor_decrypt=$(ratio cli_armor_decrypt)" \
    "cli_decrypt=$(ratio cli_decrypt) cli_strong_encrypt=$(ratio cli_strong_encrypt)" \
    "cli_strong_decrypt=$(ratio cli_strong_decrypt) window_mail_strong_encrypt=$(ratio window_mail_strong_encrypt)" \
    "window_mail_strong_decrypt=$(ratio window_mail_strong_decrypt)"
