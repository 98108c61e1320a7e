#!/usr/bin/env bash
# Builds Quillbox 97 and starts it. Its data directory is its working directory:
# ~/Quillbox by default, or the folder named in QUILLBOX_DATA. Created when missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Before installing and building, which take minutes, so that a missing display is said at once.
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
    echo "No display: run it under a virtual X server (apt-get install xvfb; xvfb-run -a bash scripts/start.sh)" \
         "or through Qt's VNC platform (QT_QPA_PLATFORM=vnc bash scripts/start.sh," \
         "then connect a VNC viewer to port 5900)." >&2
    exit 1
fi

data=${QUILLBOX_DATA:-$HOME/Quillbox}
# Only its owner may read it, as it holds the correspondents' keys; folders above it are left as usual.
# shellcheck disable=SC2174
if ! reason=$(mkdir -p -m 700 -- "$data" 2>&1) || [[ ! -x $data ]]; then
    echo "Cannot create the data directory $data (${reason##*: }); set QUILLBOX_DATA to a folder you can write to." >&2
    exit 1
fi

# The editor shows a ciphertext's control bytes as Unicode Control Pictures; this font has them.
bash "$root/scripts/install-deps.sh" fonts-freefont-ttf
bash "$root/scripts/build.sh" quillbox
cd -- "$data"
exec "${QUILLBOX_BUILD_DIR:-$root/build}/app/quillbox"
