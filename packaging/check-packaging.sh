#!/usr/bin/env bash
# Packaging checks that ctest runs against a built tree.
#   install:  a DESTDIR install has every file where desktops look for it, and the menu entry and AppStream
#             metadata pass Debian's validators and name each other, the launcher and the icons consistently;
#             quillbox-cli and its manual page are on the PATH and MANPATH, the manual pages render without a
#             mistake and describe every command and option, and the bash completion completes them and the names
#             of the correspondents.
#   deb:      cpack makes a .deb with those files whose Depends carry Qt and the run-time-only packages, and lintian
#             finds no error and no warning in it.
#   launcher: the installed launcher makes and enters the data directory, and refuses in one line when it cannot,
#             showing that line in a box too when no terminal shows it.
# Usage: check-packaging.sh install|deb|launcher BUILD_DIR APP_ID ICON_SIZE...   (CMAKE and CPACK name the tools)
set -euo pipefail

check=$1 build=$2 id=$3
sizes=("${@:4}")
cmake=${CMAKE:-cmake} cpack=${CPACK:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Installs the build into $1 as a package would put it under /usr.
stage() {
    DESTDIR=$1 "$cmake" --install "$build" --prefix /usr >"$work/install.log" || {
        cat "$work/install.log" >&2
        exit 1
    }
}

# The files a package must hold, relative to /.
expected_files() {
    echo usr/bin/quillbox
    echo usr/bin/quillbox-cli
    echo usr/libexec/quillbox/quillbox
    echo usr/share/man/man1/quillbox-cli.1.gz
    echo usr/share/man/man1/quillbox.1.gz
    echo usr/share/bash-completion/completions/quillbox-cli
    echo usr/share/doc/quillbox/copyright
    echo usr/share/doc/quillbox/changelog.gz
    echo usr/share/doc/quillbox/README.md
    echo "usr/share/applications/$id.desktop"
    echo "usr/share/metainfo/$id.metainfo.xml"
    echo "usr/share/icons/hicolor/scalable/apps/$id.svg"
    for size in "${sizes[@]}"; do
        echo "usr/share/icons/hicolor/${size}x$size/apps/$id.png"
    done
}

check_install() {
    local root=$work/stage
    stage "$root"
    while read -r path; do
        [[ -f $root/$path ]] || fail "not installed: /$path"
    done < <(expected_files)

    [[ -x $root/usr/bin/quillbox ]] || fail "the launcher is not executable"
    file -b "$root/usr/libexec/quillbox/quillbox" | grep -q '^ELF .* executable' ||
        fail "the program is not an executable: $(file -b "$root/usr/libexec/quillbox/quillbox")"
    file -b "$root/usr/bin/quillbox-cli" | grep -q '^ELF .* executable' ||
        fail "quillbox-cli is not an executable: $(file -b "$root/usr/bin/quillbox-cli")"
    [[ $("$root/usr/bin/quillbox-cli" --version) == "quillbox-cli "* ]] || fail "quillbox-cli --version does not run"
    check_manual "$root"
    check_completion "$root"
    file -b "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" | grep -q '^SVG' || fail "the scalable icon is no SVG"
    for size in "${sizes[@]}"; do
        local png=$root/usr/share/icons/hicolor/${size}x$size/apps/$id.png
        if [[ -f $png ]] && ! file -b "$png" | grep -q "^PNG image data, $size x $size,"; then
            fail "${size}x$size icon is $(file -b "$png")"
        fi
    done

    local desktop=$root/usr/share/applications/$id.desktop
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
    local exec icon
    exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ $exec == quillbox ]] || fail "the menu entry starts '$exec', not the launcher"
    [[ $icon == "$id" ]] || fail "the menu entry's icon is '$icon', the installed icons are '$id'"

    local metainfo=$root/usr/share/metainfo/$id.metainfo.xml
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $id.metainfo.xml"
    # Over the whole tree it also checks that the metadata's launchable is the installed menu entry.
    appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"
    grep -q "<binary>quillbox</binary>" "$metainfo" || fail "the metadata does not provide the quillbox command"
}

# The manual pages render without a warning; quillbox-cli's has the sections a reader looks for and describes every
# command and option its --help names.
check_manual() {
    local root=$1 page warnings
    for page in quillbox quillbox-cli; do
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 \
            >/dev/null)
        [[ -z $warnings ]] || fail "the manual page of $page has mistakes: $warnings"
    done
    local manual help section word
    manual=$(LC_ALL=C.UTF-8 MANWIDTH=1000 man -E UTF-8 -l "$root/usr/share/man/man1/quillbox-cli.1.gz" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS EXAMPLES ENVIRONMENT FILES 'EXIT STATUS' 'SEE ALSO'; do
        grep -qx "$section" <<<"$manual" || fail "the manual page of quillbox-cli has no $section section"
    done
    help=$("$root/usr/bin/quillbox-cli" --help)
    for word in $(grep -o -- '--[a-z]*' <<<"$help" | sort -u) $(sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\).*/\1/p' <<<"$help"); do
        grep -qw -- "$word" <<<"$manual" || fail "the manual page of quillbox-cli does not describe $word"
    done
}

# The bash completion, as bash runs it: commands, a command's options, and the correspondents' names as
# quillbox-cli prints them.
check_completion() {
    local root=$1 data=$work/completion-data replies
    mkdir -p "$data"
    printf 'alice\r\nJos\xe9\r\n' >"$data/users.cfg"
    replies=$(QUILLBOX_DATA=$data PATH=$root/usr/bin:$PATH bash -c '
        source "$1"
        reply() {
            COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
            _quillbox_cli quillbox-cli
            echo "${COMPREPLY[*]}"
        }
        reply quillbox-cli fi
        reply quillbox-cli encrypt --ar
        reply quillbox-cli decrypt --recipient = ""
        reply quillbox-cli add ""' _ "$root/usr/share/bash-completion/completions/quillbox-cli")
    [[ $replies == $'fingerprint\n--armor\nalice Jos\xc3\xa9' ]] ||
        fail "the completion offers other words: $(printf '%q' "$replies")"
}

check_deb() {
    "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
        cat "$work/cpack.log" >&2
        exit 1
    }
    local debs=("$work"/out/quillbox_*.deb)
    [[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || {
        fail "cpack made no single quillbox_*.deb: ${debs[*]}"
        return
    }
    local deb=${debs[0]} depends
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for package in libqt6core6 libqt6gui6 libqt6widgets6 qt6-base-abi qt6-qpa-plugins fonts-freefont-ttf; do
        [[ ", $depends," =~ ,\ "$package"[\ ,] ]] || fail "Depends lacks $package"
    done
    [[ $(dpkg-deb -f "$deb" Package) == quillbox ]] || fail "the package is not named quillbox"

    dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' >"$work/contents"
    while read -r path; do
        grep -qxF "$path" "$work/contents" || fail "not in the .deb: /$path"
    done < <(expected_files)
    if grep -v -e '^usr/' -e '^$' "$work/contents"; then
        fail "the .deb installs outside /usr"
    fi
    # Debian's own checker: no error and no warning.
    lintian --fail-on error,warning --no-tag-display-limit "$deb" || fail "lintian finds errors or warnings"
}

check_launcher() {
    local root=$work/stage
    stage "$root"
    # A stand-in for the program that shows where it was started and with what.
    printf '#!/bin/sh\npwd\nprintf "%%s\\n" "$@"\n' >"$root/usr/libexec/quillbox/quillbox"
    local launcher=$root/usr/bin/quillbox out

    local data="$work/new folder/data"
    out=$(QUILLBOX_DATA=$data "$launcher" one 'two words') || fail "the launcher failed with QUILLBOX_DATA set"
    [[ $out == "$data"$'\none\ntwo words' ]] ||
        fail "QUILLBOX_DATA: expected the program in $data with its arguments, got: $out"
    [[ $(stat -c %a "$data" 2>/dev/null) == 700 ]] || fail "the new data directory is not private to its owner"

    mkdir -p "$work/home"
    out=$(env -u QUILLBOX_DATA HOME="$work/home" "$launcher") || fail "the launcher failed without QUILLBOX_DATA"
    [[ $out == "$work/home/Quillbox" ]] || fail "default: expected the program in ~/Quillbox, got: $out"

    # Started through a link elsewhere on the PATH, it still finds the program beside its real self.
    mkdir -p "$work/bin"
    ln -s "$launcher" "$work/bin/quillbox"
    out=$(QUILLBOX_DATA=$data PATH="$work/bin:$PATH" quillbox) || fail "the launcher failed through a link"
    [[ $out == "$data" ]] || fail "through a link: got: $out"

    # A regular file in the way stops even root from making the folder. With no terminal to read it (as here), the
    # program is started only to show the failure in a box.
    touch "$work/plain-file"
    local status=0
    QUILLBOX_DATA=$work/plain-file/data "$launcher" >"$work/stdout" 2>"$work/stderr" || status=$?
    [[ $status -ne 0 ]] || fail "an unmakeable data directory did not fail"
    if [[ $(wc -l <"$work/stderr") -ne 1 ]] || ! grep -q QUILLBOX_DATA "$work/stderr"; then
        fail "expected one line naming QUILLBOX_DATA, got: $(cat "$work/stderr")"
    fi
    if [[ $(sed -n 2p "$work/stdout") != --show-failure ]] || ! sed -n 3p "$work/stdout" | grep -q QUILLBOX_DATA; then
        fail "the program was not started to show the failure alone: $(cat "$work/stdout")"
    fi
}

case $check in
install) check_install ;;
deb) check_deb ;;
launcher) check_launcher ;;
*)
    echo "unknown check: $check" >&2
    exit 2
    ;;
esac
if ((failures)); then
    echo "$failures packaging check(s) failed" >&2
    exit 1
fi
echo "packaging $check: all checks passed"
