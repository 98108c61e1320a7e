#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: install-deps.sh [extra-package ...]
set -euo pipefail

# Qt's private headers let the editor read its document's characters where Qt keeps them. The last line is for the
# packaging checks: the validators and lintian, dpkg-shlibdeps for the .deb's Depends, file, which both cpack and the
# checks use to read binaries and icons, and man-db, which renders the manual pages to find their mistakes.
packages=(cmake g++ make qt6-base-dev qt6-base-private-dev qt6-qpa-plugins libgtest-dev libsodium-dev libssl-dev
          pkg-config desktop-file-utils appstream lintian dpkg-dev file man-db "$@")
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing missing packages: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "Run this as root (or install them yourself): apt-get install ${missing[*]}" >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
