#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks the tree as a desktop and a distribution
# would use it: the files are there, the desktop entry, AppStream metadata, file type and manual
# page pass their validators, and the installed program finds its reference files from another
# directory.
# Usage: install_tree_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1
id=$2

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

work=$(realpath "$(mktemp -d)")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
    cat "$work/install.log" >&2
    exit 1
}
share=$prefix/share

icon_sizes=(16 22 24 32 48 64 128 256)
expected=(
    bin/tarvelo
    share/tarvelo/midi_msg.mdr
    share/tarvelo/cc.mdr
    share/tarvelo/demo.trv
    share/tarvelo/demo.mid
    "share/applications/$id.desktop"
    "share/metainfo/$id.metainfo.xml"
    "share/mime/packages/$id.xml"
    "share/icons/hicolor/scalable/apps/$id.svg"
    share/man/man1/tarvelo.1.gz
    share/doc/tarvelo/copyright
    share/doc/tarvelo/changelog.gz
)
for size in "${icon_sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${expected[@]}"; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/tarvelo" ] || fail "bin/tarvelo is not executable"
for size in "${icon_sizes[@]}"; do
    png="$share/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$png" ] || continue
    file -b "$png" | grep -q "^PNG image data, $size x $size, 8-bit/color RGBA" ||
        fail "$png is not a ${size}x$size RGBA PNG: $(file -b "$png")"
done

# Desktop entry: valid, opens files, names our icon and file type.
desktop="$share/applications/$id.desktop"
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
    for line in 'Exec=tarvelo %f' "Icon=$id" 'MimeType=application/x-tarvelo-arrangement;'; do
        grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
    done
    for key in Name Comment; do
        grep -q "^$key\[ja\]=" "$desktop" || fail "desktop entry lacks $key[ja]"
    done
fi

# AppStream metadata: valid without the network, launches the installed desktop entry.
metainfo="$share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
    grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch $id.desktop"
    grep -qF '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" ||
        fail "metainfo does not name the licence GPL-3.0-or-later"
fi

# Copyright file: Debian's machine-readable format, the program under GPL-3.0+.
copyright="$share/doc/tarvelo/copyright"
if [ -f "$copyright" ]; then
    head -n 1 "$copyright" |
        grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "$copyright is not in Debian's machine-readable format"
    awk '/^Files: \*$/ { files = 1; next } files && /^License:/ { print; exit }' "$copyright" |
        grep -qxF 'License: GPL-3.0+' || fail "$copyright does not license every file GPL-3.0+"
fi

# File type: the package compiles into a database that maps *.trv to our type.
mime_package="$share/mime/packages/$id.xml"
if [ -f "$mime_package" ]; then
    mkdir -p "$work/mime/packages"
    cp "$mime_package" "$work/mime/packages/"
    # It reports a bad package on its output (its exit status stays 0); with the database on the
    # search path it prints nothing else.
    if ! XDG_DATA_HOME="$work" XDG_DATA_DIRS="$work" update-mime-database "$work/mime" \
        >"$work/mime.log" 2>&1 || [ -s "$work/mime.log" ]; then
        cat "$work/mime.log" >&2
        fail "update-mime-database rejects $mime_package"
    fi
    grep -qx '50:application/x-tarvelo-arrangement:\*\.trv' "$work/mime/globs2" ||
        fail "the compiled database does not map *.trv to application/x-tarvelo-arrangement"
fi

# Manual page: renders without a warning.
page="$share/man/man1/tarvelo.1.gz"
if [ -f "$page" ]; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings: $warnings"
fi

# The installed program, started in another directory, reads the installed reference files.
if [ -x "$prefix/bin/tarvelo" ]; then
    mkdir "$work/elsewhere"
    if found=$(cd "$work/elsewhere" && "$prefix/bin/tarvelo" --reference-files 2>&1); then
        for name in midi_msg.mdr cc.mdr; do
            grep -q "^$name: $share/tarvelo/$name ([1-9][0-9]* entries)\$" <<<"$found" ||
                fail "the installed program does not read $share/tarvelo/$name: $found"
        done
    else
        fail "tarvelo --reference-files from another directory: $found"
    fi
    (cd "$work/elsewhere" && "$prefix/bin/tarvelo" --dump "$share/tarvelo/demo.trv" >/dev/null) ||
        fail "the installed program cannot read the installed demo arrangement"
fi

[ "$failures" -eq 0 ] || exit 1
echo "install tree in $prefix: all checks passed"
