#!/usr/bin/env bash
# Validates the files an installed Vardometer carries (dist/): the menu entry, the AppStream
# metainfo, the manual pages, the bash completion, the icons and the systemd user units, and
# holds the manual page and the completion to the command line vardometer-cli really has.
#
#   check-dist.sh VARDOMETER-CLI [VARDOMETER]
#
# VARDOMETER-CLI (and VARDOMETER, when given) are built programs; their --help and --version
# are the reference. Every fault is reported, then the script exits 1; 2 means it could not
# run at all (a missing tool or program).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
dist=$(cd "$here/../../dist" && pwd)
app_id=org.vardometer.Vardometer

if [[ $# -lt 1 || $# -gt 2 ]]; then
    echo "usage: $0 VARDOMETER-CLI [VARDOMETER]" >&2
    exit 2
fi
cli=$1
window=${2:-}

for tool in desktop-file-validate appstreamcli man; do
    if ! command -v "$tool" >/dev/null; then
        echo "check-dist: $tool is missing (packages desktop-file-utils, appstream, man-db)" >&2
        exit 2
    fi
done

faults=0
fail() {
    echo "FAIL: $*"
    faults=$((faults + 1))
}
pass() { echo "ok:   $*"; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A program's answer to --help or --version; a program that cannot answer stops the check.
ask() {
    local output status
    output=$("$1" "$2" 2>&1)
    status=$?
    if [[ $status -ne 0 ]]; then
        echo "check-dist: $1 $2 failed with status $status: $output" >&2
        exit 2
    fi
    printf '%s\n' "$output"
}

cli_usage=$(ask "$cli" --help) || exit 2
cli_version=$(ask "$cli" --version) || exit 2
version=${cli_version##* }

# --- Validators -------------------------------------------------------------------------

output=$(desktop-file-validate "$dist/$app_id.desktop" 2>&1)
if [[ $? -ne 0 || -n $output ]]; then
    fail "desktop-file-validate $app_id.desktop:"$'\n'"$output"
else
    pass "desktop-file-validate $app_id.desktop"
fi

# appstreamcli passes files with warnings; only infos and pedantic notes are let through.
output=$(appstreamcli validate --no-net "$dist/$app_id.metainfo.xml" 2>&1)
status=$?
if [[ $status -ne 0 ]] || grep -qE '^[EW]: ' <<<"$output"; then
    fail "appstreamcli validate --no-net $app_id.metainfo.xml:"$'\n'"$output"
else
    pass "appstreamcli validate --no-net $app_id.metainfo.xml"
fi

for page in "$dist"/man/*.1; do
    output=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [[ $? -ne 0 || -n $output ]]; then
        fail "man --warnings -l ${page##*/}:"$'\n'"$output"
    else
        pass "man --warnings -l ${page##*/}"
    fi
done

completion=$dist/completion/vardometer-cli
if output=$(bash -n "$completion" 2>&1); then
    pass "bash -n completion/vardometer-cli"
else
    fail "bash -n completion/vardometer-cli:"$'\n'"$output"
fi

# --- Versions ---------------------------------------------------------------------------

for page in "$dist"/man/*.1; do
    if grep -q "^\.TH .* \"Vardometer $version\"" "$page"; then
        pass "${page##*/} is of version $version"
    else
        fail "${page##*/}: its .TH line does not name \"Vardometer $version\" ($cli_version)"
    fi
done
if grep -q "<release version=\"$version\"" "$dist/$app_id.metainfo.xml"; then
    pass "$app_id.metainfo.xml has a release $version"
else
    fail "$app_id.metainfo.xml: no <release version=\"$version\"> ($cli_version)"
fi

# --- The manual pages against the usage -------------------------------------------------

# A page as plain text, wide enough that no synopsis line wraps.
render() { LC_ALL=C MANWIDTH=1000 man -l "$1" 2>/dev/null; }
# The lines of a rendered page's SYNOPSIS, or of everything else, whitespace collapsed.
synopsis() { awk '/^[A-Z]/ { in_syn = ($0 == "SYNOPSIS"); next } in_syn' | tr -s ' \n' '  '; }
body() { awk '/^[A-Z]/ { in_syn = ($0 == "SYNOPSIS"); next } !in_syn'; }
usage_lines() { sed -E 's/^usage://; s/^[[:space:]]+//; s/[[:space:]]+/ /g; s/ $//' <<<"$1"; }

# Holds a page to a program's usage: every usage line stands in the SYNOPSIS as it is,
# every verb has an entry of its own and every option is described outside the SYNOPSIS.
check_page() {
    local page=$1 usage=$2 text syn rest line words word
    text=$(render "$page")
    if [[ -z $text ]]; then
        fail "${page##*/} does not render"
        return
    fi
    syn=" $(synopsis <<<"$text") "
    rest=$(body <<<"$text")
    while IFS= read -r line; do
        [[ -n $line ]] || continue
        if [[ $syn == *" $line "* ]]; then
            pass "${page##*/} synopsis: $line"
        else
            fail "${page##*/}: the usage line \"$line\" is not in its SYNOPSIS"
        fi
        read -r -a words <<<"${line//[\[\]]/}"
        for word in "${words[@]}"; do
            if [[ $word == --* ]]; then
                grep -qE -- "(^|[^a-z-])$word([^a-z-]|$)" <<<"$rest" ||
                    fail "${page##*/}: $word is in the usage but described nowhere else in the page"
            fi
        done
    done < <(usage_lines "$usage")
}

check_page "$dist/man/vardometer-cli.1" "$cli_usage"

# The verbs, each with its options, and export's kinds, as vardometer-cli's usage lists them.
declare -A verb_options=()
global_options=()
kinds=()
while IFS= read -r line; do
    line=${line#vardometer-cli }
    read -r -a words <<<"${line//[\[\]]/}"
    verb=
    [[ ${words[0]} =~ ^[a-z]+$ ]] && verb=${words[0]}
    [[ -n $verb ]] && verb_options[$verb]+=""
    for word in "${words[@]}"; do
        if [[ $word == --* ]]; then
            if [[ -n $verb ]]; then
                verb_options[$verb]+=" $word"
            else
                global_options+=("$word")
            fi
        elif [[ -n $verb && $word =~ ^[a-z]+(\|[a-z]+)+$ ]]; then
            IFS='|' read -r -a more <<<"$word"
            kinds+=("${more[@]}")
        fi
    done
done < <(usage_lines "$cli_usage")

if [[ ${#verb_options[@]} -eq 0 || ${#global_options[@]} -eq 0 ]]; then
    fail "no verbs or options found in the output of $cli --help:"$'\n'"$cli_usage"
fi

rest=$(render "$dist/man/vardometer-cli.1" | body)
for verb in "${!verb_options[@]}"; do
    grep -qE "^ +$verb( |$)" <<<"$rest" ||
        fail "vardometer-cli.1: the verb $verb has no entry of its own"
done

if [[ -n $window ]]; then
    window_usage=$(ask "$window" --help) || exit 2
    window_version=$(ask "$window" --version) || exit 2
    check_page "$dist/man/vardometer.1" "$window_usage"
    [[ ${window_version##* } == "$version" ]] ||
        fail "$window --version says \"$window_version\", $cli --version \"$cli_version\""
fi

# --- The completion against the usage ---------------------------------------------------

mkdir -p "$scratch/work"
touch "$scratch/work/sample.xlsx"
cat >"$scratch/complete.sh" <<'EOF'
# Prints what the completion offers for the words given, the last being the one completed.
source "$1"
shift
COMP_WORDS=(vardometer-cli "$@")
COMP_CWORD=$#
COMPREPLY=()
_vardometer_cli 2>/dev/null
printf '%s\n' "${COMPREPLY[@]}"
EOF
offers() { (cd "$scratch/work" && bash "$scratch/complete.sh" "$completion" "$@"); }

# expect_offers WHAT WANTED... -- WORDS...: the completion of WORDS offers every WANTED.
expect_offers() {
    local what=$1 wanted=() word got missing=()
    shift
    while [[ $1 != -- ]]; do
        wanted+=("$1")
        shift
    done
    shift
    got=$(offers "$@")
    for word in "${wanted[@]}"; do
        grep -qxF -- "$word" <<<"$got" || missing+=("$word")
    done
    if [[ ${#missing[@]} -gt 0 ]]; then
        fail "completion of \"vardometer-cli $*\" ($what) lacks: ${missing[*]}; it offers: $(tr '\n' ' ' <<<"$got")"
    else
        pass "completion of \"vardometer-cli $*\" offers $what"
    fi
}

expect_offers "the verbs" "${!verb_options[@]}" -- ""
expect_offers "the global options" "${global_options[@]}" -- -
# After a verb: its own options, --help ("VERB --help") and the database options, which
# may stand among a verb's options too.
for verb in "${!verb_options[@]}"; do
    # shellcheck disable=SC2086 # a list of words
    expect_offers "$verb's options" ${verb_options[$verb]} --help --user --database -- "$verb" -
done
[[ ${#kinds[@]} -gt 0 ]] && expect_offers "export's kinds" "${kinds[@]}" -- export ""
expect_offers "files for --output" sample.xlsx -- export summary --output sa
expect_offers "files for --database" sample.xlsx -- --database sa
expect_offers "files for --database=" sample.xlsx -- --database = sa
expect_offers "files for FILE" sample.xlsx -- init sa
if command -v sqlite3 >/dev/null; then
    sqlite3 "$scratch/work/other.db" "CREATE TABLE Systems (System TEXT);
        INSERT INTO Systems VALUES ('web 1'), ('web2'), ('db');"
    expect_offers "system names" 'web\ 1' web2 -- --database other.db forecast --system w
fi

# --- Icons ------------------------------------------------------------------------------

for png in "$dist"/icons/*/"$app_id.png"; do
    size=${png%/*}
    size=${size##*/}
    # Width and height: the first two 4-byte numbers of the IHDR chunk, from byte 16.
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    if [[ $width == "$size" && $height == "$size" ]]; then
        pass "icons/$size/$app_id.png is $size x $size"
    else
        fail "icons/$size/$app_id.png is $width x $height, not $size x $size"
    fi
done

# --- systemd user units -----------------------------------------------------------------

# Verified as installed: vardometer-cli where ExecStart names it, its manual page where
# Documentation= does. A container without systemd skips this.
if command -v systemd-analyze >/dev/null; then
    units=$scratch/units
    mkdir -p "$units" "$scratch/man/man1" "$scratch/runtime"
    chmod 0700 "$scratch/runtime"
    cp "$dist/man/vardometer-cli.1" "$scratch/man/man1/"
    cli_path=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
    for unit in "$dist"/systemd/*; do
        name=${unit##*/}
        sed "s|@CMAKE_INSTALL_FULL_BINDIR@/vardometer-cli|$cli_path|" "$unit" >"$units/${name%.in}"
    done
    if output=$(cd "$units" && MANPATH=$scratch/man XDG_RUNTIME_DIR=$scratch/runtime \
        systemd-analyze verify --user ./* 2>&1) && [[ -z $output ]]; then
        pass "systemd-analyze verify --user systemd/*"
    else
        fail "systemd-analyze verify --user systemd/*:"$'\n'"$output"
    fi
else
    echo "skip: systemd-analyze is missing; the systemd units are not verified"
fi

if [[ $faults -gt 0 ]]; then
    echo "check-dist: $faults fault(s)" >&2
    exit 1
fi
echo "check-dist: all files valid"
