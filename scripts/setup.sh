#!/usr/bin/env bash
# Installs the Debian packages Tarvelo needs to build, run and test.
# Idempotent: runs apt-get update and install only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  librtmidi-dev libasound2-dev libcli11-dev nlohmann-json3-dev
  libfluidsynth-dev timgm6mb-soundfont libsndfile1-dev libglib2.0-dev
  jackd2 libjack-jackd2-dev pipewire pipewire-jack
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic qt6-translations-l10n
  desktop-file-utils appstream shared-mime-info man-db groff-base bsdextrautils file
  dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # jackd2 asks whether to enable realtime scheduling; answer no.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
