#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR under /usr and checks what
# a Linux desktop relies on: the files are where they belong, the desktop
# entry and the AppStream metainfo validate, the manual pages render without
# warnings, the installed programs run, and every verb and option that
# fxtunectl --help lists is documented in its manual page and completed by
# its bash completion (fxtune-sim's options likewise in its manual page).
#
# usage: check-install-tree.sh BUILD_DIR
set -uo pipefail

BUILD="${1:?usage: check-install-tree.sh BUILD_DIR}"
ROOT="$(mktemp -d)"
trap 'rm -rf "$ROOT"' EXIT
USR="$ROOT/usr"
FAILURES=0
export LC_ALL=C.UTF-8

fail() {
    echo "FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

need_tool() { # program, Debian package
    command -v "$1" >/dev/null || {
        echo "FAIL: $1 is missing (Debian package $2; scripts/install-deps.sh installs it)" >&2
        exit 1
    }
}
need_tool desktop-file-validate desktop-file-utils
need_tool appstreamcli appstream
need_tool man man-db
need_tool col bsdextrautils

if ! DESTDIR="$ROOT" cmake --install "$BUILD" --prefix /usr >"$ROOT/install.log" 2>&1; then
    cat "$ROOT/install.log" >&2
    fail "cmake --install failed"
    exit 1
fi

# --- the files -------------------------------------------------------------
GUI=0
[ -x "$BUILD/fxtune" ] && GUI=1
expected=(
    bin/fxtunectl bin/fxtune-sim bin/fxtuned
    lib/udev/rules.d/70-fxtune-processor.rules lib/systemd/system/fxtuned.service
    share/man/man8/fxtuned.8.gz
    share/bash-completion/completions/fxtunectl
    share/man/man1/fxtunectl.1.gz share/man/man1/fxtune-sim.1.gz
)
if ((GUI)); then
    expected+=(
        bin/fxtune share/man/man1/fxtune.1.gz
        share/applications/fxtune.desktop share/metainfo/fxtune.metainfo.xml
        share/icons/hicolor/scalable/apps/fxtune.svg
    )
fi
for file in "${expected[@]}"; do
    [ -f "$USR/$file" ] || fail "not installed: /usr/$file"
done
for program in fxtune fxtunectl fxtune-sim; do
    if [ -e "$USR/bin/$program" ] && [ ! -x "$USR/bin/$program" ]; then
        fail "/usr/bin/$program is not executable"
    fi
done

# --- desktop entry, metainfo, icons ----------------------------------------
png_size() { # prints WIDTHxHEIGHT from a PNG's header
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'
}
if ((GUI)); then
    desktop="$USR/share/applications/fxtune.desktop"
    if ! output="$(desktop-file-validate "$desktop" 2>&1)" || [ -n "$output" ]; then
        fail "desktop-file-validate rejects fxtune.desktop: $output"
    fi
    for key in 'Name' 'Name\[zh_CN\]' 'Comment' 'Comment\[zh_CN\]'; do
        grep -q "^$key=." "$desktop" || fail "fxtune.desktop has no $key"
    done
    grep -qx 'Categories=AudioVideo;Audio;' "$desktop" || fail "fxtune.desktop: wrong Categories"
    grep -qx 'Terminal=false' "$desktop" || fail "fxtune.desktop: Terminal is not false"
    grep -qx 'Exec=fxtune' "$desktop" || fail "fxtune.desktop: Exec does not start fxtune"
    icon="$(sed -n 's/^Icon=//p' "$desktop")"
    [ "$icon" = fxtune ] || fail "fxtune.desktop names the icon '$icon', not fxtune"

    # The component id is the desktop entry's name, which is not reverse-DNS.
    if ! output="$(appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
        "$USR/share/metainfo/fxtune.metainfo.xml" 2>&1)"; then
        fail "appstreamcli rejects fxtune.metainfo.xml: $output"
    fi

    for size in 16 22 24 32 48 64 128 256 512; do
        png="$USR/share/icons/hicolor/${size}x${size}/apps/fxtune.png"
        if [ ! -f "$png" ]; then
            fail "no ${size}x${size} icon"
        elif [ "$(png_size "$png")" != "${size}x${size}" ]; then
            fail "the ${size}x${size} icon is $(png_size "$png")"
        fi
    done
fi

# --- manual pages ----------------------------------------------------------
render_man() { # page file; plain text on stdout, warnings fail
    local errors
    errors="$(MANWIDTH=200 man --warnings -E ascii -l "$1" 2>&1 >"$ROOT/page.txt")"
    [ -z "$errors" ] || fail "man -l $(basename "$1") warns: $errors"
    col -bx <"$ROOT/page.txt"
}
section() { # heading; the lines of that section of the page on stdin
    awk -v heading="$1" '/^[A-Z]/ { inside = ($0 == heading); next } inside'
}
# The tag of an item (a .TP paragraph), not its description, starts with the word.
# grep reads all of its input (no -q): under pipefail a grep that left early
# would fail the pipe with the writer's SIGPIPE, now and then.
has_item() { # word; section text on stdin
    grep -E "^ {3,10}(-[a-zA-Z], )?$(printf '%s' "$1" | sed 's/[.[\*^$]/\\&/g')([ ,=]|$)" >/dev/null
}
for page in "$USR"/share/man/man1/*.1.gz "$USR"/share/man/man8/*.8.gz; do
    render_man "$page" >"$ROOT/$(basename "$page" | sed 's/\.[18]\.gz$//').txt"
done

# --- the installed programs ------------------------------------------------
ctl_help="$("$USR/bin/fxtunectl" --help 2>&1)" || fail "installed fxtunectl --help failed: $ctl_help"
sim_help="$("$USR/bin/fxtune-sim" --help 2>&1)" || fail "installed fxtune-sim --help failed: $sim_help"
daemon_help="$("$USR/bin/fxtuned" --help 2>&1)" || fail "installed fxtuned --help failed: $daemon_help"
if ((GUI)); then
    output="$(QT_QPA_PLATFORM=offscreen "$USR/bin/fxtune" --help 2>&1)" ||
        fail "installed fxtune --help failed: $output"
fi

# --- every verb and option documented and completed ------------------------
# The verbs are the first words of the "commands:" list of fxtunectl --help.
mapfile -t verbs < <(printf '%s\n' "$ctl_help" |
    awk '/^[^ ]/ { inside = tolower($0) ~ /^(commands|verbs):/; next }
         inside && /^  [a-z]/ { print $1 }' | sort -u)
((${#verbs[@]})) || fail "found no verbs under \"commands:\" in fxtunectl --help"
options_of() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
mapfile -t ctl_options < <(printf '%s\n' "$ctl_help" | options_of)
mapfile -t sim_options < <(printf '%s\n' "$sim_help" | options_of)
mapfile -t daemon_options < <(printf '%s\n' "$daemon_help" | options_of)

completions() { # words of the command line; the candidates for the last one
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
             _fxtunectl; printf "%s\n" "${COMPREPLY[@]}"' _ \
        "$USR/share/bash-completion/completions/fxtunectl" "$@"
}
# The statuses are the numbers after "exit status" in fxtunectl --help.
mapfile -t statuses < <(printf '%s\n' "$ctl_help" | sed -n '/^exit status/I,$p' |
    grep -oE '(^|[ :,])[0-9]+ ' | tr -dc '0-9\n' | sort -un)
((${#statuses[@]})) || fail "found no exit statuses after \"exit status\" in fxtunectl --help"

documented() { # page, section, what, words...
    local page="$1" heading="$2" what="$3" word
    shift 3
    for word in "$@"; do
        section "$heading" <"$ROOT/$page.txt" | has_item "$word" ||
            fail "$what '$word' has no entry under $heading in packaging/man/$page.1"
    done
}
completed() { # candidates, list variable, what, words...
    local candidates="$1" variable="$2" what="$3" word
    shift 3
    for word in "$@"; do
        grep -qxF -- "$word" <<<"$candidates" ||
            fail "$what '$word' is not completed: add it to $variable in packaging/bash-completion/fxtunectl"
    done
}
documented fxtunectl COMMANDS "fxtunectl verb" "${verbs[@]}"
documented fxtunectl OPTIONS "fxtunectl option" "${ctl_options[@]}"
documented fxtunectl 'EXIT STATUS' "fxtunectl exit status" "${statuses[@]}"
documented fxtune-sim OPTIONS "fxtune-sim option" "${sim_options[@]}"
documented fxtuned OPTIONS "fxtuned option" "${daemon_options[@]}"
completed "$(completions fxtunectl --usb '')" _fxtunectl_verbs "fxtunectl verb" "${verbs[@]}"
completed "$(completions fxtunectl --)" _fxtunectl_options "fxtunectl option" "${ctl_options[@]}"
# A diff of two files and xover list need no processor; --host takes a
# dotted IPv4 address, so no host names are offered for it.
completed "$(completions fxtunectl di)" _fxtunectl_offline_verbs "verb without a processor" diff
completed "$(completions fxtunectl xo)" _fxtunectl_offline_verbs "verb without a processor" xover
[[ -z "$(completions fxtunectl --host '')" ]] ||
    fail "--host is completed with names, but takes a dotted IPv4 address"

if ((FAILURES)); then
    echo "$FAILURES install check(s) failed" >&2
    exit 1
fi
echo "install tree under /usr: ${#expected[@]} files, ${#verbs[@]} verbs, ${#ctl_options[@]} + ${#sim_options[@]} options checked"
