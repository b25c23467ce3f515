#!/usr/bin/env bash
# Every option that `tarvelo --help` lists must be described in the manual page's OPTIONS
# section (as the tag of an entry there), so a new option cannot be left undocumented.
# Usage: manual_options_test.sh PROGRAM MANUAL_PAGE
set -euo pipefail
program=$1
page=$2

help=$("$program" --help)
mapfile -t listed < <(grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' <<<"$help" |
    sed -E 's/^[^-]*//' | sort -u)
[ "${#listed[@]}" -gt 0 ] || { echo "FAIL: no options found in --help" >&2; exit 1; }

# The tags of the OPTIONS section: its lines indented by exactly the section's first level.
rendered=$(LC_ALL=C MANWIDTH=200 man -l "$page" 2>/dev/null | col -b)
tags=$(awk '/^OPTIONS$/ { inside = 1; next } /^[A-Z]/ { inside = 0 } inside' <<<"$rendered" |
    grep -E '^ {7}-' | grep -oE -- '--?[[:alpha:]][[:alnum:]-]*' | sort -u)

missing=()
for option in "${listed[@]}"; do
    grep -qxF -- "$option" <<<"$tags" || missing+=("$option")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "FAIL: options in 'tarvelo --help' without an entry in the manual's OPTIONS section:" \
        "${missing[*]}" >&2
    exit 1
fi
echo "all ${#listed[@]} options of --help are in the manual: ${listed[*]}"
