#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vardometer on Vardometer.db in the current
# directory, creating a demo database (this machine's own disks) when there is none.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build-release"

bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARDOMETER_BUILD_TESTS=OFF \
    -DVARDOMETER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

[ -f Vardometer.db ] || "$build/cli/vardometer-cli" init --demo
exec "$build/app/vardometer" "$@"
