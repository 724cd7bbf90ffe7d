#!/usr/bin/env bash
# A private print spooler for the printing tests: cupsd with a configuration of its own,
# listening on a loopback port only, with a cups-pdf queue as its default printer. It
# touches neither the machine's own spooler nor its settings.
#
#   cups-server.sh start DIR [PORT]   starts it and prints the variables the tests read
#   cups-server.sh stop DIR           stops the cupsd started in DIR, by its PID
#
# cups-pdf writes each job to ~/PDF of the submitting user (named after the job's title).
set -euo pipefail

command=${1:-}
dir=${2:-}
port=${3:-8631}
[ -n "$command" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR [PORT]" >&2; exit 2; }

case "$command" in
start)
    mkdir -p "$dir"/{spool,cache,state,tmp,log,ppd}
    dir=$(cd "$dir" && pwd)
    chmod 0755 "$dir"
    chmod 1777 "$dir/tmp"
    cat > "$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap /dev/null
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root
CONF
    cat > "$dir/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel warn
WebInterface No
Browsing Off
DefaultAuthType None
DefaultEncryption Never
MaxJobs 100
PreserveJobFiles No
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit All>
    Order allow,deny
    Allow from 127.0.0.1
  </Limit>
</Policy>
CONF
    : > "$dir/printers.conf"
    # In the foreground of its own, so its PID is known; its output goes to the log.
    /usr/sbin/cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 </dev/null &
    echo $! > "$dir/cupsd.pid"
    export CUPS_SERVER=127.0.0.1:$port
    for _ in $(seq 100); do
        lpstat -r >/dev/null 2>&1 && break
        sleep 0.1
    done
    lpstat -r >/dev/null || { cat "$dir/log/error_log" >&2 || true; exit 1; }
    ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -n1)
    lpadmin -p Vardometer-PDF -E -v cups-pdf:/ -P "$ppd" 2>/dev/null
    lpadmin -d Vardometer-PDF
    home=$(getent passwd "$(id -un)" | cut -d: -f6)
    echo "CUPS_SERVER=127.0.0.1:$port"
    echo "VARDOMETER_CUPS_PDF_DIR=$home/PDF"
    ;;
stop)
    if [ -f "$dir/cupsd.pid" ]; then
        pid=$(cat "$dir/cupsd.pid")
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        rm -f "$dir/cupsd.pid"
    fi
    ;;
*)
    echo "usage: $0 start|stop DIR [PORT]" >&2
    exit 2
    ;;
esac
