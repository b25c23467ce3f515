#!/usr/bin/env bash
# Writes pictures of the initial-message editor as PNG files (a mixed message list in
# hexadecimal and in decimal, and with its cell editors open).
# Usage: scripts/screenshot_initmsg.sh [output directory, default <build>/screenshots]
exec "$(dirname "$0")/screenshots.sh" "${1:-}" initmsg
