#!/usr/bin/env bash
# Sets up, builds and starts Tarvelo (build/src/tarvelo) in the caller's directory. Arguments are
# passed to the program (try --help); a build finds its reference files from any directory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
(
    cd "$root"
    bash scripts/setup.sh
    cmake --preset default >/dev/null
    cmake --build build -j"$(nproc)" --target tarvelo  # the program alone, not the tests
)
exec "$root/build/src/tarvelo" "$@"
