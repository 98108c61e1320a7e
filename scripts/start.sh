#!/usr/bin/env bash
# Builds Quillbox 97 and starts it. Its data directory is its working directory:
# ~/Quillbox by default, or the folder named in QUILLBOX_DATA. Created when missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The editor shows a ciphertext's control bytes as Unicode Control Pictures; this font has them.
bash "$root/scripts/install-deps.sh" fonts-freefont-ttf
bash "$root/scripts/build.sh" quillbox

data=${QUILLBOX_DATA:-$HOME/Quillbox}
mkdir -p "$data"

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
    echo "No display: run it under a virtual X server (apt-get install xvfb; xvfb-run -a bash scripts/start.sh)" \
         "or through Qt's VNC platform (QT_QPA_PLATFORM=vnc bash scripts/start.sh, then connect a VNC viewer to port 5900)." >&2
    exit 1
fi

cd "$data"
exec "${QUILLBOX_BUILD_DIR:-$root/build}/app/quillbox"
