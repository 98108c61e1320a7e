#!/usr/bin/env bash
# Builds Quillbox 97 into build/ (or $QUILLBOX_BUILD_DIR) and packs it as a Debian package there.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBOX_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
cd "$build"
cpack -G DEB
