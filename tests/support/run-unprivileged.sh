#!/bin/sh
# Runs the named cases of a GoogleTest binary as an unprivileged user when started as root, as CI is: root passes
# every permission check, so cases that check permissions only skip there. Started as anyone else, it runs them as
# that user. Fails unless exactly COUNT cases ran and passed, none skipped.
# Usage: run-unprivileged.sh BINARY FILTER COUNT
set -eu
binary=$1
filter=$2
count=$3

# A copy in a folder anyone can enter: the build tree may lie under a home only root can read.
work=$(mktemp -d /tmp/quillbox-unprivileged-XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$binary" "$work/tests"
chmod 755 "$work/tests"
cd "$work"

if [ "$(id -u)" -eq 0 ]; then
    set -- setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work" TMPDIR=/tmp
else
    set --
fi
status=0
output=$("$@" "$work/tests" --gtest_filter="$filter" 2>&1) || status=$?
printf '%s\n' "$output"

if [ "$status" -ne 0 ]; then
    echo "run-unprivileged: the cases failed (exit status $status)" >&2
    exit 1
fi
if printf '%s\n' "$output" | grep -qF '[  SKIPPED ]'; then
    echo "run-unprivileged: a case skipped" >&2
    exit 1
fi
if ! printf '%s\n' "$output" | grep -qxF "[  PASSED  ] $count tests."; then
    echo "run-unprivileged: expected $count cases to run and pass" >&2
    exit 1
fi
