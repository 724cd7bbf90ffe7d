#!/usr/bin/env bash
# Checks the Debian package as a user meets it: lintian finds no error, apt installs it with
# its dependencies, the installed programs work on a user's own database (the timers' command
# lines and the menu entry's, the window under a virtual X server), and removing the package
# leaves none of its files behind. Run as root on a machine where the package may be
# installed and removed; usage: check-package.sh vardometer_VERSION_ARCH.deb
set -euo pipefail
deb="$(realpath "$1")"
fail() { echo "check-package: $*" >&2; exit 1; }

echo "== contents"
dpkg-deb -c "$deb"
echo "== lintian"
lintian --fail-on error --info "$deb" || fail "lintian reports errors"

echo "== install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends "$deb" >/dev/null
trap 'apt-get remove --purge -y vardometer >/dev/null 2>&1 || true' EXIT

# A user of their own: a fresh home, so the per-user database is made from nothing.
home="$(mktemp -d)"
run_as_user() { env -i PATH=/usr/bin:/bin HOME="$home" LC_ALL=C.UTF-8 "$@"; }
db="$home/.local/share/vardometer/Vardometer.db"

run_as_user /usr/bin/vardometer-cli --version
run_as_user /usr/bin/vardometer-cli --user init --demo
[ "$(stat -c %a "$db")" = 600 ] || fail "the user's database is not mode 0600"
[ "$(stat -c %a "$(dirname "$db")")" = 700 ] || fail "the user's database folder is not mode 0700"

# The installed programs find their SMB worker: a share on a closed loopback port is
# refused by the server, not missing a worker.
sqlite3 "$db" "INSERT INTO Systems (System, Address, Alert1MB) VALUES ('closed', 'smb://127.0.0.1:9/share', 500)"
check_err="$(run_as_user /usr/bin/vardometer-cli --user check --timeout 3 2>&1 >/dev/null || true)"
echo "$check_err"
grep -q "closed: " <<< "$check_err" || fail "the check did not report the closed share"
! grep -qi "worker" <<< "$check_err" || fail "the installed programs do not find their SMB worker"
sqlite3 "$db" "DELETE FROM Systems WHERE System = 'closed'"

# The timers run exactly what their units say.
units=/usr/lib/systemd/user
for unit in vardometer-check vardometer-snapshot; do
    [ -f "$units/$unit.service" ] && [ -f "$units/$unit.timer" ] || fail "$unit units missing"
    exec_line="$(sed -n 's/^ExecStart=//p' "$units/$unit.service")"
    status=0
    run_as_user $exec_line || status=$?
    [ "$status" -le 1 ] || fail "$unit.service's command failed ($status): $exec_line"
done
if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify "$units"/vardometer-*.service "$units"/vardometer-*.timer ||
        fail "systemd-analyze finds fault with the units"
fi
[ "$(sqlite3 "$db" 'SELECT COUNT(*) FROM FreeSpaceHistory')" -ge 1 ] ||
    fail "the snapshot wrote no history"

# The menu entry's own command line opens the window on that database and keeps it open.
desktop=/usr/share/applications/org.vardometer.Vardometer.desktop
exec_line="$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ %[fFuU]//g')"
status=0
run_as_user xvfb-run -a timeout 6 $exec_line || status=$?
[ "$status" -eq 124 ] || fail "the window started by \"$exec_line\" ended early ($status)"

for page in vardometer vardometer-cli; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "man $page warns: $warnings"
done

echo "== remove"
files="$(dpkg -L vardometer)"
apt-get remove --purge -y vardometer >/dev/null
trap - EXIT
left=""
while read -r path; do
    # A file, or a folder no other package owns, that is still there was left behind.
    if [ -L "$path" ] || [ -f "$path" ]; then
        left+="$path"$'\n'
    elif [ -d "$path" ] && ! dpkg -S "$path" >/dev/null 2>&1; then
        left+="$path/"$'\n'
    fi
done <<< "$files"
[ -z "$left" ] || fail "removing the package left behind:"$'\n'"$left"
rm -rf "$home"
echo "check-package: all good"
