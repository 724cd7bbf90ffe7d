#!/usr/bin/env bash
# Holds the rule that SQL and the database driver live in the data layer only: no other
# layer may write a statement or reach for Qt SQL or SQLite, so that none of them depends
# on the back end it runs on. Prints each place that breaks it; exit 1 when there is one.
set -uo pipefail
root=${1:?usage: check-sql-home.sh SOURCE_DIR}
cd "$root" || exit 2

layers=(app cli engine export platform toolkit ui views)
for layer in "${layers[@]}"; do
    [[ -d $layer ]] || { echo "no folder $layer in $root"; exit 2; }
done
# Statements are written in capitals here; a string that starts with a keyword is one.
keywords='SELECT|INSERT|UPDATE|DELETE|REPLACE|WITH|CREATE|DROP|ALTER|PRAGMA|BEGIN|COMMIT|ROLLBACK|SAVEPOINT|RELEASE|VACUUM|ATTACH|DETACH'
pattern="QSql[A-Z][A-Za-z]*|sqlite3|\"[[:space:]]*($keywords)[[:space:]]"
found=$(grep -rnE "$pattern" --include='*.cpp' --include='*.h' "${layers[@]}")
status=$?
if [[ $status -gt 1 ]]; then
    echo "grep failed"
    exit 2
fi
if [[ -n $found ]]; then
    echo "SQL or the database driver outside data/:"
    echo "$found"
    exit 1
fi
echo "no SQL outside data/"
