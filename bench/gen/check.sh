#!/usr/bin/env bash
# Checks the generator against the program's own import: the same seed gives the same
# bytes, the import makes exactly the records the manifest promises, and the typical card's
# page holds its Oracle text and, below the rule, its rulings.
#
#   check.sh LOREWICK_GEN LOREWICK
set -euo pipefail
gen=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work"

"$gen" --cards 2000 --seed 5 "$work/a" >/dev/null
"$gen" --cards 2000 --seed 5 "$work/b" >/dev/null
diff -r "$work/a" "$work/b"

imported=$("$program" -import -data "$work/a")
manifest() { sed -n "s/^$1=//p" "$work/a/manifest.txt"; }
for file in oracle:oracle_records cards_index:index_records cards_summary:summary_records; do
    expected="${file%%:*}.xml: $(manifest "${file#*:}") records"
    grep -qF "$expected" <<<"$imported" || {
        echo "import made something else than '$expected':"
        echo "$imported"
        exit 1
    }
done

typical=$(manifest typical)
page=$("$program" -print "$typical" -data "$work/a")
for expected in "$typical" "Creature" "-----"; do
    grep -qF -- "$expected" <<<"$page" || {
        echo "the page of '$typical' lacks '$expected':"
        echo "$page"
        exit 1
    }
done
