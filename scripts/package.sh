#!/usr/bin/env bash
# Builds the Debian package, vardometer_VERSION_ARCH.deb, into the folder given (default:
# build-package/), from a Release build installed under /usr with Debian's own hardening
# flags. Prints the package's path on its last line.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-package}"

bash "$here/scripts/install-deps.sh"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
# -fno-ident: no compiler banner in a .comment section that stripping leaves behind.
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVARDOMETER_BUILD_TESTS=OFF -DVARDOMETER_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS -fno-ident" \
    -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS -fno-ident" \
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vardometer_*.deb
