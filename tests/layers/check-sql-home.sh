#!/usr/bin/env bash
# Holds the rule that SQL and the database driver live in the data layer only: no other
# layer may write a statement or reach for Qt SQL or SQLite, so that none of them depends
# on the back end it runs on. Prints each place that breaks it; exit 1 when there is one.
set -uo pipefail
root=${1:?usage: check-sql-home.sh SOURCE_DIR}
cd "$root" || exit 2

layers=(app cli engine export platform toolkit ui views)
pattern='QSqlQuery|QSqlDatabase|QSqlError|QSqlRecord|sqlite3|"[[:space:]]*(SELECT|INSERT|UPDATE|DELETE|CREATE|DROP|ALTER|PRAGMA|BEGIN|COMMIT)[[:space:]]'
found=$(grep -rnE "$pattern" --include='*.cpp' --include='*.h' "${layers[@]}" 2>/dev/null)
if [[ -n $found ]]; then
    echo "SQL or the database driver outside data/:"
    echo "$found"
    exit 1
fi
echo "no SQL outside data/"
