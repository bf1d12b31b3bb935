#!/usr/bin/env bash
# The player's pictures of the sample movies against the reference player's pictures in
# tests/data/sample-movies, judged by the swf-render set's rule (its checker from the shared
# reference tools). Skips (exit 77) when the checker is not on this machine.
#   sample_pictures_test.sh SWFPLAY SWFGEN
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../data/sample-movies"
checker="$here/../../../shared/tools/swf-check/render_check.py"
[ -f "$checker" ] || checker=/work/shared/tools/swf-check/render_check.py
if [ ! -f "$checker" ]; then echo "SKIP: no render_check.py"; exit 77; fi
player=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$2" --samples "$work" || { echo "FAIL: swfgen"; exit 1; }
cp "$data"/*.png "$data/manifest.json" "$work/"
out=$(python3 "$checker" --player "$player" "$work")
echo "$out"
summary=$(echo "$out" | tail -n 1)
[[ $summary =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed ]] || { echo "FAIL: no summary"; exit 1; }
[ "${BASH_REMATCH[1]}" -gt 0 ] && [ "${BASH_REMATCH[2]}" = 0 ]
