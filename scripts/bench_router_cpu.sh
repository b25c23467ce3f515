#!/usr/bin/env bash
# Sets up and builds (default preset, build/), then measures the CPU time one routed MIDI message
# costs: `tarvelo --headless`, the window (offscreen, keys lit) and a bare pass-through client,
# each on a private JACK server at 256 and at 64 frames. Arguments go to the benchmark:
#   --seconds S (each stretch, default 10)  --rate N (messages/s, default 2800)
#   --periods 256,64  --program PATH (another build of tarvelo, to compare)
#   --routers window,headless,pass,litpass (only these)
# Run it on a quiet machine: the figures are CPU time, but a busy one still disturbs them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)" --target tarvelo router_cpu_bench lit_pass_through
exec build/bench/router_cpu_bench "$@"
