#!/usr/bin/env bash
# Sets up, builds and starts Tarvelo. Arguments are passed to the program (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)" --target tarvelo  # the program alone, not the tests
cd data  # the reference files are looked up in the current directory first
exec ../build/src/tarvelo "$@"
