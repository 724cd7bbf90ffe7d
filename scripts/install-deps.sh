#!/usr/bin/env bash
# Installs the Debian packages Vardometer needs to build, run and test.
# Skips the package manager entirely when everything is already there.
set -euo pipefail

mapfile -t packages < <(grep -v '^#' "$(dirname "$0")/packages.txt")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# prometheus is here for its promtool, which checks the metrics output; its own server must
# not start listening on this machine because of that.
if [[ " ${missing[*]} " == *" prometheus "* ]] && command -v systemctl >/dev/null &&
    [ -d /run/systemd/system ]; then
    $sudo systemctl mask prometheus.service >/dev/null
fi
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
