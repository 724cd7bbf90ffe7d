#!/usr/bin/env bash
# Builds Vardometer and runs its whole test suite. Installs what is missing first, and
# starts a private print spooler on a loopback port for the printing tests when none was
# given in CUPS_SERVER; it is stopped again on every way out.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

bash scripts/install-deps.sh
cmake -S . -B build -DVARDOMETER_WERROR=ON
cmake --build build -j2

if [ -z "${CUPS_SERVER:-}" ]; then
    cups_dir=$(mktemp -d)
    trap 'bash tests/print/cups-server.sh stop "$cups_dir"' EXIT
    bash tests/print/cups-server.sh start "$cups_dir" 8632 > "$cups_dir/settings"
    while read -r setting; do export "$setting"; done < "$cups_dir/settings"
fi
ctest --test-dir build --no-tests=error --output-on-failure
