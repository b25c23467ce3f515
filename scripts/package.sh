#!/usr/bin/env bash
# Builds the Debian package build-package/tarvelo_<version>_<arch>.deb (the program alone, for
# /usr) and checks it with lintian.
# Install it with: apt install ./build-package/tarvelo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset package >/dev/null
cmake --build build-package -j"$(nproc)" --target tarvelo tarvelo_data
(cd build-package && cpack -G DEB)
deb=$(ls build-package/tarvelo_*.deb)
lintian --info "$deb"
echo "package: $deb"
